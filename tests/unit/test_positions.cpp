// Positions the interpreter state keeps: the line of an error, positions into a text
// that goes, words the state refers to, and the native stack bound.
#include <gtest/gtest.h>

#include <string>

#include "interp/interp.h"

namespace {

struct Positions : ::testing::Test {
    TPoruBase st;
    void Prepare(const std::string& source)
    {
        st.FileName = "t.prk";
        st.Source = source;
        st.PrepareRun();
    }
    int32_t LineAt(size_t offset)
    {
        st.Cursor = st.Source.c_str() + offset;
        return st.CurrentLineNo();
    }
};

TEST_F(Positions, TheLineOfEveryPositionOfALongLineAndOfTheNextLines)
{
    // Line 2 is long; the positions along it are asked in order, as a run of
    // ignored errors does, then positions of other lines.
    Prepare("A=1\r\n" + std::string(5000, 'x') + "\r\nB=2\r\nC=3\r\n");
    const size_t line2 = st.Source.find('x');
    for (size_t i = 0; i < 5000; i += 250)
        EXPECT_EQ(LineAt(line2 + i), 2) << i;
    EXPECT_EQ(LineAt(st.Source.find("B=")), 3);
    EXPECT_EQ(LineAt(line2 + 4999), 2);   // back on the long line
    EXPECT_EQ(LineAt(st.Source.find("C=")), 4);
    EXPECT_EQ(LineAt(1), 1);
}

TEST_F(Positions, PositionsIntoAReleasedTextAreDropped)
{
    Prepare("A=1\r\n");
    std::string text = "X=1\r\n1:Y=2\r\n";
    st.ErrorReturnPos = text.c_str() + 6;
    st.TimerTarget = st.Source.c_str();
    st.ForgetPositionsIn(st.Source.substr(0));   // another text with the same bytes: nothing of it is held
    EXPECT_EQ(st.ErrorReturnPos, text.c_str() + 6);
    EXPECT_EQ(st.TimerTarget, st.Source.c_str());
    st.ForgetPositionsIn(text);
    EXPECT_EQ(st.ErrorReturnPos, nullptr);
    EXPECT_EQ(st.TimerTarget, st.Source.c_str());   // not in the released text
    st.ForgetPositionsIn(st.Source);
    EXPECT_EQ(st.TimerTarget, nullptr);
}

TEST_F(Positions, ReferencesFollowAReplacedWord)
{
    Prepare("*L\r\n戻る\r\n");
    THashNode* label = st.Words.FindExact("L");
    ASSERT_NE(label, nullptr);
    THashNode other("M", "", "", "", 0, wkLabel, nullptr, false);
    st.ErrorLabel = label;
    st.CloseLabel = label;
    THashNode* sore = st.Sys.Sore;
    st.WordReplaced(label, &other);
    EXPECT_EQ(st.ErrorLabel, &other);
    EXPECT_EQ(st.CloseLabel, &other);
    EXPECT_EQ(st.Sys.Sore, sore);   // untouched: it was not the replaced word
    st.WordReplaced(sore, &other);
    EXPECT_EQ(st.Sys.Sore, &other);
    st.ErrorLabel = st.CloseLabel = nullptr;
    st.Sys.Sore = sore;
}

TEST(StackFloor, LiesBelowTheRunningFrameWithRoomToSpare)
{
    const uintptr_t floor = StackFloorOfThisThread();
    ASSERT_NE(floor, 0u);
    const auto here = reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
    EXPECT_LT(floor, here);
    // At least the smallest margin lies below the floor, and the bound leaves most of
    // the stack usable (the test runs near the stack's top).
    EXPECT_GT(here - floor, 64u * 1024u);
}

TEST_F(Positions, TheStackCheckFailsWithTheNestingError)
{
    Prepare("");
    // A frame far below anything the test uses: exhausted.
    std::string message;
    try {
        st.StackExhausted();
    } catch (const EPoru& e) {
        message = e.Message;
    }
    EXPECT_NE(message.find("関数やイベントの呼び出しが深すぎるため、実行を中止します。"), std::string::npos) << message;
    EXPECT_NO_THROW(st.CheckStack());   // here, near the top, there is room
}

}   // namespace
