// The dialogs of the window host: 言う, the questions, the run-time's forms, the
// standard dialogs and the progress window. Each dialog is a new instance, so that
// an event handler that runs while one is open may open another. With scripted
// answers (dialog_answers.h) the dialogs take the console's line protocol from the
// answers file instead of opening.
#include <QFont>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <cstdio>

#include "commands/dialogs/dialog_lines.h"
#include "commands/dialogs/dialogs.h"
#include "core/codec.h"
#include "core/hash.h"
#include "gui/dialog_answers.h"
#include "gui/dialog_forms.h"
#include "gui/dialog_memo.h"
#include "gui/dialog_platform.h"
#include "gui/dialog_progress.h"
#include "gui/gui_host.h"
#include "gui/main_window.h"
#include "gui/text_font.h"
#include "gui/text_layout.h"
#include "interp/interp.h"
#include "services/qt_text.h"

namespace {

const char* const kAppTitle = "ぽるかな";

// A path chosen in a dialog, as scripts see it.
std::string ScriptPath(const QString& native)
{
    return FromNativePath(native.toStdString());
}

// Scripted answers: what a dialog would ask goes to stderr together with the answer
// line taken from the answers file.
class TAnswerLineIo : public TLineIo {
public:
    void Prompt(const std::string& text) override { pending_ += text; }
    bool ReadLine(std::string& line) override
    {
        std::string utf8;
        const bool got = NextDialogLine(utf8);
        const std::string shown = !got ? std::string("(入力の終わり)") : utf8.empty() ? std::string("(空行)") : utf8;
        // The prompt without its entry mark "> "; a further read of the same dialog
        // shows only its answer.
        std::string prompt = pending_;
        pending_.clear();
        auto trimEnd = [&prompt] {
            while (!prompt.empty() && static_cast<unsigned char>(prompt.back()) <= ' ')
                prompt.pop_back();
        };
        trimEnd();
        if (!prompt.empty() && prompt.back() == '>') {
            prompt.pop_back();
            trimEnd();
        }
        if (prompt.empty()) {
            std::fprintf(stderr, "-> %s\n", shown.c_str());
            std::fflush(stderr);
        } else {
            RecordDialog(kAppTitle, prompt, shown);
        }
        if (!got)
            return false;
        line = Utf8ToSjis(utf8);
        return true;
    }

private:
    std::string pending_;
};

// Runs `ask` with the scripted line dialogs.
template <class F> auto Scripted(F ask)
{
    TAnswerLineIo io;
    TLineDialogs lines(io);
    return ask(lines);
}

}   // namespace

void TGuiHost::Say(TPoruBase& st, const std::string& text)
{
    const QFont font = CurrentTextFont(st);
    const int limit = ScreenHeight() * 70 / 100;
    const std::string message = FitLines(SayText(text, TabWidth(st)), LineHeight(font), limit);
    if (DialogsScripted()) {
        RecordDialog(kAppTitle, message, std::string());
        return;
    }
    TfrmMsgBox dlg(window_);
    dlg.Prepare(MessageText(message), font, CurrentTextColour(st), limit);
    dlg.Run();
}

bool TGuiHost::AskText(TPoruBase& st, const std::string& message, const std::string& initial, int ime,
                       std::string& answer)
{
    if (DialogsScripted())
        return Scripted([&](TLineDialogs& d) { return d.AskText(message, answer); });
    TfrmInputBox dlg(window_);
    dlg.Prepare(MessageText(message), SjisToQString(initial), CurrentTextFont(st), CurrentTextColour(st), ime);
    QString text;
    if (!dlg.Run(text))
        return false;
    answer = QStringToSjis(text);
    return true;
}

int TGuiHost::AskQuestion(TPoruBase& st, const std::string& message, bool withCancel)
{
    if (DialogsScripted())
        return Scripted([&](TLineDialogs& d) { return d.AskQuestion(message, withCancel); });
    const QFont font = CurrentTextFont(st);
    return AskQuestionBox(window_, MessageText(message), withCancel, &font);
}

bool TGuiHost::ChooseFromList(TPoruBase& st, const std::string& message, const std::vector<std::string>& items,
                              const std::string& initial, bool editable, int ime, std::string& answer)
{
    if (DialogsScripted())
        return Scripted([&](TLineDialogs& d) { return d.ChooseFromList(message, items, editable, answer); });
    TfrmPoruCombo dlg(window_);
    dlg.Prepare(MessageText(message), items, SjisToQString(initial), editable, CurrentTextFont(st),
                CurrentTextColour(st), ime);
    QString text;
    if (!dlg.Run(text))
        return false;
    answer = QStringToSjis(text);
    return true;
}

bool TGuiHost::ChooseButton(TPoruBase& st, const std::string& message, const std::vector<std::string>& choices,
                            std::string& answer)
{
    if (DialogsScripted())
        return Scripted([&](TLineDialogs& d) { return d.ChooseButton(message, choices, answer); });
    QStringList captions;
    for (const std::string& c : choices)
        captions << SjisToQString(c);
    TfrmSelectButton dlg(window_);
    dlg.Prepare(MessageText(message), captions, CurrentTextFont(st), CurrentTextColour(st), window_->width());
    const int chosen = dlg.Run();
    if (chosen < 0 || static_cast<size_t>(chosen) >= choices.size())
        return false;
    answer = choices[static_cast<size_t>(chosen)];
    return true;
}

bool TGuiHost::EditMemo(TPoruBase& st, int ime, std::string& text)
{
    if (DialogsScripted()) {
        Scripted([&](TLineDialogs& d) {
            d.EditMemo(text);
            return true;
        });
        return true;
    }
    TfrmPoruMemo dlg(window_);
    dlg.Prepare(MessageText(text), CurrentTextFont(st), CurrentTextColour(st), ime);
    QString edited;
    const bool confirmed = dlg.Run(edited);
    edited.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    text = QStringToSjis(edited);
    return confirmed;
}

bool TGuiHost::ChooseColour(TPoruBase&, int32_t& colour)
{
    if (DialogsScripted())
        return Scripted([&](TLineDialogs& d) { return d.ChooseColour(colour); });
    return PickColour(window_, colour);
}

bool TGuiHost::ChooseFont(TPoruBase&, TFontChoice& font)
{
    if (DialogsScripted())
        return Scripted([&](TLineDialogs& d) { return d.ChooseFont(font); });
    QFont qfont = FontFromDesc(ParseFontText(SjisToQString(FormatFontChoice(font)), InstalledFaces()), font.Size);
    if (!PickFont(window_, qfont))
        return false;
    font.Face = QStringToSjis(qfont.family());
    font.Bold = qfont.bold();
    font.Italic = qfont.italic();
    font.Underline = qfont.underline();
    font.Size = std::max(0, qfont.pointSize());
    return true;
}

bool TGuiHost::ChooseOpenFiles(TPoruBase&, const std::vector<TDialogFilter>& filter, const std::string& initialName,
                               std::vector<std::string>& files)
{
    if (DialogsScripted())
        return Scripted([&](TLineDialogs& d) {
            std::string file;
            if (!d.ChooseOpenFile(filter, file))
                return false;
            files.assign(1, file);
            return true;
        });
    const QString initial = initialName.empty() ? QString() : QString::fromStdString(ToNativePath(initialName));
    const QStringList chosen = PickOpenFiles(window_, SjisToQString(QtFilterText(filter)), initial, true);
    files.clear();
    for (const QString& f : chosen)
        files.push_back(ScriptPath(f));
    return !files.empty();
}

bool TGuiHost::ChooseSaveFile(TPoruBase&, const std::vector<TDialogFilter>& filter, const std::string& defaultExt,
                              const std::string& initialName, std::string& file)
{
    if (DialogsScripted())
        return Scripted([&](TLineDialogs& d) { return d.ChooseSaveFile(filter, defaultExt, file); });
    const QString initial = initialName.empty() ? QString() : QString::fromStdString(ToNativePath(initialName));
    const QString chosen =
        PickSaveFile(window_, SjisToQString(QtFilterText(filter)), SjisToQString(defaultExt), initial);
    if (chosen.isEmpty())
        return false;
    file = ScriptPath(chosen);
    return true;
}

bool TGuiHost::ChooseFolder(TPoruBase&, std::string& folder)
{
    if (DialogsScripted())
        return Scripted([&](TLineDialogs& d) { return d.ChooseFolder(folder); });
    const QString chosen = PickFolder(window_);
    if (chosen.isEmpty())
        return false;
    folder = ScriptPath(chosen);
    if (folder.empty() || folder.back() != '/')
        folder += '/';
    return true;
}

// ---- the progress window ----------------------------------------------------------------

void TGuiHost::ProgressOpen(TPoruBase&, const std::string& message, std::function<void()> onStop)
{
    if (!progress_)
        progress_ = new TfrmProg(window_);
    progress_->Open(SjisToQString(message), std::move(onStop));
}

void TGuiHost::ProgressSetMessage(TPoruBase&, const std::string& message)
{
    if (progress_)
        progress_->SetMessage(SjisToQString(message));
}

void TGuiHost::ProgressSetPosition(TPoruBase&, int64_t position, int64_t maximum)
{
    if (progress_)
        progress_->SetPercent(ProgressPercent(position, maximum));
}

void TGuiHost::ProgressClose(TPoruBase&)
{
    if (progress_)
        progress_->Finish();
}
