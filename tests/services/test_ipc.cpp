// The local request channels: the private folder, socket names, frames, servers and
// clients on a Qt Core event loop, names left behind by servers that died, names
// held by live servers, refused frames, urgent delivery at the run loop's pulse and
// the reach of other users.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "interp/channel_service.h"
#include "interp/interp.h"
#include "interp/services.h"
#include "services/ipc_names.h"
#include "services/ipc_service.h"

extern void (*gRunLoopPulse)(TPoruBase&);

namespace {

void RunUntil(const std::function<bool()>& done, int ms = 2000)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

// An environment of its own for each test: XDG_RUNTIME_DIR and TMPDIR in a
// temporary folder, restored afterwards.
struct ChannelEnv : ::testing::Test {
    QTemporaryDir dir;
    std::string root, runtime;
    std::string savedRuntime, savedTmp;
    bool hadRuntime = false, hadTmp = false;

    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        root = dir.path().toStdString();
        runtime = root + "/run";
        ASSERT_EQ(::mkdir(runtime.c_str(), 0700), 0);
        if (const char* v = std::getenv("XDG_RUNTIME_DIR")) {
            hadRuntime = true;
            savedRuntime = v;
        }
        if (const char* v = std::getenv("TMPDIR")) {
            hadTmp = true;
            savedTmp = v;
        }
        ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
        ::setenv("TMPDIR", root.c_str(), 1);
    }
    void TearDown() override
    {
        if (hadRuntime)
            ::setenv("XDG_RUNTIME_DIR", savedRuntime.c_str(), 1);
        else
            ::unsetenv("XDG_RUNTIME_DIR");
        if (hadTmp)
            ::setenv("TMPDIR", savedTmp.c_str(), 1);
        else
            ::unsetenv("TMPDIR");
    }
    static mode_t ModeOf(const std::string& path)
    {
        struct stat sb {};
        return ::lstat(path.c_str(), &sb) == 0 ? (sb.st_mode & 07777) : 0;
    }
};

// A raw client that sends bytes and returns what came back before the end.
std::string RawExchange(const std::string& path, const std::string& bytes)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    std::snprintf(a.sun_path, sizeof a.sun_path, "%s", path.c_str());
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(fd);
        return "no connection";
    }
    [[maybe_unused]] ssize_t w = ::write(fd, bytes.data(), bytes.size());
    ::shutdown(fd, SHUT_WR);
    std::string got;
    char buf[64];
    timeval tv{2, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    for (ssize_t n; (n = ::read(fd, buf, sizeof buf)) > 0;)
        got.append(buf, static_cast<size_t>(n));
    ::close(fd);
    return got;
}

TEST_F(ChannelEnv, FolderIsPrivateAndFallsBack)
{
    EXPECT_EQ(ChannelFolder(), runtime + "/porukana/");
    EXPECT_EQ(ModeOf(runtime + "/porukana"), 0700u);

    // A folder left too open is narrowed.
    ASSERT_EQ(::chmod((runtime + "/porukana").c_str(), 0777), 0);
    EXPECT_EQ(ChannelFolder(), runtime + "/porukana/");
    EXPECT_EQ(ModeOf(runtime + "/porukana"), 0700u);

    // Otherwise the private folder in /tmp (never below TMPDIR, which a run-time
    // leaves empty): for a runtime folder that others may enter, a link in the
    // channel folder's place, a runtime folder too deep for socket names, none.
    const std::string fallback = "/tmp/porukana-" + std::to_string(::getuid()) + "/";
    const std::string open = root + "/open";
    ASSERT_EQ(::mkdir(open.c_str(), 0755), 0);
    ::setenv("XDG_RUNTIME_DIR", open.c_str(), 1);
    EXPECT_EQ(ChannelFolder(), fallback);
    EXPECT_EQ(ModeOf(fallback.substr(0, fallback.size() - 1)), 0700u);

    const std::string linked = root + "/linked";
    ASSERT_EQ(::mkdir(linked.c_str(), 0700), 0);
    ASSERT_EQ(::symlink(open.c_str(), (linked + "/porukana").c_str()), 0);
    ::setenv("XDG_RUNTIME_DIR", linked.c_str(), 1);
    EXPECT_EQ(ChannelFolder(), fallback);

    std::string deep = runtime;
    while (deep.size() < 80) {
        deep += "/dddddddddd";
        ASSERT_EQ(::mkdir(deep.c_str(), 0700), 0);
    }
    ::setenv("XDG_RUNTIME_DIR", deep.c_str(), 1);
    EXPECT_EQ(ChannelFolder(), fallback);

    ::unsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(ChannelFolder(), fallback);
    EXPECT_EQ(::access((root + "/porukana-" + std::to_string(::getuid())).c_str(), F_OK), -1);
}

TEST(ChannelNames, HexOfFoldedNamesOrAHashWhenLong)
{
    EXPECT_EQ(ChannelSocketPath("/r/", "porupad", "command"), "/r/porukana-dde.706f7275706164.636f6d6d616e64");
    EXPECT_EQ(ChannelSocketPath("/r/", "PoruPad", "COMMAND"), ChannelSocketPath("/r/", "porupad", "command"));
    // ア is 0x83 0x41: its trail byte is no letter to fold.
    EXPECT_EQ(ChannelSocketPath("/r/", "ア", "x"), "/r/porukana-dde.8341.78");
    EXPECT_NE(ChannelSocketPath("/r/", "ア", "x"), ChannelSocketPath("/r/", "\x83\x61", "x"));

    const std::string folder = "/tmp/" + std::string(50, 'f') + "/";
    const std::string a = ChannelSocketPath(folder, std::string(40, 's'), "topic");
    const std::string b = ChannelSocketPath(folder, std::string(40, 's'), "topiC");
    const std::string c = ChannelSocketPath(folder, std::string(40, 's'), "topic2");
    EXPECT_LE(a.size(), kMaxSocketPath);
    EXPECT_EQ(a.substr(0, folder.size() + 14), folder + "porukana-dde.h");
    EXPECT_EQ(a.size(), folder.size() + 14 + 32);
    EXPECT_EQ(a, b);
    EXPECT_NE(a, c);
    // Service and topic are kept apart: ("ab", "c") is not ("a", "bc").
    EXPECT_NE(ChannelSocketPath(folder, std::string(40, 'x') + "ab", "c"),
              ChannelSocketPath(folder, std::string(40, 'x') + "a", "bc"));
}

TEST(ChannelFrames, LengthPrefixedFrames)
{
    EXPECT_EQ(EncodeFrame("abc"), std::string("\x03\0\0\0abc", 7));
    EXPECT_EQ(EncodeFrame(std::string(300, 'x')).substr(0, 4), std::string("\x2c\x01\0\0", 4));

    std::string buffer = EncodeFrame("line") + EncodeFrame("") + EncodeFrame("pa");
    buffer.resize(buffer.size() - 1);   // the last frame is not complete yet
    std::string text;
    EXPECT_EQ(TakeFrame(buffer, text), TFrameRead::Complete);
    EXPECT_EQ(text, "line");
    EXPECT_EQ(TakeFrame(buffer, text), TFrameRead::Complete);
    EXPECT_EQ(text, "");
    EXPECT_EQ(TakeFrame(buffer, text), TFrameRead::Incomplete);
    buffer += 'a';
    EXPECT_EQ(TakeFrame(buffer, text), TFrameRead::Complete);
    EXPECT_EQ(text, "pa");
    EXPECT_TRUE(buffer.empty());
    std::string tooLong("\xff\xff\xff\x7f", 4);
    EXPECT_EQ(TakeFrame(tooLong, text), TFrameRead::TooLong);
    std::string three("\x01\0", 2);
    EXPECT_EQ(TakeFrame(three, text), TFrameRead::Incomplete);
}

TEST_F(ChannelEnv, RequestsArriveFromTheEventLoopInOrder)
{
    TPoruBase st;
    IChannelService* svc = FindService<IChannelService>(st);
    ASSERT_NE(svc, nullptr);
    std::vector<std::string> got;
    std::string reason;
    auto server = svc->Listen(
        "サービス", "話題", false,
        [&](const std::string& t) {
            got.push_back(t);
            return true;
        },
        reason);
    ASSERT_TRUE(server) << reason;
    EXPECT_EQ(svc->Send("サービス", "話題", "一つ目", 2000), TChannelSend::Sent);
    EXPECT_EQ(svc->Send("サービス", "話題", "二つ\r\n目", 2000), TChannelSend::Sent);
    EXPECT_TRUE(got.empty());   // acknowledged at once, handed over by the event loop
    RunUntil([&] { return got.size() == 2; });
    EXPECT_EQ(got, (std::vector<std::string>{"一つ目", "二つ\r\n目"}));

    // Another live server does not get the name; the first keeps it.
    auto second = svc->Listen(
        "サービス", "話題", false, [](const std::string&) { return true; }, reason);
    EXPECT_FALSE(second);
    EXPECT_EQ(svc->Send("サービス", "話題", "三", 2000), TChannelSend::Sent);
    RunUntil([&] { return got.size() == 3; });

    EXPECT_EQ(svc->Send("サービス", "別", "x", 500), TChannelSend::NoServer);
    const std::string path = ChannelSocketPath(ChannelFolder(), "サービス", "話題");
    server.reset();
    EXPECT_NE(::access(path.c_str(), F_OK), 0);   // the socket file went with it
    EXPECT_EQ(svc->Send("サービス", "話題", "x", 500), TChannelSend::NoServer);
}

TEST_F(ChannelEnv, RequestNotTakenIsOfferedAgainFirst)
{
    TPoruBase st;
    IChannelService* svc = FindService<IChannelService>(st);
    std::vector<std::string> got;
    int declines = 2;
    std::string reason;
    auto server = svc->Listen(
        "svc", "busy", false,
        [&](const std::string& t) {
            if (t == "1" && declines > 0) {
                --declines;
                return false;
            }
            got.push_back(t);
            return true;
        },
        reason);
    ASSERT_TRUE(server);
    EXPECT_EQ(svc->Send("svc", "busy", "1", 2000), TChannelSend::Sent);
    EXPECT_EQ(svc->Send("svc", "busy", "2", 2000), TChannelSend::Sent);
    RunUntil([&] { return got.size() == 2; });
    EXPECT_EQ(declines, 0);
    EXPECT_EQ(got, (std::vector<std::string>{"1", "2"}));
}

TEST_F(ChannelEnv, NameOfADeadServerIsTakenOver)
{
    const std::string path = ChannelSocketPath(ChannelFolder(), "svc", "stale");
    // A socket file without a server behind it, as a killed program leaves it.
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    std::snprintf(a.sun_path, sizeof a.sun_path, "%s", path.c_str());
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    ::close(fd);
    ASSERT_EQ(::access(path.c_str(), F_OK), 0);

    TPoruBase st;
    IChannelService* svc = FindService<IChannelService>(st);
    EXPECT_EQ(svc->Send("svc", "stale", "x", 500), TChannelSend::NoServer);
    std::string got, reason;
    auto server = svc->Listen(
        "svc", "stale", false,
        [&](const std::string& t) {
            got = t;
            return true;
        },
        reason);
    ASSERT_TRUE(server) << reason;
    EXPECT_EQ(svc->Send("svc", "stale", "回復", 2000), TChannelSend::Sent);
    RunUntil([&] { return !got.empty(); });
    EXPECT_EQ(got, "回復");
}

TEST_F(ChannelEnv, OversizedFrameIsRefusedAndNotDelivered)
{
    TPoruBase st;
    IChannelService* svc = FindService<IChannelService>(st);
    int calls = 0;
    std::string reason;
    auto server = svc->Listen(
        "svc", "big", false,
        [&](const std::string&) {
            ++calls;
            return true;
        },
        reason);
    ASSERT_TRUE(server);
    const std::string path = ChannelSocketPath(ChannelFolder(), "svc", "big");
    const std::string header("\x01\x00\x00\x02", 4);   // 32 MiB announced
    EXPECT_EQ(RawExchange(path, header + "abc"), std::string(1, kFrameRefused));
    // Two whole frames in one write: two acknowledgements.
    EXPECT_EQ(RawExchange(path, EncodeFrame("a") + EncodeFrame("b")), std::string(2, kFrameAck));
    RunUntil([&] { return calls == 2; });
    EXPECT_EQ(calls, 2);
}

TEST_F(ChannelEnv, UrgentRequestsAreTakenAtThePulse)
{
    TPoruBase st;
    IChannelService* svc = FindService<IChannelService>(st);
    std::vector<std::string> got;
    std::string reason;
    auto urgent = svc->Listen(
        "svc", "urgent", true,
        [&](const std::string& t) {
            got.push_back("u:" + t);
            return true;
        },
        reason);
    auto plain = svc->Listen(
        "svc", "plain", false,
        [&](const std::string& t) {
            got.push_back("p:" + t);
            return true;
        },
        reason);
    ASSERT_TRUE(urgent && plain);
    ASSERT_NE(gRunLoopPulse, nullptr);
    EXPECT_EQ(svc->Send("svc", "plain", "1", 2000), TChannelSend::Sent);
    EXPECT_EQ(svc->Send("svc", "urgent", "2", 2000), TChannelSend::Sent);
    // The I/O thread has put both into the inbox; wait for that without the loop.
    QElapsedTimer clock;
    clock.start();
    while (got.empty() && clock.elapsed() < 2000) {
        gRunLoopPulse(st);   // what the run loop calls between statements
        usleep(1000);
    }
    EXPECT_EQ(got, (std::vector<std::string>{"u:2"}));   // the script server waits for the loop
    RunUntil([&] { return got.size() == 2; });
    EXPECT_EQ(got, (std::vector<std::string>{"u:2", "p:1"}));
    urgent.reset();
    plain.reset();
}

TEST_F(ChannelEnv, OtherUsersCannotReachAServer)
{
    if (::getuid() != 0)
        GTEST_SKIP() << "needs root to act as another user";
    TPoruBase st;
    IChannelService* svc = FindService<IChannelService>(st);
    std::string reason;
    int calls = 0;
    auto server = svc->Listen(
        "svc", "private", false,
        [&](const std::string&) {
            ++calls;
            return true;
        },
        reason);
    ASSERT_TRUE(server);
    const std::string path = ChannelSocketPath(ChannelFolder(), "svc", "private");
    // Every folder above may be passed through: only the channel folder keeps out.
    ::chmod(root.c_str(), 0711);
    ::chmod(runtime.c_str(), 0711);
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(3);
        ::_exit(RawExchange(path, EncodeFrame("break")) == "no connection" ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    RunUntil([&] { return calls > 0; }, 200);
    EXPECT_EQ(calls, 0);
}

TEST_F(ChannelEnv, ClientWithoutInterpreterState)
{
    std::unique_ptr<IChannelService> svc = NewLocalChannelService();
    std::string got, reason;
    auto server = svc->Listen(
        "tool", "t", false,
        [&](const std::string& t) {
            got = t;
            return true;
        },
        reason);
    ASSERT_TRUE(server);
    EXPECT_EQ(SendChannelRequest("TOOL", "T", "hello", 2000), TChannelSend::Sent);
    RunUntil([&] { return !got.empty(); });
    EXPECT_EQ(got, "hello");
}

}   // namespace
