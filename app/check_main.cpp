#include "app/check_main.h"

#include <cstdio>
#include <string>

#include "check/check.h"
#include "core/codec.h"
#include "core/error.h"

int RunCheckCommand(int count, char** files, bool console)
{
    if (count <= 0) {
        std::fputs("usage: --check FILE...\n", stderr);
        return 2;
    }
    TCheckOptions options;
    options.Console = console;
    bool errors = false, warnings = false;
    for (int i = 0; i < count; ++i) {
        for (const TDiagnostic& d : CheckFile(files[i], options)) {
            // The line is formatted in Shift_JIS like every reported line, then
            // written in UTF-8.
            const std::string line = FormatMessageLine(d.Severity, Utf8ToSjis(d.File), d.Line, Utf8ToSjis(d.Message));
            std::fputs((SjisToUtf8(line) + "\n").c_str(), stderr);
            if (!d.Hint.empty())
                std::fputs(("    " + d.Hint + "\n").c_str(), stderr);
            (d.Severity == TSeverity::Error ? errors : warnings) = true;
        }
    }
    return errors ? 1 : (warnings ? 3 : 0);
}
