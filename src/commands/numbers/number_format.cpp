// Number helpers (see number_format.h).
#include "commands/numbers/number_format.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "commands/strings/kana.h"
#include "commands/strings/strings.h"
#include "core/sjis.h"
#include "interp/interp.h"

namespace numfmt {

const char* const kMsgDivideByZero = "0 による浮動小数点数除算";
const char* const kMsgInvalidOp = "不正な浮動小数点数演算命令";
const char* const kMsgOverflow = "浮動小数点数のオーバーフロー";

namespace {

constexpr long double kTwo63 = 9223372036854775808.0L;

void Group(std::string& digits)
{
    std::string out;
    out.reserve(digits.size() + digits.size() / 3);
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            out += ',';
        out += digits[i];
    }
    digits = std::move(out);
}

// The decimal digits of |v| (v finite, not zero) as the number reads: the shortest
// digit string that converts back to exactly v, and the exponent E with
// |v| = d.ddd... x 10^E. Rounding and formatting work on these digits, so that a
// value such as -311.8 (binary a hair below) is cut and rounded as -311.8.
void DecimalDigits(long double v, std::string& digits, int& exponent)
{
    char buf[64];
    const long double a = fabsl(v);
    for (int precision = 0; precision <= 20; ++precision) {
        std::snprintf(buf, sizeof buf, "%.*Le", precision, a);
        if (std::strtold(buf, nullptr) == a)
            break;
    }
    digits.clear();
    const char* p = buf;
    for (; *p && *p != 'e'; ++p)
        if (*p != '.')
            digits += *p;
    exponent = *p ? std::atoi(p + 1) : 0;
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();
}

// Adds one to a decimal digit string; true when it grew by a digit.
bool Increment(std::string& digits)
{
    for (size_t k = digits.size(); k-- > 0;) {
        if (digits[k] != '9') {
            ++digits[k];
            return false;
        }
        digits[k] = '0';
    }
    digits.insert(digits.begin(), '1');
    return true;
}

// Significant digits rounded half away from zero, as 0.d1d2... x 10^X.
void RoundedSignificant(long double v, int count, std::string& digits, int& X)
{
    int e;
    DecimalDigits(v, digits, e);
    X = e + 1;
    if (count < static_cast<int>(digits.size())) {
        bool up = digits[count] >= '5';
        digits.resize(count);
        if (up && Increment(digits)) {
            digits.pop_back();
            ++X;
        }
    }
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();
}

// The general format with `count` significant digits (as NumberToText with 15).
std::string General(long double v, int count)
{
    if (v == 0)
        return "0";
    std::string d;
    int X;
    RoundedSignificant(v, count, d, X);
    std::string out = v < 0 ? "-" : "";
    int n = static_cast<int>(d.size());
    if (X >= -3 && X <= count) {
        if (X <= 0)
            out += "0." + std::string(-X, '0') + d;
        else if (X >= n)
            out += d + std::string(X - n, '0');
        else
            out += d.substr(0, X) + "." + d.substr(X);
    } else {
        out += d.substr(0, 1);
        if (n > 1)
            out += "." + d.substr(1);
        out += "E" + std::to_string(X - 1);
    }
    return out;
}

// Scientific form d.ddd E+ddd with `count` significant digits.
std::string Scientific(long double v, int count)
{
    std::string d;
    int X = 1;
    if (v == 0)
        d = std::string(count, '0');
    else {
        RoundedSignificant(v, count, d, X);
        d.resize(count, '0');
    }
    std::string out = v < 0 ? "-" : "";
    out += d.substr(0, 1);
    if (count > 1)
        out += "." + d.substr(1);
    int e = v == 0 ? 0 : X - 1;
    char b[16];
    std::snprintf(b, sizeof b, "E%c%03d", e < 0 ? '-' : '+', e < 0 ? -e : e);
    return out + b;
}

enum class ValueKind { Real, Whole, Text };

}   // namespace

std::string IntToText(int64_t v)
{
    return std::to_string(v);
}

bool TruncToInt64(long double x, int64_t& out)
{
    long double t = truncl(x);
    if (!(t >= -kTwo63 && t < kTwo63))
        return false;
    out = static_cast<int64_t>(t);
    return true;
}

bool RoundToInt64(long double x, int64_t& out)
{
    long double t = nearbyintl(x);   // the default rounding mode takes halves to even
    if (!(t >= -kTwo63 && t < kTwo63))
        return false;
    out = static_cast<int64_t>(t);
    return true;
}

namespace {

// x cut (or rounded to nearest, halves to even) after `places` decimals of its
// decimal digits; negative places cut to tens, hundreds and so on.
long double DecimalToPlaces(long double x, int32_t places, bool round)
{
    if (x == 0 || !std::isfinite(x))
        return x;
    std::string d;
    int e;
    DecimalDigits(x, d, e);
    const int64_t keep = static_cast<int64_t>(e) + 1 + places;   // digits that stay
    if (keep >= static_cast<int64_t>(d.size()))
        return x;   // nothing to cut
    std::string kept = keep > 0 ? d.substr(0, static_cast<size_t>(keep)) : std::string();
    if (round && keep >= 0) {
        const std::string rest = d.substr(static_cast<size_t>(keep));
        bool up = rest[0] > '5' || (rest[0] == '5' && rest.find_first_not_of('0', 1) != std::string::npos);
        if (rest[0] == '5' && !up)
            up = !kept.empty() && (kept.back() - '0') % 2 == 1;   // a half: to even
        if (up) {
            if (kept.empty())
                kept = "0";
            Increment(kept);
        }
    }
    if (kept.empty())
        return 0;
    // kept x 10^(e + 1 - keep), read back as the nearest number.
    char buf[48];
    std::snprintf(buf, sizeof buf, "e%lld", static_cast<long long>(e + 1 - keep));
    long double r = std::strtold((kept + buf).c_str(), nullptr);
    return x < 0 ? -r : r;
}

}   // namespace

long double TruncToPlaces(long double x, int32_t places)
{
    return DecimalToPlaces(x, places, false);
}

long double RoundToPlaces(long double x, int32_t places)
{
    return DecimalToPlaces(x, places, true);
}

std::string HexOf(int32_t v)
{
    char b[16];
    std::snprintf(b, sizeof b, "%02X", static_cast<uint32_t>(v));
    return b;
}

std::string FracText(std::string_view text)
{
    std::string h = ToHalfWidth(text);
    size_t dot = sjistext::FindAtCharStart(h, ".");
    if (dot == std::string::npos)
        return std::string();
    return "0" + h.substr(dot);
}

std::string FormatFixed(long double v, int decimals, bool group)
{
    if (std::isnan(v))
        return "NAN";
    if (std::isinf(v))
        return v < 0 ? "-INF" : "INF";
    if (decimals < 0)
        decimals = 0;
    std::string intPart = "0", frac(decimals, '0');
    if (v != 0) {
        std::string d;
        int e;
        DecimalDigits(v, d, e);
        int intDigits = e + 1;
        int keep = intDigits + decimals;
        if (keep >= 0) {
            std::string kept;
            if (keep < static_cast<int>(d.size())) {
                kept = d.substr(0, keep);
                if (d[keep] >= '5' && Increment(kept))
                    ++intDigits;
            } else {
                kept = d + std::string(keep - d.size(), '0');
            }
            if (intDigits > 0) {
                intPart = kept.substr(0, intDigits);
                frac = kept.substr(intDigits);
            } else {
                frac = std::string(-intDigits, '0') + kept;
            }
        }
    }
    if (group)
        Group(intPart);
    bool zero =
        intPart.find_first_not_of("0,") == std::string::npos && frac.find_first_not_of('0') == std::string::npos;
    std::string out = (v < 0 && !zero) ? "-" : "";
    out += intPart;
    if (decimals > 0)
        out += "." + frac;
    return out;
}

bool FormatCurrency(long double v, bool withDecimals, std::string& out)
{
    if (!(fabsl(v * 10000) < kTwo63))
        return false;
    // The value at four decimals (halves to even, on its decimal digits), then
    // counted in units of 1/10000.
    int64_t units = llrintl(RoundToPlaces(v, 4) * 10000);
    int64_t div = withDecimals ? 100 : 10000;
    int64_t q = units / div, r = units % div;
    if (r * 2 >= div)
        ++q;
    else if (-r * 2 >= div)
        --q;
    bool neg = q < 0;
    uint64_t mag = neg ? 0 - static_cast<uint64_t>(q) : static_cast<uint64_t>(q);
    std::string digits;
    if (withDecimals) {
        digits = std::to_string(mag / 100);
        Group(digits);
        char b[8];
        std::snprintf(b, sizeof b, ".%02u", static_cast<unsigned>(mag % 100));
        digits += b;
    } else {
        digits = std::to_string(mag);
        Group(digits);
    }
    out = (neg ? "-" : "") + digits;
    return true;
}

namespace {

// One %-conversion of a format: [index:][-][width][.precision]type.
struct TConversion {
    int Index = 0;
    bool Left = false;
    int Width = 0;
    int Precision = -1;   // -1 when not written
    char Type = 0;        // folded to lower case
};

// Reads the conversion after a "%" at format[i], i then standing after its type letter.
// False when the format ends first or the conversion names an index other than 0.
bool ReadConversion(std::string_view format, size_t& i, int nextIndex, TConversion& c)
{
    auto readNumber = [&](int& v) {
        size_t start = i;
        v = 0;
        while (i < format.size() && format[i] >= '0' && format[i] <= '9' && v < 100000)
            v = v * 10 + (format[i++] - '0');
        return i > start;
    };
    c.Index = nextIndex;
    int n = 0;
    size_t mark = i;
    if (readNumber(n) && i < format.size() && format[i] == ':') {
        c.Index = n;
        ++i;
    } else {
        i = mark;
    }
    if (i < format.size() && format[i] == '-')
        c.Left = true, ++i;
    readNumber(c.Width);
    if (i < format.size() && format[i] == '.') {
        ++i;
        if (!readNumber(c.Precision))
            c.Precision = 0;
    }
    if (i >= format.size() || c.Index != 0)
        return false;
    c.Type = format[i++];
    if (c.Type >= 'A' && c.Type <= 'Z')
        c.Type = static_cast<char>(c.Type + 32);
    return true;
}

// d u x: the whole number, zero-padded to the precision.
std::string WholePiece(char type, int precision, int64_t whole)
{
    std::string piece;
    bool neg = false;
    if (type == 'd') {
        neg = whole < 0;
        piece = std::to_string(neg ? 0 - static_cast<uint64_t>(whole) : static_cast<uint64_t>(whole));
    } else if (type == 'u') {
        piece = std::to_string(static_cast<uint64_t>(whole));
    } else {
        char b[24];
        std::snprintf(b, sizeof b, "%llX", static_cast<unsigned long long>(whole));
        piece = b;
    }
    if (precision > static_cast<int>(piece.size()))
        piece.insert(0, precision - piece.size(), '0');
    if (neg)
        piece.insert(0, "-");
    return piece;
}

// e f g n m: the real number.
std::string RealPiece(char type, int precision, long double real)
{
    if (!std::isfinite(real))
        return General(real, 15);
    if (type == 'e')
        return Scientific(real, precision < 1 ? 15 : (precision > 18 ? 18 : precision));
    if (type == 'g')
        return General(real, precision < 1 ? 15 : (precision > 18 ? 18 : precision));
    if (type == 'f')
        return FormatFixed(real, precision < 0 ? 2 : precision, false);
    if (type == 'n')
        return FormatFixed(real, precision < 0 ? 2 : precision, true);
    // money: the yen sign (byte 5C) in front, no decimals unless asked
    std::string piece = FormatFixed(real, precision < 0 ? 0 : precision, true);
    if (!piece.empty() && piece[0] == '-')
        piece.insert(1, "\\");
    else
        piece.insert(0, "\\");
    return piece;
}

// s: the text, cut to at most `precision` bytes of whole characters.
std::string TextPiece(int precision, std::string_view value)
{
    std::string piece(value);
    if (precision >= 0 && precision < static_cast<int>(piece.size())) {
        size_t cut = 0;
        while (cut < piece.size() && cut + CharLenAt(piece, cut) <= static_cast<size_t>(precision))
            cut += CharLenAt(piece, cut);
        piece.resize(cut);
    }
    return piece;
}

}   // namespace

// The value takes its form from the letters of the whole format: a real number
// when it holds "f" or "m", else a whole number (truncated to 64 bits) when it
// holds "d", else the text itself. Each conversion then needs a value of its own
// kind: d u x a whole number, e f g n m a real one, s the text. There is one value,
// so only index 0 exists.
bool FormatWithSpec(std::string_view format, std::string_view value, std::string& out)
{
    ValueKind kind = ValueKind::Text;
    auto holds = [&](const char* letter) { return sjistext::FindAtCharStart(format, letter) != sjistext::npos; };
    if (holds("f") || holds("m"))
        kind = ValueKind::Real;
    else if (holds("d"))
        kind = ValueKind::Whole;
    long double real = 0;
    int64_t whole = 0;
    if (kind == ValueKind::Real)
        real = ToNumber(value);
    if (kind == ValueKind::Whole && !TruncToInt64(ToNumber(value), whole))
        return false;

    out.clear();
    int nextIndex = 0;
    for (size_t i = 0; i < format.size();) {
        size_t len = CharLenAt(format, i);
        if (len == 2 || format[i] != '%') {
            out.append(format.substr(i, len));
            i += len;
            continue;
        }
        ++i;
        if (i < format.size() && format[i] == '%') {
            out += '%';
            ++i;
            continue;
        }
        TConversion c;
        if (!ReadConversion(format, i, nextIndex, c))
            return false;
        nextIndex = c.Index + 1;
        std::string piece;
        switch (c.Type) {
        case 'd':
        case 'u':
        case 'x':
            if (kind != ValueKind::Whole)
                return false;
            piece = WholePiece(c.Type, c.Precision, whole);
            break;
        case 'e':
        case 'f':
        case 'g':
        case 'n':
        case 'm':
            if (kind != ValueKind::Real)
                return false;
            piece = RealPiece(c.Type, c.Precision, real);
            break;
        case 's':
            if (kind != ValueKind::Text)
                return false;
            piece = TextPiece(c.Precision, value);
            break;
        default:
            return false;
        }
        if (c.Width > static_cast<int>(piece.size())) {
            if (c.Left)
                piece.append(c.Width - piece.size(), ' ');
            else
                piece.insert(0, c.Width - piece.size(), ' ');
        }
        out += piece;
    }
    return true;
}

}   // namespace numfmt
