// Load, normalise and run a whole program, as the console does with a start file,
// within the budget and in the sandbox of fuzz_sandbox.h. The host answers every
// error with "continue", so that error recovery is explored too.
#include "core/codec.h"
#include "fuzz_sandbox.h"
#include "fuzz_target.h"
#include "interp/startup.h"

void FuzzSetUp()
{
    fuzz::EnterSandbox();
}

void FuzzOne(const uint8_t* data, size_t size)
{
    fuzz::TFuzzHost host;
    TPoruBase st;
    fuzz::PrepareState(st, host);
    st.Source = JoinScriptLines(ScriptBytesToSjis(std::string(reinterpret_cast<const char*>(data), size)));
    st.RunProgram();
}
