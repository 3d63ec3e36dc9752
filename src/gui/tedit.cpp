#include "gui/tedit.h"

#include <QFontDatabase>
#include <QPainter>
#include <QTextBlock>

#include "core/codec.h"
#include "interp/builtins.h"
#include "services/qt_text.h"

namespace {

// Particles that bind phrases to command slots.
const QStringList& Particles()
{
    static const QStringList list = {
        QStringLiteral("から"), QStringLiteral("まで"), QStringLiteral("として"), QStringLiteral("を"),
        QStringLiteral("に"),   QStringLiteral("で"),   QStringLiteral("と"),     QStringLiteral("へ"),
        QStringLiteral("の"),   QStringLiteral("は"),   QStringLiteral("が"),
    };
    return list;
}

QTextCharFormat Format(const QColor& c, bool bold = false)
{
    QTextCharFormat f;
    f.setForeground(c);
    if (bold)
        f.setFontWeight(QFont::Bold);
    return f;
}

class TGutter : public QWidget {
public:
    explicit TGutter(TTextEditor* editor) : QWidget(editor), editor_(editor) {}
    QSize sizeHint() const override { return QSize(editor_->LineNumberWidth(), 0); }

protected:
    void paintEvent(QPaintEvent* e) override { editor_->PaintLineNumbers(e); }

private:
    TTextEditor* editor_;
};

}   // namespace

TPoruHighlighter::TPoruHighlighter(QTextDocument* doc, QSet<QString> commands)
    : QSyntaxHighlighter(doc), commands_(std::move(commands))
{
    for (const QString& c : commands_)
        longestCommand_ = std::max<int>(longestCommand_, static_cast<int>(c.size()));
}

const QTextCharFormat& TPoruHighlighter::CommentFormat()
{
    static const QTextCharFormat f = Format(QColor(0x20, 0x80, 0x20));
    return f;
}

void TPoruHighlighter::highlightBlock(const QString& text)
{
    static const QTextCharFormat labelFmt = Format(QColor(0xB0, 0x50, 0x00), true);
    const int n = static_cast<int>(text.size());
    int i = 0;
    // A block comment that began on an earlier line.
    if (previousBlockState() == 1) {
        const int end = text.indexOf(QStringLiteral("*/"));
        if (end < 0) {
            setFormat(0, n, CommentFormat());
            setCurrentBlockState(1);
            return;
        }
        setFormat(0, end + 2, CommentFormat());
        i = end + 2;
    }
    setCurrentBlockState(0);
    const QString trimmed = text.trimmed();
    if (i == 0 && (trimmed.startsWith(QLatin1Char('*')) || trimmed.startsWith(QChar(0xFF0A)))) {
        setFormat(0, n, labelFmt);
        return;
    }
    while (i < n) {
        int next = ScanComment(text, i);
        if (next == i)
            next = ScanString(text, i);
        if (next == i)
            next = ScanNumber(text, i);
        if (next == i)
            next = ScanCommand(text, i);
        i = next == i ? ScanParticle(text, i) : next;
    }
}

// Comments: '', //, #, ＃ to the end of the line; /* ... */ across lines.
int TPoruHighlighter::ScanComment(const QString& text, int i)
{
    const int n = static_cast<int>(text.size());
    const QChar c = text[i];
    if (c == QLatin1Char('\'') || c == QChar(0xFF07) || c == QLatin1Char('#') || c == QChar(0xFF03) ||
        text.mid(i, 2) == QStringLiteral("//")) {
        setFormat(i, n - i, CommentFormat());
        return n;
    }
    if (text.mid(i, 2) != QStringLiteral("/*"))
        return i;
    const int end = text.indexOf(QStringLiteral("*/"), i + 2);
    if (end < 0) {
        setFormat(i, n - i, CommentFormat());
        setCurrentBlockState(1);
        return n;
    }
    setFormat(i, end + 2 - i, CommentFormat());
    return end + 2;
}

// Strings: 「」, 『』, "", ``; an unclosed one runs to the end of the line.
int TPoruHighlighter::ScanString(const QString& text, int i)
{
    static const QTextCharFormat stringFmt = Format(QColor(0xA0, 0x20, 0x20));
    const int n = static_cast<int>(text.size());
    const QChar c = text[i];
    QChar close;
    if (c == QChar(0x300C))
        close = QChar(0x300D);
    else if (c == QChar(0x300E))
        close = QChar(0x300F);
    else if (c == QLatin1Char('"'))
        close = QLatin1Char('"');
    else if (c == QLatin1Char('`'))
        close = QLatin1Char('`');
    if (close.isNull())
        return i;
    int end = text.indexOf(close, i + 1);
    end = end < 0 ? n : end + 1;
    setFormat(i, end - i, stringFmt);
    return end;
}

int TPoruHighlighter::ScanNumber(const QString& text, int i)
{
    static const QTextCharFormat numberFmt = Format(QColor(0x80, 0x00, 0x80));
    const int n = static_cast<int>(text.size());
    if (!text[i].isDigit())
        return i;
    int j = i;
    while (j < n && (text[j].isDigit() || text[j] == QLatin1Char('.')))
        ++j;
    setFormat(i, j - i, numberFmt);
    return j;
}

// The longest command word starting here.
int TPoruHighlighter::ScanCommand(const QString& text, int i)
{
    static const QTextCharFormat commandFmt = Format(QColor(0x00, 0x00, 0xC0), true);
    const int n = static_cast<int>(text.size());
    for (int len = std::min(longestCommand_, n - i); len >= 2; --len)
        if (commands_.contains(text.mid(i, len))) {
            setFormat(i, len, commandFmt);
            return i + len;
        }
    return i;
}

// A particle, or else one plain character.
int TPoruHighlighter::ScanParticle(const QString& text, int i)
{
    static const QTextCharFormat particleFmt = Format(QColor(0x00, 0x60, 0xA0));
    for (const QString& p : Particles())
        if (text.mid(i, p.size()) == p) {
            setFormat(i, static_cast<int>(p.size()), particleFmt);
            return i + static_cast<int>(p.size());
        }
    return i + 1;
}

TTextEditor::TTextEditor(QWidget* parent) : QPlainTextEdit(parent)
{
    gutter_ = new TGutter(this);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    connect(this, &QPlainTextEdit::blockCountChanged, this, [this] { UpdateMargins(); });
    connect(this, &QPlainTextEdit::updateRequest, this, [this](const QRect& r, int dy) {
        if (dy)
            gutter_->scroll(0, dy);
        else
            gutter_->update(0, r.y(), gutter_->width(), r.height());
    });
    SetTabColumns(4);
    UpdateMargins();
}

int TTextEditor::LineNumberWidth() const
{
    int digits = 1;
    for (int max = std::max(1, blockCount()); max >= 10; max /= 10)
        ++digits;
    return 6 + fontMetrics().horizontalAdvance(QLatin1Char('9')) * std::max(digits, 2);
}

void TTextEditor::SetTabColumns(int columns)
{
    tabColumns_ = std::max(1, columns);
    setTabStopDistance(fontMetrics().horizontalAdvance(QLatin1Char(' ')) * tabColumns_);
}

void TTextEditor::UpdateMargins()
{
    setViewportMargins(LineNumberWidth(), 0, 0, 0);
}

void TTextEditor::resizeEvent(QResizeEvent* e)
{
    QPlainTextEdit::resizeEvent(e);
    const QRect cr = contentsRect();
    gutter_->setGeometry(QRect(cr.left(), cr.top(), LineNumberWidth(), cr.height()));
}

void TTextEditor::PaintLineNumbers(QPaintEvent* e)
{
    QPainter p(gutter_);
    p.fillRect(e->rect(), palette().color(QPalette::Button));
    p.setPen(palette().color(QPalette::Dark));
    QTextBlock block = firstVisibleBlock();
    int number = block.blockNumber();
    int top = qRound(blockBoundingGeometry(block).translated(contentOffset()).top());
    int bottom = top + qRound(blockBoundingRect(block).height());
    while (block.isValid() && top <= e->rect().bottom()) {
        if (block.isVisible() && bottom >= e->rect().top())
            p.drawText(0, top, gutter_->width() - 3, fontMetrics().height(), Qt::AlignRight,
                       QString::number(number + 1));
        block = block.next();
        top = bottom;
        bottom = top + qRound(blockBoundingRect(block).height());
        ++number;
    }
}

QPlainTextEdit* CreateTEditor(TPoruBase& st, QWidget* parent)
{
    auto* editor = new TTextEditor(parent);
    // The command words of the registry, as an editor shows them.
    static const QSet<QString> commands = [] {
        QSet<QString> set;
        size_t count = 0;
        const CommandRow* rows = CommandRows(count);
        for (size_t i = 0; i < count; ++i)
            set.insert(SjisToQString(rows[i].name));
        return set;
    }();
    new TPoruHighlighter(editor->document(), commands);
    (void)st;
    return editor;
}
