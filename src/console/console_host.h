// The console host: runs a program without a window. 表示 and 言う write lines to
// standard output, errors, warnings and message boxes go to standard error, all
// converted from Shift_JIS to UTF-8 (or, for 表示 and 言う, written unconverted in
// raw mode). The event loop that drives timers and sockets as in the window host is
// loaded when the first of them is made (console/late_services.h).
#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "commands/dialogs/dialog_lines.h"
#include "interp/host.h"

// The console's dialog streams: prompts on standard error, answers from standard
// input (UTF-8 lines, converted to Shift_JIS).
class TStdLineIo : public TLineIo {
public:
    void Prompt(const std::string& text) override;
    bool ReadLine(std::string& line) override;
};

class TConsoleHost : public THost {
public:
    // raw: 表示 and 言う write the Shift_JIS bytes as they are (byte-exact tests).
    explicit TConsoleHost(bool raw = false) : raw_(raw) {}

    bool IsGui() const override { return false; }

    void ShowText(TPoruBase& st, const std::string& text) override;
    void Say(TPoruBase& st, const std::string& text) override;
    void MessageBox(const std::string& text) override;

    ErrorChoice ShowErrorDialog(TPoruBase& st, const std::string& accumulated) override;
    void Warning(TPoruBase& st, const std::string& formatted) override;

    void ProcessEvents() override;
    void WaitMs(TPoruBase& st, int64_t ms) override;
    int64_t TickMs() override;

    // ---- dialogs: the line protocol on the standard streams ----
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
    DebugChoice ShowDebugDialog(TPoruBase& st, const std::string& word) override;

    // ---- progress: lines on standard error, "[進行] TEXT" for the messages and
    // "[進行] NN%" for positions, these at most once a second ----
    void ProgressOpen(TPoruBase& st, const std::string& message, std::function<void()> onStop) override;
    void ProgressSetMessage(TPoruBase& st, const std::string& message) override;
    void ProgressSetPosition(TPoruBase& st, int64_t position, int64_t maximum) override;
    void ProgressClose(TPoruBase& st) override;

    void ShowMainWindow() override {}
    void RequestClose(TPoruBase& st) override;
    void* MainWindowControl() override { return nullptr; }
    int ScreenWidth() override { return 0; }
    int ScreenHeight() override { return 0; }

    // ---- the end of the process ----
    // The process ends once the program has run (end of the text, 待機 or 終わり) and
    // nothing can run a handler any more. Whatever can still deliver an event after
    // the run (a timer, a listening or connected socket, a child process waited for)
    // registers as an event source: AddEventSource() when it starts,
    // RemoveEventSource() when it is gone; or it sets HasPendingEventSources, which is
    // asked while the process waits. A close request that was accepted ends the
    // process regardless.
    void AddEventSource() override { ++eventSources_; }
    void RemoveEventSource() override;
    std::function<bool()> HasPendingEventSources;

    // Called by the start-up code once RunProgram has returned: the process is done
    // now when nothing is pending, or later when the last event source goes.
    void RunFinished(TPoruBase& st);
    // After RunFinished: runs the event loop while something is pending; the exit
    // status of the process.
    int RunEventsUntilDone(TPoruBase& st);
    // How the host waits while the event loop is not loaded (at most ms; 0: only a
    // look): the start-up code watches the run-time's own channel and its signal pipe.
    std::function<void(int ms)> WaitIdle;
    bool CloseAccepted() const { return closeAccepted_; }
    // 0 normal end, 1 stopped by an error.
    int ExitStatus(const TPoruBase& st) const;

    // Writers shared with the start-up code; texts are Shift_JIS.
    void WriteOut(const std::string& sjis);
    static void WriteErr(const std::string& sjis);

private:
    bool Pending() const;
    void QuitWhenIdle();
    void WaitWithoutLoop(int ms);

    bool raw_;
    TStdLineIo io_;
    TLineDialogs dialogs_{io_};
    TProgressThrottle progressThrottle_;
    int eventSources_ = 0;
    bool closeAccepted_ = false;
    bool runFinished_ = false;
    bool polling_ = false;
    bool finished_ = false;   // the process may end
    bool looping_ = false;    // inside RunEventsUntilDone's loop
    TPoruBase* st_ = nullptr;
    std::string errorPrinted_;   // the part of the accumulated error text already printed
};

// Line breaks CR LF, CR and LF become LF; a final LF is added always (a line of
// output) or only when missing (message texts that may end in a line break).
std::string ToConsoleLines(const std::string& text, bool alwaysEndLine);
