// The narrow interface through which the interpreter reaches the outside world.
// Two hosts implement it: the window (src/gui) and the console (src/console).
// All texts crossing it are Shift_JIS byte strings.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class TPoruBase;
class THashNode;
struct TKeyAction;   // commands/system/key_sequence.h

enum class ErrorChoice { Continue, Debug, Stop };
// The debug dialog's outcome: closed without a button (nothing changes), 連続実行,
// 一行毎に実行 or 実行中断.
enum class DebugChoice { Closed, Continue, Step, Stop };

// The main window's state and bounds as フォームの位置記録 keeps them: the state 0
// normal, 1 minimised, 2 maximised; the bounds of the normal (restored) window.
struct TWindowPlace {
    int State = 0;
    int Top = 0, Left = 0, Height = 0, Width = 0;
};

class THost {
public:
    virtual ~THost() = default;

    virtual bool IsGui() const = 0;

    // 表示: draw text on the main window (GUI) or write a line to stdout (console).
    virtual void ShowText(TPoruBase& st, const std::string& text) = 0;
    // 言う: a message box (GUI) or a line on stdout (console).
    virtual void Say(TPoruBase& st, const std::string& text) = 0;
    // A plain message box (start-up failures, "システムエラー:").
    virtual void MessageBox(const std::string& text) = 0;

    // The error dialog over the accumulated error text.
    virtual ErrorChoice ShowErrorDialog(TPoruBase& st, const std::string& accumulated) = 0;
    // Warnings outside debug mode (the console writes them to stderr).
    virtual void Warning(TPoruBase& st, const std::string& formatted) = 0;

    // Message processing and waiting.
    virtual void ProcessEvents() = 0;
    virtual void WaitMs(TPoruBase& st, int64_t ms) = 0;
    virtual int64_t TickMs() = 0;

    // The main window: show it, ask it to close (the close handling runs), its size.
    virtual void ShowMainWindow() = 0;
    virtual void RequestClose(TPoruBase& st) = 0;
    virtual void* MainWindowControl() = 0;
    virtual int ScreenWidth() = 0;
    virtual int ScreenHeight() = 0;

    // Event sources: whatever can still run a handler after the program's text has
    // ended (a listening or connected socket, a channel server, a player, a child
    // process waited for) registers while it lives, so that the console host keeps
    // its process running; the window host lives until its window closes anyway.
    virtual void AddEventSource() {}
    virtual void RemoveEventSource() {}

    // ---- ready-made dialogs -------------------------------------------------------
    // The modal dialogs behind 尋ねる, 二択, 三択, どれか尋ねる, リストから選択,
    // ボタンで選択, メモ記入, 色選択, フォント選択, the file dialogs and フォルダ選択
    // (言う is Say above). Texts are Shift_JIS; `ime` is the input-method state of
    // ダイアログIMEの状態 (1 on, 2 hiragana, 3 katakana, 4 half-width katakana,
    // anything else off). Each returns false when the user cancelled. The command
    // handlers (commands/dialogs.cpp) turn the answers into それ; the window host
    // shows its own forms, the console host asks on its standard streams
    // (commands/dialogs/dialog_lines.h). A host without dialogs raises an error naming
    // the command.
    struct TDialogFilter {
        std::string Description;   // "テキスト"
        std::string Pattern;       // "*.txt" or several: "*.jpg;*.png"
    };
    struct TFontChoice {
        std::string Face;
        bool Bold = false, Italic = false, Underline = false;
        int Size = 0;   // points, 0 when none
    };
    // 尋ねる: a one-line entry that starts with `initial`.
    virtual bool AskText(TPoruBase& st, const std::string& message, const std::string& initial, int ime,
                         std::string& answer);
    // 二択 (はい 1, いいえ 0) and, withCancel, 三択 (キャンセル 2).
    virtual int AskQuestion(TPoruBase& st, const std::string& message, bool withCancel);
    // どれか尋ねる (editable) and リストから選択: the answer is the result field's text,
    // which starts with `initial`.
    virtual bool ChooseFromList(TPoruBase& st, const std::string& message, const std::vector<std::string>& items,
                                const std::string& initial, bool editable, int ime, std::string& answer);
    // ボタンで選択: the caption of the button pressed.
    virtual bool ChooseButton(TPoruBase& st, const std::string& message, const std::vector<std::string>& choices,
                              std::string& answer);
    // メモ記入: `text` holds the initial text and receives the edited one (CR LF
    // breaks); false only for キャンセル.
    virtual bool EditMemo(TPoruBase& st, int ime, std::string& text);
    // 色選択: R + 256 G + 65536 B.
    virtual bool ChooseColour(TPoruBase& st, int32_t& colour);
    // フォント選択: `font` starts as the current text font.
    virtual bool ChooseFont(TPoruBase& st, TFontChoice& font);
    // The file dialogs in the current folder; names come back as full script paths.
    virtual bool ChooseOpenFiles(TPoruBase& st, const std::vector<TDialogFilter>& filter,
                                 const std::string& initialName, std::vector<std::string>& files);
    virtual bool ChooseSaveFile(TPoruBase& st, const std::vector<TDialogFilter>& filter, const std::string& defaultExt,
                                const std::string& initialName, std::string& file);
    // フォルダ選択: the folder, ending in "/".
    virtual bool ChooseFolder(TPoruBase& st, std::string& folder);
    // ---- end of the ready-made dialogs ---------------------------------------------

    // The progress window of the network commands: a bar, a message line under it
    // ("---" when opened with an empty text) and a 中止 button that is enabled only
    // when onStop is given; pressing it calls onStop. Texts are Shift_JIS. The
    // console host reports on standard error, at most a line per second.
    virtual void ProgressOpen(TPoruBase& st, const std::string& message, std::function<void()> onStop);
    virtual void ProgressSetMessage(TPoruBase& st, const std::string& message);
    // position out of maximum (maximum 0: the bar shows 0).
    virtual void ProgressSetPosition(TPoruBase& st, int64_t position, int64_t maximum);
    virtual void ProgressClose(TPoruBase& st);

    // GUI objects (words of kind 4). The interpreter hands these to the host; the
    // console host refuses them with one message saying the window is needed.
    // `what` names the operation for that message.
    virtual std::string ObjectValue(TPoruBase& st, THashNode* obj);                         // direct value
    virtual void SetObjectValue(TPoruBase& st, THashNode* obj, const std::string& value);   // default property
    virtual std::string ObjectProperty(TPoruBase& st, THashNode* obj, const std::string& prop);
    virtual void SetObjectProperty(TPoruBase& st, THashNode* obj, const std::string& prop, const std::string& value);
    // Reads the event property (クリックした時 ...) of the object named `objName`.
    virtual std::string ObjectEvent(TPoruBase& st, const std::string& objName, const std::string& event);

    // ---- the desktop of the system commands ----
    // Windows, keys, the main window's place, the beep and the log display. The
    // window host reaches other programs' windows through X11 when it runs on it,
    // and otherwise only its own windows. The defaults (the console) raise the
    // window-needed error naming the running command, except Beep (BEL on standard
    // error) and ShowLog (the caption and the text as 言う shows them).
    // Titles of the top-level windows (Shift_JIS), in the window system's order.
    virtual std::vector<std::string> WindowTitles(TPoruBase& st);
    // Finds the window titled exactly so, else the first whose title contains the
    // text, and brings it to the front, processing events while it waits; true
    // once it is the active window.
    virtual bool ActivateWindow(TPoruBase& st, const std::string& title);
    // Sends the actions to the active window (after ActivateWindow succeeded);
    // every modifier the actions press is released even when sending fails.
    virtual void SendKeys(TPoruBase& st, const std::vector<TKeyAction>& actions);
    virtual TWindowPlace MainWindowPlace(TPoruBase& st);
    virtual void SetMainWindowPlace(TPoruBase& st, const TWindowPlace& place);
    virtual void Beep(TPoruBase& st);
    // ログる's display: the accumulated text under its caption.
    virtual void ShowLog(TPoruBase& st, const std::string& caption, const std::string& text);

    // ---- the debugger ----
    // The debug dialog over the run (the current line, the program text, the open
    // control structures and the variable table, with the word `word` selected when
    // it is listed), modal. The console writes the same to standard error and reads
    // one letter. The default (no dialogs) raises the no-dialog error.
    virtual DebugChoice ShowDebugDialog(TPoruBase& st, const std::string& word);
};

// The error raised by the default object operations (no window).
[[noreturn]] void RaiseNeedsWindow(TPoruBase& st, const std::string& what);
// The same for the dialog operations, naming the running command.
[[noreturn]] void RaiseNoDialogs(TPoruBase& st);
