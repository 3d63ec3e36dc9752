// Which walker runs a program. The fast paths (the word table's name index, found
// block ends, the regex subject checked once, …) give the same results as reading
// everything again from the text; the reference walker takes the slow paths so the
// two can be compared byte for byte. PORUKANA_REFERENCE_WALKER=1 selects it.
#pragma once
#include <cstdlib>
#include <cstring>

// The setting itself: read from the environment once; a driver that runs a program
// both ways in one process (the differential fuzz target) switches it between runs.
inline bool& ReferenceWalkerSetting()
{
    static bool on = [] {
        const char* v = std::getenv("PORUKANA_REFERENCE_WALKER");
        return v && *v && std::strcmp(v, "0") != 0;
    }();
    return on;
}

inline bool ReferenceWalker()
{
    return ReferenceWalkerSetting();
}
