// The built-in words as an editor sees them: every command, system variable and
// constant of the registry table, in UTF-8, with its kind, its particle template and
// its description; the particles the templates use; and the look-up of the longest
// built-in word at a place of a line.
#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace langsvc {

enum class TWordKind { Control, Command, Variable, Constant };

struct TBuiltinWord {
    std::string Name;   // UTF-8, as written in the table
    TWordKind Kind;
    std::string Template;      // "?を,?から,?まで"; empty for variables, constants and bare commands
    std::string Description;   // of a variable or constant; empty for commands
};

// Every word, in table order (a name may occur more than once: an alias of another
// family).
const std::vector<TBuiltinWord>& BuiltinWords();

// The word named `name` exactly, or null.
const TBuiltinWord* FindBuiltin(std::string_view name);

// The longest built-in word that starts at line[at] (bytes), or null.
const TBuiltinWord* LongestBuiltinAt(std::string_view line, size_t at);

// The particles of the templates (を, から, まで, ...) and は, longest first.
const std::vector<std::string>& Particles();

// The particle that starts at line[at], or an empty view.
std::string_view ParticleAt(std::string_view line, size_t at);

// The pieces of a template: "?を,?から" gives {"を", "から"}; a piece written
// without ? (a fixed word of the call) is kept as it is, with `Fixed` set.
struct TTemplatePiece {
    std::string Text;
    bool Fixed = false;
};
std::vector<TTemplatePiece> TemplatePieces(std::string_view argSpec);

// The call as an editor inserts it: every slot a numbered placeholder, in the form
// of a language-server snippet ("${1:？}を${2:？}から置換") or plain with `slot` in
// every place ("？を？から置換").
std::string SnippetOf(const TBuiltinWord& word);
std::string PlainCallOf(const TBuiltinWord& word, std::string_view slot);

}   // namespace langsvc
