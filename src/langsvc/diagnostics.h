// The checker's findings for an editor's buffer: lines and columns from 0, columns
// in characters, the hint kept apart.
#pragma once
#include <string>
#include <vector>

namespace langsvc {

struct TEditorDiagnostic {
    int Line = 0;
    int ColumnBegin = 0;
    int ColumnEnd = 0;    // exclusive; the whole line when the checker gave no span
    bool Error = false;   // otherwise a warning
    std::string Message;
    std::string Hint;
};

// Checks `bytes` (the file's encoding) as if it were `pathUtf8`; findings in other
// files (an included one) are left out. `lines` (UTF-8) gives the lengths of lines
// for findings without a span.
std::vector<TEditorDiagnostic> DiagnoseText(const std::string& pathUtf8, const std::string& bytes,
                                            const std::vector<std::string>& lines, bool console = false);

}   // namespace langsvc
