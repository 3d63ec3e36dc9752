// A media service whose players only record what is asked of them, and a host that
// counts event sources: the rules of the media commands without any sound.
#pragma once
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "interp/host.h"
#include "interp/interp.h"
#include "media/player.h"

struct TFakeLog {
    std::vector<std::string> Calls;   // "open PATH", "play", "seek N", ...
    std::string Joined() const
    {
        std::string out;
        for (const std::string& c : Calls)
            out += (out.empty() ? "" : ", ") + c;
        return out;
    }
};

class TFakePlayer : public IMediaPlayer {
public:
    TFakePlayer(TPlayerKind kind, std::shared_ptr<TFakeLog> log, std::string failWith)
        : kind_(kind), log_(std::move(log)), failWith_(std::move(failWith))
    {
    }
    bool Open(const std::string& path, std::string& error) override
    {
        Log("open " + path.substr(path.rfind('/') + 1));
        if (!failWith_.empty()) {
            error = failWith_;
            return false;
        }
        mode_ = TMediaMode::Open;
        return true;
    }
    void Close() override { Set(TMediaMode::NotReady, "close"); }
    void Play() override { Set(TMediaMode::Playing, "play"); }
    void Pause() override { Set(TMediaMode::Paused, "pause"); }
    void Stop() override
    {
        Set(TMediaMode::Stopped, "stop");
        // Some players report the end when they are stopped.
        if (EndOnStop && ended_)
            ended_();
    }
    void Seek(int64_t ms) override
    {
        position_ = ms;
        Log("seek " + std::to_string(ms));
    }
    TMediaMode Mode() const override { return mode_; }
    int64_t PositionMs() const override { return position_; }
    int64_t LengthMs() const override { return mode_ == TMediaMode::NotReady ? 0 : Length; }
    void SetNotifications(std::function<void()> ended, std::function<void()> changed) override
    {
        ended_ = std::move(ended);
        changed_ = std::move(changed);
    }

    // The end of the file, as the event loop would report it.
    void ReachEnd()
    {
        position_ = Length;
        mode_ = TMediaMode::Stopped;
        if (ended_)
            ended_();
        if (changed_)
            changed_();
    }
    void ForceMode(TMediaMode m) { mode_ = m; }
    TPlayerKind Kind() const { return kind_; }
    bool EndOnStop = false;
    int64_t Length = 5000;

private:
    void Log(const std::string& s) { log_->Calls.push_back(s); }
    void Set(TMediaMode m, const char* what)
    {
        mode_ = m;
        Log(what);
        if (changed_)
            changed_();
    }
    TPlayerKind kind_;
    std::shared_ptr<TFakeLog> log_;
    std::string failWith_;
    TMediaMode mode_ = TMediaMode::NotReady;
    int64_t position_ = 0;
    std::function<void()> ended_, changed_;
};

class TFakeMediaService : public IMediaService {
public:
    std::shared_ptr<TFakeLog> Log = std::make_shared<TFakeLog>();
    std::vector<TFakePlayer*> Players;   // every player made, the newest last (alive or not)
    std::vector<TPlayerKind> Kinds;      // the kind of each
    std::string FailOpenWith;            // the next players fail to open with this message
    bool WaveOn = false, WaveLoops = false;
    std::string WavePath;

    std::unique_ptr<IMediaPlayer> NewPlayer(TPlayerKind kind) override
    {
        Log->Calls.push_back(kind == TPlayerKind::Midi ? "new midi" : "new media");
        auto p = std::make_unique<TFakePlayer>(kind, Log, FailOpenWith);
        Players.push_back(p.get());
        Kinds.push_back(kind);
        return p;
    }
    void PlayWave(const std::string& path, bool loop) override
    {
        Log->Calls.push_back(std::string("wave ") + path.substr(path.rfind('/') + 1) + (loop ? " loop" : ""));
        WaveOn = true;
        WaveLoops = loop;
        WavePath = path;
        if (changed_)
            changed_();
    }
    void StopWave() override
    {
        Log->Calls.push_back("wave stop");
        WaveOn = false;
        if (changed_)
            changed_();
    }
    bool WavePlaying() const override { return WaveOn; }
    void SetWaveChanged(std::function<void()> changed) override { changed_ = std::move(changed); }
    // A wave sound that does not loop has ended.
    void EndWave()
    {
        WaveOn = false;
        if (changed_)
            changed_();
    }

private:
    std::function<void()> changed_;
};

class TCountingHost : public THost {
public:
    int Sources = 0;
    int Waits = 0;
    std::function<void()> OnWait;   // what happens while a command waits
    bool IsGui() const override { return false; }
    void ShowText(TPoruBase&, const std::string&) override {}
    void Say(TPoruBase&, const std::string&) override {}
    void MessageBox(const std::string&) override {}
    ErrorChoice ShowErrorDialog(TPoruBase&, const std::string&) override { return ErrorChoice::Stop; }
    void Warning(TPoruBase&, const std::string&) override {}
    void ProcessEvents() override {}
    void WaitMs(TPoruBase&, int64_t) override
    {
        ++Waits;
        if (OnWait)
            OnWait();
    }
    int64_t TickMs() override { return 0; }
    void ShowMainWindow() override {}
    void RequestClose(TPoruBase&) override {}
    void* MainWindowControl() override { return nullptr; }
    int ScreenWidth() override { return 0; }
    int ScreenHeight() override { return 0; }
    void AddEventSource() override { ++Sources; }
    void RemoveEventSource() override { --Sources; }
};
