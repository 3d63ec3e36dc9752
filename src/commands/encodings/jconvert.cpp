// Japanese character codes (see jconvert.h).
#include "commands/encodings/jconvert.h"

#include <cstdint>

#include "commands/encodings/base64.h"
#include "core/sjis.h"

namespace {

using u8 = unsigned char;

const char kKanjiIn[] = "\x1B$B";
const char kKanjiOut[] = "\x1B(J";

// Full-width Shift_JIS codes of the half-width katakana 0xA1..0xDF.
const uint16_t kKanaFull[63] = {
    0x8142, 0x8175, 0x8176, 0x8141, 0x8145, 0x8392, 0x8340, 0x8342, 0x8344, 0x8346, 0x8348, 0x8383, 0x8385,
    0x8387, 0x8362, 0x815B, 0x8341, 0x8343, 0x8345, 0x8347, 0x8349, 0x834A, 0x834C, 0x834E, 0x8350, 0x8352,
    0x8354, 0x8356, 0x8358, 0x835A, 0x835C, 0x835E, 0x8360, 0x8363, 0x8365, 0x8367, 0x8369, 0x836A, 0x836B,
    0x836C, 0x836D, 0x836E, 0x8371, 0x8374, 0x8377, 0x837A, 0x837D, 0x837E, 0x8380, 0x8381, 0x8382, 0x8384,
    0x8386, 0x8388, 0x8389, 0x838A, 0x838B, 0x838C, 0x838D, 0x838F, 0x8393, 0x814A, 0x814B,
};

bool IsKana(u8 c)
{
    return c >= 0xA1 && c <= 0xDF;
}

void SjisPairToJis(u8& c1, u8& c2)
{
    const int adjust = c2 < 159;
    const int rowOffset = c1 < 160 ? 112 : 176;
    const int cellOffset = adjust ? (c2 > 127 ? 32 : 31) : 126;
    c1 = static_cast<u8>(((c1 - rowOffset) << 1) - adjust);
    c2 = static_cast<u8>(c2 - cellOffset);
}

void JisPairToSjis(u8& c1, u8& c2)
{
    const int rowOffset = c1 < 95 ? 112 : 176;
    const int cellOffset = (c1 % 2) ? (c2 > 95 ? 32 : 31) : 126;
    c1 = static_cast<u8>(((c1 + 1) >> 1) + rowOffset);
    c2 = static_cast<u8>(c2 + cellOffset);
}

// The full-width Shift_JIS code of the half-width kana at p (advancing past a
// voiced or semi-voiced mark that merges with it). `next` is the byte after the
// kana, or -1 when there is none.
uint16_t KanaToFull(u8 kana, int next, bool& mergedMark)
{
    uint16_t code = kKanaFull[kana - 0xA1];
    mergedMark = false;
    if (next == 0xDE) {   // voiced mark
        if ((kana >= 0xB6 && kana <= 0xC4) || (kana >= 0xCA && kana <= 0xCE)) {
            ++code;
            mergedMark = true;
        } else if (kana == 0xB3) {   // ｳﾞ
            code = 0x8394;
            mergedMark = true;
        }
    } else if (next == 0xDF && kana >= 0xCA && kana <= 0xCE) {   // semi-voiced mark
        code += 2;
        mergedMark = true;
    }
    return code;
}

void AppendSjisAsJis(std::string& out, uint16_t code)
{
    u8 c1 = static_cast<u8>(code >> 8), c2 = static_cast<u8>(code & 0xFF);
    SjisPairToJis(c1, c2);
    out += static_cast<char>(c1);
    out += static_cast<char>(c2);
}

// Kanji-mode framing shared by the two writers of JIS text.
struct TJisWriter {
    std::string out;
    bool kanji = false;
    void Kanji()
    {
        if (!kanji) {
            out += kKanjiIn;
            kanji = true;
        }
    }
    void Single(char c)
    {
        if (kanji) {
            out += kKanjiOut;
            kanji = false;
        }
        out += c;
    }
    std::string Finish()
    {
        if (kanji)
            out += kKanjiOut;
        return std::move(out);
    }
};

// Walks a JIS text: escape sequences (three bytes) switch modes; calls `kanji`
// for each byte pair or byte in kanji mode and `ascii` otherwise.
template <class KanjiFn, class AsciiFn> void WalkJis(std::string_view t, KanjiFn kanji, AsciiFn ascii)
{
    bool inKanji = false;
    size_t i = 0;
    while (i < t.size()) {
        const u8 c = static_cast<u8>(t[i]);
        if (c == 0x1B) {
            if (i + 1 < t.size()) {
                if (t[i + 1] == '$')
                    inKanji = true;
                else if (t[i + 1] == '(')
                    inKanji = false;
            }
            i += 3;
            continue;
        }
        if (inKanji)
            i += kanji(t, i);
        else {
            ascii(static_cast<char>(c));
            ++i;
        }
    }
}

}   // namespace

int DetectCode(std::string_view text)
{
    const size_t n = text.size();
    if (n == 0)
        return kCodeUnknown;
    const size_t last = n - 1;   // the last byte is never examined
    auto at = [&](size_t i) -> u8 { return static_cast<u8>(text[i]); };
    for (size_t i = 0; i < last && i < 512; ++i)
        if (at(i) < 0x08 || at(i) == 0xFF)
            return kCodeBinary;
    int v = kCodeUnknown;
    size_t i = 0;
    while (i < last && (v == kCodeUnknown || v == kCodeEucOrSjis)) {
        const u8 c = at(i);
        const u8 d = at(i + 1);   // exists: i < last
        if (c < 0x08 || c == 0xFF) {
            v = kCodeBinary;
        } else if (c == 0x1B) {
            if (d == '$') {
                if (i + 2 < n) {
                    if (at(i + 2) == 'B')
                        v = kCodeJis;
                    else if (at(i + 2) == '@')
                        v = kCodeJisOld;
                }
                i += 3;
            } else {
                i += 2;
            }
            continue;
        } else if ((c >= 0x81 && c <= 0x8D) || (c >= 0x8F && c <= 0x9F)) {
            v = kCodeSjis;
        } else if (c == 0x8E) {
            if ((d >= 0x40 && d <= 0x7E) || (d >= 0x80 && d <= 0xA0) || (d >= 0xE0 && d <= 0xFC))
                v = kCodeSjis;
            else if (d >= 0xA1 && d <= 0xDF)
                v = kCodeEucOrSjis;
            i += 2;
            continue;
        } else if (c >= 0xF0 && c <= 0xFE) {
            v = kCodeEuc;
        } else if (c >= 0xE0 && c <= 0xEF) {
            if ((d >= 0x40 && d <= 0x7E) || (d >= 0x80 && d <= 0xA0))
                v = kCodeSjis;
            else if (d == 0xFD || d == 0xFE)
                v = kCodeEuc;
            else if (d >= 0xA1 && d <= 0xFC)
                v = kCodeEucOrSjis;
            i += 2;
            continue;
        } else if (c >= 0xA1 && c <= 0xDF) {
            if (d >= 0xF0 && d <= 0xFE) {
                v = kCodeEuc;
            } else if (d >= 0xA1 && d <= 0xDF) {
                v = kCodeEucOrSjis;
            } else if (d >= 0xE0 && d <= 0xEF) {
                v = kCodeEucOrSjis;
                i += 2;
                while (i < last && at(i) >= 0x40 && v == kCodeEucOrSjis) {
                    const u8 e = at(i);
                    if ((e >= 0x81 && e <= 0x8D) || (e >= 0x8F && e <= 0x9C))
                        v = kCodeSjis;
                    else if (e == 0xFD || e == 0xFE)
                        v = kCodeEuc;
                    ++i;
                }
                continue;
            } else if (d < 0xA0) {
                v = kCodeSjis;
            }
            i += 2;
            continue;
        }
        ++i;
    }
    return v;
}

std::string SjisToJis(std::string_view t)
{
    TJisWriter w;
    for (size_t i = 0; i < t.size();) {
        const u8 c = static_cast<u8>(t[i]);
        if (IsLeadByte(c) && i + 1 < t.size()) {
            w.Kanji();
            AppendSjisAsJis(w.out, static_cast<uint16_t>(c << 8 | static_cast<u8>(t[i + 1])));
            i += 2;
        } else if (IsKana(c)) {
            w.Kanji();
            bool merged;
            AppendSjisAsJis(w.out, KanaToFull(c, i + 1 < t.size() ? static_cast<u8>(t[i + 1]) : -1, merged));
            i += merged ? 2 : 1;
        } else {
            w.Single(static_cast<char>(c));
            ++i;
        }
    }
    return w.Finish();
}

std::string EucToJis(std::string_view t)
{
    TJisWriter w;
    for (size_t i = 0; i < t.size();) {
        const u8 c = static_cast<u8>(t[i]);
        if (c == 0x8E && i + 1 < t.size() && IsKana(static_cast<u8>(t[i + 1]))) {
            // SS2 kana, merged with an SS2 voiced mark that follows.
            int next = (i + 3 < t.size() && static_cast<u8>(t[i + 2]) == 0x8E) ? static_cast<u8>(t[i + 3]) : -1;
            bool merged;
            w.Kanji();
            AppendSjisAsJis(w.out, KanaToFull(static_cast<u8>(t[i + 1]), next, merged));
            i += merged ? 4 : 2;
        } else if (c >= 0xA1 && c != 0xFF && i + 1 < t.size() && static_cast<u8>(t[i + 1]) >= 0xA1) {
            w.Kanji();
            w.out += static_cast<char>(c & 0x7F);
            w.out += static_cast<char>(t[i + 1] & 0x7F);
            i += 2;
        } else {
            w.Single(static_cast<char>(c));
            ++i;
        }
    }
    return w.Finish();
}

std::string SjisToEuc(std::string_view t)
{
    std::string out;
    out.reserve(t.size() + t.size() / 4);
    for (size_t i = 0; i < t.size();) {
        const u8 c = static_cast<u8>(t[i]);
        if (IsLeadByte(c) && i + 1 < t.size()) {
            u8 c1 = c, c2 = static_cast<u8>(t[i + 1]);
            SjisPairToJis(c1, c2);
            out += static_cast<char>(c1 | 0x80);
            out += static_cast<char>(c2 | 0x80);
            i += 2;
        } else if (IsKana(c)) {
            out += '\x8E';
            out += static_cast<char>(c);
            ++i;
        } else {
            out += static_cast<char>(c);
            ++i;
        }
    }
    return out;
}

std::string JisToEuc(std::string_view t)
{
    std::string out;
    WalkJis(
        t,
        [&](std::string_view s, size_t i) -> size_t {
            const u8 c = static_cast<u8>(s[i]);
            out += static_cast<char>((c >= 0x21 && c <= 0x7E) ? (c | 0x80) : c);
            return 1;
        },
        [&](char c) { out += c; });
    return out;
}

std::string JisToSjis(std::string_view t)
{
    std::string out;
    WalkJis(
        t,
        [&](std::string_view s, size_t i) -> size_t {
            u8 c1 = static_cast<u8>(s[i]);
            if (c1 >= 0x21 && c1 <= 0x7E && i + 1 < s.size()) {
                u8 c2 = static_cast<u8>(s[i + 1]);
                if (c2 >= 0x21 && c2 <= 0x7E) {
                    JisPairToSjis(c1, c2);
                    out += static_cast<char>(c1);
                    out += static_cast<char>(c2);
                    return 2;
                }
            }
            out += static_cast<char>(c1);   // a line break or a stray byte in kanji mode
            return 1;
        },
        [&](char c) { out += c; });
    return out;
}

std::string EucToSjis(std::string_view t)
{
    std::string out;
    out.reserve(t.size());
    for (size_t i = 0; i < t.size();) {
        const u8 c = static_cast<u8>(t[i]);
        if (c < 0x81 || c == 0xFF || i + 1 >= t.size()) {
            out += static_cast<char>(c);
            ++i;
        } else if (c == 0x8E) {
            out += t[i + 1];
            i += 2;
        } else {
            u8 c1 = c & 0x7F, c2 = static_cast<u8>(t[i + 1]) & 0x7F;
            JisPairToSjis(c1, c2);
            out += static_cast<char>(c1);
            out += static_cast<char>(c2);
            i += 2;
        }
    }
    return out;
}

std::string JConvert(std::string_view text, int target)
{
    int code = DetectCode(text);
    if (code == kCodeJisOld)
        code = kCodeJis;
    if (code == kCodeUnknown || code == kCodeBinary || code == kCodeEucOrSjis || code == target)
        return std::string(text);
    switch (target) {
    case kCodeJis:
        return code == kCodeSjis ? SjisToJis(text) : EucToJis(text);
    case kCodeEuc:
        return code == kCodeSjis ? SjisToEuc(text) : JisToEuc(text);
    case kCodeSjis:
        return code == kCodeJis ? JisToSjis(text) : EucToSjis(text);
    default:
        return std::string(text);
    }
}

std::string MimeEncodeHeader(std::string_view t)
{
    static const char kOpen[] = "=?ISO-2022-JP?B?";
    std::string out;
    size_t i = 0;
    while (i < t.size()) {
        size_t b = i;
        while (i < t.size() && IsLeadAt(t, i))
            i += 2;
        if (i > b) {
            out += kOpen;
            out += Base64Encode(SjisToJis(t.substr(b, i - b)));
            out += "?=";
            continue;
        }
        out += t[i++];
    }
    if (out.find(kOpen) != std::string::npos && out.find("?=") == std::string::npos)
        out += "?=";
    return out;
}

std::string MimeDecodeHeader(std::string_view text)
{
    static const std::string_view kOpen = "=?ISO-2022-JP?B?";
    std::string s(text);
    size_t from = 0;
    for (;;) {
        size_t at = std::string::npos;
        for (size_t i = from; i + kOpen.size() <= s.size(); ++i) {
            bool eq = true;
            for (size_t k = 0; k < kOpen.size() && eq; ++k) {
                char a = s[i + k];
                if (a >= 'a' && a <= 'z')
                    a = static_cast<char>(a - 32);
                eq = a == kOpen[k];
            }
            if (eq) {
                at = i;
                break;
            }
        }
        if (at == std::string::npos)
            break;
        size_t close = s.find("?=", at + kOpen.size());
        if (close == std::string::npos)
            break;
        std::string decoded = Base64Decode(std::string_view(s).substr(at + kOpen.size(), close - at - kOpen.size()));
        decoded += kKanjiOut;
        s.replace(at, close + 2 - at, decoded);
        from = at + decoded.size();   // never re-read what was inserted
    }
    return s;
}

std::string CutAtBinary(std::string_view t)
{
    size_t i = 0;
    while (i < t.size()) {
        const u8 c = static_cast<u8>(t[i]);
        if (IsLeadByte(c) && i + 1 < t.size()) {
            i += 2;
            continue;
        }
        if (c == '\t' || c == '\n' || c == '\r' || (c >= 0x20 && c <= 0x7E)) {
            ++i;
            continue;
        }
        break;
    }
    return std::string(t.substr(0, i));
}
