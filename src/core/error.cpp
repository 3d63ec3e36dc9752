#include "core/error.h"

namespace {

TErrorRecorder gRecorder = nullptr;

}   // namespace

void SetErrorRecorder(TErrorRecorder recorder)
{
    gRecorder = recorder;
}

void Raise(const std::string& msg)
{
    if (gRecorder)
        gRecorder(msg);
    throw EPoru(msg, true);
}

const char* SeverityMark(TSeverity severity)
{
    return severity == TSeverity::Error ? "[エラー] " : "[注　意] ";
}

std::string FormatLocated(std::string_view file, int64_t line, std::string_view message)
{
    std::string out(file);
    out += '(';
    out += std::to_string(line);
    out += "行目): ";
    out.append(message);
    return out;
}

std::string FormatMessageLine(TSeverity severity, std::string_view file, int64_t line, std::string_view message)
{
    return SeverityMark(severity) + FormatLocated(file, line, message);
}

std::string ArgErrorText(std::string_view name, std::string_view detail)
{
    std::string out = "\"";
    out.append(name);
    out += "\"命令の引数に誤りがあります。";
    out.append(detail);
    return out;
}
