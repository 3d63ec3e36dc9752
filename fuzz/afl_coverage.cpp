// Edge coverage for afl-fuzz from GCC's own instrumentation: the fuzzing build
// compiles the core and the targets with -fsanitize-coverage=trace-pc, which calls
// this function at the start of every basic block. Each block is hashed from its
// address (relative to the executable, so that the map does not move with address
// randomisation) and the pair (previous block, this block) counts one hit in the
// map that afl-fuzz shares with the target, as AFL's own instrumentation does.
// AFL++'s run-time object (afl-compiler-rt.o, linked in) provides the map, the fork
// server, persistent mode and the test case in shared memory.
//
// This file itself is compiled without the instrumentation.
#include <cstdint>

extern "C" {

extern uint8_t* __afl_area_ptr;
extern char __executable_start;

namespace {
uint32_t gPrevious = 0;
}

void __sanitizer_cov_trace_pc()
{
    uint32_t x = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(__builtin_return_address(0)) -
                                       reinterpret_cast<uintptr_t>(&__executable_start));
    x ^= x >> 16;
    x *= 0x85EBCA6Bu;
    x ^= x >> 13;
    x &= 0xFFFF;
    __afl_area_ptr[x ^ gPrevious]++;
    gPrevious = x >> 1;
}

}   // extern "C"
