#include "console/late_services.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "interp/channel_service.h"
#include "interp/event_loop.h"
#include "interp/services.h"
#include "interp/timer_service.h"
#include "modules/modules.h"
#include "net/tcp_service.h"
#include "services/ipc_names.h"

extern void (*gRunLoopPulse)(TPoruBase&);

namespace {

std::vector<std::function<void()>>& LoadHooks()
{
    static std::vector<std::function<void()>> hooks;
    return hooks;
}

// Readable while requests of the run-time's own channel wait for the main thread.
// It lives as long as the process, so that the event loop may watch it once loaded.
int InboxFd()
{
    static const int fd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    return fd;
}

void ResetInbox()
{
    uint64_t v = 0;
    [[maybe_unused]] ssize_t n = ::read(InboxFd(), &v, sizeof v);
}

// The run-time's own channel: a thread accepts its connections, reads their frames
// and acknowledges each one at once, whatever the program is doing, so a client
// never waits for a busy program; the requests wait in an inbox until the main
// thread hands them to the callback (Drain), between statements and while waiting.
class TThreadChannelServer final : public IChannelServer {
public:
    TThreadChannelServer(int listenFd, std::string path, TChannelHandler onRequest);
    ~TThreadChannelServer() override;

    bool Waiting() const { return waiting_.load(std::memory_order_relaxed) > 0; }
    // Hands the waiting requests to the callback (main thread). The callback may run
    // the program (and so this again); a request it cannot take yet goes back to the
    // front and is offered at the next look.
    void Drain();

private:
    struct TConnection {
        int Fd;
        std::string Buffer;
    };
    void Serve();   // the thread
    bool ReadFrames(TConnection& c);
    void Put(std::string text);

    int listen_;
    std::string path_;
    TChannelHandler onRequest_;
    int stop_;
    std::mutex m_;
    std::deque<std::string> requests_;
    std::atomic<int> waiting_{0};
    std::thread thread_;
};

TThreadChannelServer* gOwnChannel = nullptr;
void (*gPulseBefore)(TPoruBase&) = nullptr;

// Between statements: the requests that came meanwhile.
void OwnChannelPulse(TPoruBase& st)
{
    if (gPulseBefore)
        gPulseBefore(st);
    if (gOwnChannel && gOwnChannel->Waiting())
        gOwnChannel->Drain();
}

void DrainOwnChannel()
{
    ResetInbox();
    if (gOwnChannel)
        gOwnChannel->Drain();
}

TThreadChannelServer::TThreadChannelServer(int listenFd, std::string path, TChannelHandler onRequest)
    : listen_(listenFd), path_(std::move(path)), onRequest_(std::move(onRequest)),
      stop_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
    gOwnChannel = this;
    if (gRunLoopPulse != OwnChannelPulse) {
        gPulseBefore = gRunLoopPulse;
        gRunLoopPulse = OwnChannelPulse;
    }
    thread_ = std::thread([this] { Serve(); });
}

TThreadChannelServer::~TThreadChannelServer()
{
    if (gOwnChannel == this)
        gOwnChannel = nullptr;
    if (gRunLoopPulse == OwnChannelPulse)
        gRunLoopPulse = gPulseBefore;
    const uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(stop_, &one, sizeof one);
    thread_.join();
    ::close(stop_);
    // A server that ends removes its file before another can take the name.
    TChannelFolderLock lock(path_.substr(0, path_.rfind('/') + 1));
    ::close(listen_);
    ::unlink(path_.c_str());
}

void TThreadChannelServer::Serve()
{
    std::vector<TConnection> connections;
    std::vector<pollfd> polled;
    for (;;) {
        polled.assign({pollfd{stop_, POLLIN, 0}, pollfd{listen_, POLLIN, 0}});
        for (const TConnection& c : connections)
            polled.push_back(pollfd{c.Fd, POLLIN, 0});
        if (::poll(polled.data(), polled.size(), -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (polled[0].revents != 0)
            break;
        for (size_t i = connections.size(); i-- > 0;) {
            if (polled[i + 2].revents == 0 || ReadFrames(connections[i]))
                continue;
            ::close(connections[i].Fd);
            connections.erase(connections.begin() + static_cast<std::ptrdiff_t>(i));
        }
        if ((polled[1].revents & POLLIN) == 0)
            continue;
        for (;;) {
            const int fd = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
            if (fd < 0)
                break;
            if (!PeerIsThisUser(fd)) {
                ::close(fd);
                continue;
            }
            connections.push_back(TConnection{fd, std::string()});
        }
    }
    for (const TConnection& c : connections)
        ::close(c.Fd);
}

// Reads what came on c and acknowledges every whole frame; false when the
// connection is over (closed by the client, refused or failed).
bool TThreadChannelServer::ReadFrames(TConnection& c)
{
    bool open = true;
    char bytes[4096];
    for (;;) {
        const ssize_t n = ::read(c.Fd, bytes, sizeof bytes);
        if (n > 0) {
            c.Buffer.append(bytes, static_cast<size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        open = n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
        break;
    }
    for (;;) {
        std::string text;
        const TFrameRead r = TakeFrame(c.Buffer, text);
        if (r == TFrameRead::Incomplete)
            return open;
        // MSG_NOSIGNAL: a client that has gone must not end the program.
        if (r == TFrameRead::TooLong) {
            [[maybe_unused]] ssize_t n = ::send(c.Fd, &kFrameRefused, 1, MSG_NOSIGNAL);
            return false;
        }
        [[maybe_unused]] ssize_t n = ::send(c.Fd, &kFrameAck, 1, MSG_NOSIGNAL);
        Put(std::move(text));
    }
}

void TThreadChannelServer::Put(std::string text)
{
    {
        std::lock_guard<std::mutex> lock(m_);
        requests_.push_back(std::move(text));
        ++waiting_;
    }
    const uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(InboxFd(), &one, sizeof one);
}

void TThreadChannelServer::Drain()
{
    for (;;) {
        std::string text;
        {
            std::lock_guard<std::mutex> lock(m_);
            if (requests_.empty())
                return;
            text = std::move(requests_.front());
            requests_.pop_front();
            --waiting_;
        }
        if (!onRequest_(text)) {
            std::lock_guard<std::mutex> lock(m_);
            requests_.push_front(std::move(text));
            ++waiting_;
            return;
        }
    }
}

// Binds and listens on `path` under the folder's lock, taking over a name left behind
// by a server that ended without closing; -1 with the reason when it cannot.
int BindChannel(const std::string& folder, const std::string& path, std::string& reason)
{
    sockaddr_un addr;
    if (!ChannelAddress(path, addr)) {
        reason = "name too long";
        return -1;
    }
    TChannelFolderLock lock(folder);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        reason = "no socket";
        return -1;
    }
    auto bound = [&] { return ::bind(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0; };
    bool ok = bound();
    if (!ok && errno == EADDRINUSE && !ChannelNameServed(path)) {
        ::unlink(path.c_str());
        ok = bound();
    }
    if (!ok || ::listen(fd, 50) != 0) {
        reason = errno == EADDRINUSE ? "in use" : "cannot listen";
        ::close(fd);
        return -1;
    }
    return fd;
}

bool gMakingChannels = false;

// The channel service the event loop's module provides, made for st; nullptr when
// the module cannot be loaded or does not provide one.
std::shared_ptr<void> MakeLoadedChannels(TPoruBase& st)
{
    return MakeModuleService(typeid(IChannelService), EnsureEventLoop, st, gMakingChannels);
}

// IChannelService of the console: the run-time's own (urgent) server on a thread of
// its own and requests sent without the event loop; the scripts' servers (and names
// too long for a socket address, which need its hash) through the loaded service.
class TLateChannelService final : public IChannelService {
public:
    explicit TLateChannelService(TPoruBase& st) : st_(st) {}

    std::unique_ptr<IChannelServer> Listen(const std::string& service, const std::string& topic, bool urgent,
                                           TChannelHandler onRequest, std::string& reason) override
    {
        if (urgent && !gOwnChannel) {
            const std::string folder = ChannelFolder();
            if (folder.empty()) {
                reason = "no private channel folder";
                return nullptr;
            }
            // A name too long for a socket address needs the loaded service's hash.
            const std::string path = HexChannelSocketPath(folder, service, topic);
            if (!path.empty()) {
                const int fd = BindChannel(folder, path, reason);
                if (fd < 0)
                    return nullptr;
                auto server = std::make_unique<TThreadChannelServer>(fd, path, std::move(onRequest));
                if (gEventLoop)
                    gEventLoop->WatchReadable(InboxFd(), DrainOwnChannel);
                return server;
            }
        }
        IChannelService* real = Real(reason);
        return real ? real->Listen(service, topic, urgent, std::move(onRequest), reason) : nullptr;
    }

    TChannelSend Send(const std::string& service, const std::string& topic, const std::string& text,
                      int timeoutMs) override
    {
        const std::string folder = ChannelFolder();
        if (folder.empty())
            return TChannelSend::NoServer;
        const std::string path = HexChannelSocketPath(folder, service, topic);
        if (!path.empty())
            return SendOnChannel(path, text, timeoutMs);
        std::string reason;
        IChannelService* real = Real(reason);
        return real ? real->Send(service, topic, text, timeoutMs) : TChannelSend::NoServer;
    }

    void EndApplication(int status) override
    {
        // Without the event loop the run ends by itself once its cursor is gone.
        if (!gEventLoop)
            return;
        std::string reason;
        if (IChannelService* real = Real(reason))
            real->EndApplication(status);
    }

private:
    IChannelService* Real(std::string& reason)
    {
        if (!real_)
            real_ = MakeLoadedChannels(st_);
        if (!real_)
            reason = "no event loop";
        return static_cast<IChannelService*>(real_.get());
    }

    TPoruBase& st_;
    std::shared_ptr<void> real_;
};

bool PrepareModule(const std::string& name)
{
    // The players run on the event loop.
    return name != "media" || EnsureEventLoop();
}

struct TInstallLateServices {
    TInstallLateServices()
    {
        gPrepareModule = PrepareModule;
        ProvideService<IChannelService>([](TPoruBase& st) -> std::unique_ptr<IChannelService> {
            if (gMakingChannels)
                return nullptr;
            return std::make_unique<TLateChannelService>(st);
        });
        ProvideServiceLater(typeid(ITcpService), EnsureEventLoop);
        ProvideServiceLater(typeid(ITimerService), EnsureEventLoop);
        // Once loaded, the event loop hands the own channel's requests over too.
        AtEventLoopLoad([] {
            if (gOwnChannel)
                gEventLoop->WatchReadable(InboxFd(), DrainOwnChannel);
        });
    }
};
TInstallLateServices gInstallLateServices;

}   // namespace

bool EnsureEventLoop()
{
    if (gEventLoop)
        return true;
    static bool tried = false;
    if (tried)
        return false;
    tried = true;
    std::string reason;
    if (!LoadModule("qt", reason) || !gEventLoop)
        return false;
    for (const std::function<void()>& fn : LoadHooks())
        fn();
    return true;
}

void AtEventLoopLoad(std::function<void()> fn)
{
    LoadHooks().push_back(std::move(fn));
}

void WaitWithoutEventLoop(int wakeFd, int ms)
{
    pollfd polled[2];
    int count = 0;
    if (gOwnChannel)
        polled[count++] = pollfd{InboxFd(), POLLIN, 0};
    if (wakeFd >= 0)
        polled[count++] = pollfd{wakeFd, POLLIN, 0};
    if (count == 0) {
        if (ms > 0)
            ::usleep(static_cast<useconds_t>(ms) * 1000);
        return;
    }
    if (::poll(polled, static_cast<nfds_t>(count), ms) > 0 && gOwnChannel && polled[0].revents != 0)
        DrainOwnChannel();
}
