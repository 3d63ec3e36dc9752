// The window host's debug dialog.
#include "core/codec.h"
#include "gui/dialog_answers.h"
#include "gui/frm_debug.h"
#include "gui/gui_host.h"
#include "gui/main_window.h"
#include "interp/debug_model.h"

DebugChoice TGuiHost::ShowDebugDialog(TPoruBase& st, const std::string& word)
{
    if (DialogsScripted()) {
        const std::string filter = "0";
        const std::string dump = DebugDumpText(DebugViewOf(st, filter, false), filter, word);
        const std::string answer = NextDialogAnswer();
        RecordDialog("デバッグ", dump, answer);
        return DebugChoiceFromAnswer(answer);
    }
    if (!debugDialog_) {
        debugDialog_ = new TfrmDebug(window_);
        debugDialog_->PlaceOver(window_);
    }
    return debugDialog_->Run(st, word);
}
