// Compiled calculations: reading a calculation's text into tokens once, and the
// calculator's token source that replays them.
#include "interp/calc_cache.h"

#include <array>
#include <cmath>
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

// The postfix code of a calculation for the numeric replay, read from the tokens the
// way the calculator's parser reads them (a primary, then terms, sums, comparisons
// and logical operators, each level left to right). Fails on anything the parser
// would not take as it stands, and on values that are not numbers, words or groups.
class TNumCompiler {
public:
    // `calls`: calls are taken as values (their lists skipped), and nothing else
    // that the calculator would read as more than a number or a variable.
    TNumCompiler(std::vector<TNumOp>& out, bool calls) : out_(out), calls_(calls) {}
    // The whole token list from `tok` on; `pending`: the first operand is pushed already.
    bool Program(const TCalcTok* tok, bool pending)
    {
        tok_ = tok;
        pending_ = pending;   // its code is emitted, and counted, already
        return Logical() && tok_->Type == TCalcTok::End;
    }
    // One value token: a number, a word, a group, or one of them negated.
    bool Value(const TCalcTok& t)
    {
        switch (t.Type) {
        case TCalcTok::Literal:
            if (!t.HasNumber)
                return false;
            Emit(TNumOp::Number, 0, t.Number);
            // Whole numbers well inside the integers' range are carried as integers.
            if (t.Number == std::trunc(t.Number) && std::fabs(t.Number) < 4.6e18L) {
                out_.back().IsInt = true;
                out_.back().IValue = static_cast<long long>(t.Number);
            }
            return true;
        case TCalcTok::Word:
            return Emit(TNumOp::Word, 0, 0, &t);
        case TCalcTok::Call:
            return calls_ && Emit(TNumOp::Call, 0, 0, &t);
        case TCalcTok::Group:
            if (calls_)
                return false;
            return t.Sub && t.Sub->Numeric && Group(*t.Sub);
        case TCalcTok::Plus:
            return !calls_ && t.Operand->Type == TCalcTok::Literal && Value(*t.Operand);
        case TCalcTok::Neg:
            return !calls_ && t.Operand->Type != TCalcTok::End && t.Operand->Type != TCalcTok::Call &&
                   Value(*t.Operand) && Emit(TNumOp::Neg, 0, 0, nullptr, false);
        default:
            return false;
        }
    }
    uint32_t MaxDepth() const { return max_; }

private:
    std::vector<TNumOp>& out_;
    const bool calls_;
    const TCalcTok* tok_ = nullptr;
    bool pending_ = false;
    uint32_t depth_ = 0, max_ = 0;

    void Push()
    {
        if (++depth_ > max_)
            max_ = depth_;
    }
    bool Emit(uint8_t kind, uint8_t op, long double v, const TCalcTok* t = nullptr, bool pushes = true)
    {
        TNumOp code;
        code.Kind = kind;
        code.Op = op;
        code.Value = v;
        code.Tok = t;
        out_.push_back(code);
        if (pushes)
            Push();
        return true;
    }
    bool Group(const TCalcProg& sub)
    {
        // The sub-program's code, already checked, runs inline on this stack.
        out_.insert(out_.end(), sub.NumCode.begin(), sub.NumCode.end());
        if (depth_ + sub.NumDepth > max_)
            max_ = depth_ + sub.NumDepth;
        Push();
        return Emit(TNumOp::Round, 0, 0, nullptr, false);
    }
    bool Primary()
    {
        if (pending_) {
            pending_ = false;
            return true;
        }
        if (tok_->Type == TCalcTok::Op || tok_->Type == TCalcTok::End || !Value(*tok_))
            return false;
        // A call's list follows it as a group token, which the call reads.
        if (tok_->Type == TCalcTok::Call) {
            if (tok_[1].Type != TCalcTok::Group)
                return false;
            ++tok_;
        }
        ++tok_;
        return true;
    }
    bool Binary(uint8_t op)
    {
        --depth_;
        return Emit(TNumOp::Binary, op, 0, nullptr, false);
    }
    // The operators of one level, between operands read by `next`.
    template <class Next> bool Level(Next next, uint8_t lo, uint8_t hi)
    {
        if (!next())
            return false;
        while (tok_->Type == TCalcTok::Op && tok_->OpCode >= lo && tok_->OpCode <= hi) {
            const uint8_t op = tok_->OpCode;
            ++tok_;
            if (!next() || !Binary(op))
                return false;
        }
        return true;
    }
    bool Term()
    {
        return Level([this] { return Primary(); }, opMul, opPow);
    }
    bool Additive()
    {
        // "&" joins texts: never numeric.
        return Level([this] { return Term(); }, opAdd, opSub) &&
               !(tok_->Type == TCalcTok::Op && tok_->OpCode == opJoin);
    }
    bool Comparison()
    {
        return Level([this] { return Additive(); }, opEq, opLe);
    }
    bool Logical()
    {
        return Level([this] { return Comparison(); }, opAnd, opOr);
    }
};

bool CompileNumericCode(TCalcProg& prog, bool calls)
{
    constexpr uint32_t kMaxDepth = 32;   // operands held at once (the replay's stack)
    TNumCompiler c(prog.NumCode, calls);
    bool ok;
    if (prog.First)
        ok = c.Value(*prog.First) && (!prog.HasRest || c.Program(prog.Toks.data(), true));
    else
        ok = c.Program(prog.Toks.data(), false);
    if (!ok || c.MaxDepth() > kMaxDepth) {
        prog.NumCode.clear();
        return false;
    }
    prog.NumDepth = c.MaxDepth();
    return true;
}

// The words read before a call are recorded (the call may change them); the calls
// and those words must fit the record.
bool MarkRecordedWords(std::vector<TNumOp>& code)
{
    int recorded = 0;
    bool callAfter = false;
    for (auto op = code.rbegin(); op != code.rend(); ++op) {
        if (op->Kind == TNumOp::Call) {
            callAfter = true;
            ++recorded;
        } else if (op->Kind == TNumOp::Word && callAfter) {
            op->Record = true;
            ++recorded;
        }
    }
    return callAfter && recorded <= TOperandRecord::kMax;
}

void CompileNumeric(TCalcProg& prog)
{
    // A value text that is one number or word is that value as written ("03" stays
    // "03"): only a group is calculated.
    if (prog.First && !prog.HasRest && prog.First->Type != TCalcTok::Group)
        return;
    if (CompileNumericCode(prog, false)) {
        prog.Numeric = true;
        const std::vector<TNumOp>& c = prog.NumCode;
        prog.WordOpWhole = c.size() == 3 && c[0].Kind == TNumOp::Word && c[1].Kind == TNumOp::Number && c[1].IsInt &&
                           c[2].Kind == TNumOp::Binary;
        return;
    }
    // A value text that goes on after its first value may make calls on the way.
    if (prog.First && prog.HasRest && CompileNumericCode(prog, true)) {
        if (MarkRecordedWords(prog.NumCode))
            prog.CallsNumeric = true;
        else
            prog.NumCode.clear();
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
    CompileNumeric(*prog);
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
    CompileNumeric(*prog);
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

const TCallPlan* TPoruBase::CallPlanOf(const TCalcTok& t, std::string_view inner)
{
    if (!t.CallArgsRead) {
        t.CallArgsRead = true;
        t.CallArgs = ReadCallPlan(inner);
        if (t.CallArgs) {
            TCalcCache& cache = CalcCache();
            for (TCallPlan::TArg& a : t.CallArgs->Args)
                if (a.Calculated)
                    a.Program = cache.Find(cache.Calculations, a.Text, false);
        }
    }
    return t.CallArgs.get();
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

THashNode* TPoruBase::CallableCallee(const TCalcTok& t)
{
    THashNode* callee = CachedCallee(t);
    if (callee && (callee->Kind == wkCommand || callee->Kind == wkLabel || callee->Kind == wkDllFunc))
        return callee;
    return nullptr;
}

std::string TPoruBase::CallToken(const TCalcTok& t, const char* base, THashNode* callee)
{
    // What CallWithParentheses does, with the name found and the list read when the
    // token was: the list lies between the token and CallEnd.
    CheckStack();
    const std::string_view inner(base + t.EndOffset + 1, t.CallEnd - t.EndOffset - 2);
    return CallWithList(callee, inner, CallPlanOf(t, inner), false);
}

bool TPoruBase::TakeRecorded(const TOperandRecord* record, const TCalcTok& t, std::string& v)
{
    const TRecordedOperand* e = record ? record->Find(&t) : nullptr;
    if (!e)
        return false;
    v = e->Text;
    e->GiveTag(LastTypeTag);
    calcCalled_ = t.Type == TCalcTok::Call;
    return true;
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
        THashNode* callee = CallableCallee(t);
        if (callee) {
            v = CallToken(t, base, callee);
            calcCalled_ = true;
            return v;
        }
        callee = CachedCallee(t);
        if (callee)
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
        // A value read already by the numeric replay that gave up is taken as it was.
        std::string v;
        if (!TakeRecorded(calcRecord_, t, v))
            v = CompiledValue(t, calcBase_);
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
    // The bytes IsOperatorChar takes, and "(", copied into a table once: every value
    // read is tested, and the test should cost no call.
    static const auto kCalculating = [] {
        std::array<bool, 256> t{};
        for (unsigned c = 0; c < 256; ++c)
            t[c] = IsOperatorChar(static_cast<unsigned char>(c)) || c == '(';
        return t;
    }();
    for (; i < text.size(); ++i)
        if (kCalculating[static_cast<unsigned char>(text[i])])
            return true;
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
    if (std::string r; prog.Numeric && RunNumeric(prog, r))
        return r;
    if (prog.CallsNumeric)
        return RunValueProgramWithCalls(prog, base);
    return ValueProgramByTokens(prog, base, nullptr);
}

std::string TPoruBase::ValueProgramByTokens(const TCalcProg& prog, const char* base, const TOperandRecord* record)
{
    std::string result;
    if (!TakeRecorded(record, *prog.First, result))
        result = CompiledValue(*prog.First, base);
    if (prog.First->Type == TCalcTok::Call && !calcCalled_)
        return result;   // no call: the scanner stopped before the list
    if (prog.HasRest) {
        const char* q = base + prog.RestOffset;
        result = CalculateRestWith(std::move(result), q, &prog, base, record);
    }
    return result;
}

namespace {

bool IsStatementEnd(char c)
{
    return c == '\0' || c == '\r' || c == '\n' || c == ';';
}

// Whether the statement scanner, standing at `at`, stops there because the open body
// ends there: it looks for the end of the body after a group, a literal or a joining
// "&", and before each of the characters that end a run of ordinary ones.
bool StopsAtLimit(const char* at, const char* limit, bool afterPart)
{
    if (at != limit)
        return false;
    const char c = *at;
    return afterPart || c == ')' || c == '(' || c == '"' || c == '`' || c == '&';
}

}   // namespace

bool TPoruBase::AssignPlanEndsAt(const TAssignPlan& plan, const char* e, const char* limit)
{
    return IsStatementEnd(*e) || StopsAtLimit(e, limit, plan.AfterPart);
}

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
        if (!AssignPlanEndsAt(plan, e, limit))
            return nullptr;
        p = e;
        return &plan;
    }
    if (assignPlans_.size() >= kMaxPlans || p == limit)
        return nullptr;
    // Only ordinary characters, groups, literals and "&" joining on the same line are
    // kept: the statement scanner reads them the same wherever they stand, and nothing
    // in them runs while they are read. It stops at a statement end, and at the end of
    // the open body where it looks for it.
    TAssignPlan& plan = assignPlans_[p];
    memo = TPlanMemo{p, &plan};
    const char* q = p;
    bool afterPart = false;   // q follows a group, a literal or a joining "&"
    bool join = false;
    while (!IsStatementEnd(*q) && !StopsAtLimit(q, limit, afterPart)) {
        const char c = *q;
        if (c == '(' || c == '"' || c == '`') {
            try {
                if (c == '(')
                    ReadGroupView(q);
                else
                    ReadLiteralView(q);
            } catch (const EPoru&) {
                return nullptr;   // Usable stays false: the scanner raises the error
            }
            afterPart = true;
            continue;
        }
        if (c == '&') {
            // "&" at the end of a line joins the next line (running what is there).
            const char* r = q + 1;
            while (*r == ' ' || *r == '\t')
                ++r;
            if (*r == '\r' || *r == '\n')
                return nullptr;
            join = true;
            afterPart = true;
            ++q;
            continue;
        }
        afterPart = false;
        q += CharLen(q);
    }
    plan.Text.assign(p, q);
    plan.AfterPart = afterPart;
    plan.HasJoin = join;
    plan.Usable = true;
    TCalcCache& cache = CalcCache();
    if (IsCalculatingText(plan.Text))
        plan.Program = cache.Find(cache.Values, plan.Text, true);
    plan.Literal = SingleLiteralPlan(plan.Text);
    if (!plan.Program && !plan.Literal && IsPlainWordText(plan.Text)) {
        plan.Word.Text = plan.Text;
        plan.Word.Plain = true;
    }
    p = q;
    return &plan;
}
