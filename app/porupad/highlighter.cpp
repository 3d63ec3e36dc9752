#include "porupad/highlighter.h"

#include "langsvc/utf8.h"

TPrkHighlighter::TPrkHighlighter(QTextDocument* document) : QSyntaxHighlighter(document) {}

QTextCharFormat TPrkHighlighter::FormatOf(langsvc::TTokenKind kind) const
{
    using langsvc::TTokenKind;
    QTextCharFormat f;
    switch (kind) {
    case TTokenKind::Comment:
        f.setForeground(QColor(0x5f, 0x8a, 0x3a));
        f.setFontItalic(true);
        break;
    case TTokenKind::String:
        f.setForeground(QColor(0xa3, 0x15, 0x15));
        break;
    case TTokenKind::Embedded:
        f.setForeground(QColor(0x80, 0x40, 0x00));
        f.setBackground(QColor(0xff, 0xf4, 0xe0));
        break;
    case TTokenKind::Label:
        f.setForeground(QColor(0x80, 0x00, 0x80));
        f.setFontWeight(QFont::Bold);
        break;
    case TTokenKind::Number:
        f.setForeground(QColor(0x09, 0x86, 0x58));
        break;
    case TTokenKind::Control:
        f.setForeground(QColor(0xaf, 0x00, 0xdb));
        f.setFontWeight(QFont::Bold);
        break;
    case TTokenKind::Command:
        f.setForeground(QColor(0x00, 0x33, 0xb3));
        f.setFontWeight(QFont::Bold);
        break;
    case TTokenKind::Variable:
    case TTokenKind::Constant:
        f.setForeground(QColor(0x00, 0x70, 0xc1));
        break;
    case TTokenKind::Particle:
        f.setForeground(QColor(0xc0, 0x60, 0x00));
        break;
    case TTokenKind::Operator:
    case TTokenKind::Separator:
    case TTokenKind::Bracket:
        f.setForeground(QColor(0x60, 0x60, 0x60));
        break;
    case TTokenKind::Text:
        break;
    }
    return f;
}

void TPrkHighlighter::highlightBlock(const QString& text)
{
    int state = previousBlockState() < 0 ? langsvc::LineNormal : previousBlockState();
    const std::string line = text.toStdString();
    const std::vector<langsvc::TToken> tokens = langsvc::TokenizeLine(line, state);
    // Token offsets are UTF-8 bytes; Qt counts UTF-16 units.
    for (const langsvc::TToken& t : tokens) {
        if (t.Kind == langsvc::TTokenKind::Text)
            continue;
        const int begin = static_cast<int>(langsvc::Utf16OfColumn(line, langsvc::ColumnOfByte(line, t.Begin)));
        const int end = static_cast<int>(langsvc::Utf16OfColumn(line, langsvc::ColumnOfByte(line, t.End)));
        setFormat(begin, end - begin, FormatOf(t.Kind));
    }
    setCurrentBlockState(state);
}
