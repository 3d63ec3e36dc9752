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

TEST_F(Frames, DeepRecursionStopsWithAnErrorAndCallsWorkAfterIt)
{
    std::string message = Run("「D」を、「?の」で、関数定義\r\nZ=D(1)\r\n終わる\r\n"
                              "*D\r\nN=引数取得\r\nそれは、D(N+1)\r\n戻る\r\n");
    EXPECT_FALSE(message.empty());
    EXPECT_EQ(Run("「F」を、「?の」で、関数定義\r\nY=F(7)\r\n終わる\r\n*F\r\nN=引数取得\r\nそれは、N*3\r\n戻る\r\n"),
              "");
    EXPECT_EQ(Value("Y"), "21");
}

}   // namespace
