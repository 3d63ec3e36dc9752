// The TCP service on a Qt Core event loop, on 127.0.0.1: bytes unchanged both ways,
// peers described, refusals and ports in use reported in Japanese, sockets freed
// from inside their own notifications, queued output written before a close, and
// no descriptor left behind by many connections.
#include <QCoreApplication>
#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <dirent.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "interp/interp.h"
#include "interp/services.h"
#include "net/tcp_service.h"

namespace {

// Processes events until done() holds or ms have passed; returns done().
bool RunUntil(const std::function<bool()>& done, int ms = 5000)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return done();
}

int OpenDescriptors()
{
    int n = 0;
    if (DIR* d = opendir("/proc/self/fd")) {
        while (readdir(d))
            ++n;
        closedir(d);
    }
    return n;
}

// What the notifications of one server reported.
struct TServerLog {
    std::vector<int> Accepted;
    std::vector<TTcpPeer> Peers;
    std::vector<int> Closed;
    std::string Bytes;
    int Received = 0;
};

// What the notifications of one client reported.
struct TClientLog {
    int Connected = 0;
    int Disconnected = 0;
    std::string Failure;
    std::string Bytes;
};

struct Tcp : ::testing::Test {
    TPoruBase st;
    ITcpService* svc = nullptr;
    TServerLog slog;
    TClientLog clog;
    // Run by the notifications after logging them, when set.
    std::function<void(int conn)> onServerReceived;
    std::function<void()> onClientReceived;

    void SetUp() override
    {
        svc = FindService<ITcpService>(st);
        ASSERT_NE(svc, nullptr);
    }

    std::unique_ptr<ITcpServer> NewServer()
    {
        TTcpServerEvents ev;
        ev.Accepted = [this](int conn, const TTcpPeer& peer) {
            slog.Accepted.push_back(conn);
            slog.Peers.push_back(peer);
        };
        ev.Closed = [this](int conn) { slog.Closed.push_back(conn); };
        ev.Received = [this](int conn, std::string bytes) {
            slog.Bytes += bytes;
            ++slog.Received;
            if (onServerReceived)
                onServerReceived(conn);
        };
        return svc->NewServer(std::move(ev));
    }

    std::unique_ptr<ITcpServer> Listening()
    {
        auto s = NewServer();
        std::string error;
        EXPECT_TRUE(s->Listen(0, error)) << error;
        EXPECT_TRUE(s->IsListening());
        EXPECT_NE(s->Port(), 0);
        return s;
    }

    std::unique_ptr<ITcpClient> NewClient()
    {
        TTcpClientEvents ev;
        ev.Connected = [this] { ++clog.Connected; };
        ev.Failed = [this](const std::string& reason) { clog.Failure = reason; };
        ev.Disconnected = [this] { ++clog.Disconnected; };
        ev.Received = [this](std::string bytes) {
            clog.Bytes += bytes;
            if (onClientReceived)
                onClientReceived();
        };
        return svc->NewClient(std::move(ev));
    }

    std::unique_ptr<ITcpClient> ConnectedTo(ITcpServer& s)
    {
        auto c = NewClient();
        const size_t before = slog.Accepted.size();
        const int connected = clog.Connected;
        c->Connect("127.0.0.1", s.Port());
        EXPECT_TRUE(RunUntil([&] { return clog.Connected > connected && slog.Accepted.size() > before; }));
        return c;
    }
};

TEST_F(Tcp, BytesTravelUnchangedAndPeersAreDescribed)
{
    auto server = Listening();
    auto client = ConnectedTo(*server);
    EXPECT_TRUE(client->IsConnected());
    ASSERT_EQ(slog.Peers.size(), 1u);
    EXPECT_EQ(slog.Peers[0].Address, "127.0.0.1");   // not ::ffff:127.0.0.1
    EXPECT_EQ(slog.Peers[0].Description(), "127.0.0.1,localhost");
    EXPECT_EQ(client->Peer().Description(), "127.0.0.1,localhost");

    // Shift_JIS with 0x5C trail bytes, a NUL, bytes that are no text at all.
    const std::string up = std::string("表示ソ\0\xFF\x80", 9) + "end";
    std::string error;
    ASSERT_TRUE(client->Send(up, error)) << error;
    EXPECT_TRUE(RunUntil([&] { return slog.Bytes.size() >= up.size(); }));
    EXPECT_EQ(slog.Bytes, up);

    const std::string down = std::string("\0\r\n", 3) + "十";
    ASSERT_TRUE(server->Send(slog.Accepted[0], down, error)) << error;
    EXPECT_TRUE(RunUntil([&] { return clog.Bytes.size() >= down.size(); }));
    EXPECT_EQ(clog.Bytes, down);

    // The peer leaving is reported as Closed on the server, and the client's own
    // close does not report Disconnected twice.
    client->Close();
    EXPECT_TRUE(RunUntil([&] { return slog.Closed.size() == 1 && !client->IsOpen(); }));
    EXPECT_EQ(slog.Closed, slog.Accepted);
    EXPECT_EQ(server->ConnectionCount(), 0);
    EXPECT_LE(clog.Disconnected, 1);
    EXPECT_FALSE(client->Send("x", error));
    EXPECT_EQ(error, "接続されていません");
}

TEST_F(Tcp, ServerDroppingTheClientIsReportedAsDisconnected)
{
    auto server = Listening();
    auto client = ConnectedTo(*server);
    server->CloseConnection(slog.Accepted[0]);
    EXPECT_EQ(server->ConnectionCount(), 0);
    EXPECT_TRUE(RunUntil([&] { return clog.Disconnected == 1; }));
    EXPECT_FALSE(client->IsConnected());
    EXPECT_TRUE(slog.Closed.empty());   // no Closed for a connection ended on purpose
    std::string error;
    EXPECT_FALSE(server->Send(slog.Accepted[0], "x", error));
}

TEST_F(Tcp, RefusalAndPortInUseAreReported)
{
    auto server = Listening();
    const uint16_t port = server->Port();
    auto second = NewServer();
    std::string error;
    EXPECT_FALSE(second->Listen(port, error));
    EXPECT_EQ(error, "そのポートは既に使われています");
    server.reset();   // the port is free again, and nobody listens there

    auto client = NewClient();
    client->Connect("127.0.0.1", port);
    EXPECT_TRUE(RunUntil([&] { return !clog.Failure.empty(); }));
    EXPECT_EQ(clog.Failure, "接続を拒否されました");
    EXPECT_EQ(clog.Connected, 0);
    EXPECT_EQ(clog.Disconnected, 0);
    EXPECT_FALSE(client->IsOpen());
}

// The server takes IPv6 clients too: one on ::1 beside one on 127.0.0.1 gives two
// peers with different addresses, so a server can tell two clients of this machine
// apart; the IPv4 one still appears in its plain form.
TEST_F(Tcp, IPv6AndIPv4ClientsAreTwoPeers)
{
    // The machine must have ::1 at all: a plain socket bound there.
    const int probe = socket(AF_INET6, SOCK_STREAM, 0);
    sockaddr_in6 lo{};
    lo.sin6_family = AF_INET6;
    lo.sin6_addr = in6addr_loopback;
    const bool haveV6 = probe >= 0 && bind(probe, reinterpret_cast<sockaddr*>(&lo), sizeof lo) == 0;
    if (probe >= 0)
        close(probe);
    if (!haveV6)
        GTEST_SKIP() << "no IPv6 loopback on this machine";
    auto server = Listening();
    auto v4 = ConnectedTo(*server);
    auto v6 = NewClient();
    v6->Connect("::1", server->Port());
    EXPECT_TRUE(RunUntil([&] { return slog.Accepted.size() == 2 || !clog.Failure.empty(); }));
    EXPECT_EQ(clog.Failure, "");
    ASSERT_EQ(slog.Peers.size(), 2u);
    EXPECT_EQ(slog.Peers[0].Address, "127.0.0.1");
    EXPECT_EQ(slog.Peers[1].Address, "::1");
    std::string error;
    ASSERT_TRUE(server->Send(slog.Accepted[1], "6", error)) << error;
    EXPECT_TRUE(RunUntil([&] { return !clog.Bytes.empty(); }));
    EXPECT_EQ(clog.Bytes, "6");
}

TEST_F(Tcp, ObjectsFreedInsideTheirOwnNotifications)
{
    auto server = Listening();
    auto client = ConnectedTo(*server);
    std::string error;

    // The server ends the connection that just delivered, then is freed itself.
    onServerReceived = [&](int conn) {
        server->CloseConnection(conn);
        server.reset();
    };
    ASSERT_TRUE(client->Send("a", error));
    EXPECT_TRUE(RunUntil([&] { return !server; }));
    EXPECT_TRUE(RunUntil([&] { return clog.Disconnected == 1; }));

    // A client freed by its own receive notification.
    server = Listening();
    onServerReceived = nullptr;
    client = ConnectedTo(*server);
    onClientReceived = [&] { client.reset(); };
    ASSERT_TRUE(server->Send(slog.Accepted.back(), "bye", error));
    EXPECT_TRUE(RunUntil([&] { return !client; }));
    EXPECT_TRUE(RunUntil([&] { return server->ConnectionCount() == 0; }));
    EXPECT_EQ(slog.Received, 1);
}

TEST_F(Tcp, QueuedOutputIsWrittenBeforeTheConnectionCloses)
{
    auto server = Listening();
    auto client = ConnectedTo(*server);
    const std::string big(8 << 20, '\x5C');
    std::string error;
    ASSERT_TRUE(server->Send(slog.Accepted[0], big, error));
    server->CloseConnection(slog.Accepted[0]);
    EXPECT_FALSE(server->IsClosed());   // still listening
    EXPECT_TRUE(RunUntil([&] { return clog.Disconnected == 1; }, 20000));
    EXPECT_EQ(clog.Bytes.size(), big.size());
    EXPECT_EQ(clog.Bytes, big);

    // The same when the whole server stops: every connection reports Closed.
    clog = TClientLog();
    auto again = ConnectedTo(*server);
    ASSERT_TRUE(server->Send(slog.Accepted.back(), big, error));
    EXPECT_GT(server->PendingOutput(), 0);
    server->Close();
    EXPECT_FALSE(server->IsListening());
    EXPECT_TRUE(RunUntil([&] { return server->IsClosed(); }, 20000));
    EXPECT_EQ(slog.Closed, std::vector<int>{slog.Accepted.back()});
    EXPECT_TRUE(RunUntil([&] { return clog.Disconnected == 1; }, 20000));
    EXPECT_EQ(clog.Bytes, big);
}

TEST_F(Tcp, ManyConnectionsLeaveNoDescriptors)
{
    auto server = Listening();
    {
        auto warm = ConnectedTo(*server);
    }   // whatever Qt opens once
    RunUntil([&] { return server->ConnectionCount() == 0; });
    const int before = OpenDescriptors();
    for (int i = 0; i < 1000; ++i) {
        auto c = ConnectedTo(*server);
        if (i % 2)
            c->Close();   // graceful half of the time, dropped the other half
    }
    EXPECT_TRUE(RunUntil([&] { return server->ConnectionCount() == 0; }));
    EXPECT_EQ(slog.Accepted.size(), 1001u);
    EXPECT_EQ(OpenDescriptors(), before);

    std::vector<std::unique_ptr<ITcpClient>> many;
    for (int i = 0; i < 100; ++i) {
        many.push_back(NewClient());
        many.back()->Connect("127.0.0.1", server->Port());
    }
    EXPECT_TRUE(RunUntil([&] { return server->ConnectionCount() == 100; }, 20000));
    many.clear();
    EXPECT_TRUE(RunUntil([&] { return server->ConnectionCount() == 0; }));
    EXPECT_EQ(OpenDescriptors(), before);
}

TEST_F(Tcp, WaitForEventsEndsAtTheFirstNotification)
{
    auto server = Listening();
    auto client = NewClient();
    client->Connect("127.0.0.1", server->Port());
    QElapsedTimer clock;
    clock.start();
    while (clog.Connected == 0 && clock.elapsed() < 3000)
        svc->WaitForEvents(2000);
    EXPECT_EQ(clog.Connected, 1);
    EXPECT_LT(clock.elapsed(), 1500);

    clock.restart();
    svc->WaitForEvents(50);   // nothing happens: the whole time passes
    EXPECT_GE(clock.elapsed(), 45);
}

}   // namespace
