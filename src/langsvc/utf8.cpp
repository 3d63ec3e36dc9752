#include "langsvc/utf8.h"

#include <algorithm>

#include "core/codec.h"

namespace langsvc {

size_t Utf8Length(unsigned char lead)
{
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead < 0xE0)
        return 2;
    if (lead >= 0xE0 && lead < 0xF0)
        return 3;
    if (lead >= 0xF0 && lead < 0xF5)
        return 4;
    return 1;
}

uint32_t CodePointAt(std::string_view s, size_t at, size_t* length)
{
    const unsigned char lead = static_cast<unsigned char>(s[at]);
    size_t n = Utf8Length(lead);
    if (at + n > s.size())
        n = 1;
    uint32_t cp = lead;
    if (n == 1) {
        if (lead >= 0x80)
            cp = 0xFFFD;
    } else {
        cp = lead & (0x7F >> n);
        for (size_t i = 1; i < n; ++i) {
            const unsigned char c = static_cast<unsigned char>(s[at + i]);
            if ((c & 0xC0) != 0x80) {
                n = 1;
                cp = 0xFFFD;
                break;
            }
            cp = (cp << 6) | (c & 0x3F);
        }
    }
    if (length)
        *length = n;
    return cp;
}

std::vector<std::string> Characters(std::string_view s)
{
    std::vector<std::string> out;
    for (size_t i = 0; i < s.size();) {
        size_t n = 1;
        CodePointAt(s, i, &n);
        out.emplace_back(s.substr(i, n));
        i += n;
    }
    return out;
}

size_t CharCount(std::string_view s)
{
    size_t count = 0;
    for (size_t i = 0; i < s.size(); ++count) {
        size_t n = 1;
        CodePointAt(s, i, &n);
        i += n;
    }
    return count;
}

size_t ByteOfColumn(std::string_view line, size_t column)
{
    size_t i = 0;
    for (size_t c = 0; c < column && i < line.size(); ++c) {
        size_t n = 1;
        CodePointAt(line, i, &n);
        i += n;
    }
    return i;
}

size_t ColumnOfByte(std::string_view line, size_t byte)
{
    return CharCount(line.substr(0, std::min(byte, line.size())));
}

size_t Utf16OfColumn(std::string_view line, size_t column)
{
    size_t units = 0;
    size_t i = 0;
    for (size_t c = 0; c < column && i < line.size(); ++c) {
        size_t n = 1;
        units += CodePointAt(line, i, &n) > 0xFFFF ? 2 : 1;
        i += n;
    }
    return units + (column > CharCount(line) ? column - CharCount(line) : 0);
}

size_t ColumnOfUtf16(std::string_view line, size_t units)
{
    size_t column = 0, seen = 0;
    for (size_t i = 0; i < line.size() && seen < units; ++column) {
        size_t n = 1;
        seen += CodePointAt(line, i, &n) > 0xFFFF ? 2 : 1;
        i += n;
    }
    return column;
}

void AppendUtf8(std::string& out, uint32_t cp)
{
    out += CodePointToUtf8(cp);
}

std::vector<std::string> SplitLines(std::string_view text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (true) {
        const size_t end = text.find('\n', start);
        std::string_view line =
            text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        lines.emplace_back(line);
        if (end == std::string_view::npos)
            break;
        start = end + 1;
    }
    return lines;
}

}   // namespace langsvc
