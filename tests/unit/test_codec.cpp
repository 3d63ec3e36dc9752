// Shift_JIS <-> UTF-8 conversion: the static CP932 mapping, the per-process codes for
// characters that do not survive a round trip, and the path conversions.
// Narrow literals here are Shift_JIS; UTF-8 expectations are written as u8 literals.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "core/codec.h"

namespace {

std::string U8(const char8_t* s)
{
    return std::string(reinterpret_cast<const char*>(s));
}

std::string Bytes(std::initializer_list<int> b)
{
    std::string s;
    for (int c : b)
        s += static_cast<char>(c);
    return s;
}

std::string Hex(const std::string& s)
{
    static const char* digits = "0123456789ABCDEF";
    std::string h;
    for (unsigned char c : s) {
        h += digits[c >> 4];
        h += digits[c & 15];
        h += ' ';
    }
    return h;
}

// Decodes UTF-8 that the codec produced; -1 when it is not exactly one code point.
long SingleCodePoint(const std::string& u)
{
    if (u.empty())
        return -1;
    unsigned char c = u[0];
    size_t len = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    if (u.size() != len)
        return -1;
    long cp = len == 1 ? c : len == 2 ? (c & 0x1F) : len == 3 ? (c & 0x0F) : (c & 0x07);
    for (size_t i = 1; i < len; ++i)
        cp = (cp << 6) | (static_cast<unsigned char>(u[i]) & 0x3F);
    return cp;
}

bool IsUserAreaCode(const std::string& s)
{
    if (s.size() != 2)
        return false;
    unsigned char lead = s[0], trail = s[1];
    return lead >= 0xF0 && lead <= 0xF9 && trail >= 0x40 && trail <= 0xFC && trail != 0x7F;
}

bool IsPrivateUse(long cp)
{
    return cp >= 0xE000 && cp <= 0xF8FF;
}

}   // namespace

// Every code of JIS X 0208 (rows 1-84 without row 13, which CP932 fills with its own
// extension) in its Shift_JIS form converts to one code point outside the
// private-use area and back to the same two bytes.
TEST(Codec, EveryJisX0208CharacterRoundTrips)
{
    int assigned = 0;
    std::set<long> seen;
    for (int row = 1; row <= 84; ++row) {
        if (row == 13)
            continue;
        for (int cell = 1; cell <= 94; ++cell) {
            int lead = (row + 1) / 2 + (row <= 62 ? 0x80 : 0xC0);
            int trail = (row % 2) ? cell + 0x3F + (cell >= 64 ? 1 : 0) : cell + 0x9E;
            std::string sjis = Bytes({lead, trail});
            std::string utf8 = SjisToUtf8(sjis);
            long cp = SingleCodePoint(utf8);
            ASSERT_GT(cp, 0x7F) << "row " << row << " cell " << cell;
            EXPECT_EQ(Utf8ToSjis(utf8), sjis) << "row " << row << " cell " << cell;
            if (!IsPrivateUse(cp)) {
                ++assigned;
                EXPECT_TRUE(seen.insert(cp).second) << "code point used twice: " << std::hex << cp;
            }
        }
    }
    EXPECT_EQ(assigned, 6879);   // the number of characters JIS X 0208 defines
}

TEST(Codec, KnownCharacters)
{
    struct Case {
        std::string sjis;
        std::string utf8;
    };
    const std::vector<Case> cases = {
        {"abc 123 ~\\", "abc 123 ~\\"},
        {"表示", U8(u8"表示")},
        {"ソース", U8(u8"ソース")},
        {"ｱｲｳﾞ", U8(u8"ｱｲｳﾞ")},              // half-width katakana are single bytes
        {Bytes({0x81, 0x60}), U8(u8"～")},   // CP932 0x8160 is the full-width tilde
        {Bytes({0x87, 0x40}), U8(u8"①")},    // NEC row 13
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SjisToUtf8(c.sjis), c.utf8) << Hex(c.sjis);
        EXPECT_EQ(Utf8ToSjis(c.utf8), c.sjis) << Hex(c.utf8);
    }
}

// CP932 has codes that share a code point; they convert to that character, and the
// way back gives the code that converts to it canonically.
TEST(Codec, DuplicateCodesShareTheirCharacter)
{
    struct Case {
        std::string code, canonical;
    };
    const std::vector<Case> cases = {
        {Bytes({0xED, 0x40}), Bytes({0xFA, 0x5C})},   // NEC-selected IBM extension
        {Bytes({0x87, 0x90}), Bytes({0x81, 0xE0})},   // NEC row 13 ≒
        {Bytes({0xEE, 0xF9}), Bytes({0x81, 0xCA})},   // ¬
    };
    for (const auto& c : cases) {
        std::string u = SjisToUtf8(c.code);
        EXPECT_FALSE(IsPrivateUse(SingleCodePoint(u))) << Hex(c.code);
        EXPECT_EQ(u, SjisToUtf8(c.canonical)) << Hex(c.code);
        EXPECT_EQ(Utf8ToSjis(u), c.canonical) << Hex(c.code);
    }
}

// Characters whose CP932 conversion is one-way or missing get a user-area code that
// leads back to them, so a listed file name can be opened again.
TEST(Codec, UnmappedCharactersSurviveARoundTrip)
{
    const std::vector<std::string> names = {
        U8(u8"〜"),   // U+301C: iconv gives 0x8160, which reads back as U+FF5E
        U8(u8"¥"),    // U+00A5: iconv gives 0x5C, a separator
        U8(u8"😀"),    // no CP932 code at all
        U8(u8"한"),   // Hangul
        U8(u8"a〜b¥c😀.txt"),
    };
    for (const auto& name : names) {
        std::string sjis = Utf8ToSjis(name);
        EXPECT_EQ(sjis.find('\\'), std::string::npos) << Hex(sjis);
        EXPECT_EQ(sjis.find('?'), std::string::npos) << Hex(sjis);
        EXPECT_EQ(SjisToUtf8(sjis), name) << Hex(sjis);
        EXPECT_EQ(ToNativePath(FromNativePath(name)), name);
    }
    const std::vector<std::string> singles = {U8(u8"〜"), U8(u8"¥"), U8(u8"😀"), U8(u8"한")};
    std::set<std::string> codes;
    for (const auto& ch : singles) {
        std::string sjis = Utf8ToSjis(ch);
        EXPECT_TRUE(IsUserAreaCode(sjis)) << Hex(sjis);   // one character in the script
        EXPECT_EQ(Utf8ToSjis(ch), sjis) << "the code stays the same within the process";
        codes.insert(sjis);
    }
    EXPECT_EQ(codes.size(), singles.size());
    const std::string waveDash = U8(u8"〜");
    EXPECT_NE(Utf8ToSjis(waveDash), Bytes({0x81, 0x60}));
}

// A user-area code handed out for another character no longer stands for its own
// private-use code point; that code point then gets a code of its own.
TEST(Codec, TakenUserAreaCodeGivesWayToItsNewMeaning)
{
    const std::string flag = U8(u8"🎌");
    std::string code = Utf8ToSjis(flag);
    ASSERT_TRUE(IsUserAreaCode(code));
    unsigned char lead = code[0], trail = code[1];
    long pua = 0xE000 + (lead - 0xF0) * 188 + (trail - 0x40 - (trail > 0x7F ? 1 : 0));
    std::string puaUtf8;
    puaUtf8 += static_cast<char>(0xE0 | (pua >> 12));
    puaUtf8 += static_cast<char>(0x80 | ((pua >> 6) & 0x3F));
    puaUtf8 += static_cast<char>(0x80 | (pua & 0x3F));
    std::string puaSjis = Utf8ToSjis(puaUtf8);
    EXPECT_NE(puaSjis, code);
    EXPECT_EQ(SjisToUtf8(code), flag);
    EXPECT_EQ(SjisToUtf8(puaSjis), puaUtf8);
}

// Invalid UTF-8 bytes (a Linux file name may hold any bytes) come back unchanged.
TEST(Codec, InvalidUtf8BytesRoundTrip)
{
    const std::vector<std::string> inputs = {
        Bytes({0xFF}),
        Bytes({'a', 0xE3, 0x81}),          // truncated sequence
        Bytes({0xC0, 0xAF}),               // overlong "/"
        Bytes({0xED, 0xA0, 0x80}),         // surrogate
        Bytes({0xF4, 0x90, 0x80, 0x80}),   // above U+10FFFF
        Bytes({0x80, 'x', 0xBF}),          // stray continuation bytes
        Bytes({0xE3, 0x81, 0x82, 0xFE}),   // あ then an invalid byte
    };
    for (const auto& in : inputs) {
        std::string sjis = Utf8ToSjis(in);
        EXPECT_EQ(sjis.find('/'), std::string::npos) << Hex(in);
        EXPECT_EQ(SjisToUtf8(sjis), in) << Hex(in) << "-> " << Hex(sjis);
    }
    std::string one = Utf8ToSjis(Bytes({0xFF}));
    EXPECT_TRUE(IsUserAreaCode(one)) << Hex(one);
}

// Shift_JIS bytes that are not CP932 convert to private-use characters that lead
// back to the same bytes.
TEST(Codec, InvalidSjisBytesRoundTrip)
{
    const std::vector<std::string> inputs = {
        Bytes({0x80}),
        Bytes({0xA0}),
        Bytes({0xFD, 0xFE, 0xFF}),
        Bytes({0x85, 0x40}),        // unassigned row
        Bytes({'a', 0x81}),         // lead byte at the end
        Bytes({0x81, 0x20, 'b'}),   // lead byte before a byte that cannot follow it
    };
    for (const auto& in : inputs) {
        std::string u = SjisToUtf8(in);
        EXPECT_EQ(Utf8ToSjis(u), in) << Hex(in) << "-> " << Hex(u);
    }
    EXPECT_TRUE(IsPrivateUse(SingleCodePoint(SjisToUtf8(Bytes({0x85, 0x40})))));
    EXPECT_EQ(SjisToUtf8(Bytes({0x81, 0x20, 'b'})).substr(3), " b");
}

TEST(Codec, ToNativePath)
{
    struct Case {
        std::string sjis;
        std::string native;
    };
    const std::vector<Case> cases = {
        {"C:\\表示\\ソフト.prk", U8(u8"/表示/ソフト.prk")},   // 表 and ソ end in 0x5C
        {"表\\ソ", U8(u8"表/ソ")},
        {"表", U8(u8"表")},
        {"c:/data/a.txt", "/data/a.txt"},
        {"a\\b/c", "a/b/c"},
        {"C:", "C:"},   // no separator: not a drive prefix
        {"ab:\\x", "ab:/x"},
        {"1:\\x", "1:/x"},
        {"\\\\server\\share", "//server/share"},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ToNativePath(c.sjis), c.native) << Hex(c.sjis);
    }
}

TEST(Codec, FromNativePath)
{
    struct Case {
        std::string native;
        std::string sjis;
    };
    const std::vector<Case> cases = {
        {U8(u8"/tmp/表示/ソフト.prk"), "/tmp/表示/ソフト.prk"},
        {"/a/b", "/a/b"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FromNativePath(c.native), c.sjis) << c.native;
        EXPECT_EQ(ToNativePath(FromNativePath(c.native)), c.native);
    }
}

TEST(Codec, ScriptBytesToSjis)
{
    struct Case {
        std::string in;
        std::string out;
    };
    const std::string bom = Bytes({0xEF, 0xBB, 0xBF});
    const std::vector<Case> cases = {
        {bom + U8(u8"「こんにちは」と表示\r\n"), "「こんにちは」と表示\r\n"},
        {bom, ""},
        {"「表示」", "「表示」"},       // Shift_JIS stays as it is
        {U8(u8"表示"), U8(u8"表示")},   // UTF-8 without a mark too
        {Bytes({0xEF, 0xBB}) + "x", Bytes({0xEF, 0xBB}) + "x"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ScriptBytesToSjis(c.in), c.out) << Hex(c.in);
    }
}
