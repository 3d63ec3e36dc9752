// The interpreter's one random generator, shared by 乱数, RND and 配列シャッフル.
// A 32-bit linear congruential generator: every draw first advances
// S <- S * 134775813 + 1 (mod 2^32). Equal seeds give equal sequences.
#pragma once
#include <cstdint>

class TPoruBase;

struct TRandom {
    uint32_t State = 0;

    TRandom() { SeedFromClock(); }
    // Seeds from the monotonic clock's nanoseconds (low 32 bits).
    void SeedFromClock();
    void Seed(uint32_t s) { State = s; }
    uint32_t Advance()
    {
        State = State * 134775813u + 1u;
        return State;
    }
    // An integer draw below n: the high 32 bits of S * n (n taken as unsigned).
    int32_t Below(int32_t n)
    {
        uint64_t product = static_cast<uint64_t>(Advance()) * static_cast<uint32_t>(n);
        return static_cast<int32_t>(static_cast<uint32_t>(product >> 32));
    }
    // A real draw, 0 <= x < 1.
    long double Real() { return static_cast<long double>(Advance()) / 4294967296.0L; }
};

// The generator of this interpreter state (seeded from the clock on first use).
TRandom& SharedRandom(TPoruBase& st);
