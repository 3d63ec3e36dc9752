// Load, normalise and run a whole program, as the console does with a start file,
// within a budget: at most kMaxPulses x 256 statements in any run loop and
// kMaxMs of wall time, after which the run is stopped like a close request. The
// host shows nothing, answers every error with "continue" (so that error recovery
// is explored too), and lets time pass without waiting. The program runs in a
// fresh empty folder at the high security level: nothing outside can be written,
// deleted or started. Run the fuzzer without a network (see run.sh).
#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "fuzz_target.h"
#include "core/codec.h"
#include "interp/host.h"
#include "interp/interp.h"
#include "loader/startup.h"

extern void (*gRunLoopPulse)(TPoruBase&);

namespace {

constexpr int kMaxPulses = 200;   // x 256 statements
constexpr long kMaxMs = 500;

long NowMs()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000L + ts.tv_nsec / 1000000L;
}

int gPulses = 0;
long gStart = 0;

void Budget(TPoruBase& st)
{
    if (++gPulses > kMaxPulses || NowMs() - gStart > kMaxMs) st.Stopping = true;
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
        if (ms > 0) tick_ += ms;
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

}  // namespace

void FuzzSetUp()
{
    char dir[] = "/tmp/porukana-fuzz-XXXXXX";
    if (!mkdtemp(dir) || chdir(dir) != 0) std::abort();
    // Nothing to read from: an input command sees the end of input at once.
    int null = open("/dev/null", O_RDONLY);
    if (null >= 0) dup2(null, 0);
    gRunLoopPulse = Budget;
}

void FuzzOne(const uint8_t* data, size_t size)
{
    TFuzzHost host;
    TPoruBase st;
    st.Host = &host;
    st.FileName = "fuzz.prk";
    st.SecurityLevel = 2;
    st.Source = JoinScriptLines(ScriptBytesToSjis(std::string(reinterpret_cast<const char*>(data), size)));
    gPulses = 0;
    gStart = NowMs();
    st.RunProgram();
}
