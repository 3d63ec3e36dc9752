// Width, case and kana tables: every convertible CP932 character, checked against
// literals that the compiler encodes (so the tables are compared with an
// independent CP932 encoder) and by round trips over the whole code space.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "commands/strings/kana.h"

namespace {

std::string Code(int c)
{
    if (c < 256)
        return std::string(1, static_cast<char>(c));
    return std::string{static_cast<char>(c >> 8), static_cast<char>(c & 0xFF)};
}

// Every two-byte code with a valid lead and trail byte.
std::vector<int> AllDoubleByteCodes()
{
    std::vector<int> codes;
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
        if (lead > 0x9F && lead < 0xE0)
            continue;
        for (int trail = 0x40; trail <= 0xFC; ++trail)
            if (trail != 0x7F)
                codes.push_back(lead << 8 | trail);
    }
    return codes;
}

std::string AsciiRun()
{
    std::string s;
    for (int c = 0x20; c <= 0x7E; ++c)
        s += static_cast<char>(c);
    return s;
}

const char* const kFullAsciiRun = "　！”＃＄％＆’（）＊＋，－．／０１２３４５６７８９：；＜＝＞？"
                                  "＠ＡＢＣＤＥＦＧＨＩＪＫＬＭＮＯＰＱＲＳＴＵＶＷＸＹＺ［￥］＾＿"
                                  "‘ａｂｃｄｅｆｇｈｉｊｋｌｍｎｏｐｑｒｓｔｕｖｗｘｙｚ｛｜｝～";

const char* const kHalfKanaRun = "｡｢｣､･ｦｧｨｩｪｫｬｭｮｯｰｱｲｳｴｵｶｷｸｹｺｻｼｽｾｿﾀﾁﾂﾃﾄﾅﾆﾇﾈﾉﾊﾋﾌﾍﾎﾏﾐﾑﾒﾓﾔﾕﾖﾗﾘﾙﾚﾛﾜﾝﾞﾟ";
const char* const kFullKanaRun = "。「」、・ヲァィゥェォャュョッーアイウエオカキクケコサシスセソタチツテトナニヌネノ"
                                 "ハヒフヘホマミムメモヤユヨラリルレロワン゛゜";

const char* const kHiraganaRun =
    "ぁあぃいぅうぇえぉおかがきぎくぐけげこごさざしじすずせぜそぞただちぢっつづてでとど"
    "なにぬねのはばぱひびぴふぶぷへべぺほぼぽまみむめもゃやゅゆょよらりるれろゎわゐゑをんゝゞ";
const char* const kKatakanaRun =
    "ァアィイゥウェエォオカガキギクグケゲコゴサザシジスズセゼソゾタダチヂッツヅテデトド"
    "ナニヌネノハバパヒビピフブプヘベペホボポマミムメモャヤュユョヨラリルレロヮワヰヱヲンヽヾ";

}   // namespace

TEST(KanaTables, AsciiAndFullWidthRowsMatchTheEncoder)
{
    EXPECT_EQ(ToFullWidth(AsciiRun()), kFullAsciiRun);
    EXPECT_EQ(ToHalfWidth(kFullAsciiRun), AsciiRun());
    EXPECT_EQ(AlnumToHalf(kFullAsciiRun), " !\"#$%&'()＊＋,-./0123456789：；<=>？@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]＾_"
                                          "`abcdefghijklmnopqrstuvwxyz{｜}～");
}

TEST(KanaTables, KatakanaRowsMatchTheEncoder)
{
    EXPECT_EQ(ToFullWidth(kHalfKanaRun), kFullKanaRun);
    EXPECT_EQ(ToHalfWidth(kFullKanaRun), kHalfKanaRun);
}

TEST(KanaTables, VoicedKanaSplitAndMerge)
{
    struct Case {
        const char* full;
        const char* half;
    };
    const Case cases[] = {
        {"ガギグゲゴ", "ｶﾞｷﾞｸﾞｹﾞｺﾞ"}, {"ザジズゼゾ", "ｻﾞｼﾞｽﾞｾﾞｿﾞ"}, {"ダヂヅデド", "ﾀﾞﾁﾞﾂﾞﾃﾞﾄﾞ"},
        {"バビブベボ", "ﾊﾞﾋﾞﾌﾞﾍﾞﾎﾞ"}, {"パピプペポ", "ﾊﾟﾋﾟﾌﾟﾍﾟﾎﾟ"}, {"ヴ", "ｳﾞ"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ToHalfWidth(c.full), c.half) << c.half;
        EXPECT_EQ(ToFullWidth(c.half), c.full) << c.half;
    }
    // marks after kana without a voiced form, or alone, convert on their own
    EXPECT_EQ(ToFullWidth("ｱﾞ"), "ア゛");
    EXPECT_EQ(ToFullWidth("ｶﾟ"), "カ゜");
    EXPECT_EQ(ToFullWidth("ﾞﾟ"), "゛゜");
    EXPECT_EQ(ToFullWidth("ﾊﾞﾟ"), "バ゜");
}

TEST(KanaTables, EveryTwoByteCharacterRoundTripsThroughHalfWidth)
{
    // one-way sources: their half form comes back as the preferred two-byte form
    const std::pair<int, const char*> oneWay[] = {
        {0x814D, "‘"}, {0x815F, "￥"}, {0x8167, "”"}, {0x8150, "～"},
        {0xEEFB, "’"}, {0xFA56, "’"},  {0xEEFC, "”"}, {0xFA57, "”"},
    };
    int converted = 0;
    for (int code : AllDoubleByteCodes()) {
        std::string c = Code(code);
        std::string h = ToHalfWidth(c);
        if (h == c) {
            EXPECT_EQ(HalfFormOf(static_cast<uint16_t>(code)), 0) << std::hex << code;
            continue;
        }
        ++converted;
        ASSERT_TRUE(h.size() == 1 || h.size() == 2) << std::hex << code;
        std::string back = ToFullWidth(h);
        const char* expected = c.c_str();
        for (const auto& [src, canonical] : oneWay)
            if (src == code)
                expected = canonical;
        EXPECT_EQ(back, expected) << std::hex << code;
    }
    // 95 ASCII forms, 8 one-way sources, 63 kana, 21 voiced and 5 semi-voiced
    EXPECT_EQ(converted, 95 + 8 + 63 + 21 + 5);
}

TEST(KanaTables, EveryOneByteCharacterRoundTripsThroughFullWidth)
{
    int converted = 0;
    for (int b = 1; b < 256; ++b) {
        std::string c = Code(b);
        std::string f = ToFullWidth(c);
        if (f == c)
            continue;
        ++converted;
        EXPECT_EQ(f.size(), 2u) << b;
        EXPECT_EQ(FullFormOf(static_cast<unsigned char>(b)),
                  static_cast<uint16_t>(static_cast<unsigned char>(f[0]) << 8 | static_cast<unsigned char>(f[1])));
        EXPECT_EQ(ToHalfWidth(f), c) << b;
    }
    EXPECT_EQ(converted, 95 + 63);
}

TEST(KanaTables, HiraganaKatakanaWholeRows)
{
    EXPECT_EQ(ToKatakana(kHiraganaRun), kKatakanaRun);
    EXPECT_EQ(ToHiragana(kKatakanaRun), kHiraganaRun);
    int converted = 0;
    for (int code : AllDoubleByteCodes()) {
        std::string c = Code(code);
        std::string k = ToKatakana(c);
        if (k != c) {
            ++converted;
            EXPECT_EQ(ToHiragana(k), c) << std::hex << code;
        }
        std::string h = ToHiragana(c);
        if (h != c) {
            EXPECT_EQ(ToKatakana(h), c) << std::hex << code;
        }
    }
    EXPECT_EQ(converted, 83 + 2);
    // no hiragana in CP932 for these; one-byte kana stay as they are
    EXPECT_EQ(ToHiragana("ヴヵヶｶﾞ"), "ヴヵヶｶﾞ");
}

TEST(KanaTables, CaseWholeAlphabets)
{
    struct Case {
        const char* lower;
        const char* upper;
    };
    const Case cases[] = {
        {"abcdefghijklmnopqrstuvwxyz", "ABCDEFGHIJKLMNOPQRSTUVWXYZ"},
        {"ａｂｃｄｅｆｇｈｉｊｋｌｍｎｏｐｑｒｓｔｕｖｗｘｙｚ",
         "ＡＢＣＤＥＦＧＨＩＪＫＬＭＮＯＰＱＲＳＴＵＶＷＸＹＺ"},
        {"αβγδεζηθικλμνξοπρστυφχψω", "ΑΒΓΔΕΖΗΘΙΚΛΜΝΞΟΠΡΣΤΥΦΧΨΩ"},
        {"абвгдеёжзийклмнопрстуфхцчшщъыьэюя", "АБВГДЕЁЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯ"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ToUpperCase(c.lower), c.upper);
        EXPECT_EQ(ToLowerCase(c.upper), c.lower);
    }
    int converted = 0;
    for (int code : AllDoubleByteCodes()) {
        std::string c = Code(code);
        std::string u = ToUpperCase(c);
        if (u == c)
            continue;
        ++converted;
        EXPECT_EQ(ToLowerCase(u), c) << std::hex << code;
    }
    EXPECT_EQ(converted, 26 + 24 + 33);
}

TEST(KanaTables, TrailBytesAndOddEndsAreNeverConverted)
{
    struct Case {
        const char* input;
        std::string (*fn)(std::string_view);
        const char* expected;
    };
    const Case cases[] = {
        // ソ and 表 end in the byte of "\"; ｱ ends nothing
        {"ソ表a", ToHalfWidth, "ｿ表a"},
        {"ソ表a", ToFullWidth, "ソ表ａ"},
        {"ソ表a", ToUpperCase, "ソ表A"},
        {"ひらがなヮヰヱヵヶ", ToHalfWidth, "ひらがなヮヰヱヵヶ"},
        {"ＡＢＣ－１", ToLowerCase, "ａｂｃ－１"},
        {"漢字かな", ToKatakana, "漢字カナ"},
        {"", ToFullWidth, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.fn(c.input), c.expected) << c.input;
    // a lead byte that ends the text is copied as it is
    std::string lone = "a\x82";
    EXPECT_EQ(ToHalfWidth(lone), lone);
    EXPECT_EQ(ToFullWidth(lone), std::string("ａ\x82"));
    // control bytes and the unused single bytes have no full-width form
    EXPECT_EQ(ToFullWidth(std::string("\t\r\n\x7F\x80\xA0\xFD", 7)), std::string("\t\r\n\x7F\x80\xA0\xFD", 7));
}

TEST(KanaTables, AlnumToHalfConvertsOnlyItsList)
{
    EXPECT_EQ(AlnumToHalf("０１２３４５６７８９ａｂｃｄｅｆｇｈｉｊｋｌｍｎｏｐｑｒｓｔｕｖｗｘｙｚ"),
              "0123456789abcdefghijklmnopqrstuvwxyz");
    EXPECT_EQ(AlnumToHalf("ＡＢＣＤＥＦＧＨＩＪＫＬＭＮＯＰＱＲＳＴＵＶＷＸＹＺ"), "ABCDEFGHIJKLMNOPQRSTUVWXYZ");
    EXPECT_EQ(AlnumToHalf("！”＃＄％＆’（）＝－￥［］｛｝＿／＞＜，．＠‘　"), "!\"#$%&'()=-\\[]{}_/><,.@` ");
    EXPECT_EQ(AlnumToHalf("＋＊？：；｜＾～"), "＋＊？：；｜＾～");
    EXPECT_EQ(AlnumToHalf("ｱイ漢ａ"), "ｱイ漢a");
}

TEST(KanaTables, HalfOfFirstCharacter)
{
    EXPECT_EQ(HalfOfFirstChar("Ａbc"), "A");
    EXPECT_EQ(HalfOfFirstChar("ガx"), "ｶﾞ");
    EXPECT_EQ(HalfOfFirstChar("漢"), "漢");
    EXPECT_EQ(HalfOfFirstChar(""), "");
}
