// Character codes: detection, the three conversions over every JIS X 0208 cell
// (cross-checked against the C library's converter), half-width kana rules, MIME
// words, the binary cut; and typed byte access with its bounds.
#include <gtest/gtest.h>
#include <iconv.h>

#include "commands/encodings/binary.h"
#include "commands/encodings/jconvert.h"

namespace {

// The C library's conversion of `in`; false when it rejects the input.
bool Iconv(const char* to, const char* from, const std::string& in, std::string& out)
{
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return false;
    char buf[64];
    char* ip = const_cast<char*>(in.data());
    size_t il = in.size();
    char* op = buf;
    size_t ol = sizeof buf;
    size_t r = iconv(cd, &ip, &il, &op, &ol);
    iconv_close(cd);
    if (r == static_cast<size_t>(-1) || il != 0)
        return false;
    out.assign(buf, op);
    return true;
}

const std::string kIn = "\x1B$B";
const std::string kOut = "\x1B(J";

TEST(JConvertTest, DetectBranches)
{
    struct Case {
        std::string text;
        int code;
    } cases[] = {
        {"", kCodeUnknown},
        {"a", kCodeUnknown},
        {"abc", kCodeUnknown},
        {std::string("a\x01"
                     "b",
                     3),
         kCodeBinary},
        {"ab\xFF"
         "c",
         kCodeBinary},
        {std::string("ab\x01", 3), kCodeUnknown},   // the last byte is never examined
        {"\x1B$B"
         "4A\x1B(J",
         kCodeJis},
        {"\x1B$@"
         "4A",
         kCodeJisOld},
        {"\x1B(Jx\x1B$B!!", kCodeJis},
        {"\x1B$", kCodeUnknown},   // an escape cut short
        {"漢字", kCodeSjis},       // 0x8A
        {"\x8E\x40", kCodeSjis},
        {"\x8E\xB1"
         "a",
         kCodeEucOrSjis},
        {"\xF0\xA1", kCodeEuc},
        {"\xE0\x40", kCodeSjis},
        {"\xE0\xFD", kCodeEuc},
        {"\xE0\xA1", kCodeEucOrSjis},
        {"\xB6\xF0", kCodeEuc},
        {"\xB6\xDE", kCodeEucOrSjis},   // ｶﾞ alone is undecided
        {"\xB6\xE0\x85"
         "a",
         kCodeSjis},
        {"\xB6\xE0\xFD"
         "a",
         kCodeEuc},
        {"\xB6\x41", kCodeSjis},
        {"\xB4\xC1\xB4\xC1", kCodeEucOrSjis},   // 漢漢 in EUC-JP
        {"\xB4\xC1\xBB\xFA", kCodeEuc},         // 漢字: 0xFA decides
        {"\x80\xA0"
         "a",
         kCodeUnknown},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DetectCode(c.text), c.code) << c.text;
}

// Every cell of the 94 x 94 JIS X 0208 plane: the arithmetic round-trips through
// all three encodings, and agrees with the C library wherever it knows the cell.
TEST(JConvertTest, EveryJisX0208Cell)
{
    int checked = 0;
    for (int row = 0x21; row <= 0x7E; ++row) {
        for (int cell = 0x21; cell <= 0x7E; ++cell) {
            const std::string jisPair{static_cast<char>(row), static_cast<char>(cell)};
            const std::string jis = kIn + jisPair + kOut;
            const std::string sjis = JisToSjis(jis);
            ASSERT_EQ(sjis.size(), 2u);
            EXPECT_EQ(SjisToJis(sjis), jis) << row << "," << cell;
            const std::string euc = SjisToEuc(sjis);
            EXPECT_EQ(euc, std::string({static_cast<char>(row | 0x80), static_cast<char>(cell | 0x80)}));
            EXPECT_EQ(EucToSjis(euc), sjis);
            EXPECT_EQ(JisToEuc(jis), euc);
            EXPECT_EQ(EucToJis(euc), jis);
            std::string ref;
            if (Iconv("EUC-JP", "SHIFT_JIS", sjis, ref)) {
                EXPECT_EQ(ref, euc) << row << "," << cell;
                ++checked;
            }
        }
    }
    EXPECT_GT(checked, 6800);   // the assigned cells of JIS X 0208
}

TEST(JConvertTest, ConversionsOfTexts)
{
    struct Case {
        std::string text;
        int target;
        std::string result;
    } cases[] = {
        {"abc", kCodeJis, "abc"},
        {"漢字a", kCodeJis, kIn + "4A;z" + kOut + "a"},
        {"漢字", kCodeJis, kIn + "4A;z" + kOut},
        {"ｶﾞ", kCodeEuc, "ｶﾞ"},                    // undecided: unchanged
        {"漢ｶﾞ", kCodeJis, kIn + "4A%," + kOut},   // ｶﾞ merged into ガ
        {"漢ｶﾞ", kCodeEuc, "\xB4\xC1\x8E\xB6\x8E\xDE"},
        {"漢ﾊﾟｳﾞｱﾞ", kCodeJis, kIn + "4A%Q%t%\"!+" + kOut},   // パ ヴ ア ゛
        {"漢｡｢｣､･ｰ", kCodeJis, kIn + "4A!#!V!W!\"!&!<" + kOut},
        {"漢\r\nx", kCodeJis, kIn + "4A" + kOut + "\r\nx"},
        {kIn + "4A;z" + kOut + "a", kCodeSjis, "漢字a"},
        {kIn + "4A;z" + kOut + "a", kCodeEuc,
         "\xB4\xC1\xBB\xFA"
         "a"},
        {kIn + "4A" + kOut, kCodeJis, kIn + "4A" + kOut},
        {"\xB4\xC1\xBB\xFA\xA4\xF2", kCodeSjis, "漢字を"},
        {"\xB4\xC1\xBB\xFA\xA4\xF2", kCodeJis, kIn + "4A;z$r" + kOut},
        {"\xF0\xA1\x8E\xB6\x8E\xDE", kCodeJis, kIn + "p!%," + kOut},   // EUC: SS2 ｶﾞ merged
        {"漢字を", kCodeSjis, "漢字を"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(JConvert(c.text, c.target), c.result) << c.text;
}

TEST(JConvertTest, TruncatedInputsStayInside)
{
    EXPECT_EQ(SjisToJis("\x8A"), "\x8A");   // a lone lead byte
    EXPECT_EQ(JisToSjis("\x1B"), "");
    EXPECT_EQ(JisToSjis("\x1B$"), "");
    EXPECT_EQ(JisToSjis(kIn + "4"), "4");
    EXPECT_EQ(EucToSjis("\xB4"), "\xB4");
    EXPECT_EQ(EucToJis("\x8E"), "\x8E");
    EXPECT_EQ(SjisToJis("ｶ"), kIn + "%+" + kOut);
}

TEST(JConvertTest, MimeWords)
{
    const std::string encoded = MimeEncodeHeader("Re: 会議");
    EXPECT_EQ(encoded, "Re: =?ISO-2022-JP?B?GyRCMnE1RBsoSg==?=");
    EXPECT_EQ(MimeDecodeHeader(encoded), "Re: " + kIn + "2q5D" + kOut + kOut);
    EXPECT_EQ(MimeEncodeHeader("abc"), "abc");
    EXPECT_EQ(MimeEncodeHeader("a=?ISO-2022-JP?B?x"), "a=?ISO-2022-JP?B?x?=");
    EXPECT_EQ(MimeEncodeHeader("会 議"), "=?ISO-2022-JP?B?GyRCMnEbKEo=?= =?ISO-2022-JP?B?GyRCNUQbKEo=?=");
    // Lower case is found; other character sets and Q words are left alone.
    EXPECT_EQ(MimeDecodeHeader("=?iso-2022-jp?b?YWJj?=x"), "abc" + kOut + "x");
    EXPECT_EQ(MimeDecodeHeader("=?UTF-8?B?YWJj?="), "=?UTF-8?B?YWJj?=");
    EXPECT_EQ(MimeDecodeHeader("=?ISO-2022-JP?Q?abc?="), "=?ISO-2022-JP?Q?abc?=");
    // A word whose text is itself a word start is not decoded again; a missing end stops.
    const std::string nested = "=?ISO-2022-JP?B?" + std::string("PT9JU08tMjAyMi1KUD9CP1lXSmo=") + "?=";
    EXPECT_EQ(MimeDecodeHeader(nested), "=?ISO-2022-JP?B?YWJj" + kOut);
    EXPECT_EQ(MimeDecodeHeader("=?ISO-2022-JP?B?YWJj"), "=?ISO-2022-JP?B?YWJj");
}

TEST(JConvertTest, CutAtBinary)
{
    EXPECT_EQ(CutAtBinary("abc\tdef\r\n漢字"), "abc\tdef\r\n漢字");
    EXPECT_EQ(CutAtBinary(std::string("ab\0cd", 5)), "ab");
    EXPECT_EQ(CutAtBinary("abｶ"), "ab");   // half-width kana is not text here
    EXPECT_EQ(CutAtBinary("ab\x81"), "ab");
}

TEST(BinaryTest, ReadForms)
{
    const std::string data("\x02\x01\xFF\xFF\xFF\xFF"
                           "AB\0C",
                           10);
    struct Case {
        const char* form;
        double pos;
        bool number;
        long double value;
        std::string text;
    } cases[] = {
        {"WORD", 1, true, 258, ""}, {"word", 0, true, 258, ""},   // below 2 reads the first byte
        {"BYTE", 1, true, 2, ""},   {"BYTE", 3, true, 255, ""},   {"DWORD", 3, true, 4294967295.0L, ""},
        {"INT", 3, true, -1, ""},   {"CHAR", 7, false, 0, "A"},   {"CHAR*", 7, false, 0, "AB"},
        {"CHAR*", 9, false, 0, ""}, {"CHAR*", 10, false, 0, "C"},
    };
    for (const auto& c : cases) {
        TBinaryValue v;
        ASSERT_TRUE(BinaryRead(data, c.pos, BinaryFormOf(c.form), v)) << c.form;
        EXPECT_EQ(v.IsNumber, c.number) << c.form;
        if (c.number) {
            EXPECT_EQ(v.Number, c.value) << c.form << c.pos;
        } else {
            EXPECT_EQ(v.Text, c.text) << c.form << c.pos;
        }
    }
    TBinaryValue v;
    EXPECT_FALSE(BinaryRead(data, 1, BinaryFormOf("QWORD"), v));
}

TEST(BinaryTest, WriteForms)
{
    struct Case {
        const char* form;
        double pos;
        const char* text;
        long double number;
        std::string before;
        std::string after;
    } cases[] = {
        {"WORD", 1, "258", 258, std::string(2, '\0'), "\x02\x01"},
        {"BYTE", 2, "-1", -1, "abc",
         "a\xFF"
         "c"},
        {"BYTE", 1, "258.9", 258.9L, "a", "\x02"},
        {"DWORD", 1, "4294967295", 4294967295.0L, "abcd", "\xFF\xFF\xFF\xFF"},
        {"INT", 1, "-2", -2, "abcde",
         "\xFE\xFF\xFF\xFF"
         "e"},
        {"CHAR", 2, "xyz", 0, "abc", "axc"},
        {"CHAR*", 1, "hi", 0, "abcd", std::string("hi\0d", 4)},
    };
    for (const auto& c : cases) {
        std::string d = c.before;
        ASSERT_TRUE(BinaryWrite(d, c.pos, BinaryFormOf(c.form), c.text, c.number)) << c.form;
        EXPECT_EQ(d, c.after) << c.form;
        EXPECT_EQ(d.size(), c.before.size());
    }
    std::string d = "ab";
    EXPECT_FALSE(BinaryWrite(d, 1, BinaryFormOf("X"), "1", 1));
    EXPECT_EQ(d, "ab");
}

TEST(BinaryTest, RangeErrors)
{
    struct Case {
        const char* form;
        double pos;
        long double number;
        size_t length;
        const char* message;
    } cases[] = {
        {"WORD", 2, 1, 2, "バイナリ設定で、位置2から2バイトは、変数の大きさ(2バイト)を超えています。"},
        {"DWORD", 1, 1, 3, "バイナリ設定で、位置1から4バイトは、変数の大きさ(3バイト)を超えています。"},
        {"CHAR*", 1, 0, 2, "バイナリ設定で、位置1から3バイトは、変数の大きさ(2バイト)を超えています。"},
        {"BYTE", 5, 1, 4, "バイナリ設定で、位置5から1バイトは、変数の大きさ(4バイト)を超えています。"},
        {"WORD", 1, -1, 2, "バイナリ設定で、値-1はWORD形式の範囲外です。"},
        {"DWORD", 1, 4294967296.0L, 4, "バイナリ設定で、値4294967296はDWORD形式の範囲外です。"},
        {"INT", 1, 2147483648.0L, 4, "バイナリ設定で、値2147483648はINT形式の範囲外です。"},
    };
    for (const auto& c : cases) {
        std::string d(c.length, 'x');
        const std::string text = c.number == 4294967296.0L        ? "4294967296"
                                 : c.number == 2147483648.0L      ? "2147483648"
                                 : c.form == std::string("CHAR*") ? "ab"
                                                                  : std::to_string(static_cast<long long>(c.number));
        try {
            BinaryWrite(d, c.pos, BinaryFormOf(c.form), text, c.number);
            ADD_FAILURE() << c.form;
        } catch (const EBinary& e) {
            EXPECT_STREQ(e.what(), c.message);
        }
        EXPECT_EQ(d, std::string(c.length, 'x'));
    }
    TBinaryValue v;
    try {
        BinaryRead("ab", 2, BinaryFormOf("WORD"), v);
        ADD_FAILURE();
    } catch (const EBinary& e) {
        EXPECT_STREQ(e.what(), "バイナリ取得で、位置2から2バイトは、変数の大きさ(2バイト)を超えています。");
    }
    EXPECT_THROW(BinaryRead("", 1, BinaryFormOf("CHAR*"), v), EBinary);
}

TEST(BinaryTest, Dump)
{
    EXPECT_EQ(BinaryDump("ABC"), "41,42,43,");
    EXPECT_EQ(BinaryDump(""), "");
    std::string sixteen(17, '\xAB');
    std::string want;
    for (int i = 0; i < 16; ++i)
        want += i == 15 ? "AB\r\n" : "AB,";
    want += "AB,";
    EXPECT_EQ(BinaryDump(sixteen), want);
}

}   // namespace
