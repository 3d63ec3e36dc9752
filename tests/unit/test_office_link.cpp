// The office helper's channel: line coding, reply parsing, and the helper process
// itself, played here by small shell scripts (echoing, hanging, dying, garbling)
// so that time limits, stop requests, the life line and the clean-up can be seen
// without an office suite.
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>

#include "office/office_link.h"
#include "office/office_protocol.h"

namespace fs = std::filesystem;

namespace {

// ---- line coding ----

TEST(OfficeLine, SpecialCharactersRoundTrip)
{
    const std::vector<std::string> fields{"op", "a\\b", "tab\there", "lf\nand\rcr", "", "\\t literally", "日本語"};
    const std::string line = EncodeOfficeLine(fields);
    ASSERT_EQ(line.back(), '\n');
    const std::string body = line.substr(0, line.size() - 1);
    EXPECT_EQ(body.find('\n'), std::string::npos);
    EXPECT_EQ(body.find('\r'), std::string::npos);
    std::vector<std::string> back;
    ASSERT_TRUE(DecodeOfficeLine(body, back));
    EXPECT_EQ(back, fields);
    EXPECT_EQ(EncodeOfficeLine({"a\\", "\tb"}), "a\\\\\t\\tb\n");
}

TEST(OfficeLine, BadEscapesAreRefused)
{
    std::vector<std::string> f;
    EXPECT_FALSE(DecodeOfficeLine("ok\\q", f));
    EXPECT_FALSE(DecodeOfficeLine("ok\tends in \\", f));
    ASSERT_TRUE(DecodeOfficeLine("", f));
    EXPECT_EQ(f, std::vector<std::string>{""});
}

TEST(OfficeLine, Replies)
{
    TOfficeReply r = ParseOfficeReply({"ok", "7", ""});
    EXPECT_TRUE(r.Ok);
    EXPECT_EQ(r.Values, (std::vector<std::string>{"7", ""}));

    r = ParseOfficeReply({"err", "bookmark", "no such element"});
    EXPECT_FALSE(r.Ok);
    EXPECT_EQ(r.Code, "bookmark");
    EXPECT_EQ(r.Detail, "no such element");
    EXPECT_EQ(ParseOfficeReply({"err", "macro"}).Code, "macro");

    for (const auto& bad :
         std::vector<std::vector<std::string>>{{"err"}, {"err", ""}, {"OK"}, {}, {"err", "a", "b", "c"}})
        EXPECT_EQ(ParseOfficeReply(bad).Code, "protocol");
}

// ---- the helper process ----

class OfficeLinkTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = fs::temp_directory_path() / ("porukana-office-link-" + std::to_string(getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    // A shell script as the helper. Every fake greets like the real one; the life
    // line watcher (on by default) ends the whole group when fd 3 reaches its end,
    // as the real helper's watch thread does.
    std::string Fake(const std::string& name, const std::string& body, bool watchLifeLine = true)
    {
        const fs::path p = dir_ / (name + ".sh");
        std::ofstream out(p);
        if (watchLifeLine)
            out << "(exec < /dev/null > /dev/null; cat <&3; kill -9 0) &\n";
        out << body;
        return p.string();
    }

    static bool Gone(pid_t pid) { return kill(pid, 0) != 0 && errno == ESRCH; }

    static int64_t MsSince(std::chrono::steady_clock::time_point t)
    {
        return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t).count();
    }

    fs::path dir_;
};

const char* kGreet = "printf 'ok\\tporukana-office\\t1\\n'\n";

// Answers every request with "ok" and the request's own fields; "bye" ends it.
const std::string kEcho = std::string(kGreet) + "while IFS= read -r line; do\n"
                                                "  case \"$line\" in\n"
                                                "    bye) exit 0 ;;\n"
                                                "    hang*) sleep 30 ;;\n"
                                                "    die*) exit 3 ;;\n"
                                                "    garble*) printf 'ok\\tbad\\\\q\\n' ;;\n"
                                                "    *) printf 'ok\\t%s\\n' \"$line\" ;;\n"
                                                "  esac\n"
                                                "done\n";

TEST_F(OfficeLinkTest, RequestsAndRepliesKeepEveryByte)
{
    TOfficeLink link;
    ASSERT_TRUE(link.Start("/bin/sh", Fake("echo", kEcho), 5000).Ok);
    const std::vector<std::string> request{"setcell", "3", "a\tb\\c\r\nd", "日本語"};
    for (int i = 0; i < 3; ++i) {   // several calls on one channel
        const TOfficeReply r = link.Call(request, 5000);
        ASSERT_TRUE(r.Ok) << r.Code;
        EXPECT_EQ(r.Values, request);
    }
    const pid_t pid = link.Pid();
    const auto t = std::chrono::steady_clock::now();
    link.Close();
    EXPECT_LT(MsSince(t), 2000);
    EXPECT_FALSE(link.Running());
    EXPECT_TRUE(Gone(pid));
    EXPECT_EQ(link.Call({"x"}, 1000).Code, "disconnected");
}

TEST_F(OfficeLinkTest, AHungCallEndsAtItsTimeLimitAndTheHelperGoes)
{
    TOfficeLink link;
    ASSERT_TRUE(link.Start("/bin/sh", Fake("hang", kEcho), 5000).Ok);
    const pid_t pid = link.Pid();
    const auto t = std::chrono::steady_clock::now();
    EXPECT_EQ(link.Call({"hang"}, 300).Code, "timeout");
    // 300 ms of waiting, then the life line ends the helper at once.
    EXPECT_GE(MsSince(t), 300);
    EXPECT_LT(MsSince(t), 2500);
    EXPECT_FALSE(link.Running());
    EXPECT_TRUE(Gone(pid));
}

TEST_F(OfficeLinkTest, AHelperDeafToItsLifeLineIsKilled)
{
    TOfficeLink link;
    ASSERT_TRUE(link.Start("/bin/sh", Fake("deaf", kEcho, false), 5000).Ok);
    const pid_t pid = link.Pid();
    EXPECT_EQ(link.Call({"hang"}, 200).Code, "timeout");
    EXPECT_FALSE(link.Running());
    EXPECT_TRUE(Gone(pid));
}

TEST_F(OfficeLinkTest, AStopRequestEndsTheWait)
{
    TOfficeLink link;
    ASSERT_TRUE(link.Start("/bin/sh", Fake("stop", kEcho), 5000).Ok);
    const auto t = std::chrono::steady_clock::now();
    int asked = 0;
    const TOfficeReply r = link.Call({"hang"}, 20000, [&] { return ++asked > 2; });
    EXPECT_EQ(r.Code, "stopped");
    EXPECT_LT(MsSince(t), 3000);
    EXPECT_FALSE(link.Running());
}

TEST_F(OfficeLinkTest, AHelperThatDiesOrGarblesFailsTheCall)
{
    TOfficeLink link;
    ASSERT_TRUE(link.Start("/bin/sh", Fake("die", kEcho), 5000).Ok);
    EXPECT_EQ(link.Call({"die"}, 5000).Code, "disconnected");
    EXPECT_FALSE(link.Running());

    ASSERT_TRUE(link.Start("/bin/sh", Fake("garble", kEcho), 5000).Ok);
    EXPECT_EQ(link.Call({"garble"}, 5000).Code, "protocol");
    EXPECT_FALSE(link.Running());
}

TEST_F(OfficeLinkTest, StartFailures)
{
    TOfficeLink link;
    EXPECT_EQ(link.Start((dir_ / "no-python").string(), Fake("echo", kEcho), 1000).Code, "nopython");
    EXPECT_EQ(link.Start("/bin/sh", (dir_ / "missing.py").string(), 1000).Code, "nohelper");
    EXPECT_EQ(link.Start("/bin/sh", Fake("quiet-exit", "exit 0\n"), 2000).Code, "disconnected");
    EXPECT_EQ(link.Start("/bin/sh", Fake("other", "printf 'ok\\tsomething-else\\t1\\n'; sleep 30\n"), 2000).Code,
              "startfail");
    EXPECT_EQ(link.Start("/bin/sh", Fake("version", "printf 'ok\\tporukana-office\\t9\\n'; sleep 30\n"), 2000).Code,
              "startfail");
    const auto t = std::chrono::steady_clock::now();
    EXPECT_EQ(link.Start("/bin/sh", Fake("silent", "sleep 30\n"), 300).Code, "timeout");
    EXPECT_LT(MsSince(t), 2500);
    EXPECT_FALSE(link.Running());
}

TEST_F(OfficeLinkTest, TheHelperIsInAGroupOfItsOwn)
{
    TOfficeLink link;
    ASSERT_TRUE(link.Start("/bin/sh", Fake("echo", kEcho), 5000).Ok);
    // A Ctrl-C in the terminal goes to the run-time's group, not to the helper.
    EXPECT_EQ(getpgid(link.Pid()), link.Pid());
    EXPECT_NE(getpgid(link.Pid()), getpgrp());
}

}   // namespace
