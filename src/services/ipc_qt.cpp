// IChannelService over QLocalServer and QLocalSocket.
//
// The servers live on an I/O thread of their own: it accepts connections, reads
// frames and acknowledges each one at once, whatever the interpreter is doing, so a
// client never waits for a busy program (nor for itself: a script may send to its
// own server). A request that arrived goes into an inbox; an eventfd wakes the main
// thread's event loop, where a socket notifier hands the requests to the servers'
// callbacks. The window host's busy pulse does not deliver socket notifiers, so
// script servers' labels run only at moments when events may run. Requests of an
// urgent server (the run-time's own) are also taken from the inbox by the run
// loop's pulse, which this service joins while one exists.
//
// Opening and closing a name happen under a lock on the channel folder: a socket file
// is removed only after connecting to it failed, and a server that ends removes its
// file before another can take the name, so two run-times never take each other's
// name away.
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QLocalServer>
#include <QLocalSocket>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>

#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <deque>
#include <map>
#include <mutex>

#include "core/text.h"
#include "interp/channel_service.h"
#include "interp/services.h"
#include "services/ipc_names.h"
#include "services/ipc_service.h"

extern void (*gRunLoopPulse)(TPoruBase&);

namespace {

// How soon a request that its server could not take is offered again.
constexpr int kRetryMs = 10;

struct TRequest {
    int Server = 0;
    bool Urgent = false;
    std::string Text;
};

// Requests on their way from the I/O thread to the main thread.
class TInbox {
public:
    TInbox() : fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}
    ~TInbox()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    int Fd() const { return fd_; }

    void Put(TRequest r)   // any thread
    {
        {
            std::lock_guard<std::mutex> lock(m_);
            if (r.Urgent)
                ++urgent_;
            q_.push_back(std::move(r));
        }
        Wake();
    }

    // Makes the main thread's notifier look at the inbox.
    void Wake()
    {
        const uint64_t one = 1;
        [[maybe_unused]] ssize_t n = ::write(fd_, &one, sizeof one);
    }

    // Puts a request back in front of the others.
    void PutBack(TRequest r)
    {
        std::lock_guard<std::mutex> lock(m_);
        if (r.Urgent)
            ++urgent_;
        q_.push_front(std::move(r));
    }

    // The first request (of an urgent server, with urgentOnly); false when none waits.
    bool Take(bool urgentOnly, TRequest& out)
    {
        std::lock_guard<std::mutex> lock(m_);
        for (auto it = q_.begin(); it != q_.end(); ++it) {
            if (urgentOnly && !it->Urgent)
                continue;
            out = std::move(*it);
            q_.erase(it);
            if (out.Urgent)
                --urgent_;
            return true;
        }
        return false;
    }

    bool UrgentWaiting() const { return urgent_.load(std::memory_order_relaxed) > 0; }

    void Reset()
    {
        uint64_t v = 0;
        [[maybe_unused]] ssize_t n = ::read(fd_, &v, sizeof v);
    }

private:
    int fd_;
    std::mutex m_;
    std::deque<TRequest> q_;
    std::atomic<int> urgent_{0};
};

// Reads the frames of one connection (I/O thread).
void ServeConnection(QLocalSocket* s, int server, bool urgent, TInbox* inbox)
{
    auto buffer = std::make_shared<std::string>();
    QObject::connect(s, &QLocalSocket::readyRead, s, [s, server, urgent, inbox, buffer] {
        const QByteArray bytes = s->readAll();
        buffer->append(bytes.constData(), static_cast<size_t>(bytes.size()));
        for (;;) {
            std::string text;
            const TFrameRead r = TakeFrame(*buffer, text);
            if (r == TFrameRead::Incomplete)
                return;
            if (r == TFrameRead::TooLong) {
                s->write(&kFrameRefused, 1);
                s->flush();
                s->disconnectFromServer();
                buffer->clear();
                return;
            }
            s->write(&kFrameAck, 1);
            s->flush();
            inbox->Put(TRequest{server, urgent, std::move(text)});
        }
    });
    QObject::connect(s, &QLocalSocket::disconnected, s, &QObject::deleteLater);
}

class THub;
THub* gUrgentHub = nullptr;
void (*gPreviousPulse)(TPoruBase&) = nullptr;
void ChannelPulse(TPoruBase& st);

// The I/O thread with its servers, and the main thread's side of the inbox.
class THub {
public:
    THub()
    {
        context_ = new QObject;
        context_->moveToThread(&thread_);
        thread_.start();
        notifier_ = new QSocketNotifier(inbox_.Fd(), QSocketNotifier::Read);
        QObject::connect(notifier_, &QSocketNotifier::activated, [this] {
            inbox_.Reset();
            Drain(false);
        });
    }

    ~THub()
    {
        if (gUrgentHub == this) {
            gUrgentHub = nullptr;
            if (gRunLoopPulse == ChannelPulse)
                gRunLoopPulse = gPreviousPulse;
        }
        delete notifier_;
        std::vector<int> ids;
        for (auto& [id, cb] : callbacks_)
            ids.push_back(id);
        for (int id : ids)
            Close(id);
        thread_.quit();
        thread_.wait();
        delete context_;   // its thread has ended: nothing of it runs any more
    }

    // A new server's id, or 0 with the reason.
    int Open(const std::string& path, bool urgent, TChannelHandler onRequest, std::string& reason)
    {
        const int id = ++lastId_;
        const std::string folder = path.substr(0, path.rfind('/') + 1);
        bool ok = false;
        QMetaObject::invokeMethod(
            context_,
            [&] {
                TChannelFolderLock lock(folder);
                const QString name = QString::fromStdString(path);
                // No socket options: with them the server is made elsewhere and
                // renamed over the name, which would take it from a live server. The
                // folder alone keeps other users out.
                auto* srv = new QLocalServer(context_);
                if (!srv->listen(name)) {
                    if (srv->serverError() == QAbstractSocket::AddressInUseError && !ChannelNameServed(path)) {
                        QLocalServer::removeServer(name);
                        ok = srv->listen(name);
                    }
                    if (!ok) {
                        reason = srv->serverError() == QAbstractSocket::AddressInUseError
                                     ? "in use"
                                     : srv->errorString().toStdString();
                        delete srv;
                        return;
                    }
                }
                ok = true;
                servers_[id] = srv;
                TInbox* inbox = &inbox_;
                QObject::connect(srv, &QLocalServer::newConnection, srv, [srv, id, urgent, inbox] {
                    while (QLocalSocket* s = srv->nextPendingConnection()) {
                        if (!PeerIsThisUser(static_cast<int>(s->socketDescriptor()))) {
                            s->abort();
                            s->deleteLater();
                            continue;
                        }
                        ServeConnection(s, id, urgent, inbox);
                    }
                });
            },
            Qt::BlockingQueuedConnection);
        if (!ok)
            return 0;
        callbacks_[id] = std::move(onRequest);
        if (urgent && !gUrgentHub) {
            gUrgentHub = this;
            gPreviousPulse = gRunLoopPulse;
            gRunLoopPulse = ChannelPulse;
        }
        return id;
    }

    void Close(int id)
    {
        callbacks_.erase(id);
        QMetaObject::invokeMethod(
            context_,
            [this, id] {
                auto it = servers_.find(id);
                if (it == servers_.end())
                    return;
                QLocalServer* srv = it->second;
                servers_.erase(it);
                const std::string path = srv->fullServerName().toStdString();
                TChannelFolderLock lock(path.substr(0, path.rfind('/') + 1));
                srv->close();   // removes the socket file
                delete srv;
            },
            Qt::BlockingQueuedConnection);
    }

    // Hands waiting requests to their servers' callbacks (main thread). A callback
    // may run event loops (and so this again) or close servers. A request that its
    // server cannot take yet goes back to the front, and the inbox is looked at
    // again after kRetryMs.
    void Drain(bool urgentOnly)
    {
        TRequest r;
        while (inbox_.Take(urgentOnly, r)) {
            auto it = callbacks_.find(r.Server);
            if (it == callbacks_.end())
                continue;
            TChannelHandler cb = it->second;   // the server may close inside
            if (!cb(r.Text)) {
                inbox_.PutBack(std::move(r));
                if (!retrying_) {
                    retrying_ = true;
                    QTimer::singleShot(kRetryMs, notifier_, [this] {
                        retrying_ = false;
                        inbox_.Wake();
                    });
                }
                return;
            }
        }
    }

    bool UrgentWaiting() const { return inbox_.UrgentWaiting(); }

private:
    QThread thread_;
    QObject* context_ = nullptr;   // lives in thread_: the servers' parent
    QSocketNotifier* notifier_ = nullptr;
    TInbox inbox_;
    std::map<int, QLocalServer*> servers_;       // I/O thread only
    std::map<int, TChannelHandler> callbacks_;   // main thread only
    int lastId_ = 0;
    bool retrying_ = false;
};

void ChannelPulse(TPoruBase& st)
{
    if (gPreviousPulse)
        gPreviousPulse(st);
    if (gUrgentHub && gUrgentHub->UrgentWaiting())
        gUrgentHub->Drain(true);
}

class TQtChannelServer final : public IChannelServer {
public:
    TQtChannelServer(std::shared_ptr<THub> hub, int id) : hub_(std::move(hub)), id_(id) {}
    ~TQtChannelServer() override { hub_->Close(id_); }

private:
    std::shared_ptr<THub> hub_;
    int id_;
};

class TQtChannelService final : public IChannelService {
public:
    std::unique_ptr<IChannelServer> Listen(const std::string& service, const std::string& topic, bool urgent,
                                           TChannelHandler onRequest, std::string& reason) override
    {
        const std::string folder = ChannelFolder();
        if (folder.empty()) {
            reason = "no private channel folder";
            return nullptr;
        }
        if (!hub_)
            hub_ = std::make_shared<THub>();
        const int id = hub_->Open(ChannelSocketPath(folder, service, topic), urgent, std::move(onRequest), reason);
        if (id == 0)
            return nullptr;
        return std::make_unique<TQtChannelServer>(hub_, id);
    }

    TChannelSend Send(const std::string& service, const std::string& topic, const std::string& text,
                      int timeoutMs) override
    {
        return SendChannelRequest(service, topic, text, timeoutMs);
    }

    void EndApplication(int status) override { QCoreApplication::exit(status); }

private:
    std::shared_ptr<THub> hub_;
};

}   // namespace

std::string ChannelSocketPath(const std::string& folder, std::string_view service, std::string_view topic)
{
    std::string path = HexChannelSocketPath(folder, service, topic);
    if (!path.empty())
        return path;
    // Too long for a socket address: a hash of both names (lower case, as above).
    const std::string s = LowerAsciiSjis(service);
    const std::string t = LowerAsciiSjis(topic);
    QByteArray both(s.data(), static_cast<qsizetype>(s.size()));
    both.append('\0');
    both.append(t.data(), static_cast<qsizetype>(t.size()));
    const QByteArray digest = QCryptographicHash::hash(both, QCryptographicHash::Sha256);
    return folder + "porukana-dde.h" + HexDigits(std::string_view(digest.constData(), 16));
}

namespace {

TServiceProvider<IChannelService> gChannels([](TPoruBase&) { return NewLocalChannelService(); });

}   // namespace

std::unique_ptr<IChannelService> NewLocalChannelService()
{
    return std::make_unique<TQtChannelService>();
}

TChannelSend SendChannelRequest(const std::string& service, const std::string& topic, const std::string& text,
                                int timeoutMs)
{
    const std::string folder = ChannelFolder();
    if (folder.empty())
        return TChannelSend::NoServer;
    return SendOnChannel(ChannelSocketPath(folder, service, topic), text, timeoutMs);
}
