#include "langsvc/diagnostics.h"

#include <filesystem>

#include "check/check.h"
#include "langsvc/utf8.h"

namespace langsvc {

std::vector<TEditorDiagnostic> DiagnoseText(const std::string& pathUtf8, const std::string& bytes,
                                            const std::vector<std::string>& lines, bool console)
{
    TCheckOptions options;
    options.Console = console;
    std::vector<TEditorDiagnostic> out;
    const std::string ownName = std::filesystem::path(pathUtf8).filename().string();
    for (const TDiagnostic& d : CheckText(pathUtf8, bytes, options)) {
        if (!d.File.empty() && d.File != pathUtf8 && std::filesystem::path(d.File).filename().string() != ownName)
            continue;
        TEditorDiagnostic e;
        e.Line = d.Line > 0 ? d.Line - 1 : 0;
        e.ColumnBegin = d.ColumnBegin;
        e.ColumnEnd = d.ColumnEnd;
        if (e.ColumnEnd <= e.ColumnBegin) {
            e.ColumnBegin = 0;
            e.ColumnEnd = e.Line < static_cast<int>(lines.size()) ? static_cast<int>(CharCount(lines[e.Line])) : 0;
        }
        e.Error = d.Severity == TSeverity::Error;
        e.Message = d.Message;
        e.Hint = d.Hint;
        out.push_back(std::move(e));
    }
    return out;
}

}   // namespace langsvc
