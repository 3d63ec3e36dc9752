// Literal expansion: quoted parts with escapes and {…} embeddings, raw parts and the
// values joined to them with "&". A literal's parts are read once and kept by its
// text; running the kept parts evaluates only the embeddings.
#include "interp/literals.h"

#include <cstring>

#include "core/error.h"
#include "core/sjis.h"
#include "core/walker_mode.h"
#include "interp/interp.h"
#include "interp/text_util.h"
#include "loader/normaliser.h"
#include "loader/scanner.h"

namespace {

// The character after a backslash (or ￥) in a string literal, p standing on it:
// n and t (half or full width) give a line break and a tab, anything else itself.
// Nothing when the text ends there.
void AppendEscaped(const char*& p, std::string& result, bool embedOpen, int& escapedBraces)
{
    if (*p == '\0')
        return;
    size_t n = CharLen(p);
    unsigned char e = static_cast<unsigned char>(*p);
    unsigned char e2 = static_cast<unsigned char>(p[1]);
    if (e == 'n' || (e == 0x82 && e2 == 0x8E))
        result += "\r\n";   // n ｎ
    else if (e == 't' || (e == 0x82 && e2 == 0x94))
        result += '\t';   // t ｔ
    else
        result.append(p, n);
    // An escaped opening brace makes its closing brace literal too.
    if (!embedOpen && (e == '{' || (e == 0x81 && e2 == 0x6F)))
        ++escapedBraces;
    p += n;
}

// The rest of a raw-quoted part after its opening quote, copied as written (a
// doubled quote stands for one); p ends after the closing quote and a joining &.
void AppendRawPart(const char*& p, std::string& result)
{
    while (*p) {
        if (*p == '`') {
            if (p[1] == '`') {
                result += '`';
                p += 2;
                continue;
            }
            ++p;
            SkipSeparators(p);
            if (*p == '&')
                ++p;
            break;
        }
        size_t n = CharLen(p);
        result.append(p, n);
        p += n;
    }
}

// Reads the literal text at p (zero-terminated). Text goes to `out`; the sink takes
// each non-empty embedding (made half-width) with sink.Embed(half, out) and each
// value outside the quotes with sink.Value(p, out), which may stop the walk by
// returning false (then so does this). `partOpen`: a quoted part was never closed.
template <class Sink> bool WalkLiteral(const char* p, std::string& out, Sink& sink, bool& partOpen)
{
    std::string embed;
    bool embedOpen = false;
    int escapedBraces = 0;
    partOpen = false;
    while (*p) {
        unsigned char c = static_cast<unsigned char>(*p);
        if (c == '"') {
            ++p;
            partOpen = true;
            while (*p) {
                unsigned char d = static_cast<unsigned char>(*p);
                bool yen = d == 0x81 && static_cast<unsigned char>(p[1]) == 0x8F;   // ￥
                if (d == '\\' || yen) {
                    p += yen ? 2 : 1;
                    AppendEscaped(p, out, embedOpen, escapedBraces);
                    continue;
                }
                bool fullOpen = d == 0x81 && static_cast<unsigned char>(p[1]) == 0x6F;    // ｛
                bool fullClose = d == 0x81 && static_cast<unsigned char>(p[1]) == 0x70;   // ｝
                if (d == '{' || fullOpen) {
                    p += fullOpen ? 2 : 1;
                    embedOpen = true;
                    continue;
                }
                if ((d == '}' || fullClose) && !embedOpen && escapedBraces > 0) {
                    --escapedBraces;
                    out.append(p, fullClose ? 2 : 1);
                    p += fullClose ? 2 : 1;
                    continue;
                }
                if (d == '}' || fullClose) {
                    p += fullClose ? 2 : 1;
                    std::string half = ToHalf(embed);
                    embed.clear();
                    embedOpen = false;
                    if (!half.empty())
                        sink.Embed(std::move(half), out);
                    continue;
                }
                if (d == '"') {
                    ++p;
                    partOpen = false;
                    SkipSeparators(p);
                    if (*p == '&')
                        ++p;
                    break;
                }
                size_t n = CharLen(p);
                if (embedOpen)
                    embed.append(p, n);
                else
                    out.append(p, n);
                p += n;
            }
        } else if (c == '`') {
            ++p;
            AppendRawPart(p, out);
        } else if (c == '&') {
            ++p;
        } else if (!sink.Value(p, out)) {
            return false;
        }
        SkipSeparators(p);
    }
    return true;
}

// Records the parts of a literal instead of evaluating them; a value outside the
// quotes (a word joined with &) is evaluated in place, so such literals are not kept.
struct TRecorder {
    TLiteralPlan& plan;
    void Embed(std::string half, std::string& out)
    {
        if (!out.empty())
            plan.Parts.push_back(TLiteralPart{std::move(out), false, TWordRef()});
        out.clear();
        TLiteralPart part{std::move(half), true, TWordRef()};
        if (IsPlainWordText(part.Text)) {
            part.Word.Text = part.Text;
            part.Word.Plain = true;
        }
        plan.Parts.push_back(std::move(part));
    }
    static bool Value(const char*&, std::string&) { return false; }
};

}   // namespace

bool IsPlainWordText(std::string_view text)
{
    if (text.empty() || text.size() > 256)
        return false;
    const unsigned char first = static_cast<unsigned char>(text[0]);
    if (IsBlank(first) || first == '"' || first == '`' || first == '$' || (first >= '0' && first <= '9'))
        return false;
    // No byte that would make the text a calculation (as the value reader sees it),
    // an index or a call.
    for (char ch : text) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c == '\0' || c == '(' || c == '#' || IsOperatorChar(c))
            return false;
    }
    std::string copy(text);
    const char* p = copy.c_str();
    std::string_view w = ReadWordView(p);
    return *p == '\0' && w.size() == text.size() && !EndsWithChar(w, "の");
}

std::unique_ptr<TLiteralPlan> CompileLiteral(std::string_view text)
{
    auto plan = std::make_unique<TLiteralPlan>();
    const std::string holder(text);
    std::string out;
    TRecorder recorder{*plan};
    bool partOpen = false;
    if (!WalkLiteral(holder.c_str(), out, recorder, partOpen) || partOpen)
        return nullptr;
    if (!out.empty())
        plan->Parts.push_back(TLiteralPart{std::move(out), false, TWordRef()});
    return plan;
}

const TLiteralPlan* TLiteralCache::Find(std::string_view text)
{
    if (text.size() > kMaxText)
        return nullptr;
    TMemo& memo = memo_[(reinterpret_cast<uintptr_t>(text.data()) >> 2) % kMemoSlots];
    if (memo.Position == text.data() && memo.Entry && memo.Entry->first == text)
        return memo.Entry->second.get();
    auto it = plans_.find(text);
    if (it == plans_.end()) {
        if (plans_.size() >= kMaxEntries)
            return nullptr;
        it = plans_.emplace(std::string(text), CompileLiteral(text)).first;
    }
    memo = TMemo{text.data(), &*it};
    return it->second.get();
}

void TPoruBase::AppendWordValue(const TWordRef& ref, std::string& out)
{
    THashNode* n = WordOf(ref);
    if (!n) {
        SetPendingTag('s');
        out += ref.Text;
    } else if (n->Kind == wkVariable) {
        LastTypeTag = n->TypeText;
        out += n->Value;
    } else {
        out += WordValue(n, ref.Text);
    }
}

std::string TPoruBase::EvaluateWord(const TWordRef& ref, std::string_view text)
{
    if (!ref.Plain)
        return EvaluateValue(text);
    if (ref.Table == &Words && ref.Generation == Words.Generation() && ref.Node && ref.Node->Kind == wkVariable)
        return VariableValue(*ref.Node);   // what appending it to nothing makes
    std::string out;
    AppendWordValue(ref, out);
    return out;
}

std::string TPoruBase::ExpandLiteral(std::string_view text)
{
    if (!ReferenceWalker()) {
        if (!literalCache_)
            literalCache_ = std::make_shared<TLiteralCache>();
        if (const TLiteralPlan* plan = literalCache_->Find(text))
            return RunLiteralPlan(*plan);
    }
    // Evaluates as it reads: the embeddings, and any value joined outside the quotes.
    struct TEvaluator {
        TPoruBase& st;
        void Embed(std::string half, std::string& out)
        {
            st.CheckStack();   // an embedding may hold literals with embeddings
            out += st.EvaluateValue(half);
        }
        bool Value(const char*& p, std::string& out)
        {
            std::string v = st.ReadValue(p);
            if (v.empty() && *p)
                p += CharLen(p);
            out += v;
            return true;
        }
    } evaluator{*this};
    const std::string holder(text);
    std::string result;
    bool partOpen = false;
    WalkLiteral(holder.c_str(), result, evaluator, partOpen);
    if (partOpen)
        Error("文字列\"" + result + "\"の最後に」がありません。");
    SetPendingTag('s');
    return result;
}

std::string TPoruBase::RunLiteralPlan(const TLiteralPlan& plan)
{
    std::string result;
    for (const TLiteralPart& part : plan.Parts) {
        if (!part.Embed) {
            result += part.Text;
            continue;
        }
        CheckStack();
        if (part.Word.Plain)
            AppendWordValue(part.Word, result);
        else
            result += EvaluateValue(part.Text);
    }
    SetPendingTag('s');
    return result;
}

const TLiteralPlan* TPoruBase::SingleLiteralPlan(std::string_view text)
{
    // The value reader skips separators, reads the literal whole and finds nothing
    // after it but separators.
    const std::string holder(text);
    const char* p = holder.c_str();
    SkipSeparators(p);
    if (*p != '"' && *p != '`')
        return nullptr;
    const char* start = p;
    try {
        ReadLiteralView(p);
    } catch (const EPoru&) {
        return nullptr;
    }
    const std::string_view literal(start, static_cast<size_t>(p - start));
    SkipSeparators(p);
    if (*p != '\0')
        return nullptr;
    if (!literalCache_)
        literalCache_ = std::make_shared<TLiteralCache>();
    return literalCache_->Find(literal);
}
