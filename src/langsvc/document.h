// What an editor asks about one script: its labels (the outline, the targets of go
// to definition), the words it uses as variables, the word under the cursor, the
// completion candidates there, the reference entry of a word, and the checker's
// findings. Texts are UTF-8 with LF line ends; lines and columns count from 0,
// columns in characters.
#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "langsvc/tokens.h"

namespace langsvc {

struct TLabel {
    std::string Name;   // without the star
    int Line = 0;
};

class TDocument {
public:
    explicit TDocument(std::string_view text = {});
    void SetText(std::string_view text);

    const std::vector<std::string>& Lines() const { return lines_; }
    const std::vector<TToken>& TokensOf(int line) const;

    // Labels in the order of the text.
    std::vector<TLabel> Labels() const;
    // The script's own words that stand before a particle (variables, arguments,
    // called labels), each once, in the order they first occur.
    std::vector<std::string> Variables() const;

    // The word at (line, column): a built-in word, a label, or a run of the script's
    // own characters; empty when the cursor is on nothing of that kind. The word's
    // first and last column are returned through `begin`/`end` when given.
    std::string WordAt(int line, int column, int* begin = nullptr, int* end = nullptr) const;

    // The label that the word at (line, column) names, or -1.
    int DefinitionOf(int line, int column) const;

private:
    std::vector<std::string> lines_;
    std::vector<std::vector<TToken>> tokens_;
};

enum class TCandidateKind { Command, Control, Variable, Constant, ScriptWord, Label };

struct TCandidate {
    std::string Label;   // the name
    TCandidateKind Kind;
    std::string Detail;    // the particle template or the description
    std::string Snippet;   // the call with numbered placeholders (commands)
    std::string Plain;     // the call with ？ in every slot (commands)
};

// The candidates for the word being typed before (line, column): every built-in
// word, variable and label whose name starts with it (all of them when nothing is
// typed), built-in words first. `prefix` receives what was typed.
std::vector<TCandidate> CompletionsAt(const TDocument& doc, int line, int column, std::string* prefix = nullptr);

// Built-in words whose name or description contains every word of `query`
// (separated by spaces), and whose reference entry does: for a command palette.
std::vector<TCandidate> SearchCommands(std::string_view query);

// The reference entry of a word (UTF-8, as a terminal shows it): found with
// okurigana folding; a built-in word without an entry gives its template or
// description. Empty when the word is unknown.
std::string HelpFor(std::string_view word);

}   // namespace langsvc
