// Value expressions, the calculator and literal expansion. Values are texts; numbers
// exist only inside a calculation and are written back with NumberToText.
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
                ExecuteStep(p);
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
        bool res = false;
        switch (kind) {
        case opEq:
            res = c == 0;
            break;
        case opNe:
            res = c != 0;
            break;
        case opLt:
            res = c < 0;
            break;
        case opGt:
            res = c > 0;
            break;
        case opGe:
            res = c >= 0;
            break;
        case opLe:
            res = c <= 0;
            break;
        }
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

std::string TPoruBase::CalculateRestWith(std::string first, const char*& p, const TCalcProg* prog, const char* base)
{
    bool isString = PendingTagIs('s');
    const char* restStart = p;
    TCalcMode mode(*this, prog, base);
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
        std::string inside = ShownText((isString ? QuoteRaw(first) : first) + restStart);
        std::string inner = FormatError("計算式に誤りがあります。" + e.Message + inside);
        AppendErrorText(inner);
        Error("計算式に誤りがあります。" + inner + "(" + inside + ")");
    }
}
