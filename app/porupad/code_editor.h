// The editing control of one file: a plain-text editor with line numbers, the
// current line marked, matching brackets and 「」 shown, the checker's findings
// underlined (message and hint as tool tip), indentation kept on a new line and
// completion of command names, variables and labels as one types. It also carries
// what porupad knows of its file: the path, the encoding and the line ends.
#pragma once
#include <QPlainTextEdit>
#include <QString>
#include <functional>
#include <vector>

#include "langsvc/diagnostics.h"
#include "langsvc/encoding.h"

class QCompleter;
class QStringListModel;
class TPrkHighlighter;

class TCodeEditor : public QPlainTextEdit {
public:
    explicit TCodeEditor(QWidget* parent = nullptr);

    // The file behind the editor; empty for a new one.
    QString Path;
    langsvc::TTextEncoding Encoding = langsvc::TTextEncoding::Utf8;
    langsvc::TLineEnd LineEnd = langsvc::TLineEnd::Lf;

    // The text as UTF-8 with LF line ends, and as the bytes of the file.
    std::string Utf8Text() const;
    std::string FileBytes() const;

    // 1-based line and column (characters) of the cursor; moves it to a line.
    int CursorLine() const;
    void GoToLine(int line);

    // The word under the cursor as the language service sees it.
    QString WordUnderCursor() const;

    // Inserts a call with ？ in its slots and selects the first slot.
    void InsertCall(const QString& call);

    void SetDiagnostics(std::vector<langsvc::TEditorDiagnostic> diagnostics);
    const std::vector<langsvc::TEditorDiagnostic>& Diagnostics() const { return diagnostics_; }

    void SetTabWidth(int spaces);
    void ShowCompletions(bool always);
    QCompleter* Completer() const { return completer_; }

    int LineNumberAreaWidth() const;
    void PaintLineNumbers(QPaintEvent* event);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    bool event(QEvent* event) override;

private:
    void UpdateMarks();
    void UpdateLineNumberArea(const QRect& rect, int dy);
    void InsertCompletion(const QString& word);
    QTextCursor MatchingBracket() const;

    QWidget* lineNumbers_ = nullptr;
    TPrkHighlighter* highlighter_ = nullptr;
    QCompleter* completer_ = nullptr;
    QStringListModel* completionModel_ = nullptr;
    std::vector<langsvc::TEditorDiagnostic> diagnostics_;
    QString completionPrefix_;
};
