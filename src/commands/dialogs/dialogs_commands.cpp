// The dialog commands: each fetches its arguments, lets the host show the dialog and
// puts the answer into それ. A cancelled dialog gives ダイアログキャンセルの値: most
// copy its value and its tag, ボタンで選択 and メモ記入 only its value (tag "s").
// 言う lives with 表示 (output.cpp).
#include "commands/dialogs/dialogs.h"
#include "core/hash.h"
#include "core/text.h"
#include "interp/builtins.h"
#include "interp/host.h"
#include "interp/interp.h"

namespace {

std::string VariableValue(TPoruBase& st, const char* name)
{
    THashNode* node = st.Words.FindExact(name);
    return node ? node->Value : std::string();
}

// ダイアログIMEの状態 as an integer, 0 when it is not one.
int ImeState(TPoruBase& st)
{
    return ToIntOrDefault(TrimView(VariableValue(st, "ダイアログIMEの状態")), 0);
}

std::string InitialValue(TPoruBase& st)
{
    return VariableValue(st, "ダイアログ初期値");
}

THost& HostOf(TPoruBase& st)
{
    if (!st.Host)
        RaiseNoDialogs(st);
    return *st.Host;
}

// それ becomes ダイアログキャンセルの値: value and tag.
void SoreFromCancel(TPoruBase& st)
{
    THashNode* cancel = st.Words.FindExact("ダイアログキャンセルの値");
    if (!cancel) {
        st.SetSore(std::string(), "s");
        return;
    }
    st.SetSore(cancel->Value, cancel->TypeText.c_str());
}

// 尋ねる: a line of input. An empty entry keeps それ's tag; the message defaults to
// 入力してください。 when it was left out.
void cmdAsk(TPoruBase& st)
{
    std::string message;
    if (st.ImpliedSore) {
        st.PopRaw();
        message = "入力してください。";
    } else {
        message = st.PopText();
    }
    std::string answer;
    if (!HostOf(st).AskText(st, message, InitialValue(st), ImeState(st), answer)) {
        SoreFromCancel(st);
        return;
    }
    if (answer.empty())
        st.SetSoreKeepTag(std::string());
    else
        st.SetSore(answer, EntryTag(answer));
}

// 二択: "1" for はい, "0" for いいえ.
void cmdYesNo(TPoruBase& st)
{
    const std::string message = st.PopText();
    const int answer = HostOf(st).AskQuestion(st, message, false);
    st.SetSoreFlag(answer == 1);
}

// 三択: "1" はい, "0" いいえ, "2" キャンセル.
void cmdYesNoCancel(TPoruBase& st)
{
    const std::string message = st.PopText();
    const int answer = HostOf(st).AskQuestion(st, message, true);
    if (answer < 0 || answer > 2) {
        st.SetSoreKeepTag(message);   // a box that answered none of its buttons
        return;
    }
    st.SetSoreInt(answer);
}

// どれか尋ねる and リストから選択: the result field's text, tag unchanged.
void ChooseFromList(TPoruBase& st, bool editable)
{
    const std::string choices = st.PopText();
    const std::string message = st.PopText();
    std::string answer;
    if (!HostOf(st).ChooseFromList(st, message, ListChoiceItems(choices), InitialValue(st), editable, ImeState(st),
                                   answer)) {
        SoreFromCancel(st);
        return;
    }
    st.SetSoreKeepTag(answer);
}

void cmdChooseAny(TPoruBase& st)
{
    ChooseFromList(st, true);
}

void cmdChooseFromList(TPoruBase& st)
{
    ChooseFromList(st, false);
}

// ボタンで選択: the caption of the button pressed; at most 20 choices.
void cmdChooseButton(TPoruBase& st)
{
    const std::string choices = st.PopText();
    const std::string message = st.PopText();
    const std::vector<std::string> items = ButtonChoiceItems(choices);
    if (items.size() > kMaxButtonChoices)
        st.Error("範囲チェックエラー");
    std::string answer;
    if (!HostOf(st).ChooseButton(st, message, items, answer))
        answer = VariableValue(st, "ダイアログキャンセルの値");
    st.SetSore(answer, "s");
}

// メモ記入: the edited text; キャンセル gives the cancel value with tag "s".
void cmdMemo(TPoruBase& st)
{
    std::string text = st.PopText();
    if (!HostOf(st).EditMemo(st, ImeState(st), text))
        text = VariableValue(st, "ダイアログキャンセルの値");
    st.SetSore(text, "s");
}

// 色選択: R + 256 G + 65536 B.
void cmdChooseColour(TPoruBase& st)
{
    int32_t colour = 0;
    if (!HostOf(st).ChooseColour(st, colour)) {
        SoreFromCancel(st);
        return;
    }
    st.SetSoreInt(colour);
}

// フォント選択: a font choice text, starting from the current text font.
void cmdChooseFont(TPoruBase& st)
{
    TFontChoice font;
    ParseFontChoice(VariableValue(st, "文字書体"), font);
    if (font.Size <= 0)
        font.Size = std::max(0, ToIntOrDefault(TrimView(VariableValue(st, "文字サイズ")), 0));
    if (!HostOf(st).ChooseFont(st, font)) {
        SoreFromCancel(st);
        return;
    }
    st.SetSore(FormatFontChoice(font), "s");
}

// 読込ファイル選択: the chosen names, one per line.
void cmdChooseOpenFiles(TPoruBase& st)
{
    const std::vector<TDialogFilter> filter = FileDialogFilter(st.PopText());
    std::vector<std::string> files;
    if (!HostOf(st).ChooseOpenFiles(st, filter, InitialValue(st), files) || files.empty()) {
        SoreFromCancel(st);
        return;
    }
    std::string joined;
    for (const std::string& f : files) {
        if (!joined.empty())
            joined += "\r\n";
        joined += f;
    }
    st.SetSore(joined, "s");
}

// 書込ファイル選択: the name to write, with the filter's default extension.
void cmdChooseSaveFile(TPoruBase& st)
{
    const std::vector<TDialogFilter> filter = FileDialogFilter(st.PopText());
    std::string file;
    if (!HostOf(st).ChooseSaveFile(st, filter, DefaultExtension(filter), InitialValue(st), file)) {
        SoreFromCancel(st);
        return;
    }
    st.SetSore(file, "s");
}

// フォルダ選択: the folder, ending in "/".
void cmdChooseFolder(TPoruBase& st)
{
    std::string folder;
    if (!HostOf(st).ChooseFolder(st, folder)) {
        SoreFromCancel(st);
        return;
    }
    st.SetSore(folder, "s");
}

HandlerRegistrar reg({{Cmd::Ask, cmdAsk},
                      {Cmd::YesNo, cmdYesNo},
                      {Cmd::ChooseOpenFiles, cmdChooseOpenFiles},
                      {Cmd::ChooseSaveFile, cmdChooseSaveFile},
                      {Cmd::ChooseColour, cmdChooseColour},
                      {Cmd::YesNoCancel, cmdYesNoCancel},
                      {Cmd::ChooseFolder, cmdChooseFolder},
                      {Cmd::ChooseAny, cmdChooseAny},
                      {Cmd::Memo, cmdMemo},
                      {Cmd::ChooseFromList, cmdChooseFromList},
                      {Cmd::ChooseButton, cmdChooseButton},
                      {Cmd::ChooseFont, cmdChooseFont}});

}   // namespace
