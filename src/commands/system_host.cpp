// The defaults of the host's desktop operations (interp/host.h): a host without a
// window (the console) refuses the window commands with the window-needed error of
// the running command, beeps with BEL on standard error and shows the log of ログる
// as 言う would.
#include <cstdio>

#include "commands/key_sequence.h"
#include "interp/builtins.h"
#include "interp/host.h"
#include "interp/interp.h"

namespace {

[[noreturn]] void CommandNeedsWindow(TPoruBase& st)
{
    RaiseNeedsWindow(st, RunningCommandName(st));
}

}   // namespace

std::vector<std::string> THost::WindowTitles(TPoruBase& st)
{
    CommandNeedsWindow(st);
}

bool THost::ActivateWindow(TPoruBase& st, const std::string&)
{
    CommandNeedsWindow(st);
}

void THost::SendKeys(TPoruBase& st, const std::vector<TKeyAction>&)
{
    CommandNeedsWindow(st);
}

TWindowPlace THost::MainWindowPlace(TPoruBase& st)
{
    CommandNeedsWindow(st);
}

void THost::SetMainWindowPlace(TPoruBase& st, const TWindowPlace&)
{
    CommandNeedsWindow(st);
}

void THost::Beep(TPoruBase&)
{
    std::fflush(stdout);
    std::fputc('\a', stderr);
    std::fflush(stderr);
}

void THost::ShowLog(TPoruBase& st, const std::string& caption, const std::string& text)
{
    Say(st, caption + "\r\n" + text);
}
