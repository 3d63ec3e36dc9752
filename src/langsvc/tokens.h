// The tokens of one line of a script, for colouring and for finding the word under
// the cursor. The lexical rules follow the loader's normaliser (quotes, comments,
// labels, numbers) and the registry table (built-in words and particles). A line
// starts in the state the previous one ended in: a comment block or a string can
// run over several lines.
#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "langsvc/words.h"

namespace langsvc {

enum class TTokenKind {
    Text,       // anything else: the script's own words
    Comment,    // ' ’ ※ // to the line end, or a { } block outside strings
    String,     // 「」 and the other quotes, the quotes included
    Embedded,   // {…} inside a 「」 string: an expression
    Label,      // *name on a line of its own
    Number,
    Control,    // built-in words of the language's structure (もし, 繰り返す, ...)
    Command,    // the other built-in commands
    Variable,   // system variables
    Constant,   // system constants
    Particle,   // を, から, まで, ... after a phrase
    Operator,
    Separator,   // 、 , 。 ;
    Bracket,     // ( ) （ ）
};

struct TToken {
    size_t Begin = 0;   // bytes of the line
    size_t End = 0;
    TTokenKind Kind = TTokenKind::Text;
    const TBuiltinWord* Word = nullptr;   // for built-in words
};

// Where a line ends: outside anything, inside a comment block, or inside a string
// that the given state closes. 0 is the state of the first line.
enum TLineState : int {
    LineNormal = 0,
    LineInComment = 1,
    LineInString = 2,      // 「 」 (and its half-width forms, ASCII and curly double quotes)
    LineInRawString = 3,   // 『 』 and the back quotes: no embeddings
};

// The tokens of `line` (UTF-8, no line end) starting in `state`; `state` becomes the
// state at its end.
std::vector<TToken> TokenizeLine(std::string_view line, int& state);

// The tokens of every line of a text.
std::vector<std::vector<TToken>> TokenizeText(const std::vector<std::string>& lines);

}   // namespace langsvc
