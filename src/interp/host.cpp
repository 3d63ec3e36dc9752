// The default bodies of the host interface (interp/host.h), which are what a host
// without a window (the console) does: the window commands, objects and dialogs are
// refused with the window-needed error of the running command, a progress display
// shows nothing, a beep is BEL on standard error and the log of ログる is shown as
// 言う would show it.
#include <cstdio>

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

// ---- the default object operations of a host without a window -------------------------

void RaiseNeedsWindow(TPoruBase& st, const std::string& what)
{
    st.Error("\"" + what + "\"は、ウィンドウが必要なため、この実行環境では使えません。");
}

std::string THost::ObjectValue(TPoruBase& st, THashNode* obj)
{
    RaiseNeedsWindow(st, obj->Name);
}
void THost::SetObjectValue(TPoruBase& st, THashNode* obj, const std::string&)
{
    RaiseNeedsWindow(st, obj->Name);
}
std::string THost::ObjectProperty(TPoruBase& st, THashNode* obj, const std::string& prop)
{
    RaiseNeedsWindow(st, obj->Name + "の" + prop);
}
void THost::SetObjectProperty(TPoruBase& st, THashNode* obj, const std::string& prop, const std::string&)
{
    RaiseNeedsWindow(st, obj->Name + "の" + prop);
}
std::string THost::ObjectEvent(TPoruBase& st, const std::string& objName, const std::string& event)
{
    RaiseNeedsWindow(st, objName + "の" + event);
}

// A host without a progress display shows nothing; the transfer itself goes on.
void THost::ProgressOpen(TPoruBase&, const std::string&, std::function<void()>) {}
void THost::ProgressSetMessage(TPoruBase&, const std::string&) {}
void THost::ProgressSetPosition(TPoruBase&, int64_t, int64_t) {}
void THost::ProgressClose(TPoruBase&) {}

// A host without dialogs refuses them, naming the command as the registry writes it
// (尋ねる rather than its folded 尋).
void RaiseNoDialogs(TPoruBase& st)
{
    if (!st.CurrentCommand)
        RaiseNeedsWindow(st, "ダイアログ");
    size_t count = 0;
    const CommandRow* rows = CommandRows(count);
    for (size_t i = 0; i < count; ++i)
        if (rows[i].id == st.CurrentCommand->Id)
            RaiseNeedsWindow(st, rows[i].name);
    RaiseNeedsWindow(st, st.CurrentCommand->Name);
}

bool THost::AskText(TPoruBase& st, const std::string&, const std::string&, int, std::string&)
{
    RaiseNoDialogs(st);
}
int THost::AskQuestion(TPoruBase& st, const std::string&, bool)
{
    RaiseNoDialogs(st);
}
bool THost::ChooseFromList(TPoruBase& st, const std::string&, const std::vector<std::string>&, const std::string&, bool,
                           int, std::string&)
{
    RaiseNoDialogs(st);
}
bool THost::ChooseButton(TPoruBase& st, const std::string&, const std::vector<std::string>&, std::string&)
{
    RaiseNoDialogs(st);
}
bool THost::EditMemo(TPoruBase& st, int, std::string&)
{
    RaiseNoDialogs(st);
}
bool THost::ChooseColour(TPoruBase& st, int32_t&)
{
    RaiseNoDialogs(st);
}
bool THost::ChooseFont(TPoruBase& st, TFontChoice&)
{
    RaiseNoDialogs(st);
}
bool THost::ChooseOpenFiles(TPoruBase& st, const std::vector<TDialogFilter>&, const std::string&,
                            std::vector<std::string>&)
{
    RaiseNoDialogs(st);
}
bool THost::ChooseSaveFile(TPoruBase& st, const std::vector<TDialogFilter>&, const std::string&, const std::string&,
                           std::string&)
{
    RaiseNoDialogs(st);
}
bool THost::ChooseFolder(TPoruBase& st, std::string&)
{
    RaiseNoDialogs(st);
}

DebugChoice THost::ShowDebugDialog(TPoruBase& st, const std::string&)
{
    RaiseNoDialogs(st);
}
