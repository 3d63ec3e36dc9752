// Conversions, the calculator, value expressions and literal expansion.
#include <gtest/gtest.h>

#include <cmath>

#include "interp/interp.h"
#include "interp_fixture.h"

namespace {

struct Interp : TInterpFixture {
    std::string Calc(const std::string& text) { return st.CalculateText(text); }
    // The message of the error a calculation raises.
    std::string CalcError(const std::string& text)
    {
        try {
            st.CalculateText(text);
        } catch (const EPoru& e) {
            return e.Message;
        }
        return "(no error)";
    }
};

TEST(ToNumber, Forms)
{
    struct {
        const char* text;
        long double want;
    } cases[] = {
        {"", 0},         {"12abc", 12},   {"abc", 0},        {"-", 0},     {"1,234", 1234},
        {"1e5", 100000}, {"1.5e3", 1500}, {"1.5e", 1.5L},    {".5", 0.5L}, {".", 0},
        {"--5", 0},      {"$1F", 31},     {"$FFFFFFFF", -1}, {"$1G", 0},   {"$", 0},
        {"1.0e3", 1000}, {"-$10", 0},     {" -2.5 ", -2.5L}, {"+7", 7},    {"　１，２３４．５　", 1234.5L},
        {"－３", -3},    {"1E15", 1e15L}, {"2E-3", 0.002L},  {"e5", 0},    {".e5", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ToNumber(c.text), c.want) << c.text;
}

TEST(ToNumber, OutOfRangeIsAnError)
{
    EXPECT_THROW(ToNumber("1.0e99999"), EPoru);
    EXPECT_EQ(ToNumber("1.0e-99999"), 0);
}

TEST(ToIntOrDefault, Forms)
{
    struct {
        const char* text;
        int32_t want;
    } cases[] = {
        {"12", 12},
        {" 12", 12},
        {"12 ", -9},
        {"$FF", 255},
        {"0x10", 16},
        {"x1f", 31},
        {"$FFFFFFFF", -1},
        {"$123456789", -9},
        {"2147483647", 2147483647},
        {"2147483648", -9},
        {"-2147483648", INT32_MIN},
        {"１２", -9},
        {"+5", 5},
        {"", -9},
        {"1.5", -9},
        {"-", -9},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ToIntOrDefault(c.text, -9), c.want) << c.text;
}

TEST(NumberToText, FifteenSignificantDigits)
{
    struct {
        long double v;
        const char* want;
    } cases[] = {
        {0, "0"},
        {1234.5L, "1234.5"},
        {0.0001L, "0.0001"},
        {100, "100"},
        {1.0L / 3, "0.333333333333333"},
        {1e15L, "1E15"},
        {0.00001L, "1E-5"},
        {1.5e-10L, "1.5E-10"},
        {1234567890123456.0L, "1.23456789012346E15"},
        {123456789012345.0L, "123456789012345"},
        {-2.5L, "-2.5"},
        {-0.001L, "-0.001"},
        {2.0L / 3, "0.666666666666667"},
        {1e20L, "1E20"},
        {123.456L, "123.456"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(NumberToText(c.v), c.want);
        // What is written reads back as the same number (1E15 once read as 1).
        EXPECT_EQ(NumberToText(ToNumber(c.want)), c.want);
    }
}

TEST(RawQuoting, RoundTrip)
{
    for (const char* s : {"", "abc", "a`b", "``", "表示`ソ", "`"}) {
        std::string q = QuoteRaw(s);
        EXPECT_EQ(q.front(), '`');
        EXPECT_EQ(UnquoteRaw(q), s);
    }
    EXPECT_EQ(QuoteRaw("a`b"), "`a``b`");
    EXPECT_EQ(UnquoteRaw("plain"), "plain");
}

TEST_F(Interp, Precedence)
{
    struct {
        const char* expr;
        const char* want;
    } cases[] = {
        {"1+2*3", "7"},      {"(1+2)*3", "9"},  {"2^3^2", "64"},       {"7%3", "1"},
        {"-7%3", "-1"},      {"7.9%2", "1"},    {"10/0", "0"},         {"10%0", "0"},
        {"0^0", "1"},        {"5^0", "1"},      {"1/3*3", "1"},        {"(1/3)*3", "0.999999999999999"},
        {"3=3", "1"},        {"3<>3", "0"},     {"3><4", "1"},         {"1<2 && 2<3", "1"},
        {"-1||0", "0"},      {"1||0", "1"},     {"\"9\"<\"10\"", "0"}, {"9<10", "1"},
        {"1+2&3", "13"},     {"(1+2)&3", "33"}, {"$FF+1", "256"},      {"1<2<3", "1"},
        {"2>=2", "1"},       {"2=>3", "0"},     {"2=<2", "1"},         {"1 かつ 0", "0"},
        {"0 または 1", "1"}, {"-(1+2)", "-3"},  {"2*-3", "-6"},        {"1 2", "1"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Calc(c.expr), c.want) << c.expr;
}

TEST_F(Interp, ComparisonTypeFollowsTheRightOperand)
{
    Set("A", "abc", "s");
    EXPECT_EQ(Calc("A=`abc`"), "1");
    Set("B", "10", "s");
    EXPECT_EQ(Calc("9<B"), "0");   // text comparison: "9" > "10"
    Set("C", "10", "e");
    EXPECT_EQ(Calc("9<C"), "1");
    EXPECT_EQ(Calc("B=10"), "1");   // numeric: the right operand is a number
}

TEST_F(Interp, CalculationErrors)
{
    EXPECT_NE(CalcError("1 | 2").find("計算結果が不正"), std::string::npos);
    EXPECT_NE(CalcError("1 * * 2").find("演算子「*」の位置が不正。"), std::string::npos);
    EXPECT_NE(CalcError("(-8)^0.5").find("不正な浮動小数点数演算命令"), std::string::npos);
    EXPECT_NE(CalcError("0^-1").find("0 による浮動小数点数除算"), std::string::npos);
    EXPECT_NE(CalcError("10^5000^10").find("浮動小数点数のオーバーフロー"), std::string::npos);
    std::string m = CalcError("1 * * 2");
    EXPECT_EQ(m.rfind("[エラー] t.prk(", 0), 0u) << m;
    EXPECT_NE(m.find("計算式に誤りがあります。"), std::string::npos);
}

TEST_F(Interp, ValueExpressions)
{
    EXPECT_EQ(st.EvaluateValue("1.50"), "1.50");
    EXPECT_EQ(st.LastTypeTag, "e");
    EXPECT_EQ(st.EvaluateValue("1.50+0"), "1.5");
    Set("A", "abc", "s");
    EXPECT_EQ(st.EvaluateValue("A&1"), "abc1");
    EXPECT_EQ(st.LastTypeTag, "s");
    Set("X", "x", "s");
    Set("Y", "2", "e");
    EXPECT_EQ(st.EvaluateValue("X & Y + 1"), "1");
    EXPECT_EQ(st.EvaluateValue("\"a\"&\"b\""), "ab");
    EXPECT_EQ(st.EvaluateValue("未定義の語"), "未定義の語");
    Set("M", "-3", "e");
    // The negation of a negative value is positive (its text once read "--3", that is 0).
    EXPECT_EQ(st.EvaluateValue("-M"), "3");
    EXPECT_EQ(st.EvaluateValue("-M*2"), "6");
    EXPECT_EQ(st.EvaluateValue("1--M"), "-2");
    Set("P", "+4", "s");
    EXPECT_EQ(st.EvaluateValue("-P+0"), "-4");
}

TEST_F(Interp, LiteralExpansion)
{
    Set("A", "5", "e");
    struct {
        const char* lit;
        const char* want;
    } cases[] = {
        {"\"a{1+1}b\"", "a2b"}, {"\"a\\nb\"", "a\r\nb"},  {"\"a\\tb\"", "a\tb"}, {"\"{A\"", ""},   {"\"a}b\"", "ab"},
        {"`a``b`", "a`b"},      {"`{A}`", "{A}"},         {"\"\\{A}\"", "{A}"},  {"\"{A}\"", "5"}, {"\"x{A+1}\"", "x6"},
        {"\"\\\\\"", "\\"},     {"\"表{A}ソ\"", "表5ソ"}, {"\"a\" & `b`", "ab"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(st.ExpandLiteral(c.lit), c.want) << c.lit;
    EXPECT_THROW(st.ExpandLiteral("\"abc"), EPoru);
}

TEST_F(Interp, ArgumentBinding)
{
    THashNode* add = st.Words.Find("足す", true);
    ASSERT_NE(add, nullptr);
    ASSERT_EQ(add->ArgSpec, "?に,?を");
    // Written order does not matter; handlers pop the last slot first.
    for (auto order : {std::vector<std::string>{"Aに", "1を"}, std::vector<std::string>{"1を", "Aに"}}) {
        st.Args.Clear();
        for (auto& e : order)
            st.Args.Push(e);
        st.MatchArguments(add);
        ASSERT_EQ(st.Args.Count(), 2u);
        EXPECT_EQ(st.Args.PeekAt(0), "A");
        EXPECT_EQ(st.Args.PeekAt(1), "1");
        EXPECT_FALSE(st.ImpliedSore);
    }
    // Equivalent particles: へ for に.
    st.Args.Clear();
    st.Args.Push("`x`へ");
    st.Args.Push("2を");
    st.MatchArguments(add);
    EXPECT_EQ(st.Args.PeekAt(0), "`x`");
    // それ supplied for a missing first argument.
    st.Args.Clear();
    st.Args.Push("3を");
    st.MatchArguments(add);
    EXPECT_TRUE(st.ImpliedSore);
    EXPECT_EQ(st.Args.PeekAt(0), "それ");
    EXPECT_EQ(st.Args.PeekAt(1), "3");
    // No entry for a slot: the wrong-particle message names the slot.
    st.Args.Clear();
    st.Args.Push("3で");
    try {
        st.MatchArguments(add);
        FAIL();
    } catch (const EPoru& e) {
        EXPECT_NE(e.Message.find("\"足\"命令の引数に誤りがあります。\"?に,?を\"の形式で指定してください。\"を\""),
                  std::string::npos)
            << e.Message;
    }
    // Too few entries.
    THashNode* rep = st.Words.Find("置換", true);
    st.Args.Clear();
    st.Args.Push("Aの");
    try {
        st.MatchArguments(rep);
        FAIL();
    } catch (const EPoru& e) {
        EXPECT_NE(
            e.Message.find(
                "\"置換\"命令の引数に誤りがあります。\"?の,?を,?に\"の形式で指定してください。引数が少ないです。"),
            std::string::npos)
            << e.Message;
    }
}

}   // namespace
