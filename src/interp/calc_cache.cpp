// Compiled calculations: reading a calculation's text into tokens once, and the
// calculator's token source that replays them.
#include "interp/calc_cache.h"

#include <cstring>

#include "core/error.h"
#include "core/hash.h"
#include "core/sjis.h"
#include "interp/interp.h"
#include "interp/text_util.h"
#include "loader/scanner.h"

namespace {

constexpr int kMaxDepth = 32;        // groups nested deeper are scanned
constexpr size_t kMaxTokens = 256;   // longer calculations are scanned

bool IsDigit(unsigned char c)
{
    return c >= '0' && c <= '9';
}

std::unique_ptr<TCalcProg> Compile(std::string_view text, int depth);

// The inside of the group at p, or false when it does not close or does not compile.
bool LexGroup(const char*& p, TCalcTok& t, int depth)
{
    std::string_view inner;
    try {
        inner = ReadGroupView(p);
    } catch (const EPoru&) {
        return false;
    }
    t.Type = TCalcTok::Group;
    t.Text.assign(inner);
    t.Sub = Compile(t.Text, depth + 1);   // nil: the inside is scanned when it runs
    return true;
}

// One value as the value reader reads it at p: a number, a group, a plain word or
// the end of the text. Nil for anything else.
std::unique_ptr<TCalcTok> LexValue(const char* base, const char*& p, int depth)
{
    auto t = std::make_unique<TCalcTok>();
    SkipSeparators(p);
    const unsigned char c = static_cast<unsigned char>(*p);
    if (c == '"' || c == '`' || c == '-')
        return nullptr;
    if (c == '$' || IsDigit(c)) {
        t->Type = TCalcTok::Literal;
        t->Text = ReadNumberLiteral(p);
        try {
            t->Number = ToNumber(t->Text);
            t->HasNumber = true;
        } catch (const EPoru&) {
            t->HasNumber = false;   // the calculator raises the error when it gets there
        }
    } else if (c == '(') {
        if (!LexGroup(p, *t, depth))
            return nullptr;
    } else {
        std::string_view w = ReadWordView(p);
        if (w.empty()) {
            if (*p != '\0')
                return nullptr;
            t->Type = TCalcTok::End;
        } else {
            // An element or a member reads on past the word.
            if (*p == '#' || EndsWithChar(w, "の"))
                return nullptr;
            t->Type = TCalcTok::Word;
            t->Text.assign(w);
            if (*p == '(') {
                // The scanner stays before the list: when the name is no call, the
                // list is read on as a group.
                const char* q = p;
                try {
                    ReadGroupView(q);
                } catch (const EPoru&) {
                    return nullptr;
                }
                t->Type = TCalcTok::Call;
                t->CallEnd = static_cast<uint32_t>(q - base);
            }
        }
    }
    t->EndOffset = static_cast<uint32_t>(p - base);
    return t;
}

// The tokens the calculator's scanner reads from p on, the one before being of kind
// `prev` (tkStart, tkOperator or a value); false when one of them is not covered.
bool LexTokens(const char* base, const char* p, uint8_t prev, int depth, std::vector<TCalcTok>& out)
{
    for (;;) {
        if (out.size() >= kMaxTokens)
            return false;
        SkipSeparators(p);
        const unsigned char c = static_cast<unsigned char>(*p);
        TCalcTok t;
        const bool unaryPlace = prev == tkStart || prev == tkOperator;
        if (c == '(') {
            if (!LexGroup(p, t, depth))
                return false;
            prev = tkNumber;
        } else if (char op[3]; ReadCalcOperator(p, op)) {
            const bool single = op[1] == 0;
            if (unaryPlace && single && op[0] == '-') {
                t.Type = TCalcTok::Neg;
                t.Operand = LexValue(base, p, depth);
                if (!t.Operand)
                    return false;
                prev = tkNumber;
            } else if (unaryPlace && single && op[0] == '+' && (*p == '$' || IsDigit(static_cast<unsigned char>(*p)))) {
                t.Type = TCalcTok::Plus;
                t.Operand = LexValue(base, p, depth);
                if (!t.Operand)
                    return false;
                prev = tkNumber;
            } else {
                t.Type = TCalcTok::Op;
                t.Text = op;
                t.OpCode = CalcOperatorOf(t.Text);
                prev = tkOperator;
            }
        } else {
            std::unique_ptr<TCalcTok> v = LexValue(base, p, depth);
            if (!v)
                return false;
            const bool end = v->Type == TCalcTok::End;
            out.push_back(std::move(*v));
            if (end)
                return true;
            prev = tkNumber;
            continue;
        }
        t.EndOffset = static_cast<uint32_t>(p - base);
        out.push_back(std::move(t));
    }
}

std::unique_ptr<TCalcProg> Compile(std::string_view text, int depth)
{
    if (depth > kMaxDepth)
        return nullptr;
    auto prog = std::make_unique<TCalcProg>();
    const char* p = text.data();
    SkipSeparators(p);
    if (!LexTokens(text.data(), p, tkStart, depth, prog->Toks))
        return nullptr;
    return prog;
}

}   // namespace

std::unique_ptr<TCalcProg> CompileCalculation(std::string_view text)
{
    return Compile(text, 0);
}

std::unique_ptr<TCalcProg> CompileValueText(std::string_view text)
{
    const char* base = text.data();
    const char* p = base;
    SkipSeparators(p);
    auto prog = std::make_unique<TCalcProg>();
    prog->First = LexValue(base, p, 0);
    if (!prog->First)
        return nullptr;
    if (prog->First->Type == TCalcTok::Call)
        p = base + prog->First->CallEnd;   // what follows a call that was made
    SkipSeparators(p);
    if (*p == '&' && p[1] != '&')
        return nullptr;   // a concatenation
    if (*p != '\0' && IsOperatorChar(static_cast<unsigned char>(*p))) {
        prog->HasRest = true;
        prog->RestOffset = static_cast<uint32_t>(p - base);
        if (!LexTokens(base, p, tkNumber, 0, prog->Toks))
            return nullptr;
    }
    return prog;
}

const TCalcProg* TCalcCache::Find(Map& map, std::string_view text, bool valueText)
{
    if (text.size() > kMaxText)
        return nullptr;   // never kept, so not looked for either
    if (auto it = map.find(text); it != map.end())
        return it->second.get();
    if (Calculations.size() + Values.size() >= kMaxEntries)
        return nullptr;
    auto prog = valueText ? CompileValueText(text) : CompileCalculation(text);
    const TCalcProg* found = prog.get();
    map.emplace(std::string(text), std::move(prog));
    return found;
}

// ---- the calculator's side ----

TCalcCache& TPoruBase::CalcCache()
{
    if (!calcCache_)
        calcCache_ = std::make_shared<TCalcCache>();
    return *calcCache_;
}

THashNode* TPoruBase::CachedWord(const TCalcTok& t)
{
    const uint64_t g = Words.Generation();
    if (t.Generation != g) {
        t.Node = Words.FindExact(t.Text);
        t.Generation = g;
    }
    return t.Node;
}

THashNode* TPoruBase::CachedCallee(const TCalcTok& t)
{
    const uint64_t g = Words.Generation();
    if (t.CalleeGeneration != g) {
        t.Callee = Words.Find(t.Text, true);
        t.CalleeGeneration = g;
    }
    return t.Callee;
}

std::string TPoruBase::CompiledWordValue(const TCalcTok& t)
{
    THashNode* n = CachedWord(t);
    if (!n) {
        SetPendingTag('s');
        return t.Text;
    }
    return WordValue(n, t.Text);
}

std::string TPoruBase::CompiledValue(const TCalcTok& t, const char* base)
{
    calcCalled_ = false;
    switch (t.Type) {
    case TCalcTok::Literal:
        SetPendingTag('e');
        return t.Text;
    case TCalcTok::Group: {
        const char* q = t.Text.c_str();
        return RunCompiledCalc(q, t.Sub.get());
    }
    case TCalcTok::Call: {
        const char* q = base + t.EndOffset;
        std::string v;
        if (CachedCallee(t))
            v = CallWithParentheses(t.Text, q, false);
        else
            v = CompiledWordValue(t);
        calcCalled_ = q != base + t.EndOffset;
        return v;
    }
    case TCalcTok::Word:
        return CompiledWordValue(t);
    default:
        SetPendingTag('s');
        return std::string();
    }
}

// After a Call token: when the call was made, its list (the next token) is passed.
void TPoruBase::SkipCalledList(const TCalcTok& t, const char*& p)
{
    if (t.Type != TCalcTok::Call || !calcCalled_)
        return;
    p = calcBase_ + t.CallEnd;
    if (calcTok_ != calcLast_)
        ++calcTok_;
}

void TPoruBase::NextCompiledToken(const char*& p)
{
    const TCalcTok& t = *calcTok_;
    if (calcTok_ != calcLast_)
        ++calcTok_;
    p = calcBase_ + t.EndOffset;
    CalcToken.Kind = tkStart;
    CalcToken.HasNumber = false;
    switch (t.Type) {
    case TCalcTok::Op:
        CalcToken.Text.assign(t.Text);
        CalcToken.Kind = tkOperator;
        CalcToken.Op = t.OpCode;
        return;
    case TCalcTok::Group: {
        const char* q = t.Text.c_str();
        std::string r = RunCompiledCalc(q, t.Sub.get());
        CalcToken.Text = std::move(r);
        CalcToken.Kind = PendingTagIs('s') ? tkString : tkNumber;
        return;
    }
    case TCalcTok::Neg: {
        std::string v = CompiledValue(*t.Operand, calcBase_);
        SkipCalledList(*t.Operand, p);
        NegatedText(CalcToken.Text, v);
        CalcToken.Kind = tkNumber;
        return;
    }
    case TCalcTok::Plus:
        CalcToken.Text = CompiledValue(*t.Operand, calcBase_);
        CalcToken.Kind = tkNumber;
        return;
    default: {
        std::string v = CompiledValue(t, calcBase_);
        SkipCalledList(t, p);
        CalcToken.Text = std::move(v);
        CalcToken.Kind = PendingTagIs('e') ? tkNumber : tkString;
        if (t.HasNumber) {
            CalcToken.HasNumber = true;
            CalcToken.Number = t.Number;
        }
        return;
    }
    }
}

namespace {

// A text worth compiling: short, not a literal (values passed on are quoted), and
// something to calculate.
bool IsCalculatingText(std::string_view text)
{
    if (text.size() > TCalcCache::kMaxText)
        return false;
    size_t i = 0;
    while (i < text.size() && IsBlank(static_cast<unsigned char>(text[i])))
        ++i;
    if (i < text.size() && (text[i] == '"' || text[i] == '`'))
        return false;
    for (; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (IsOperatorChar(c) || c == '(')
            return true;
    }
    return false;
}

}   // namespace

bool TPoruBase::EvaluateCompiled(std::string_view text, const char* p, std::string& result)
{
    // Only texts that calculate are kept: a bare value is read directly, and values
    // passed around (numbers, quoted texts) would fill the cache with one-offs.
    if (!IsCalculatingText(text))
        return false;
    TCalcCache& cache = CalcCache();
    const TCalcProg* prog = cache.Find(cache.Values, text, true);
    if (!prog)
        return false;
    result = RunValueProgram(*prog, p);
    return true;
}

std::string TPoruBase::RunValueProgram(const TCalcProg& prog, const char* base)
{
    std::string result = CompiledValue(*prog.First, base);
    if (prog.First->Type == TCalcTok::Call && !calcCalled_)
        return result;   // no call: the scanner stopped before the list
    if (prog.HasRest) {
        const char* q = base + prog.RestOffset;
        result = CalculateRestWith(std::move(result), q, &prog, base);
    }
    return result;
}

namespace {

bool IsStatementEnd(char c)
{
    return c == '\0' || c == '\r' || c == '\n' || c == ';';
}

}   // namespace

const TPoruBase::TAssignPlan* TPoruBase::AssignPlanAt(const char*& p)
{
    constexpr size_t kMaxPlans = 65536;
    // Statements outside any loop, call or event mostly run once: reading them
    // again costs less than keeping them.
    if (RunControl.Count() == 0 && RunControl.LevelCount() == 0)
        return nullptr;
    const char* limit = RunControl.BodyLimit();
    TPlanMemo& memo = planMemo_[(reinterpret_cast<uintptr_t>(p) >> 2) & 63];
    const TAssignPlan* found = memo.Position == p ? memo.Plan : nullptr;
    if (!found) {
        if (auto it = assignPlans_.find(p); it != assignPlans_.end()) {
            found = &it->second;
            memo = TPlanMemo{p, found};
        }
    }
    if (found) {
        const TAssignPlan& plan = *found;
        const size_t n = plan.Text.size();
        const char* e = p + n;
        // The same text (strncmp stops where the text does), no body ending inside
        // it, and ended where the statement scanner would end it.
        if (!plan.Usable || std::strncmp(p, plan.Text.data(), n) != 0 || (limit >= p && limit < e))
            return nullptr;
        if (!IsStatementEnd(*e) && !(e == limit && (plan.AfterGroup || *e == ')' || *e == '(')))
            return nullptr;
        p = e;
        return &plan;
    }
    if (assignPlans_.size() >= kMaxPlans || p == limit)
        return nullptr;
    // Only ordinary characters and groups are kept: the statement scanner reads them
    // the same wherever they stand, and nothing in them runs while they are read.
    // It stops at a statement end, and at the end of the open body where it looks
    // for it: after a group, or at a bracket.
    TAssignPlan& plan = assignPlans_[p];
    memo = TPlanMemo{p, &plan};
    const char* q = p;
    bool afterGroup = false;
    while (!IsStatementEnd(*q) && !(q == limit && (afterGroup || *q == ')' || *q == '('))) {
        const char c = *q;
        if (c == '"' || c == '`' || c == '&')
            return nullptr;   // Usable stays false
        if (c == '(') {
            try {
                ReadGroupView(q);
            } catch (const EPoru&) {
                return nullptr;   // the scanner raises the error when it reads it
            }
            afterGroup = true;
            continue;
        }
        afterGroup = false;
        q += CharLen(q);
    }
    plan.Text.assign(p, q);
    plan.AfterGroup = afterGroup;
    plan.Usable = true;
    TCalcCache& cache = CalcCache();
    if (IsCalculatingText(plan.Text))
        plan.Program = cache.Find(cache.Values, plan.Text, true);
    p = q;
    return &plan;
}
