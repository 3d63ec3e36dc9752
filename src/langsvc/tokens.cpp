#include "langsvc/tokens.h"

#include <array>

#include "langsvc/utf8.h"

namespace langsvc {
namespace {

bool Is(std::string_view line, size_t at, std::string_view what)
{
    return line.compare(at, what.size(), what) == 0;
}

// The first of `set` that starts at line[at]; empty when none.
template <size_t N> std::string_view OneOf(std::string_view line, size_t at, const std::array<std::string_view, N>& set)
{
    for (std::string_view s : set)
        if (Is(line, at, s))
            return s;
    return {};
}

constexpr std::array<std::string_view, 6> kDoubleQuotes{"「", "」", "｢", "｣", "\"", "”"};
constexpr std::array<std::string_view, 4> kBackQuotes{"『", "』", "`", "‘"};
constexpr std::array<std::string_view, 5> kLineComments{"'", "’", "※", "//", "／／"};
constexpr std::array<std::string_view, 2> kBlockOpen{"{", "｛"};
constexpr std::array<std::string_view, 2> kBlockClose{"}", "｝"};
constexpr std::array<std::string_view, 4> kBrackets{"(", ")", "（", "）"};
constexpr std::array<std::string_view, 7> kSeparators{"、", "，", ",", "。", ";", "；", "・"};
constexpr std::array<std::string_view, 30> kOperators{"<>", "<=", ">=", "=",  "<",  ">",  "+",  "-",  "*",  "/",
                                                      "&",  "%",  "^",  "|",  "＝", "＜", "＞", "＋", "－", "−",
                                                      "＊", "／", "＆", "％", "＾", "｜", "×",  "÷",  "≠",  "≦"};

// The place after the character at line[at] (a broken sequence counts one byte).
size_t NextChar(std::string_view line, size_t at)
{
    size_t n = 1;
    CodePointAt(line, at, &n);
    return at + n;
}

bool IsDigit(uint32_t cp)
{
    return (cp >= '0' && cp <= '9') || (cp >= 0xFF10 && cp <= 0xFF19);
}

bool IsHexDigit(uint32_t cp)
{
    return IsDigit(cp) || (cp >= 'A' && cp <= 'F') || (cp >= 'a' && cp <= 'f') || (cp >= 0xFF21 && cp <= 0xFF26) ||
           (cp >= 0xFF41 && cp <= 0xFF46);
}

bool IsLetter(uint32_t cp)
{
    return (cp >= 'A' && cp <= 'Z') || (cp >= 'a' && cp <= 'z') || cp == '_' || (cp >= 0xFF21 && cp <= 0xFF3A) ||
           (cp >= 0xFF41 && cp <= 0xFF5A) || cp == 0xFF3F;
}

bool IsHiragana(uint32_t cp)
{
    return cp >= 0x3041 && cp <= 0x309F;
}

bool IsSpace(uint32_t cp)
{
    return cp == ' ' || cp == '\t' || cp == 0x3000;
}

// A label line: optional spaces, a star, a name, then nothing but spaces or a comment.
bool LabelLine(std::string_view line, size_t& nameEnd)
{
    size_t i = 0;
    while (i < line.size()) {
        size_t n = 1;
        if (!IsSpace(CodePointAt(line, i, &n)))
            break;
        i += n;
    }
    if (!Is(line, i, "*") && !Is(line, i, "＊"))
        return false;
    i += Is(line, i, "*") ? 1 : 3;
    const size_t nameBegin = i;
    while (i < line.size()) {
        size_t n = 1;
        const uint32_t cp = CodePointAt(line, i, &n);
        if (IsSpace(cp) || !OneOf(line, i, kLineComments).empty())
            break;
        i += n;
    }
    nameEnd = i;
    return nameEnd > nameBegin;
}

// The end of a string that state `kind` closes, from line[at]; npos when the line
// ends first. Embeddings of 「」 strings are reported through `embedded`.
size_t StringEnd(std::string_view line, size_t at, int kind, std::vector<TToken>* embedded)
{
    size_t i = at;
    while (i < line.size()) {
        if (kind == LineInString) {
            if (Is(line, i, "\\") || Is(line, i, "￥")) {
                i += Is(line, i, "\\") ? 1 : 3;
                if (i < line.size()) {
                    size_t n = 1;
                    CodePointAt(line, i, &n);
                    i += n;
                }
                continue;
            }
            if (const std::string_view open = OneOf(line, i, kBlockOpen); !open.empty()) {
                size_t j = i + open.size();
                while (j < line.size() && OneOf(line, j, kBlockClose).empty() && OneOf(line, j, kDoubleQuotes).empty())
                    j = NextChar(line, j);
                if (j < line.size() && !OneOf(line, j, kBlockClose).empty())
                    j += OneOf(line, j, kBlockClose).size();
                if (embedded)
                    embedded->push_back({i, j, TTokenKind::Embedded, nullptr});
                i = j;
                continue;
            }
            if (const std::string_view q = OneOf(line, i, kDoubleQuotes); !q.empty())
                return i + q.size();
        } else {
            if (Is(line, i, "``")) {
                i += 2;
                continue;
            }
            if (const std::string_view q = OneOf(line, i, kBackQuotes); !q.empty())
                return i + q.size();
        }
        i = NextChar(line, i);
    }
    return std::string_view::npos;
}

void Push(std::vector<TToken>& out, size_t begin, size_t end, TTokenKind kind, const TBuiltinWord* word = nullptr)
{
    if (begin >= end)
        return;
    // Characters of the script's own words run together into one token.
    if (kind == TTokenKind::Text && !out.empty() && out.back().Kind == TTokenKind::Text && out.back().End == begin) {
        out.back().End = end;
        return;
    }
    out.push_back({begin, end, kind, word});
}

// Adds a string token and the embeddings inside it, the embeddings cutting it.
void PushString(std::vector<TToken>& out, size_t begin, size_t end, const std::vector<TToken>& embedded)
{
    size_t at = begin;
    for (const TToken& e : embedded) {
        Push(out, at, e.Begin, TTokenKind::String);
        out.push_back(e);
        at = e.End;
    }
    Push(out, at, end, TTokenKind::String);
}

TTokenKind KindOfWord(TWordKind kind)
{
    switch (kind) {
    case TWordKind::Control:
        return TTokenKind::Control;
    case TWordKind::Command:
        return TTokenKind::Command;
    case TWordKind::Variable:
        return TTokenKind::Variable;
    case TWordKind::Constant:
        break;
    }
    return TTokenKind::Constant;
}

// The code point that ends just before line[at].
uint32_t LastCodePoint(std::string_view line, size_t at)
{
    if (at == 0)
        return 0;
    size_t b = at - 1;
    while (b > 0 && (static_cast<unsigned char>(line[b]) & 0xC0) == 0x80)
        --b;
    return CodePointAt(line, b);
}

// A particle stands after a phrase: the script's word, a string, a number, a system
// word or a closing bracket, and is not followed by more hiragana (then it is part of
// a longer word).
bool ParticleFits(const std::vector<TToken>& out, std::string_view line, size_t at, std::string_view particle)
{
    if (out.empty())
        return false;
    const TToken& prev = out.back();
    if (prev.End != at)
        return false;
    const bool afterPhrase =
        prev.Kind == TTokenKind::Text || prev.Kind == TTokenKind::String || prev.Kind == TTokenKind::Number ||
        prev.Kind == TTokenKind::Variable || prev.Kind == TTokenKind::Constant || prev.Kind == TTokenKind::Embedded ||
        (prev.Kind == TTokenKind::Bracket && (Is(line, prev.Begin, ")") || Is(line, prev.Begin, "）")));
    if (!afterPhrase)
        return false;
    const size_t next = at + particle.size();
    return next >= line.size() || !IsHiragana(CodePointAt(line, next));
}

}   // namespace

std::vector<TToken> TokenizeLine(std::string_view line, int& state)
{
    std::vector<TToken> out;
    size_t i = 0;
    if (state == LineInComment) {
        size_t j = 0;
        while (j < line.size() && OneOf(line, j, kBlockClose).empty())
            j = NextChar(line, j);
        if (j >= line.size()) {
            Push(out, 0, line.size(), TTokenKind::Comment);
            return out;
        }
        j += OneOf(line, j, kBlockClose).size();
        Push(out, 0, j, TTokenKind::Comment);
        state = LineNormal;
        i = j;
    } else if (state == LineInString || state == LineInRawString) {
        std::vector<TToken> embedded;
        const size_t end = StringEnd(line, 0, state, &embedded);
        PushString(out, 0, end == std::string_view::npos ? line.size() : end, embedded);
        if (end == std::string_view::npos)
            return out;
        state = LineNormal;
        i = end;
    }
    if (state == LineNormal && i == 0) {
        size_t nameEnd = 0;
        if (LabelLine(line, nameEnd)) {
            Push(out, 0, nameEnd, TTokenKind::Label);
            if (nameEnd < line.size())
                Push(out, nameEnd, line.size(), TTokenKind::Comment);
            return out;
        }
    }
    while (i < line.size()) {
        size_t n = 1;
        const uint32_t cp = CodePointAt(line, i, &n);
        if (!OneOf(line, i, kLineComments).empty()) {
            Push(out, i, line.size(), TTokenKind::Comment);
            break;
        }
        if (const std::string_view open = OneOf(line, i, kBlockOpen); !open.empty()) {
            size_t j = i + open.size();
            while (j < line.size() && OneOf(line, j, kBlockClose).empty())
                j = NextChar(line, j);
            if (j >= line.size()) {
                Push(out, i, line.size(), TTokenKind::Comment);
                state = LineInComment;
                break;
            }
            j += OneOf(line, j, kBlockClose).size();
            Push(out, i, j, TTokenKind::Comment);
            i = j;
            continue;
        }
        const std::string_view dq = OneOf(line, i, kDoubleQuotes);
        const std::string_view bq = dq.empty() ? OneOf(line, i, kBackQuotes) : std::string_view();
        if (!dq.empty() || !bq.empty()) {
            const int kind = dq.empty() ? LineInRawString : LineInString;
            std::vector<TToken> embedded;
            const size_t end = StringEnd(line, i + (dq.empty() ? bq.size() : dq.size()), kind, &embedded);
            PushString(out, i, end == std::string_view::npos ? line.size() : end, embedded);
            if (end == std::string_view::npos) {
                state = kind;
                break;
            }
            i = end;
            continue;
        }
        const bool afterLetter = !out.empty() && out.back().End == i && out.back().Kind == TTokenKind::Text &&
                                 IsLetter(LastCodePoint(line, i));
        if ((cp == '$' || cp == 0xFF04) && i + n < line.size() && IsHexDigit(CodePointAt(line, i + n))) {
            size_t j = i + n;
            size_t m = 1;
            while (j < line.size() && IsHexDigit(CodePointAt(line, j, &m)))
                j += m;
            Push(out, i, j, TTokenKind::Number);
            i = j;
            continue;
        }
        if (IsDigit(cp) && !afterLetter) {
            size_t j = i, m = 1;
            while (j < line.size() && IsDigit(CodePointAt(line, j, &m)))
                j += m;
            if (j < line.size() && (line[j] == '.' || Is(line, j, "．"))) {
                const size_t dot = line[j] == '.' ? 1 : 3;
                if (j + dot < line.size() && IsDigit(CodePointAt(line, j + dot))) {
                    j += dot;
                    while (j < line.size() && IsDigit(CodePointAt(line, j, &m)))
                        j += m;
                }
            }
            Push(out, i, j, TTokenKind::Number);
            i = j;
            continue;
        }
        const TBuiltinWord* word = LongestBuiltinAt(line, i);
        const std::string_view particle = ParticleAt(line, i);
        if (!particle.empty() && (!word || word->Name.size() <= particle.size()) &&
            ParticleFits(out, line, i, particle)) {
            Push(out, i, i + particle.size(), TTokenKind::Particle);
            i += particle.size();
            continue;
        }
        if (word) {
            Push(out, i, i + word->Name.size(), KindOfWord(word->Kind), word);
            i += word->Name.size();
            continue;
        }
        if (const std::string_view b = OneOf(line, i, kBrackets); !b.empty()) {
            Push(out, i, i + b.size(), TTokenKind::Bracket);
            i += b.size();
            continue;
        }
        if (const std::string_view s = OneOf(line, i, kSeparators); !s.empty()) {
            Push(out, i, i + s.size(), TTokenKind::Separator);
            i += s.size();
            continue;
        }
        if (const std::string_view o = OneOf(line, i, kOperators); !o.empty()) {
            Push(out, i, i + o.size(), TTokenKind::Operator);
            i += o.size();
            continue;
        }
        if (IsSpace(cp)) {
            i += n;
            continue;
        }
        Push(out, i, i + n, TTokenKind::Text);
        i += n;
    }
    return out;
}

std::vector<std::vector<TToken>> TokenizeText(const std::vector<std::string>& lines)
{
    std::vector<std::vector<TToken>> out;
    out.reserve(lines.size());
    int state = LineNormal;
    for (const std::string& line : lines)
        out.push_back(TokenizeLine(line, state));
    return out;
}

}   // namespace langsvc
