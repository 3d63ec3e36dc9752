// The interpreter's single exception type. It carries one message; whoever raises it
// has already applied the location prefix when the message needs one.
#pragma once
#include <cstdint>
#include <exception>
#include <string>
#include <string_view>

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

// How a reported line is marked.
enum class TSeverity { Error, Warning };

// The mark a reported line starts with: "[エラー] " or "[注　意] ".
const char* SeverityMark(TSeverity severity);
// "FILE(N行目): MESSAGE": where a message comes from, and the message.
std::string FormatLocated(std::string_view file, int64_t line, std::string_view message);
// "[エラー] FILE(N行目): MESSAGE" (or with the warning mark): one reported line.
std::string FormatMessageLine(TSeverity severity, std::string_view file, int64_t line, std::string_view message);

// "\"NAME\"命令の引数に誤りがあります。" followed by `detail`: the message for wrong
// arguments of the command called NAME.
std::string ArgErrorText(std::string_view name, std::string_view detail = {});
