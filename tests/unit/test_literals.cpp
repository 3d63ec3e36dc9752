// Kept literals: the parts read once must expand to what reading the literal gives,
// however the words its embeddings name change between runs.
#include <gtest/gtest.h>

#include "interp/interp.h"
#include "interp/literals.h"
#include "interp_fixture.h"

namespace {

using Literals = TInterpFixture;

std::string Parts(const TLiteralPlan& plan)
{
    std::string s;
    for (const TLiteralPart& part : plan.Parts)
        s += (part.Embed ? (part.Word.Plain ? "w:" : "e:") : "t:") + part.Text + "|";
    return s;
}

TEST(CompileLiteral, KeepsTextAndEmbeddingsInTheirOrder)
{
    auto plan = CompileLiteral("\"k{回数}-{A+1}\"");
    ASSERT_NE(plan, nullptr);
    EXPECT_EQ(Parts(*plan), "t:k|w:回数|t:-|e:A+1|");
    // Full-width braces and names are read half-width; escapes are text, and an
    // escaped opening brace makes its closing one text too.
    plan = CompileLiteral("\"｛ＡＢ｝\\n\\{x}\"&`{raw}`");
    ASSERT_NE(plan, nullptr);
    EXPECT_EQ(Parts(*plan), "w:AB|t:\r\n{x}{raw}|");
    // An embedding left open when its part closes runs on into the next part.
    plan = CompileLiteral("\"a{B\"&\"C}d\"");
    ASSERT_NE(plan, nullptr);
    EXPECT_EQ(Parts(*plan), "t:a|w:BC|t:d|");
    EXPECT_EQ(CompileLiteral("\"a\"&B"), nullptr);   // a value outside the quotes
    EXPECT_EQ(CompileLiteral("\"abc"), nullptr);     // unclosed: the error is raised when read
}

TEST(IsPlainWordText, OnlyOneWordReadByName)
{
    EXPECT_TRUE(IsPlainWordText("回数"));
    EXPECT_TRUE(IsPlainWordText("key_1"));
    for (const char* text : {"", " A", "A B", "1", "$1F", "A+1", "A#1", "f(1)", "Dの", "\"a\"", "`a`", "A,B", "-A"})
        EXPECT_FALSE(IsPlainWordText(text)) << text;
}

TEST_F(Literals, EmbeddingsFollowTheWordTableBetweenRuns)
{
    const std::string text = "\"<{X}:{X&1}>\"";
    EXPECT_EQ(st.ExpandLiteral(text), "<X:X1>");   // unknown: its own name
    Set("X", "a", "e");
    EXPECT_EQ(st.ExpandLiteral(text), "<a:a1>");
    st.Words.FindExact("X")->Value = "b";   // a value change needs no new lookup
    EXPECT_EQ(st.ExpandLiteral(text), "<b:b1>");
    EXPECT_EQ(st.LastTypeTag, "s");
    Set("X", "c", "s");   // replaced by another node of the same name
    EXPECT_EQ(st.ExpandLiteral(text), "<c:c1>");
    THash* t = new THash();
    t->Add(THashNode::CreateVariable("m", "1", 0, false));
    st.Words.FindExact("X")->SetTable(t);   // now a hash variable: its pairs
    EXPECT_EQ(st.ExpandLiteral(text), "<m=1:m=11>");
    st.Words.Remove("X", false);
    EXPECT_EQ(st.ExpandLiteral(text), "<X:X1>");
    // The same text read where it stands in another string expands the same.
    const std::string other = "(" + text + ")";
    EXPECT_EQ(st.ExpandLiteral(std::string_view(other).substr(1, text.size())), "<X:X1>");
}

TEST_F(Literals, UnclosedAndJoinedLiteralsAreReadEachTime)
{
    Set("B", "b", "s");
    EXPECT_EQ(st.ExpandLiteral("\"a\"&B&`c`"), "abc");
    try {
        st.ExpandLiteral("\"a{B}");
        FAIL() << "no error";
    } catch (const EPoru& e) {
        EXPECT_NE(e.Message.find("ab"), std::string::npos) << e.Message;
    }
}

}   // namespace
