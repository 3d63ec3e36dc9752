// The security gate: levels, answers, security.ini, containment on canonical paths
// and the protection of security.ini itself.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "commands/files/security.h"
#include "core/codec.h"
#include "interp/interp.h"

namespace fs = std::filesystem;

namespace {

void WriteText(const fs::path& p, const std::string& text)
{
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out << text;
}

class GateTest : public ::testing::Test {
protected:
    fs::path root, script, outside;
    fs::path savedCwd;
    TPoruBase st;
    std::vector<std::string> asked;
    std::vector<std::string> warned;
    TGateAnswer answer = TGateAnswer::No;

    void SetUp() override
    {
        char tmpl[] = "/tmp/poru-gate-XXXXXX";
        root = mkdtemp(tmpl);
        script = root / "proj";
        outside = root / "other";
        fs::create_directories(script / "sub");
        fs::create_directories(outside);
        savedCwd = fs::current_path();
        fs::current_path(script);
        st.StartFolder = FromNativePath(script.string() + "/");
        st.ScriptPath = FromNativePath((script / "main.prk").string());
        SetGateQuestion([this](TPoruBase&, const std::string& text) {
            asked.push_back(text);
            return answer;
        });
        SetGateWarning([this](TPoruBase&, const std::string& caption, const std::string& text) {
            warned.push_back(caption + ":" + text);
        });
    }
    void TearDown() override
    {
        SetGateQuestion(nullptr);
        SetGateWarning(nullptr);
        fs::current_path(savedCwd);
        fs::remove_all(root);
    }
    std::string P(const fs::path& p) { return FromNativePath(p.string()); }
};

TEST(GateWords, AnswersAndLevelWords)
{
    struct {
        std::string text;
        TGateAnswer answer;
    } answers[] = {
        {"はい", TGateAnswer::Yes},         {" y ", TGateAnswer::Yes},    {"YES", TGateAnswer::Yes},
        {"いいえ", TGateAnswer::No},        {"", TGateAnswer::No},        {"maybe", TGateAnswer::No},
        {"全てはい", TGateAnswer::AllYes},  {"all", TGateAnswer::AllYes}, {"すべてはい", TGateAnswer::AllYes},
        {"全ていいえ", TGateAnswer::AllNo}, {"none", TGateAnswer::AllNo},
    };
    for (const auto& a : answers)
        EXPECT_EQ(ParseGateAnswer(a.text), a.answer) << a.text;

    struct {
        std::string word;
        int level;
    } words[] = {{"High", 2}, {"h", 2}, {"Low", 0}, {"l", 0}, {"mid", 1}, {"", 1}, {"anything", 1}};
    for (const auto& w : words)
        EXPECT_EQ(SecurityWordLevel(w.word), w.level) << w.word;
}

// Each level with each answer: whether the write goes on, whether the user was
// asked, and the level afterwards.
TEST_F(GateTest, LevelsAndAnswers)
{
    struct Case {
        int level;
        std::string path;   // relative to root
        TGateAnswer answer;
        bool allowed, asked;
        int levelAfter;
    } cases[] = {
        {0, "other/a.txt", TGateAnswer::No, true, false, 0},
        {0, "proj/*.txt", TGateAnswer::No, true, false, 0},
        {1, "proj/a.txt", TGateAnswer::No, true, false, 1},
        {1, "proj/sub/new/deeper.txt", TGateAnswer::No, true, false, 1},
        {1, "proj", TGateAnswer::No, true, false, 1},
        {1, "other/a.txt", TGateAnswer::No, false, true, 1},
        {1, "other/a.txt", TGateAnswer::Yes, true, true, 1},
        {1, "other/a.txt", TGateAnswer::AllYes, true, true, 0},
        {1, "other/a.txt", TGateAnswer::AllNo, false, true, 2},
        {1, "proj/*.txt", TGateAnswer::No, false, true, 1},   // a wildcard always asks
        {1, "proj/a?.txt", TGateAnswer::Yes, true, true, 1},
        {2, "proj/a.txt", TGateAnswer::Yes, false, false, 2},
    };
    for (const Case& c : cases) {
        st.SecurityLevel = c.level;
        answer = c.answer;
        asked.clear();
        EXPECT_EQ(SecurityGate(st, P(root / c.path), "確認"), c.allowed) << c.path << " level " << c.level;
        EXPECT_EQ(!asked.empty(), c.asked) << c.path;
        if (!asked.empty()) {
            EXPECT_EQ(asked[0], "確認");
        }
        EXPECT_EQ(st.SecurityLevel, c.levelAfter) << c.path;
    }
    EXPECT_TRUE(warned.empty());
}

TEST_F(GateTest, AllYesStopsFurtherQuestionsUntilSecurityIniSaysOtherwise)
{
    answer = TGateAnswer::AllYes;
    EXPECT_TRUE(SecurityGate(st, P(outside / "a"), "q"));
    answer = TGateAnswer::No;
    EXPECT_TRUE(SecurityGate(st, P(outside / "b"), "q"));
    EXPECT_EQ(asked.size(), 1u);
    WriteText(script / "security.ini", "[main.prk]\nsecurity=mid\n");
    EXPECT_FALSE(SecurityGate(st, P(outside / "c"), "q"));
    EXPECT_EQ(asked.size(), 2u);
}

TEST_F(GateTest, SecurityIniOverridesTheLevel)
{
    struct Case {
        std::string ini;
        int startLevel;
        int level;
    } cases[] = {
        {"[main.prk]\nsecurity=Low\n", 2, 0},
        {"[MAIN.PRK]\r\nSecurity = high\r\n", 0, 2},
        {"; comment\n[other.prk]\nsecurity=low\n[main.prk]\nsecurity=Mid\n", 0, 1},
        {"[other.prk]\nsecurity=low\n", 2, 2},   // another script's section
        {"[main.prk]\nlevel=low\n", 1, 1},       // no key
        {"[main.prk]\nsecurity=\n", 0, 1},       // an empty word means mid
    };
    for (const Case& c : cases) {
        WriteText(script / "security.ini", c.ini);
        st.SecurityLevel = c.startLevel;
        ReadSecurityFile(st);
        EXPECT_EQ(st.SecurityLevel, c.level) << c.ini;
    }
    fs::remove(script / "security.ini");
    st.SecurityLevel = 2;
    ReadSecurityFile(st);
    EXPECT_EQ(st.SecurityLevel, 2);

    // "high" refuses silently, a "Low" entry lets everything through.
    WriteText(script / "security.ini", "[main.prk]\nsecurity=Low\n");
    st.SecurityLevel = 2;
    EXPECT_TRUE(SecurityGate(st, P(outside / "x"), "q"));
    EXPECT_TRUE(asked.empty());
}

// Containment is decided on canonical paths, whole components, case-sensitively.
TEST_F(GateTest, ContainmentSeesThroughDotsLinksAndPrefixes)
{
    fs::create_directories(root / "projects");
    fs::create_symlink(outside, script / "escape");
    fs::create_symlink(script / "sub", outside / "back");
    fs::create_directories(root / "Proj");
    struct Case {
        std::string path;
        bool inside;
    } cases[] = {
        {"proj/a.txt", true},
        {"proj/sub/../a.txt", true},
        {"proj/../other/a.txt", false},
        {"proj/sub/../../other/a.txt", false},
        {"projects/a.txt", false},      // a longer name is no sub-folder
        {"Proj/a.txt", false},          // names are case-sensitive
        {"proj/escape/a.txt", false},   // a link inside pointing outside
        {"other/back/a.txt", true},     // a link outside pointing inside
        {"proj/missing/x/../../a.txt", true},
        {"proj/missing/../../other/a", false},
    };
    st.SecurityLevel = 1;
    answer = TGateAnswer::No;
    for (const Case& c : cases) {
        EXPECT_EQ(InsideScriptFolder(st, (root / c.path).string()), c.inside) << c.path;
        asked.clear();
        EXPECT_EQ(SecurityGate(st, P(root / c.path), "q"), c.inside) << c.path;
    }
    // A relative path is taken from the current folder.
    EXPECT_TRUE(SecurityGate(st, "rel.txt", "q"));
    fs::current_path(outside);
    EXPECT_FALSE(SecurityGate(st, "rel.txt", "q"));
    EXPECT_TRUE(SecurityGate(st, "back/rel.txt", "q"));
}

// security.ini can never be written, at any level.
TEST_F(GateTest, SecurityIniIsNeverReachable)
{
    WriteText(script / "security.ini", "[main.prk]\nsecurity=low\n");
    fs::create_symlink(script / "security.ini", script / "innocent.txt");
    fs::create_hard_link(script / "security.ini", outside / "hard.txt");
    struct Case {
        std::string path;
    } cases[] = {
        {"proj/security.ini"},
        {"proj/SECURITY.INI"},
        {"proj/Security.Ini"},
        {"other/security.ini"},
        {"proj/innocent.txt"},
        {"other/hard.txt"},
        {"proj/*.ini"},
        {"proj/*"},
        {"proj/secur?ty.*"},
        {"proj"},
        {"*"},
        {"pr*"},
    };
    for (const Case& c : cases) {
        warned.clear();
        asked.clear();
        st.SecurityLevel = 0;
        EXPECT_FALSE(SecurityGate(st, P(root / c.path), "q")) << c.path;
        ASSERT_EQ(warned.size(), 1u) << c.path;
        EXPECT_EQ(warned[0], "セキュリティの警告:このプログラムは、\"security.ini\"を、操作出来ません！");
        EXPECT_TRUE(asked.empty());
    }
    // Other names next to it are fine, and so is a wildcard that cannot match it.
    warned.clear();
    EXPECT_TRUE(SecurityGate(st, P(script / "security.ini.bak"), "q"));
    EXPECT_TRUE(SecurityGate(st, P(script / "*.txt"), "q"));
    EXPECT_TRUE(SecurityGate(st, P(root / "o*"), "q"));
    EXPECT_TRUE(warned.empty());
    // Two paths: the second one is checked too (a rename onto it).
    EXPECT_FALSE(SecurityGate(st, std::vector<std::string>{P(script / "a.txt"), P(script / "SECURITY.ini")}, "q"));
}

TEST_F(GateTest, OutsideOnlyGateAsksOnlyOutside)
{
    st.SecurityLevel = 2;   // the high level refuses every write, inside too
    EXPECT_FALSE(SecurityGateOutside(st, {P(script / "a.txt")}, "q"));
    EXPECT_FALSE(SecurityGateOutside(st, {P(outside / "a.txt")}, "q"));
    st.SecurityLevel = 1;   // inside: no question at the mid level
    EXPECT_TRUE(SecurityGateOutside(st, {P(script / "a.txt")}, "q"));
    EXPECT_TRUE(asked.empty());
    answer = TGateAnswer::Yes;
    EXPECT_TRUE(SecurityGateOutside(st, {P(outside / "a.txt")}, "コピー"));
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0], "コピー");
    EXPECT_FALSE(SecurityGateOutside(st, {P(script / "security.ini")}, "q"));
}

TEST_F(GateTest, ConsoleQuestionRefusesAtEndOfInput)
{
    SetGateQuestion(nullptr);
    SetGateWarning(nullptr);
    std::streambuf* saved = std::cin.rdbuf();
    std::istringstream in(SjisToUtf8("全てはい\n"));   // the console speaks UTF-8
    std::cin.rdbuf(in.rdbuf());
    testing::internal::CaptureStderr();
    const bool first = SecurityGate(st, P(outside / "a"), "書きますか");
    st.SecurityLevel = 1;
    const bool second = SecurityGate(st, P(outside / "b"), "書きますか");   // end of input
    const std::string err = testing::internal::GetCapturedStderr();
    std::cin.rdbuf(saved);
    std::cin.clear();
    EXPECT_TRUE(first);
    EXPECT_FALSE(second);
    EXPECT_NE(err.find(SjisToUtf8("書きますか")), std::string::npos);
}

}   // namespace
