// Players of sound and media files, as the media commands see them. The host-service
// library implements them (Qt Multimedia for wave sounds and media files, FluidSynth
// for MIDI); unit tests install a fake. Everything runs on the interpreter's thread:
// the end of playback is reported from the event loop, a change of mode also from
// the player's own operations.
//
// Paths are native (UTF-8); messages coming back are UTF-8 as well, the commands
// convert them.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

// The mode of a player device. Open: a file is open and has not been played yet.
enum class TMediaMode { NotReady, Open, Stopped, Playing, Paused, Seeking, Recording };

// Which kind of player plays a file: MIDI sequences go to the synthesiser, everything
// else to the media player.
enum class TPlayerKind { Media, Midi };

class IMediaPlayer {
public:
    virtual ~IMediaPlayer() = default;
    // Opens a file, closing what was open. False with a message when the file cannot
    // be played (unreadable, not a format the player knows).
    virtual bool Open(const std::string& path, std::string& error) = 0;
    // Closes the file: the mode becomes NotReady. Never notifies the end.
    virtual void Close() = 0;
    // Starts or resumes at the current position.
    virtual void Play() = 0;
    virtual void Pause() = 0;
    // Stops at the current position.
    virtual void Stop() = 0;
    virtual void Seek(int64_t ms) = 0;
    virtual TMediaMode Mode() const = 0;
    virtual int64_t PositionMs() const = 0;
    // The length of the open file, 0 while unknown.
    virtual int64_t LengthMs() const = 0;
    // ended: playback reached the end (the player stands stopped at the end).
    // changed: the mode may have changed (also called from Play, Pause, Stop, Close).
    virtual void SetNotifications(std::function<void()> ended, std::function<void()> changed) = 0;
};

class IMediaService {
public:
    virtual ~IMediaService() = default;
    virtual std::unique_ptr<IMediaPlayer> NewPlayer(TPlayerKind kind) = 0;
    // Wave sounds: one at a time, asynchronous; a new one replaces the previous one.
    virtual void PlayWave(const std::string& path, bool loop) = 0;
    virtual void StopWave() = 0;
    virtual bool WavePlaying() const = 0;
    // Called when a wave sound starts or ends.
    virtual void SetWaveChanged(std::function<void()> changed) = 0;
};

// The kind of player for a file: by its extension (.mid, .midi, .rmi are MIDI), and
// for any other name by its first bytes (a standard MIDI file or a RIFF MIDI file).
TPlayerKind PlayerKindOf(const std::string& nativePath);
