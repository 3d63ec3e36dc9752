// Call frames: the kept argument vectors, the template kept for a word, and それ
// around calls must leave each call exactly as a fresh one would.
#include <gtest/gtest.h>

#include <memory>

#include "interp/interp.h"

namespace {

struct Frames : ::testing::Test {
    std::unique_ptr<TPoruBase> run;
    // Runs a program in a fresh interpreter; the error it stopped with, or "".
    std::string Run(const std::string& source)
    {
        run = std::make_unique<TPoruBase>();
        TPoruBase& st = *run;
        st.FileName = "f.prk";
        st.Source = source;
        st.PrepareRun();
        st.Cursor = st.Source.c_str();
        try {
            st.RunLoop();
        } catch (const EPoru& e) {
            return e.Message;
        }
        return st.ErrorText;
    }
    std::string Value(const char* name)
    {
        THashNode* n = run->Words.Find(name, false);
        return n ? n->Value : "(none)";
    }
};

TEST_F(Frames, ATemplateChangedBetweenCallsBindsTheNewSlots)
{
    EXPECT_EQ(Run("「F」を、「?の」で、関数定義\r\n"
                  "A=F(3)\r\n"
                  "「F」を、「?と?を」で、関数定義\r\n"
                  "B=F(4,5)\r\n"
                  "「F」を、「?の」で、関数定義\r\n"
                  "C=F(6)\r\n"
                  "終わる\r\n"
                  "*F\r\nN=引数取得\r\nそれは、N*2\r\n戻る\r\n"),
              "");
    EXPECT_EQ(Value("A"), "6");
    EXPECT_EQ(Value("B"), "8");
    EXPECT_EQ(Value("C"), "12");
    // The slots kept for the word follow its template: all of a call's arguments.
    ASSERT_EQ(Run("「F」を、「?の」で、関数定義\r\nA=F(3)\r\n「F」を、「?と?を」で、関数定義\r\nB=F(4,5)\r\n"
                  "「F」を、「?の」で、関数定義\r\nC=F(6)\r\n終わる\r\n*F\r\nそれは、引数取得\r\n戻る\r\n"),
              "");
    EXPECT_EQ(Value("A"), "3");
    EXPECT_EQ(Value("B"), "4\r\n5");
    EXPECT_EQ(Value("C"), "6");
}

TEST_F(Frames, NestedCallsGiveBackThePhrasesOfTheirSentence)
{
    // Calls nested in arguments, one of them in a phrase before another call: each
    // list binds only its own arguments and the sentence's phrases come back.
    EXPECT_EQ(Run("「G」を、「?と?を」で、関数定義\r\n"
                  "「H」を、「?の」で、関数定義\r\n"
                  "R=G(H(H(1)),G(2,H(3)))\r\n"
                  "S=「x」&G(H(1),2)&「y」\r\n"
                  "終わる\r\n"
                  "*G\r\nP=引数取得\r\nそれは、P#0+P#1*10\r\n戻る\r\n"
                  "*H\r\nN=引数取得\r\nそれは、N+1\r\n戻る\r\n"),
              "");
    // H(H(1)) = 3, G(2,H(3)) = 2 + 40 = 42, G(3, 42) = 3 + 420.
    EXPECT_EQ(Value("R"), "423");
    EXPECT_EQ(Value("S"), "x22y");
    EXPECT_EQ(run->Args.Count(), 0u);
}

TEST_F(Frames, SoreIsRestoredWhenACallRaises)
{
    std::string message = Run("それは、「前」\r\nX=E(1)\r\n終わる\r\n*E\r\nそれは、「中」\r\n綴りミス\r\n戻る\r\n");
    EXPECT_NE(message.find("綴りミス"), std::string::npos) << message;
    EXPECT_EQ(run->Sys.Sore->Value, "前");
    // A later call starts from empty argument vectors again.
    EXPECT_EQ(Run("「F」を、「?の」で、関数定義\r\nY=F(5)\r\n終わる\r\n*F\r\nN=引数取得\r\nそれは、N\r\n戻る\r\n"), "");
    EXPECT_EQ(Value("Y"), "5");
}

// それ's tag is its long description until something is assigned to it: nested
// value-form calls, and a call that fails deep down, give it back unchanged, and its
// value and tag after a later call are the caller's again.
TEST_F(Frames, SoreKeepsItsDescriptionThroughNestedAndFailedCalls)
{
    ASSERT_EQ(Run("A=1\r\n"), "");
    const std::string description = run->Sys.Sore->TypeText;
    ASSERT_GT(description.size(), std::string().capacity());   // kept outside the string
    const std::string down = "*F\r\nN=引数取得\r\nもし、N<1ならば、それ=0。違えば、それ=F(N-1)+1\r\n戻る\r\n";
    EXPECT_EQ(Run("「F」を、「?の」で、関数定義\r\nX=F(4)\r\nY=F(2)\r\n終わる\r\n" + down), "");
    EXPECT_EQ(Value("X"), "4");
    EXPECT_EQ(Value("Y"), "2");
    EXPECT_EQ(run->Sys.Sore->TypeText, description);
    EXPECT_EQ(run->Sys.Sore->Value, "");
    const std::string fails = "*G\r\nN=引数取得\r\nもし、N<1ならば、綴りミス。違えば、それ=G(N-1)+1\r\n戻る\r\n";
    EXPECT_NE(Run("「G」を、「?の」で、関数定義\r\nX=G(3)\r\n終わる\r\n" + fails), "");
    EXPECT_EQ(run->Sys.Sore->TypeText, description);
    EXPECT_EQ(Run("それは、「前」\r\n「F」を、「?の」で、関数定義\r\nX=F(3)\r\n終わる\r\n" + down), "");
    EXPECT_EQ(Value("X"), "3");
    EXPECT_EQ(run->Sys.Sore->Value, "前");
    EXPECT_EQ(run->Sys.Sore->TypeText, "s");
}

TEST_F(Frames, DeepRecursionStopsWithAnErrorAndCallsWorkAfterIt)
{
    std::string message = Run("「D」を、「?の」で、関数定義\r\nZ=D(1)\r\n終わる\r\n"
                              "*D\r\nN=引数取得\r\nそれは、D(N+1)\r\n戻る\r\n");
    EXPECT_FALSE(message.empty());
    EXPECT_EQ(Run("「F」を、「?の」で、関数定義\r\nY=F(7)\r\n終わる\r\n*F\r\nN=引数取得\r\nそれは、N*3\r\n戻る\r\n"),
              "");
    EXPECT_EQ(Value("Y"), "21");
}

TEST_F(Frames, WordsFoundByNameFollowTheTableBetweenRuns)
{
    // The same sentence word looked up again after the table changed: first nothing,
    // then a variable of that name, then a label renamed away from it.
    std::string message = Run("エラー時に、エラー処理設定\r\n"
                              "2回、(試し。試しは、1)\r\n"
                              "挨拶\r\n挨拶を、「あいさつ」に、名義変更\r\nあいさつ\r\n挨拶\r\n"
                              "終わる\r\n"
                              "*エラー時\r\nエラーから復帰\r\n"
                              "*挨拶\r\nK=K+1\r\n戻る\r\n");
    const size_t undefined = message.find("\"試し\"は未定義の命令です。");
    const size_t variable =
        message.find("\"試し\"は、文法が正しくないため、実行できません。変数を実行することは出来ません。");
    const size_t renamed = message.find("\"挨拶\"は未定義の命令です。");
    EXPECT_NE(undefined, std::string::npos) << message;
    EXPECT_NE(variable, std::string::npos) << message;
    EXPECT_NE(renamed, std::string::npos) << message;
    EXPECT_LT(undefined, variable);
    // Called under both names before the rename took the old one away.
    EXPECT_EQ(Value("K"), "2");
}

TEST_F(Frames, ARepeatedConditionIsReadWithTheValuesOfEachRun)
{
    // One もし, read at the same place every time: its variable changes kind and
    // value, and a recursive call reads it again while it is being calculated.
    EXPECT_EQ(Run("X=1\r\nT=判定()\r\nX=\"1\"\r\nT=T&判定()\r\nX=\"a\"\r\nT=T&判定()\r\n"
                  "X=2\r\nT=T&判定()\r\nX=1\r\nT=T&判定()\r\n"
                  "「階乗」を、「?の」で、関数定義\r\nF=階乗(7)\r\n"
                  "終わる\r\n"
                  "*判定\r\nもし、X=1ならば、それ=「y」。違えば、それ=「n」\r\n戻る\r\n"
                  "*階乗\r\nN=引数取得\r\nもし、N<2ならば、それ=1。違えば、それ=N*階乗(N-1)\r\n戻る\r\n"),
              "");
    EXPECT_EQ(Value("T"), "yynny");
    EXPECT_EQ(Value("F"), "5040");
}

TEST_F(Frames, AConditionRunFromAnotherTextAtTheSamePlaceIsReadAgain)
{
    // ぽるかなする gives each run a text of its own; whatever lands at a remembered
    // place is read for what it says.
    EXPECT_EQ(Run("R=「」\r\n3回\r\n(\r\n"
                  "  "
                  "もし、回数=2ならば、P=『もし、1=1ならば、R=R&「a」』。違えば、P=『もし、1=2ならば、R=R&"
                  "「b」。違えば、R=R&「c」』\r\n"
                  "  Pを、ぽるかなする\r\n)\r\n終わる\r\n"),
              "");
    EXPECT_EQ(Value("R"), "cac");
}

}   // namespace
