// Base64 (see base64.h).
#include "commands/encodings/base64.h"

#include <array>
#include <cstdint>

namespace {

const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr std::array<int8_t, 256> MakeDecodeTable()
{
    std::array<int8_t, 256> t{};
    for (auto& v : t)
        v = -1;
    for (int i = 0; i < 64; ++i)
        t[static_cast<unsigned char>(kAlphabet[i])] = static_cast<int8_t>(i);
    return t;
}

constexpr auto kDecode = MakeDecodeTable();

}   // namespace

std::string Base64Encode(std::string_view data)
{
    std::string out;
    out.reserve((data.size() + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 3 <= data.size(); i += 3) {
        uint32_t v = (static_cast<unsigned char>(data[i]) << 16) | (static_cast<unsigned char>(data[i + 1]) << 8) |
                     static_cast<unsigned char>(data[i + 2]);
        out += kAlphabet[v >> 18];
        out += kAlphabet[(v >> 12) & 63];
        out += kAlphabet[(v >> 6) & 63];
        out += kAlphabet[v & 63];
    }
    const size_t rest = data.size() - i;
    if (rest) {
        uint32_t v = static_cast<unsigned char>(data[i]) << 16;
        if (rest == 2)
            v |= static_cast<unsigned char>(data[i + 1]) << 8;
        out += kAlphabet[v >> 18];
        out += kAlphabet[(v >> 12) & 63];
        out += rest == 2 ? kAlphabet[(v >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

std::string Base64Decode(std::string_view text)
{
    std::string out;
    out.reserve(text.size() / 4 * 3 + 2);
    uint32_t acc = 0;
    int n = 0;
    for (unsigned char c : text) {
        if (c == '=')
            break;
        int8_t v = kDecode[c];
        if (v < 0)
            continue;
        acc = (acc << 6) | static_cast<uint32_t>(v);
        if (++n == 4) {
            out += static_cast<char>(acc >> 16);
            out += static_cast<char>((acc >> 8) & 0xFF);
            out += static_cast<char>(acc & 0xFF);
            acc = 0;
            n = 0;
        }
    }
    if (n == 2) {
        out += static_cast<char>(acc >> 4);
    } else if (n == 3) {
        out += static_cast<char>(acc >> 10);
        out += static_cast<char>((acc >> 2) & 0xFF);
    }
    return out;
}
