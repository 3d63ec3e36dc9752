// Half-width conversion table and source normalisation: comments, quotes, braces,
// line markers, and the unbalanced-pair errors with their lines.
#include <gtest/gtest.h>

#include "loader/normaliser.h"

namespace {

std::string Normalised(std::string text)
{
    Normalise(text);
    return text;
}

// The full-width character of the table with the given Shift_JIS code.
std::string Sjis(unsigned code)
{
    return std::string{static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
}

}   // namespace

TEST(TConvToHalf, TableGroups)
{
    struct Case {
        std::vector<unsigned> codes;
        std::string half;
    } cases[] = {
        {{0x8149, 0x8194, 0x8190, 0x8193, 0x8195, 0x8169, 0x816A, 0x8181, 0x817C,
          0x814F, 0x8160, 0x818F, 0x8162, 0x816F, 0x8170, 0x8197, 0x8147, 0x8146,
          0x817B, 0x8196, 0x815E, 0x8148, 0x8151, 0x8183, 0x8184, 0x8143, 0x8144},
         "!#$%&()=-^~\\|{}@;:+*/?_<>,."},
        {{0x8168, 0x8166, 0x81A6, 0x8165, 0x817E, 0x8180, 0x8182, 0x8185, 0x8186}, "\"''`*/<><=>="},
        {{0x8140, 0x8141, 0x8142, 0x8175, 0x8176, 0x8177, 0x8178}, " ,;\"\"``"},
    };
    for (const auto& c : cases) {
        std::string full, joined;
        for (unsigned code : c.codes) {
            full += Sjis(code);
            const std::string* rep = ConvToHalf().Lookup(Sjis(code));
            ASSERT_NE(rep, nullptr) << std::hex << code;
            joined += *rep;
        }
        EXPECT_EQ(joined, c.half);
        EXPECT_EQ(ToHalf(full), c.half);
    }
    std::string digits, lower, upper;
    for (unsigned i = 0; i < 10; ++i)
        digits += Sjis(0x824F + i);
    for (unsigned i = 0; i < 26; ++i) {
        lower += Sjis(0x8281 + i);
        upper += Sjis(0x8260 + i);
    }
    EXPECT_EQ(ToHalf(digits), "0123456789");
    EXPECT_EQ(ToHalf(lower), "abcdefghijklmnopqrstuvwxyz");
    EXPECT_EQ(ToHalf(upper), "ABCDEFGHIJKLMNOPQRSTUVWXYZ");
    EXPECT_EQ(ToHalf("ｘ＝１２３"), "x=123");   // the same characters written in the source
}

TEST(TConvToHalf, UnlistedCharactersStay)
{
    struct Case {
        std::string in;
        std::string out;
    } cases[] = {
        {"漢字とカナ", "漢字とカナ"},
        {"\x81\x5F", "\x81\x5F"},   // full-width backslash is not in the table
        {"\xA2"
         "ab\xA3",
         "\"ab\""},                 // half-width corner brackets
        {"\xA4\xB1", "\xA4\xB1"},   // other half-width katakana stay
        {"「ＡＢ」", "\"AB\""},     // strings get no special treatment
        {"abc\x82", "abc\x82"},     // lead byte at the end
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ToHalf(c.in), c.out) << c.in;
    EXPECT_EQ(ConvToHalf().Lookup("A"), nullptr);
    EXPECT_EQ(ConvToHalf().Lookup("漢"), nullptr);
    EXPECT_EQ(ConvToHalf().Lookup(""), nullptr);
    // A private table gives the same answers as the shared one.
    TConvToHalf own;
    EXPECT_EQ(own.ToHalf("ＡＢ＝１。"), "AB=1;");
}

TEST(Normalise, Rules)
{
    struct Case {
        const char* what;
        std::string in;
        std::string out;
    } cases[] = {
        {"full-width outside a string", "ＡＢＣ＝１２\r\n", "ABC=12\r\n1:"},
        {"inside a string", "「ＡＢ＝１」を表示\r\n", "\"ＡＢ＝１\"を表示\r\n1:"},
        {"statement end", "表示。\r\n", "表示;\r\n1:"},
        {"comma and space", "Ａ、Ｂ　Ｃ\r\n", "A,B C\r\n1:"},
        {"three lines", "A\r\nB\r\nC\r\n", "A\r\n1:B\r\n2:C\r\n3:"},
        {"no final break", "A\r\nB", "A\r\n1:B"},
        {"CR and LF alone", "A\nB\rC\r\n", "A\r\n1:B\r\n2:C\r\n3:"},
        {"empty lines", "\r\n\r\n", "\r\n1:\r\n2:"},
        {"empty text", "", ""},
        // line comments
        {"apostrophe", "A'x\r\nB", "A\r\n1:B"},
        {"kome", "A※x\r\nB", "A\r\n1:B"},
        {"right single quote", "A’x\r\nB", "A\r\n1:B"},
        {"two slashes", "A//x\r\nB", "A\r\n1:B"},
        {"full-width slashes", "A／／x\r\nB", "A\r\n1:B"},
        {"single slash stays", "A/B\r\n", "A/B\r\n1:"},
        {"full-width single slash", "A／B", "A/B"},
        {"slash at the end", "A/", "A/"},
        {"comment ends at the break", "A'x\r\nB'y\r\nC", "A\r\n1:B\r\n2:C"},
        {"quote inside a line comment", "A'\"x\r\nB", "A\r\n1:B"},
        {"brace inside a line comment", "A'{\r\nB", "A\r\n1:B"},
        // comment blocks
        {"block over two lines", "A{c\r\nd}B\r\n", "A\r\n1:B\r\n2:"},
        {"full-width braces", "A｛c｝B", "AB"},
        {"markers inside a block", "{a\r\nb\r\n}c", "\r\n1:\r\n2:c"},
        {"blocks do not nest", "{a{b}c}d", "cd"},
        {"quote inside a block", "{\"}x", "x"},
        {"backquote inside a block", "{`}x", "x"},
        {"apostrophe inside a block", "{'}x\r\ny", "x\r\n1:y"},
        {"backslash inside a block", "{\\}x", "x"},
        // double-quote strings
        {"escaped quote", "\"a\\\"b\"\r\n", "\"a\\\"b\"\r\n1:"},
        {"yen sign escapes", "\"a￥」b\"", "\"a\\」b\""},
        {"yen sign outside", "A￥B", "A\\B"},
        {"all quote forms close", "\"abc「def", "\"abc\"def"},
        {"closing bracket closes", "「abc\"", "\"abc\""},
        {"right double quote", "”ａ”", "\"ａ\""},
        {"half-width brackets", "\xA2ｘ\xA3ｘ", "\"ｘ\"x"},
        {"comment marks inside", "\"a//b'c※{d}\"", "\"a//b'c※{d}\""},
        {"backquote inside", "\"a`b『c\"", "\"a`b『c\""},
        {"break inside a string", "\"a\r\nb\"\r\nc\r\n", "\"a\r\nb\"\r\n2:c\r\n3:"},
        {"escape before a break", "\"a\\\r\nb\"\r\n", "\"a\\\r\nb\"\r\n2:"},
        {"trail byte 0x5C in a string", "\"表\"表", "\"表\"表"},
        // backquote strings
        {"two backquotes outside", "``x\r\n", "``x\r\n1:"},
        {"empty double bracket", "『』x", "``x"},
        {"escaped backquote", "`a``b`\r\n", "`a``b`\r\n1:"},
        {"double brackets", "『ＡＢ』＝", "`ＡＢ`="},
        {"quote inside", "`a\"b「c`", "`a\"b「c`"},
        {"left single quote", "‘x‘", "`x`"},
        {"backslash stays", "`a\\`", "`a\\`"},
        {"break inside", "`a\r\nb`\r\n", "`a\r\nb`\r\n2:"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Normalised(c.in), c.out) << c.what;
}

TEST(Normalise, UnbalancedPairs)
{
    const std::string blockMsg = "{ }が対応していません。『";
    const std::string quoteMsg = "「」または\"\"が対応していません。『";
    const std::string backquoteMsg = "『』または''''が対応していません。『";
    const std::string near = "』の近く";
    struct Case {
        const char* what;
        std::string in;
        std::string message;
        int line;
    } cases[] = {
        {"bracket on line 3", "A\r\nB\r\nX「abcdefghijklmnopqrstuvwxyz\r\n", quoteMsg + "abcdefghijklmnopqrst" + near,
         3},
        {"short rest", "「ab", quoteMsg + "ab" + near, 1},
        {"quote at the end", "A\r\n\"", quoteMsg + near, 2},
        {"last of several strings", "\"a\"\r\n\"b\"\r\n\"c", quoteMsg + "c" + near, 3},
        {"rest is read raw", "x「ＡＢ\r\nC", quoteMsg + "ＡＢ\r\nC" + near, 1},
        {"whole characters only", "「Aあいうえおかきくけこさ", quoteMsg + "Aあいうえおかきくけ" + near, 1},
        {"block", "x\r\n{comment\r\nmore", blockMsg + "comment\r\nmore" + near, 2},
        {"last opening brace", "{a\r\n{b", blockMsg + "b" + near, 2},
        {"block after a closed one", "{a}\r\nb{c", blockMsg + "c" + near, 2},
        {"full-width brace", "｛ｚ", blockMsg + "ｚ" + near, 1},
        {"backquote", "`abc", backquoteMsg + "abc" + near, 1},
        {"double bracket", "A\r\nB\r\nC\r\n『あ", backquoteMsg + "あ" + near, 4},
        {"string left open inside a string", "\"a『b", quoteMsg + "a『b" + near, 1},
        // A bracket against its direction shows which string was left open: the
        // line where it opened is reported, not the last one.
        {"missing closing bracket", "「a」\r\n「bc\r\n「d」", quoteMsg + "bc\r\n「d」" + near, 2},
        {"missing opening bracket", "「a」\r\nb」\r\n「c」", quoteMsg + "\r\n「c」" + near, 2},
        {"missing closing double bracket", "『a\r\n『b』", backquoteMsg + "a\r\n『b』" + near, 1},
    };
    for (const auto& c : cases) {
        std::string text = c.in;
        try {
            Normalise(text);
            ADD_FAILURE() << "no error: " << c.what;
        } catch (const ENormalise& e) {
            EXPECT_EQ(e.Message, c.message) << c.what;
            EXPECT_EQ(e.Line, c.line) << c.what;
        }
        EXPECT_EQ(text, c.in) << "text changed on error: " << c.what;
    }
}

TEST(Normalise, LongTextKeepsCounting)
{
    std::string text;
    const int lines = 100000;
    for (int i = 0; i < lines; ++i)
        text += "Ａ＝" + std::to_string(i) + "　'コメント\r\n";
    Normalise(text);
    const std::string tail = "A=" + std::to_string(lines - 1) + " \r\n" + std::to_string(lines) + ":";
    ASSERT_GE(text.size(), tail.size());
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
    EXPECT_EQ(text.find("コメント"), std::string::npos);
}
