// The window-free parts of the dialogs: argument splitting, file filters, font
// choice texts, line-protocol answers, progress reports and dialog geometry.
#include <gtest/gtest.h>

#include "commands/dialogs/dialogs.h"

namespace {

using Items = std::vector<std::string>;

TEST(DialogArguments, ListChoiceItems)
{
    const struct {
        std::string text;
        Items items;
    } cases[] = {
        {"A｜B|C", {"A", "B", "C"}},
        {"A\r\nB\nC\rD", {"A", "B", "C", "D"}},
        {"A||B", {"A", "", "B"}},
        {"A|", {"A"}},
        {"", {}},
        {"ポ|ソ", {"ポ", "ソ"}},   // 0x7C as a trail byte is no separator
        {"一つ", {"一つ"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ListChoiceItems(c.text), c.items) << c.text;
}

TEST(DialogArguments, ButtonChoicesAreTrimmedLines)
{
    EXPECT_EQ(ButtonChoiceItems("  はい\r\nいいえ\r\n\r\n"), (Items{"はい", "いいえ"}));
    EXPECT_EQ(ButtonChoiceItems("A|B"), (Items{"A|B"}));   // bars do not separate here
    EXPECT_EQ(ButtonChoiceItems(" \r\n "), Items{});
}

TEST(DialogArguments, EntryTag)
{
    const struct {
        const char* entry;
        const char* tag;
    } cases[] = {
        {"123", "e"}, {"abc", "s"}, {"1abc", "e"}, {"$FF", "e"}, {"0", "e"},
        {"-1", "s"},  {" 1", "s"},  {"１２", "s"}, {"九", "s"},
    };
    for (const auto& c : cases)
        EXPECT_STREQ(EntryTag(c.entry), c.tag) << c.entry;
}

// ---- file filters ----

std::string Pairs(const std::vector<TDialogFilter>& filter)
{
    std::string out;
    for (const TDialogFilter& f : filter)
        out += "[" + f.Description + "][" + f.Pattern + "]";
    return out;
}

TEST(FileFilters, FromTheFileType)
{
    const struct {
        const char* type;
        const char* pairs;
        const char* defaultExt;
        const char* qt;
    } cases[] = {
        {"txt", "[txt 形式(*.txt)][*.txt][全て(*.*)][*.*]", "txt", "txt 形式(*.txt);;全て(*)"},
        {".csv", "[csv 形式(*.csv)][*.csv][全て(*.*)][*.*]", "csv", "csv 形式(*.csv);;全て(*)"},
        {"CSV|*.csv", "[CSV][*.csv]", "csv", "CSV (*.csv)"},
        {"画像|*.jpg;*.png|全部|*.*", "[画像][*.jpg;*.png][全部][*.*]", "jpg", "画像 (*.jpg *.png);;全部 (*)"},
        {"CSV|*.csv|残り", "[CSV][*.csv]", "csv", "CSV (*.csv)"},   // the unpaired field is dropped
        {"|", "[][]", "", ""},
        {"すべて|*.*", "[すべて][*.*]", "", "すべて (*)"},
        {"", "[全て(*.*)][*.*]", "", "全て(*)"},
        {"ソ|*.ソ", "[ソ][*.ソ]", "ソ", "ソ (*.ソ)"},
    };
    for (const auto& c : cases) {
        const std::vector<TDialogFilter> filter = FileDialogFilter(c.type);
        EXPECT_EQ(Pairs(filter), c.pairs) << c.type;
        EXPECT_EQ(DefaultExtension(filter), c.defaultExt) << c.type;
        EXPECT_EQ(QtFilterText(filter), c.qt) << c.type;
    }
    EXPECT_EQ(QtFilterText(MemoFileFilter()), "*.txt (*.txt);;すべてのファイル (*)");
    EXPECT_EQ(DefaultExtension(MemoFileFilter()), "txt");
    EXPECT_EQ(DefaultExtension({}), "");
}

// ---- font choice texts ----

TEST(FontChoiceTexts, Format)
{
    const struct {
        TFontChoice font;
        const char* text;
    } cases[] = {
        {{"ＭＳ 明朝", false, false, false, 12}, "ＭＳ 明朝||12"},
        {{"ＭＳ ゴシック", true, false, false, 10}, "ＭＳ ゴシック|太字|10"},
        {{"IPAGothic", true, true, true, 0}, "IPAGothic|太字傾斜下線"},
        {{"IPAGothic", false, true, true, 9}, "IPAGothic|傾斜下線|9"},
        {{"IPAGothic", false, false, false, 0}, "IPAGothic"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FormatFontChoice(c.font), c.text);
        TFontChoice back;
        ASSERT_TRUE(ParseFontChoice(c.text, back)) << c.text;
        EXPECT_EQ(FormatFontChoice(back), c.text);
    }
}

TEST(FontChoiceTexts, Parse)
{
    TFontChoice f;
    ASSERT_TRUE(ParseFontChoice(" ＭＳ 明朝 ｜ボールド イタリック｜ 14 ", f));
    EXPECT_EQ(f.Face, "ＭＳ 明朝");
    EXPECT_TRUE(f.Bold);
    EXPECT_TRUE(f.Italic);
    EXPECT_FALSE(f.Underline);
    EXPECT_EQ(f.Size, 14);
    ASSERT_TRUE(ParseFontChoice("A|罫線|x", f));
    EXPECT_TRUE(f.Underline);
    EXPECT_EQ(f.Size, 0);
    EXPECT_FALSE(ParseFontChoice("", f));
    EXPECT_FALSE(ParseFontChoice(" |太字|10", f));
    EXPECT_EQ(f.Face, "A");   // a refused text leaves the choice alone
}

// ---- line-protocol answers ----

TEST(LineAnswers, YesNo)
{
    const struct {
        const char* line;
        int two, three;
    } cases[] = {
        {"はい", 1, 1}, {"y", 1, 1},       {"YES", 1, 1}, {" 1 ", 1, 1},         {"いいえ", 0, 0},
        {"n", 0, 0},    {"No", 0, 0},      {"0", 0, 0},   {"キャンセル", -1, 2}, {"c", -1, 2},
        {"2", -1, 2},   {"cancel", -1, 2}, {"", -1, -1},  {"ok", -1, -1},        {"yess", -1, -1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(YesNoAnswer(c.line, false), c.two) << c.line;
        EXPECT_EQ(YesNoAnswer(c.line, true), c.three) << c.line;
    }
}

TEST(LineAnswers, Choice)
{
    const Items items = {"赤", "青", "2", "黄"};
    const struct {
        const char* line;
        int index;
    } cases[] = {
        {"赤", 0}, {"青", 1}, {" 黄 ", 3}, {"2", 2},   // a choice's own text wins over its number
        {"1", 0},  {"4", 3},  {"5", -1},   {"0", -1}, {"", -1}, {"緑", -1}, {"99999999999", -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ChoiceAnswer(c.line, items), c.index) << c.line;
}

TEST(LineAnswers, Colour)
{
    const struct {
        const char* line;
        bool ok;
        int32_t colour;
    } cases[] = {
        {"#FF0000", true, 255},       {"#00ff00", true, 65280}, {"#0000FF", true, 16711680},
        {"16777215", true, 16777215}, {" 255 ", true, 255},     {"0", true, 0},
        {"16777216", false, 0},       {"-1", false, 0},         {"#12345", false, 0},
        {"#GG0000", false, 0},        {"赤", false, 0},         {"", false, 0},
    };
    for (const auto& c : cases) {
        int32_t colour = -7;
        EXPECT_EQ(ColourAnswer(c.line, colour), c.ok) << c.line;
        EXPECT_EQ(colour, c.ok ? c.colour : -7) << c.line;
    }
}

// ---- progress ----

TEST(Progress, Percent)
{
    EXPECT_EQ(ProgressPercent(0, 100), 0);
    EXPECT_EQ(ProgressPercent(50, 200), 25);
    EXPECT_EQ(ProgressPercent(199, 200), 99);
    EXPECT_EQ(ProgressPercent(300, 200), 100);
    EXPECT_EQ(ProgressPercent(5, 0), 0);
    EXPECT_EQ(ProgressPercent(-5, 10), 0);
    EXPECT_EQ(ProgressPercent(INT64_MAX / 2, INT64_MAX), 49);   // no overflow
}

TEST(Progress, AtMostOneReportASecond)
{
    TProgressThrottle t;
    EXPECT_TRUE(t.Due(5000));
    EXPECT_FALSE(t.Due(5001));
    EXPECT_FALSE(t.Due(5999));
    EXPECT_TRUE(t.Due(6000));
    EXPECT_FALSE(t.Due(6500));
    EXPECT_TRUE(t.Due(8000));
    t.Reset();
    EXPECT_TRUE(t.Due(8001));
}

// ---- geometry ----

TEST(DialogGeometry, MessageBox)
{
    // A wide label: the client is its width plus 16, the button 8 below it.
    TMessageBoxGeometry g = MessageBoxGeometry(200, 40, 75, 25, 500);
    EXPECT_EQ(g.Label, (TRectI{8, 8, 200, 40}));
    EXPECT_EQ(g.Button, (TRectI{(216 - 75) / 2, 56, 75, 25}));
    EXPECT_EQ(g.ClientW, 216);
    EXPECT_EQ(g.ClientH, 89);
    // A narrow label: at least 100 wide.
    g = MessageBoxGeometry(20, 16, 75, 25, 500);
    EXPECT_EQ(g.ClientW, 100);
    EXPECT_EQ(g.Button.X, 12);
    // A tall label: the button's top stays at the height limit.
    g = MessageBoxGeometry(300, 900, 75, 25, 560);
    EXPECT_EQ(g.Button.Y, 560);
    EXPECT_EQ(g.ClientH, 593);
}

TEST(DialogGeometry, InputBoxAndChoiceDialog)
{
    TInputBoxGeometry in = InputBoxGeometry(100, 20, 24, 158, 25);
    EXPECT_EQ(in.ClientW, 300);
    EXPECT_EQ(in.Edit, (TRectI{8, 36, 284, 24}));
    EXPECT_EQ(in.Panel, (TRectI{71, 68, 158, 25}));
    EXPECT_EQ(in.ClientH, 101);
    EXPECT_EQ(InputBoxGeometry(400, 20, 24, 158, 25).ClientW, 416);

    TChoiceGeometry ch = ChoiceGeometry(100, 20, 120, 24, 158, 25);
    EXPECT_EQ(ch.ClientW, 280);
    EXPECT_EQ(ch.List, (TRectI{8, 36, 264, 120}));   // twice the label's top plus its height
    EXPECT_EQ(ch.Field, (TRectI{8, 164, 264, 24}));
    EXPECT_EQ(ch.Panel, (TRectI{61, 196, 158, 25}));
    EXPECT_EQ(ch.ClientH, 229);
    EXPECT_EQ(ChoiceGeometry(500, 20, 120, 24, 158, 25).ClientW, 516);
}

TEST(DialogGeometry, ButtonChooserRowOrColumn)
{
    // Three short choices on a wide main window: a row. h = 16, w = 40 * 1.3 = 52.
    TButtonChooserGeometry row = ButtonChooserGeometry(100, 20, 16, 40, 3, 640);
    ASSERT_TRUE(row.Row);
    ASSERT_EQ(row.Buttons.size(), 3u);
    EXPECT_EQ(row.Buttons[0], (TRectI{8, 36, 52, 25}));     // 32 * 0.8 = 25
    EXPECT_EQ(row.Buttons[1], (TRectI{65, 36, 52, 25}));    // 52 * 1.1 + 8 = 65.2
    EXPECT_EQ(row.Buttons[2], (TRectI{122, 36, 52, 25}));   // 104 * 1.1 + 8 = 122.4
    EXPECT_EQ(row.ClientW, 187);                            // 156 * 1.1 + 16 = 187.6
    EXPECT_EQ(row.ClientH, 16 + 32 + 20);

    // The label is wider than the row: the client reaches its right edge plus 8.
    EXPECT_EQ(ButtonChooserGeometry(300, 20, 16, 40, 3, 640).ClientW, 316);
    // One choice: w + 16.
    EXPECT_EQ(ButtonChooserGeometry(10, 20, 16, 40, 1, 640).ClientW, 68);

    // Many long choices: a column at the left edge of the centred width.
    TButtonChooserGeometry col = ButtonChooserGeometry(100, 20, 16, 200, 5, 640);
    ASSERT_FALSE(col.Row);
    ASSERT_EQ(col.Buttons.size(), 5u);
    EXPECT_EQ(col.ClientW, 260 + 16);   // the label is narrower than w = 260
    EXPECT_EQ(col.Buttons[0], (TRectI{8, 36, 260, 25}));
    EXPECT_EQ(col.Buttons[4], (TRectI{8, 36 + 4 * 32, 260, 25}));
    EXPECT_EQ(col.ClientH, 5 * 32 + 20 + 16);
    // A label wider than the buttons centres them.
    TButtonChooserGeometry wide = ButtonChooserGeometry(400, 20, 16, 200, 5, 640);
    EXPECT_EQ(wide.ClientW, 416);
    EXPECT_EQ(wide.Buttons[0].X, (416 - 260) / 2);

    // The rule itself: 0.8 * width > 1.1 * count * w, checked on both sides of it.
    // w = 100 (text 77 * 1.3 = 100.1); 3 choices need 330 * 1.25 = 412.5.
    EXPECT_FALSE(ButtonChooserGeometry(50, 20, 16, 77, 3, 412).Row);
    EXPECT_TRUE(ButtonChooserGeometry(50, 20, 16, 77, 3, 413).Row);
    // Texts narrower than 30 count as 30.
    EXPECT_EQ(ButtonChooserGeometry(10, 20, 16, 5, 2, 640).Buttons[0].W, 39);
    EXPECT_TRUE(ButtonChooserGeometry(10, 20, 16, 5, 0, 640).Buttons.empty());
}

}   // namespace
