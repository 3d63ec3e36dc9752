#include "porupad/code_editor.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QHelpEvent>
#include <QInputMethodEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStringListModel>
#include <QTextBlock>
#include <QToolTip>

#include "langsvc/document.h"
#include "langsvc/utf8.h"
#include "porupad/highlighter.h"

namespace {

class TLineNumberArea : public QWidget {
public:
    explicit TLineNumberArea(TCodeEditor* editor) : QWidget(editor), editor_(editor) {}
    QSize sizeHint() const override { return QSize(editor_->LineNumberAreaWidth(), 0); }

protected:
    void paintEvent(QPaintEvent* event) override { editor_->PaintLineNumbers(event); }

private:
    TCodeEditor* editor_;
};

// UTF-16 position in a block of a character column, and back.
int Utf16Of(const QString& blockText, int column)
{
    return static_cast<int>(langsvc::Utf16OfColumn(blockText.toStdString(), static_cast<size_t>(column)));
}

int ColumnOf(const QString& blockText, int utf16)
{
    return static_cast<int>(langsvc::ColumnOfUtf16(blockText.toStdString(), static_cast<size_t>(utf16)));
}

const QString kOpeners = QStringLiteral("(（「『{｛[［");
const QString kClosers = QStringLiteral(")）」』}｝]］");

}   // namespace

TCodeEditor::TCodeEditor(QWidget* parent) : QPlainTextEdit(parent)
{
    lineNumbers_ = new TLineNumberArea(this);
    highlighter_ = new TPrkHighlighter(document());
    setLineWrapMode(QPlainTextEdit::NoWrap);
    QFont font(QStringLiteral("Monospace"));
    font.setStyleHint(QFont::TypeWriter);
    font.setPointSize(11);
    setFont(font);
    SetTabWidth(4);

    completionModel_ = new QStringListModel(this);
    completer_ = new QCompleter(completionModel_, this);
    completer_->setWidget(this);
    completer_->setCompletionMode(QCompleter::PopupCompletion);
    completer_->setCaseSensitivity(Qt::CaseSensitive);
    connect(completer_, qOverload<const QString&>(&QCompleter::activated), this,
            [this](const QString& word) { InsertCompletion(word); });

    connect(this, &QPlainTextEdit::blockCountChanged, this,
            [this](int) { setViewportMargins(LineNumberAreaWidth(), 0, 0, 0); });
    connect(this, &QPlainTextEdit::updateRequest, this,
            [this](const QRect& rect, int dy) { UpdateLineNumberArea(rect, dy); });
    connect(this, &QPlainTextEdit::cursorPositionChanged, this, [this] { UpdateMarks(); });
    setViewportMargins(LineNumberAreaWidth(), 0, 0, 0);
    UpdateMarks();
}

std::string TCodeEditor::Utf8Text() const
{
    return toPlainText().toStdString();
}

std::string TCodeEditor::FileBytes() const
{
    return langsvc::EncodeScript(Utf8Text(), Encoding, LineEnd);
}

int TCodeEditor::CursorLine() const
{
    return textCursor().blockNumber() + 1;
}

void TCodeEditor::GoToLine(int line)
{
    const QTextBlock block = document()->findBlockByNumber(std::max(line, 1) - 1);
    if (!block.isValid())
        return;
    QTextCursor c(block);
    setTextCursor(c);
    centerCursor();
    setFocus();
}

QString TCodeEditor::WordUnderCursor() const
{
    const QTextCursor c = textCursor();
    const QString line = c.block().text();
    const langsvc::TDocument doc(line.toStdString());
    return QString::fromStdString(doc.WordAt(0, ColumnOf(line, c.positionInBlock())));
}

void TCodeEditor::InsertCall(const QString& call)
{
    QTextCursor c = textCursor();
    const int start = c.position();
    c.insertText(call);
    const int slot = call.indexOf(QStringLiteral("？"));
    if (slot >= 0) {
        c.setPosition(start + slot);
        c.setPosition(start + slot + 1, QTextCursor::KeepAnchor);
    }
    setTextCursor(c);
    setFocus();
}

void TCodeEditor::SetDiagnostics(std::vector<langsvc::TEditorDiagnostic> diagnostics)
{
    diagnostics_ = std::move(diagnostics);
    UpdateMarks();
}

void TCodeEditor::SetTabWidth(int spaces)
{
    setTabStopDistance(fontMetrics().horizontalAdvance(QLatin1Char(' ')) * spaces);
}

int TCodeEditor::LineNumberAreaWidth() const
{
    int digits = 1;
    for (int max = std::max(1, blockCount()); max >= 10; max /= 10)
        ++digits;
    return 12 + fontMetrics().horizontalAdvance(QLatin1Char('9')) * std::max(digits, 3);
}

void TCodeEditor::PaintLineNumbers(QPaintEvent* event)
{
    QPainter painter(lineNumbers_);
    painter.fillRect(event->rect(), QColor(0xf0, 0xf0, 0xf0));
    QTextBlock block = firstVisibleBlock();
    int top = qRound(blockBoundingGeometry(block).translated(contentOffset()).top());
    int bottom = top + qRound(blockBoundingRect(block).height());
    const int current = textCursor().blockNumber();
    while (block.isValid() && top <= event->rect().bottom()) {
        if (block.isVisible() && bottom >= event->rect().top()) {
            painter.setPen(block.blockNumber() == current ? Qt::black : Qt::gray);
            painter.drawText(0, top, lineNumbers_->width() - 6, fontMetrics().height(), Qt::AlignRight,
                             QString::number(block.blockNumber() + 1));
        }
        block = block.next();
        top = bottom;
        bottom = top + qRound(blockBoundingRect(block).height());
    }
}

void TCodeEditor::resizeEvent(QResizeEvent* event)
{
    QPlainTextEdit::resizeEvent(event);
    const QRect cr = contentsRect();
    lineNumbers_->setGeometry(QRect(cr.left(), cr.top(), LineNumberAreaWidth(), cr.height()));
}

void TCodeEditor::UpdateLineNumberArea(const QRect& rect, int dy)
{
    if (dy)
        lineNumbers_->scroll(0, dy);
    else
        lineNumbers_->update(0, rect.y(), lineNumbers_->width(), rect.height());
}

QTextCursor TCodeEditor::MatchingBracket() const
{
    const QString text = document()->toPlainText();
    const int pos = textCursor().position();
    // The bracket after the cursor, failing that the one before it.
    for (int at : {pos, pos - 1}) {
        if (at < 0 || at >= text.size())
            continue;
        const QChar ch = text[at];
        int open = kOpeners.indexOf(ch), close = kClosers.indexOf(ch);
        if (open < 0 && close < 0)
            continue;
        const bool forward = open >= 0;
        const QChar self = ch, other = forward ? kClosers[open] : kOpeners[close];
        int depth = 0;
        const int limit = 100000;
        for (int i = at, steps = 0; i >= 0 && i < text.size() && steps < limit; i += forward ? 1 : -1, ++steps) {
            if (text[i] == self)
                ++depth;
            else if (text[i] == other && --depth == 0) {
                // Both ends: the selection starts at the first and ends after the second.
                QTextCursor both(document());
                both.setPosition(std::min(at, i));
                both.setPosition(std::max(at, i) + 1, QTextCursor::KeepAnchor);
                return both;
            }
        }
        return QTextCursor();
    }
    return QTextCursor();
}

void TCodeEditor::UpdateMarks()
{
    QList<QTextEdit::ExtraSelection> marks;
    QTextEdit::ExtraSelection line;
    line.format.setBackground(QColor(0xff, 0xfb, 0xdd));
    line.format.setProperty(QTextFormat::FullWidthSelection, true);
    line.cursor = textCursor();
    line.cursor.clearSelection();
    marks.append(line);

    for (const langsvc::TEditorDiagnostic& d : diagnostics_) {
        const QTextBlock block = document()->findBlockByNumber(d.Line);
        if (!block.isValid())
            continue;
        QTextEdit::ExtraSelection mark;
        mark.format.setUnderlineStyle(QTextCharFormat::WaveUnderline);
        mark.format.setUnderlineColor(d.Error ? Qt::red : QColor(0xd0, 0x90, 0x00));
        mark.cursor = QTextCursor(block);
        mark.cursor.setPosition(block.position() + Utf16Of(block.text(), d.ColumnBegin));
        mark.cursor.setPosition(block.position() + std::max(Utf16Of(block.text(), d.ColumnEnd), 1),
                                QTextCursor::KeepAnchor);
        marks.append(mark);
    }

    const QTextCursor both = MatchingBracket();
    if (!both.isNull() && both.hasSelection()) {
        for (int at : {both.selectionStart(), both.selectionEnd() - 1}) {
            QTextEdit::ExtraSelection b;
            b.format.setBackground(QColor(0xc8, 0xe6, 0xc9));
            b.cursor = QTextCursor(document());
            b.cursor.setPosition(at);
            b.cursor.setPosition(at + 1, QTextCursor::KeepAnchor);
            marks.append(b);
        }
    }
    setExtraSelections(marks);
    lineNumbers_->update();
}

bool TCodeEditor::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const QTextCursor c = cursorForPosition(viewport()->mapFromGlobal(help->globalPos()));
        const int line = c.blockNumber();
        const int column = ColumnOf(c.block().text(), c.positionInBlock());
        for (const langsvc::TEditorDiagnostic& d : diagnostics_)
            if (d.Line == line && column >= d.ColumnBegin && column <= d.ColumnEnd) {
                QString tip = QString::fromStdString(d.Message);
                if (!d.Hint.empty())
                    tip += QStringLiteral("\n") + QString::fromStdString(d.Hint);
                QToolTip::showText(help->globalPos(), tip, this);
                return true;
            }
        QToolTip::hideText();
        return true;
    }
    return QPlainTextEdit::event(event);
}

void TCodeEditor::keyPressEvent(QKeyEvent* event)
{
    if (completer_->popup()->isVisible()) {
        switch (event->key()) {
        case Qt::Key_Enter:
        case Qt::Key_Return:
        case Qt::Key_Escape:
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            event->ignore();
            return;
        default:
            break;
        }
    }
    if (event->key() == Qt::Key_Space && (event->modifiers() & Qt::ControlModifier)) {
        ShowCompletions(true);
        return;
    }
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        !(event->modifiers() & Qt::ShiftModifier)) {
        // The new line starts where the current one does.
        const QString current = textCursor().block().text();
        int n = 0;
        while (n < current.size() &&
               (current[n] == QLatin1Char(' ') || current[n] == QLatin1Char('\t') || current[n] == QChar(0x3000)))
            ++n;
        textCursor().insertText(QStringLiteral("\n") + current.left(n));
        ensureCursorVisible();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
    const QString typed = event->text();
    if (!typed.isEmpty() && typed[0].isPrint() && !typed[0].isSpace())
        ShowCompletions(false);
    else if (completer_->popup()->isVisible())
        completer_->popup()->hide();
}

// Japanese is typed through the input method: a committed word offers completions
// as a typed key does.
void TCodeEditor::inputMethodEvent(QInputMethodEvent* event)
{
    QPlainTextEdit::inputMethodEvent(event);
    if (!event->commitString().isEmpty())
        ShowCompletions(false);
}

void TCodeEditor::ShowCompletions(bool always)
{
    const QTextCursor c = textCursor();
    const int line = c.blockNumber();
    const std::string text = Utf8Text();
    const langsvc::TDocument doc(text);
    std::string prefix;
    const int column = ColumnOf(c.block().text(), c.positionInBlock());
    const std::vector<langsvc::TCandidate> candidates = langsvc::CompletionsAt(doc, line, column, &prefix);
    if ((prefix.empty() && !always) || candidates.empty()) {
        completer_->popup()->hide();
        return;
    }
    QStringList words;
    for (const langsvc::TCandidate& cand : candidates)
        if (cand.Label != prefix)
            words << QString::fromStdString(cand.Label);
    if (words.isEmpty()) {
        completer_->popup()->hide();
        return;
    }
    completionModel_->setStringList(words);
    completionPrefix_ = QString::fromStdString(prefix);
    completer_->setCompletionPrefix(completionPrefix_);
    QRect rect = cursorRect();
    rect.setWidth(completer_->popup()->sizeHintForColumn(0) +
                  completer_->popup()->verticalScrollBar()->sizeHint().width());
    completer_->complete(rect);
}

void TCodeEditor::InsertCompletion(const QString& word)
{
    QTextCursor c = textCursor();
    c.movePosition(QTextCursor::Left, QTextCursor::KeepAnchor, completionPrefix_.size());
    c.insertText(word);
    setTextCursor(c);
}
