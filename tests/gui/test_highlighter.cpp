// The colouring of the Tエディタ: each sort of word in its colour, comments to the
// end of the line or across lines, and the plain text between left alone.
#include <gtest/gtest.h>

#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

#include "gui/tedit.h"

namespace {

// The foreground colour at a position of a line; invalid where nothing was coloured.
QColor ColourAt(QTextDocument& doc, int line, int pos)
{
    const QTextBlock block = doc.findBlockByNumber(line);
    for (const QTextLayout::FormatRange& r : block.layout()->formats())
        if (pos >= r.start && pos < r.start + r.length)
            return r.format.foreground().color();
    return QColor();
}

bool BoldAt(QTextDocument& doc, int line, int pos)
{
    const QTextBlock block = doc.findBlockByNumber(line);
    for (const QTextLayout::FormatRange& r : block.layout()->formats())
        if (pos >= r.start && pos < r.start + r.length)
            return r.format.fontWeight() == QFont::Bold;
    return false;
}

const QColor kString(0xA0, 0x20, 0x20), kComment(0x20, 0x80, 0x20), kNumber(0x80, 0x00, 0x80),
    kParticle(0x00, 0x60, 0xA0), kCommand(0x00, 0x00, 0xC0), kLabel(0xB0, 0x50, 0x00);

}   // namespace

TEST(Highlighter, WordsOfEachSortInTheirColours)
{
    QTextDocument doc;
    // 0: 「 1-2: 文字 3: 」 4: を 5-6: 表示 7: space 8-11: 12.5 12: space 13: x 14: の
    doc.setPlainText(QStringLiteral("「文字」を表示 12.5 xの表示する\n*ラベル\n\"a\"と`b`"));
    TPoruHighlighter h(&doc, {QStringLiteral("表示"), QStringLiteral("表示する")});
    h.rehighlight();
    EXPECT_EQ(ColourAt(doc, 0, 0), kString);
    EXPECT_EQ(ColourAt(doc, 0, 3), kString);
    EXPECT_EQ(ColourAt(doc, 0, 4), kParticle);
    EXPECT_EQ(ColourAt(doc, 0, 5), kCommand);
    EXPECT_TRUE(BoldAt(doc, 0, 6));
    EXPECT_FALSE(ColourAt(doc, 0, 7).isValid());
    EXPECT_EQ(ColourAt(doc, 0, 8), kNumber);
    EXPECT_EQ(ColourAt(doc, 0, 11), kNumber);
    EXPECT_FALSE(ColourAt(doc, 0, 13).isValid());
    EXPECT_EQ(ColourAt(doc, 0, 14), kParticle);
    // The longest command word wins: 表示する, not 表示 and a particle.
    EXPECT_EQ(ColourAt(doc, 0, 15), kCommand);
    EXPECT_EQ(ColourAt(doc, 0, 18), kCommand);
    // A label line is coloured whole.
    EXPECT_EQ(ColourAt(doc, 1, 0), kLabel);
    EXPECT_EQ(ColourAt(doc, 1, 3), kLabel);
    // Both kinds of ASCII quotes.
    EXPECT_EQ(ColourAt(doc, 2, 1), kString);
    EXPECT_EQ(ColourAt(doc, 2, 3), kParticle);
    EXPECT_EQ(ColourAt(doc, 2, 5), kString);
}

TEST(Highlighter, CommentsRunToTheLineEndOrAcrossLines)
{
    QTextDocument doc;
    doc.setPlainText(QStringLiteral("x 'c 「s」\ny // c\nz /* a\nb\nc */ 1\n＃ full\n「open"));
    TPoruHighlighter h(&doc, {});
    h.rehighlight();
    EXPECT_FALSE(ColourAt(doc, 0, 0).isValid());
    EXPECT_EQ(ColourAt(doc, 0, 2), kComment);
    EXPECT_EQ(ColourAt(doc, 0, 6), kComment);   // a string inside a comment is comment
    EXPECT_EQ(ColourAt(doc, 1, 2), kComment);
    EXPECT_EQ(ColourAt(doc, 2, 2), kComment);
    EXPECT_EQ(doc.findBlockByNumber(2).userState(), 1);
    EXPECT_EQ(ColourAt(doc, 3, 0), kComment);
    EXPECT_EQ(ColourAt(doc, 4, 0), kComment);
    EXPECT_EQ(ColourAt(doc, 4, 3), kComment);
    EXPECT_EQ(ColourAt(doc, 4, 5), kNumber);   // after the comment closes
    EXPECT_EQ(doc.findBlockByNumber(4).userState(), 0);
    EXPECT_EQ(ColourAt(doc, 5, 0), kComment);
    // An unclosed string runs to the end of the line.
    EXPECT_EQ(ColourAt(doc, 6, 4), kString);
}
