// Built without the Shift_JIS execution character set: the table's literals stay
// UTF-8 here, as editors read them.
#include "langsvc/words.h"

#include <algorithm>
#include <map>
#include <set>

#include "langsvc/utf8.h"

namespace langsvc {
namespace {

// Structure words: jumps, branches, loops, the run loop and function calls read as
// the language's own syntax, the other families as library commands.
TWordKind KindOfFamily(std::string_view family)
{
    return family == "Control" || family == "RunLoop" || family == "Functions" || family == "Include" ||
                   family == "Errors"
               ? TWordKind::Control
               : TWordKind::Command;
}

std::vector<TBuiltinWord> CollectWords()
{
    std::vector<TBuiltinWord> words;
#define PORU_COMMAND(family, symbol, id, name, argSpec) words.push_back({name, KindOfFamily(#family), argSpec, {}});
#define PORU_ALIAS(family, symbol, name, argSpec) words.push_back({name, KindOfFamily(#family), argSpec, {}});
#define PORU_VARIABLE(name, value, description, computed) words.push_back({name, TWordKind::Variable, {}, description});
#define PORU_CONSTANT(name, value, description, computed) words.push_back({name, TWordKind::Constant, {}, description});
#include "interp/builtins_table.inc"
#undef PORU_COMMAND
#undef PORU_ALIAS
#undef PORU_VARIABLE
#undef PORU_CONSTANT
    return words;
}

bool IsHiragana(uint32_t cp)
{
    return cp >= 0x3041 && cp <= 0x309F;
}

// Index of the words by their first character, longest name first.
struct TIndex {
    std::map<std::string, std::vector<const TBuiltinWord*>> ByFirst;
    std::vector<std::string> Particles;
};

const TIndex& Index()
{
    static const TIndex index = [] {
        TIndex ix;
        std::set<std::string> particles;
        for (const TBuiltinWord& w : BuiltinWords()) {
            if (w.Name.empty())
                continue;
            size_t n = 1;
            CodePointAt(w.Name, 0, &n);
            ix.ByFirst[w.Name.substr(0, n)].push_back(&w);
            for (const TTemplatePiece& piece : TemplatePieces(w.Template)) {
                if (piece.Fixed || piece.Text.empty())
                    continue;
                bool hiragana = true;
                for (size_t i = 0; i < piece.Text.size();) {
                    size_t len = 1;
                    hiragana = hiragana && IsHiragana(CodePointAt(piece.Text, i, &len));
                    i += len;
                }
                if (hiragana)
                    particles.insert(piece.Text);
            }
        }
        particles.insert("は");
        particles.insert("とは");
        for (auto& [first, list] : ix.ByFirst)
            std::stable_sort(list.begin(), list.end(), [](const TBuiltinWord* a, const TBuiltinWord* b) {
                return a->Name.size() > b->Name.size();
            });
        ix.Particles.assign(particles.begin(), particles.end());
        std::stable_sort(ix.Particles.begin(), ix.Particles.end(),
                         [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
        return ix;
    }();
    return index;
}

}   // namespace

const std::vector<TBuiltinWord>& BuiltinWords()
{
    static const std::vector<TBuiltinWord> words = CollectWords();
    return words;
}

const TBuiltinWord* FindBuiltin(std::string_view name)
{
    for (const TBuiltinWord& w : BuiltinWords())
        if (w.Name == name)
            return &w;
    return nullptr;
}

const TBuiltinWord* LongestBuiltinAt(std::string_view line, size_t at)
{
    if (at >= line.size())
        return nullptr;
    size_t n = 1;
    CodePointAt(line, at, &n);
    const auto it = Index().ByFirst.find(std::string(line.substr(at, n)));
    if (it == Index().ByFirst.end())
        return nullptr;
    for (const TBuiltinWord* w : it->second)
        if (line.compare(at, w->Name.size(), w->Name) == 0)
            return w;
    return nullptr;
}

const std::vector<std::string>& Particles()
{
    return Index().Particles;
}

std::string_view ParticleAt(std::string_view line, size_t at)
{
    for (const std::string& p : Particles())
        if (line.compare(at, p.size(), p) == 0)
            return line.substr(at, p.size());
    return {};
}

std::vector<TTemplatePiece> TemplatePieces(std::string_view argSpec)
{
    std::vector<TTemplatePiece> out;
    if (argSpec.empty())
        return out;
    size_t start = 0;
    while (start <= argSpec.size()) {
        size_t end = argSpec.find(',', start);
        if (end == std::string_view::npos)
            end = argSpec.size();
        std::string_view piece = argSpec.substr(start, end - start);
        TTemplatePiece p;
        if (!piece.empty() && piece[0] == '?')
            piece.remove_prefix(1);
        else
            p.Fixed = true;
        p.Text = std::string(piece);
        out.push_back(p);
        start = end + 1;
    }
    return out;
}

std::string SnippetOf(const TBuiltinWord& word)
{
    std::string out;
    int slot = 0;
    for (const TTemplatePiece& piece : TemplatePieces(word.Template)) {
        if (!piece.Fixed)
            out += "${" + std::to_string(++slot) + ":？}";
        out += piece.Text;
    }
    return out + word.Name;
}

std::string PlainCallOf(const TBuiltinWord& word, std::string_view slot)
{
    std::string out;
    for (const TTemplatePiece& piece : TemplatePieces(word.Template)) {
        if (!piece.Fixed)
            out += slot;
        out += piece.Text;
    }
    return out + word.Name;
}

}   // namespace langsvc
