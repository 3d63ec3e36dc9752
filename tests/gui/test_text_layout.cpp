// Text preparation, colour texts and font texts.
#include <gtest/gtest.h>

#include <QFontDatabase>

#include "core/codec.h"
#include "gui/text_font.h"
#include "gui/text_layout.h"

namespace {

std::string S(const char* utf8)
{
    return Utf8ToSjis(utf8);
}

struct TExpandCase {
    const char* name;
    std::string input;
    int tabWidth;
    std::string expected;
};

TEST(TextLayout, ExpandTabsAndBreaks)
{
    const TExpandCase cases[] = {
        {"tab after one byte", "a\tb", 8, "a       b"},
        {"tab at a tab stop", "abcdefgh\tb", 8, "abcdefgh        b"},
        {"tab after two double-byte characters", S("漢字\tx"), 8, S("漢字") + "    x"},
        {"tab width four", "ab\tc", 4, "ab  c"},
        {"column restarts after a break", "abc\r\n\tx", 4, "abc\r\n    x"},
        {"lone LF", "a\nb", 8, "a\r\nb"},
        {"lone CR", "a\rb", 8, "a\r\nb"},
        {"LF CR is one break", "a\n\rb", 8, "a\r\nb"},
        {"CR CR are two breaks", "a\r\rb", 8, "a\r\n\r\nb"},
        {"LF LF are two breaks", "a\n\nb", 8, "a\r\n\r\nb"},
        {"width zero drops tabs", "a\tb", 0, "ab"},
        {"trail byte 0x5C is no escape", S("表\t"), 4, S("表") + "  "},
    };
    for (const TExpandCase& c : cases)
        EXPECT_EQ(ExpandTabsAndBreaks(c.input, c.tabWidth), c.expected) << c.name;
}

TEST(TextLayout, HugeTabWidthIsBounded)
{
    std::string out = ExpandTabsAndBreaks("\t", 2000000000);
    EXPECT_EQ(out.size(), static_cast<size_t>(kMaxTabWidth));
}

TEST(TextLayout, SplitLines)
{
    const struct {
        std::string input;
        std::vector<std::string> lines;
    } cases[] = {
        {"", {}},
        {"a", {"a"}},
        {"a\r\n", {"a"}},
        {"a\r\nb\r\n", {"a", "b"}},
        {"a\r\n\r\nb", {"a", "", "b"}},
        {"\r\n", {""}},
        {"a\nb\rc", {"a", "b", "c"}},
        {S("ソ\r\nA"), {S("ソ"), "A"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SplitLines(c.input), c.lines) << c.input;
}

TEST(TextLayout, CutNeverSplitsACharacter)
{
    std::string text(4095, 'a');
    text += S("あ");   // bytes 4095 and 4096
    EXPECT_EQ(CutAtCharBoundary(text, 4096).size(), 4095u);
    EXPECT_EQ(CutAtCharBoundary(text, 4097).size(), 4097u);
    EXPECT_EQ(CutAtCharBoundary("abc", 10), "abc");
}

TEST(TextLayout, LongDisplayTextIsCutAndNotExpanded)
{
    std::string shortText = "x\ty";
    EXPECT_EQ(DisplayLines(shortText, 4), std::vector<std::string>{"x   y"});

    std::string longText = "x\ty\r\n" + std::string(5000, 'z');
    std::vector<std::string> lines = DisplayLines(longText, 4);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "x\ty");
    EXPECT_EQ(lines[1].size(), kShowTextLimit - 5);
}

TEST(TextLayout, SayTextCutsAt4095Bytes)
{
    std::string text(5000, 'a');
    std::string out = SayText(text, 8);
    EXPECT_EQ(out, std::string(4095, 'a') + "...");
    EXPECT_EQ(SayText("a\tb", 8), "a       b");
}

TEST(TextLayout, FitLines)
{
    const std::string five = "1\r\n2\r\n3\r\n4\r\n5";
    EXPECT_EQ(FitLines(five, 10, 50), five);
    EXPECT_EQ(FitLines(five, 10, 49), "1\r\n2\r\n3\r\n4\r\n...");
    EXPECT_EQ(FitLines(five, 10, 25), "1\r\n2\r\n...");
    EXPECT_EQ(FitLines(five, 10, 5), "...");
}

TEST(TextLayout, ColourText)
{
    const struct {
        const char* text;
        int32_t def;
        int32_t expected;
    } cases[] = {
        {"#FF0000", 0, 255},
        {"#00ff00", 0, 65280},
        {"#0000FF", 0, 16711680},
        {"#123456", 0, 0x12 + 256 * 0x34 + 65536 * 0x56},
        {"255", 0, 255},
        {"-1", 0, -1},
        {"$FF", 0, 255},
        {"$8000000F", 0, static_cast<int32_t>(0x8000000Fu)},
        {"赤", 7, 7},
        {"#12", 7, 7},
        {"#GG0000", 7, 7},
        {"", 3, 3},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseColourText(S(c.text), c.def), c.expected) << c.text;
}

TEST(TextFont, ColourValues)
{
    QColor c = ColourFromValue(255 + 256 * 128 + 65536 * 1);
    EXPECT_EQ(c.red(), 255);
    EXPECT_EQ(c.green(), 128);
    EXPECT_EQ(c.blue(), 1);
    EXPECT_EQ(ValueFromColour(QColor(1, 2, 3)), 1 + 2 * 256 + 3 * 65536);
    // A system colour code is not read as RGB (its low byte would be red 15).
    EXPECT_NE(ColourFromValue(static_cast<int32_t>(0x8000000Fu)), QColor(15, 0, 0));
}

TEST(TextFont, FontTexts)
{
    const QStringList installed = {QStringLiteral("ＭＳ ゴシック"), QStringLiteral("ＭＳ 明朝"),
                                   QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("IPAGothic")};
    const struct {
        const char* text;
        const char* face;
        bool bold, italic, underline;
        int size;
    } cases[] = {
        {"ＭＳ 明朝｜太字 斜体｜14", "ＭＳ 明朝", true, true, false, 14},
        {"ＭＳ 明朝|ボールド|9", "ＭＳ 明朝", true, false, false, 9},
        {"ms　明朝", "ＭＳ 明朝", false, false, false, 0},
        {"ＭＳ明朝||20", "ＭＳ 明朝", false, false, false, 20},
        {"ipagothic|下線", "IPAGothic", false, false, true, 0},
        {"ＭＳ Ｐゴシック｜イタリック アンダーライン", "ＭＳ Ｐゴシック", false, true, true, 0},
        {"存在しない書体｜太字｜12", "ＭＳ ゴシック", true, false, false, 12},
        {"｜｜", "ＭＳ ゴシック", false, false, false, 0},
        {"", "ＭＳ ゴシック", false, false, false, 0},
        {"ＭＳ ゴシック｜罫線｜１６", "ＭＳ ゴシック", false, false, true, 16},
    };
    for (const auto& c : cases) {
        TFontDesc desc = ParseFontText(QString::fromUtf8(c.text), installed);
        EXPECT_EQ(desc.Face, QString::fromUtf8(c.face)) << c.text;
        EXPECT_EQ(desc.Bold, c.bold) << c.text;
        EXPECT_EQ(desc.Italic, c.italic) << c.text;
        EXPECT_EQ(desc.Underline, c.underline) << c.text;
        EXPECT_EQ(desc.Size, c.size) << c.text;
    }
}

TEST(TextFont, ClassicFacesMapToInstalledFonts)
{
    const struct {
        const char* face;
        const char* family;
    } cases[] = {
        {"ＭＳ ゴシック", "IPAGothic"}, {"ＭＳ 明朝", "IPAMincho"},     {"ＭＳ Ｐゴシック", "IPAPGothic"},
        {"ＭＳ Ｐ明朝", "IPAPMincho"},  {"MS UI Gothic", "IPAPGothic"}, {"ms ゴシック", "IPAGothic"},
        {"ＭＳ　ｺﾞｼｯｸ", "IPAGothic"},   {"ms p明朝", "IPAPMincho"},     {"DejaVu Sans", "DejaVu Sans"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MapFaceName(QString::fromUtf8(c.face)), QString::fromUtf8(c.family)) << c.face;
    // The mapped families are the ones the run-time draws with: they must exist.
    const QStringList families = QFontDatabase::families();
    for (const char* f : {"IPAGothic", "IPAMincho", "IPAPGothic"})
        EXPECT_TRUE(families.contains(QString::fromUtf8(f))) << f;
    EXPECT_TRUE(InstalledFaces().contains(QStringLiteral("ＭＳ ゴシック")));
}

TEST(TextFont, FontFromDescTakesDefaultSize)
{
    TFontDesc desc;
    desc.Face = QStringLiteral("ＭＳ 明朝");
    desc.Bold = true;
    QFont f = FontFromDesc(desc, 20);
    EXPECT_EQ(f.family(), QStringLiteral("IPAMincho"));
    EXPECT_EQ(f.pointSize(), 20);
    EXPECT_TRUE(f.bold());
    desc.Size = 9;
    EXPECT_EQ(FontFromDesc(desc, 20).pointSize(), 9);
    desc.Size = 0;
    EXPECT_EQ(FontFromDesc(desc, 0).pointSize(), 12);
}

}   // namespace
