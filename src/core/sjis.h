// Shift_JIS character model: a lead byte (0x81-0x9F, 0xE0-0xFC) starts a two-byte
// character; every other byte is a character by itself.
#pragma once
#include <cstddef>
#include <string_view>

inline bool IsLeadByte(unsigned char c)
{
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

// Length in bytes of the character at p (1 or 2); a lead byte before the terminating
// zero counts as a single byte so scanners never step past the end of a text.
inline size_t CharLen(const char* p)
{
    return (IsLeadByte(static_cast<unsigned char>(p[0])) && p[1] != '\0') ? 2 : 1;
}

// True when byte i of `text` starts a two-byte character: a lead byte with a byte
// after it (a lead byte that ends the text is a character by itself).
inline bool IsLeadAt(std::string_view text, size_t i)
{
    return IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size();
}

// Length in bytes (1 or 2) of the character that starts at byte i of `text`.
inline size_t CharLenAt(std::string_view text, size_t i)
{
    return IsLeadAt(text, i) ? 2 : 1;
}
