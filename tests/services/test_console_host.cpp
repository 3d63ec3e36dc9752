// The console host's progress reports on standard error (at most one position line
// a second) and its dialogs on the standard streams.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>

#include "console/console_host.h"
#include "core/codec.h"
#include "interp/interp.h"

namespace {

// A console host whose clock the test sets.
class TClockedHost : public TConsoleHost {
public:
    int64_t now = 0;
    int64_t TickMs() override { return now; }
};

// Texts here are Shift_JIS literals; the streams carry UTF-8.

// Collects what is written to standard error while it lives.
class TStderrCapture {
public:
    TStderrCapture()
    {
        std::fflush(stderr);
        path_ = testing::TempDir() + "porukana_stderr_" + std::to_string(::getpid());
        saved_ = ::dup(2);
        FILE* f = std::fopen(path_.c_str(), "wb");
        ::dup2(::fileno(f), 2);
        std::fclose(f);
    }
    ~TStderrCapture() { Restore(); }
    std::string Text()
    {
        Restore();
        std::ifstream in(path_, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        std::remove(path_.c_str());
        return ss.str();
    }

private:
    void Restore()
    {
        if (saved_ < 0)
            return;
        std::fflush(stderr);
        ::dup2(saved_, 2);
        ::close(saved_);
        saved_ = -1;
    }
    std::string path_;
    int saved_ = -1;
};

TEST(ConsoleProgress, MessagesAndAtMostOnePositionASecond)
{
    TPoruBase st;
    TClockedHost host;
    TStderrCapture capture;
    host.now = 10000;
    host.ProgressOpen(st, std::string(), [] {});
    host.ProgressSetPosition(st, 10, 100);   // the first report goes out
    host.now = 10500;
    host.ProgressSetPosition(st, 40, 100);   // too soon
    host.ProgressSetMessage(st, "送信中");   // messages always
    host.now = 11000;
    host.ProgressSetPosition(st, 60, 100);
    host.now = 11999;
    host.ProgressSetPosition(st, 99, 100);
    host.ProgressClose(st);
    host.ProgressOpen(st, "受信", nullptr);
    host.ProgressSetPosition(st, 5, 0);   // a new window reports at once
    host.ProgressClose(st);
    EXPECT_EQ(capture.Text(),
              SjisToUtf8("[進行] ---\n[進行] 10%\n[進行] 送信中\n[進行] 60%\n[進行] 受信\n[進行] 0%\n"));
}

TEST(ConsoleDialogs, PromptOnStderrAnswerFromStdin)
{
    TPoruBase st;
    TConsoleHost host;
    std::istringstream input(SjisToUtf8("たろう\r\nyes\n"));
    std::streambuf* saved = std::cin.rdbuf(input.rdbuf());
    std::string answer;
    int yes = -1, atEnd = -1;
    bool asked = false, afterEnd = true;
    std::string text;
    {
        TStderrCapture capture;
        asked = host.AskText(st, "名前は？", std::string(), 0, answer);
        yes = host.AskQuestion(st, "続ける？", false);
        atEnd = host.AskQuestion(st, "もう一度？", true);
        afterEnd = host.AskText(st, "x", std::string(), 0, answer);
        text = capture.Text();
    }
    std::cin.rdbuf(saved);
    std::cin.clear();
    EXPECT_TRUE(asked);
    EXPECT_EQ(yes, 1);
    EXPECT_EQ(atEnd, 2);   // the end of the input cancels
    EXPECT_FALSE(afterEnd);
    EXPECT_EQ(answer, "たろう");   // UTF-8 in, the line end removed, Shift_JIS out
    EXPECT_EQ(text, SjisToUtf8("名前は？\n> 続ける？\n[はい/いいえ] もう一度？\n[はい/いいえ/キャンセル] x\n> "));
}

}   // namespace
