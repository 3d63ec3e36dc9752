#include "gui/text_layout.h"

#include "core/sjis.h"
#include "core/text.h"
#include "interp/interp.h"

std::string_view CutAtCharBoundary(std::string_view text, size_t maxBytes)
{
    if (text.size() <= maxBytes)
        return text;
    size_t i = 0;
    while (i < maxBytes) {
        size_t len = CharLenAt(text, i);
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

std::vector<std::string> DisplayLines(std::string_view text, int tabWidth)
{
    if (text.size() <= kShowTextLimit)
        return SplitLines(ExpandTabsAndBreaks(text, tabWidth), true);
    return SplitLines(CutAtCharBoundary(text, kShowTextLimit), true);
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
    std::vector<std::string> lines = SplitLines(text, true);
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
