// The shared text helpers of core/text.h and core/sjis.h, at the edges where the
// copies they replaced behaved differently.
#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "core/sjis.h"
#include "core/text.h"

namespace {

using Lines = std::vector<std::string>;

TEST(SplitLines, BreaksAndTheLastLine)
{
    const struct {
        std::string input;
        Lines lines;
    } cases[] = {
        {"", {}},
        {"\r\n", {""}},
        {"a", {"a"}},
        {"a\r\n", {"a"}},
        {"a\n\n", {"a", ""}},
        {"a\r\rb", {"a", "", "b"}},
        {"a\r\r\nb", {"a", "", "b"}},
        {"a\n\rb", {"a", "", "b"}},
        {"a\nb\rc\r\nd", {"a", "b", "c", "d"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SplitLines(c.input), c.lines) << c.input;
        EXPECT_EQ(SplitLines(c.input, true), c.lines) << c.input;
        const std::vector<std::string_view> views = SplitLineViews(c.input);
        EXPECT_EQ(Lines(views.begin(), views.end()), c.lines) << c.input;
    }
}

TEST(SplitLines, CharacterWiseKeepsALeadByteWithTheByteAfterIt)
{
    // A lead byte followed by CR only occurs in a broken text: read character-wise
    // the CR is its second byte, read byte-wise it ends the line.
    const std::string broken = "\x81\r\nb";
    EXPECT_EQ(SplitLines(broken), (Lines{"\x81", "b"}));
    EXPECT_EQ(SplitLines(broken, true), (Lines{"\x81\r", "b"}));
    // A lead byte at the very end is a character by itself.
    EXPECT_EQ(SplitLines("a\n\x81", true), (Lines{"a", "\x81"}));
    // "ソ" ends in 0x5C and "ア" in 0x41; neither is taken for anything else.
    const std::string so = "\x83\x5C", a = "\x83\x41";
    EXPECT_EQ(SplitLines(so + "\r\n" + a, true), (Lines{so, a}));
}

TEST(SplitLfLines, OnlyLfEndsALine)
{
    EXPECT_EQ(SplitLfLines(""), Lines{});
    EXPECT_EQ(SplitLfLines("a\r\nb\n"), (Lines{"a", "b"}));
    EXPECT_EQ(SplitLfLines("a\rb\n"), (Lines{"a\rb"}));
    EXPECT_EQ(SplitLfLines("a\r\r\n"), (Lines{"a\r"}));
    EXPECT_EQ(SplitLfLines("\n\nc"), (Lines{"", "", "c"}));
}

TEST(Trim, ControlBytesOrOnlySpacesAndBreaks)
{
    EXPECT_EQ(Trim("\x01 \t a b \r\n\x1F"), "a b");
    EXPECT_EQ(TrimSpacesAndBreaks("\x01 \t a b \r\n\x1F"), "\x01 \t a b \r\n\x1F");
    EXPECT_EQ(TrimSpacesAndBreaks(" \t a b \r\n"), "a b");
    EXPECT_EQ(TrimSpacesAndBreaks(" \r\n\t"), "");
    EXPECT_EQ(Trim(""), "");
}

TEST(LowerAscii, ByteWiseAndCharacterWise)
{
    EXPECT_EQ(LowerAscii("Security.INI"), "security.ini");
    EXPECT_EQ(LowerAscii(""), "");
    // "ア" is 0x83 0x41: its second byte looks like "A".
    const std::string a = "\x83\x41";
    EXPECT_EQ(LowerAscii("X" + a + "Y"), "x\x83\x61y");
    EXPECT_EQ(LowerAsciiSjis("X" + a + "Y"), "x" + a + "y");
    // A lead byte that ends the text takes nothing with it.
    EXPECT_EQ(LowerAsciiSjis("AB\x83"), "ab\x83");
    // UTF-8 bytes are all 0x80 or above and stay as they are.
    EXPECT_EQ(LowerAscii("\xC3\x89T\xC3\xA9"), "\xC3\x89t\xC3\xA9");
}

TEST(HexDigit, EveryDigitAndItsNeighbours)
{
    const std::string digits = "0123456789abcdef";
    for (int v = 0; v < 16; ++v) {
        EXPECT_EQ(HexDigit(digits[v]), v);
        EXPECT_EQ(HexDigit(static_cast<char>(std::toupper(digits[v]))), v);
    }
    for (char c : std::string("/:@G`gx \x81"))
        EXPECT_EQ(HexDigit(c), -1) << static_cast<int>(c);
}

TEST(CharLenAt, LeadBytesAndTheEndOfTheText)
{
    const std::string t = "A\x83\x41\x81";
    EXPECT_FALSE(IsLeadAt(t, 0));
    EXPECT_TRUE(IsLeadAt(t, 1));
    EXPECT_FALSE(IsLeadAt(t, 3));   // lead byte without a second byte
    EXPECT_EQ(CharLenAt(t, 0), 1u);
    EXPECT_EQ(CharLenAt(t, 1), 2u);
    EXPECT_EQ(CharLenAt(t, 3), 1u);
    EXPECT_EQ(CharLenAt("\xE0\x40", 0), 2u);
    EXPECT_EQ(CharLenAt("\xA0\x40", 0), 1u);   // half-width katakana: one byte
}

}   // namespace
