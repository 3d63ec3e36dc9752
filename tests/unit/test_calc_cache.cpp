// Compiled calculations: the tokens kept for a text must give what scanning it gives,
// however the words they name change between runs.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "interp/calc_cache.h"
#include "interp/interp.h"
#include "interp_fixture.h"

namespace {

struct Compiled : TInterpFixture {
    std::string Error(const std::string& text)
    {
        try {
            st.EvaluateValue(text);
        } catch (const EPoru& e) {
            return e.Message;
        }
        return "(no error)";
    }
};

TEST(CompileCalculation, CoversOnlyWhatItCanReplay)
{
    EXPECT_NE(CompileCalculation("1+2*(A-3)"), nullptr);
    EXPECT_NE(CompileCalculation("-A+ +5 かつ B または (C)"), nullptr);
    EXPECT_EQ(CompileCalculation("\"a\"&B"), nullptr);   // a literal
    EXPECT_EQ(CompileCalculation("A#1+2"), nullptr);     // an element
    EXPECT_EQ(CompileCalculation("Aの B+1"), nullptr);   // a member
    EXPECT_EQ(CompileCalculation("(1+2"), nullptr);      // an open group
    EXPECT_EQ(CompileCalculation("1+2)"), nullptr);      // trailing text the scanner stops at
    EXPECT_EQ(CompileValueText("A & B"), nullptr);       // a concatenation
    auto prog = CompileValueText("A+1");
    ASSERT_NE(prog, nullptr);
    EXPECT_TRUE(prog->HasRest);
    EXPECT_EQ(prog->RestOffset, 1u);
    // The last token is the end, so the calculator can read past it as often as it
    // would read past the end of the text.
    EXPECT_EQ(prog->Toks.back().Type, TCalcTok::End);
}

TEST_F(Compiled, ANameFollowsTheWordTableBetweenRuns)
{
    EXPECT_EQ(st.EvaluateValue("Z+1"), "1");   // unknown: its own text, 0 as a number
    EXPECT_EQ(st.EvaluateValue("Z&1"), "Z1");
    Set("Z", "41", "e");
    EXPECT_EQ(st.EvaluateValue("Z+1"), "42");
    st.Words.Find("Z", false)->Value = "9";   // a value change needs no new lookup
    EXPECT_EQ(st.EvaluateValue("Z+1"), "10");
    Set("Z", "abc", "s");   // replaced by another node of the same name
    EXPECT_EQ(st.EvaluateValue("Z+1"), "1");
    EXPECT_EQ(st.EvaluateValue("1+(Z=`abc`)"), "2");
    st.Words.Remove("Z", false);
    EXPECT_EQ(st.EvaluateValue("Z+1"), "1");
    std::string text = "Z&(Z)";
    const char* q = text.c_str();
    EXPECT_EQ(st.Calculate(q), "ZZ");
    EXPECT_EQ(st.LastTypeTag, "s");
}

TEST_F(Compiled, AVariableThatBecomesAHash)
{
    Set("H", "5", "e");
    EXPECT_EQ(st.EvaluateValue("H*2"), "10");
    THashNode* h = st.Words.Find("H", false);
    auto* t = new THash();
    t->LoadPairs("a=1");
    h->SetTable(t);   // the same node, another kind
    EXPECT_EQ(st.EvaluateValue("H&1"), st.EvaluateValue("H") + "1");
    EXPECT_EQ(st.LastTypeTag, "s");
}

TEST_F(Compiled, CallsInsideACalculation)
{
    Set("A", "3", "e");
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(st.EvaluateValue("文字数(`abcd`)+A"), "7");
        EXPECT_EQ(st.EvaluateValue("1+文字数(`ab`)*2"), "5");
        EXPECT_EQ(st.EvaluateValue("-文字数(`ab`)"), "-2");
        EXPECT_EQ(st.EvaluateValue("(文字数(`abc`))"), "3");
    }
    // An unknown name before "(": its own text, and the group is calculated on.
    EXPECT_EQ(st.EvaluateValue("未知(2)"), "未知");
    EXPECT_EQ(st.EvaluateValue("1+未知(2)"), "1");
    auto prog = CompileValueText("F(1)+2");
    ASSERT_NE(prog, nullptr);
    EXPECT_EQ(prog->First->Type, TCalcTok::Call);
    EXPECT_EQ(prog->RestOffset, 4u);    // after the list, where a call leaves the scanner
    ASSERT_EQ(prog->Toks.size(), 3u);   // "+", "2", the end
}

TEST_F(Compiled, RepeatedRunsGiveTheSameValuesAndTags)
{
    Set("A", "3", "e");
    Set("S", "x", "s");
    const char* texts[] = {"A+1", "-A*2",  "(A+1)*(A-1)", "A>2 かつ A<4", "S=`x`", "+5-A",
                           "A/0", "7.5%2", "$10+A",       "1.0e3+A",      "A 2",   "0 または A"};
    for (const char* text : texts) {
        std::string first = st.EvaluateValue(text);
        std::string tag = st.LastTypeTag;
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(st.EvaluateValue(text), first) << text;
            EXPECT_EQ(st.LastTypeTag, tag) << text;
        }
    }
    EXPECT_EQ(st.EvaluateValue("(A+1)*(A-1)"), "8");
    EXPECT_EQ(st.EvaluateValue("-A*2"), "-6");
    EXPECT_EQ(st.EvaluateValue("+5-A"), "2");
}

TEST_F(Compiled, ErrorsAreTheSameOnEveryRun)
{
    const char* texts[] = {"1 * * 2", "1 | 2", "(1 * * 2)+1", "2^1.0e99999", "(-8)^0.5"};
    for (const char* text : texts) {
        std::string first = Error(text);
        EXPECT_NE(first, "(no error)") << text;
        EXPECT_NE(first.find("計算式に誤りがあります。"), std::string::npos) << first;
        EXPECT_EQ(Error(text), first) << text;
    }
    // The message quotes the text from where the calculation went on.
    EXPECT_NE(Error("1 * * 2").find("* * 2"), std::string::npos);
}

TEST(CompileCalculation, NumericCodeOnlyWhereTheParserTakesItAsItStands)
{
    auto numeric = [](const char* text) {
        auto prog = CompileCalculation(text);
        return prog && prog->Numeric;
    };
    EXPECT_TRUE(numeric("A+1"));
    EXPECT_TRUE(numeric("-(A*2)+ +3 <= B かつ (C または 0)"));
    EXPECT_FALSE(numeric("A&1"));    // a join of texts
    EXPECT_FALSE(numeric("A B"));    // the calculator stops after A
    EXPECT_FALSE(numeric("1+"));     // it reads the end as an empty text
    EXPECT_FALSE(numeric("1+*2"));   // an operator out of place: its error
    EXPECT_FALSE(numeric("F(1)+1"));
    auto value = CompileValueText("A*(B+1)");
    ASSERT_NE(value, nullptr);
    EXPECT_TRUE(value->Numeric);
    EXPECT_EQ(value->NumDepth, 3u);   // A, then B and 1 inside the group
}

TEST_F(Compiled, NumbersAloneGiveWhatTheTextsGive)
{
    Set("S", "10", "s");   // a text: compared as text on the right
    Set("T", "5", "s");    // … but negated and added as the number it reads as
    Set("B", " 5", "s");   // its negated text "- 5" reads as 0
    Set("M", "1,000", "e");
    Set("N", "-7", "e");
    Set("X", "12", "e");
    for (int run = 0; run < 2; ++run) {   // compiled on the first run, replayed after
        EXPECT_EQ(st.EvaluateValue("9<S"), "0");
        EXPECT_EQ(st.EvaluateValue("S>9"), "1");
        EXPECT_EQ(st.EvaluateValue("-T*2"), "-10");
        EXPECT_EQ(st.EvaluateValue("-B+1"), "1");
        EXPECT_EQ(st.EvaluateValue("M+1"), "1001");
        EXPECT_EQ(st.EvaluateValue("-N*2"), "14");
        EXPECT_EQ(st.EvaluateValue("(1/3)*3"), "0.999999999999999");   // the group is written out
        EXPECT_EQ(st.EvaluateValue("(S)+1"), "11");
        EXPECT_EQ(st.EvaluateValue("X%5+2^X/1024"), "6");
        EXPECT_EQ(st.LastTypeTag, "e");
    }
    // A stored number's text changed by hand: the new text counts, not the old number.
    st.Words.FindExact("X")->Value = "3";
    EXPECT_EQ(st.EvaluateValue("X+1"), "4");
    st.Words.FindExact("X")->Value = "3.5";
    EXPECT_EQ(st.EvaluateValue("X+1"), "4.5");
}

TEST(NumberToTextKept, WholeNumbersWrittenTwoDigitsAStep)
{
    std::vector<long long> values = {0,
                                     1,
                                     9,
                                     10,
                                     99,
                                     100,
                                     101,
                                     999,
                                     1000,
                                     99999999,
                                     100000000,
                                     100000001,
                                     1000000007,
                                     1000000000000000LL,
                                     10000000000000000LL,
                                     123456789012345LL,
                                     LLONG_MAX,
                                     LLONG_MIN};
    for (long long v = 1; v < 1000000000000000000LL; v *= 7)
        values.push_back(v);
    for (long long v : values) {
        for (long long w : {v, v == LLONG_MIN ? v : -v}) {
            char b[24];
            char* first = WriteWholeNumber(w, b + sizeof b);
            EXPECT_EQ(std::string(first, b + sizeof b), std::to_string(w));
        }
    }
}

TEST(NumberToTextKept, WholeAndOtherNumbers)
{
    struct {
        long double v;
        const char* want;
    } cases[] = {
        {0, "0"},
        {-0.0L, "0"},
        {-5, "-5"},
        {999999999999999.0L, "999999999999999"},
        {-999999999999999.0L, "-999999999999999"},
        {0.5L, "0.5"},
        {-2.25L, "-2.25"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(NumberToText(c.v), c.want) << static_cast<double>(c.v);
    EXPECT_EQ(NumberToText(NAN), "NAN");
    EXPECT_EQ(NumberToText(-INFINITY), "-INF");
    // From 10^15 on the text is the 15-digit form, never the whole-number one.
    EXPECT_EQ(NumberToText(1e15L), "1E15");
    EXPECT_EQ(NumberToText(-1234567890123456.0L), "-1.23456789012346E15");
}

}   // namespace
