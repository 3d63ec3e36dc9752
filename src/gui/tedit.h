// Tエディタ: a multi-line editor with line numbers, a tab width and syntax colouring
// of ぽるかな (strings, comments, numbers, particles and the known command words).
#pragma once
#include <QPlainTextEdit>
#include <QSet>
#include <QSyntaxHighlighter>

class TPoruBase;

class TPoruHighlighter : public QSyntaxHighlighter {
public:
    TPoruHighlighter(QTextDocument* doc, QSet<QString> commands);

protected:
    void highlightBlock(const QString& text) override;

private:
    static const QTextCharFormat& CommentFormat();
    // Each formats what starts at i and returns where colouring goes on; i
    // itself when nothing of its sort starts there.
    int ScanComment(const QString& text, int i);
    int ScanString(const QString& text, int i);
    int ScanNumber(const QString& text, int i);
    int ScanCommand(const QString& text, int i);
    int ScanParticle(const QString& text, int i);

    QSet<QString> commands_;
    int longestCommand_ = 1;
};

class TTextEditor : public QPlainTextEdit {
public:
    explicit TTextEditor(QWidget* parent = nullptr);
    int LineNumberWidth() const;
    void SetTabColumns(int columns);
    int TabColumns() const { return tabColumns_; }
    void PaintLineNumbers(QPaintEvent* e);

protected:
    void resizeEvent(QResizeEvent* e) override;

private:
    QWidget* gutter_;
    int tabColumns_ = 4;
    void UpdateMargins();
};

// The editor of a new Tエディタ, with the command words of the registry coloured.
QPlainTextEdit* CreateTEditor(TPoruBase& st, QWidget* parent);
