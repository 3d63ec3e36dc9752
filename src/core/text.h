// Small text helpers shared by every layer: trimming, ASCII case, hexadecimal digits
// and line splitting. They work on bytes (Shift_JIS where a helper says so).
#pragma once
#include <string>
#include <string_view>
#include <vector>

// Removes all leading and trailing characters whose code is 32 or less.
std::string_view TrimView(std::string_view s);
std::string Trim(std::string_view s);
// Removes leading and trailing spaces, tabs, CRs and LFs (other control bytes stay).
std::string TrimSpacesAndBreaks(std::string_view s);

// One byte with an ASCII letter A-Z in lower case, for names compared without
// regard to case.
inline char FoldAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}
// Lower-cases the ASCII letters A-Z of every byte (for ASCII names and UTF-8 text,
// whose other bytes are all 0x80 or above).
std::string LowerAscii(std::string_view text);
// Lower-cases the ASCII letters of a Shift_JIS text; the second byte of a two-byte
// character is left alone even when it looks like a letter.
std::string LowerAsciiSjis(std::string_view text);

// The value of a hexadecimal digit (0-9, a-f, A-F), -1 for any other character.
inline int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Splits at line breaks: CR LF, a lone CR or a lone LF. A break at the very end
// starts no further line, so an empty text has no lines. The views point into
// `text`. With charWise the text is read as Shift_JIS: a lead byte always takes the
// byte after it, even a CR or LF (which only a broken text puts there).
std::vector<std::string_view> SplitLineViews(std::string_view text, bool charWise = false);
// The same lines as copies.
std::vector<std::string> SplitLines(std::string_view text, bool charWise = false);
// Splits protocol text at LF only, dropping one CR before each LF; a lone CR stays
// in its line. A final LF starts no further line.
std::vector<std::string> SplitLfLines(std::string_view text);
