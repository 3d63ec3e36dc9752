// The MCI command interpreter over fake players: the answers of a session of commands
// as a table, repeat and wait, and the splitting of command strings.
#include <gtest/gtest.h>

#include <set>

#include "media/mci.h"
#include "media_fakes.h"

namespace {

struct MciSession {
    TFakeMediaService media;
    int waits = 0;
    int activity = 0;
    std::function<void()> onWait;
    TMciInterpreter mci{&media,
                        [](const std::string& name, std::string& native) {
                            static const std::set<std::string> files = {"a.mid", "b.mp3", "c d.ogg"};
                            native = "/x/" + name;
                            return files.count(name) == 1;
                        },
                        [this] {
                            ++waits;
                            if (onWait)
                                onWait();
                            return waits < 100;
                        }};
    MciSession()
    {
        mci.OnActivity = [this] { ++activity; };
    }
};

TEST(Mci, AnswersOfASession)
{
    MciSession s;
    const std::string e = "MCIエラー:";
    const struct Row {
        const char* command;
        std::string answer;
    } rows[] = {
        {"", e + "コマンドが指定されていません。"},
        {"  \t ", e + "コマンドが指定されていません。"},
        {"record x", e + "認識できないコマンドです。"},
        {"capability x can play", e + "認識できないコマンドです。"},
        {"open", e + "パラメータが足りません。"},
        {"open \"c d.ogg", e + "引用符が閉じていません。"},
        {"open nofile.mid", e + "指定されたファイルが見つかりません。"},
        {"open cdaudio", e + "この実行環境では使えないデバイスです。"},
        {"open new type waveaudio alias rec", e + "この実行環境では使えないデバイスです。"},
        {"open a.mid type videodisc", e + "この実行環境では使えないデバイスです。"},
        {"open a.mid alias", e + "パラメータが足りません。"},
        {"open a.mid shareable bogus", e + "このコマンドでは使えないパラメータです。"},
        {"OPEN \"c d.ogg\" ALIAS Music", ""},
        {"open b.mp3 alias music", e + "その別名は、既に使われています。"},
        {"status music mode", "stopped"},
        {"status MUSIC length", "5000"},
        {"status music", e + "パラメータが足りません。"},
        {"status music volume", e + "このコマンドでは使えないパラメータです。"},
        {"status music mode position", e + "このコマンドでは使えないパラメータです。"},
        {"play music from 6000", e + "指定された位置が範囲外です。"},
        {"play music from x", e + "数値の指定が正しくありません。"},
        {"play music from", e + "パラメータが足りません。"},
        {"play music to 100", e + "このコマンドでは使えないパラメータです。"},
        {"play music from 1200 notify", ""},
        {"status music mode", "playing"},
        {"status music position", "1200"},
        {"pause music", ""},
        {"status music mode", "paused"},
        {"resume music", ""},
        {"status music mode", "playing"},
        {"seek music to end", ""},
        {"status music position", "5000"},
        {"status music mode", "stopped"},
        {"resume music", ""},   // only a paused device resumes
        {"status music mode", "stopped"},
        {"seek music to 7000", e + "指定された位置が範囲外です。"},
        {"seek music 10", e + "このコマンドでは使えないパラメータです。"},
        {"seek music to", e + "パラメータが足りません。"},
        {"seek music to start", ""},
        {"status music position", "0"},
        {"set music time format ms", ""},
        {"set music time format milliseconds", ""},
        {"set music time format frames", e + "このコマンドでは使えないパラメータです。"},
        {"set music audio all off", e + "このコマンドでは使えないパラメータです。"},
        {"stop music now", e + "このコマンドでは使えないパラメータです。"},
        {"stop nobody", e + "指定されたデバイスは開かれていません。"},
        {"play", e + "パラメータが足りません。"},
        {"close music", ""},
        {"status music mode", e + "指定されたデバイスは開かれていません。"},
        {"open sequencer!b.mp3 alias seq", ""},
        {"close all", ""},
        {"status seq mode", e + "指定されたデバイスは開かれていません。"},
    };
    for (const Row& r : rows)
        EXPECT_EQ(s.mci.Send(r.command), r.answer) << r.command;
    // The type decides the player; without one the file does.
    EXPECT_EQ(s.media.Kinds, (std::vector<TPlayerKind>{TPlayerKind::Media, TPlayerKind::Midi}));
    EXPECT_GE(s.activity, static_cast<int>(std::size(rows)));
}

TEST(Mci, CannotOpenIsReported)
{
    MciSession s;
    s.media.FailOpenWith = "no";
    EXPECT_EQ(s.mci.Send("open b.mp3"), "MCIエラー:ファイルを開けません。対応していない形式か、壊れています。");
    EXPECT_EQ(s.mci.Send("status b.mp3 mode"), "MCIエラー:指定されたデバイスは開かれていません。");
}

TEST(Mci, RepeatPlaysAgainUntilStopped)
{
    MciSession s;
    EXPECT_EQ(s.mci.Send("open a.mid"), "");   // the file name is the device name
    EXPECT_EQ(s.mci.Send("play A.MID repeat"), "");
    EXPECT_TRUE(s.mci.AnyPlaying());
    TFakePlayer* p = s.media.Players.back();
    s.media.Log->Calls.clear();
    p->ReachEnd();
    EXPECT_EQ(s.media.Log->Joined(), "seek 0, play");
    EXPECT_EQ(s.mci.Send("stop a.mid"), "");
    EXPECT_FALSE(s.mci.AnyPlaying());
    s.media.Log->Calls.clear();
    p->ReachEnd();
    EXPECT_EQ(s.media.Log->Joined(), "");
    // A play without repeat ends for good.
    EXPECT_EQ(s.mci.Send("play a.mid from 0"), "");
    p->ReachEnd();
    EXPECT_EQ(s.mci.Send("status a.mid mode"), "stopped");
}

TEST(Mci, PlayWaitReturnsAtTheEnd)
{
    MciSession s;
    EXPECT_EQ(s.mci.Send("open b.mp3 alias w"), "");
    TFakePlayer* p = s.media.Players.back();
    s.onWait = [&] {
        if (s.waits == 3)
            p->ReachEnd();
    };
    EXPECT_EQ(s.mci.Send("play w wait"), "");
    EXPECT_EQ(s.waits, 3);
    // A handler that runs during the wait may close the device.
    s.waits = 0;
    s.onWait = [&] {
        if (s.waits == 2)
            s.mci.Send("close w");
    };
    EXPECT_EQ(s.mci.Send("play w wait"), "");
    EXPECT_EQ(s.waits, 2);
    EXPECT_EQ(s.mci.Send("status w mode"), "MCIエラー:指定されたデバイスは開かれていません。");
}

TEST(Mci, SplitsWords)
{
    const struct {
        const char* text;
        std::vector<std::string> words;
    } rows[] = {
        {"open a.mid alias x", {"open", "a.mid", "alias", "x"}},
        {"  play\tx  ", {"play", "x"}},
        {"open \"C:\\曲 集\\a.mid\" alias x", {"open", "C:\\曲 集\\a.mid", "alias", "x"}},
        {"open ab\"c d\"e", {"open", "abc de"}},
        {"", {}},
    };
    for (const auto& r : rows) {
        std::vector<std::string> words;
        EXPECT_TRUE(SplitMciWords(r.text, words)) << r.text;
        EXPECT_EQ(words, r.words) << r.text;
    }
    std::vector<std::string> words;
    EXPECT_FALSE(SplitMciWords("open \"a", words));
}

}   // namespace
