// The console has no window: every command of the window families that no console
// family provides raises one message naming the command.
#include "interp/builtins.h"
#include "interp/host.h"

namespace {

// Names the command as the registry writes it (作る rather than its folded 作).
void NeedsWindow(TPoruBase& st)
{
    RaiseNeedsWindow(st, RunningCommandName(st));
}

struct TInstall {
    TInstall()
    {
        size_t count = 0;
        const CommandRow* rows = CommandRows(count);
        for (size_t i = 0; i < count; ++i)
            if (IsWindowFamily(rows[i].family) && !GetHandler(rows[i].id))
                SetHandler(static_cast<Cmd>(rows[i].id), NeedsWindow);
    }
};

// A family that registers later replaces these with its own handlers; one that
// registered earlier is kept.
TInstall gInstall;

}   // namespace
