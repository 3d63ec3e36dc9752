// Checked Shift_JIS (CP932) <-> UTF-8 conversion.
//
// The static mapping is taken from iconv ("CP932") once per process and kept in two
// tables: CP932 code -> code point, and code point -> CP932 code. A code point enters
// the reverse table only when it converts to a CP932 code that converts back to the
// same code point, so every one-way mapping of iconv (U+00A5 -> 0x5C, U+301C ->
// 0x8160, ...) is left out. Conversions are then table look-ups without iconv calls.
//
// Whatever the tables cannot carry gets a per-process code, remembered in both
// directions so that it survives a round trip within the process:
// - a code point without a CP932 code, or an invalid UTF-8 byte, gets a code from the
//   CP932 user-defined area (0xF040-0xF9FC), allocated from 0xF9FC downward;
// - an invalid Shift_JIS sequence gets a private-use code point, allocated from
//   U+F8FF downward (below the range U+E000-U+E757 that the user-defined area itself
//   maps to).
#include "core/codec.h"

#include <iconv.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "core/error.h"
#include "core/sjis.h"

namespace {

constexpr uint32_t kNone = 0xFFFFFFFF;
constexpr uint32_t kInvalidByteBase = 0x110000;   // key of an invalid UTF-8 byte b: base + b
constexpr uint16_t kUserAreaFirst = 0xF040;
constexpr uint16_t kUserAreaLast = 0xF9FC;
constexpr uint32_t kUserAreaPuaFirst = 0xE000;   // what iconv maps 0xF040 to
constexpr uint32_t kPrivateLast = 0xF8FF;        // codes for invalid Shift_JIS, downward
constexpr uint32_t kPrivateFirst = 0xE758;

bool IsTrailByte(unsigned char c)
{
    return c >= 0x40 && c <= 0xFC && c != 0x7F;
}

bool InUserArea(uint16_t code)
{
    return code >= kUserAreaFirst && code <= kUserAreaLast && IsTrailByte(code & 0xFF);
}

// One iconv descriptor per thread and direction; only the table builder uses them.
struct TIconv {
    iconv_t cd;
    TIconv(const char* to, const char* from) : cd(iconv_open(to, from)) {}
    ~TIconv()
    {
        if (cd != reinterpret_cast<iconv_t>(-1))
            iconv_close(cd);
    }
    bool Ok() const { return cd != reinterpret_cast<iconv_t>(-1); }
    // Converts the whole input; false when iconv rejects any of it.
    bool Convert(const char* in, size_t inLen, char* out, size_t outCap, size_t& outLen)
    {
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        char* ip = const_cast<char*>(in);
        char* op = out;
        size_t il = inLen, ol = outCap;
        if (iconv(cd, &ip, &il, &op, &ol) == static_cast<size_t>(-1) || il != 0)
            return false;
        outLen = outCap - ol;
        return true;
    }
};

TIconv& ToUnicode()
{
    thread_local TIconv cv("UTF-32LE", "CP932");
    return cv;
}

TIconv& FromUnicode()
{
    thread_local TIconv cv("CP932", "UTF-32LE");
    return cv;
}

bool IconvToCodePoint(const char* bytes, size_t len, uint32_t& cp)
{
    unsigned char out[16];
    size_t outLen = 0;
    if (!ToUnicode().Convert(bytes, len, reinterpret_cast<char*>(out), sizeof out, outLen) || outLen != 4)
        return false;
    cp = out[0] | (out[1] << 8) | (out[2] << 16) | (uint32_t(out[3]) << 24);
    return true;
}

bool IconvToSjis(uint32_t cp, uint16_t& code)
{
    unsigned char in[4] = {static_cast<unsigned char>(cp), static_cast<unsigned char>(cp >> 8),
                           static_cast<unsigned char>(cp >> 16), static_cast<unsigned char>(cp >> 24)};
    unsigned char out[8];
    size_t outLen = 0;
    if (!FromUnicode().Convert(reinterpret_cast<char*>(in), 4, reinterpret_cast<char*>(out), sizeof out, outLen))
        return false;
    if (outLen == 1)
        code = out[0];
    else if (outLen == 2)
        code = static_cast<uint16_t>((out[0] << 8) | out[1]);
    else
        return false;
    return true;
}

struct TTables {
    // CP932 code (a single byte b as b, a pair as lead << 8 | trail) -> code point.
    std::vector<uint32_t> toUnicode = std::vector<uint32_t>(0x10000, kNone);
    // BMP code point -> CP932 code; 0xFFFF = none (no CP932 code is 0xFFFF).
    std::vector<uint16_t> toSjis = std::vector<uint16_t>(0x10000, 0xFFFF);

    TTables()
    {
        if (!ToUnicode().Ok() || !FromUnicode().Ok()) {
            // Without the CP932 converter only ASCII can be carried.
            for (uint32_t c = 0; c < 0x80; ++c) {
                toUnicode[c] = c;
                toSjis[c] = static_cast<uint16_t>(c);
            }
            std::fputs("iconv: CP932 is not available; only ASCII is converted\n", stderr);
            return;
        }
        for (uint32_t b = 0; b < 0x100; ++b) {
            if (IsLeadByte(static_cast<unsigned char>(b)))
                continue;
            char c = static_cast<char>(b);
            uint32_t cp;
            if (b < 0x80)
                toUnicode[b] = b;
            else if (IconvToCodePoint(&c, 1, cp))
                toUnicode[b] = cp;
        }
        for (uint32_t lead = 0x81; lead <= 0xFC; ++lead) {
            if (!IsLeadByte(static_cast<unsigned char>(lead)))
                continue;
            for (uint32_t trail = 0x40; trail <= 0xFC; ++trail) {
                if (!IsTrailByte(static_cast<unsigned char>(trail)))
                    continue;
                char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
                uint32_t cp;
                if (IconvToCodePoint(pair, 2, cp))
                    toUnicode[(lead << 8) | trail] = cp;
            }
        }
        // The reverse direction: iconv's own choice for every code point that the
        // forward table produces, kept only when it converts back unchanged.
        for (uint32_t code = 0; code < 0x10000; ++code) {
            uint32_t cp = toUnicode[code];
            if (cp == kNone || cp >= 0x10000 || toSjis[cp] != 0xFFFF)
                continue;
            uint16_t back;
            if (cp < 0x80)
                toSjis[cp] = static_cast<uint16_t>(cp);
            else if (IconvToSjis(cp, back) && toUnicode[back] == cp)
                toSjis[cp] = back;
        }
    }
};

const TTables& Tables()
{
    static const TTables tables;
    return tables;
}

// The per-process codes.
struct TDynamic {
    std::mutex lock;
    std::atomic<bool> any{false};
    // UTF-8 side key (a code point, or kInvalidByteBase + byte) <-> user-area code.
    std::unordered_map<uint32_t, uint16_t> sjisOf;
    std::unordered_map<uint16_t, uint32_t> keyOfSjis;
    uint16_t nextSjis = kUserAreaLast;
    bool sjisExhausted = false;
    // Invalid Shift_JIS sequence (1 or 2 bytes as a code) <-> private-use code point.
    std::unordered_map<uint16_t, uint32_t> puaOfBytes;
    std::unordered_map<uint32_t, uint16_t> bytesOfPua;
    uint32_t nextPua = kPrivateLast;
    bool puaExhausted = false;
};

TDynamic& Dynamic()
{
    static TDynamic d;
    return d;
}

void WarnExhausted(const char* what)
{
    // Shown once per table; the converted character becomes "?" or U+FFFD. The
    // message is already UTF-8.
    std::fputs(what, stderr);
    std::fputc('\n', stderr);
}

// User-area code for a UTF-8 side key; 0 when the area is used up.
uint16_t AllocateSjis(uint32_t key)
{
    TDynamic& d = Dynamic();
    {
        std::lock_guard<std::mutex> g(d.lock);
        auto it = d.sjisOf.find(key);
        if (it != d.sjisOf.end())
            return it->second;
        while (d.nextSjis >= kUserAreaFirst && !InUserArea(d.nextSjis))
            --d.nextSjis;
        if (d.nextSjis >= kUserAreaFirst) {
            uint16_t code = d.nextSjis--;
            d.sjisOf.emplace(key, code);
            d.keyOfSjis.emplace(code, key);
            d.any.store(true, std::memory_order_release);
            return code;
        }
        if (d.sjisExhausted)
            return 0;
        d.sjisExhausted = true;
    }
    // Outside the lock: the conversion of the message looks at the tables again.
    const std::string warning =
        SeverityMark(TSeverity::Warning) + std::string("変換できない文字が多すぎるため、以降は「?」に置き換えます。");
    WarnExhausted(SjisToUtf8(warning).c_str());
    return 0;
}

uint32_t AllocatePua(uint16_t bytes)
{
    TDynamic& d = Dynamic();
    {
        std::lock_guard<std::mutex> g(d.lock);
        auto it = d.puaOfBytes.find(bytes);
        if (it != d.puaOfBytes.end())
            return it->second;
        // A private-use code point that already stands for a file-name character
        // keeps its meaning: skip it.
        while (d.nextPua >= kPrivateFirst && d.sjisOf.count(d.nextPua))
            --d.nextPua;
        if (d.nextPua >= kPrivateFirst) {
            uint32_t cp = d.nextPua--;
            d.puaOfBytes.emplace(bytes, cp);
            d.bytesOfPua.emplace(cp, bytes);
            d.any.store(true, std::memory_order_release);
            return cp;
        }
        if (d.puaExhausted)
            return 0xFFFD;
        d.puaExhausted = true;
    }
    const std::string warning = SeverityMark(TSeverity::Warning) +
                                std::string("不正な文字コードが多すぎるため、以降は置換文字に置き換えます。");
    WarnExhausted(SjisToUtf8(warning).c_str());
    return 0xFFFD;
}

bool LookupKeyOfSjis(uint16_t code, uint32_t& key)
{
    TDynamic& d = Dynamic();
    if (!d.any.load(std::memory_order_acquire))
        return false;
    std::lock_guard<std::mutex> g(d.lock);
    auto it = d.keyOfSjis.find(code);
    if (it == d.keyOfSjis.end())
        return false;
    key = it->second;
    return true;
}

bool LookupBytesOfPua(uint32_t cp, uint16_t& bytes)
{
    TDynamic& d = Dynamic();
    if (!d.any.load(std::memory_order_acquire))
        return false;
    std::lock_guard<std::mutex> g(d.lock);
    auto it = d.bytesOfPua.find(cp);
    if (it == d.bytesOfPua.end())
        return false;
    bytes = it->second;
    return true;
}

bool LookupSjisOfKey(uint32_t key, uint16_t& code)
{
    TDynamic& d = Dynamic();
    if (!d.any.load(std::memory_order_acquire))
        return false;
    std::lock_guard<std::mutex> g(d.lock);
    auto it = d.sjisOf.find(key);
    if (it == d.sjisOf.end())
        return false;
    code = it->second;
    return true;
}

void AppendUtf8(std::string& out, uint32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

void AppendSjis(std::string& out, uint16_t code)
{
    if (code > 0xFF)
        out += static_cast<char>(code >> 8);
    out += static_cast<char>(code & 0xFF);
}

// Appends what a UTF-8 side key stands for: a code point, or the invalid byte itself.
void AppendKey(std::string& out, uint32_t key)
{
    if (key >= kInvalidByteBase)
        out += static_cast<char>(key - kInvalidByteBase);
    else
        AppendUtf8(out, key);
}

// Decodes one strict UTF-8 sequence at s[i]; returns its length, 0 when s[i] starts
// no valid sequence (overlong forms, surrogates and values above U+10FFFF are invalid).
size_t DecodeUtf8(std::string_view s, size_t i, uint32_t& cp)
{
    unsigned char c = static_cast<unsigned char>(s[i]);
    size_t len;
    uint32_t min;
    if (c < 0x80) {
        cp = c;
        return 1;
    } else if (c >= 0xC2 && c <= 0xDF) {
        len = 2, cp = c & 0x1F, min = 0x80;
    } else if (c >= 0xE0 && c <= 0xEF) {
        len = 3, cp = c & 0x0F, min = 0x800;
    } else if (c >= 0xF0 && c <= 0xF4) {
        len = 4, cp = c & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (i + len > s.size())
        return 0;
    for (size_t k = 1; k < len; ++k) {
        unsigned char t = static_cast<unsigned char>(s[i + k]);
        if ((t & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (t & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return len;
}

}   // namespace

std::string SjisToUtf8(std::string_view sjis)
{
    const TTables& t = Tables();
    std::string out;
    out.reserve(sjis.size() + sjis.size() / 2);
    size_t i = 0, n = sjis.size();
    while (i < n) {
        unsigned char c = static_cast<unsigned char>(sjis[i]);
        if (c < 0x80) {
            out += static_cast<char>(c);
            ++i;
            continue;
        }
        uint16_t code;
        size_t len;
        if (IsLeadByte(c) && i + 1 < n && IsTrailByte(static_cast<unsigned char>(sjis[i + 1]))) {
            code = static_cast<uint16_t>((c << 8) | static_cast<unsigned char>(sjis[i + 1]));
            len = 2;
        } else {
            code = c;   // a single byte, or a lead byte without a usable trail byte
            len = 1;
        }
        i += len;
        uint32_t key;
        if (len == 2 && InUserArea(code) && LookupKeyOfSjis(code, key)) {
            AppendKey(out, key);
            continue;
        }
        uint32_t cp = t.toUnicode[code];
        if (cp == kNone)
            cp = AllocatePua(code);
        AppendUtf8(out, cp);
    }
    return out;
}

static uint16_t JisFormOf(uint32_t cp);

// With jisForms, a character without a CP932 code of its own that is the JIS form of
// one (WAVE DASH, ...) takes that code instead of a per-process one.
static std::string Utf8ToSjisWith(std::string_view utf8, bool jisForms)
{
    const TTables& t = Tables();
    std::string out;
    out.reserve(utf8.size());
    size_t i = 0, n = utf8.size();
    while (i < n) {
        unsigned char c = static_cast<unsigned char>(utf8[i]);
        if (c < 0x80) {
            out += static_cast<char>(c);
            ++i;
            continue;
        }
        uint32_t cp;
        size_t len = DecodeUtf8(utf8, i, cp);
        uint32_t key;
        if (len == 0) {
            key = kInvalidByteBase + c;
            len = 1;
        } else {
            key = cp;
            uint16_t code = cp < 0x10000 ? t.toSjis[cp] : 0xFFFF;
            // A user-area code taken over by a per-process character no longer
            // stands for its own private-use code point.
            uint32_t owner;
            if (code != 0xFFFF && !(InUserArea(code) && LookupKeyOfSjis(code, owner) && owner != cp)) {
                AppendSjis(out, code);
                i += len;
                continue;
            }
            if (jisForms && code == 0xFFFF && (code = JisFormOf(cp)) != 0xFFFF) {
                AppendSjis(out, code);
                i += len;
                continue;
            }
            uint16_t bytes;
            if (LookupBytesOfPua(cp, bytes)) {
                AppendSjis(out, bytes);
                i += len;
                continue;
            }
        }
        i += len;
        uint16_t code;
        if (!LookupSjisOfKey(key, code))
            code = AllocateSjis(key);
        if (code == 0)
            out += '?';
        else
            AppendSjis(out, code);
    }
    return out;
}

std::string Utf8ToSjis(std::string_view utf8)
{
    return Utf8ToSjisWith(utf8, false);
}

std::string ToNativePath(std::string_view sjisPath)
{
    std::string_view p = sjisPath;
    // "X:" followed by a separator: the drive means nothing here.
    if (p.size() >= 3 && ((p[0] >= 'A' && p[0] <= 'Z') || (p[0] >= 'a' && p[0] <= 'z')) && p[1] == ':' &&
        (p[2] == '\\' || p[2] == '/'))
        p.remove_prefix(2);
    std::string sep;
    sep.reserve(p.size());
    for (size_t i = 0; i < p.size();) {
        unsigned char c = static_cast<unsigned char>(p[i]);
        if (IsLeadByte(c) && i + 1 < p.size()) {
            sep.append(p.substr(i, 2));   // its second byte is never a separator
            i += 2;
        } else {
            sep += c == '\\' ? '/' : static_cast<char>(c);
            ++i;
        }
    }
    return SjisToUtf8(sep);
}

std::string FromNativePath(std::string_view utf8Path)
{
    return Utf8ToSjis(utf8Path);
}

std::string ScriptBytesToSjis(std::string bytes)
{
    if (bytes.size() >= 3 && static_cast<unsigned char>(bytes[0]) == 0xEF &&
        static_cast<unsigned char>(bytes[1]) == 0xBB && static_cast<unsigned char>(bytes[2]) == 0xBF)
        return Utf8ToSjis(std::string_view(bytes).substr(3));
    return bytes;
}

size_t DecodeUtf8At(std::string_view utf8, size_t at, uint32_t& codePoint)
{
    return at < utf8.size() ? DecodeUtf8(utf8, at, codePoint) : 0;
}

TUtf8Kind ClassifyUtf8(std::string_view bytes)
{
    TUtf8Kind kind = TUtf8Kind::Ascii;
    for (size_t i = 0; i < bytes.size();) {
        if (static_cast<unsigned char>(bytes[i]) < 0x80) {
            ++i;
            continue;
        }
        uint32_t cp;
        const size_t len = DecodeUtf8(bytes, i, cp);
        if (len == 0)
            return TUtf8Kind::Invalid;
        kind = TUtf8Kind::MultiByte;
        i += len;
    }
    return kind;
}

// Characters that text written on Linux carries in the JIS form of a Shift_JIS
// character whose CP932 form is another code point (WAVE DASH for FULLWIDTH TILDE,
// MINUS SIGN for FULLWIDTH HYPHEN-MINUS, ...): the same character of JIS X 0208.
// YEN SIGN and OVERLINE are left out: they would become "\" and "~".
static uint16_t JisFormOf(uint32_t cp)
{
    switch (cp) {
    case 0x00A2:
        return 0x8191;
    case 0x00A3:
        return 0x8192;
    case 0x00AC:
        return 0x81CA;
    case 0x2014:
        return 0x815C;
    case 0x2016:
        return 0x8161;
    case 0x2212:
        return 0x817C;
    case 0x301C:
        return 0x8160;
    default:
        return 0xFFFF;
    }
}

size_t Utf8ToSjisStrict(std::string_view utf8, std::string& out)
{
    const TTables& t = Tables();
    out.clear();
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();) {
        unsigned char c = static_cast<unsigned char>(utf8[i]);
        if (c < 0x80) {
            out += static_cast<char>(c);
            ++i;
            continue;
        }
        uint32_t cp;
        const size_t len = DecodeUtf8(utf8, i, cp);
        uint16_t code = len != 0 && cp < 0x10000 ? t.toSjis[cp] : 0xFFFF;
        if (code == 0xFFFF && len != 0)
            code = JisFormOf(cp);
        if (code == 0xFFFF)
            return i;
        AppendSjis(out, code);
        i += len;
    }
    return std::string::npos;
}

// ---- text files -----------------------------------------------------------------

std::string CodePointToUtf8(uint32_t codePoint)
{
    std::string out;
    AppendUtf8(out, codePoint);
    return out;
}

bool HasUtf8Bom(std::string_view bytes)
{
    return bytes.substr(0, 3) == kUtf8Bom;
}

bool IsUtf8Text(std::string_view bytes, bool head)
{
    if (HasUtf8Bom(bytes))
        return true;
    bool multiByte = false;
    for (size_t i = 0; i < bytes.size();) {
        if (static_cast<unsigned char>(bytes[i]) < 0x80) {
            ++i;
            continue;
        }
        uint32_t cp;
        const size_t len = DecodeUtf8(bytes, i, cp);
        if (len == 0)
            return head && bytes.size() - i < 4 && multiByte;   // cut off, or no UTF-8
        multiByte = true;
        i += len;
    }
    return multiByte;
}

std::string Utf8TextToSjis(std::string_view utf8)
{
    return Utf8ToSjisWith(utf8, true);
}

std::string TextFileToSjis(std::string_view bytes)
{
    if (!IsUtf8Text(bytes))
        return std::string(bytes);
    return Utf8TextToSjis(HasUtf8Bom(bytes) ? bytes.substr(3) : bytes);
}

namespace {

std::string NumericReference(uint32_t cp)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "&#x%X;", static_cast<unsigned>(cp));
    return buf;
}

// One character of a value: ASCII, a byte pair or a lone byte, as a code.
size_t NextSjisChar(std::string_view s, size_t i, uint16_t& code)
{
    const auto c = static_cast<unsigned char>(s[i]);
    if (c >= 0x80 && IsLeadByte(c) && i + 1 < s.size() && IsTrailByte(static_cast<unsigned char>(s[i + 1]))) {
        code = static_cast<uint16_t>((c << 8) | static_cast<unsigned char>(s[i + 1]));
        return 2;
    }
    code = c;
    return 1;
}

}   // namespace

std::string SjisToTextFile(std::string_view sjis, TTextEncoding encoding, TLineEnd lineEnd,
                           std::vector<TLostChar>* lost)
{
    const TTables& t = Tables();
    const bool utf8 = encoding != TTextEncoding::Sjis;
    auto lose = [&](uint32_t cp, const std::string& writtenAs) {
        if (lost)
            lost->push_back({cp, writtenAs});
    };
    std::string out;
    out.reserve(sjis.size() + (utf8 ? sjis.size() / 2 : 0));
    for (size_t i = 0; i < sjis.size();) {
        if (lineEnd == TLineEnd::Lf && sjis[i] == '\r' && i + 1 < sjis.size() && sjis[i + 1] == '\n') {
            out += '\n';
            i += 2;
            continue;
        }
        uint16_t code;
        const size_t len = NextSjisChar(sjis, i, code);
        const std::string_view bytes = sjis.substr(i, len);
        i += len;
        if (code < 0x80) {
            out += static_cast<char>(code);
            continue;
        }
        uint32_t key;
        const bool perProcess = len == 2 && InUserArea(code) && LookupKeyOfSjis(code, key);
        if (!utf8) {
            if (!perProcess) {
                out.append(bytes);
                continue;
            }
            const uint16_t jis = key < kInvalidByteBase ? JisFormOf(key) : 0xFFFF;
            if (jis != 0xFFFF) {
                AppendSjis(out, jis);
                continue;
            }
            const uint32_t cp = key < kInvalidByteBase ? key : 0xFFFD;
            const std::string ref = NumericReference(cp);
            out += ref;
            lose(cp, ref);
            continue;
        }
        uint32_t cp = perProcess ? key : t.toUnicode[code];
        if (cp == kNone || cp >= kInvalidByteBase) {
            cp = 0xFFFD;
            lose(cp, "\xEF\xBF\xBD");
        }
        AppendUtf8(out, cp);
    }
    return out;
}
