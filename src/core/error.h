// The interpreter's single exception type. It carries one message; whoever raises it
// has already applied the location prefix when the message needs one.
#pragma once
#include <exception>
#include <string>

struct EPoru : std::exception {
    std::string Message;
    // True when the message was recorded in the accumulated error text (raised with
    // Raise); a bare EPoru is an inner message that its catcher wraps and records.
    bool Recorded = false;
    explicit EPoru(std::string msg, bool recorded = false) : Message(std::move(msg)), Recorded(recorded) {}
    const char* what() const noexcept override { return Message.c_str(); }
};

// Raises an EPoru after handing its message to the recorder, through which the
// interpreter keeps its accumulated error text complete. Every layer raises through
// Raise(); without a recorder (the launcher) the message is only thrown.
[[noreturn]] void Raise(const std::string& msg);
using TErrorRecorder = void (*)(const std::string& msg);
void SetErrorRecorder(TErrorRecorder recorder);
