#include "check/check.h"

#include "core/file_io.h"

// Placeholder until the checker's readers land: no findings.
std::vector<TDiagnostic> CheckText(const std::string& pathUtf8, const std::string& text, const TCheckOptions& options)
{
    return {};
}

std::vector<TDiagnostic> CheckFile(const std::string& pathUtf8, const TCheckOptions& options)
{
    std::string text;
    ReadWholeFile(pathUtf8, text);
    return CheckText(pathUtf8, text, options);
}
