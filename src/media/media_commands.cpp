// Sound and media playback: 演奏, 繰り返し演奏, 演奏停止, 演奏状態 and MCI送信.
//
// Wave files (.wav) go to the wave channel of the media service, which plays one
// sound at a time; every other file is played by the main player, one device at a
// time, reopened by every 演奏. When the main player reaches the end it plays again
// from the start if the repeat flag was set by that 演奏, and closes otherwise. While
// anything plays, the state counts as one event source of the host, so that the
// console keeps running until the music is over.
#include <sys/stat.h>

#include <memory>

#include "commands/files/files.h"
#include "core/codec.h"
#include "core/text.h"
#include "interp/builtins.h"
#include "interp/host.h"
#include "interp/interp.h"
#include "interp/services.h"
#include "media/mci.h"
#include "media/media_files.h"
#include "media/player.h"

namespace {

struct TMediaState {
    bool ServiceLooked = false;
    IMediaService* Service = nullptr;
    std::unique_ptr<IMediaPlayer> Player;   // the main player
    std::string FileName;                   // being played; empty: the end handler does nothing
    bool Repeat = false;
    bool EndAttached = false;
    std::unique_ptr<TMciInterpreter> Mci;
    bool SourceRegistered = false;
};

TMediaState& State(TPoruBase& st)
{
    return st.Ext<TMediaState>();
}

void UpdateActivity(TPoruBase& st);

IMediaService* ServiceOf(TPoruBase& st)
{
    TMediaState& m = State(st);
    if (!m.ServiceLooked) {
        m.ServiceLooked = true;
        m.Service = FindService<IMediaService>(st);
        if (m.Service) {
            TPoruBase* sp = &st;
            m.Service->SetWaveChanged([sp] { UpdateActivity(*sp); });
        }
    }
    return m.Service;
}

// Registers one event source while anything plays and removes it when all is quiet.
void UpdateActivity(TPoruBase& st)
{
    TMediaState& m = State(st);
    const bool active = (m.Player && m.Player->Mode() == TMediaMode::Playing) ||
                        (m.Service && m.Service->WavePlaying()) || (m.Mci && m.Mci->AnyPlaying());
    if (active == m.SourceRegistered || !st.Host)
        return;
    m.SourceRegistered = active;
    if (active)
        st.Host->AddEventSource();
    else
        st.Host->RemoveEventSource();
}

// The end of playback of the main player.
void MainPlayerEnded(TPoruBase& st)
{
    TMediaState& m = State(st);
    if (!m.EndAttached || m.FileName.empty() || !m.Player)
        return;
    if (m.Repeat) {
        m.Player->Seek(0);
        m.Player->Play();
    } else {
        m.Player->Close();
    }
    UpdateActivity(st);
}

std::string LowerExt(const std::string& native)
{
    const size_t dot = native.rfind('.');
    if (dot == std::string::npos || native.find('/', dot) != std::string::npos)
        return std::string();
    return LowerAscii(native.substr(dot));
}

bool IsFile(const std::string& native)
{
    struct stat sb {};
    return !native.empty() && stat(native.c_str(), &sb) == 0 && !S_ISDIR(sb.st_mode);
}

std::string RepeatText(TPoruBase& st)
{
    THashNode* n = st.Words.FindExact("演奏繰り返し");
    return n ? n->Value : std::string("0");
}

// 演奏: play a sound or media file.
void PlayFile(TPoruBase& st, const char* command)
{
    const std::string name = st.PopText();
    const std::string path = ResolveReadPath(st, name);
    const std::string native = ToNativePath(path);
    if (!IsFile(native))
        st.Error("ファイル\"" + name + "\"が、ありません。");
    IMediaService* service = ServiceOf(st);
    if (!service)
        st.Error("\"" + std::string(command) + "\"命令は、この実行環境では使えません。");
    const std::string repeat = RepeatText(st);
    if (LowerExt(native) == ".wav") {
        // Wave sounds play beside the media player and leave it as it is.
        service->PlayWave(native, repeat != "0");
        UpdateActivity(st);
        return;
    }
    TMediaState& m = State(st);
    m.EndAttached = false;
    m.Player.reset();   // closes the device of the previous file
    m.Repeat = repeat == "1";
    m.FileName = path;
    m.Player = service->NewPlayer(PlayerKindOf(native));
    TPoruBase* sp = &st;
    m.Player->SetNotifications([sp] { MainPlayerEnded(*sp); }, [sp] { UpdateActivity(*sp); });
    std::string error;
    if (!m.Player->Open(native, error)) {
        m.Player.reset();
        m.FileName.clear();
        UpdateActivity(st);
        st.Error(Utf8ToSjis(error));
    }
    m.Player->Play();
    m.EndAttached = true;
    UpdateActivity(st);
}

void cmdPlay(TPoruBase& st)
{
    PlayFile(st, "演奏");
}

// 繰り返し演奏: 演奏 with 演奏繰り返し on for this playback; the variable keeps its text.
void cmdPlayRepeated(TPoruBase& st)
{
    THashNode* var = st.Words.FindExact("演奏繰り返し");
    if (!var) {
        PlayFile(st, "繰り返し演奏");
        return;
    }
    struct TRestore {
        THashNode* Var;
        std::string Saved;
        ~TRestore() { Var->Value = Saved; }
    } restore{var, var->Value};
    var->Value = "1";
    PlayFile(st, "繰り返し演奏");
}

// 演奏停止: stop the media file (emptying its name first, so that the end handler
// does not play it again) or, when none plays, the wave sound; close the device.
void cmdStop(TPoruBase& st)
{
    TMediaState& m = State(st);
    IMediaService* service = ServiceOf(st);
    if (m.Player && m.Player->Mode() == TMediaMode::Playing) {
        m.Player->Seek(0);
        m.FileName.clear();
        m.Player->Stop();
    } else if (service) {
        service->StopWave();
    }
    if (m.Player)
        m.Player->Close();
    UpdateActivity(st);
}

// 演奏状態: the mode of the main player's device.
void cmdState(TPoruBase& st)
{
    TMediaState& m = State(st);
    const TMediaMode mode = m.Player ? m.Player->Mode() : TMediaMode::NotReady;
    const char* text = "未設定";
    switch (mode) {
    case TMediaMode::Stopped:
        text = "停止中";
        break;
    case TMediaMode::Playing:
        text = "演奏中";
        break;
    case TMediaMode::Recording:
        text = "録音中";
        break;
    case TMediaMode::Seeking:
        text = "準備中";
        break;
    case TMediaMode::Paused:
        text = "一時停止";
        break;
    case TMediaMode::Open:
        text = "再生待ち";
        break;
    default:
        break;
    }
    st.SetSore(text, "s");
}

// The native path of an existing file named in an MCI command, without raising.
bool ResolveForMci(TPoruBase& st, const std::string& name, std::string& native)
{
    const size_t mark = st.ErrorText.size();
    try {
        native = ToNativePath(ResolveReadPath(st, name));
    } catch (const EPoru&) {
        st.ErrorText.resize(mark);   // MCI送信 reports in それ only
        return false;
    }
    return IsFile(native);
}

// MCI送信: それ = the answer of the command string, or "MCIエラー:" and a message.
void cmdMci(TPoruBase& st)
{
    const std::string command = st.PopText();
    st.SetSore(std::string(), "s");
    TMediaState& m = State(st);
    if (!m.Mci) {
        TPoruBase* sp = &st;
        m.Mci = std::make_unique<TMciInterpreter>(
            ServiceOf(st),
            [sp](const std::string& name, std::string& native) { return ResolveForMci(*sp, name, native); },
            [sp] {
                if (!sp->Host || sp->Stopping)
                    return false;
                sp->Host->WaitMs(*sp, 20);
                return !sp->Stopping;
            });
        m.Mci->OnActivity = [sp] { UpdateActivity(*sp); };
    }
    st.SetSore(m.Mci->Send(command), "s");
}

HandlerRegistrar reg({{Cmd::Play, cmdPlay},
                      {Cmd::StopPlaying, cmdStop},
                      {Cmd::PlayingState, cmdState},
                      {Cmd::PlayRepeated, cmdPlayRepeated},
                      {Cmd::MciSend, cmdMci}});

}   // namespace
