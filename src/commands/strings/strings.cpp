// Character-wise text operations of the string commands (see strings.h).
#include "commands/strings/strings.h"

#include "core/error.h"

#include "commands/strings/kana.h"
#include "core/sjis.h"

namespace sjistext {

namespace {

inline bool MatchesAt(std::string_view s, size_t i, std::string_view needle)
{
    return s.size() - i >= needle.size() && s.compare(i, needle.size(), needle) == 0;
}

inline uint16_t Code2(std::string_view s, size_t i)
{
    return static_cast<uint16_t>(static_cast<unsigned char>(s[i]) << 8 | static_cast<unsigned char>(s[i + 1]));
}

bool IsBlankChar(std::string_view s, size_t i, size_t len)
{
    if (len == 2)
        return static_cast<unsigned char>(s[i]) == 0x81 && static_cast<unsigned char>(s[i + 1]) == 0x40;
    char c = s[i];
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Byte offset of character number `n` (1-based; n beyond the end gives size).
size_t OffsetOfChar(std::string_view s, int64_t n)
{
    size_t i = 0;
    for (int64_t k = 1; k < n && i < s.size(); ++k)
        i += CharLenAt(s, i);
    return i;
}

}   // namespace

size_t CharCount(std::string_view s)
{
    size_t n = 0;
    for (size_t i = 0; i < s.size(); i += CharLenAt(s, i))
        ++n;
    return n;
}

size_t FindAtCharStart(std::string_view s, std::string_view needle, size_t from)
{
    if (needle.empty())
        return npos;
    for (size_t i = from; i < s.size(); i += CharLenAt(s, i)) {
        if (s.size() - i < needle.size())
            return npos;
        if (s[i] == needle[0] && s.compare(i, needle.size(), needle) == 0)
            return i;
    }
    return npos;
}

int32_t CharPosition(std::string_view text, std::string_view needle)
{
    if (needle.empty() || needle.size() > text.size())
        return 0;
    int32_t counter = 1;
    for (size_t i = 0; i < text.size(); i += CharLenAt(text, i), ++counter)
        if (MatchesAt(text, i, needle))
            return counter;
    return 0;
}

int32_t CountMatches(std::string_view text, std::string_view word)
{
    int32_t n = 0;
    for (size_t at = FindAtCharStart(text, word, 0); at != npos; at = FindAtCharStart(text, word, at + word.size()))
        ++n;
    return n;
}

std::string SelectChars(std::string_view s, int64_t first, int64_t last)
{
    if (last < 1 || last < first)
        return std::string();
    if (first < 1)
        first = 1;
    size_t from = OffsetOfChar(s, first);
    size_t to = from;
    for (int64_t k = first; k <= last && to < s.size(); ++k)
        to += CharLenAt(s, to);
    return std::string(s.substr(from, to - from));
}

std::string LeftChars(std::string_view s, int64_t count)
{
    if (count <= 0)
        return std::string();
    return SelectChars(s, 1, count);
}

std::string RightChars(std::string_view s, int64_t count)
{
    if (count <= 0)
        return std::string();
    int64_t n = static_cast<int64_t>(CharCount(s));
    return SelectChars(s, n - count + 1, n);
}

std::string MidChars(std::string_view s, int64_t start, int64_t count)
{
    if (count <= 0)
        return std::string();
    return SelectChars(s, start, start + count - 1);
}

std::string MidBytes(std::string_view s, int64_t start, int64_t count)
{
    if (start < 1)
        start = 1;
    if (count <= 0 || start > static_cast<int64_t>(s.size()))
        return std::string();
    return std::string(s.substr(static_cast<size_t>(start - 1), static_cast<size_t>(count)));
}

std::string DropRightChars(std::string_view s, int64_t count)
{
    if (count <= 0)
        return std::string(s);
    int64_t n = static_cast<int64_t>(CharCount(s));
    return SelectChars(s, 1, n - count);
}

std::string DropLeftChars(std::string_view s, int64_t count)
{
    if (count <= 0)
        return std::string(s);
    return std::string(s.substr(OffsetOfChar(s, count + 1)));
}

int32_t LineCount(std::string_view s)
{
    int32_t lines = 0;
    size_t lineStart = 0;
    for (size_t i = 0; i < s.size();) {
        if (s[i] == '\r' || s[i] == '\n') {
            i += (s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n') ? 2 : 1;
            ++lines;
            lineStart = i;
        } else {
            ++i;
        }
    }
    if (lineStart < s.size())
        ++lines;
    return lines;
}

std::string Paragraph(std::string_view s, int64_t index)
{
    if (index < 1)
        return std::string();
    int64_t number = 1;
    size_t start = 0;
    for (size_t i = 0; i < s.size();) {
        if (s[i] == '\r') {
            size_t j = i + 1;
            if (j < s.size() && s[j] == '\n')
                ++j;
            if (j < s.size() && s[j] == '\r') {
                size_t end = i;
                while (end < s.size() && (s[end] == '\r' || s[end] == '\n'))
                    ++end;
                if (number == index)
                    return std::string(s.substr(start, end - start));
                ++number;
                start = i = end;
                continue;
            }
        }
        i += CharLenAt(s, i);
    }
    if (number == index && start < s.size())
        return std::string(s.substr(start));
    return std::string();
}

std::vector<std::string> SplitPieces(std::string_view s, std::string_view sep)
{
    std::vector<std::string> pieces;
    size_t pieceStart = 0;
    if (!sep.empty()) {
        for (size_t i = 0; i < s.size();) {
            if (MatchesAt(s, i, sep)) {
                pieces.emplace_back(s.substr(pieceStart, i - pieceStart));
                i += sep.size();
                pieceStart = i;
            } else {
                i += CharLenAt(s, i);
            }
        }
    }
    if (pieceStart < s.size())
        pieces.emplace_back(s.substr(pieceStart));
    return pieces;
}

Cut CutBefore(std::string_view source, std::string_view delim)
{
    size_t at = FindAtCharStart(source, delim);
    if (at == npos)
        return {std::string(source), std::string()};
    return {std::string(source.substr(0, at)), std::string(source.substr(at + delim.size()))};
}

Cut CutEscaped(std::string_view source, std::string_view delim, char escape)
{
    Cut out;
    size_t i = 0;
    bool matched = false;
    while (i < source.size()) {
        if (!delim.empty() && MatchesAt(source, i, delim)) {
            i += delim.size();
            matched = true;
            break;
        }
        size_t len = CharLenAt(source, i);
        if (len == 1 && source[i] == escape && i + 1 < source.size())
            len = 1 + CharLenAt(source, i + 1);
        out.piece.append(source.substr(i, len));
        i += len;
    }
    if (matched)
        out.rest = std::string(source.substr(i));
    return out;
}

bool CutRange(std::string_view value, std::string_view startMark, std::string_view endMark, Cut& out)
{
    size_t ps = startMark.empty() ? 0 : FindAtCharStart(value, startMark);
    if (ps == npos)
        return false;
    size_t pe = endMark.empty() ? ps : FindAtCharStart(value, endMark, ps);
    if (pe == npos) {
        out.piece = std::string(value.substr(ps));
        out.rest = std::string(value.substr(0, ps));
    } else {
        size_t end = pe + endMark.size();
        out.piece = std::string(value.substr(ps, end - ps));
        out.rest = std::string(value.substr(0, ps));
        out.rest.append(value.substr(end));
    }
    return true;
}

std::string TrimBlanks(std::string_view s)
{
    size_t b = 0, e = s.size();
    while (b < e && static_cast<unsigned char>(s[b]) <= 32)
        ++b;
    while (e > b && static_cast<unsigned char>(s[e - 1]) <= 32)
        --e;
    s = s.substr(b, e - b);
    size_t first = s.size(), last = 0;
    for (size_t i = 0; i < s.size();) {
        size_t len = CharLenAt(s, i);
        if (!IsBlankChar(s, i, len)) {
            if (first == s.size())
                first = i;
            last = i + len;
        }
        i += len;
    }
    if (first == s.size())
        return std::string();
    return std::string(s.substr(first, last - first));
}

bool IsHiraganaCode(uint16_t code)
{
    return code >= 0x82A0 && code <= 0x833E;
}

std::string DeleteOkurigana(std::string_view s)
{
    std::string out;
    out.reserve(s.size());
    bool passedKanji = false;
    for (size_t i = 0; i < s.size();) {
        size_t len = CharLenAt(s, i);
        if (len == 2 && IsHiraganaCode(Code2(s, i))) {
            if (passedKanji) {
                while (i < s.size() && CharLenAt(s, i) == 2 && IsHiraganaCode(Code2(s, i)))
                    i += 2;
                passedKanji = false;
                continue;
            }
        } else if (len == 2) {
            passedKanji = true;
        }
        out.append(s.substr(i, len));
        i += len;
    }
    if (out.empty())
        return std::string(s);
    return out;
}

std::string DeleteTags(std::string_view s)
{
    size_t b = 0, e = s.size();
    while (b < e && static_cast<unsigned char>(s[b]) <= 32)
        ++b;
    while (e > b && static_cast<unsigned char>(s[e - 1]) <= 32)
        --e;
    s = s.substr(b, e - b);
    std::string out;
    out.reserve(s.size());
    bool inTag = false;
    for (size_t i = 0; i < s.size();) {
        size_t len = CharLenAt(s, i);
        if (len == 1 && s[i] == '<')
            inTag = true;
        else if (len == 1 && s[i] == '>')
            inTag = false;
        else if (!inTag)
            out.append(s.substr(i, len));
        i += len;
    }
    return out;
}

std::string ExtractTags(std::string_view s, std::string_view name)
{
    if (name.size() >= 2 && name.front() == '<' && name.back() == '>')
        name = name.substr(1, name.size() - 2);
    const std::string openLower = "<" + ToLowerCase(name), openUpper = "<" + ToUpperCase(name);
    const std::string closeLower = "</" + ToLowerCase(name), closeUpper = "</" + ToUpperCase(name);
    auto firstOf = [&](const std::string& a, const std::string& b, size_t from) {
        size_t x = FindAtCharStart(s, a, from), y = FindAtCharStart(s, b, from);
        return x < y ? x : y;
    };
    std::string out;
    size_t pos = 0;
    while (pos < s.size()) {
        size_t open = firstOf(openLower, openUpper, pos);
        if (open == npos)
            break;
        size_t gt = FindAtCharStart(s, ">", open);
        if (gt == npos || gt + 1 >= s.size())
            break;   // the opening tag ends the text
        size_t last = gt;
        size_t close = firstOf(closeLower, closeUpper, gt + 1);
        if (close != npos) {
            size_t cgt = FindAtCharStart(s, ">", close);
            if (cgt != npos)
                last = cgt;
        }
        out.append(s.substr(open, last + 1 - open));
        out += "\r\n";
        pos = last + 1;
    }
    return out;
}

std::string ReplaceAll(std::string_view s, std::string_view search, std::string_view repl)
{
    size_t at = FindAtCharStart(s, search);
    if (at == npos)
        return std::string(s);
    std::string out;
    out.reserve(s.size() + repl.size());
    size_t copied = 0;
    while (at != npos) {
        out.append(s.substr(copied, at - copied));
        out.append(repl);
        copied = at + search.size();
        at = FindAtCharStart(s, search, copied);
    }
    out.append(s.substr(copied));
    return out;
}

std::string Repeat(std::string_view s, int64_t times)
{
    std::string out;
    if (times <= 0 || s.empty())
        return out;
    out.reserve(s.size() * static_cast<size_t>(times));
    for (int64_t k = 0; k < times; ++k)
        out.append(s);
    return out;
}

std::string PadLeft(std::string_view s, int64_t width, char fill)
{
    if (width <= static_cast<int64_t>(s.size()))
        return std::string(s);
    std::string out(static_cast<size_t>(width) - s.size(), fill);
    out.append(s);
    return out;
}

std::string FillLines(std::string_view s, int64_t width, int64_t tabSize, std::string_view kinsoku)
{
    if (width <= 0)
        return std::string(s);
    std::string out;
    out.reserve(s.size() + s.size() / 8 + 2);
    int64_t column = 0;
    size_t i = 0;
    // Ends the line; a forbidden line-starter at i is pulled back onto it. Returns
    // true when it took the character at i.
    auto lineBreak = [&]() {
        bool pulled = false;
        if (!kinsoku.empty() && i < s.size()) {
            size_t len = CharLenAt(s, i);
            if (FindAtCharStart(kinsoku, s.substr(i, len)) != npos) {
                out.append(s.substr(i, len));
                i += len;
                pulled = true;
            }
        }
        out += "\r\n";
        column = 0;
        return pulled;
    };
    while (i < s.size()) {
        size_t len = CharLenAt(s, i);
        if (len == 2) {
            if (column + 2 > width && lineBreak())
                continue;
            out.append(s.substr(i, 2));
            column += 2;
            i += 2;
            continue;
        }
        if (column >= width && lineBreak())
            continue;
        char c = s[i];
        if (c == '\r' || c == '\n') {
            ++i;
            if (i < s.size() && (s[i] == '\r' || s[i] == '\n'))
                ++i;
            lineBreak();
        } else {
            out += c;
            column += c == '\t' ? tabSize : 1;
            ++i;
        }
    }
    return out;
}

bool FirstIsUpper(std::string_view s)
{
    std::string h = HalfOfFirstChar(s);
    return !h.empty() && h[0] >= 'A' && h[0] <= 'Z';
}

bool FirstIsDigit(std::string_view s)
{
    std::string h = HalfOfFirstChar(s);
    return !h.empty() && h[0] >= '0' && h[0] <= '9';
}

bool FirstIsWide(std::string_view s)
{
    return !s.empty() && IsLeadByte(static_cast<unsigned char>(s[0]));
}

bool FirstIsHiragana(std::string_view s)
{
    return s.size() >= 2 && IsHiraganaCode(Code2(s, 0));
}

bool FirstIsKatakana(std::string_view s)
{
    if (s.size() < 2)
        return false;
    uint16_t c = Code2(s, 0);
    return c >= 0x8340 && c <= 0x839D;
}

bool IsNumberString(std::string_view s)
{
    if (s.empty() || s[0] < '0' || s[0] > '9')
        return false;
    for (size_t i = 1; i < s.size(); ++i) {
        char c = s[i];
        if (!((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.' || c == 'E' || c == 'e'))
            return false;
    }
    return true;
}

int32_t CodeOfFirstChar(std::string_view s)
{
    if (s.empty())
        return 0;
    unsigned char b0 = static_cast<unsigned char>(s[0]);
    if (IsLeadByte(b0))
        return b0 * 256 + (s.size() > 1 ? static_cast<unsigned char>(s[1]) : 0);
    return b0;
}

std::string CharOfCode(int64_t code)
{
    if (code < 256)
        return std::string(1, static_cast<char>(code));
    return std::string{static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
}

}   // namespace sjistext
