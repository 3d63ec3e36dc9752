// The checker's library: findings with their file, line, character columns,
// severity and hint; the console option; included files; clean programs.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "check/check.h"
#include "core/codec.h"

namespace {

namespace fs = std::filesystem;

std::string U(const char* sjis)
{
    return SjisToUtf8(sjis);
}

std::vector<TDiagnostic> Check(const char* sjisText, bool console = true)
{
    TCheckOptions options;
    options.Console = console;
    return CheckText("/tmp/porukana-check-test/prog.prk", sjisText, options);
}

TEST(Checker, UnknownCommandWithPlaceAndSuggestion)
{
    // Line 2, after four full-width characters and a comma: columns count characters.
    const auto found = Check("「a」と、表示\r\n「ＡＢ」と、表字\r\n");
    ASSERT_EQ(found.size(), 1u);
    const TDiagnostic& d = found[0];
    EXPECT_EQ(d.File, "/tmp/porukana-check-test/prog.prk");
    EXPECT_EQ(d.Line, 2);
    EXPECT_EQ(d.Severity, TSeverity::Error);
    EXPECT_EQ(d.ColumnBegin, 6);
    EXPECT_EQ(d.ColumnEnd, 8);
    EXPECT_NE(d.Message.find(U("\"\"ＡＢ\"と,表字\"は未定義の命令です。")), std::string::npos) << d.Message;
    EXPECT_NE(d.Hint.find(U("「表示」")), std::string::npos) << d.Hint;
}

TEST(Checker, CorrectProgramsAreClean)
{
    EXPECT_TRUE(Check("A=「a,b」\r\nAを、「,」で、区切る\r\nそれ#1を、表示\r\n"
                      "もし、Aが「x」ならば、「x」と、表示。違えば、「y」と、表示\r\n"
                      "3回(\r\n「{回数}」と、表示\r\n)\r\n*後\r\n後へ、飛ぶ\r\n")
                    .empty());
    // A word that a literal names (a DLL function, a renamed command) is no finding.
    EXPECT_TRUE(Check("「表示」を、「?と,見せる」に、名義変更\r\n「a」と、見せる\r\n").empty());
}

TEST(Checker, AnAssignmentEndsAtTheBodyItStandsIn)
{
    // Member and plain assignments in one-line bodies, the hash known or not yet.
    EXPECT_TRUE(Check("3回、(Dの、K=回数)\r\n3回、(Dの、K=回数*2)\r\n2回、(X=「{回数}」。Dの、X=(1))\r\n"
                      "Dの、ハッシュキー列挙\r\nそれを、表示\r\n")
                    .empty());
    const auto found = Check("A=1)\r\n");   // a ")" with no body open is still read
    EXPECT_TRUE(found.empty());
}

TEST(Checker, WindowCommandsOnlyForTheConsole)
{
    const auto console = Check("画面クリア\r\n", true);
    ASSERT_EQ(console.size(), 1u);
    EXPECT_EQ(console[0].Severity, TSeverity::Error);
    EXPECT_TRUE(Check("画面クリア\r\n", false).empty());
}

TEST(Checker, SeveritiesOfTheKinds)
{
    // What would certainly fail is an error; what runs but not as it reads, a warning.
    const auto found = Check("A=「a,b」\r\nB=Aを、「,」で、区切る\r\n「a」で、表示\r\n");
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].Line, 2);
    EXPECT_EQ(found[0].Severity, TSeverity::Warning);
    EXPECT_NE(found[0].Hint.find(U("B=それ")), std::string::npos) << found[0].Hint;
    EXPECT_EQ(found[1].Line, 3);
    EXPECT_EQ(found[1].Severity, TSeverity::Error);
}

TEST(Checker, IncludedFilesShareLabelsAndReportUnderTheirName)
{
    const fs::path dir = fs::temp_directory_path() / "porukana-check-include";
    fs::create_directories(dir);
    std::ofstream(dir / "part.prk") << "*部品\r\n「部品」と、表示\r\n戻る\r\n*部品\r\n";
    TCheckOptions options;
    const auto found =
        CheckText((dir / "main.prk").string(), U("「part.prk」を、取り込む\r\n部品\r\n無いもの\r\n"), options);
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].File, (dir / "main.prk").string());   // the main file first
    EXPECT_EQ(found[0].Line, 3);
    EXPECT_EQ(found[1].File, (dir / "part.prk").string());
    EXPECT_EQ(found[1].Line, 4);
    // An included file that is not there now: the words it may define are unknown.
    EXPECT_TRUE(CheckText((dir / "main.prk").string(), U("「無い.prk」を、取り込む\r\n部品2\r\n"), options).empty());
    fs::remove_all(dir);
}

TEST(Checker, DeeplyNestedCallsAndGroupsAreRead)
{
    std::string text = "A=";
    for (int i = 0; i < 20000; ++i)
        text += "表示(";
    text += "1" + std::string(20000, ')') + "\r\n(((\r\n";
    const auto found = Check(text.c_str());
    ASSERT_EQ(found.size(), 1u);   // only the group left open on line 2
    EXPECT_EQ(found[0].Line, 2);
}

TEST(Checker, UnreadableFileIsAFinding)
{
    const auto found = CheckFile("/nonexistent/porukana/x.prk", TCheckOptions{});
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].Severity, TSeverity::Error);
}

}   // namespace
