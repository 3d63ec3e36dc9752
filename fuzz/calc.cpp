// The calculator: expression text in, a value or an EPoru out.
#include "fuzz_target.h"
#include "interp/interp.h"

namespace {
TPoruBase* gSt = nullptr;
}

void FuzzSetUp()
{
    gSt = new TPoruBase;
    gSt->FileName = "fuzz.prk";
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
    try {
        gSt->CalculateText(text);
    } catch (const EPoru&) {
    }
    try {
        (void)ToNumber(text);
    } catch (const EPoru&) {
    }
}
