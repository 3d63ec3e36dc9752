// Colours a script as it is typed: every block (line) is cut into the language
// service's tokens, starting in the state the previous line ended in.
#pragma once
#include <QSyntaxHighlighter>
#include <QTextCharFormat>

#include "langsvc/tokens.h"

class TPrkHighlighter : public QSyntaxHighlighter {
public:
    explicit TPrkHighlighter(QTextDocument* document);

    // The format a token kind is shown in (for tests and the settings preview).
    QTextCharFormat FormatOf(langsvc::TTokenKind kind) const;

protected:
    void highlightBlock(const QString& text) override;
};
