// Creation and release of the interpreter state.
#include <cstdio>

#include "interp/interp.h"
#include "loader/normaliser.h"

TPoruBase::TPoruBase()
{
    stackFloor_ = StackFloorOfThisThread();
    CaseValue = "\\~未定義";
    SetActiveState(this);
}

TPoruBase::~TPoruBase()
{
    ServiceInstances.clear();   // services may still refer to words and objects
    // そ shares the payload of the node it copies; never free it through そ.
    if (Sys.So)
        Sys.So->Payload = nullptr;
    if (LeaveWordsAtExit)
        Words.KeepUntilExit();
    else
        Words.Clear();
    Args.Clear();
    Objects.Clear();
    RunControl.ClearAll();
    FuncArgs.Clear();
    ext_.clear();
    for (const std::string& f : ExtractedFiles)
        std::remove(f.c_str());
    SetActiveState(nullptr);
}

void TPoruBase::NormaliseOrRaise(std::string& text)
{
    try {
        Normalise(text);
    } catch (const ENormalise& e) {
        Cursor = nullptr;
        LineNo = e.Line;
        Raise(FormatError(e.Message));
    }
}

void TPoruBase::WordReplaced(const THashNode* gone, THashNode* by)
{
    THashNode** held[] = {&ErrorLabel, &CloseLabel, &CurrentCommand,   &Sys.Sore,   &Sys.So,           &Sys.Soshite,
                          &Sys.Count,  &Sys.Gap,    &Sys.ErrorMessage, &Sys.NoExit, &Sys.OutputTarget, &Sys.TabCount,
                          &Sys.Naraba, &Sys.Nara,   &Sys.Chigaeba,     &Sys.Moshi,  &Sys.Denakereba};
    static_assert(sizeof(TSystemWords) == 14 * sizeof(THashNode*), "every system word is rebound");
    for (THashNode** slot : held)
        if (*slot == gone)
            *slot = by;
}
