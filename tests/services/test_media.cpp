// The media service on a Qt Core event loop: FluidSynth renders the test tune to
// sound, the MIDI and media players run their course (with or without an audio
// device they keep time and end), the wave channel ends or loops.
#include <QCoreApplication>
#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>

#include "interp/interp.h"
#include "interp/services.h"
#include "media/media_files.h"
#include "media/player.h"
#include "services/media_midi.h"

namespace fs = std::filesystem;

namespace {

std::string Fixture(const char* name)
{
    return std::string(PORUKANA_SOURCE_DIR) + "/tests/media/" + name;
}

// Runs the event loop until done() or ms have passed; true when done.
bool RunUntil(const std::function<bool()>& done, int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

void RunFor(int ms)
{
    RunUntil([] { return false; }, ms);
}

double Rms(const std::vector<int16_t>& s, size_t from, size_t to)
{
    double sum = 0;
    to = std::min(to, s.size());
    for (size_t i = from; i < to; ++i)
        sum += double(s[i]) * s[i];
    return to > from ? std::sqrt(sum / double(to - from)) : 0;
}

TEST(MidiSynth, RendersTheTuneToSound)
{
    if (FindSoundFont().empty())
        GTEST_SKIP() << "no General MIDI soundfont installed (fluid-soundfont-gm)";
    std::vector<int16_t> samples;
    std::string error;
    ASSERT_TRUE(RenderMidi(Fixture("tune.mid"), 10000, samples, error)) << error;
    const double seconds = samples.size() / 2 / 44100.0;
    EXPECT_GE(seconds, 1.0);   // four eighths at 120 a minute, then the piano rings out
    EXPECT_LE(seconds, 6.0);
    const size_t second = 2 * 44100;
    EXPECT_GT(Rms(samples, 0, second), 100.0);   // the notes sound
    int peak = 0;
    for (int16_t v : samples)
        peak = std::max(peak, std::abs(int(v)));
    EXPECT_GT(peak, 1000);
    EXPECT_LT(Rms(samples, samples.size() - 4410, samples.size()), Rms(samples, 0, second));   // fading out

    // The same sequence inside a RIFF MIDI file.
    const std::string smf = ReadFileBytes(Fixture("tune.mid"));
    auto le32 = [](uint32_t v) { return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; };
    const std::string body = "RMIDdata" + le32(uint32_t(smf.size())) + smf;
    const fs::path rmi = fs::temp_directory_path() / ("poru-tune-" + std::to_string(getpid()) + ".rmi");
    std::ofstream(rmi, std::ios::binary) << "RIFF" + le32(uint32_t(body.size())) + body;
    std::vector<int16_t> again;
    EXPECT_TRUE(RenderMidi(rmi.string(), 10000, again, error)) << error;
    EXPECT_EQ(again.size(), samples.size());
    fs::remove(rmi);

    EXPECT_FALSE(RenderMidi(Fixture("chime.wav"), 1000, again, error));
    EXPECT_FALSE(error.empty());
}

struct TCounts {
    int ended = 0, changed = 0;
};

std::unique_ptr<IMediaPlayer> Player(TPoruBase& st, TPlayerKind kind, TCounts& c)
{
    IMediaService* media = FindService<IMediaService>(st);
    EXPECT_NE(media, nullptr);
    std::unique_ptr<IMediaPlayer> p = media->NewPlayer(kind);
    p->SetNotifications([&c] { ++c.ended; }, [&c] { ++c.changed; });
    return p;
}

TEST(MediaService, MidiPlayerKeepsTimeAndEnds)
{
    if (FindSoundFont().empty())
        GTEST_SKIP() << "no General MIDI soundfont installed (fluid-soundfont-gm)";
    TPoruBase st;
    TCounts c;
    auto p = Player(st, TPlayerKind::Midi, c);
    std::string error;
    EXPECT_EQ(p->Mode(), TMediaMode::NotReady);
    ASSERT_TRUE(p->Open(Fixture("tune.mid"), error)) << error;
    EXPECT_EQ(p->Mode(), TMediaMode::Open);
    EXPECT_EQ(p->LengthMs(), 1000);
    p->Play();
    EXPECT_EQ(p->Mode(), TMediaMode::Playing);
    RunFor(300);
    const int64_t at = p->PositionMs();
    EXPECT_GT(at, 100);
    EXPECT_LT(at, 800);
    p->Pause();
    EXPECT_EQ(p->Mode(), TMediaMode::Paused);
    const int64_t held = p->PositionMs();
    RunFor(200);
    EXPECT_EQ(p->PositionMs(), held);
    p->Play();
    EXPECT_TRUE(RunUntil([&] { return c.ended == 1; }, 5000));
    EXPECT_EQ(p->Mode(), TMediaMode::Stopped);
    EXPECT_EQ(p->PositionMs(), 1000);
    // Played again from a position; closing while it plays reports no end.
    p->Seek(600);
    p->Play();
    RunFor(100);
    EXPECT_GE(p->PositionMs(), 600);
    p->Close();
    EXPECT_EQ(p->Mode(), TMediaMode::NotReady);
    RunFor(200);
    EXPECT_EQ(c.ended, 1);
    EXPECT_GT(c.changed, 4);
    EXPECT_FALSE(p->Open(Fixture("chime.wav"), error));
}

TEST(MediaService, MediaPlayerOpensPlaysAndEnds)
{
    TPoruBase st;
    TCounts c;
    auto p = Player(st, TPlayerKind::Media, c);
    std::string error;
    for (const char* name : {"tone.mp3", "tone.mp4", "tone.ogg"}) {
        ASSERT_TRUE(p->Open(Fixture(name), error)) << name << ": " << error;
        EXPECT_EQ(p->Mode(), TMediaMode::Open) << name;
        EXPECT_NEAR(double(p->LengthMs()), 1000.0, 120.0) << name;
    }
    p->Play();
    EXPECT_EQ(p->Mode(), TMediaMode::Playing);
    RunFor(400);
    p->Stop();   // keeps the position
    EXPECT_EQ(p->Mode(), TMediaMode::Stopped);
    const int64_t at = p->PositionMs();
    EXPECT_GT(at, 100);
    p->Play();
    EXPECT_TRUE(RunUntil([&] { return c.ended == 1; }, 6000));
    EXPECT_EQ(p->Mode(), TMediaMode::Stopped);
    p->Close();
    EXPECT_EQ(p->Mode(), TMediaMode::NotReady);

    // Files it cannot play.
    error.clear();
    EXPECT_FALSE(p->Open(std::string(PORUKANA_SOURCE_DIR) + "/tests/media/make_sounds.sh", error));
    EXPECT_FALSE(error.empty());
    error.clear();
    EXPECT_FALSE(p->Open("/nonexistent/x.mp3", error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(p->Mode(), TMediaMode::NotReady);
}

TEST(MediaService, WaveSoundEndsOrLoops)
{
    TPoruBase st;
    IMediaService* media = FindService<IMediaService>(st);
    ASSERT_NE(media, nullptr);
    int changes = 0;
    media->SetWaveChanged([&] { ++changes; });
    EXPECT_FALSE(media->WavePlaying());
    media->PlayWave(Fixture("chime.wav"), false);
    EXPECT_TRUE(media->WavePlaying());
    EXPECT_TRUE(RunUntil([&] { return !media->WavePlaying(); }, 3000));   // half a second long
    EXPECT_EQ(changes, 2);
    media->PlayWave(Fixture("chime.wav"), true);
    RunFor(900);
    EXPECT_TRUE(media->WavePlaying());
    media->StopWave();
    EXPECT_FALSE(media->WavePlaying());
    // A new sound replaces the one before.
    media->PlayWave(Fixture("chime.wav"), true);
    media->PlayWave(Fixture("chime.wav"), false);
    EXPECT_TRUE(RunUntil([&] { return !media->WavePlaying(); }, 3000));
    // A file that is no sound does not loop for ever.
    media->PlayWave(Fixture("make_sounds.sh"), true);
    EXPECT_TRUE(RunUntil([&] { return !media->WavePlaying(); }, 3000));
}

}   // namespace
