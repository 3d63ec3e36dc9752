// The calculator: expression text in, a value or an EPoru out. Expressions can
// call commands, so the calculator runs in the sandbox of fuzz_sandbox.h.
#include "fuzz_sandbox.h"
#include "fuzz_target.h"

namespace {
TPoruBase* gSt = nullptr;
fuzz::TFuzzHost gHost;
}   // namespace

void FuzzSetUp()
{
    fuzz::EnterSandbox();
    gSt = new TPoruBase;
    fuzz::PrepareState(*gSt, gHost);
    gSt->Source = "";
    gSt->PrepareRun();
    // A few variables so that expressions can name them.
    for (const char* name : {"A", "B", "値"}) {
        THashNode* n = THashNode::CreateVariable(name, "12.5", 0, false);
        n->TypeText = "e";
        gSt->Words.Add(n);
    }
}

void FuzzOne(const uint8_t* data, size_t size)
{
    std::string_view text(reinterpret_cast<const char*>(data), size);
    fuzz::PrepareState(*gSt, gHost);
    gSt->Stopping = false;
    try {
        gSt->CalculateText(text);
    } catch (const EPoru&) {
    }
    try {
        (void)ToNumber(text);
    } catch (const EPoru&) {
    }
}
