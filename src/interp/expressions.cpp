// Value expressions, the calculator and literal expansion. Values are texts; numbers
// exist only inside a calculation and are written back with NumberToText.
#include <charconv>
#include <climits>
#include <cmath>
#include <cstring>

#include "core/sjis.h"
#include "core/walker_mode.h"
#include "interp/calc_cache.h"
#include "interp/interp.h"
#include "loader/scanner.h"

namespace {

// The part of a calculation's text quoted in its error message: at most 256 bytes
// (never half a character), so that errors in huge texts stay small.
std::string ShownText(std::string_view text)
{
    if (text.size() <= 256)
        return std::string(text);
    size_t i = 0;
    while (i < 256)
        i += CharLen(text.data() + i);
    return std::string(text.substr(0, i)) + "…";
}

bool IsPairing(unsigned char c)
{
    return c == '&' || c == '<' || c == '=' || c == '>' || c == '|';
}

const char kKatsu[] = "かつ";
const char kMatawa[] = "または";

bool StartsWith(const char* p, const char* s)
{
    return std::strncmp(p, s, std::strlen(s)) == 0;
}

// Compares texts as unsigned bytes; a proper prefix orders first.
int CompareBytes(const std::string& a, const std::string& b)
{
    int c = std::memcmp(a.data(), b.data(), a.size() < b.size() ? a.size() : b.size());
    if (c != 0)
        return c;
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

// Whether a comparison (opEq … opLe) holds when its operands compare as c (-1, 0, 1).
bool ComparisonHolds(uint8_t op, int c)
{
    switch (op) {
    case opEq:
        return c == 0;
    case opNe:
        return c != 0;
    case opLt:
        return c < 0;
    case opGt:
        return c > 0;
    case opGe:
        return c >= 0;
    default:
        return c <= 0;
    }
}

void CheckFinite(long double v)
{
    if (std::isnan(v))
        throw EPoru("不正な浮動小数点数演算命令");
    if (std::isinf(v))
        throw EPoru("浮動小数点数のオーバーフロー");
}

long double Power(long double base, long double ex)
{
    if (ex == 0)
        return 1;
    if (base == 0 && ex < 0)
        throw EPoru("0 による浮動小数点数除算");
    long double r;
    if (ex == std::trunc(ex) && std::fabs(ex) <= 1e9L) {
        // Whole exponents by repeated squaring (same result as repeated multiplication
        // for exactly representable products, far fewer steps for large exponents).
        long long n = static_cast<long long>(std::fabs(ex));
        long double acc = 1, b = base;
        while (n) {
            if (n & 1)
                acc *= b;
            b *= b;
            n >>= 1;
        }
        r = ex < 0 ? 1 / acc : acc;
    } else {
        if (base < 0)
            throw EPoru("不正な浮動小数点数演算命令");
        r = std::exp(ex * std::log(base));
    }
    CheckFinite(r);
    return r;
}

}   // namespace

uint8_t CalcOperatorOf(std::string_view op)
{
    if (op.size() == 1) {
        switch (op[0]) {
        case '*':
            return opMul;
        case '/':
            return opDiv;
        case '%':
            return opMod;
        case '^':
            return opPow;
        case '+':
            return opAdd;
        case '-':
            return opSub;
        case '&':
            return opJoin;
        case '=':
            return opEq;
        case '<':
            return opLt;
        case '>':
            return opGt;
        default:
            return opOther;
        }
    }
    if (op == "==")
        return opEq;
    if (op == "<>" || op == "><")
        return opNe;
    if (op == ">=" || op == "=>")
        return opGe;
    if (op == "<=" || op == "=<")
        return opLe;
    if (op == "&&")
        return opAnd;
    if (op == "||")
        return opOr;
    return opOther;
}

bool ReadCalcOperator(const char*& p, char (&op)[3])
{
    const unsigned char c = static_cast<unsigned char>(*p);
    op[0] = op[1] = op[2] = 0;
    if (IsOperatorChar(c)) {
        op[0] = static_cast<char>(c);
        ++p;
        if (IsPairing(c) && IsPairing(static_cast<unsigned char>(*p)))
            op[1] = *p++;
        return true;
    }
    for (const char* word : {kKatsu, kMatawa}) {
        if (c == static_cast<unsigned char>(word[0]) && StartsWith(p, word)) {
            p += std::strlen(word);
            op[0] = op[1] = word == kKatsu ? '&' : '|';
            return true;
        }
    }
    return false;
}

std::string TPoruBase::EvaluateValue(std::string_view text)
{
    if (text.empty())
        return std::string();
    if (const THashNode* n = PlainVariable(text))
        return VariableValue(*n);
    // Values passed around as texts may point into temporaries; work on a
    // zero-terminated copy only when the view is not already terminated.
    std::string holder;
    const char* p;
    if (text.data()[text.size()] == '\0') {
        p = text.data();
    } else {
        holder.assign(text);
        p = holder.c_str();
    }
    if (!ReferenceWalker()) {
        std::string compiled;
        if (EvaluateCompiled(text, p, compiled))
            return compiled;
    }
    SkipSeparators(p);
    std::string result = ReadValue(p);
    for (;;) {
        SkipSeparators(p);
        if (*p == '\0')
            break;
        if (*p == '&' && p[1] != '&') {
            ++p;
            SkipSeparators(p);
            if (*p == '\r' || *p == '\n') {
                StepInReading(p);
                SkipSeparators(p);
            }
            result += ReadValue(p);
            SetPendingTag('s');
            continue;
        }
        if (IsOperatorChar(static_cast<unsigned char>(*p)) || (p[0] == '&' && p[1] == '&') ||
            (p[0] == '|' && p[1] == '|')) {
            return CalculateRest(std::move(result), p);
        }
        break;
    }
    return result;
}

// The variable `text` names when it is one plain word (what the value reader then
// reads by name); null for any other text or word.
const THashNode* TPoruBase::PlainVariable(std::string_view text)
{
    constexpr size_t kMaxText = 32;
    if (text.size() > kMaxText || ReferenceWalker())
        return nullptr;
    // Numbers and quoted texts (most values passed around) are no word: they are
    // turned away before they take a memo's place.
    const unsigned char first = static_cast<unsigned char>(text[0]);
    if (first == '"' || first == '`' || first == '$' || first == '-' || (first >= '0' && first <= '9'))
        return nullptr;
    TWordRef& memo = plainValueMemo_[NameHash(text) % std::size(plainValueMemo_)];
    if (memo.Text != text) {
        memo.Text.assign(text);
        memo.Plain = IsPlainWordText(text);
        memo.Table = nullptr;   // found afresh
    }
    if (!memo.Plain)
        return nullptr;
    const THashNode* n = WordOf(memo);
    return n && n->Kind == wkVariable ? n : nullptr;
}

std::string TPoruBase::CalculateText(std::string_view text)
{
    std::string s(text);
    const char* p = s.c_str();
    return Calculate(p);
}

void TPoruBase::NextToken(const char*& p)
{
    if (calcTok_) {
        NextCompiledToken(p);
        return;
    }
    uint8_t prev = CalcToken.Kind;
    CalcToken.Kind = tkStart;
    CalcToken.HasNumber = false;
    SkipSeparators(p);
    unsigned char c = static_cast<unsigned char>(*p);
    if (c == '(') {
        std::string inner = ReadGroup(p);
        const char* q = inner.c_str();
        std::string r = Calculate(q);
        CalcToken.Text = std::move(r);
        CalcToken.Kind = PendingTagIs('s') ? tkString : tkNumber;
        return;
    }
    if (char op[3]; ReadCalcOperator(p, op)) {
        if ((prev == tkStart || prev == tkOperator) && op[0] == '-' && op[1] == 0) {
            NegatedText(CalcToken.Text, ReadValue(p));
            CalcToken.Kind = tkNumber;
            return;
        }
        if ((prev == tkStart || prev == tkOperator) && op[0] == '+' && op[1] == 0 &&
            (*p == '$' || (*p >= '0' && *p <= '9'))) {
            CalcToken.Text = ReadValue(p);
            CalcToken.Kind = tkNumber;
            return;
        }
        CalcToken.Text.assign(op);
        CalcToken.Kind = tkOperator;
        CalcToken.Op = CalcOperatorOf(op);
        return;
    }
    std::string v = ReadValue(p);
    CalcToken.Text = std::move(v);
    CalcToken.Kind = PendingTagIs('e') ? tkNumber : tkString;
}

void TPoruBase::ParsePrimary(const char*& p, TStrNum& r)
{
    if (CalcToken.Kind == tkOperator)
        throw EPoru("演算子「" + CalcToken.Text + "」の位置が不正。");
    // The token's text is taken over: the next token replaces it in any case.
    r.Text = std::move(CalcToken.Text);
    r.Kind = CalcToken.Kind;
    r.Number = CalcToken.HasNumber ? CalcToken.Number : ToNumber(r.Text);
    NextToken(p);
}

void TPoruBase::ParseTerm(const char*& p, TStrNum& r)
{
    ParsePrimary(p, r);
    while (CalcToken.Kind == tkOperator) {
        const uint8_t op = CalcToken.Op;
        if (op != opMul && op != opDiv && op != opMod && op != opPow)
            break;
        NextToken(p);
        TStrNum rhs;
        ParsePrimary(p, rhs);
        long double a = r.Number, b = rhs.Number;
        switch (op) {
        case opMul:
            r.Number = a * b;
            break;
        case opDiv:
            r.Number = b == 0 ? 0 : a / b;
            break;
        case opMod: {
            long double ta = std::trunc(a), tb = std::trunc(b);
            if (std::fabs(ta) >= 9.2233720368547758e18L || std::fabs(tb) >= 9.2233720368547758e18L)
                throw EPoru("不正な浮動小数点数演算命令");
            long long ia = static_cast<long long>(ta), ib = static_cast<long long>(tb);
            r.Number = ib == 0 ? 0 : static_cast<long double>(ia % ib);
            break;
        }
        case opPow:
            r.Number = Power(a, b);
            break;
        }
        CheckFinite(r.Number);
        r.Kind = tkNumber;
    }
}

void TPoruBase::ParseAdditive(const char*& p, TStrNum& r)
{
    ParseTerm(p, r);
    while (CalcToken.Kind == tkOperator) {
        const uint8_t op = CalcToken.Op;
        if (op != opAdd && op != opSub && op != opJoin)
            break;
        NextToken(p);
        TStrNum rhs;
        ParseTerm(p, rhs);
        if (op == opJoin) {
            r.Text += rhs.Text;
            r.Kind = tkString;
        } else {
            r.Number = op == opAdd ? r.Number + rhs.Number : r.Number - rhs.Number;
            CheckFinite(r.Number);
            r.Kind = tkNumber;
        }
    }
}

void TPoruBase::ParseComparison(const char*& p, TStrNum& r)
{
    ParseAdditive(p, r);
    for (;;) {
        if (CalcToken.Kind != tkOperator)
            break;
        const uint8_t kind = CalcToken.Op;
        if (kind < opEq || kind > opLe)
            break;
        r.Kind = tkNumber;
        NextToken(p);
        TStrNum rhs;
        ParseAdditive(p, rhs);
        int c;
        if (rhs.Kind == tkString)
            c = CompareBytes(r.Text, rhs.Text);
        else
            c = r.Number < rhs.Number ? -1 : (r.Number > rhs.Number ? 1 : 0);
        const bool res = ComparisonHolds(kind, c);
        r.Number = res ? 1 : 0;
        r.Kind = tkNumber;
    }
}

void TPoruBase::ParseLogical(const char*& p, TStrNum& r)
{
    ParseComparison(p, r);
    while (CalcToken.Kind == tkOperator && (CalcToken.Op == opAnd || CalcToken.Op == opOr)) {
        bool isAnd = CalcToken.Op == opAnd;
        NextToken(p);
        TStrNum rhs;
        ParseComparison(p, rhs);
        bool res = isAnd ? (r.Number > 0 && rhs.Number > 0) : (r.Number > 0 || rhs.Number > 0);
        r.Number = res ? 1 : 0;
        r.Kind = tkNumber;
    }
}

// ---- the numeric replay ----
//
// The calculator carries every operand as a text with its number. A compiled
// calculation that holds only numbers, words and operators working on numbers never
// looks at those texts between its steps, except where a group's result is written
// out and read back; so it is worked out here on numbers alone (TCalcProg::NumCode),
// with the same operations in the same order. It gives up, with nothing run and
// nothing changed, where the calculator would do more than that: a word that is not a
// variable (reading it could run code), a text compared as text, an error. The
// calculator then does the whole calculation.

namespace {

// An operand. Whole numbers that fit are carried as integers (Int, value I): sums,
// differences, products and comparisons of them are exact either way, and the
// integer form spares the conversions; anything else is a long double in V.
struct TNum {
    long double V;
    long long I;
    bool Int;
    bool Str;     // a text operand (a word's value not tagged as a number, or a group of one)
    bool NegOk;   // negating its text gives the negated number
    long double Value() const { return Int ? static_cast<long double>(I) : V; }
};

bool Finite(long double v)
{
    return !std::isnan(v) && !std::isinf(v);
}

int Compare(const TNum& a, const TNum& b)
{
    if (a.Int && b.Int)
        return a.I < b.I ? -1 : (a.I > b.I ? 1 : 0);
    const long double x = a.Value(), y = b.Value();
    return x < y ? -1 : (x > y ? 1 : 0);
}

// Sums, differences and products of two integers, when they stay integers.
bool IntegerStep(uint8_t op, TNum& a, const TNum& b)
{
    if (!a.Int || !b.Int)
        return false;
    long long r;
    switch (op) {
    case opAdd:
        if (__builtin_add_overflow(a.I, b.I, &r))
            return false;
        break;
    case opSub:
        if (__builtin_sub_overflow(a.I, b.I, &r))
            return false;
        break;
    case opMul:
        if (__builtin_mul_overflow(a.I, b.I, &r))
            return false;
        break;
    default:
        return false;
    }
    a.I = r;
    return true;
}

// The number a value's text stands for, as the calculator reads it: a whole number
// written with digits alone is carried as an integer. False when the calculator would
// raise an error.
[[gnu::always_inline]] inline bool ReadOperand(const std::string& text, TNum& t)
{
    t.NegOk = t.Int = true;
    if (ReadPlainInteger(text, t.V)) {
        t.I = static_cast<long long>(t.V);
        return true;
    }
    t.NegOk = t.Int = false;
    try {
        t.V = ToNumber(text);
    } catch (const EPoru&) {
        return false;
    }
    return true;
}

// The top two operands a and b made into one by `op`, as the calculator's parser does.
[[gnu::always_inline]] inline bool ApplyBinary(uint8_t op, TNum& a, const TNum& b)
{
    a.Str = false;
    if (op >= opEq && op <= opOr) {
        bool res;
        if (op == opAnd || op == opOr) {
            const bool x = a.Int ? a.I > 0 : a.V > 0, y = b.Int ? b.I > 0 : b.V > 0;
            res = op == opAnd ? x && y : x || y;
        } else {
            if (b.Str)
                return false;   // a text on the right is compared as text
            res = ComparisonHolds(op, Compare(a, b));
        }
        a.I = res ? 1 : 0;
        a.Int = true;
        return true;
    }
    if (IntegerStep(op, a, b))
        return true;
    const long double x = a.Value(), y = b.Value();
    a.Int = false;
    switch (op) {
    case opMul:
        a.V = x * y;
        break;
    case opDiv:
        a.V = y == 0 ? 0 : x / y;
        break;
    case opMod: {
        const long double tx = std::trunc(x), ty = std::trunc(y);
        if (std::fabs(tx) >= 9.2233720368547758e18L || std::fabs(ty) >= 9.2233720368547758e18L)
            return false;
        const long long ix = static_cast<long long>(tx), iy = static_cast<long long>(ty);
        a.V = iy == 0 ? 0 : static_cast<long double>(ix % iy);
        break;
    }
    case opPow:
        try {
            a.V = Power(x, y);
        } catch (const EPoru&) {
            return false;
        }
        break;
    case opAdd:
        a.V = x + y;
        break;
    default:
        a.V = x - y;
        break;
    }
    return Finite(a.V);
}

}   // namespace

bool TPoruBase::NumberResultText(const TNumResult& r, std::string& out, long long& whole)
{
    if (r.Int && r.I > -kWholeLimit && r.I < kWholeLimit) {
        AssignWholeNumber(out, r.I);
        whole = r.I;
        return true;
    }
    const long double v = r.Int ? static_cast<long double>(r.I) : r.V;
    if (!NumberToTextInto(v, out))
        return false;
    whole = static_cast<long long>(v);
    return true;
}

bool TPoruBase::RunNumeric(const TCalcProg& prog, std::string& result)
{
    TNumResult r;
    if (!RunNumeric(prog, r))
        return false;
    SetPendingTag('e');
    long long whole;
    NumberResultText(r, result, whole);
    return true;
}

bool TPoruBase::RunNumeric(const TCalcProg& prog, TNumResult& result)
{
    if (prog.WordOpWhole && calcDepth_ <= kMaxCalcDepth - 64 && RunWordOpWhole(prog, result))
        return true;
    return prog.Numeric && RunNumCode<false>(prog, result, nullptr, nullptr);
}

bool TPoruBase::RunWordOpWhole(const TCalcProg& prog, TNumResult& result)
{
    // What RunNumCode does with these three steps when the word holds a whole number
    // it has read before (its memo) and the result stays whole; anything else is
    // left to it. The word's tag does not matter: a text is only looked at on the
    // right of a comparison.
    const TNumOp* code = prog.NumCode.data();
    THashNode* n = CachedWord(*code[0].Tok);
    if (!n || n->Kind != wkVariable || !n->MemoMatches())
        return false;
    const long long a = n->MemoNumber, b = code[1].IValue;
    const uint8_t op = code[2].Op;
    long long r;
    switch (op) {
    case opAdd:
        if (__builtin_add_overflow(a, b, &r))
            return false;
        break;
    case opSub:
        if (__builtin_sub_overflow(a, b, &r))
            return false;
        break;
    case opMul:
        if (__builtin_mul_overflow(a, b, &r))
            return false;
        break;
    case opAnd:
        r = a > 0 && b > 0;
        break;
    case opOr:
        r = a > 0 || b > 0;
        break;
    default:
        if (op < opEq || op > opLe)
            return false;
        r = ComparisonHolds(op, a < b ? -1 : (a > b ? 1 : 0));
        break;
    }
    result.Int = true;
    result.I = r;
    return true;
}

bool TPoruBase::RunNumericCalls(const TCalcProg& prog, const char* base, TNumResult& result, TOperandRecord& record)
{
    return prog.CallsNumeric && RunNumCode<true>(prog, result, base, &record);
}

template <bool Calls>
[[gnu::always_inline]] inline bool TPoruBase::RunNumCode(const TCalcProg& prog, TNumResult& result, const char* base,
                                                         TOperandRecord* record)
{
    // Near the calculator's bound on nested groups it is left to raise its error.
    if (calcDepth_ > kMaxCalcDepth - 64)
        return false;
    TNum stack[32];   // NumDepth is at most 32
    TNum* top = stack - 1;
    for (const TNumOp& op : prog.NumCode) {
        switch (op.Kind) {
        case TNumOp::Number:
            *++top = TNum{op.Value, op.IValue, op.IsInt, false, true};
            break;
        case TNumOp::Word: {
            THashNode* n = CachedWord(*op.Tok);
            if (!n || n->Kind != wkVariable)
                return false;
            TNum& t = *++top;
            t.Str = !(n->TypeText.size() == 1 && n->TypeText[0] == 'e');
            if (n->MemoMatches()) {
                t.NegOk = t.Int = true;
                t.I = n->MemoNumber;
            } else if (!ReadOperand(n->Value, t)) {
                return false;
            } else if (t.Int) {
                n->SetMemo(t.I);
            }
            if (Calls && op.Record) {
                // A call comes after it and may change it.
                TRecordedOperand& e = record->Items[record->Count++];
                e.Tok = op.Tok;
                e.Text = n->Value;
                e.SetTag(n->TypeText);
            }
            break;
        }
        case TNumOp::Call: {
            if (!Calls)
                return false;
            const TRecordedOperand* v = NumericCallValue(*op.Tok, prog, base, *record);
            if (!v)
                return false;
            // The result read as a word's value is (its tag tells a text).
            TNum& t = *++top;
            t.Str = !v->TagIs('e');
            if (!ReadOperand(v->Text, t))
                return false;
            break;
        }
        case TNumOp::Round:
            // Whole numbers below 10^15 read back as themselves; a text passes unchanged.
            if (top->Str) {
                // unchanged
            } else if (top->Int) {
                if (top->I <= -kWholeLimit || top->I >= kWholeLimit) {
                    top->V = ToNumber(NumberToText(static_cast<long double>(top->I)));
                    top->Int = false;
                }
            } else if (!(top->V != 0 && top->V > -1e15L && top->V < 1e15L && top->V == std::trunc(top->V))) {
                top->V = ToNumber(NumberToText(top->V));
            }
            top->NegOk = !top->Str;
            break;
        case TNumOp::Neg:
            if (!top->NegOk || (top->Int && top->I == LLONG_MIN))
                return false;
            if (top->Int)
                top->I = -top->I;
            else
                top->V = -top->V;
            top->Str = false;
            top->NegOk = true;
            break;
        default:
            --top;
            if (!ApplyBinary(op.Op, top[0], top[1]))
                return false;
        }
    }
    if (top != stack || stack[0].Str)
        return false;
    result.Int = stack[0].Int;
    result.I = stack[0].I;
    result.V = stack[0].V;
    return true;
}

TPoruBase::TGroupLevel TPoruBase::EnterGroup(bool counted)
{
    CheckStack();
    if (!counted)
        return TGroupLevel{calcDepth_, false};
    if (calcDepth_ >= kMaxCalcDepth)
        Error("計算式の括弧の入れ子が深すぎます。");
    ++calcDepth_;
    return TGroupLevel{calcDepth_, true};
}

std::string TPoruBase::Calculate(const char*& p)
{
    const TCalcProg* prog = nullptr;
    if (!ReferenceWalker()) {
        TCalcCache& cache = CalcCache();
        prog = cache.Find(cache.Calculations, std::string_view(p), false);
    }
    return RunCompiledCalc(p, prog);
}

std::string TPoruBase::RunCompiledCalc(const char*& p, const TCalcProg* prog)
{
    const char* start = p;
    if (prog && prog->Numeric) {
        std::string r;
        if (RunNumeric(*prog, r)) {
            p = start + prog->Toks.back().EndOffset;   // where the calculator ends too
            return r;
        }
    }
    TGroupLevel level = EnterGroup();
    TCalcMode mode(*this, prog, start);
    try {
        CalcToken.Kind = tkStart;
        SkipSeparators(p);
        NextToken(p);
        TStrNum r;
        ParseLogical(p, r);
        if (CalcToken.Kind == tkStart || CalcToken.Kind == tkOperator)
            throw EPoru("計算結果が不正");
        if (r.Kind == tkNumber) {
            SetPendingTag('e');
            return NumberToText(r.Number);
        }
        SetPendingTag('s');
        return std::move(r.Text);
    } catch (const EPoru& e) {
        Error("計算式に誤りがあります。" + e.Message + ShownText(start));
    }
}

// The calculation of "(" first rest ")": the value read so far is the first operand
// and the calculator goes on at the operator, without building and re-reading the
// parenthesised text. Failures are reported as the two nested calculations would.
std::string TPoruBase::CalculateRest(std::string first, const char*& p)
{
    return CalculateRestWith(std::move(first), p, nullptr, p);
}

const TRecordedOperand* TPoruBase::NumericCallValue(const TCalcTok& t, const TCalcProg& prog, const char* base,
                                                    TOperandRecord& record)
{
    // What CompiledValue does with a Call token whose name is callable; anything else
    // is left to the calculator.
    THashNode* callee = CallableCallee(t);
    if (!callee)
        return nullptr;
    TRecordedOperand& e = record.Items[record.Count];
    if (&t == prog.First.get()) {
        e.Text = CallToken(t, base, callee);
    } else {
        // A call after the first value runs inside the calculator, which reports its
        // errors as errors of the calculation. The first value is recorded already.
        try {
            e.Text = CallToken(t, base, callee);
        } catch (const EPoru& err) {
            const TCalcTok& first = *prog.First;
            if (first.Type == TCalcTok::Literal)
                RaiseRestError(first.Text, false, base + prog.RestOffset, err);
            const TRecordedOperand& f = record.Items[0];
            RaiseRestError(f.Text, f.TagIs('s'), base + prog.RestOffset, err);
        }
    }
    e.Tok = &t;
    e.SetTag(LastTypeTag);
    ++record.Count;
    return &e;
}

std::string TPoruBase::RunValueProgramWithCalls(const TCalcProg& prog, const char* base)
{
    TOperandRecord record;
    if (TNumResult r; RunNumericCalls(prog, base, r, record)) {
        SetPendingTag('e');
        std::string out;
        long long whole;
        NumberResultText(r, out, whole);
        return out;
    }
    return ValueProgramByTokens(prog, base, record.Count ? &record : nullptr);
}

void TPoruBase::RaiseRestError(const std::string& first, bool isString, const char* restStart, const EPoru& e)
{
    std::string inside = ShownText((isString ? QuoteRaw(first) : first) + restStart);
    std::string inner = FormatError("計算式に誤りがあります。" + e.Message + inside);
    AppendErrorText(inner);
    Error("計算式に誤りがあります。" + inner + "(" + inside + ")");
}

std::string TPoruBase::CalculateRestWith(std::string first, const char*& p, const TCalcProg* prog, const char* base,
                                         const TOperandRecord* record)
{
    bool isString = PendingTagIs('s');
    const char* restStart = p;
    TCalcMode mode(*this, prog, base, record);
    try {
        CalcToken.Text = first;   // `first` is kept for the message of an error
        CalcToken.Kind = isString ? tkString : tkNumber;
        CalcToken.HasNumber = false;
        TStrNum r;
        ParseLogical(p, r);
        if (CalcToken.Kind == tkStart || CalcToken.Kind == tkOperator)
            throw EPoru("計算結果が不正");
        if (r.Kind == tkNumber) {
            SetPendingTag('e');
            return NumberToText(r.Number);
        }
        SetPendingTag('s');
        return std::move(r.Text);
    } catch (const EPoru& e) {
        RaiseRestError(first, isString, restStart, e);
    }
}
