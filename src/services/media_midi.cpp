// The MIDI player: one FluidSynth synthesiser and sequence player per device. While
// it plays, the samples go to an audio driver of FluidSynth's own (its thread pulls
// them); when no driver can be opened a thread of ours renders them into nothing at
// the same pace, so the sequence still advances in real time. A timer on the event
// loop watches for the end of the sequence.
#include "services/media_midi.h"

#include <QTimer>

#include <fluidsynth.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <sys/stat.h>
#include <string_view>
#include <thread>

#include "media/media_files.h"

namespace {

constexpr int kRate = 44100;
constexpr int kPollMs = 30;
constexpr int kTailMs = 600;   // notes may ring out this long after the last event

bool IsFile(const char* path)
{
    struct stat sb {};
    return path && *path && stat(path, &sb) == 0 && S_ISREG(sb.st_mode);
}

bool IsDirectory(const char* path)
{
    struct stat sb {};
    return stat(path, &sb) == 0 && S_ISDIR(sb.st_mode);
}

void Silence(int, const char*, void*) {}

// FluidSynth reports on standard error by default; the player reports its failures
// itself.
void QuietFluidSynth()
{
    static std::once_flag once;
    std::call_once(once, [] {
        if (std::getenv("PORUKANA_MEDIA_DEBUG"))
            return;
        for (int level : {FLUID_PANIC, FLUID_ERR, FLUID_WARN, FLUID_INFO, FLUID_DBG})
            fluid_set_log_function(level, Silence, nullptr);
    });
}

// A synthesiser with the soundfont loaded; samples are loaded as the presets are used.
struct TSynth {
    fluid_settings_t* Settings = nullptr;
    fluid_synth_t* Synth = nullptr;
    ~TSynth()
    {
        if (Synth)
            delete_fluid_synth(Synth);
        if (Settings)
            delete_fluid_settings(Settings);
    }
    bool Create(std::string& error)
    {
        QuietFluidSynth();
        const std::string font = FindSoundFont();
        if (font.empty()) {
            error = "MIDIの音色ファイル(サウンドフォント)が見つかりません。";
            return false;
        }
        Settings = new_fluid_settings();
        fluid_settings_setnum(Settings, "synth.sample-rate", kRate);
        fluid_settings_setint(Settings, "synth.dynamic-sample-loading", 1);
        // FluidSynth's default gain (0.2) leaves room for dense pieces but sounds far
        // quieter than other players; 0.5 is about as loud as the media files.
        fluid_settings_setnum(Settings, "synth.gain", 0.5);
        fluid_settings_setstr(Settings, "audio.sample-format", "16bits");
        Synth = Settings ? new_fluid_synth(Settings) : nullptr;
        if (!Synth || fluid_synth_sfload(Synth, font.c_str(), 1) == FLUID_FAILED) {
            error = "MIDIの音色ファイル(サウンドフォント)を読み込めません。";
            return false;
        }
        return true;
    }
};

class TMidiPlayer : public IMediaPlayer {
public:
    TMidiPlayer()
    {
        poll_.setInterval(kPollMs);
        QObject::connect(&poll_, &QTimer::timeout, [this] { Poll(); });
    }
    ~TMidiPlayer() override
    {
        ended_ = nullptr;
        changed_ = nullptr;
        Release();
    }

    bool Open(const std::string& path, std::string& error) override
    {
        Close();
        const std::string bytes = ReadFileBytes(path);
        const std::string_view smf = StandardMidiPart(bytes);
        if (smf.empty() || !timing_.Parse(smf)) {
            error = "MIDIファイルとして読み込めません。";
            return false;
        }
        if (!synth_) {
            auto synth = std::make_unique<TSynth>();
            if (!synth->Create(error))
                return false;
            synth_ = std::move(synth);
        }
        smf_.assign(smf.data(), smf.size());
        if (!NewSequence()) {
            error = "MIDIファイルとして読み込めません。";
            return false;
        }
        mode_ = TMediaMode::Open;
        positionMs_ = 0;
        Notify();
        return true;
    }

    void Close() override
    {
        const bool was = mode_ != TMediaMode::NotReady;
        StopOutput();
        if (sequence_) {
            delete_fluid_player(sequence_);
            sequence_ = nullptr;
        }
        if (synth_)
            fluid_synth_system_reset(synth_->Synth);
        mode_ = TMediaMode::NotReady;
        positionMs_ = 0;
        if (was)
            Notify();
    }

    void Play() override
    {
        if (mode_ == TMediaMode::NotReady || mode_ == TMediaMode::Playing)
            return;
        if (fluid_player_get_status(sequence_) == FLUID_PLAYER_DONE)
            Seek(positionMs_ >= timing_.LengthMs() ? 0 : positionMs_);   // a finished sequence starts afresh
        fluid_player_play(sequence_);
        tailSince_ = -1;
        StartOutput();
        mode_ = TMediaMode::Playing;
        poll_.start();
        Notify();
    }

    void Pause() override { Halt(TMediaMode::Paused); }
    void Stop() override { Halt(TMediaMode::Stopped); }

    // A new sequence player goes to the position when it starts: the old one might
    // still report its end before it has moved.
    void Seek(int64_t ms) override
    {
        if (mode_ == TMediaMode::NotReady)
            return;
        const bool playing = mode_ == TMediaMode::Playing;
        if (playing)
            StopOutput();
        positionMs_ = std::clamp<int64_t>(ms, 0, timing_.LengthMs());
        seekTick_ = static_cast<int>(timing_.MsToTicks(positionMs_));
        NewSequence();
        if (seekTick_ > 0)
            fluid_player_seek(sequence_, seekTick_);
        tailSince_ = -1;
        if (playing) {
            fluid_player_play(sequence_);
            StartOutput();
        }
    }

    TMediaMode Mode() const override { return mode_; }

    int64_t PositionMs() const override
    {
        if (mode_ != TMediaMode::Playing)
            return positionMs_;
        // Until the sequence has gone to a new position it reports the start.
        const int tick = std::max(seekTick_, fluid_player_get_current_tick(sequence_));
        return std::min(timing_.TicksToMs(tick), timing_.LengthMs());
    }

    int64_t LengthMs() const override { return mode_ == TMediaMode::NotReady ? 0 : timing_.LengthMs(); }

    void SetNotifications(std::function<void()> ended, std::function<void()> changed) override
    {
        ended_ = std::move(ended);
        changed_ = std::move(changed);
    }

private:
    bool NewSequence()
    {
        if (sequence_)
            delete_fluid_player(sequence_);
        sequence_ = new_fluid_player(synth_->Synth);
        return sequence_ && fluid_player_add_mem(sequence_, smf_.data(), smf_.size()) == FLUID_OK;
    }

    void Halt(TMediaMode to)
    {
        if (mode_ == TMediaMode::NotReady || mode_ == to)
            return;
        if (mode_ == TMediaMode::Playing) {
            positionMs_ = PositionMs();
            StopOutput();
            fluid_player_stop(sequence_);
            fluid_synth_all_notes_off(synth_->Synth, -1);
            poll_.stop();
        }
        mode_ = to;
        Notify();
    }

    void StartOutput()
    {
        for (const char* driver : {"pulseaudio", "alsa"}) {
            // ALSA's library reports a machine without sound cards on standard error.
            if (std::string_view(driver) == "alsa" && !IsDirectory("/dev/snd"))
                continue;
            fluid_settings_setstr(synth_->Settings, "audio.driver", driver);
            if ((driver_ = new_fluid_audio_driver(synth_->Settings, synth_->Synth)))
                return;
        }
        // No device: render into nothing at the pace of the clock.
        silentRun_ = true;
        fluid_synth_t* synth = synth_->Synth;
        silent_ = std::thread([this, synth] {
            std::vector<int16_t> scratch(2 * kRate / 100);
            auto next = std::chrono::steady_clock::now();
            while (silentRun_) {
                fluid_synth_write_s16(synth, kRate / 100, scratch.data(), 0, 2, scratch.data(), 1, 2);
                next += std::chrono::milliseconds(10);
                std::this_thread::sleep_until(next);
            }
        });
    }

    void StopOutput()
    {
        if (driver_) {
            delete_fluid_audio_driver(driver_);
            driver_ = nullptr;
        }
        if (silent_.joinable()) {
            silentRun_ = false;
            silent_.join();
        }
    }

    void Release()
    {
        poll_.stop();
        StopOutput();
        if (sequence_)
            delete_fluid_player(sequence_);
        sequence_ = nullptr;
        synth_.reset();
    }

    void Poll()
    {
        if (mode_ != TMediaMode::Playing)
            return;
        const int tick = fluid_player_get_current_tick(sequence_);
        if (seekTick_ >= 0 && tick >= seekTick_)
            seekTick_ = -1;   // the sequence has gone to the new position
        const bool done = fluid_player_get_status(sequence_) == FLUID_PLAYER_DONE || tick >= timing_.TotalTicks();
        if (!done)
            return;
        const auto now = std::chrono::steady_clock::now().time_since_epoch();
        const int64_t nowMs = std::chrono::duration_cast<std::chrono::milliseconds>(now).count();
        if (tailSince_ < 0)
            tailSince_ = nowMs;
        if (fluid_synth_get_active_voice_count(synth_->Synth) > 0 && nowMs - tailSince_ < kTailMs)
            return;
        // The end: the device stands stopped at the end of the sequence.
        positionMs_ = timing_.LengthMs();
        StopOutput();
        fluid_player_stop(sequence_);
        fluid_synth_all_sounds_off(synth_->Synth, -1);
        poll_.stop();
        mode_ = TMediaMode::Stopped;
        if (ended_)
            ended_();   // may play again or close the device
        Notify();
    }

    void Notify()
    {
        if (changed_)
            changed_();
    }

    std::unique_ptr<TSynth> synth_;
    fluid_player_t* sequence_ = nullptr;
    fluid_audio_driver_t* driver_ = nullptr;
    std::thread silent_;
    std::atomic<bool> silentRun_{false};
    std::string smf_;
    TMidiTiming timing_;
    TMediaMode mode_ = TMediaMode::NotReady;
    int64_t positionMs_ = 0;
    int seekTick_ = -1;
    int64_t tailSince_ = -1;
    QTimer poll_;
    std::function<void()> ended_, changed_;
};

}   // namespace

std::string FindSoundFont()
{
    if (const char* env = std::getenv("PORUKANA_SOUNDFONT"); IsFile(env))
        return env;
    for (const char* p : {"/usr/share/sounds/sf2/default-GM.sf2", "/usr/share/sounds/sf2/FluidR3_GM.sf2",
                          "/usr/share/soundfonts/default.sf2", "/usr/share/soundfonts/FluidR3_GM.sf2"})
        if (IsFile(p))
            return p;
    return std::string();
}

std::unique_ptr<IMediaPlayer> NewMidiPlayer()
{
    return std::make_unique<TMidiPlayer>();
}

bool RenderMidi(const std::string& path, int64_t maxMs, std::vector<int16_t>& samples, std::string& error)
{
    samples.clear();
    const std::string bytes = ReadFileBytes(path);
    const std::string_view smf = StandardMidiPart(bytes);
    TMidiTiming timing;
    if (smf.empty() || !timing.Parse(smf)) {
        error = "MIDIファイルとして読み込めません。";
        return false;
    }
    TSynth synth;
    if (!synth.Create(error))
        return false;
    fluid_player_t* sequence = new_fluid_player(synth.Synth);
    if (!sequence || fluid_player_add_mem(sequence, smf.data(), smf.size()) != FLUID_OK) {
        if (sequence)
            delete_fluid_player(sequence);
        error = "MIDIファイルとして読み込めません。";
        return false;
    }
    fluid_player_play(sequence);
    constexpr int kBlock = 512;
    const int64_t maxFrames = maxMs * kRate / 1000;
    int64_t frames = 0;
    while (frames < maxFrames && fluid_player_get_status(sequence) == FLUID_PLAYER_PLAYING) {
        samples.resize(samples.size() + 2 * kBlock);
        int16_t* out = samples.data() + samples.size() - 2 * kBlock;
        fluid_synth_write_s16(synth.Synth, kBlock, out, 0, 2, out, 1, 2);
        frames += kBlock;
    }
    delete_fluid_player(sequence);
    return true;
}
