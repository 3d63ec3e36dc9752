// The checker: reads a script the way a run prepares it (encoding, normalisation,
// inclusion, labels) and then every sentence without running anything, and reports
// where a text does not mean what it looks like. Plain C++, no Qt: the console's
// --check, the editor and the language server call it.
#pragma once
#include <string>
#include <vector>

#include "core/error.h"

struct TDiagnostic {
    std::string File;      // the file as the user named it (UTF-8)
    int Line = 0;          // 1-based line of that file
    int ColumnBegin = 0;   // 0-based, in characters of the line as written
    int ColumnEnd = 0;     // exclusive; equal to ColumnBegin when unknown
    TSeverity Severity = TSeverity::Warning;
    std::string Message;   // UTF-8, one line
    std::string Hint;      // UTF-8, the working form; may be empty
};

struct TCheckOptions {
    // Checked for the console runner: window-only commands are findings.
    bool Console = false;
};

// Checks the script at `pathUtf8` (and what it includes).
std::vector<TDiagnostic> CheckFile(const std::string& pathUtf8, const TCheckOptions& options);

// Checks `text`, the bytes of a script as they are on disk (Shift_JIS or UTF-8), as if
// it were the file at `pathUtf8` (inclusions are read relative to it): what an editor
// calls with an unsaved buffer.
std::vector<TDiagnostic> CheckText(const std::string& pathUtf8, const std::string& text, const TCheckOptions& options);
