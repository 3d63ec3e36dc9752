// The TCP commands: one client connection and one server with any number of
// clients. Sending is a command; receiving is an event: the bytes that arrived go
// into TCP文字列 as they are, who sent them into TCP送信元, and the label the script
// named runs as an event handler. Client and server share one connection-state
// text. The sockets themselves live on the host's event loop (net/tcp_service.h).
#include <netdb.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "commands/strings/kana.h"
#include "commands/tables/csv_table.h"
#include "core/codec.h"
#include "core/text.h"
#include "interp/builtins.h"
#include "interp/event_run.h"
#include "interp/host.h"
#include "interp/interp.h"
#include "interp/services.h"
#include "interp/timer_service.h"
#include "net/tcp_service.h"

namespace {

// The connection states, as TCP接続状態 gives them.
const char* const kConnecting = "接続準備中";
const char* const kConnected = "接続中";
const char* const kLost = "未接続";   // the server ended the connection (or it was never made)
const char* const kClosed = "切断";   // ended by TCP切断
const char* const kStarting = "起動準備中";
const char* const kStarted = "起動中";
const char* const kStopped = "停止中";

// How long TCP接続 waits for the connection; PORUKANA_TCP_CONNECT_LIMIT_MS replaces it
// (tests that must not wait 20 seconds).
constexpr int64_t kConnectLimitMs = 20000;
// TCP切断 and TCPサーバー終了 wait for the sockets to report themselves closed, but
// give up once no queued output has been written for this long.
constexpr int64_t kCloseStallMs = 3000;
constexpr int kWaitSliceMs = 20;   // how soon a wait notices that the run is stopping
constexpr int64_t kSettleMs = 5;   // the pause after a connection was made

struct TTcpState {
    std::string ConnState;
    // Handler label bodies; nil when not set.
    const char* ClientHandler = nullptr;
    const char* ServerReceiveHandler = nullptr;
    const char* ServerConnectHandler = nullptr;

    std::unique_ptr<ITcpClient> Client;
    std::string ClientFrom;       // TCP送信元 of what the client receives
    std::string ClientFromPort;   // and TCP送信元ポート
    std::string ClientFailure;    // why the attempt of TCP接続 failed, "" while none
    bool ClientReached = false;   // the attempt of TCP接続 made its connection

    std::unique_ptr<ITcpServer> Server;
    // The server's connections and, at the same indexes, their descriptions
    // ("address,host name").
    std::vector<int> Connections;
    std::vector<std::string> Descriptions;
    // Their "address:port", which tells apart clients from one address.
    std::vector<std::string> Endpoints;

    // Registered with the host as event sources (what keeps a console run alive).
    bool ClientCounted = false;
    bool ServerCounted = false;

    // Arrivals not yet handed to their handler. A handler that interrupts a running
    // command (待つ, a dialog) only starts when that command returns, and TCP文字列
    // must keep its bytes until then: later arrivals from the same sender are joined
    // to it (TCP has no framing), others wait here.
    struct TArrival {
        const char* Handler;
        int Source;   // the server's connection, or kFromClient
        std::string Bytes, From, FromPort;
        bool Data;   // received bytes (else a connection: TCP文字列 stays)
    };
    std::deque<TArrival> Arrivals;
    const char* Pending = nullptr;   // the handler handed over last
    int PendingSource = 0;
    int RetryTimer = 0;
    // Received bytes held for handlers that have not started yet; beyond
    // kHeldLimit the sockets stop reading (the peers are slowed by TCP itself)
    // until the handlers have taken them.
    bool Throttled = false;
    int ResumeTimer = 0;
};

constexpr size_t kHeldLimit = size_t(16) << 20;
constexpr int64_t kResumeCheckMs = 20;

constexpr int kFromClient = -1;
constexpr int64_t kRetryMs = 5;   // how soon queued arrivals are offered again

TTcpState& Tcp(TPoruBase& st)
{
    return st.Ext<TTcpState>();
}

int64_t NowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

int64_t ConnectLimitMs()
{
    if (const char* v = std::getenv("PORUKANA_TCP_CONNECT_LIMIT_MS")) {
        char* end = nullptr;
        const long long ms = std::strtoll(v, &end, 10);
        if (end != v && *end == '\0' && ms >= 0)
            return ms;
    }
    return kConnectLimitMs;
}

ITcpService& Service(TPoruBase& st, const char* command)
{
    ITcpService* s = FindService<ITcpService>(st);
    if (!s)
        st.Error(std::string("\"") + command + "\"は、この実行環境では使えません。");
    return *s;
}

void SetText(TPoruBase& st, const char* name, std::string value)
{
    if (THashNode* n = st.Words.FindExact(name)) {
        n->Value = std::move(value);
        n->TypeText = "s";
    }
}

std::string VariableText(TPoruBase& st, const char* name)
{
    THashNode* n = st.Words.FindExact(name);
    return n ? n->Value : std::string();
}

size_t VariableTextSize(TPoruBase& st, const char* name)
{
    THashNode* n = st.Words.FindExact(name);
    return n ? n->Value.size() : 0;
}

void CountSource(TPoruBase& st, bool& counted, bool on)
{
    if (counted == on)
        return;
    counted = on;
    if (!st.Host)
        return;
    if (on)
        st.Host->AddEventSource();
    else
        st.Host->RemoveEventSource();
}

// The port of TCPサービス名 (a name from the services file, or a number) when it is
// set, else TCPポート read as a number and truncated. False with the reason when
// neither gives a port.
bool PortOf(TPoruBase& st, uint16_t& port, std::string& reason)
{
    const std::string service = Trim(VariableText(st, "TCPサービス名"));
    if (!service.empty()) {
        if (std::all_of(service.begin(), service.end(), [](char c) { return c >= '0' && c <= '9'; })) {
            const long v = service.size() <= 5 ? std::strtol(service.c_str(), nullptr, 10) : 65536;
            if (v > 65535) {
                reason = "ポート番号\"" + service + "\"は範囲外です";
                return false;
            }
            port = static_cast<uint16_t>(v);
            return true;
        }
        const servent* se = getservbyname(SjisToUtf8(service).c_str(), "tcp");
        if (!se) {
            reason = "サービス名\"" + service + "\"が見つかりません";
            return false;
        }
        port = ntohs(static_cast<uint16_t>(se->s_port));
        return true;
    }
    const std::string text = VariableText(st, "TCPポート");
    const long double v = std::trunc(ToNumber(text));
    if (!(v >= 0 && v <= 65535)) {
        reason = "ポート番号\"" + text + "\"は範囲外です";
        return false;
    }
    port = static_cast<uint16_t>(v);
    return true;
}

// Waits, dispatching events, until done() holds, the run is stopping, or no queued
// output (pending()) has been written for kCloseStallMs.
template <class Done, class Pending> void WaitClosed(TPoruBase& st, ITcpService& svc, Done done, Pending pending)
{
    int64_t lastPending = pending();
    int64_t progressAt = NowMs();
    while (!done() && !st.Stopping) {
        const int64_t now = NowMs();
        const int64_t p = pending();
        if (p < lastPending) {
            lastPending = p;
            progressAt = now;
        } else if (now - progressAt > kCloseStallMs) {
            return;
        }
        svc.WaitForEvents(kWaitSliceMs);
    }
}

// Ends the client connection (its queued output written first) and frees the socket.
// A handler that runs meanwhile may free or replace it itself.
void CloseClient(TPoruBase& st, ITcpService& svc)
{
    TTcpState& t = Tcp(st);
    ITcpClient* c = t.Client.get();
    c->Close();
    WaitClosed(
        st, svc, [&] { return t.Client.get() != c || !c->IsOpen(); },
        [&] { return t.Client.get() == c ? c->PendingOutput() : 0; });
    if (t.Client.get() == c)
        t.Client.reset();
    CountSource(st, t.ClientCounted, false);
}

// Stops the server (connections end after their queued output) and frees it.
void CloseServer(TPoruBase& st, ITcpService& svc)
{
    TTcpState& t = Tcp(st);
    ITcpServer* s = t.Server.get();
    s->Close();
    WaitClosed(
        st, svc, [&] { return t.Server.get() != s || s->IsClosed(); },
        [&] { return t.Server.get() == s ? s->PendingOutput() : 0; });
    if (t.Server.get() == s)
        t.Server.reset();
    t.Connections.clear();
    t.Descriptions.clear();
    t.Endpoints.clear();
    CountSource(st, t.ServerCounted, false);
}

// The handler handed over last has been redirected to but not started yet.
bool HandlerWaiting(TPoruBase& st, const TTcpState& t)
{
    return t.Pending && st.Cursor == t.Pending;
}

// Hands queued arrivals to their handlers, one at a time: while the last one handed
// over has not started, tries again a moment later.
void DeliverArrivals(TPoruBase& st)
{
    TTcpState& t = Tcp(st);
    while (!t.Arrivals.empty() && !st.Stopping) {
        if (HandlerWaiting(st, t)) {
            ITimerService* timers = FindService<ITimerService>(st);
            if (timers && !t.RetryTimer) {
                TPoruBase* sp = &st;
                t.RetryTimer = timers->Start(kRetryMs, [sp] {
                    Tcp(*sp).RetryTimer = 0;
                    DeliverArrivals(*sp);
                });
            }
            if (timers)
                return;
        }
        TTcpState::TArrival a = std::move(t.Arrivals.front());
        t.Arrivals.pop_front();
        if (a.Data)
            SetText(st, "TCP文字列", std::move(a.Bytes));
        SetText(st, "TCP送信元", a.From);
        SetText(st, "TCP送信元ポート", a.FromPort);
        t.Pending = a.Handler;
        t.PendingSource = a.Source;
        RunHandlerAsEvent(st, a.Handler);
    }
}

// Bytes that arrived from a sender (or, without data, a client that connected): into
// TCP文字列 now, or joined to the arrival of the same sender that is still waiting
// for its handler, or queued.
void Arrived(TPoruBase& st, const char* handler, int source, std::string bytes, const std::string& from,
             const std::string& fromPort, bool data = true)
{
    TTcpState& t = Tcp(st);
    if (!handler) {
        if (data)
            SetText(st, "TCP文字列", std::move(bytes));
        SetText(st, "TCP送信元", from);
        SetText(st, "TCP送信元ポート", fromPort);
        return;
    }
    if (data && t.Arrivals.empty() && HandlerWaiting(st, t) && t.PendingSource == source && t.Pending == handler) {
        // appended in place: joining by copying would cost the square of the size
        if (THashNode* n = st.Words.FindExact("TCP文字列")) {
            n->Value.append(bytes);
            n->TypeText = "s";
        }
        return;
    }
    if (data && !t.Arrivals.empty() && t.Arrivals.back().Data && t.Arrivals.back().Source == source &&
        t.Arrivals.back().Handler == handler) {
        t.Arrivals.back().Bytes += bytes;
        return;
    }
    t.Arrivals.push_back({handler, source, std::move(bytes), from, fromPort, data});
    DeliverArrivals(st);
}

// The received bytes held for handlers that have not started.
size_t HeldBytes(TPoruBase& st)
{
    TTcpState& t = Tcp(st);
    size_t held = 0;
    if (HandlerWaiting(st, t))
        held += VariableTextSize(st, "TCP文字列");
    for (const TTcpState::TArrival& a : t.Arrivals)
        held += a.Bytes.size();
    return held;
}

// Asked by the sockets before they read: true stops them until ResumeReading. A
// timer then looks whether the handlers have taken the bytes.
bool HoldingTooMuch(TPoruBase& st)
{
    TTcpState& t = Tcp(st);
    if (HeldBytes(st) < kHeldLimit)
        return false;
    t.Throttled = true;
    ITimerService* timers = FindService<ITimerService>(st);
    if (timers && !t.ResumeTimer) {
        TPoruBase* sp = &st;
        t.ResumeTimer = timers->Start(kResumeCheckMs, [sp] {
            TTcpState& tt = Tcp(*sp);
            tt.ResumeTimer = 0;
            if (!tt.Throttled)
                return;
            if (HeldBytes(*sp) >= kHeldLimit) {
                HoldingTooMuch(*sp);   // look again later
                return;
            }
            tt.Throttled = false;
            if (tt.Client)
                tt.Client->ResumeReading();
            if (tt.Server)
                tt.Server->ResumeReading();
        });
    }
    return true;
}

TTcpClientEvents ClientEvents(TPoruBase& st)
{
    TPoruBase* sp = &st;
    TTcpClientEvents ev;
    ev.Connected = [sp] {
        TTcpState& t = Tcp(*sp);
        t.ConnState = kConnected;
        t.ClientReached = true;
        const TTcpPeer peer = t.Client ? t.Client->Peer() : TTcpPeer();
        t.ClientFrom = t.Client ? peer.Description() : std::string();
        t.ClientFromPort = t.Client ? std::to_string(peer.Port) : std::string();
        CountSource(*sp, t.ClientCounted, true);
    };
    ev.Failed = [sp](const std::string& reason) {
        TTcpState& t = Tcp(*sp);
        t.ClientFailure = reason;
        t.ConnState = kLost;
    };
    ev.Disconnected = [sp] {
        TTcpState& t = Tcp(*sp);
        t.ConnState = kLost;
        CountSource(*sp, t.ClientCounted, false);
    };
    ev.Received = [sp](std::string bytes) {
        TTcpState& t = Tcp(*sp);
        Arrived(*sp, t.ClientHandler, kFromClient, std::move(bytes), t.ClientFrom, t.ClientFromPort);
    };
    ev.Full = [sp] { return HoldingTooMuch(*sp); };
    return ev;
}

std::string PortOfEndpoint(const std::string& endpoint)
{
    return endpoint.substr(endpoint.rfind(':') + 1);
}

int IndexOfConnection(const TTcpState& t, int conn)
{
    auto it = std::find(t.Connections.begin(), t.Connections.end(), conn);
    return it == t.Connections.end() ? -1 : static_cast<int>(it - t.Connections.begin());
}

TTcpServerEvents ServerEvents(TPoruBase& st)
{
    TPoruBase* sp = &st;
    TTcpServerEvents ev;
    ev.Accepted = [sp](int conn, const TTcpPeer& peer) {
        TTcpState& t = Tcp(*sp);
        t.Connections.push_back(conn);
        t.Descriptions.push_back(peer.Description());
        t.Endpoints.push_back(peer.Endpoint());
        if (t.ServerConnectHandler)
            Arrived(*sp, t.ServerConnectHandler, conn, std::string(), t.Descriptions.back(), std::to_string(peer.Port),
                    false);
    };
    ev.Closed = [sp](int conn) {
        TTcpState& t = Tcp(*sp);
        const int i = IndexOfConnection(t, conn);
        if (i < 0)
            return;
        t.Connections.erase(t.Connections.begin() + i);
        t.Descriptions.erase(t.Descriptions.begin() + i);
        t.Endpoints.erase(t.Endpoints.begin() + i);
    };
    ev.Received = [sp](int conn, std::string bytes) {
        TTcpState& t = Tcp(*sp);
        const int i = IndexOfConnection(t, conn);
        Arrived(*sp, t.ServerReceiveHandler, conn, std::move(bytes), i < 0 ? std::string() : t.Descriptions[i],
                i < 0 ? std::string() : PortOfEndpoint(t.Endpoints[i]));
    };
    ev.Full = [sp](int) { return HoldingTooMuch(*sp); };
    return ev;
}

// The index of the first connection whose address equals client, or whose host name
// equals it regardless of letter case, or (client "address:port") the connection
// from that address and port; -1 when none does.
int FindClient(const TTcpState& t, const std::string& client)
{
    std::string address;
    uint16_t port = 0;
    if (SplitEndpoint(client, address, port)) {
        const std::string endpoint = TTcpPeer{address, std::string(), port}.Endpoint();
        for (size_t i = 0; i < t.Endpoints.size(); ++i)
            if (t.Endpoints[i] == endpoint)
                return static_cast<int>(i);
    }
    const std::string upper = ToUpperCase(client);
    for (size_t i = 0; i < t.Descriptions.size(); ++i) {
        const std::string& d = t.Descriptions[i];
        const size_t comma = d.find(',');
        if (Trim(std::string_view(d).substr(0, comma)) == client)
            return static_cast<int>(i);
        const std::string host =
            comma == std::string::npos ? std::string() : Trim(std::string_view(d).substr(comma + 1));
        if (ToUpperCase(host) == upper)
            return static_cast<int>(i);
    }
    return -1;
}

// The label named by the argument, taken without evaluation (a quoted name is
// expanded); nil for an empty name.
const char* PopHandlerLabel(TPoruBase& st)
{
    std::string label = Trim(st.PopRaw());
    if (!label.empty() && (label.front() == '"' || label.front() == '`'))
        label = Trim(st.ExpandLiteral(label));
    if (label.empty())
        return nullptr;
    THashNode* w = st.Words.FindExact(label);
    if (!w || w->Kind != wkLabel)
        st.Error("未定義のラベル\"" + label + "\"に、ジャンプしようとしました。");
    return w->Position();
}

void RequireActiveServer(TPoruBase& st, TTcpState& t)
{
    if (!t.Server || !t.Server->IsListening())
        st.Error("TCP/IPのエラー。サーバーがアクティブではありません。");
}

// ---- the client ----------------------------------------------------------------

// TCP接続 (host): connects the client and waits until the connection is made; events
// run meanwhile.
void cmdConnect(TPoruBase& st)
{
    const std::string host = Trim(st.PopText());
    TTcpState& t = Tcp(st);
    ITcpService& svc = Service(st, "TCP接続");
    if (!t.Client)
        t.Client = svc.NewClient(ClientEvents(st));
    else if (t.Client->IsOpen())
        CloseClient(st, svc);
    if (host.empty())
        st.ArgError("TCP接続", "接続先が設定されていません");
    auto fail = [&](const std::string& reason) {
        st.Error("TCP/IPのエラー。サーバー\"" + host + "\"へ接続できませんでした。" + reason);
    };
    // "address:port" names the port itself; otherwise TCPポート / TCPサービス名 do.
    std::string address = host;
    uint16_t port = 0;
    std::string reason;
    if (!SplitEndpoint(host, address, port) && !PortOf(st, port, reason))
        fail(reason);
    if (!t.Client)   // freed by a handler that ran while the old connection closed
        t.Client = svc.NewClient(ClientEvents(st));

    t.ConnState = kConnecting;
    t.ClientFailure.clear();
    t.ClientReached = false;
    ITcpClient* c = t.Client.get();
    c->Connect(address, port);
    const int64_t limit = ConnectLimitMs();
    const int64_t start = NowMs();
    for (;;) {
        if (st.Stopping) {
            if (t.Client.get() == c)
                c->Close();
            return;
        }
        // A connection that was made counts even when it has ended already (a
        // server that sends its answer and closes).
        if (t.ClientReached)
            break;
        if (!t.ClientFailure.empty())
            fail(t.ClientFailure);
        if (t.ConnState != kConnecting || t.Client.get() != c)
            fail(t.ConnState);
        const int64_t left = limit - (NowMs() - start);
        if (left <= 0) {
            c->Close();   // the attempt is given up
            t.ConnState = kLost;
            fail("タイムアップ");
        }
        svc.WaitForEvents(static_cast<int>(std::min<int64_t>(left, kWaitSliceMs)));
    }
    if (st.Host)
        st.Host->WaitMs(st, kSettleMs);
}

// TCP切断: ends the client connection and frees the socket.
void cmdDisconnect(TPoruBase& st)
{
    TTcpState& t = Tcp(st);
    if (t.Client)
        CloseClient(st, Service(st, "TCP切断"));
    t.ConnState = kClosed;
}

void cmdConnState(TPoruBase& st)
{
    st.SetSore(Tcp(st).ConnState, "s");
}

// TCP送信 (text): the bytes of the text, nothing added.
void cmdSend(TPoruBase& st)
{
    const std::string text = st.PopText();
    TTcpState& t = Tcp(st);
    std::string error = "接続されていません";
    if (!t.Client || !t.Client->Send(text, error))
        st.Error("サーバーへの送信に失敗。" + error);
}

void cmdSetClientHandler(TPoruBase& st)
{
    const char* pos = PopHandlerLabel(st);
    Tcp(st).ClientHandler = pos;
}

// ---- the server ----------------------------------------------------------------

// TCPサーバー起動: listens on TCPポート / TCPサービス名. The connection lists start
// empty and the receive handler is cleared (the connect handler is kept).
void cmdServerStart(TPoruBase& st)
{
    TTcpState& t = Tcp(st);
    t.ConnState = kStarting;
    ITcpService& svc = Service(st, "TCPサーバー起動");
    auto fail = [&](const std::string& reason) { st.Error("TCP/IPサーバーの起動に失敗。" + reason); };
    uint16_t port = 0;
    std::string reason;
    if (!PortOf(st, port, reason))
        fail(reason);
    // A server that is still running starts afresh: its connections are dropped, so
    // that both lists stay empty and aligned.
    if (t.Server && (t.Server->IsListening() || t.Server->ConnectionCount() > 0))
        t.Server.reset();
    if (!t.Server)
        t.Server = svc.NewServer(ServerEvents(st));
    t.Connections.clear();
    t.Descriptions.clear();
    t.Endpoints.clear();
    t.ServerReceiveHandler = nullptr;
    if (!t.Server->Listen(port, reason)) {
        CountSource(st, t.ServerCounted, false);
        fail(reason);
    }
    t.ConnState = kStarted;
    CountSource(st, t.ServerCounted, true);
}

// TCPサーバー終了: stops the server, ends its connections and frees it.
void cmdServerStop(TPoruBase& st)
{
    TTcpState& t = Tcp(st);
    if (t.Server)
        CloseServer(st, Service(st, "TCPサーバー終了"));
    t.ConnState = kStopped;
}

void cmdServerClients(TPoruBase& st)
{
    st.SetSore(JoinLines(Tcp(st).Descriptions), "s");
}

// TCPサーバー接続先ポート列挙: the connected clients as "address:port", one per line,
// in the order of TCPサーバー接続先列挙.
void cmdServerEndpoints(TPoruBase& st)
{
    st.SetSore(JoinLines(Tcp(st).Endpoints), "s");
}

// TCPサーバーから送信 (client, text): sends to the first connection named client.
void cmdServerSend(TPoruBase& st)
{
    const std::string text = st.PopText();
    const std::string client = Trim(st.PopText());
    if (client.empty())
        st.Error("TCP/IPのエラー。相手先が設定されていません");
    TTcpState& t = Tcp(st);
    RequireActiveServer(st, t);
    const int i = FindClient(t, client);
    if (i < 0)
        return;
    std::string error;
    if (!t.Server->Send(t.Connections[i], text, error))
        st.Error("TCP/IPのエラー。" + error);
}

// TCPサーバーから切断 (client): ends the first connection named client.
void cmdServerDrop(TPoruBase& st)
{
    const std::string client = Trim(st.PopText());
    if (client.empty())
        st.ArgError("TCPサーバーから切断", "相手先が設定されていません");
    TTcpState& t = Tcp(st);
    RequireActiveServer(st, t);
    const int i = FindClient(t, client);
    if (i < 0)
        return;
    const int conn = t.Connections[i];
    t.Connections.erase(t.Connections.begin() + i);
    t.Descriptions.erase(t.Descriptions.begin() + i);
    t.Endpoints.erase(t.Endpoints.begin() + i);
    t.Server->CloseConnection(conn);
}

void cmdSetServerReceiveHandler(TPoruBase& st)
{
    const char* pos = PopHandlerLabel(st);
    Tcp(st).ServerReceiveHandler = pos;
}

void cmdSetServerConnectHandler(TPoruBase& st)
{
    const char* pos = PopHandlerLabel(st);
    Tcp(st).ServerConnectHandler = pos;
}

HandlerRegistrar reg({
    {Cmd::TcpConnect, cmdConnect},
    {Cmd::TcpDisconnect, cmdDisconnect},
    {Cmd::TcpConnectionState, cmdConnState},
    {Cmd::TcpSend, cmdSend},
    {Cmd::TcpSetClientHandler, cmdSetClientHandler},
    {Cmd::TcpServerStart, cmdServerStart},
    {Cmd::TcpServerStop, cmdServerStop},
    {Cmd::TcpServerClients, cmdServerClients},
    {Cmd::TcpServerEndpoints, cmdServerEndpoints},
    {Cmd::TcpServerSend, cmdServerSend},
    {Cmd::TcpSetServerReceiveHandler, cmdSetServerReceiveHandler},
    {Cmd::TcpSetServerConnectHandler, cmdSetServerConnectHandler},
    {Cmd::TcpServerDrop, cmdServerDrop},
});

}   // namespace
