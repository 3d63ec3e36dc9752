// The interface every fuzz target implements. The same target builds two ways:
// with AFL++'s compiler (persistent mode over shared memory) for coverage-guided
// fuzzing, and with the ordinary compiler as a plain driver that replays files and
// folders given on its command line (CI replays the committed corpus that way, also
// under the sanitizers).
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Called once per process before any input.
void FuzzSetUp();
// Runs one input. Must not keep state that changes how the next input behaves.
void FuzzOne(const uint8_t* data, size_t size);

namespace fuzz {

// Splits an input at its first zero byte into two texts (the second empty when
// there is none); targets that take two texts (pattern and subject) use it.
inline void SplitTwo(std::string_view in, std::string_view& a, std::string_view& b)
{
    size_t z = in.find('\0');
    a = in.substr(0, z);
    b = z == std::string_view::npos ? std::string_view() : in.substr(z + 1);
}

// The text with bytes outside printable ASCII written as \xNN (for reports).
inline std::string Escaped(std::string_view s)
{
    static const char hex[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : s) {
        if (c >= 32 && c < 127 && c != '\\') {
            out += static_cast<char>(c);
        } else {
            out += "\\x";
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

// Fails loudly (a finding) when a property of a result does not hold.
[[noreturn]] void Violated(const char* what);
inline void Check(bool ok, const char* what)
{
    if (!ok)
        Violated(what);
}

}   // namespace fuzz
