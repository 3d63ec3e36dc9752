// MCI送信: a small interpreter of media control command strings over the players of
// the media service. Devices are opened with "open FILE [type T] [alias A]" and then
// named by their alias:
//
//   open, play [from N] [repeat] [wait], pause, resume, stop, seek to N|start|end,
//   close NAME|all, status NAME mode|position|length, set NAME time format ms
//
// Positions and lengths are milliseconds. Every answer is a text: empty for a command
// that only acts, the value asked for by status, or "MCIエラー:" followed by a message
// of our own table. Nothing here raises a script error.
#pragma once
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "media/player.h"

// clang-format off
enum class TMciError {
    None, NoCommand, UnknownCommand, OpenQuote, MissingParameter, BadParameter, BadNumber,
    UnknownDevice, FileNotFound, CannotOpen, AliasInUse, UnsupportedDevice, OutOfRange, NoService,
};
// clang-format on

// The message of an error code (Shift_JIS), without the "MCIエラー:" prefix.
std::string MciErrorText(TMciError e);

// A command string cut into words: spaces separate, double quotes group (and are
// dropped). Keywords are compared without regard to ASCII case.
bool SplitMciWords(const std::string& command, std::vector<std::string>& words);

class TMciInterpreter {
public:
    // resolve: script file name -> native path of an existing file (false: none).
    // wait: lets a moment pass while "play ... wait" plays; false ends the wait.
    using Resolver = std::function<bool(const std::string& name, std::string& native)>;
    using Waiter = std::function<bool()>;

    TMciInterpreter(IMediaService* service, Resolver resolve, Waiter wait);

    // Runs one command string and gives its answer.
    std::string Send(const std::string& command);
    // True while a device plays.
    bool AnyPlaying() const;
    // Called whenever a device may have started or stopped playing.
    std::function<void()> OnActivity;

private:
    struct TDevice {
        std::unique_ptr<IMediaPlayer> Player;
        bool Repeat = false;
    };
    TMciError Open(const std::vector<std::string>& w);
    TMciError Run(const std::vector<std::string>& w, std::string& answer);
    TMciError Play(TDevice& d, const std::string& name, const std::vector<std::string>& rest);
    TDevice* Find(const std::string& name);
    void Ended(const std::string& key);

    IMediaService* service_;
    Resolver resolve_;
    Waiter wait_;
    std::map<std::string, TDevice> devices_;   // by lower-cased alias
};
