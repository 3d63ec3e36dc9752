// The console's own request channel, served without the event loop, and the event
// loop loaded late: linked like porukana-cli (no Qt), loading the built modules.
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "console/late_services.h"
#include "interp/channel_service.h"
#include "interp/event_loop.h"
#include "interp/interp.h"
#include "interp/services.h"
#include "services/ipc_names.h"

namespace {

// Each test serves in a private folder of its own.
class LateServices : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/late-services-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        folder_ = pattern;
        ::setenv("XDG_RUNTIME_DIR", folder_.c_str(), 1);
        path_ = HexChannelSocketPath(ChannelFolder(), "latetest", "command");
        ASSERT_FALSE(path_.empty());
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }

    // The run-time's own server; its requests go to got_.
    std::unique_ptr<IChannelServer> ServeOwn()
    {
        return FindService<IChannelService>(st_)->Listen(
            "latetest", "command", true,
            [this](const std::string& text) {
                got_.push_back(text);
                return true;
            },
            reason_);
    }

    // A socket bound to path and listening, as another program's server would be.
    int BindRaw() const
    {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un addr;
        EXPECT_TRUE(ChannelAddress(path_, addr));
        EXPECT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr), 0);
        EXPECT_EQ(::listen(fd, 4), 0);
        return fd;
    }

    std::string folder_;
    std::string path_;
    TPoruBase st_;
    std::vector<std::string> got_;
    std::string reason_;
};

TEST_F(LateServices, RequestsAreTakenAtOnceAndHandedOverWhenTheProgramLooks)
{
    auto server = ServeOwn();
    ASSERT_TRUE(server) << reason_;
    // Acknowledged by the channel's thread while the program does not look.
    EXPECT_EQ(SendOnChannel(path_, "line", 1000), TChannelSend::Sent);
    EXPECT_EQ(SendOnChannel(path_, "pause", 1000), TChannelSend::Sent);
    EXPECT_TRUE(got_.empty());
    for (int i = 0; i < 100 && got_.size() < 2; ++i)
        WaitWithoutEventLoop(-1, 20);
    EXPECT_EQ(got_, (std::vector<std::string>{"line", "pause"}));
    EXPECT_EQ(gEventLoop, nullptr) << "the channel loaded the event loop";
    server.reset();
    EXPECT_FALSE(std::filesystem::exists(path_)) << "the name was not given up";
    EXPECT_EQ(SendOnChannel(path_, "line", 200), TChannelSend::NoServer);
}

TEST_F(LateServices, AFrameTooLongIsRefusedAndItsConnectionEnds)
{
    auto server = ServeOwn();
    ASSERT_TRUE(server) << reason_;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr;
    ASSERT_TRUE(ChannelAddress(path_, addr));
    ASSERT_EQ(::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr), 0);
    // Two frames in one write, the second announcing more than a frame may hold.
    std::string bytes = EncodeFrame("ok");
    const uint32_t n = kMaxFrameBytes + 1;
    for (int i = 0; i < 4; ++i)
        bytes += static_cast<char>((n >> (8 * i)) & 0xFF);
    ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    char answers[3] = {};
    size_t read = 0;
    for (ssize_t r; read < 3 && (r = ::read(fd, answers + read, 3 - read)) > 0;)
        read += static_cast<size_t>(r);
    ::close(fd);
    ASSERT_EQ(read, 2u) << "the connection was not ended";
    EXPECT_EQ(answers[0], kFrameAck);
    EXPECT_EQ(answers[1], kFrameRefused);
    for (int i = 0; i < 100 && got_.empty(); ++i)
        WaitWithoutEventLoop(-1, 20);
    EXPECT_EQ(got_, std::vector<std::string>{"ok"});
}

TEST_F(LateServices, ALiveNameIsLeftAloneAndOneLeftBehindIsTakenOver)
{
    const int live = BindRaw();
    EXPECT_FALSE(ServeOwn());
    EXPECT_EQ(reason_, "in use");
    ::close(live);   // the file stays behind, as after a crash
    ASSERT_TRUE(std::filesystem::exists(path_));
    auto server = ServeOwn();
    ASSERT_TRUE(server) << reason_;
    EXPECT_EQ(SendOnChannel(path_, "again", 1000), TChannelSend::Sent);
}

// Last of the file: it loads the event loop into the process for good.
TEST_F(LateServices, TheEventLoopLoadsLateAndTakesOverWaiting)
{
    auto server = ServeOwn();
    ASSERT_TRUE(server) << reason_;
    ASSERT_TRUE(EnsureEventLoop());
    ASSERT_NE(gEventLoop, nullptr);
    // The own channel's requests now come through the loop.
    EXPECT_EQ(SendOnChannel(path_, "line", 1000), TChannelSend::Sent);
    for (int i = 0; i < 100 && got_.empty(); ++i)
        gEventLoop->WaitForEvents(20);
    EXPECT_EQ(got_, std::vector<std::string>{"line"});
    // A script's own server goes through the loaded channel service.
    std::vector<std::string> script;
    auto scriptServer = FindService<IChannelService>(st_)->Listen(
        "latetest", "topic", false,
        [&script](const std::string& text) {
            script.push_back(text);
            return true;
        },
        reason_);
    ASSERT_TRUE(scriptServer) << reason_;
    EXPECT_EQ(FindService<IChannelService>(st_)->Send("latetest", "topic", "hello", 1000), TChannelSend::Sent);
    for (int i = 0; i < 100 && script.empty(); ++i)
        gEventLoop->WaitForEvents(20);
    EXPECT_EQ(script, std::vector<std::string>{"hello"});
}

}   // namespace
