// Character-wise text operations of the string commands.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "commands/strings/strings.h"

using namespace sjistext;

TEST(StringsText, CountingAndSearching)
{
    EXPECT_EQ(CharCount("あいう"), 3u);
    EXPECT_EQ(CharCount("aあ\x82"), 3u);   // a lead byte at the end is one character
    EXPECT_EQ(CharCount(""), 0u);

    struct Pos {
        const char* text;
        const char* needle;
        int32_t expected;
    };
    const Pos positions[] = {
        {"あいう", "う", 3}, {"ソ", "\\", 0},   // the trail byte of ソ is "\"
        {"表示", "\\", 0},   {"abcabc", "ca", 3}, {"abc", "", 0}, {"ab", "abc", 0}, {"aあb", "b", 3}, {"", "a", 0},
    };
    for (const Pos& p : positions)
        EXPECT_EQ(CharPosition(p.text, p.needle), p.expected) << p.text << "/" << p.needle;

    struct Count {
        const char* text;
        const char* word;
        int32_t expected;
    };
    const Count counts[] = {
        {"aaaa", "aa", 2}, {"abcabc", "bc", 2}, {"ソソ", "\\", 0}, {"abc", "", 0}, {"あいあい", "あい", 2},
    };
    for (const Count& c : counts)
        EXPECT_EQ(CountMatches(c.text, c.word), c.expected) << c.text;
}

TEST(StringsText, ExtractingByPosition)
{
    struct Case {
        std::string (*fn)(std::string_view, int64_t);
        const char* text;
        int64_t n;
        const char* expected;
    };
    const Case cases[] = {
        {LeftChars, "あいう", 2, "あい"},        {LeftChars, "あいう", 0, ""},
        {LeftChars, "あいう", -1, ""},           {LeftChars, "あいう", 9, "あいう"},
        {RightChars, "あいう", 5, "あいう"},     {RightChars, "あいう", 1, "う"},
        {RightChars, "あいう", 0, ""},           {DropRightChars, "あいう", 1, "あい"},
        {DropRightChars, "あいう", 0, "あいう"}, {DropRightChars, "あいう", 3, ""},
        {DropRightChars, "あいう", 7, ""},       {DropLeftChars, "あいう", 1, "いう"},
        {DropLeftChars, "あいう", -2, "あいう"}, {DropLeftChars, "あいう", 3, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.fn(c.text, c.n), c.expected) << c.text << " " << c.n;

    struct Mid {
        bool bytes;
        const char* text;
        int64_t start, count;
        std::string expected;
    };
    const Mid mids[] = {
        {false, "abc", 0, 2, "a"},   // a start below 1 does not move the end
        {false, "abc", 2, 5, "bc"}, {false, "あいう", 2, 1, "い"},
        {false, "abc", 4, 1, ""},   {false, "abc", 1, 0, ""},
        {false, "abc", -5, 2, ""},  {true, "あいう", 2, 2, "\xA0\x82"},   // trail byte of あ, lead byte of い
        {true, "abc", 0, 2, "ab"},                                        // start below 1 counts as 1
        {true, "abc", 3, 9, "c"},   {true, "abc", 4, 1, ""},
        {true, "abc", 1, -1, ""},
    };
    for (const Mid& m : mids)
        EXPECT_EQ(m.bytes ? MidBytes(m.text, m.start, m.count) : MidChars(m.text, m.start, m.count), m.expected)
            << m.text << " " << m.start << " " << m.count;
}

TEST(StringsText, LinesAndParagraphs)
{
    struct Lines {
        const char* text;
        int32_t expected;
    };
    const Lines lines[] = {
        {"", 0}, {"\r\n", 1}, {"a", 1}, {"a\r\nb", 2}, {"a\nb\rc", 3}, {"a\r\n\r\n", 2}, {"a\n\n", 2},
    };
    for (const Lines& l : lines)
        EXPECT_EQ(LineCount(l.text), l.expected) << l.text;

    const char* text = "p1\r\nline\r\n\r\np2\r\r\rp3";
    struct Para {
        int64_t index;
        const char* expected;
    };
    const Para paras[] = {
        {1, "p1\r\nline\r\n\r\n"}, {2, "p2\r\r\r"}, {3, "p3"}, {4, ""}, {0, ""}, {-1, ""},
    };
    for (const Para& p : paras)
        EXPECT_EQ(Paragraph(text, p.index), p.expected) << p.index;
    EXPECT_EQ(Paragraph("a\n\nb", 1), "a\n\nb");   // LF-only text is one paragraph
    EXPECT_EQ(Paragraph("a\r\n\r\n", 2), "");
}

TEST(StringsText, SplittingIntoPieces)
{
    struct Case {
        const char* text;
        const char* sep;
        std::vector<std::string> pieces;
    };
    const Case cases[] = {
        {"a,b,", ",", {"a", "b"}},    {",a", ",", {"", "a"}}, {"a,,b", ",", {"a", "", "b"}}, {"ソ", "\\", {"ソ"}},
        {"aXYbXY", "XY", {"a", "b"}}, {"", ",", {}},          {"abc", "", {"abc"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SplitPieces(c.text, c.sep), c.pieces) << c.text;
}

TEST(StringsText, CuttingFromAVariable)
{
    struct Case {
        const char* source;
        const char* delim;
        const char* piece;
        const char* rest;
    };
    const Case plain[] = {
        {"key=value", "=", "key", "value"},
        {"key=value", ";", "key=value", ""},
        {"a==b", "=", "a", "=b"},
        {"ソ=x", "\\", "ソ=x", ""},
    };
    for (const Case& c : plain) {
        Cut cut = CutBefore(c.source, c.delim);
        EXPECT_EQ(cut.piece, c.piece) << c.source;
        EXPECT_EQ(cut.rest, c.rest) << c.source;
    }
    const Case escaped[] = {
        {"a\\,b,c", ",", "a\\,b", "c"}, {"abc", ",", "abc", ""},
        {"表,x", ",", "表", "x"},         // 表 ends in the escape byte but is one character
        {"a\\表,b", ",", "a\\表", "b"},   // an escaped two-byte character is copied whole
        {"ab\\", ",", "ab\\", ""},
    };
    for (const Case& c : escaped) {
        Cut cut = CutEscaped(c.source, c.delim, '\\');
        EXPECT_EQ(cut.piece, c.piece) << c.source;
        EXPECT_EQ(cut.rest, c.rest) << c.source;
    }

    struct Range {
        const char* value;
        const char* from;
        const char* to;
        bool found;
        const char* piece;
        const char* rest;
    };
    const Range ranges[] = {
        {"x<b>y</b>z", "<b>", "</b>", true, "<b>y</b>", "xz"},
        {"x<b>y", "<b>", "</b>", true, "<b>y", "x"},
        {"xyz", "<b>", "</b>", false, "", ""},
        {"a*b*c", "*", "*", true, "*", "ab*c"},   // the end marker may match at the start marker
    };
    for (const Range& r : ranges) {
        Cut cut;
        EXPECT_EQ(CutRange(r.value, r.from, r.to, cut), r.found) << r.value;
        if (!r.found)
            continue;
        EXPECT_EQ(cut.piece, r.piece) << r.value;
        EXPECT_EQ(cut.rest, r.rest) << r.value;
    }
}

TEST(StringsText, TrimOkuriganaAndTags)
{
    struct Case {
        std::string (*fn)(std::string_view);
        const char* input;
        const char* expected;
    };
    const Case cases[] = {
        {TrimBlanks, "  a b \t\r\n", "a b"},
        {TrimBlanks, "　 abc　　", "abc"},
        {TrimBlanks, "　\t", ""},
        {TrimBlanks, "ソ ", "ソ"},
        {TrimBlanks, "\x81\x40x\x81\x40", "x"},
        {DeleteOkurigana, "送り仮名", "送仮名"},
        {DeleteOkurigana, "書きます", "書"},
        {DeleteOkurigana, "ひらがな", "ひらがな"},
        {DeleteOkurigana, "食べ物", "食物"},
        {DeleteOkurigana, "abc", "abc"},
        {DeleteOkurigana, "ぁ漢", "ぁ漢"},   // ぁ lies below the hiragana range
        {DeleteTags, " <b>bold</b> and <i>表</i> ", "bold and 表"},
        {DeleteTags, "a>b<c", "ab"},
        {DeleteTags, "<漢字>x", "x"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.fn(c.input), c.expected) << c.input;

    struct Tags {
        const char* text;
        const char* name;
        const char* expected;
    };
    const Tags tags[] = {
        {"x<b>1</b>y<B>2</B>z", "b", "<b>1</b>\r\n<B>2</B>\r\n"},
        {"x<b>1</b>y", "<b>", "<b>1</b>\r\n"},
        {"<abbr>t</abbr>", "a", "<abbr>t</abbr>\r\n"},
        {"<b>1<b>2</b>3</b>", "b", "<b>1<b>2</b>\r\n"},
        {"<img src=a>text", "img", "<img src=a>\r\n"},
        {"<Bo>x</Bo>", "bo", ""},
        {"text<b>", "b", ""},
        {"none", "b", ""},
    };
    for (const Tags& t : tags)
        EXPECT_EQ(ExtractTags(t.text, t.name), t.expected) << t.text;
}

TEST(StringsText, ReplacingAndBuilding)
{
    struct Rep {
        const char* text;
        const char* search;
        const char* repl;
        const char* expected;
    };
    const Rep reps[] = {
        {"aaa", "a", "aa", "aaaaaa"}, {"ソ", "\\", "X", "ソ"},   {"abc", "", "X", "abc"},
        {"abc", "z", "X", "abc"},     {"a-b-c", "-", "", "abc"}, {"表示表示", "表", "ひょう", "ひょう示ひょう示"},
    };
    for (const Rep& r : reps)
        EXPECT_EQ(ReplaceAll(r.text, r.search, r.repl), r.expected) << r.text;

    EXPECT_EQ(Repeat("ab", 3), "ababab");
    EXPECT_EQ(Repeat("ab", 0), "");
    EXPECT_EQ(Repeat("ab", -2), "");
    EXPECT_EQ(PadLeft("12", 5, '0'), "00012");
    EXPECT_EQ(PadLeft("あ", 3, ' '), " あ");   // widths count bytes
    EXPECT_EQ(PadLeft("abc", 2, ' '), "abc");
}

TEST(StringsText, LineFilling)
{
    const char* kinsoku = "、。，．・？！゛゜ヽヾゝゞ々ー）］｝」』!),.:;?]}｡｣､･ｰﾞﾟ";
    struct Case {
        const char* text;
        int64_t width;
        int64_t tab;
        const char* expected;
    };
    const Case cases[] = {
        {"abcdefghijkl", 10, 8, "abcdefghij\r\nkl"},
        {"あいうえお", 4, 8, "あい\r\nうえ\r\nお"},
        {"あいう、えお", 6, 8, "あいう、\r\nえお"},   // 、 would begin a line
        {"abcdefghij、k", 10, 8, "abcdefghij、\r\nk"},
        {"abcdefghij\r\nk", 10, 8, "abcdefghij\r\n\r\nk"},   // soft break, then the hard one
        {"ab\r\ncd\n\nef", 10, 8, "ab\r\ncd\r\nef"},         // two LFs are one break
        {"ab\r\n。cd", 10, 8, "ab。\r\ncd"},
        {"a\tb", 4, 8, "a\t\r\nb"},
        {"abc", 0, 8, "abc"},
        {"ab", 1, 8, "a\r\nb"},
        {"あ", 1, 8, "\r\nあ"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FillLines(c.text, c.width, c.tab, kinsoku), c.expected) << c.text;
    EXPECT_EQ(FillLines("ab、c", 2, 8, ""), "ab\r\n、\r\nc");
    // a one-byte kinsoku character is matched only as a whole character
    EXPECT_EQ(FillLines("ab\\", 2, 8, "ソ"), "ab\r\n\\");
}

TEST(StringsText, CharacterTestsAndCodes)
{
    struct Case {
        bool (*fn)(std::string_view);
        const char* text;
        bool expected;
    };
    const Case cases[] = {
        {FirstIsUpper, "Abc", true},    {FirstIsUpper, "Ａ", true},      {FirstIsUpper, "a", false},
        {FirstIsUpper, "", false},      {FirstIsDigit, "5", true},       {FirstIsDigit, "５x", true},
        {FirstIsDigit, "x5", false},    {FirstIsWide, "あ", true},       {FirstIsWide, "ｱ", false},
        {FirstIsWide, "", false},       {FirstIsHiragana, "あ", true},   {FirstIsHiragana, "ぁ", false},
        {FirstIsHiragana, "ア", false}, {FirstIsHiragana, "a", false},   {FirstIsKatakana, "ア", true},
        {FirstIsKatakana, "ヶ", true},  {FirstIsKatakana, "あ", false},  {FirstIsKatakana, "", false},
        {IsNumberString, "123", true},  {IsNumberString, "1.2.3", true}, {IsNumberString, "1e+5", true},
        {IsNumberString, "-5", false},  {IsNumberString, "", false},     {IsNumberString, "12a", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.fn(c.text), c.expected) << c.text;

    EXPECT_EQ(CodeOfFirstChar("あ"), 33440);
    EXPECT_EQ(CodeOfFirstChar("A"), 65);
    EXPECT_EQ(CodeOfFirstChar("\x82"), 0x8200);
    EXPECT_EQ(CharOfCode(33440), "あ");
    EXPECT_EQ(CharOfCode(65), "A");
    EXPECT_EQ(CharOfCode(0), std::string(1, '\0'));
    for (int code : {0x41, 0x82A0, 0x95C5, 0xEAA4})
        EXPECT_EQ(CodeOfFirstChar(CharOfCode(code)), code);
}
