// The debugging commands and the scripts' conversations: DEBUG shows the debug
// dialog, 改行で実行を止める turns single-step mode on, DDE送信 sends a command text
// to another program's server and DDEサーバー作成 opens a server of the script's own
// whose commands run a label as an event (with the text in DDE文字列). The servers
// and the sending go over the local request channels (interp/channel_service.h).
#include <array>
#include <memory>
#include <vector>

#include "commands/system/system.h"
#include "core/text.h"
#include "interp/builtins.h"
#include "interp/channel_service.h"
#include "interp/debug_link.h"
#include "interp/event_run.h"
#include "interp/host.h"
#include "interp/interp.h"
#include "interp/services.h"

namespace {

constexpr int kMaxServers = 10;
// How long DDE送信 waits for an acknowledgement, and how long it keeps trying to
// link after it started DDEファイル名 (one attempt every kRetryMs).
constexpr int kSendTimeoutMs = 5000;
constexpr int64_t kStartWaitMs = 5000;
constexpr int64_t kRetryMs = 100;

struct TDdeState {
    std::array<const char*, kMaxServers> Labels{};   // body positions, by server index
    int Count = 0;
    std::vector<std::unique_ptr<IChannelServer>> Servers;
    // The label of the last command while it waits for the running statement to
    // return before it starts (the event interruption); nil once it has started.
    const char* Waiting = nullptr;
};

std::string ErrorPrefix(const std::string& server, const std::string& topic)
{
    std::string out = "サーバー\"";
    out.append(server).append("\"トピック\"").append(topic).append("\"でエラー。");
    return out;
}

std::string VariableText(TPoruBase& st, const char* name)
{
    THashNode* n = st.Words.FindExact(name);
    return n ? n->Value : std::string();
}

// DEBUG: the debug dialog; 実行中断 there closes the main window.
void cmdDebug(TPoruBase& st)
{
    ShowDebugger(st);
}

// 改行で実行を止める: the debug dialog after every line from now on.
void cmdLineStop(TPoruBase& st)
{
    st.LineStop = true;
}

// Tries to link for a few seconds after starting DDEファイル名; events run between
// the attempts.
TChannelSend SendAfterStart(TPoruBase& st, IChannelService& svc, const std::string& program, const std::string& server,
                            const std::string& topic, const std::string& text)
{
    StartCommandLine(st, program);
    TChannelSend r = TChannelSend::NoServer;
    const int64_t end = st.Host ? st.Host->TickMs() + kStartWaitMs : 0;
    while (r == TChannelSend::NoServer && st.Host && !st.Stopping && st.Host->TickMs() < end) {
        st.Host->WaitMs(st, kRetryMs);
        r = svc.Send(server, topic, text, kSendTimeoutMs);
    }
    return r;
}

// DDE送信 (server, topic, text): sends the text as one command; when no server
// answers and DDEファイル名 names a program, that program is started first.
void cmdDdeSend(TPoruBase& st)
{
    const std::string text = st.PopText();
    const std::string topic = Trim(st.PopText());
    const std::string server = Trim(st.PopText());
    const std::string prefix = ErrorPrefix(server, topic);
    IChannelService* svc = FindService<IChannelService>(st);
    if (!svc)
        st.Error(prefix + "リンク出来ませんでした。");
    TChannelSend r = svc->Send(server, topic, text, kSendTimeoutMs);
    if (r == TChannelSend::NoServer) {
        const std::string program = Trim(VariableText(st, "DDEファイル名"));
        if (!program.empty())
            r = SendAfterStart(st, *svc, program, server, topic, text);
    }
    if (r == TChannelSend::NoServer)
        st.Error(prefix + "リンク出来ませんでした。");
    if (r == TChannelSend::Failed)
        st.Error(prefix + "コマンドの送信に失敗");
}

// A command arrived at script server `index`: its label runs as an event. While the
// label of the previous command has not started yet (a statement that processes
// events is still running), the command waits, so that DDE文字列 of the previous
// one is not overwritten before its label has read it.
bool ServerReceived(TPoruBase& st, int index, const std::string& text)
{
    TDdeState& d = st.Ext<TDdeState>();
    if (st.Stopping)
        return true;
    if (d.Waiting && st.Cursor == d.Waiting)
        return false;
    d.Waiting = nullptr;
    if (THashNode* n = st.Words.FindExact("DDE文字列")) {
        n->Value = text;
        n->TypeText.assign(1, 's');
    }
    const char* label = d.Labels[static_cast<size_t>(index)];
    RunHandlerAsEvent(st, label);
    if (label && st.Cursor == label)
        d.Waiting = label;   // it runs when the statement in progress returns
    return true;
}

// DDEサーバー作成 (label, topic): a server of this run-time named by the topic; at
// most ten per run, open until the run-time ends.
void cmdDdeServer(TPoruBase& st)
{
    const std::string topic = Trim(st.PopText());
    std::string label = Trim(st.PopRaw());
    if (!label.empty() && (label.front() == '"' || label.front() == '`'))
        label = Trim(st.ExpandLiteral(label));
    const std::string prefix = ErrorPrefix("自身", topic);
    const THashNode* w = st.Words.FindExact(label);
    if (!w || w->Kind != wkLabel)
        st.Error(prefix + "ジャンプ先ラベルが見つかりません。");
    TDdeState& d = st.Ext<TDdeState>();
    if (d.Count >= kMaxServers)
        st.Error(prefix + "これ以上サーバーを立ち上げられません。");
    IChannelService* svc = FindService<IChannelService>(st);
    if (!svc)
        st.Error(prefix + "サーバー作成に失敗");
    const int index = d.Count;
    TPoruBase* sp = &st;
    std::string reason;
    std::unique_ptr<IChannelServer> server = svc->Listen(
        OwnServiceName(st), topic, false,
        [sp, index](const std::string& text) { return ServerReceived(*sp, index, text); }, reason);
    if (!server)
        st.Error(prefix + "サーバー作成に失敗");
    d.Labels[static_cast<size_t>(index)] = w->Position();
    d.Servers.push_back(std::move(server));
    ++d.Count;
    if (st.Host)
        st.Host->AddEventSource();
}

HandlerRegistrar reg(
    {{Cmd::Debug, cmdDebug}, {Cmd::LineStop, cmdLineStop}, {Cmd::DdeSend, cmdDdeSend}, {Cmd::DdeServer, cmdDdeServer}});

}   // namespace
