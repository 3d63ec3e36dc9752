// The shared random generator (see random.h).
#include "commands/numbers/random.h"

#include <ctime>

#include "interp/interp.h"

void TRandom::SeedFromClock()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    uint64_t ns = static_cast<uint64_t>(ts.tv_sec) * 1000000000u + static_cast<uint64_t>(ts.tv_nsec);
    State = static_cast<uint32_t>(ns);
}

TRandom& SharedRandom(TPoruBase& st)
{
    return st.Ext<TRandom>();
}
