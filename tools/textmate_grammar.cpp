// Writes the TextMate grammar of .prk files (editors/vscode/syntaxes/) from the
// registry table: the built-in words become the command, control, variable and
// constant patterns, and the particles of the command templates the particle
// pattern. The lexical rules (strings, embeddings, comments, labels, numbers)
// follow the loader's normaliser and the literal expansion of the interpreter.
//   porukana-grammar > porukana.tmLanguage.json
// Built without the Shift_JIS execution character set: the table's literals stay
// UTF-8 here, as the editor reads them.
#include <algorithm>
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

enum class TKind { Control, Command, Variable, Constant };

struct TWord {
    std::string Name;
    TKind Kind;
};

std::vector<TWord> Words;
std::set<std::string> Templates;

// Structure words: jumps, branches, loops, the run loop and the function calls read
// as the language's own syntax, the other families as library commands.
TKind KindOfFamily(const std::string& family)
{
    return family == "Control" || family == "RunLoop" || family == "Functions" || family == "Include" ||
                   family == "Errors"
               ? TKind::Control
               : TKind::Command;
}

void AddCommand(const char* family, const char* name, const char* argSpec)
{
    Words.push_back({name, KindOfFamily(family)});
    Templates.insert(argSpec);
}

}   // namespace

#define PORU_COMMAND(family, symbol, id, name, argSpec) AddCommand(#family, name, argSpec);
#define PORU_ALIAS(family, symbol, name, argSpec) AddCommand(#family, name, argSpec);
#define PORU_VARIABLE(name, value, description, computed) Words.push_back({name, TKind::Variable});
#define PORU_CONSTANT(name, value, description, computed) Words.push_back({name, TKind::Constant});

namespace {

void CollectTable(){
#include "interp/builtins_table.inc"
}

// UTF-8 characters of `s`.
std::vector<std::string> Chars(const std::string& s)
{
    std::vector<std::string> out;
    for (size_t i = 0; i < s.size();) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        const size_t n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        out.push_back(s.substr(i, n));
        i += n;
    }
    return out;
}

bool IsHiragana(const std::string& ch)
{
    // U+3041..U+309F: E3 81 81 .. E3 82 9F
    if (ch.size() != 3 || static_cast<unsigned char>(ch[0]) != 0xE3)
        return false;
    const unsigned char b1 = static_cast<unsigned char>(ch[1]);
    const unsigned char b2 = static_cast<unsigned char>(ch[2]);
    return (b1 == 0x81 && b2 >= 0x81) || (b1 == 0x82 && b2 <= 0x9F);
}

// The particles of the templates ("?を,?から,?まで" gives を, から, まで). Only pieces
// written wholly in hiragana count: "?列目を" is a counter followed by one.
std::set<std::string> Particles()
{
    std::set<std::string> out;
    for (const std::string& argSpec : Templates) {
        size_t start = 0;
        while (start <= argSpec.size()) {
            size_t end = argSpec.find(',', start);
            if (end == std::string::npos)
                end = argSpec.size();
            std::string piece = argSpec.substr(start, end - start);
            if (!piece.empty() && piece[0] == '?')
                piece.erase(0, 1);
            const std::vector<std::string> chars = Chars(piece);
            if (!chars.empty() && std::all_of(chars.begin(), chars.end(), IsHiragana))
                out.insert(piece);
            start = end + 1;
        }
    }
    out.insert("は");   // the assignment to a property or variable (部品の、テキストは、…)
    return out;
}

std::string RegexEscape(const std::string& s)
{
    std::string out;
    for (char c : s) {
        if (std::string("\\^$.|?*+()[]{}/").find(c) != std::string::npos)
            out += '\\';
        out += c;
    }
    return out;
}

std::string JsonEscape(const std::string& s)
{
    std::string out;
    for (char c : s) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    return out;
}

// Longest first, so that an alternation takes the longest name that fits.
bool LongerFirst(const std::string& a, const std::string& b)
{
    const size_t la = Chars(a).size(), lb = Chars(b).size();
    return la != lb ? la > lb : a < b;
}

// The alternation of the names of one kind. A name that begins a longer built-in
// name of another kind refuses that continuation ("表示" before "出力先"), so the
// longer word wins wherever the patterns stand in the grammar.
std::string WordAlternation(TKind kind, const std::vector<std::string>& allNames)
{
    std::vector<std::string> names;
    std::set<std::string> seen;
    for (const TWord& w : Words)
        if (w.Kind == kind && seen.insert(w.Name).second)
            names.push_back(w.Name);
    std::sort(names.begin(), names.end(), LongerFirst);
    std::string out;
    for (const std::string& name : names) {
        std::vector<std::string> tails;
        for (const std::string& other : allNames)
            if (other.size() > name.size() && other.compare(0, name.size(), name) == 0)
                tails.push_back(RegexEscape(other.substr(name.size())));
        if (!out.empty())
            out += '|';
        out += RegexEscape(name);
        if (!tails.empty()) {
            std::sort(tails.begin(), tails.end(), LongerFirst);
            std::string look;
            for (const std::string& t : tails)
                look += (look.empty() ? "" : "|") + t;
            out += "(?!" + look + ")";
        }
    }
    return "(?:" + out + ")";
}

void Line(const std::string& text)
{
    std::printf("%s\n", text.c_str());
}

void Match(const std::string& key, const std::string& scope, const std::string& regex, bool last = false)
{
    Line("    \"" + key + "\": {");
    Line("      \"name\": \"" + scope + ".porukana\",");
    Line("      \"match\": \"" + JsonEscape(regex) + "\"");
    Line(std::string("    }") + (last ? "" : ","));
}

}   // namespace

int main()
{
    CollectTable();
    std::vector<std::string> allNames;
    for (const TWord& w : Words)
        allNames.push_back(w.Name);

    const std::set<std::string> particleSet = Particles();
    std::vector<std::string> particles(particleSet.begin(), particleSet.end());
    std::sort(particles.begin(), particles.end(), LongerFirst);
    std::string particleAlt;
    for (const std::string& p : particles)
        particleAlt += (particleAlt.empty() ? "" : "|") + RegexEscape(p);

    // Quote characters as the normaliser unifies them: 「」｢｣"” open and close a
    // string with embeddings, 『』`‘ one without; ' ’ ※ and // start a comment
    // outside strings, and braces outside strings enclose a comment block.
    const std::string dq = "[「」｢｣\"”]";
    const std::string bq = "[『』`‘]";

    Line("{");
    Line("  \"name\": \"Porukana\",");
    Line("  \"scopeName\": \"source.porukana\",");
    Line("  \"fileTypes\": [\"prk\"],");
    Line("  \"comment\": \"Written by porukana-grammar from the registry table; do not edit by hand.\",");
    Line("  \"patterns\": [");
    const char* top[] = {"comment-line", "comment-block", "string-double", "string-back", "label",
                         "number",       "control",       "command",       "variable",    "constant",
                         "loop-suffix",  "particle",      "operator",      "separator"};
    for (size_t i = 0; i < std::size(top); ++i)
        Line(std::string("    { \"include\": \"#") + top[i] + "\" }" + (i + 1 < std::size(top) ? "," : ""));
    Line("  ],");
    Line("  \"repository\": {");

    Match("comment-line", "comment.line", "(?:['’※]|[/／][/／]).*$");

    Line("    \"comment-block\": {");
    Line("      \"name\": \"comment.block.porukana\",");
    Line("      \"begin\": \"[{｛]\",");
    Line("      \"end\": \"[}｝]\"");
    Line("    },");

    Line("    \"string-double\": {");
    Line("      \"name\": \"string.quoted.double.porukana\",");
    Line("      \"begin\": \"" + JsonEscape(dq) + "\",");
    Line("      \"end\": \"" + JsonEscape(dq) + "\",");
    Line("      \"patterns\": [");
    Line("        { \"name\": \"constant.character.escape.porukana\", \"match\": \"" + JsonEscape("[\\\\￥].") +
         "\" },");
    Line("        {");
    Line("          \"name\": \"meta.embedded.expression.porukana\",");
    Line("          \"begin\": \"[{｛]\",");
    Line("          \"beginCaptures\": { \"0\": { \"name\": \"punctuation.section.embedded.begin.porukana\" } },");
    Line("          \"end\": \"[}｝]|(?=" + JsonEscape(dq) + ")\",");
    Line("          \"endCaptures\": { \"0\": { \"name\": \"punctuation.section.embedded.end.porukana\" } },");
    Line("          \"patterns\": [");
    const char* inner[] = {"number", "control", "command", "variable", "constant", "operator"};
    for (size_t i = 0; i < std::size(inner); ++i)
        Line(std::string("            { \"include\": \"#") + inner[i] + "\" }" + (i + 1 < std::size(inner) ? "," : ""));
    Line("          ]");
    Line("        }");
    Line("      ]");
    Line("    },");

    Line("    \"string-back\": {");
    Line("      \"name\": \"string.quoted.other.porukana\",");
    Line("      \"begin\": \"" + JsonEscape(bq) + "\",");
    Line("      \"end\": \"" + JsonEscape(bq) + "\",");
    Line("      \"applyEndPatternLast\": true,");
    Line("      \"patterns\": [");
    Line("        { \"name\": \"constant.character.escape.porukana\", \"match\": \"``\" }");
    Line("      ]");
    Line("    },");

    // A label is a line of its own: "*name", the star half or full width.
    Line("    \"label\": {");
    Line("      \"match\": \"" + JsonEscape("^\\s*([*＊])([^\\s*＊]+)\\s*$") + "\",");
    Line("      \"captures\": {");
    Line("        \"1\": { \"name\": \"punctuation.definition.label.porukana\" },");
    Line("        \"2\": { \"name\": \"entity.name.label.porukana\" }");
    Line("      }");
    Line("    },");

    Match("number", "constant.numeric",
          "(?<![A-Za-zＡ-Ｚａ-ｚ_＿])(?:[$＄][0-9A-Fa-f０-９Ａ-Ｆａ-ｆ]+|[0-9０-９]+(?:[.．][0-9０-９]+)?)");
    Match("control", "keyword.control", WordAlternation(TKind::Control, allNames));
    Match("command", "support.function.builtin", WordAlternation(TKind::Command, allNames));
    Match("variable", "variable.language", WordAlternation(TKind::Variable, allNames));
    Match("constant", "constant.language", WordAlternation(TKind::Constant, allNames));
    // "N回" repeats the block that follows, "値の時" is a branch of 条件分岐.
    Match("loop-suffix", "keyword.control", "(?:回|の時)(?=\\s*(?:[(（]|$))");
    // A particle ends a phrase: before a separator, the end of the line or the start
    // of the next argument (a string, a group, a number), or right after a string, a
    // group or a number.
    Match("particle", "keyword.other.particle",
          "(?<=[」』｣\"”`)）0-9０-９])(?:" + particleAlt + ")|(?:" + particleAlt +
              ")(?=[、,，\\s「『｢\"(（0-9０-９]|$)");
    Match("operator", "keyword.operator", "<>|<=|>=|[=<>+\\-*/&%^|＝＜＞＋－−＊／＆％＾｜×÷≠≦≧]");
    Match("separator", "punctuation.separator", "[、，,。;；]", true);
    Line("  }");
    Line("}");
    return 0;
}
