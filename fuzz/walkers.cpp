// Runs a whole program twice, with the fast paths (statement plans, compiled
// calculations, cached words, the name index) and with the reference walker that
// reads everything again from the text, and requires the same record from both:
// every text shown or said, every error with its file and line, every warning and
// message box, in order. Inputs that meet the statement or time budget in either
// run, or that draw random numbers or read the clock, prove nothing and are not
// compared.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/codec.h"
#include "core/hash.h"
#include "core/walker_mode.h"
#include "fuzz_sandbox.h"
#include "fuzz_target.h"
#include "interp/startup.h"

namespace {

class TRecordingHost : public fuzz::TFuzzHost {
public:
    std::vector<std::string> Record;

    void ShowText(TPoruBase&, const std::string& text) override { Record.push_back("show " + text); }
    void Say(TPoruBase&, const std::string& text) override { Record.push_back("say " + text); }
    void MessageBox(const std::string& text) override { Record.push_back("box " + text); }
    ErrorChoice ShowErrorDialog(TPoruBase& st, const std::string& text) override
    {
        Record.push_back("error " + text);
        return fuzz::TFuzzHost::ShowErrorDialog(st, text);
    }
    void Warning(TPoruBase&, const std::string& text) override { Record.push_back("warning " + text); }
};

struct TRun {
    std::vector<std::string> Record;
    bool CutShort = false;
};

std::string gFolder;   // the sandbox folder: a program may change the working folder

TRun RunOnce(const std::string& source, bool reference)
{
    if (chdir(gFolder.c_str()) != 0)
        fuzz::Violated("cannot return to the sandbox folder");
    ReferenceWalkerSetting() = reference;
    THash::ScanBuckets = reference;
    TRecordingHost host;
    TRun run;
    {
        TPoruBase st;
        fuzz::PrepareState(st, host);
        st.Source = source;
        st.RunProgram();
        // The statement budget counts run-loop steps, and the two walkers may take a
        // line in a different number of steps: a run cut short proves nothing.
        // A slow run (a text doubled again and again) is not run a second time: it
        // would keep the fuzzer waiting twice as long for one input.
        run.CutShort = fuzz::NowMs() - fuzz::gStart > fuzz::kMaxMs / 2 || fuzz::gPulses > fuzz::kMaxPulses;
    }
    run.Record = std::move(host.Record);
    return run;
}

// Words whose results differ from run to run whichever walker runs them.
bool Nondeterministic(const std::string& text)
{
    for (const char* w : {"乱数", "RND", "今", "時間", "時刻", "秒", "日付", "曜日", "タイム", "待"})
        if (text.find(w) != std::string::npos)
            return true;
    return false;
}

}   // namespace

void FuzzSetUp()
{
    fuzz::EnterSandbox();
    char folder[4096];
    if (!getcwd(folder, sizeof folder))
        fuzz::Violated("cannot read the sandbox folder");
    gFolder = folder;
}

void FuzzOne(const uint8_t* data, size_t size)
{
    const std::string source =
        JoinScriptLines(ScriptBytesToSjis(std::string(reinterpret_cast<const char*>(data), size)));
    if (Nondeterministic(source))
        return;
    TRun fast = RunOnce(source, false);
    if (fast.CutShort)
        return;
    TRun reference = RunOnce(source, true);
    ReferenceWalkerSetting() = false;
    THash::ScanBuckets = false;
    if (std::getenv("FUZZ_WALKERS_SHOW"))
        for (const std::string& r : fast.Record)
            std::fprintf(stderr, "%s\n", fuzz::Escaped(r).c_str());
    if (fast.CutShort || reference.CutShort)
        return;
    if (fast.Record != reference.Record) {
        const size_t n = std::max(fast.Record.size(), reference.Record.size());
        for (size_t i = 0; i < n; ++i) {
            const std::string a = i < fast.Record.size() ? fast.Record[i] : "(none)";
            const std::string b = i < reference.Record.size() ? reference.Record[i] : "(none)";
            if (a != b) {
                std::fprintf(stderr, "entry %zu\n  plans:     %s\n  reference: %s\n", i, fuzz::Escaped(a).c_str(),
                             fuzz::Escaped(b).c_str());
                break;
            }
        }
        fuzz::Violated("the two walkers disagree");
    }
}
