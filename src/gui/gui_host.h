// The window host: the interpreter's outside world as a Qt Widgets application. Text
// output draws on the main window's surface, messages and errors open dialogs, and
// waiting keeps the event loop running.
#pragma once
#include <string>

#include "interp/host.h"

class TMainWindow;
class TfrmError;
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
    void SetObjectProperty(TPoruBase& st, THashNode* obj, const std::string& prop,
                           const std::string& value) override;
    std::string ObjectEvent(TPoruBase& st, const std::string& objName, const std::string& event) override;

    // ---- the desktop of the system commands (gui_host_system.cpp) ----
    std::vector<std::string> WindowTitles(TPoruBase& st) override;
    bool ActivateWindow(TPoruBase& st, const std::string& title) override;
    void SendKeys(TPoruBase& st, const std::vector<TKeyAction>& actions) override;
    TWindowPlace MainWindowPlace(TPoruBase& st) override;
    void SetMainWindowPlace(TPoruBase& st, const TWindowPlace& place) override;
    void Beep(TPoruBase& st) override;
    void ShowLog(TPoruBase& st, const std::string& caption, const std::string& text) override;

    TMainWindow* Window() const { return window_; }
    TfrmError* ErrorDialog() const { return errorDialog_; }

    // The height of one line of 表示 in `font`: the height of "あ" times 1.2,
    // truncated.
    static int LineHeight(const QFont& font);

private:
    TMainWindow* window_;
    TfrmError* errorDialog_;
};
