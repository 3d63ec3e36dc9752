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


// Hook through which every EPoru that the interpreter creates is recorded in the
// accumulated error text. Core code raises through Raise() so the text stays complete.
[[noreturn]] void Raise(const std::string& msg);
