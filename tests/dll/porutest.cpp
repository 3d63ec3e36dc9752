// A small shared library for the tests of library-function words: texts in and out,
// 32-bit sums and bit patterns, a null text, a global set by a void function, a
// function with many parameters, functions that fault, and counters of how often
// the library was loaded and unloaded (kept in the environment, which outlives
// the library itself).
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

int gValue = 0;
char gJoined[512];

void CountIn(const char* variable)
{
    const char* old = std::getenv(variable);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%d", (old ? std::atoi(old) : 0) + 1);
    setenv(variable, buf, 1);
}

__attribute__((constructor)) void Loaded()
{
    CountIn("PORUTEST_LOADS");
}

__attribute__((destructor)) void Unloaded()
{
    CountIn("PORUTEST_UNLOADS");
}

}   // namespace

extern "C" {

// Texts.
char* pt_echo(char* s)
{
    return s;
}

char* pt_concat(char* a, char* b)
{
    std::snprintf(gJoined, sizeof gJoined, "%s%s", a, b);
    return gJoined;
}

// Five texts joined with "|", for the order of the text parameters.
char* pt_join5(char* a, char* b, char* c, char* d, char* e)
{
    std::snprintf(gJoined, sizeof gJoined, "%s|%s|%s|%s|%s", a, b, c, d, e);
    return gJoined;
}

int pt_length(char* s)
{
    return static_cast<int>(std::strlen(s));
}

char* pt_null(void)
{
    return nullptr;
}

// Writes a conventional buffer full: 4000 characters and a NUL.
int pt_fill(char* buffer)
{
    std::memset(buffer, 'x', 4000);
    buffer[4000] = '\0';
    return 4000;
}

// Numbers.
int pt_add(int a, int b)
{
    return a + b;
}

unsigned pt_addu(unsigned a, unsigned b)
{
    return a + b;
}

unsigned pt_allbits(void)
{
    return 0xFFFFFFFFu;
}

// Returns what it was passed, to show how an argument arrived.
unsigned pt_same(unsigned v)
{
    return v;
}

// Seven parameters, more than the registers hold: each one is a decimal digit of
// the result, the first parameter the highest digit.
int pt_digits7(int a, int b, int c, int d, int e, int f, int g)
{
    return ((((((a * 10 + b) * 10 + c) * 10 + d) * 10 + e) * 10 + f) * 10) + g;
}

// A void function that leaves its trace in a global.
void pt_set(int v)
{
    gValue = v;
}

int pt_get(void)
{
    return gValue;
}

// Faults.
int pt_crash(void)
{
    volatile int* p = nullptr;
    return *p;
}

int pt_divide(int a, int b)
{
    volatile int d = b;
    return a / d;
}

// Recurses until the stack runs out, on purpose: the tests of library calls check
// that the run-time survives it.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winfinite-recursion"
int pt_recurse(int n)
{
    volatile char frame[256];
    frame[0] = static_cast<char>(n);
    return pt_recurse(n + 1) + frame[0];
}
#pragma GCC diagnostic pop

// The file this copy of the library was loaded from.
char* pt_where(void)
{
    Dl_info info;
    if (!dladdr(reinterpret_cast<void*>(&pt_where), &info) || !info.dli_fname)
        return nullptr;
    std::snprintf(gJoined, sizeof gJoined, "%s", info.dli_fname);
    return gJoined;
}

}   // extern "C"
