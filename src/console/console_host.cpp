#include "console/console_host.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <iostream>

#include "core/codec.h"
#include "interp/debug_model.h"
#include "interp/event_loop.h"
#include "interp/interp.h"

namespace {

// While the run has ended but a source registered through the hook may still fire,
// the host looks again this often whether it has gone.
constexpr int kIdlePollMs = 100;

void WriteAll(FILE* f, const std::string& bytes)
{
    if (!bytes.empty())
        std::fwrite(bytes.data(), 1, bytes.size(), f);
}

}   // namespace

std::string ToConsoleLines(const std::string& text, bool alwaysEndLine)
{
    std::string out;
    out.reserve(text.size() + 1);
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\r') {
            out += '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else {
            out += c;
        }
    }
    if (alwaysEndLine || out.empty() || out.back() != '\n')
        out += '\n';
    return out;
}

void TConsoleHost::WriteOut(const std::string& sjis)
{
    if (raw_) {
        WriteAll(stdout, sjis + "\n");
    } else {
        WriteAll(stdout, SjisToUtf8(ToConsoleLines(sjis, true)));
    }
    std::fflush(stdout);
}

void TConsoleHost::WriteErr(const std::string& sjis)
{
    std::fflush(stdout);   // keep the order of both streams on a terminal
    WriteAll(stderr, SjisToUtf8(ToConsoleLines(sjis, false)));
    std::fflush(stderr);
}

void TConsoleHost::ShowText(TPoruBase&, const std::string& text)
{
    WriteOut(text);
}

void TConsoleHost::Say(TPoruBase&, const std::string& text)
{
    WriteOut(text);
}

void TConsoleHost::MessageBox(const std::string& text)
{
    WriteErr(text);
}

// The console's error dialog prints what was added to the accumulated error text
// since it was last shown, and stops the program.
ErrorChoice TConsoleHost::ShowErrorDialog(TPoruBase&, const std::string& accumulated)
{
    std::string fresh;
    if (accumulated.size() >= errorPrinted_.size() && accumulated.compare(0, errorPrinted_.size(), errorPrinted_) == 0)
        fresh = accumulated.substr(errorPrinted_.size());
    else
        fresh = accumulated;   // the text was started afresh
    errorPrinted_ = accumulated;
    if (!fresh.empty())
        WriteErr(fresh);
    return ErrorChoice::Stop;
}

void TConsoleHost::Warning(TPoruBase&, const std::string& formatted)
{
    WriteErr(formatted);
}

void TConsoleHost::ProcessEvents()
{
    if (gEventLoop)
        gEventLoop->ProcessEvents();
    else
        WaitWithoutLoop(0);
}

// Without the event loop: what the start-up code set for waiting, else a sleep.
void TConsoleHost::WaitWithoutLoop(int ms)
{
    if (WaitIdle)
        WaitIdle(ms);
    else if (ms > 0)
        ::usleep(static_cast<useconds_t>(ms) * 1000);
}

// Processes events until the time has passed; returns early when the program is
// stopping (a close request or a signal arrived meanwhile).
void TConsoleHost::WaitMs(TPoruBase& st, int64_t ms)
{
    if (ms <= 0) {
        ProcessEvents();
        return;
    }
    const int64_t end = TickMs() + ms;
    while (!st.Stopping) {
        const int64_t left = end - TickMs();
        if (left <= 0)
            break;
        const int slice = static_cast<int>(std::min<int64_t>(left, INT_MAX));
        if (gEventLoop)
            gEventLoop->WaitForEvents(slice);
        else
            WaitWithoutLoop(slice);
    }
}

int64_t TConsoleHost::TickMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void TConsoleHost::RequestClose(TPoruBase& st)
{
    st_ = &st;
    if (!st.RequestClose())
        return;
    closeAccepted_ = true;
    if (runFinished_)
        QuitWhenIdle();
}

void TConsoleHost::RemoveEventSource()
{
    if (eventSources_ > 0)
        --eventSources_;
    if (runFinished_ && eventSources_ == 0)
        QuitWhenIdle();
}

bool TConsoleHost::Pending() const
{
    // A handler that is still running (it may have closed one connection and be
    // about to open the next) counts as pending until it returns.
    const bool handlerRunning = st_ && st_->NestDepth > 0;
    return eventSources_ > 0 || handlerRunning || (HasPendingEventSources && HasPendingEventSources());
}

int TConsoleHost::ExitStatus(const TPoruBase& st) const
{
    return st.StoppedByError ? 1 : 0;
}

void TConsoleHost::RunFinished(TPoruBase& st)
{
    st_ = &st;
    runFinished_ = true;
    QuitWhenIdle();
}

void TConsoleHost::QuitWhenIdle()
{
    if (!st_)
        return;
    // Without the event loop nothing can deliver an event any more.
    if (closeAccepted_ || st_->Stopping || !Pending() || !gEventLoop) {
        finished_ = true;
        if (gEventLoop && looping_)
            gEventLoop->Exit(ExitStatus(*st_));
        return;
    }
    if (eventSources_ == 0 && !polling_) {   // the hook or a running handler: ask again later
        polling_ = true;
        gEventLoop->After(kIdlePollMs, [this] {
            polling_ = false;
            QuitWhenIdle();
        });
    }
}

int TConsoleHost::RunEventsUntilDone(TPoruBase& st)
{
    if (!finished_ && gEventLoop) {
        looping_ = true;
        const int status = gEventLoop->Exec();
        looping_ = false;
        if (finished_)
            return status;
    }
    return ExitStatus(st);
}

// ---- dialogs -------------------------------------------------------------------------

void TStdLineIo::Prompt(const std::string& text)
{
    std::fflush(stdout);
    WriteAll(stderr, SjisToUtf8(text));
    std::fflush(stderr);
}

bool TStdLineIo::ReadLine(std::string& line)
{
    std::string utf8;
    if (!std::cin.good() || !std::getline(std::cin, utf8))
        return false;
    if (!utf8.empty() && utf8.back() == '\r')
        utf8.pop_back();
    line = Utf8ToSjis(utf8);
    return true;
}

bool TConsoleHost::AskText(TPoruBase&, const std::string& message, const std::string&, int, std::string& answer)
{
    return dialogs_.AskText(message, answer);
}

int TConsoleHost::AskQuestion(TPoruBase&, const std::string& message, bool withCancel)
{
    return dialogs_.AskQuestion(message, withCancel);
}

bool TConsoleHost::ChooseFromList(TPoruBase&, const std::string& message, const std::vector<std::string>& items,
                                  const std::string&, bool editable, int, std::string& answer)
{
    return dialogs_.ChooseFromList(message, items, editable, answer);
}

bool TConsoleHost::ChooseButton(TPoruBase&, const std::string& message, const std::vector<std::string>& choices,
                                std::string& answer)
{
    return dialogs_.ChooseButton(message, choices, answer);
}

bool TConsoleHost::EditMemo(TPoruBase&, int, std::string& text)
{
    dialogs_.EditMemo(text);
    return true;
}

// The debug dialog as text on standard error; one letter answers (c, l, q), the end
// of the input continues. There are no GUI objects to list.
DebugChoice TConsoleHost::ShowDebugDialog(TPoruBase& st, const std::string& word)
{
    const std::string filter = "0";
    return AskDebugOnLines(io_, DebugDumpText(DebugViewOf(st, filter, false), filter, word));
}

bool TConsoleHost::ChooseColour(TPoruBase&, int32_t& colour)
{
    return dialogs_.ChooseColour(colour);
}

bool TConsoleHost::ChooseFont(TPoruBase&, TFontChoice& font)
{
    return dialogs_.ChooseFont(font);
}

bool TConsoleHost::ChooseOpenFiles(TPoruBase&, const std::vector<TDialogFilter>& filter, const std::string&,
                                   std::vector<std::string>& files)
{
    std::string file;
    if (!dialogs_.ChooseOpenFile(filter, file))
        return false;
    files.assign(1, file);
    return true;
}

bool TConsoleHost::ChooseSaveFile(TPoruBase&, const std::vector<TDialogFilter>& filter, const std::string& defaultExt,
                                  const std::string&, std::string& file)
{
    return dialogs_.ChooseSaveFile(filter, defaultExt, file);
}

bool TConsoleHost::ChooseFolder(TPoruBase&, std::string& folder)
{
    return dialogs_.ChooseFolder(folder);
}

// ---- progress ------------------------------------------------------------------------

void TConsoleHost::ProgressOpen(TPoruBase&, const std::string& message, std::function<void()>)
{
    progressThrottle_.Reset();
    WriteErr("[進行] " + (message.empty() ? std::string("---") : message));
}

void TConsoleHost::ProgressSetMessage(TPoruBase&, const std::string& message)
{
    WriteErr("[進行] " + message);
}

void TConsoleHost::ProgressSetPosition(TPoruBase&, int64_t position, int64_t maximum)
{
    if (progressThrottle_.Due(TickMs()))
        WriteErr("[進行] " + std::to_string(ProgressPercent(position, maximum)) + "%");
}

void TConsoleHost::ProgressClose(TPoruBase&)
{
    progressThrottle_.Reset();
}
