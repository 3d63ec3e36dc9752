// What the targets that run script code share: a host that shows nothing, a
// statement and time budget, and a scratch folder at the high security level, so
// that code the fuzzer writes can neither write, delete nor start anything outside
// nor wait for input. Run the fuzzer without a network (see run.sh).
#pragma once
#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "interp/host.h"
#include "interp/interp.h"

extern void (*gRunLoopPulse)(TPoruBase&);

namespace fuzz {

// At most kMaxPulses x 256 statements in any run loop and kMaxMs of wall time per
// input; then the run is stopped like a close request.
constexpr int kMaxPulses = 200;   // x 256 statements
constexpr long kMaxMs = 500;

inline long NowMs()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000L + ts.tv_nsec / 1000000L;
}

inline int gPulses = 0;
inline long gStart = 0;

inline void Budget(TPoruBase& st)
{
    if (++gPulses > kMaxPulses || NowMs() - gStart > kMaxMs)
        st.Stopping = true;
}

class TFuzzHost : public THost {
public:
    bool IsGui() const override { return false; }
    void ShowText(TPoruBase&, const std::string&) override {}
    void Say(TPoruBase&, const std::string&) override {}
    void MessageBox(const std::string&) override {}
    ErrorChoice ShowErrorDialog(TPoruBase& st, const std::string&) override
    {
        // Continue, unless the budget is spent: then stop like the console.
        return st.Stopping ? ErrorChoice::Stop : ErrorChoice::Continue;
    }
    void Warning(TPoruBase&, const std::string&) override {}
    void ProcessEvents() override {}
    void WaitMs(TPoruBase& st, int64_t ms) override
    {
        if (ms > 0)
            tick_ += ms;
        Budget(st);
    }
    int64_t TickMs() override { return tick_ += 1; }
    void ShowMainWindow() override {}
    void RequestClose(TPoruBase& st) override { st.RequestClose(); }
    void* MainWindowControl() override { return nullptr; }
    int ScreenWidth() override { return 640; }
    int ScreenHeight() override { return 480; }

private:
    int64_t tick_ = 0;
};

// Moves into a fresh empty folder, takes standard input from /dev/null and installs
// the budget. Called once per process.
inline void EnterSandbox()
{
    char dir[] = "/tmp/porukana-fuzz-XXXXXX";
    if (!mkdtemp(dir) || chdir(dir) != 0)
        std::abort();
    int null = open("/dev/null", O_RDONLY);
    if (null >= 0)
        dup2(null, 0);
    gRunLoopPulse = Budget;
}

// Prepares a state for one input: the host, the high security level, the budget.
inline void PrepareState(TPoruBase& st, THost& host)
{
    st.Host = &host;
    st.FileName = "fuzz.prk";
    st.SecurityLevel = 2;
    gPulses = 0;
    gStart = NowMs();
}

}   // namespace fuzz
