// The foreign call of library-function words: libffi with the default ABI, inside a
// guard that turns a fault of the called code into a failed call. The guard takes
// SIGSEGV, SIGBUS, SIGILL and SIGFPE on an alternate stack (a runaway recursion in
// the callee has no stack left) only for the duration of the call and puts back
// whatever handlers and alternate stack were there before.
#include <ffi.h>
#include <setjmp.h>
#include <signal.h>

#include <cstring>

#include "interp/dll.h"

namespace {

const int kFaultSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE};
constexpr int kSignalCount = sizeof kFaultSignals / sizeof kFaultSignals[0];

// One guard at a time: the interpreter has one thread and a callee cannot call
// back into it.
sigjmp_buf gFaultJump;
volatile sig_atomic_t gGuardActive = 0;
alignas(16) char gAltStack[64 * 1024];

extern "C" void OnFault(int sig, siginfo_t*, void*)
{
    if (gGuardActive) {
        gGuardActive = 0;
        siglongjmp(gFaultJump, sig);
    }
    // Not raised inside a guarded call: fall back to the default action, which the
    // returning instruction raises again.
    signal(sig, SIG_DFL);
}

using TGuardedBody = void (*)(void* context);

// Runs body(context) under the guard; returns 0, or the signal that stopped it.
// Nothing with a destructor lives in this frame: siglongjmp would skip it.
int RunGuarded(TGuardedBody body, void* context)
{
    stack_t stack{}, oldStack{};
    stack.ss_sp = gAltStack;
    stack.ss_size = sizeof gAltStack;
    stack.ss_flags = 0;
    const bool stackSet = sigaltstack(&stack, &oldStack) == 0;

    struct sigaction action {};
    struct sigaction oldActions[kSignalCount];
    action.sa_sigaction = OnFault;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    for (int i = 0; i < kSignalCount; ++i)
        sigaction(kFaultSignals[i], &action, &oldActions[i]);

    // The mask is saved, so that jumping out of the handler unblocks the signal.
    int fault = sigsetjmp(gFaultJump, 1);
    if (fault == 0) {
        gGuardActive = 1;
        body(context);
        gGuardActive = 0;
    }

    for (int i = 0; i < kSignalCount; ++i)
        sigaction(kFaultSignals[i], &oldActions[i], nullptr);
    if (stackSet)
        sigaltstack(&oldStack, nullptr);
    return fault;
}

struct TCallContext {
    ffi_cif* Cif;
    void (*Fn)();
    void* Result;
    void** Values;
};

void CallBody(void* context)
{
    auto* c = static_cast<TCallContext*>(context);
    ffi_call(c->Cif, c->Fn, c->Result, c->Values);
}

struct TLengthContext {
    const char* Text;
    size_t Length;
};

void LengthBody(void* context)
{
    auto* c = static_cast<TLengthContext*>(context);
    c->Length = std::strlen(c->Text);
}

ffi_type* FfiType(TForeignType t)
{
    switch (t) {
    case TForeignType::Void:
        return &ffi_type_void;
    case TForeignType::Pointer:
        return &ffi_type_pointer;
    case TForeignType::UInt32:
        return &ffi_type_uint32;
    case TForeignType::SInt32:
        return &ffi_type_sint32;
    }
    return &ffi_type_void;
}

}   // namespace

bool CallForeign(void* fn, TForeignType ret, const std::vector<TForeignType>& types, std::vector<TForeignSlot>& values,
                 uint64_t& raw)
{
    raw = 0;
    if (!fn || types.size() != values.size())
        return false;
    // Everything the call needs is made before the guard and released after it.
    std::vector<ffi_type*> argTypes(types.size());
    std::vector<void*> argValues(types.size());
    for (size_t k = 0; k < types.size(); ++k) {
        if (types[k] == TForeignType::Void)
            return false;
        argTypes[k] = FfiType(types[k]);
        argValues[k] = &values[k];
    }
    ffi_cif cif;
    if (ffi_prep_cif(&cif, FFI_DEFAULT_ABI, static_cast<unsigned>(types.size()), FfiType(ret),
                     argTypes.empty() ? nullptr : argTypes.data()) != FFI_OK)
        return false;
    // libffi widens an integral result to a whole ffi_arg; a pointer fills it.
    union {
        ffi_arg Integral;
        void* Pointer;
        uint64_t Bits;
    } result;
    static_assert(sizeof result == sizeof(uint64_t));
    result.Bits = 0;
    TCallContext context{&cif, reinterpret_cast<void (*)()>(fn), &result,
                         argValues.empty() ? nullptr : argValues.data()};
    if (RunGuarded(CallBody, &context) != 0)
        return false;
    if (ret == TForeignType::Pointer)
        raw = reinterpret_cast<uintptr_t>(result.Pointer);
    else if (ret != TForeignType::Void)
        raw = static_cast<uint64_t>(result.Integral);
    return true;
}

bool GuardedTextLength(const char* p, size_t& length)
{
    TLengthContext context{p, 0};
    if (RunGuarded(LengthBody, &context) != 0)
        return false;
    length = context.Length;
    return true;
}
