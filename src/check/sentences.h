// The sentence reader of the checker: walks a prepared text phrase by phrase the way
// the statement executor does, without running anything, and reports where a text
// does not mean what it looks like.
#pragma once
#include <map>
#include <set>
#include <string>
#include <vector>

#include "check/check.h"
#include "check/source.h"

// What the whole program defines: gathered over every file before any is read.
struct TProgramFacts {
    struct TLabel {
        std::string File;
        int Line = 0;
    };
    std::map<std::string, TLabel> Labels;   // exact names
    std::set<std::string> FoldedLabels;     // the same, okurigana-folded
    std::set<std::string> FunctionLabels;   // labels given a template by 関数定義
    bool FunctionsUnknown = false;          // a 関数定義 names its label by a value
    std::set<std::string> Defined;          // names a run can create (exact and folded)
    std::set<std::string> Literals;         // contents of literals: names of DLL functions,
                                            // objects and words a command may create
    std::vector<std::string> Includes;      // literal names of included files
    // A file is included that cannot be read now (made by the run, or named by a
    // value): its labels and words are unknown, so unknown words are not findings.
    bool Incomplete = false;

    bool IsLabel(const std::string& name) const;
    bool IsDefined(const std::string& name) const;
    void Define(const std::string& name);
    // A command, label, or a name a literal gives (a DLL function, a copied word).
    bool MaybeCallable(const std::string& name) const;
    std::vector<std::string> LabelNames() const;
};

// Registers the labels of a prepared text; a label defined twice, or named like a
// built-in word, is a finding.
void ScanLabels(const TCheckSource& src, TProgramFacts& facts, std::vector<TDiagnostic>& out);

// Reads every sentence. With `report` false it only gathers facts (names that
// assignments, phrases and literals define); with `report` true it adds findings.
void ReadSentences(const TCheckSource& src, TProgramFacts& facts, const TCheckOptions& options, bool report,
                   std::vector<TDiagnostic>& out);
