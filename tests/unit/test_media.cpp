// The playback commands over a fake media service: wave sounds against media files,
// the repeat rules, both ways of 演奏停止, the state texts, the messages and the event
// source that keeps the console running.
#include <gtest/gtest.h>

#include <unistd.h>

#include <deque>
#include <filesystem>
#include <fstream>
#include <typeindex>

#include "core/codec.h"
#include "interp/interp.h"
#include "media_fakes.h"

namespace fs = std::filesystem;

namespace {

class MediaCommands : public ::testing::Test {
protected:
    TPoruBase st;
    TCountingHost host;
    std::shared_ptr<TFakeMediaService> media = std::make_shared<TFakeMediaService>();
    fs::path dir;
    std::deque<std::string> fragments;
    bool started = false;

    void SetUp() override
    {
        char tmpl[] = "/tmp/poru-media-XXXXXX";
        dir = mkdtemp(tmpl);
        for (const char* name : {"曲.mid", "b.mp3", "c.wav", "d.WAV"})
            std::ofstream(dir / Utf8(name), std::ios::binary) << "x";
        // A MIDI header without the name that says so.
        std::ofstream(dir / "seq.dat", std::ios::binary) << std::string("MThd\0\0\0\x06\0\0\0\x01\0\x60", 14);
        st.Host = &host;
        st.ServiceInstances[std::type_index(typeid(IMediaService))] = media;
    }
    void TearDown() override { fs::remove_all(dir); }

    static std::string Utf8(const char* sjis) { return SjisToUtf8(sjis); }
    // A file of the test folder as a script names it.
    std::string F(const char* sjisName) { return FromNativePath((dir / Utf8(sjisName)).string()); }

    // Runs a text: the first as the program, later ones in the same run. The error
    // message of the text, "" when it ran through.
    std::string Run(const std::string& text)
    {
        const size_t before = st.ErrorText.size();
        st.Stopping = false;
        if (!started) {
            started = true;
            st.FileName = "m.prk";
            st.Source = text;
            st.RunProgram();
        } else {
            std::string t = text;
            st.NormaliseOrRaise(t);
            fragments.push_back(std::move(t));
            try {
                st.RunNested(fragments.back().c_str());
            } catch (const EPoru&) {
            }
        }
        std::string err = st.ErrorText.substr(std::min(before, st.ErrorText.size()));
        const size_t colon = err.find("): ");
        if (colon != std::string::npos)
            err = err.substr(colon + 3);
        // The message only, not the indented detail line under it.
        const size_t detail = err.find("\r\n    ");
        if (detail != std::string::npos)
            err.resize(detail);
        while (!err.empty() && (err.back() == '\n' || err.back() == '\r'))
            err.pop_back();
        return err;
    }
    std::string Var(const char* name)
    {
        THashNode* n = st.Words.FindExact(name);
        return n ? n->Value : "<none>";
    }
    std::string Sore() { return st.Sys.Sore->Value; }
    TFakePlayer* Last() { return media->Players.empty() ? nullptr : media->Players.back(); }
    std::string State()
    {
        Run("演奏状態\r\n");
        return Sore();
    }
};

TEST_F(MediaCommands, StateBeforeAnythingWasPlayed)
{
    EXPECT_EQ(State(), "未設定");
    EXPECT_EQ(st.Sys.Sore->TypeText, "s");
    EXPECT_TRUE(media->Log->Calls.empty());
}

TEST_F(MediaCommands, MissingFileIsAnError)
{
    EXPECT_EQ(Run("「" + F("無い.mid") + "」を、演奏する。\r\n"), "ファイル\"" + F("無い.mid") + "\"が、ありません。");
    EXPECT_TRUE(media->Log->Calls.empty());
    // A folder is no file either.
    EXPECT_EQ(Run("「" + FromNativePath(dir.string()) + "」を、演奏する。\r\n"),
              "ファイル\"" + FromNativePath(dir.string()) + "\"が、ありません。");
}

TEST_F(MediaCommands, RepeatTwoPlaysMidiOnceButLoopsWave)
{
    EXPECT_EQ(
        Run("演奏繰り返し=「2」\r\n「" + F("曲.mid") + "」を、演奏する。\r\n「" + F("c.wav") + "」を、演奏する。\r\n"),
        "");
    EXPECT_EQ(media->Log->Joined(), "new midi, open " + Utf8("曲.mid") + ", play, wave c.wav loop");
    ASSERT_NE(Last(), nullptr);
    EXPECT_EQ(Last()->Kind(), TPlayerKind::Midi);
    Last()->ReachEnd();
    EXPECT_EQ(media->Log->Calls.back(), "close");   // not played again
    EXPECT_EQ(State(), "未設定");
}

TEST_F(MediaCommands, WaveLoopsWhenRepeatIsNotZeroAndMediaOnlyWhenOne)
{
    struct Row {
        const char* repeat;
        bool waveLoops, mediaRepeats;
    } rows[] = {{"0", false, false}, {"1", true, true}, {"2", true, false}, {"オン", true, false}, {"", true, false}};
    for (const Row& r : rows) {
        media->Log->Calls.clear();
        EXPECT_EQ(Run(std::string("演奏繰り返し=「") + r.repeat + "」\r\n「" + F("d.WAV") + "」を、演奏する。\r\n「" +
                      F("b.mp3") + "」を、演奏する。\r\n"),
                  "")
            << r.repeat;
        EXPECT_EQ(media->WaveLoops, r.waveLoops) << r.repeat;
        media->Log->Calls.clear();
        Last()->ReachEnd();
        EXPECT_EQ(media->Log->Joined(), r.mediaRepeats ? "seek 0, play" : "close") << r.repeat;
    }
}

TEST_F(MediaCommands, RepeatedPlayKeepsTheVariableAndRepeats)
{
    EXPECT_EQ(Run("演奏繰り返し=「0」\r\n「" + F("b.mp3") + "」を、繰り返し演奏する。\r\n"), "");
    EXPECT_EQ(Var("演奏繰り返し"), "0");
    media->Log->Calls.clear();
    Last()->ReachEnd();
    Last()->ReachEnd();
    EXPECT_EQ(media->Log->Joined(), "seek 0, play, seek 0, play");
    EXPECT_EQ(State(), "演奏中");
    // Also a wave loops, and the variable is restored after an error.
    EXPECT_EQ(Run("演奏繰り返し=「あ」\r\n「" + F("c.wav") + "」を、繰り返し演奏する。\r\n"), "");
    EXPECT_TRUE(media->WaveLoops);
    EXPECT_NE(Run("「" + F("無い.wav") + "」を、繰り返し演奏する。\r\n"), "");
    EXPECT_EQ(Var("演奏繰り返し"), "あ");
}

TEST_F(MediaCommands, StopEmptiesTheNameBeforeStopping)
{
    EXPECT_EQ(Run("演奏繰り返し=1\r\n「" + F("b.mp3") + "」を、演奏する。\r\n"), "");
    Last()->EndOnStop = true;   // the end report arrives inside Stop
    media->Log->Calls.clear();
    EXPECT_EQ(Run("演奏停止\r\n"), "");
    EXPECT_EQ(media->Log->Joined(), "seek 0, stop, close");   // not played again, no wave touched
    EXPECT_EQ(State(), "未設定");
}

TEST_F(MediaCommands, StopWithoutMediaStopsTheWave)
{
    EXPECT_EQ(Run("演奏繰り返し=1\r\n「" + F("c.wav") + "」を、演奏する。\r\n"), "");
    EXPECT_TRUE(media->WaveOn);
    EXPECT_EQ(Run("演奏停止\r\n"), "");
    EXPECT_FALSE(media->WaveOn);
    // A paused media file counts as not playing: the wave is stopped, the device closed.
    EXPECT_EQ(Run("「" + F("b.mp3") + "」を、演奏する。\r\n"), "");
    Last()->ForceMode(TMediaMode::Paused);
    media->Log->Calls.clear();
    EXPECT_EQ(Run("演奏停止\r\n演奏停止\r\n"), "");
    EXPECT_EQ(media->Log->Joined(), "wave stop, close, wave stop, close");
}

TEST_F(MediaCommands, StateTexts)
{
    EXPECT_EQ(Run("「" + F("b.mp3") + "」を、演奏する。\r\n"), "");
    const struct {
        TMediaMode mode;
        const char* text;
    } rows[] = {
        {TMediaMode::NotReady, "未設定"},  {TMediaMode::Stopped, "停止中"}, {TMediaMode::Playing, "演奏中"},
        {TMediaMode::Recording, "録音中"}, {TMediaMode::Seeking, "準備中"}, {TMediaMode::Paused, "一時停止"},
        {TMediaMode::Open, "再生待ち"},
    };
    for (const auto& r : rows) {
        Last()->ForceMode(r.mode);
        EXPECT_EQ(State(), r.text);
    }
}

TEST_F(MediaCommands, PlayerFailureIsAScriptError)
{
    media->FailOpenWith = "この形式のファイルには対応していません。";   // players speak UTF-8
    media->FailOpenWith = SjisToUtf8(media->FailOpenWith);
    EXPECT_EQ(Run("「" + F("b.mp3") + "」を、演奏する。\r\n"), "この形式のファイルには対応していません。");
    EXPECT_EQ(State(), "未設定");
    EXPECT_EQ(host.Sources, 0);
}

TEST_F(MediaCommands, KindOfPlayerByExtensionAndContent)
{
    EXPECT_EQ(Run("「" + F("曲.mid") + "」を、演奏する。\r\n「" + F("b.mp3") + "」を、演奏する。\r\n「" + F("seq.dat") +
                  "」を、演奏する。\r\n"),
              "");
    // The last one is a MIDI file by its first bytes.
    EXPECT_EQ(media->Kinds, (std::vector<TPlayerKind>{TPlayerKind::Midi, TPlayerKind::Media, TPlayerKind::Midi}));
    // Every 演奏 opens a device of its own; the one before is gone.
    EXPECT_EQ(std::count(media->Log->Calls.begin(), media->Log->Calls.end(), "play"), 3);
}

TEST_F(MediaCommands, WaveLeavesTheMediaPlayerAlone)
{
    EXPECT_EQ(Run("演奏繰り返し=1\r\n「" + F("b.mp3") + "」を、演奏する。\r\n演奏繰り返し=0\r\n「" + F("c.wav") +
                  "」を、演奏する。\r\n"),
              "");
    media->Log->Calls.clear();
    Last()->ReachEnd();
    EXPECT_EQ(media->Log->Joined(), "seek 0, play");   // the music still repeats
}

TEST_F(MediaCommands, PlayingKeepsOneEventSource)
{
    EXPECT_EQ(Run("「" + F("b.mp3") + "」を、演奏する。\r\n「" + F("c.wav") + "」を、演奏する。\r\n"), "");
    EXPECT_EQ(host.Sources, 1);
    Last()->ReachEnd();           // closed
    EXPECT_EQ(host.Sources, 1);   // the wave still sounds
    media->EndWave();
    EXPECT_EQ(host.Sources, 0);
    EXPECT_EQ(Run("「" + F("曲.mid") + "」を、演奏する。\r\n演奏停止\r\n"), "");
    EXPECT_EQ(host.Sources, 0);
}

TEST_F(MediaCommands, WithoutAServiceTheCommandsSayWhy)
{
    st.ServiceInstances[std::type_index(typeid(IMediaService))] = nullptr;
    EXPECT_EQ(Run("「" + F("b.mp3") + "」を、演奏する。\r\n"), "\"演奏\"命令は、この実行環境では使えません。");
    EXPECT_EQ(Run("「" + F("b.mp3") + "」を、繰り返し演奏する。\r\n"),
              "\"繰り返し演奏\"命令は、この実行環境では使えません。");
    EXPECT_EQ(Run("演奏停止\r\n"), "");
    EXPECT_EQ(State(), "未設定");
    EXPECT_EQ(Run("「play x」を、MCI送信する。\r\n"), "");
    EXPECT_EQ(Sore(), "MCIエラー:この実行環境では、音を鳴らせません。");
}

TEST_F(MediaCommands, MciThroughTheCommand)
{
    EXPECT_EQ(Run("「open " + F("b.mp3") +
                  " alias bgm」を、MCI送信する。\r\nA=それ\r\n"
                  "「play bgm」を、MCI送信する。\r\n「status bgm mode」を、MCI送信する。\r\n"),
              "");
    EXPECT_EQ(Var("A"), "");
    EXPECT_EQ(Sore(), "playing");
    EXPECT_EQ(st.Sys.Sore->TypeText, "s");
    EXPECT_EQ(host.Sources, 1);   // a device of MCI plays as well
    EXPECT_EQ(Run("「close all」を、MCI送信する。\r\n"), "");
    EXPECT_EQ(host.Sources, 0);
    // A relative name is found through the read-path search (here the current folder).
    const fs::path saved = fs::current_path();
    fs::current_path(dir);
    EXPECT_EQ(Run("「open 曲.mid alias m」を、MCI送信する。\r\n"), "");
    fs::current_path(saved);
    EXPECT_EQ(Sore(), "");
    EXPECT_EQ(media->Kinds.back(), TPlayerKind::Midi);
    EXPECT_EQ(Run("「open 無い.mid」を、MCI送信する。\r\n"), "");
    EXPECT_EQ(Sore(), "MCIエラー:指定されたファイルが見つかりません。");
    EXPECT_EQ(st.ErrorText, "");   // never an error of the script
}

}   // namespace
