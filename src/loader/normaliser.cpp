// Source normalisation: the full-width to half-width table and the one pass that
// removes comments, unifies quotes and writes the line markers.
#include "loader/normaliser.h"

#include <charconv>

#include "core/sjis.h"

namespace {

struct TPair {
    const char* From;
    const char* To;
};

// Symbols, in table order (full-width codes written as bytes so that the table does
// not depend on how a compiler maps look-alike characters).
const TPair kSymbols[] = {
    {"\x81\x49", "!"},  {"\x81\x94", "#"}, {"\x81\x90", "$"}, {"\x81\x93", "%"},  {"\x81\x95", "&"}, {"\x81\x69", "("},
    {"\x81\x6A", ")"},  {"\x81\x81", "="}, {"\x81\x7C", "-"}, {"\x81\x4F", "^"},  {"\x81\x60", "~"}, {"\x81\x8F", "\\"},
    {"\x81\x62", "|"},  {"\x81\x6F", "{"}, {"\x81\x70", "}"}, {"\x81\x97", "@"},  {"\x81\x47", ";"}, {"\x81\x46", ":"},
    {"\x81\x7B", "+"},  {"\x81\x96", "*"}, {"\x81\x5E", "/"}, {"\x81\x48", "?"},  {"\x81\x51", "_"}, {"\x81\x83", "<"},
    {"\x81\x84", ">"},  {"\x81\x43", ","}, {"\x81\x44", "."}, {"\x81\x68", "\""},   // ”
    {"\x81\x66", "'"},                                                              // ’
    {"\x81\xA6", "'"},                                                              // ※
    {"\x81\x65", "`"},                                                              // ‘
    {"\x81\x7E", "*"},                                                              // ×
    {"\x81\x80", "/"},                                                              // ÷
    {"\x81\x82", "<>"},                                                             // ≠
    {"\x81\x85", "<="},                                                             // ≦
    {"\x81\x86", ">="},                                                             // ≧
};

const TPair kSpacesAndBrackets[] = {
    {"\x81\x40", " "},    // full-width space
    {"\x81\x41", ","},    // 、
    {"\x81\x42", ";"},    // 。
    {"\x81\x75", "\""},   // 「
    {"\x81\x76", "\""},   // 」
    {"\xA2", "\""},       // half-width ｢
    {"\xA3", "\""},       // half-width ｣
    {"\x81\x77", "`"},    // 『
    {"\x81\x78", "`"},    // 』
};

inline unsigned char U(char c)
{
    return static_cast<unsigned char>(c);
}

// Up to 20 bytes of the text at p, whole characters only, for the error messages.
std::string Snippet(const char* p)
{
    const char* q = p;
    while (*q) {
        const size_t len = CharLen(q);
        if (static_cast<size_t>(q - p) + len > 20)
            break;
        q += len;
    }
    return std::string(p, static_cast<size_t>(q - p));
}

void AppendMarker(std::string& out, int line)
{
    char buf[16];
    auto res = std::to_chars(buf, buf + sizeof buf, line);
    out.append(buf, static_cast<size_t>(res.ptr - buf));
    out += ':';
}

}   // namespace

TConvToHalf::TConvToHalf()
{
    auto add = [this](std::string from, std::string to) {
        table_.Add(THashNode::CreateVariable(std::move(from), std::move(to), 0, false));
    };
    for (const TPair& e : kSymbols)
        add(e.From, e.To);
    for (int i = 0; i < 10; ++i)   // ０ to ９
        add(std::string{'\x82', static_cast<char>(0x4F + i)}, std::string(1, static_cast<char>('0' + i)));
    for (int i = 0; i < 26; ++i)   // ａ to ｚ
        add(std::string{'\x82', static_cast<char>(0x81 + i)}, std::string(1, static_cast<char>('a' + i)));
    for (int i = 0; i < 26; ++i)   // Ａ to Ｚ
        add(std::string{'\x82', static_cast<char>(0x60 + i)}, std::string(1, static_cast<char>('A' + i)));
    for (const TPair& e : kSpacesAndBrackets)
        add(e.From, e.To);
}

const std::string* TConvToHalf::Lookup(std::string_view ch) const
{
    // Every entry is a double-byte character or one of the bytes 0xA2, 0xA3.
    if (ch.empty() || U(ch[0]) < 0x80)
        return nullptr;
    const THashNode* n = table_.FindExact(ch);
    return n ? &n->Value : nullptr;
}

std::string TConvToHalf::ToHalf(std::string_view text) const
{
    std::string out;
    out.reserve(text.size());
    size_t i = 0;
    const size_t n = text.size();
    while (i < n) {
        const size_t len = (i + 1 < n && IsLeadByte(U(text[i])) && text[i + 1] != '\0') ? 2 : 1;
        const std::string_view ch = text.substr(i, len);
        if (const std::string* rep = Lookup(ch))
            out += *rep;
        else
            out += ch;
        i += len;
    }
    return out;
}

const TConvToHalf& ConvToHalf()
{
    static const TConvToHalf instance;
    return instance;
}

std::string ToHalf(std::string_view text)
{
    // The table already maps the half-width brackets 0xA2 and 0xA3 to the double quote.
    return ConvToHalf().ToHalf(text);
}

namespace {

// Where Normalise stands: inside which string, comment or block, and where the open
// ones began, for the error when one is never closed.
struct TNormaliseState {
    const TConvToHalf& Conv;
    std::string& Out;
    bool InQuote = false, InBackquote = false, InBlock = false, InLineComment = false;
    int Line = 1;                     // the index the next marker carries
    const char* BlockPos = nullptr;   // text after the last opening brace
    int BlockLine = 0;
    const char* StringPos = nullptr;   // text after the last opened quote
    int StringLine = 0;
    // The string that a bracket of the wrong direction shows to be unclosed: a 「
    // that closes a string means the string open then lacks its 」; a 」 that opens
    // one means that its own 「 is missing. The first such string is the one reported
    // when the text ends inside a string (the last opened one is then often lines
    // away from the mistake).
    const char* Ch = nullptr;   // the character being read, as written
    const char* UnclosedPos = nullptr;
    int UnclosedLine = 0;

    bool InString() const { return InQuote || InBackquote; }
    std::string_view ReplacementOf(const char* ch, size_t len) const
    {
        if (const std::string* rep = Conv.Lookup(std::string_view(ch, len)))
            return *rep;
        return std::string_view(ch, len);
    }
};

// A full-width bracket (0x81 followed by `open`, or by the byte after it for the
// closing one; or the half-width `halfOpen` and the byte after it) that opens or
// closes a string against its direction.
void NoteBracketDirection(TNormaliseState& st, bool opening, char open, char halfOpen, const char* after)
{
    if (st.UnclosedPos || !st.Ch)
        return;
    const unsigned char c0 = U(st.Ch[0]);
    bool isOpen = false, isClose = false;
    if (c0 == 0x81 && st.Ch[1]) {
        isOpen = st.Ch[1] == open;
        isClose = U(st.Ch[1]) == U(open) + 1;
    } else if (halfOpen) {
        isOpen = c0 == U(halfOpen);
        isClose = c0 == U(halfOpen) + 1;
    }
    if (opening && isClose) {
        st.UnclosedPos = after;
        st.UnclosedLine = st.Line;
    } else if (!opening && isOpen) {
        st.UnclosedPos = st.StringPos;
        st.UnclosedLine = st.StringLine;
    }
}

// The characters that open or close a string, a comment or a block, and the escape
// inside a string. True when the character just read (its replacement's first byte b) is
// handled here, p then standing after what it took; false for an ordinary character.
bool NormaliseSpecial(TNormaliseState& st, char b, const char*& p)
{
    switch (b) {
    case '"':
        if (st.InBlock || st.InLineComment || st.InBackquote)
            return false;
        NoteBracketDirection(st, !st.InQuote, '\x75', '\xA2', p);
        st.InQuote = !st.InQuote;
        st.Out += '"';
        st.StringPos = p;
        st.StringLine = st.Line;
        return true;

    case '\'':
        if (st.InString() || st.InBlock)
            return false;
        st.InLineComment = true;
        return true;

    case '/':
        if (st.InString() || st.InBlock)
            return false;
        if (*p) {
            const size_t len2 = CharLen(p);
            if (st.ReplacementOf(p, len2)[0] == '/') {
                p += len2;
                st.InLineComment = true;
                return true;
            }
        }
        return false;

    case '\\':
        if (st.InBlock || st.InLineComment)
            return true;
        if (st.InQuote) {
            // An escape pair is copied unconverted and unexamined, so an escaped
            // quote does not close the string. A line break is never swallowed by
            // it: the break keeps its line count.
            st.Out += '\\';
            if (*p && *p != '\r' && *p != '\n') {
                const size_t len2 = CharLen(p);
                st.Out.append(p, len2);
                p += len2;
            }
            return true;
        }
        return false;

    case '`':
        if (st.InBlock || st.InLineComment || st.InQuote)
            return false;
        if (*p) {
            const size_t len2 = CharLen(p);
            if (st.ReplacementOf(p, len2)[0] == '`') {
                p += len2;
                st.Out += "``";
                return true;
            }
        }
        NoteBracketDirection(st, !st.InBackquote, '\x77', 0, p);
        st.InBackquote = !st.InBackquote;
        st.Out += '`';
        st.StringPos = p;
        st.StringLine = st.Line;
        return true;

    case '{':
    case '}':
        if (st.InString() || st.InLineComment)
            return false;
        if (b == '{') {
            st.InBlock = true;
            st.BlockPos = p;
            st.BlockLine = st.Line;
        } else {
            st.InBlock = false;
        }
        return true;

    default:
        return false;
    }
}

}   // namespace

void Normalise(std::string& text)
{
    const char* p = text.c_str();

    std::string out;
    out.reserve(text.size() + text.size() / 8 + 16);
    TNormaliseState st{ConvToHalf(), out};

    while (*p) {
        const char* ch = p;
        const size_t len = CharLen(p);
        p += len;
        const std::string_view rep = st.ReplacementOf(ch, len);
        const bool inString = st.InString();
        const char b = rep[0];

        if (b == '\r' || b == '\n') {
            if (b == '\r' && *p == '\n')
                ++p;
            st.InLineComment = false;
            out += "\r\n";
            if (!inString)
                AppendMarker(out, st.Line);
            ++st.Line;
            continue;
        }
        st.Ch = ch;
        if (NormaliseSpecial(st, b, p))
            continue;

        // An ordinary character.
        if (st.InBlock || st.InLineComment)
            continue;
        if (inString)
            out.append(ch, len);
        else
            out += rep;
    }

    if (st.InBlock)
        throw ENormalise{"{ }が対応していません。『" + Snippet(st.BlockPos) + "』の近く", st.BlockLine};
    if (st.InString() && st.UnclosedPos) {
        st.StringPos = st.UnclosedPos;
        st.StringLine = st.UnclosedLine;
    }
    if (st.InQuote)
        throw ENormalise{"「」または\"\"が対応していません。『" + Snippet(st.StringPos) + "』の近く", st.StringLine};
    if (st.InBackquote)
        throw ENormalise{"『』または''''が対応していません。『" + Snippet(st.StringPos) + "』の近く", st.StringLine};

    text.swap(out);
}
