// The number commands: variable arithmetic, whole-number operations, random
// numbers, rounding and the maths functions on long double. Floating faults
// (division by zero, arguments outside a function's domain, overflow) raise the
// calculator's messages with the file and line.
#include <cmath>

#include "commands/numbers/number_format.h"
#include "commands/numbers/random.h"
#include "commands/strings/strings.h"
#include "core/sjis.h"
#include "interp/builtins.h"
#include "interp/host.h"
#include "loader/normaliser.h"

namespace {

using numfmt::kMsgDivideByZero;
using numfmt::kMsgInvalidOp;
using numfmt::kMsgOverflow;

constexpr long double kPi = 3.141592653589793238462643383279502884L;

long double Checked(TPoruBase& st, long double v)
{
    if (std::isnan(v))
        st.Error(kMsgInvalidOp);
    if (std::isinf(v))
        st.Error(kMsgOverflow);
    return v;
}

// A whole-number argument: truncated toward zero, it must fit 32 bits. Handlers
// take every argument first and check afterwards, so that a failing command
// leaves no argument behind.
int32_t Whole(TPoruBase& st, long double v)
{
    long double t = truncl(v);
    if (!(t >= -2147483648.0L && t <= 2147483647.0L))
        st.ArgError();
    return static_cast<int32_t>(t);
}

// Both operands of a whole-number command, the first template slot first.
void PopTwoWhole(TPoruBase& st, int32_t& a, int32_t& b)
{
    long double second = st.PopNumber();
    long double first = st.PopNumber();
    a = Whole(st, first);
    b = Whole(st, second);
}

// A real result whose tag stays as それ had it.
void SetKeepTag(TPoruBase& st, long double v)
{
    st.SetSoreValue(NumberToText(Checked(st, v)));
}

// The logarithm's argument must be positive: 0 is a division by zero, a negative
// value an invalid operation.
void CheckLogArgument(TPoruBase& st, long double x)
{
    if (x == 0)
        st.Error(kMsgDivideByZero);
    if (x < 0 || std::isnan(x))
        st.Error(kMsgInvalidOp);
}

// 足す, 引く, 掛ける, 割る: the left operand is a variable (changed in place) or an
// expression; 足す adds numbers only when the value's tag is "e" and otherwise
// joins the texts.
void VariableArithmetic(TPoruBase& st, char op)
{
    std::string value = st.PopText();
    std::string valueTag = st.LastTypeTag;
    std::string raw = st.PopRaw();
    THashNode* var = st.Words.FindExact(raw);
    if (var && var->Kind != wkVariable)
        var = nullptr;
    std::string left = var ? var->Value : st.EvaluateValue(raw);
    if (var && var->Reserved)
        st.Error("\"" + var->Name + "\"は、読取専用です。");

    std::string result, tag = "e";
    if (op == '+' && valueTag != "e") {
        result = left + value;
        tag = valueTag;
    } else {
        long double a = ToNumber(left), b = ToNumber(value);
        long double r = 0;
        switch (op) {
        case '+':
            r = a + b;
            break;
        case '-':
            r = a - b;
            break;
        case '*':
            r = a * b;
            break;
        default:
            if (b == 0)
                st.Error(kMsgDivideByZero);
            r = a / b;
            break;
        }
        result = NumberToText(Checked(st, r));
    }
    if (var) {
        var->Value = result;
        var->TypeText = tag;
    }
    st.SetSore(std::move(result), tag.c_str());
}

void cmdAdd(TPoruBase& st)
{
    VariableArithmetic(st, '+');
}
void cmdSubtract(TPoruBase& st)
{
    VariableArithmetic(st, '-');
}
void cmdMultiply(TPoruBase& st)
{
    VariableArithmetic(st, '*');
}
void cmdDivide(TPoruBase& st)
{
    VariableArithmetic(st, '/');
}

// 入れる: the variable (created when missing) receives それ's text and tag.
void cmdStore(TPoruBase& st)
{
    THashNode* target = st.PopWord(true);
    const std::string value = st.Sys.Sore->Value;
    const std::string tag = st.Sys.Sore->TypeText;
    if (target == st.Sys.Sore)
        return;
    switch (target->Kind) {
    case wkVariable:
    case wkHash:
        if (target->Reserved)
            st.Error("\"" + target->Name + "\"は、読取専用です。");
        if (tag == "hs") {
            THash* table = new THash;
            table->LoadPairs(value);
            target->SetTable(table);
        } else {
            if (target->Kind == wkHash) {
                target->DropTable();
                target->Kind = wkVariable;
            }
            target->Value = value;
        }
        target->TypeText = tag;
        break;
    case wkObject:
        if (!st.Host)
            RaiseNeedsWindow(st, target->Name);
        st.Host->SetObjectValue(st, target, value);
        break;
    default:
        st.ArgError();
    }
}

// 計算: the argument's value, made half-width outside its quoted parts, calculated;
// a failing calculation gives the empty text.
void cmdCalculate(TPoruBase& st)
{
    std::string raw = st.PopRaw();
    std::string text = st.EvaluateValue(raw);
    std::string half;
    half.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        char c = text[i];
        if (c == '"' || c == '`') {
            size_t end = sjistext::FindAtCharStart(text, std::string_view(&text[i], 1), i + 1);
            end = end == sjistext::npos ? text.size() : end + 1;
            half.append(text, i, end - i);
            i = end;
            continue;
        }
        size_t j = i;
        while (j < text.size() && text[j] != '"' && text[j] != '`')
            j += CharLenAt(text, j);
        half += ToHalf(std::string_view(text).substr(i, j - i));
        i = j;
    }
    size_t errorMark = st.ErrorText.size();
    std::string result;
    try {
        result = st.CalculateText(half);
    } catch (const EPoru&) {
        st.ErrorText.resize(errorMark);   // the failure is swallowed, not reported
        result.clear();
    }
    st.SetSore(std::move(result), "s");
}

// MOD (余り), AND, OR, XOR, NOT, SHR, SHL on signed 32-bit whole numbers.
void cmdMod(TPoruBase& st)
{
    int32_t dividend, divisor;
    PopTwoWhole(st, dividend, divisor);
    if (divisor == 0)
        st.Error(kMsgDivideByZero);
    st.SetSoreInt(divisor == -1 ? 0 : dividend % divisor);
}

void cmdAnd(TPoruBase& st)
{
    int32_t a, b;
    PopTwoWhole(st, a, b);
    st.SetSoreInt(a & b);
}

void cmdOr(TPoruBase& st)
{
    int32_t a, b;
    PopTwoWhole(st, a, b);
    st.SetSoreInt(a | b);
}

void cmdXor(TPoruBase& st)
{
    int32_t a, b;
    PopTwoWhole(st, a, b);
    st.SetSoreInt(a ^ b);
}

void cmdNot(TPoruBase& st)
{
    st.SetSoreInt(st.PopInt() == 0 ? 1 : 0);
}

void cmdShr(TPoruBase& st)
{
    int32_t value, count;
    PopTwoWhole(st, value, count);
    st.SetSoreInt(static_cast<int32_t>(static_cast<uint32_t>(value) >> (static_cast<uint32_t>(count) & 31)));
}

void cmdShl(TPoruBase& st)
{
    int32_t value, count;
    PopTwoWhole(st, value, count);
    st.SetSoreInt(static_cast<int32_t>(static_cast<uint32_t>(value) << (static_cast<uint32_t>(count) & 31)));
}

// 乱数: an integer draw below the limit (default 100).
void cmdRandom(TPoruBase& st)
{
    int32_t limit = ToIntOrDefault(st.PopText(), 100);
    st.SetSoreInt(SharedRandom(st).Below(limit));
}

// RND: a real draw, 0 <= x < 1.
void cmdRnd(TPoruBase& st)
{
    st.SetSoreNumber(SharedRandom(st).Real());
}

// 乱数初期化: -1 reseeds from the clock, any other value becomes the state.
void cmdRandomize(TPoruBase& st)
{
    int32_t seed = st.PopInt();
    if (seed == -1)
        SharedRandom(st).SeedFromClock();
    else
        SharedRandom(st).Seed(static_cast<uint32_t>(seed));
}

// 整数, INT, TRUNC: truncated toward zero to a 64-bit integer.
void cmdTrunc(TPoruBase& st)
{
    int64_t v;
    if (!numfmt::TruncToInt64(st.PopNumber(), v))
        st.Error(kMsgInvalidOp);
    st.SetSoreInt(v);
}

// ROUND: the nearest 64-bit integer, halves to even.
void cmdRound(TPoruBase& st)
{
    int64_t v;
    if (!numfmt::RoundToInt64(st.PopNumber(), v))
        st.Error(kMsgInvalidOp);
    st.SetSoreInt(v);
}

// 切り捨て / 四捨五入 to a number of decimal places.
void cmdTruncPlaces(TPoruBase& st)
{
    long double places = st.PopNumber();
    long double x = st.PopNumber();
    st.SetSoreNumber(Checked(st, numfmt::TruncToPlaces(x, Whole(st, places))));
}

void cmdRoundPlaces(TPoruBase& st)
{
    long double places = st.PopNumber();
    long double x = st.PopNumber();
    st.SetSoreNumber(Checked(st, numfmt::RoundToPlaces(x, Whole(st, places))));
}

// CEIL / FLOOR: truncated to 32 bits, then one step up / down for a fraction.
void CeilFloor(TPoruBase& st, bool up)
{
    long double x = st.PopNumber();
    long double t = truncl(x);
    if (!(t >= -2147483648.0L && t <= 2147483647.0L))
        st.ArgError();
    int64_t v = static_cast<int64_t>(t);
    if (up && x - t > 0)
        ++v;
    if (!up && x - t < 0)
        --v;
    st.SetSoreInt(v);
}

void cmdCeil(TPoruBase& st)
{
    CeilFloor(st, true);
}
void cmdFloor(TPoruBase& st)
{
    CeilFloor(st, false);
}

// FRAC: the digits after the decimal point, from the text.
void cmdFrac(TPoruBase& st)
{
    st.SetSore(numfmt::FracText(st.PopText()), "e");
}

void cmdAbs(TPoruBase& st)
{
    st.SetSoreNumber(fabsl(st.PopNumber()));
}
void cmdExp(TPoruBase& st)
{
    st.SetSoreNumber(Checked(st, expl(st.PopNumber())));
}

void cmdLn(TPoruBase& st)
{
    long double x = st.PopNumber();
    CheckLogArgument(st, x);
    st.SetSoreNumber(Checked(st, logl(x)));
}

void cmdLog2(TPoruBase& st)
{
    long double x = st.PopNumber();
    CheckLogArgument(st, x);
    st.SetSoreNumber(Checked(st, log2l(x)));
}

void cmdLog10(TPoruBase& st)
{
    long double x = st.PopNumber();
    CheckLogArgument(st, x);
    st.SetSoreNumber(Checked(st, log10l(x)));
}

// LOG: the base first, then x.
void cmdLog(TPoruBase& st)
{
    long double x = st.PopNumber();
    long double base = st.PopNumber();
    CheckLogArgument(st, x);
    CheckLogArgument(st, base);
    if (base == 1)
        st.Error(kMsgDivideByZero);
    st.SetSoreNumber(Checked(st, logl(x) / logl(base)));
}

// POWER: the base first, then the exponent.
void cmdPower(TPoruBase& st)
{
    long double exponent = st.PopNumber();
    long double base = st.PopNumber();
    if (base == 0 && exponent < 0)
        st.Error(kMsgDivideByZero);
    if (base < 0 && exponent != truncl(exponent))
        st.Error(kMsgInvalidOp);
    st.SetSoreNumber(Checked(st, powl(base, exponent)));
}

void cmdSqrt(TPoruBase& st)
{
    long double x = st.PopNumber();
    if (x < 0)
        st.Error(kMsgInvalidOp);
    st.SetSoreNumber(Checked(st, sqrtl(x)));
}

// HEX: the 32-bit pattern in hexadecimal.
void cmdHex(TPoruBase& st)
{
    st.SetSore(numfmt::HexOf(st.PopInt()), "e");
}

// The trigonometric commands and angle conversions leave それ's tag as it was.
void cmdSin(TPoruBase& st)
{
    SetKeepTag(st, sinl(st.PopNumber()));
}
void cmdCos(TPoruBase& st)
{
    SetKeepTag(st, cosl(st.PopNumber()));
}
void cmdTan(TPoruBase& st)
{
    SetKeepTag(st, tanl(st.PopNumber()));
}
void cmdArcTan(TPoruBase& st)
{
    SetKeepTag(st, atanl(st.PopNumber()));
}

void cmdArcSin(TPoruBase& st)
{
    long double x = st.PopNumber();
    if (!(x >= -1 && x <= 1))
        st.Error(kMsgInvalidOp);
    SetKeepTag(st, asinl(x));
}

void cmdArcCos(TPoruBase& st)
{
    long double x = st.PopNumber();
    if (!(x >= -1 && x <= 1))
        st.Error(kMsgInvalidOp);
    SetKeepTag(st, acosl(x));
}

void cmdHypot(TPoruBase& st)
{
    long double y = st.PopNumber();
    long double x = st.PopNumber();
    SetKeepTag(st, hypotl(x, y));
}

void cmdCycleToRad(TPoruBase& st)
{
    SetKeepTag(st, st.PopNumber() * 2 * kPi);
}
void cmdDegToRad(TPoruBase& st)
{
    SetKeepTag(st, st.PopNumber() * kPi / 180);
}
void cmdGradToRad(TPoruBase& st)
{
    SetKeepTag(st, st.PopNumber() * kPi / 200);
}
void cmdRadToCycle(TPoruBase& st)
{
    SetKeepTag(st, st.PopNumber() / (2 * kPi));
}
void cmdRadToDeg(TPoruBase& st)
{
    SetKeepTag(st, st.PopNumber() * 180 / kPi);
}
void cmdRadToGrad(TPoruBase& st)
{
    SetKeepTag(st, st.PopNumber() * 200 / kPi);
}

HandlerRegistrar reg({
    {Cmd::Calculate, cmdCalculate},
    {Cmd::Random, cmdRandom},
    {Cmd::Integer, cmdTrunc},
    {Cmd::TruncPlaces, cmdTruncPlaces},
    {Cmd::RoundPlaces, cmdRoundPlaces},
    {Cmd::Sin, cmdSin},
    {Cmd::Cos, cmdCos},
    {Cmd::Tan, cmdTan},
    {Cmd::Abs, cmdAbs},
    {Cmd::Ceil, cmdCeil},
    {Cmd::Exp, cmdExp},
    {Cmd::Floor, cmdFloor},
    {Cmd::Frac, cmdFrac},
    {Cmd::Int, cmdTrunc},
    {Cmd::Ln, cmdLn},
    {Cmd::Log, cmdLog},
    {Cmd::Power, cmdPower},
    {Cmd::Round, cmdRound},
    {Cmd::Sqrt, cmdSqrt},
    {Cmd::Trunc, cmdTrunc},
    {Cmd::Rnd, cmdRnd},
    {Cmd::Randomize, cmdRandomize},
    {Cmd::Log2, cmdLog2},
    {Cmd::Log10, cmdLog10},
    {Cmd::ArcTan, cmdArcTan},
    {Cmd::ArcCos, cmdArcCos},
    {Cmd::ArcSin, cmdArcSin},
    {Cmd::Hypot, cmdHypot},
    {Cmd::CycleToRad, cmdCycleToRad},
    {Cmd::DegToRad, cmdDegToRad},
    {Cmd::GradToRad, cmdGradToRad},
    {Cmd::RadToCycle, cmdRadToCycle},
    {Cmd::RadToDeg, cmdRadToDeg},
    {Cmd::RadToGrad, cmdRadToGrad},
    {Cmd::Add, cmdAdd},
    {Cmd::Subtract, cmdSubtract},
    {Cmd::Multiply, cmdMultiply},
    {Cmd::Divide, cmdDivide},
    {Cmd::And, cmdAnd},
    {Cmd::Or, cmdOr},
    {Cmd::Xor, cmdXor},
    {Cmd::Mod, cmdMod},
    {Cmd::Shr, cmdShr},
    {Cmd::Shl, cmdShl},
    {Cmd::Hex, cmdHex},
    {Cmd::Not, cmdNot},
    {Cmd::Store, cmdStore},
});

}   // namespace
