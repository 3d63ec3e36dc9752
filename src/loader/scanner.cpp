// Scanning functions over normalised program text. All scanning is character-wise:
// the second byte of a double-byte character is never tested on its own, and no
// function reads past the terminating zero.
#include "loader/scanner.h"

#include <array>
#include <cstdint>

#include "core/error.h"
#include "core/sjis.h"
#include "core/text.h"

const char* const kMsgNoCloseQuote = "対応するカッコ \" または 」 がありません。";
const char* const kMsgNoCloseBackquote = "対応するカッコ ` または 』 がありません。";
const char* const kMsgNoCloseParen = "\")\"が対応していません。";

namespace {

using ByteTable = std::array<bool, 256>;

constexpr ByteTable MakeTable(std::initializer_list<unsigned char> bytes)
{
    ByteTable t{};
    for (unsigned char b : bytes)
        t[b] = true;
    return t;
}

constexpr ByteTable kBlank = MakeTable({0x09, 0x20, ',', 0xA4});
constexpr ByteTable kTerminator = MakeTable({0x09, 0x0D, 0x20, 0x22, 0x23, 0x25, 0x26, 0x28, 0x29, 0x2A, 0x2B, 0x2C,
                                             0x2D, 0x2F, 0x3A, 0x3B, 0x3C, 0x3D, 0x3E, 0x3F, 0x5C, 0x5E, 0x60, 0xA4});
constexpr ByteTable kOperator = MakeTable({0x25, 0x26, 0x2A, 0x2B, 0x2D, 0x2F, 0x3C, 0x3D, 0x3E, 0x5E, 0x7C});

inline unsigned char U(char c)
{
    return static_cast<unsigned char>(c);
}

inline bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// True when `delim` (no zero bytes) starts at p; a zero in the text mismatches.
inline bool MatchesAt(const char* p, std::string_view delim)
{
    for (size_t i = 0; i < delim.size(); ++i)
        if (p[i] != delim[i])
            return false;
    return true;
}

// Advances past one character (never past the terminating zero).
inline void Step(const char*& q)
{
    if (*q)
        q += CharLen(q);
}

// The end of the word starting at p (after blanks were skipped).
inline const char* WordEnd(const char* p)
{
    for (;;) {
        const unsigned char c = U(*p);
        if (c == 0)
            return p;
        if (IsLeadByte(c)) {
            p += CharLen(p);
            continue;
        }
        if (kTerminator[c])
            return p;
        ++p;
    }
}

}   // namespace

bool IsBlank(unsigned char c)
{
    return kBlank[c];
}
bool IsWordTerminator(unsigned char c)
{
    return kTerminator[c];
}
bool IsOperatorChar(unsigned char c)
{
    return kOperator[c];
}

std::string ReadChar(const char*& p)
{
    if (*p == '\0')
        return std::string();
    const size_t len = CharLen(p);
    std::string ch(p, len);
    p += len;
    return ch;
}

void SkipSeparators(const char*& p)
{
    while (kBlank[U(*p)])
        ++p;
}

void SkipSpaces(const char*& p)
{
    while (*p == ' ' || *p == '\t')
        ++p;
}

std::string_view ReadWordView(const char*& p)
{
    SkipSpaces(p);
    const char* start = p;
    p = WordEnd(p);
    return std::string_view(start, static_cast<size_t>(p - start));
}

std::string ReadWord(const char*& p)
{
    return std::string(ReadWordView(p));
}

std::string ReadNumberLiteral(const char*& p)
{
    SkipSeparators(p);
    std::string out;
    if (*p == '+' || *p == '-')
        out += *p++;

    if (*p == '$') {
        ++p;
        uint64_t v = 0;
        bool valid = HexDigit(*p) >= 0;
        for (int d; (d = HexDigit(*p)) >= 0; ++p) {
            if (v > (UINT64_MAX >> 4))
                valid = false;
            v = (v << 4) | static_cast<uint64_t>(d);
        }
        out += valid ? std::to_string(v) : std::string("0");
        return out;
    }

    const char* start = p;
    while (IsDigit(*p))
        ++p;
    if (*p == '.' && IsDigit(p[1])) {
        p += 2;
        while (IsDigit(*p))
            ++p;
        // An exponent counts only when digits follow it ("2.5e" alone stops at "e").
        if (*p == 'E' || *p == 'e') {
            const char* q = p + 1;
            if (*q == '+' || *q == '-')
                ++q;
            if (IsDigit(*q)) {
                while (IsDigit(*q))
                    ++q;
                p = q;
            }
        }
    }
    out.append(start, static_cast<size_t>(p - start));
    return out;
}

std::string ReadUntil(const char*& p, std::string_view delimiter)
{
    const char* start = p;
    const char* q = p;
    while (*q && !MatchesAt(q, delimiter))
        Step(q);
    std::string out(start, static_cast<size_t>(q - start));
    p = *q ? q + delimiter.size() : q;
    return out;
}

std::string ReadUntilEsc(const char*& p, std::string_view delimiter, char escape)
{
    const char* start = p;
    const char* q = p;
    while (*q) {
        if (*q == escape) {
            ++q;
            Step(q);
            continue;
        }
        if (MatchesAt(q, delimiter))
            break;
        Step(q);
    }
    std::string out(start, static_cast<size_t>(q - start));
    p = *q ? q + delimiter.size() : q;
    return out;
}

std::string ReadUntilSet(const char*& p, const ByteSet& set)
{
    const char* start = p;
    const char* q = p;
    while (*q) {
        const size_t len = CharLen(q);
        if (len == 1 && set.test(U(*q)))
            break;
        q += len;
    }
    std::string out(start, static_cast<size_t>(q - start));
    p = *q ? q + 1 : q;
    return out;
}

std::string_view ReadLiteralView(const char*& p, size_t maxLen)
{
    SkipSeparators(p);
    const char open = *p;
    if (open != '"' && open != '`')
        return std::string_view();
    // With a bound, the literal's content may be at most maxLen bytes long.
    const char* limit = maxLen ? p + 1 + maxLen : nullptr;
    const char* q = p + 1;
    for (;;) {
        if (*q == '\0' || (limit && q > limit))
            throw EPoru(open == '"' ? kMsgNoCloseQuote : kMsgNoCloseBackquote);
        if (open == '"') {
            if (*q == '\\') {
                ++q;
                Step(q);
                continue;
            }
            if (*q == '"')
                break;
        } else if (*q == '`') {
            if (q[1] != '`')
                break;
            q += 2;   // a doubled backquote is an escaped one
            continue;
        }
        Step(q);
    }
    std::string_view lit(p, static_cast<size_t>(q + 1 - p));
    p = q + 1;
    return lit;
}

std::string ReadLiteral(const char*& p, size_t maxLen)
{
    return std::string(ReadLiteralView(p, maxLen));
}

namespace {

std::string_view ScanGroupBody(const char*& p, std::vector<std::pair<const char*, const char*>>* nested)
{
    SkipSeparators(p);
    if (*p != '(')
        return std::string_view();
    const char* start = p + 1;
    const char* q = start;
    int depth = 1;
    std::vector<const char*> opens;   // the open nested groups, when they are noted
    bool inQuote = false, inBackquote = false;
    for (;;) {
        const char c = *q;
        if (c == '\0')
            throw EPoru(kMsgNoCloseParen);
        if (inQuote) {
            if (c == '\\') {
                ++q;
                Step(q);
                continue;
            }
            if (c == '"')
                inQuote = false;
        } else if (inBackquote) {
            if (c == '`')
                inBackquote = false;
        } else if (c == '"') {
            inQuote = true;
        } else if (c == '`') {
            inBackquote = true;
        } else if (c == '(') {
            ++depth;
            if (nested)
                opens.push_back(q);
        } else if (c == ')') {
            if (--depth == 0)
                break;
            if (nested) {
                nested->emplace_back(opens.back(), q);
                opens.pop_back();
            }
        }
        Step(q);
    }
    std::string_view inner(start, static_cast<size_t>(q - start));
    p = q + 1;
    return inner;
}

}   // namespace

std::string_view ReadGroupView(const char*& p)
{
    return ScanGroupBody(p, nullptr);
}

std::string_view ReadGroupView(const char*& p, std::vector<std::pair<const char*, const char*>>& nested)
{
    std::vector<std::pair<const char*, const char*>> found;
    const std::string_view inner = ScanGroupBody(p, &found);
    nested.insert(nested.end(), found.begin(), found.end());
    return inner;
}

std::string ReadGroup(const char*& p)
{
    return std::string(ReadGroupView(p));
}
