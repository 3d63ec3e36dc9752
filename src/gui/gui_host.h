// The window host: the interpreter's outside world as a Qt Widgets application. Text
// output draws on the main window's surface, messages and errors open dialogs, and
// waiting keeps the event loop running.
#pragma once
#include <string>

#include "interp/host.h"

class TMainWindow;
class TfrmError;
class TfrmProg;
class TfrmDebug;
class QFont;

class TGuiHost : public THost {
public:
    // Attaches the host to the main window: closing the window asks st first.
    TGuiHost(TMainWindow* window, TPoruBase& st);
    ~TGuiHost() override;

    bool IsGui() const override { return true; }

    // 表示 on the surface: the font and colour from 文字書体, 文字サイズ and 文字色,
    // tabs expanded to タブ文字の個数 columns, one line below the other from
    // LayoutX, LayoutY (each line centred when st.Centring is set); LayoutY ends
    // below the last line.
    void ShowText(TPoruBase& st, const std::string& text) override;
    // 言う: the message cut to 4095 bytes (plus "..."), tabs and breaks expanded,
    // the lines that fit into 70 % of the screen height, in a message box in the
    // current text font.
    void Say(TPoruBase& st, const std::string& text) override;
    void MessageBox(const std::string& text) override;

    // ---- dialogs (gui_host_dialogs.cpp): the run-time's own forms and Qt's standard
    // dialogs, each a new instance per call, modal while events go on. With scripted
    // answers (dialog_answers.h) they read the console's line protocol from the file.
    bool AskText(TPoruBase& st, const std::string& message, const std::string& initial, int ime,
                 std::string& answer) override;
    int AskQuestion(TPoruBase& st, const std::string& message, bool withCancel) override;
    bool ChooseFromList(TPoruBase& st, const std::string& message, const std::vector<std::string>& items,
                        const std::string& initial, bool editable, int ime, std::string& answer) override;
    bool ChooseButton(TPoruBase& st, const std::string& message, const std::vector<std::string>& choices,
                      std::string& answer) override;
    bool EditMemo(TPoruBase& st, int ime, std::string& text) override;
    bool ChooseColour(TPoruBase& st, int32_t& colour) override;
    bool ChooseFont(TPoruBase& st, TFontChoice& font) override;
    bool ChooseOpenFiles(TPoruBase& st, const std::vector<TDialogFilter>& filter, const std::string& initialName,
                         std::vector<std::string>& files) override;
    bool ChooseSaveFile(TPoruBase& st, const std::vector<TDialogFilter>& filter, const std::string& defaultExt,
                        const std::string& initialName, std::string& file) override;
    bool ChooseFolder(TPoruBase& st, std::string& folder) override;

    // The progress window (one, created on first use).
    void ProgressOpen(TPoruBase& st, const std::string& message, std::function<void()> onStop) override;
    void ProgressSetMessage(TPoruBase& st, const std::string& message) override;
    void ProgressSetPosition(TPoruBase& st, int64_t position, int64_t maximum) override;
    void ProgressClose(TPoruBase& st) override;
    TfrmProg* ProgressWindow() const { return progress_; }
    // A warning box with its own caption (start-up failures, the security gate).
    void WarningBox(const std::string& caption, const std::string& text);
    ErrorChoice ShowErrorDialog(TPoruBase& st, const std::string& accumulated) override;
    void Warning(TPoruBase& st, const std::string& formatted) override;

    void ProcessEvents() override;
    void WaitMs(TPoruBase& st, int64_t ms) override;
    int64_t TickMs() override;

    void ShowMainWindow() override;
    void RequestClose(TPoruBase& st) override;
    // The main window, a TMainWindow*.
    void* MainWindowControl() override;
    int ScreenWidth() override;
    int ScreenHeight() override;

    // Objects: direct values, properties and the event sentences.
    std::string ObjectValue(TPoruBase& st, THashNode* obj) override;
    void SetObjectValue(TPoruBase& st, THashNode* obj, const std::string& value) override;
    std::string ObjectProperty(TPoruBase& st, THashNode* obj, const std::string& prop) override;
    void SetObjectProperty(TPoruBase& st, THashNode* obj, const std::string& prop, const std::string& value) override;
    std::string ObjectEvent(TPoruBase& st, const std::string& objName, const std::string& event) override;

    // ---- the desktop of the system commands (gui_host_system.cpp) ----
    std::vector<std::string> WindowTitles(TPoruBase& st) override;
    bool ActivateWindow(TPoruBase& st, const std::string& title) override;
    void SendKeys(TPoruBase& st, const std::vector<TKeyAction>& actions) override;
    TWindowPlace MainWindowPlace(TPoruBase& st) override;
    void SetMainWindowPlace(TPoruBase& st, const TWindowPlace& place) override;
    void Beep(TPoruBase& st) override;
    void ShowLog(TPoruBase& st, const std::string& caption, const std::string& text) override;

    // The debug dialog (gui/debug_host.cpp): one TfrmDebug for the run, created on
    // first use and centred over the main window; with scripted answers the dump of
    // the console and one answer line (c, l, q).
    DebugChoice ShowDebugDialog(TPoruBase& st, const std::string& word) override;
    TfrmDebug* DebugDialog() const { return debugDialog_; }

    TMainWindow* Window() const { return window_; }
    TfrmError* ErrorDialog() const { return errorDialog_; }

    // The height of one line of 表示 in `font`: the height of "あ" times 1.2,
    // truncated.
    static int LineHeight(const QFont& font);
    // タブ文字の個数 (8 when it is not a number).
    static int TabWidth(TPoruBase& st);

private:
    TMainWindow* window_;
    TfrmError* errorDialog_;
    TfrmProg* progress_ = nullptr;
    TfrmDebug* debugDialog_ = nullptr;
    std::string errorWritten_;   // the part of the accumulated error text already on stderr
};
