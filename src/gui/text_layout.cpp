#include "gui/text_layout.h"

#include "core/sjis.h"
#include "interp/interp.h"

std::string_view CutAtCharBoundary(std::string_view text, size_t maxBytes)
{
    if (text.size() <= maxBytes)
        return text;
    size_t i = 0;
    while (i < maxBytes) {
        size_t len = IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size() ? 2 : 1;
        if (i + len > maxBytes)
            break;
        i += len;
    }
    return text.substr(0, i);
}

std::string ExpandTabsAndBreaks(std::string_view text, int tabWidth)
{
    if (tabWidth > kMaxTabWidth)
        tabWidth = kMaxTabWidth;
    std::string out;
    out.reserve(text.size() + 16);
    int column = 0;
    size_t i = 0;
    while (i < text.size()) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (IsLeadByte(c) && i + 1 < text.size()) {
            out.append(text.substr(i, 2));
            column += 2;
            i += 2;
        } else if (c == '\t') {
            if (tabWidth > 0) {
                int spaces = tabWidth - column % tabWidth;
                out.append(static_cast<size_t>(spaces), ' ');
                column += spaces;
            }
            ++i;
        } else if (c == '\r' || c == '\n') {
            // CR LF and LF CR are one break each; a lone CR or LF is one too.
            if (i + 1 < text.size() && (text[i + 1] == '\r' || text[i + 1] == '\n') && text[i + 1] != text[i])
                ++i;
            out += "\r\n";
            column = 0;
            ++i;
        } else {
            out += static_cast<char>(c);
            ++column;
            ++i;
        }
    }
    return out;
}

std::vector<std::string> SplitLines(std::string_view text)
{
    std::vector<std::string> lines;
    size_t start = 0, i = 0;
    while (i < text.size()) {
        char c = text[i];
        if (IsLeadByte(static_cast<unsigned char>(c)) && i + 1 < text.size()) {
            i += 2;
            continue;
        }
        if (c == '\r' || c == '\n') {
            lines.emplace_back(text.substr(start, i - start));
            i += (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1;
            start = i;
            continue;
        }
        ++i;
    }
    if (start < text.size())
        lines.emplace_back(text.substr(start));
    return lines;
}

std::vector<std::string> DisplayLines(std::string_view text, int tabWidth)
{
    if (text.size() <= kShowTextLimit)
        return SplitLines(ExpandTabsAndBreaks(text, tabWidth));
    return SplitLines(CutAtCharBoundary(text, kShowTextLimit));
}

std::string SayText(std::string_view text, int tabWidth)
{
    if (text.size() > kSayTextLimit) {
        std::string cut(CutAtCharBoundary(text, kSayTextLimit));
        cut += "...";
        return ExpandTabsAndBreaks(cut, tabWidth);
    }
    return ExpandTabsAndBreaks(text, tabWidth);
}

std::string FitLines(const std::string& text, int lineHeight, int limit)
{
    if (lineHeight <= 0)
        return text;
    std::vector<std::string> lines = SplitLines(text);
    if (static_cast<int64_t>(lines.size()) * lineHeight <= limit)
        return text;
    size_t keep = static_cast<size_t>(limit > 0 ? limit / lineHeight : 0);
    std::string out;
    for (size_t i = 0; i < keep && i < lines.size(); ++i) {
        out += lines[i];
        out += "\r\n";
    }
    out += "...";
    return out;
}

namespace {

int HexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}   // namespace

int32_t ParseColourText(std::string_view text, int32_t def)
{
    std::string_view t = TrimView(text);
    if (!t.empty() && t[0] == '#') {
        if (t.size() != 7)
            return def;
        int32_t component[3];
        for (int k = 0; k < 3; ++k) {
            int hi = HexDigit(t[1 + 2 * k]), lo = HexDigit(t[2 + 2 * k]);
            if (hi < 0 || lo < 0)
                return def;
            component[k] = hi * 16 + lo;
        }
        return component[0] + 256 * component[1] + 65536 * component[2];
    }
    return ToIntOrDefault(t, def);
}
