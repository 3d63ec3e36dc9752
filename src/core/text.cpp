#include "core/text.h"

#include "core/sjis.h"

std::string_view TrimView(std::string_view s)
{
    size_t b = 0, e = s.size();
    while (b < e && static_cast<unsigned char>(s[b]) <= 32)
        ++b;
    while (e > b && static_cast<unsigned char>(s[e - 1]) <= 32)
        --e;
    return s.substr(b, e - b);
}

std::string Trim(std::string_view s)
{
    return std::string(TrimView(s));
}

std::string TrimSpacesAndBreaks(std::string_view s)
{
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    size_t b = 0, e = s.size();
    while (b < e && blank(s[b]))
        ++b;
    while (e > b && blank(s[e - 1]))
        --e;
    return std::string(s.substr(b, e - b));
}

std::string LowerAscii(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        c = FoldAscii(c);
    return out;
}

std::string LowerAsciiSjis(std::string_view text)
{
    std::string out(text);
    for (size_t i = 0; i < out.size(); i += CharLenAt(out, i))
        out[i] = FoldAscii(out[i]);
    return out;
}

std::vector<std::string_view> SplitLineViews(std::string_view text, bool charWise)
{
    std::vector<std::string_view> lines;
    size_t start = 0, i = 0;
    while (i < text.size()) {
        if (charWise && IsLeadAt(text, i)) {
            i += 2;
            continue;
        }
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(text.substr(start, i - start));
            i += (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1;
            start = i;
            continue;
        }
        ++i;
    }
    if (start < text.size())
        lines.push_back(text.substr(start));
    return lines;
}

std::vector<std::string> SplitLines(std::string_view text, bool charWise)
{
    const std::vector<std::string_view> views = SplitLineViews(text, charWise);
    return std::vector<std::string>(views.begin(), views.end());
}

std::vector<std::string> SplitLfLines(std::string_view text)
{
    std::vector<std::string> lines;
    size_t from = 0;
    while (from < text.size()) {
        size_t end = text.find('\n', from);
        if (end == std::string_view::npos)
            end = text.size();
        std::string line(text.substr(from, end - from));
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(std::move(line));
        from = end + 1;
    }
    return lines;
}
