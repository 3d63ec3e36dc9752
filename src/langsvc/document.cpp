#include "langsvc/document.h"

#include <algorithm>
#include <set>

#include "langsvc/utf8.h"
#include "reference/reference.h"

namespace langsvc {
namespace {

// The label name of a label token: the text after the star.
std::string LabelName(std::string_view line, const TToken& t)
{
    std::string_view s = line.substr(t.Begin, t.End - t.Begin);
    while (true) {
        if (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
            s.remove_prefix(1);
        else if (s.substr(0, 3) == "　")
            s.remove_prefix(3);
        else
            break;
    }
    if (!s.empty() && s.front() == '*')
        s.remove_prefix(1);
    else if (s.substr(0, 3) == "＊")
        s.remove_prefix(3);
    return std::string(s);
}

bool StartsWith(std::string_view s, std::string_view prefix)
{
    return s.compare(0, prefix.size(), prefix) == 0;
}

TCandidate CandidateOf(const TBuiltinWord& w)
{
    TCandidate c;
    c.Label = w.Name;
    switch (w.Kind) {
    case TWordKind::Control:
        c.Kind = TCandidateKind::Control;
        break;
    case TWordKind::Command:
        c.Kind = TCandidateKind::Command;
        break;
    case TWordKind::Variable:
        c.Kind = TCandidateKind::Variable;
        break;
    case TWordKind::Constant:
        c.Kind = TCandidateKind::Constant;
        break;
    }
    if (c.Kind == TCandidateKind::Command || c.Kind == TCandidateKind::Control) {
        c.Detail = w.Template;
        c.Snippet = SnippetOf(w);
        c.Plain = PlainCallOf(w, "？");
    } else {
        c.Detail = w.Description;
        c.Snippet = c.Plain = w.Name;
    }
    return c;
}

}   // namespace

TDocument::TDocument(std::string_view text)
{
    SetText(text);
}

void TDocument::SetText(std::string_view text)
{
    lines_ = SplitLines(text);
    tokens_ = TokenizeText(lines_);
}

const std::vector<TToken>& TDocument::TokensOf(int line) const
{
    static const std::vector<TToken> none;
    return line >= 0 && line < static_cast<int>(tokens_.size()) ? tokens_[line] : none;
}

std::vector<TLabel> TDocument::Labels() const
{
    std::vector<TLabel> out;
    for (size_t i = 0; i < tokens_.size(); ++i)
        for (const TToken& t : tokens_[i])
            if (t.Kind == TTokenKind::Label)
                out.push_back({LabelName(lines_[i], t), static_cast<int>(i)});
    return out;
}

std::vector<std::string> TDocument::Variables() const
{
    std::vector<std::string> out;
    std::set<std::string> seen;
    for (size_t i = 0; i < tokens_.size(); ++i) {
        const std::vector<TToken>& toks = tokens_[i];
        for (size_t k = 0; k + 1 < toks.size(); ++k)
            if (toks[k].Kind == TTokenKind::Text && toks[k + 1].Kind == TTokenKind::Particle &&
                toks[k].End == toks[k + 1].Begin) {
                std::string name = lines_[i].substr(toks[k].Begin, toks[k].End - toks[k].Begin);
                if (seen.insert(name).second)
                    out.push_back(std::move(name));
            }
    }
    return out;
}

std::string TDocument::WordAt(int line, int column, int* begin, int* end) const
{
    if (line < 0 || line >= static_cast<int>(lines_.size()))
        return {};
    const std::string& text = lines_[line];
    const size_t at = ByteOfColumn(text, static_cast<size_t>(std::max(column, 0)));
    auto isWord = [](const TToken& t) {
        switch (t.Kind) {
        case TTokenKind::Text:
        case TTokenKind::Label:
        case TTokenKind::Control:
        case TTokenKind::Command:
        case TTokenKind::Variable:
        case TTokenKind::Constant:
            return true;
        default:
            return false;
        }
    };
    const TToken* hit = nullptr;
    for (const TToken& t : tokens_[line]) {
        if (t.Begin <= at && at < t.End && isWord(t))
            hit = &t;
        // The cursor right after a word still names it (as after typing it).
        else if (t.End == at && !hit && isWord(t))
            hit = &t;
    }
    if (!hit)
        return {};
    if (begin)
        *begin = static_cast<int>(ColumnOfByte(text, hit->Begin));
    if (end)
        *end = static_cast<int>(ColumnOfByte(text, hit->End));
    if (hit->Kind == TTokenKind::Label)
        return LabelName(text, *hit);
    return text.substr(hit->Begin, hit->End - hit->Begin);
}

int TDocument::DefinitionOf(int line, int column) const
{
    const std::string word = WordAt(line, column);
    if (word.empty())
        return -1;
    const std::vector<TLabel> labels = Labels();
    for (const TLabel& l : labels)
        if (l.Name == word)
            return l.Line;
    // "*" written before the name in a jump ("*終わりへ飛ぶ").
    for (const TLabel& l : labels)
        if (word == "*" + l.Name || word == "＊" + l.Name)
            return l.Line;
    return -1;
}

std::vector<TCandidate> CompletionsAt(const TDocument& doc, int line, int column, std::string* prefix)
{
    std::string typed;
    int begin = 0;
    const std::string word = doc.WordAt(line, column, &begin, nullptr);
    if (!word.empty() && line < static_cast<int>(doc.Lines().size())) {
        const std::string& text = doc.Lines()[line];
        const size_t from = ByteOfColumn(text, begin), to = ByteOfColumn(text, column);
        if (to > from)
            typed = text.substr(from, to - from);
    }
    if (prefix)
        *prefix = typed;
    std::vector<TCandidate> out;
    std::set<std::string> seen;
    for (const TBuiltinWord& w : BuiltinWords())
        if (StartsWith(w.Name, typed) && seen.insert(w.Name).second)
            out.push_back(CandidateOf(w));
    for (const TLabel& l : doc.Labels())
        if (StartsWith(l.Name, typed) && seen.insert(l.Name).second)
            out.push_back({l.Name, TCandidateKind::Label, "*" + l.Name, l.Name, l.Name});
    for (const std::string& v : doc.Variables())
        if (v != typed && StartsWith(v, typed) && seen.insert(v).second)
            out.push_back({v, TCandidateKind::ScriptWord, {}, v, v});
    return out;
}

std::vector<TCandidate> SearchCommands(std::string_view query)
{
    std::vector<std::string> terms;
    size_t start = 0;
    while (start < query.size()) {
        size_t end = query.find_first_of(" \t", start);
        if (end == std::string_view::npos)
            end = query.size();
        if (end > start)
            terms.emplace_back(query.substr(start, end - start));
        start = end + 1;
    }
    std::vector<TCandidate> nameHits, otherHits;
    std::set<std::string> seen;
    for (const TBuiltinWord& w : BuiltinWords()) {
        if (seen.count(w.Name))
            continue;
        std::string haystack = w.Name + "\n" + w.Template + "\n" + w.Description;
        const std::vector<const TReferenceEntry*> entries = FindReference(w.Name);
        if (!entries.empty())
            haystack += std::string("\n") + entries.front()->names + "\n" + entries.front()->text;
        bool all = true;
        for (const std::string& t : terms)
            all = all && haystack.find(t) != std::string::npos;
        if (!all)
            continue;
        seen.insert(w.Name);
        const bool inName = terms.empty() || w.Name.find(terms.front()) != std::string::npos;
        (inName ? nameHits : otherHits).push_back(CandidateOf(w));
    }
    nameHits.insert(nameHits.end(), otherHits.begin(), otherHits.end());
    return nameHits;
}

std::string HelpFor(std::string_view word)
{
    if (word.empty())
        return {};
    const std::vector<const TReferenceEntry*> entries = FindReference(word);
    if (!entries.empty())
        return entries.front()->text;
    if (const TBuiltinWord* w = FindBuiltin(word)) {
        if (!w->Description.empty())
            return w->Name + "\n\n" + w->Description + "\n";
        return w->Name + "\n\n" + PlainCallOf(*w, "？") + "\n";
    }
    return {};
}

}   // namespace langsvc
