// A transfer keeps the host's events flowing: the progress window opens and closes
// around it, its 中止 button stops it (leaving no file), and an event handler that
// calls another network command meanwhile gets a clear error while the transfer
// goes on. The server is a small HTTP responder in a thread of the test that sends
// its body slowly.
#include <gtest/gtest.h>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <thread>

#include "core/codec.h"
#include "interp/builtins.h"
#include "interp/host.h"
#include "interp/interp.h"

namespace fs = std::filesystem;

namespace {

constexpr int kChunks = 40;
constexpr int kChunkBytes = 250;

// Answers every request with kChunks chunks of kChunkBytes, 5 ms apart.
class TSlowServer {
public:
    TSlowServer()
    {
        fd_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        listen(fd_, 4);
        socklen_t len = sizeof a;
        getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
        port_ = ntohs(a.sin_port);
        thread_ = std::thread([this] { Serve(); });
    }
    ~TSlowServer()
    {
        stop_ = true;
        thread_.join();
        close(fd_);
    }
    std::string Url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/slow"; }

private:
    void Serve()
    {
        while (!stop_) {
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, 20) <= 0)
                continue;
            const int c = accept(fd_, nullptr, nullptr);
            if (c < 0)
                continue;
            std::string request;
            char buf[1024];
            while (request.find("\r\n\r\n") == std::string::npos) {
                const ssize_t n = recv(c, buf, sizeof buf, 0);
                if (n <= 0)
                    break;
                request.append(buf, static_cast<size_t>(n));
            }
            const std::string head = "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(kChunks * kChunkBytes) +
                                     "\r\nConnection: close\r\n\r\n";
            bool ok = send(c, head.data(), head.size(), MSG_NOSIGNAL) > 0;
            const std::string chunk(kChunkBytes, 'x');
            for (int i = 0; ok && i < kChunks && !stop_; ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
                ok = send(c, chunk.data(), chunk.size(), MSG_NOSIGNAL) > 0;
            }
            close(c);
        }
    }
    int fd_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

class TRecordingHost : public THost {
public:
    std::function<void()> OnEvents;   // what "an event" does while the transfer runs
    std::function<void()> Stop;       // the 中止 button's handler
    int Opened = 0, Closed = 0, Pumps = 0;
    std::string FirstMessage;
    int64_t LastPosition = -1, LastMaximum = -1;

    bool IsGui() const override { return false; }
    void ShowText(TPoruBase&, const std::string&) override {}
    void Say(TPoruBase&, const std::string&) override {}
    void MessageBox(const std::string&) override {}
    ErrorChoice ShowErrorDialog(TPoruBase&, const std::string&) override { return ErrorChoice::Stop; }
    void Warning(TPoruBase&, const std::string&) override {}
    void ProcessEvents() override
    {
        ++Pumps;
        if (OnEvents) {
            auto once = std::move(OnEvents);
            OnEvents = nullptr;
            once();
        }
    }
    void WaitMs(TPoruBase&, int64_t) override {}
    int64_t TickMs() override { return 0; }
    void ShowMainWindow() override {}
    void RequestClose(TPoruBase&) override {}
    void* MainWindowControl() override { return nullptr; }
    int ScreenWidth() override { return 0; }
    int ScreenHeight() override { return 0; }
    void ProgressOpen(TPoruBase&, const std::string& message, std::function<void()> onStop) override
    {
        ++Opened;
        FirstMessage = message;
        Stop = std::move(onStop);
    }
    void ProgressSetPosition(TPoruBase&, int64_t position, int64_t maximum) override
    {
        LastPosition = position;
        LastMaximum = maximum;
    }
    void ProgressClose(TPoruBase&) override { ++Closed; }
};

struct NetTransfer : ::testing::Test {
    TSlowServer server;
    TRecordingHost host;
    TPoruBase st;
    fs::path dir;

    void SetUp() override
    {
        char tmpl[] = "/tmp/poru-net-XXXXXX";
        dir = mkdtemp(tmpl);
        st.FileName = "t.prk";
        st.Source = "";
        st.PrepareRun();
        st.Host = &host;
        st.SecurityLevel = 0;
    }
    void TearDown() override
    {
        st.Host = nullptr;
        fs::remove_all(dir);
    }
    // Runs a command's handler with its arguments in template order; the message it
    // raises, or "" when it succeeded.
    std::string Run(const char* name, std::vector<std::string> args)
    {
        THashNode* node = st.Words.FindExact(name);
        EXPECT_NE(node, nullptr) << name;
        if (!node)
            return "no such command";
        for (const std::string& a : args)
            st.Args.Push(QuoteRaw(a));   // as a literal: fetched as it is
        THashNode* saved = st.CurrentCommand;
        st.CurrentCommand = node;
        std::string message;
        try {
            GetHandler(node->Id)(st);
        } catch (const EPoru& e) {
            message = e.Message;
        }
        st.CurrentCommand = saved;
        return message;
    }
    std::string Target() const { return FromNativePath((dir / "out.bin").string()); }
};

}   // namespace

TEST_F(NetTransfer, ProgressWindowFollowsTheDownload)
{
    EXPECT_EQ(Run("HTTPダウンロード", {server.Url(), Target()}), "");
    EXPECT_EQ(fs::file_size(dir / "out.bin"), static_cast<uintmax_t>(kChunks * kChunkBytes));
    EXPECT_EQ(host.FirstMessage, "\"" + server.Url() + "\" よりHTTPデータ取得中");
    EXPECT_EQ(host.Opened, 1);
    EXPECT_EQ(host.Closed, 1);
    EXPECT_TRUE(host.Stop) << "the download can be stopped";
    EXPECT_EQ(host.LastPosition, kChunks * kChunkBytes);
    EXPECT_EQ(host.LastMaximum, kChunks * kChunkBytes);
    EXPECT_GT(host.Pumps, 3) << "events flowed during the transfer";
}

TEST_F(NetTransfer, StopButtonEndsTheDownloadWithoutAFile)
{
    host.OnEvents = [this] { host.Stop(); };
    const std::string message = Run("HTTPダウンロード", {server.Url(), Target()});
    EXPECT_NE(message.find("\"" + server.Url() + "\"からのダウンロードに失敗"), std::string::npos) << message;
    EXPECT_TRUE(fs::is_empty(dir)) << "neither the file nor its temporary file";
    EXPECT_EQ(host.Closed, 1);
}

TEST_F(NetTransfer, ClosingTheProgramStopsTheTransfer)
{
    host.OnEvents = [this] { st.Stopping = true; };
    EXPECT_NE(Run("HTTPダウンロード", {server.Url(), Target()}), "");
    EXPECT_TRUE(fs::is_empty(dir));
    st.Stopping = false;
}

TEST_F(NetTransfer, HandlerCallingAnotherNetworkCommandGetsAnError)
{
    std::string inner;
    host.OnEvents = [&] {
        inner = Run("FTP接続", {});
        const std::string second = Run("HTTPダウンロード", {server.Url(), Target() + ".2"});
        inner += "|" + second;
    };
    EXPECT_EQ(Run("HTTPダウンロード", {server.Url(), Target()}), "") << "the transfer itself goes on";
    EXPECT_NE(inner.find("\"FTP接続\"命令は、ほかの通信の途中では使えません。"), std::string::npos) << inner;
    EXPECT_NE(inner.find("\"HTTPダウンロード\"命令は、ほかの通信の途中では使えません。"), std::string::npos) << inner;
    EXPECT_EQ(fs::file_size(dir / "out.bin"), static_cast<uintmax_t>(kChunks * kChunkBytes));
    EXPECT_FALSE(fs::exists(dir / "out.bin.2"));
    // once the transfer is over, network commands run again
    EXPECT_EQ(Run("HTTPダウンロード", {server.Url(), Target() + ".3"}), "");
}

TEST_F(NetTransfer, ErrorRaisedByAnEventLeavesEverythingUsable)
{
    // a host that lets a handler's error escape from its event processing
    host.OnEvents = [] { throw EPoru("handler failed"); };
    EXPECT_EQ(Run("HTTPダウンロード", {server.Url(), Target()}), "handler failed");
    EXPECT_TRUE(fs::is_empty(dir)) << "no partial file";
    EXPECT_EQ(host.Opened, host.Closed);
    EXPECT_EQ(Run("HTTPダウンロード", {server.Url(), Target()}), "");
    EXPECT_EQ(fs::file_size(dir / "out.bin"), static_cast<uintmax_t>(kChunks * kChunkBytes));
}
