#include "media/mci.h"

#include <cstdint>

#include "core/text.h"
#include "media/media_files.h"

namespace {

bool ReadNumber(const std::string& text, int64_t& out)
{
    if (text.empty() || text.size() > 15)
        return false;
    out = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        out = out * 10 + (c - '0');
    }
    return true;
}

const char* ModeWord(TMediaMode m)
{
    switch (m) {
    case TMediaMode::Open:
    case TMediaMode::Stopped:
        return "stopped";
    case TMediaMode::Playing:
        return "playing";
    case TMediaMode::Paused:
        return "paused";
    case TMediaMode::Seeking:
        return "seeking";
    case TMediaMode::Recording:
        return "recording";
    default:
        return "not ready";
    }
}

bool IsDeviceType(const std::string& word)
{
    static const char* const kTypes[] = {"sequencer", "waveaudio",    "mpegvideo", "avivideo", "cdaudio", "videodisc",
                                         "vcr",       "digitalvideo", "overlay",   "scanner",  "other"};
    for (const char* t : kTypes)
        if (word == t)
            return true;
    return false;
}

// status mode|position|length
TMciError StatusAnswer(IMediaPlayer& p, const std::vector<std::string>& rest, std::string& answer)
{
    if (rest.empty())
        return TMciError::MissingParameter;
    if (rest.size() > 1)
        return TMciError::BadParameter;
    if (rest[0] == "mode")
        answer = ModeWord(p.Mode());
    else if (rest[0] == "position")
        answer = std::to_string(p.PositionMs());
    else if (rest[0] == "length")
        answer = std::to_string(p.LengthMs());
    else
        return TMciError::BadParameter;
    return TMciError::None;
}

// seek to start|end|N: stops, then moves there.
TMciError SeekTo(IMediaPlayer& p, const std::vector<std::string>& rest)
{
    if (!rest.empty() && rest[0] != "to")
        return TMciError::BadParameter;
    if (rest.size() < 2)
        return TMciError::MissingParameter;
    if (rest.size() > 2)
        return TMciError::BadParameter;
    int64_t to = 0;
    if (rest[1] == "start")
        to = 0;
    else if (rest[1] == "end")
        to = p.LengthMs();
    else if (!ReadNumber(rest[1], to))
        return TMciError::BadNumber;
    else if (p.LengthMs() > 0 && to > p.LengthMs())
        return TMciError::OutOfRange;
    p.Stop();
    p.Seek(to);
    return TMciError::None;
}

// set time format milliseconds (or ms), the only time format there is.
TMciError CheckTimeFormat(const std::vector<std::string>& rest)
{
    if (rest.size() < 3)
        return TMciError::MissingParameter;
    if (rest.size() > 3 || rest[0] != "time" || rest[1] != "format" || (rest[2] != "milliseconds" && rest[2] != "ms"))
        return TMciError::BadParameter;
    return TMciError::None;
}

}   // namespace

std::string MciErrorText(TMciError e)
{
    switch (e) {
    case TMciError::None:
        return std::string();
    case TMciError::NoCommand:
        return "コマンドが指定されていません。";
    case TMciError::UnknownCommand:
        return "認識できないコマンドです。";
    case TMciError::OpenQuote:
        return "引用符が閉じていません。";
    case TMciError::MissingParameter:
        return "パラメータが足りません。";
    case TMciError::BadParameter:
        return "このコマンドでは使えないパラメータです。";
    case TMciError::BadNumber:
        return "数値の指定が正しくありません。";
    case TMciError::UnknownDevice:
        return "指定されたデバイスは開かれていません。";
    case TMciError::FileNotFound:
        return "指定されたファイルが見つかりません。";
    case TMciError::CannotOpen:
        return "ファイルを開けません。対応していない形式か、壊れています。";
    case TMciError::AliasInUse:
        return "その別名は、既に使われています。";
    case TMciError::UnsupportedDevice:
        return "この実行環境では使えないデバイスです。";
    case TMciError::OutOfRange:
        return "指定された位置が範囲外です。";
    case TMciError::NoService:
        return "この実行環境では、音を鳴らせません。";
    }
    return std::string();
}

bool SplitMciWords(const std::string& command, std::vector<std::string>& words)
{
    words.clear();
    size_t i = 0;
    const size_t n = command.size();
    while (i < n) {
        const char c = command[i];
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            ++i;
            continue;
        }
        std::string word;
        while (i < n && command[i] != ' ' && command[i] != '\t' && command[i] != '\r' && command[i] != '\n') {
            if (command[i] == '"') {
                const size_t close = command.find('"', i + 1);
                if (close == std::string::npos)
                    return false;
                word.append(command, i + 1, close - i - 1);
                i = close + 1;
            } else {
                word += command[i++];
            }
        }
        words.push_back(std::move(word));
    }
    return true;
}

TMciInterpreter::TMciInterpreter(IMediaService* service, Resolver resolve, Waiter wait)
    : service_(service), resolve_(std::move(resolve)), wait_(std::move(wait))
{
}

std::string TMciInterpreter::Send(const std::string& command)
{
    std::vector<std::string> words;
    std::string answer;
    TMciError e = TMciError::None;
    if (!SplitMciWords(command, words))
        e = TMciError::OpenQuote;
    else if (words.empty())
        e = TMciError::NoCommand;
    else if (!service_)
        e = TMciError::NoService;
    else
        e = Run(words, answer);
    if (OnActivity)
        OnActivity();
    return e == TMciError::None ? answer : "MCIエラー:" + MciErrorText(e);
}

bool TMciInterpreter::AnyPlaying() const
{
    for (const auto& [key, d] : devices_)
        if (d.Player->Mode() == TMediaMode::Playing)
            return true;
    return false;
}

TMciInterpreter::TDevice* TMciInterpreter::Find(const std::string& name)
{
    auto it = devices_.find(LowerAscii(name));
    return it == devices_.end() ? nullptr : &it->second;
}

void TMciInterpreter::Ended(const std::string& key)
{
    auto it = devices_.find(key);
    if (it == devices_.end())
        return;
    if (it->second.Repeat) {
        it->second.Player->Seek(0);
        it->second.Player->Play();
    }
    if (OnActivity)
        OnActivity();
}

// open ELEMENT [type T] [alias A] [shareable] [wait] [notify]; ELEMENT may be T!FILE.
TMciError TMciInterpreter::Open(const std::vector<std::string>& w)
{
    if (w.size() < 2)
        return TMciError::MissingParameter;
    std::string file = w[1], type, alias;
    if (const size_t bang = file.find('!'); bang != std::string::npos) {
        type = LowerAscii(file.substr(0, bang));
        file = file.substr(bang + 1);
    }
    for (size_t i = 2; i < w.size(); ++i) {
        const std::string k = LowerAscii(w[i]);
        if (k == "type" || k == "alias") {
            if (i + 1 >= w.size())
                return TMciError::MissingParameter;
            ++i;
            if (k == "type")
                type = LowerAscii(w[i]);
            else
                alias = w[i];
        } else if (k != "shareable" && k != "wait" && k != "notify")
            return TMciError::BadParameter;
    }
    if (file.empty() || LowerAscii(file) == "new" || (type.empty() && IsDeviceType(LowerAscii(file))))
        return TMciError::UnsupportedDevice;   // a device without a file (a CD, a new recording)
    if (!type.empty() && type != "sequencer" && type != "waveaudio" && type != "mpegvideo" && type != "avivideo")
        return TMciError::UnsupportedDevice;
    const std::string key = LowerAscii(alias.empty() ? file : alias);
    if (devices_.count(key))
        return TMciError::AliasInUse;
    std::string native;
    if (!resolve_ || !resolve_(file, native))
        return TMciError::FileNotFound;
    const TPlayerKind kind = type == "sequencer" ? TPlayerKind::Midi
                             : type.empty()      ? PlayerKindOf(native)
                                                 : TPlayerKind::Media;
    std::unique_ptr<IMediaPlayer> player = service_->NewPlayer(kind);
    std::string error;
    if (!player || !player->Open(native, error))
        return TMciError::CannotOpen;
    player->SetNotifications([this, key] { Ended(key); },
                             [this] {
                                 if (OnActivity)
                                     OnActivity();
                             });
    devices_[key].Player = std::move(player);
    return TMciError::None;
}

// play [from N] [repeat] [wait] [notify]
TMciError TMciInterpreter::Play(TDevice& d, const std::string& name, const std::vector<std::string>& rest)
{
    IMediaPlayer& p = *d.Player;
    bool repeat = false, wait = false;
    int64_t from = -1;
    for (size_t i = 0; i < rest.size(); ++i) {
        if (rest[i] == "from") {
            if (i + 1 >= rest.size())
                return TMciError::MissingParameter;
            if (!ReadNumber(rest[++i], from))
                return TMciError::BadNumber;
        } else if (rest[i] == "repeat") {
            repeat = true;
        } else if (rest[i] == "wait") {
            wait = true;
        } else if (rest[i] != "notify") {
            return TMciError::BadParameter;
        }
    }
    if (from >= 0) {
        if (p.LengthMs() > 0 && from > p.LengthMs())
            return TMciError::OutOfRange;
        p.Seek(from);
    }
    d.Repeat = repeat;
    p.Play();
    if (wait) {
        const std::string key = LowerAscii(name);
        // A handler that runs meanwhile may close the device: look it up again.
        for (TDevice* cur = &d; cur && cur->Player->Mode() == TMediaMode::Playing && wait_ && wait_();)
            cur = Find(key);
    }
    return TMciError::None;
}

TMciError TMciInterpreter::Run(const std::vector<std::string>& w, std::string& answer)
{
    const std::string verb = LowerAscii(w[0]);
    if (verb == "open")
        return Open(w);
    static const char* const kVerbs[] = {"play", "pause", "resume", "stop", "seek", "close", "status", "set"};
    bool known = false;
    for (const char* v : kVerbs)
        known = known || verb == v;
    if (!known)
        return TMciError::UnknownCommand;
    if (w.size() < 2)
        return TMciError::MissingParameter;
    if (verb == "close" && LowerAscii(w[1]) == "all") {
        for (auto& [key, d] : devices_)
            d.Player->Close();
        devices_.clear();
        return TMciError::None;
    }
    TDevice* d = Find(w[1]);
    if (!d)
        return TMciError::UnknownDevice;
    IMediaPlayer& p = *d->Player;
    std::vector<std::string> rest;
    for (size_t i = 2; i < w.size(); ++i)
        rest.push_back(LowerAscii(w[i]));

    if (verb == "play")
        return Play(*d, w[1], rest);
    if (verb == "status")
        return StatusAnswer(p, rest, answer);
    if (verb == "seek")
        return SeekTo(p, rest);
    if (verb == "set")
        return CheckTimeFormat(rest);
    for (const std::string& r : rest)
        if (r != "wait" && r != "notify")
            return TMciError::BadParameter;
    if (verb == "pause")
        p.Pause();
    else if (verb == "resume") {
        if (p.Mode() == TMediaMode::Paused)
            p.Play();
    } else if (verb == "stop") {
        d->Repeat = false;
        p.Stop();
    } else {   // close
        p.Close();
        devices_.erase(LowerAscii(w[1]));
    }
    return TMciError::None;
}
