// One script file prepared for checking the way a run prepares it: decoded to
// Shift_JIS, split into lines, normalised (comments removed, half-width outside
// literals, line markers). Keeps the lines as written for columns and excerpts.
#pragma once
#include <string>
#include <vector>

#include "check/check.h"

struct TCheckSource {
    std::string Path;                 // UTF-8, as the user named it
    std::vector<std::string> Lines;   // Shift_JIS, as written (without line ends)
    std::string Text;                 // normalised; empty when preparation failed
    bool Ok = false;

    // 1-based line of a position in Text.
    int LineAt(const char* p) const;
    // Column range (characters of the written line) of `token` (normalised form)
    // on `line`; both 0 when it is not found.
    void Columns(int line, const std::string& token, int& begin, int& end) const;

    // Fills the fields from the bytes of a file; failures become findings.
    void Prepare(const std::string& bytes, std::vector<TDiagnostic>& out);

private:
    std::vector<int> lineOf_;   // line of every byte of Text
};

// A finding (message and hint in Shift_JIS; converted when added).
void AddFinding(std::vector<TDiagnostic>& out, const TCheckSource& src, int line, TSeverity severity,
                const std::string& sjisMessage, const std::string& sjisHint, const std::string& token = {});

// Normalised program text with its literals in the brackets a script writes
// ("a" as 「a」, `a` as 『a』), for hints.
std::string WrittenForm(const std::string& sjis);

// The number of characters (one or two bytes each) of a Shift_JIS text.
int CharCount(const std::string& sjis);
