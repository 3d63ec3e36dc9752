// Conversions between value texts and numbers, and the raw-quoting pair with which
// already evaluated strings travel through argument texts.
#include <charconv>
#include <cmath>
#include <cstring>

#include "core/sjis.h"
#include "core/text.h"
#include "interp/interp.h"

namespace {

// Full-width forms of the characters a number can contain (Shift_JIS 0x81xx/0x82xx).
char HalfOfFullWidth(unsigned char lead, unsigned char trail)
{
    if (lead == 0x82) {
        if (trail >= 0x4F && trail <= 0x58)
            return static_cast<char>('0' + (trail - 0x4F));
        if (trail >= 0x60 && trail <= 0x79)
            return static_cast<char>('A' + (trail - 0x60));
        if (trail >= 0x81 && trail <= 0x9A)
            return static_cast<char>('a' + (trail - 0x81));
        return 0;
    }
    if (lead == 0x81) {
        switch (trail) {
        case 0x40:
            return ' ';
        case 0x43:
            return ',';
        case 0x44:
            return '.';
        case 0x7B:
            return '+';
        case 0x7C:
            return '-';
        case 0x90:
            return '$';
        default:
            return 0;
        }
    }
    return 0;
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

}   // namespace

// Plain decimal digits with an optional sign, at most 18 of them: the usual case,
// read without the general path.
bool ReadPlainInteger(std::string_view text, long double& out)
{
    if (text.empty())
        return false;
    size_t i = 0;
    bool neg = false;
    if (text[0] == '-' || text[0] == '+') {
        neg = text[0] == '-';
        i = 1;
    }
    if (i < text.size() && text.size() - i <= 18) {
        long long v = 0;
        size_t j = i;
        for (; j < text.size() && IsDigit(text[j]); ++j)
            v = v * 10 + (text[j] - '0');
        if (j == text.size() && j > i) {
            out = neg ? -static_cast<long double>(v) : static_cast<long double>(v);
            return true;
        }
    }
    return false;
}

namespace {

// Copies at most the first 254 bytes of text into buf (256 bytes) with full-width
// digits and signs made half-width and the commas left out; returns the length.
size_t CopyHalfWidth(std::string_view text, char* buf)
{
    size_t n = 0;
    size_t limit = text.size() < 254 ? text.size() : 254;
    for (size_t i = 0; i < limit;) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (IsLeadByte(c) && i + 1 < text.size()) {
            char h = HalfOfFullWidth(c, static_cast<unsigned char>(text[i + 1]));
            if (h) {
                if (h != ',')
                    buf[n++] = h;
            } else {
                buf[n++] = text[i];
                buf[n++] = text[i + 1];
            }
            i += 2;
            continue;
        }
        if (c != ',')
            buf[n++] = static_cast<char>(c);
        ++i;
    }
    return n;
}

// The value of digits with an optional fraction and exponent (no sign).
long double DecimalValue(std::string_view part)
{
    long double v = 0;
    // from_chars does not accept a leading "." or a trailing "." before the exponent
    // in every form, so give it a normalised copy.
    char nb[260];
    size_t m = 0;
    if (part[0] == '.')
        nb[m++] = '0';
    for (char c : part)
        nb[m++] = c;
    auto res = std::from_chars(nb, nb + m, v);
    if (res.ec == std::errc::result_out_of_range) {
        // Underflow towards zero is a zero; overflow is the conversion error.
        bool tiny = false;
        for (size_t k = 0; k < m; ++k)
            if (nb[k] == 'e' || nb[k] == 'E') {
                tiny = k + 1 < m && nb[k + 1] == '-';
                break;
            }
        if (tiny)
            return 0;
        throw EPoru("'" + std::string(part) + "' は浮動小数点数ではありません");
    }
    return v;
}

}   // namespace

long double ToNumber(std::string_view text)
{
    if (text.empty())
        return 0;
    long double plain = 0;
    if (ReadPlainInteger(text, plain))
        return plain;
    char buf[256];
    std::string_view s(buf, CopyHalfWidth(text, buf));
    s = TrimView(s);
    if (s.empty())
        return 0;
    if (s[0] == '$')
        return ToIntOrDefault(s, 0);
    size_t i = 0;
    bool neg = false;
    if (s[i] == '+')
        ++i;
    else if (s[i] == '-') {
        neg = true;
        ++i;
    }
    size_t start = i;
    while (i < s.size() && IsDigit(s[i]))
        ++i;
    bool digits = i > start;
    if (i < s.size() && s[i] == '.') {
        size_t j = i + 1;
        while (j < s.size() && IsDigit(s[j]))
            ++j;
        digits = digits || j > i + 1;
        i = j;
    }
    // An exponent after the digits, with or without a fraction: numbers large or
    // small enough are written as 1E15 or 2.5E-7, and must read back as themselves.
    if (digits && i < s.size() && (s[i] == 'E' || s[i] == 'e')) {
        size_t k = i + 1;
        if (k < s.size() && (s[k] == '+' || s[k] == '-'))
            ++k;
        size_t d = k;
        while (k < s.size() && IsDigit(s[k]))
            ++k;
        if (k > d)
            i = k;
    }
    std::string_view part = s.substr(start, i - start);
    if (part.empty() || part == ".")
        return 0;
    long double v = DecimalValue(part);
    return neg ? -v : v;
}

void NegatedText(std::string& out, std::string_view v)
{
    if (!v.empty() && v[0] == '-') {
        out.assign(v.substr(1));
        return;
    }
    out.assign("-");
    out.append(v.substr(!v.empty() && v[0] == '+' ? 1 : 0));
}

int32_t ToIntOrDefault(std::string_view text, int32_t def)
{
    size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    bool neg = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        neg = text[i] == '-';
        ++i;
    }
    if (i >= text.size())
        return def;
    bool hex = false;
    if (text[i] == '$' || text[i] == 'x' || text[i] == 'X') {
        hex = true;
        ++i;
    } else if (text[i] == '0' && i + 1 < text.size() && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        hex = true;
        i += 2;
    }
    if (hex) {
        size_t start = i;
        uint32_t v = 0;
        for (; i < text.size(); ++i) {
            const int d = HexDigit(text[i]);
            if (d < 0)
                return def;
            if (i - start >= 8)
                return def;
            v = (v << 4) | static_cast<uint32_t>(d);
        }
        if (i == start)
            return def;
        int32_t r = static_cast<int32_t>(v);
        return neg ? static_cast<int32_t>(0u - static_cast<uint32_t>(r)) : r;
    }
    size_t start = i;
    int64_t v = 0;
    for (; i < text.size(); ++i) {
        char c = text[i];
        if (!IsDigit(c))
            return def;
        v = v * 10 + (c - '0');
        if (v > 2147483648LL)
            return def;
    }
    if (i == start)
        return def;
    if (neg)
        v = -v;
    if (v > 2147483647LL || v < -2147483648LL)
        return def;
    return static_cast<int32_t>(v);
}

namespace {

// Whole numbers below 10^15 (zero among them) are written directly, before the tests
// for the special values, which such numbers never are. False for any other number.
bool WholeNumberText(long double v, std::string& out)
{
    if (v > -1e15L && v < 1e15L) {
        // Rounded in the current mode (no switch to truncation): a whole number
        // comes back as itself, anything else fails the comparison.
        const long long iv = std::llrint(v);
        if (static_cast<long double>(iv) == v) {
            AssignWholeNumber(out, iv);
            return true;
        }
    }
    return false;
}

}   // namespace

bool NumberToTextInto(long double v, std::string& out)
{
    if (WholeNumberText(v, out))
        return true;
    out = NumberToText(v);
    return false;
}

std::string NumberToText(long double v)
{
    if (std::string whole; WholeNumberText(v, whole))
        return whole;
    if (v == 0)
        return "0";
    if (std::isnan(v))
        return "NAN";
    if (std::isinf(v))
        return v < 0 ? "-INF" : "INF";
    // 15 significant digits: d.dddddddddddddde[+-]X
    char b[64];
    auto r = std::to_chars(b, b + sizeof b, v, std::chars_format::scientific, 14);
    std::string_view sv(b, r.ptr - b);
    bool neg = false;
    if (!sv.empty() && sv[0] == '-') {
        neg = true;
        sv.remove_prefix(1);
    }
    size_t epos = sv.find('e');
    char digits[20];
    size_t nd = 0;
    for (size_t k = 0; k < epos; ++k)
        if (sv[k] != '.')
            digits[nd++] = sv[k];
    while (nd > 1 && digits[nd - 1] == '0')
        --nd;
    int e10 = 0;
    std::from_chars(sv.data() + epos + 1 + (sv[epos + 1] == '+' ? 1 : 0), sv.data() + sv.size(), e10);
    int X = e10 + 1;   // value = 0.d1d2... x 10^X
    std::string out;
    out.reserve(32);
    if (neg)
        out += '-';
    if (X >= -3 && X <= 15) {
        if (X <= 0) {
            out += "0.";
            out.append(static_cast<size_t>(-X), '0');
            out.append(digits, nd);
        } else if (static_cast<size_t>(X) >= nd) {
            out.append(digits, nd);
            out.append(static_cast<size_t>(X) - nd, '0');
        } else {
            out.append(digits, static_cast<size_t>(X));
            out += '.';
            out.append(digits + X, nd - static_cast<size_t>(X));
        }
    } else {
        out += digits[0];
        if (nd > 1) {
            out += '.';
            out.append(digits + 1, nd - 1);
        }
        out += 'E';
        char eb[16];
        auto er = std::to_chars(eb, eb + sizeof eb, X - 1);
        out.append(eb, er.ptr);
    }
    return out;
}

std::string ValueAsPhrase(const std::string& value, std::string_view tag)
{
    if (tag != "s" && !value.empty()) {
        const char* p = value.c_str();
        if (*p == '-' || *p == '+')
            ++p;
        const char* digits = p;
        while (*p >= '0' && *p <= '9')
            ++p;
        if (*p == '.' && p > digits) {
            ++p;
            while (*p >= '0' && *p <= '9')
                ++p;
        }
        if ((*p == 'E' || *p == 'e') && p > digits) {   // NumberToText's exponent form
            const char* q = p + 1;
            if (*q == '-' || *q == '+')
                ++q;
            if (*q >= '0' && *q <= '9') {
                p = q;
                while (*p >= '0' && *p <= '9')
                    ++p;
            }
        }
        if (p > digits && *p == '\0')
            return value;
    }
    return tag == "s" || !value.empty() ? QuoteRaw(value) : value;
}

std::string QuoteRaw(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + 2);
    out += '`';
    for (size_t i = 0; i < text.size();) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (IsLeadByte(c) && i + 1 < text.size()) {
            out += text[i];
            out += text[i + 1];
            i += 2;
            continue;
        }
        if (c == '`')
            out += '`';
        out += text[i];
        ++i;
    }
    out += '`';
    return out;
}

std::string UnquoteRaw(std::string_view text)
{
    if (text.size() < 2 || text.front() != '`' || text.back() != '`')
        return std::string(text);
    std::string out;
    std::string_view in = text.substr(1, text.size() - 2);
    out.reserve(in.size());
    for (size_t i = 0; i < in.size();) {
        unsigned char c = static_cast<unsigned char>(in[i]);
        if (IsLeadByte(c) && i + 1 < in.size()) {
            out += in[i];
            out += in[i + 1];
            i += 2;
            continue;
        }
        if (c == '`' && i + 1 < in.size() && in[i + 1] == '`') {
            out += '`';
            i += 2;
            continue;
        }
        out += in[i];
        ++i;
    }
    return out;
}
