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

void Normalise(std::string& text)
{
    const TConvToHalf& conv = ConvToHalf();
    const char* p = text.c_str();

    std::string out;
    out.reserve(text.size() + text.size() / 8 + 16);

    bool inQuote = false, inBackquote = false, inBlock = false, inLineComment = false;
    int line = 1;                     // the index the next marker carries
    const char* blockPos = nullptr;   // text after the last opening brace
    int blockLine = 0;
    const char* stringPos = nullptr;   // text after the last opened quote
    int stringLine = 0;

    auto replacementOf = [&conv](const char* ch, size_t len) -> std::string_view {
        if (const std::string* rep = conv.Lookup(std::string_view(ch, len)))
            return *rep;
        return std::string_view(ch, len);
    };

    while (*p) {
        const char* ch = p;
        const size_t len = CharLen(p);
        p += len;
        const std::string_view rep = replacementOf(ch, len);
        const bool inString = inQuote || inBackquote;
        const char b = rep[0];

        if (b == '\r' || b == '\n') {
            if (b == '\r' && *p == '\n')
                ++p;
            inLineComment = false;
            out += "\r\n";
            if (!inString)
                AppendMarker(out, line);
            ++line;
            continue;
        }

        switch (b) {
        case '"':
            if (inBlock || inLineComment || inBackquote)
                break;
            inQuote = !inQuote;
            out += '"';
            stringPos = p;
            stringLine = line;
            continue;

        case '\'':
            if (inString || inBlock)
                break;
            inLineComment = true;
            continue;

        case '/':
            if (inString || inBlock)
                break;
            if (*p) {
                const size_t len2 = CharLen(p);
                if (replacementOf(p, len2)[0] == '/') {
                    p += len2;
                    inLineComment = true;
                    continue;
                }
            }
            break;

        case '\\':
            if (inBlock || inLineComment)
                continue;
            if (inQuote) {
                // An escape pair is copied unconverted and unexamined, so an escaped
                // quote does not close the string. A line break is never swallowed by
                // it: the break keeps its line count.
                out += '\\';
                if (*p && *p != '\r' && *p != '\n') {
                    const size_t len2 = CharLen(p);
                    out.append(p, len2);
                    p += len2;
                }
                continue;
            }
            break;

        case '`':
            if (inBlock || inLineComment || inQuote)
                break;
            if (*p) {
                const size_t len2 = CharLen(p);
                if (replacementOf(p, len2)[0] == '`') {
                    p += len2;
                    out += "``";
                    continue;
                }
            }
            inBackquote = !inBackquote;
            out += '`';
            stringPos = p;
            stringLine = line;
            continue;

        case '{':
        case '}':
            if (inString || inLineComment)
                break;
            if (b == '{') {
                inBlock = true;
                blockPos = p;
                blockLine = line;
            } else {
                inBlock = false;
            }
            continue;

        default:
            break;
        }

        // An ordinary character.
        if (inBlock || inLineComment)
            continue;
        if (inString)
            out.append(ch, len);
        else
            out += rep;
    }

    if (inBlock)
        throw ENormalise{"{ }が対応していません。『" + Snippet(blockPos) + "』の近く", blockLine};
    if (inQuote)
        throw ENormalise{"「」または\"\"が対応していません。『" + Snippet(stringPos) + "』の近く", stringLine};
    if (inBackquote)
        throw ENormalise{"『』または''''が対応していません。『" + Snippet(stringPos) + "』の近く", stringLine};

    text.swap(out);
}
