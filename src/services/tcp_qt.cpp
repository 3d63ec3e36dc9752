// ITcpService over QTcpSocket and QTcpServer on the thread's Qt event loop.
//
// An object may be destroyed by a callback that runs inside one of its own slots
// (a script's handler closes the connection that just received data). Every slot
// therefore runs counted (TSlotGuard): while one is in progress the Qt objects are
// handed to deleteLater, otherwise they are deleted at once, so that a script that
// opens and closes thousands of connections without returning to the event loop
// keeps nothing behind. A destroyed object disconnects its Qt objects' signals and
// closes their descriptors before anything else.
#include <QEventLoop>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>

#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <vector>

#include "core/codec.h"
#include "interp/services.h"
#include "net/tcp_service.h"
#include "services/qt_text.h"

namespace {

// How long a connection ended with queued output may take to write it before it is
// dropped.
constexpr int kLingerMs = 10000;
constexpr int kListenBacklog = 256;
// What a socket reads ahead of the commands: with a bounded buffer, a socket whose
// commands hold too much stops reading and TCP slows its peer.
constexpr qint64 kReadBufferBytes = qint64(1) << 20;

// Wakes WaitForEvents when a socket of the service notifies something.
struct TWaker {
    QEventLoop* Loop = nullptr;
    void Wake()
    {
        if (Loop)
            Loop->quit();
    }
};

std::string Sjis(const char* utf8)
{
    return Utf8ToSjis(utf8);
}

// The Japanese text of a socket error; Qt's own text for the rare ones.
std::string Reason(QAbstractSocket::SocketError e, const QString& qtText)
{
    switch (e) {
    case QAbstractSocket::ConnectionRefusedError:
        return Sjis("接続を拒否されました");
    case QAbstractSocket::RemoteHostClosedError:
        return Sjis("相手先が接続を閉じました");
    case QAbstractSocket::HostNotFoundError:
        return Sjis("ホストが見つかりません");
    case QAbstractSocket::SocketAccessError:
        return Sjis("ソケットを使う権限がありません");
    case QAbstractSocket::SocketResourceError:
        return Sjis("ソケットの資源が足りません");
    case QAbstractSocket::SocketTimeoutError:
        return Sjis("タイムアップ");
    case QAbstractSocket::NetworkError:
        return Sjis("ネットワークのエラーです");
    case QAbstractSocket::AddressInUseError:
        return Sjis("そのポートは既に使われています");
    case QAbstractSocket::SocketAddressNotAvailableError:
        return Sjis("そのアドレスは使えません");
    default:
        return QStringToSjis(qtText);
    }
}

std::string NotConnected()
{
    return Sjis("接続されていません");
}

// The host name of an address by a reverse lookup; "" when there is none.
std::string ReverseLookup(const QHostAddress& a)
{
    sockaddr_storage ss{};
    socklen_t len = 0;
    if (a.protocol() == QAbstractSocket::IPv4Protocol) {
        auto* in = reinterpret_cast<sockaddr_in*>(&ss);
        in->sin_family = AF_INET;
        in->sin_addr.s_addr = htonl(a.toIPv4Address());
        len = sizeof(sockaddr_in);
    } else if (a.protocol() == QAbstractSocket::IPv6Protocol) {
        auto* in6 = reinterpret_cast<sockaddr_in6*>(&ss);
        in6->sin6_family = AF_INET6;
        const Q_IPV6ADDR b = a.toIPv6Address();
        std::memcpy(&in6->sin6_addr, &b, sizeof b);
        len = sizeof(sockaddr_in6);
    } else {
        return std::string();
    }
    char host[NI_MAXHOST];
    if (getnameinfo(reinterpret_cast<sockaddr*>(&ss), len, host, sizeof host, nullptr, 0, NI_NAMEREQD) != 0)
        return std::string();
    return Utf8ToSjis(host);
}

TTcpPeer PeerOf(const QAbstractSocket* s)
{
    QHostAddress a = s->peerAddress();
    bool v4 = false;
    const quint32 ip4 = a.toIPv4Address(&v4);   // also unwraps ::ffff:a.b.c.d
    if (v4)
        a = QHostAddress(ip4);
    TTcpPeer p;
    p.Address = a.isNull() ? std::string() : a.toString().toStdString();
    p.HostName = a.isNull() ? std::string() : ReverseLookup(a);
    p.Port = s->peerPort();
    return p;
}

std::string ToBytes(const QByteArray& b)
{
    return std::string(b.constData(), static_cast<size_t>(b.size()));
}

bool WriteBytes(QTcpSocket* s, std::string_view bytes, std::string& error)
{
    if (!s || s->state() != QAbstractSocket::ConnectedState) {
        error = NotConnected();
        return false;
    }
    if (bytes.empty())
        return true;
    if (s->write(bytes.data(), static_cast<qint64>(bytes.size())) != static_cast<qint64>(bytes.size())) {
        error = Reason(s->error(), s->errorString());
        return false;
    }
    s->flush();   // at once rather than at the next turn of the event loop
    return true;
}

// The part shared by the client and the server: slots counted, deletion deferred
// while one runs, and the service's waker.
class TSlotOwner {
public:
    explicit TSlotOwner(std::shared_ptr<TWaker> waker) : waker_(std::move(waker)) {}
    ~TSlotOwner() { *alive_ = false; }

protected:
    // Runs a slot's body; false when the object was destroyed inside it (the caller
    // must then return without touching any member).
    template <class F> bool InSlot(F&& body)
    {
        std::shared_ptr<bool> alive = alive_;
        ++depth_;
        body();
        if (!*alive)
            return false;
        --depth_;
        return true;
    }
    // Calls back into the commands; false when the object was destroyed meanwhile.
    template <class F> bool Notify(F&& callback)
    {
        std::shared_ptr<bool> alive = alive_;
        waker_->Wake();
        callback();
        return *alive;
    }
    // Frees a socket or server whose signals are already disconnected.
    void Dispose(QObject* o)
    {
        if (depth_ > 0)
            o->deleteLater();
        else
            delete o;
    }
    // Drops a socket at once: no notification, descriptor closed, object freed.
    void DropSocket(QTcpSocket* s)
    {
        s->disconnect();
        s->abort();
        Dispose(s);
    }

    std::shared_ptr<TWaker> waker_;

private:
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    int depth_ = 0;
};

class TQtTcpClient final : public ITcpClient, TSlotOwner {
public:
    TQtTcpClient(TTcpClientEvents events, std::shared_ptr<TWaker> waker)
        : TSlotOwner(std::move(waker)), ev_(std::move(events))
    {
        NewSocket();
    }
    ~TQtTcpClient() override { DropSocket(sock_); }

    void Connect(const std::string& host, uint16_t port) override
    {
        if (sock_->state() != QAbstractSocket::UnconnectedState) {
            DropSocket(sock_);
            NewSocket();
        }
        connected_ = false;
        peer_ = TTcpPeer();
        sock_->connectToHost(SjisToQString(host), port);
    }

    bool IsConnected() const override { return sock_->state() == QAbstractSocket::ConnectedState; }
    bool IsOpen() const override { return sock_->state() != QAbstractSocket::UnconnectedState; }

    bool Send(std::string_view bytes, std::string& error) override { return WriteBytes(sock_, bytes, error); }

    void Close() override
    {
        switch (sock_->state()) {
        case QAbstractSocket::UnconnectedState:
        case QAbstractSocket::ClosingState:
            return;
        case QAbstractSocket::ConnectedState:
            sock_->disconnectFromHost();   // writes what is queued, then closes
            return;
        default:   // still looking up or connecting: give the attempt up
            sock_->abort();
            return;
        }
    }

    int64_t PendingOutput() const override { return sock_->bytesToWrite(); }
    TTcpPeer Peer() const override { return peer_; }
    void ResumeReading() override
    {
        InSlot([this] { Deliver(); });
    }

private:
    void NewSocket()
    {
        sock_ = new QTcpSocket;
        sock_->setReadBufferSize(kReadBufferBytes);
        QObject::connect(sock_, &QAbstractSocket::connected, [this] { InSlot([this] { OnConnected(); }); });
        QObject::connect(sock_, &QAbstractSocket::disconnected, [this] { InSlot([this] { OnDisconnected(); }); });
        QObject::connect(sock_, &QAbstractSocket::errorOccurred,
                         [this](QAbstractSocket::SocketError e) { InSlot([this, e] { OnError(e); }); });
        QObject::connect(sock_, &QIODevice::readyRead, [this] { InSlot([this] { Deliver(); }); });
    }

    void OnConnected()
    {
        connected_ = true;
        sock_->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        peer_ = PeerOf(sock_);
        Notify(ev_.Connected);
    }

    void OnDisconnected()
    {
        if (!connected_)
            return;           // an attempt that failed was reported by OnError
        if (!Deliver(true))   // what arrived just before the end
            return;
        connected_ = false;
        Notify(ev_.Disconnected);
    }

    void OnError(QAbstractSocket::SocketError e)
    {
        if (connected_)
            return;   // the end of a connection that was made comes as disconnected()
        const std::string reason = Reason(e, sock_->errorString());
        Notify([&] { ev_.Failed(reason); });
    }

    // Hands what has arrived to the commands (stopping while they are full, unless
    // `all`); false when the client was destroyed meanwhile.
    bool Deliver(bool all = false)
    {
        QTcpSocket* s = sock_;
        while (sock_ == s && s->bytesAvailable() > 0) {
            if (!all && ev_.Full && ev_.Full())
                return true;   // left in the socket until ResumeReading
            std::string bytes = ToBytes(s->readAll());
            if (!Notify([&] { ev_.Received(std::move(bytes)); }))
                return false;
        }
        return true;
    }

    TTcpClientEvents ev_;
    QTcpSocket* sock_ = nullptr;
    bool connected_ = false;
    TTcpPeer peer_;
};

class TQtTcpServer final : public ITcpServer, TSlotOwner {
public:
    TQtTcpServer(TTcpServerEvents events, std::shared_ptr<TWaker> waker)
        : TSlotOwner(std::move(waker)), ev_(std::move(events))
    {
        srv_ = new QTcpServer;
        srv_->setListenBacklogSize(kListenBacklog);
        QObject::connect(srv_, &QTcpServer::newConnection, [this] { InSlot([this] { Accept(); }); });
    }

    ~TQtTcpServer() override
    {
        for (auto& [id, s] : conns_)
            DropSocket(s);
        for (QTcpSocket* s : closing_)
            DropSocket(s);
        srv_->disconnect();
        srv_->close();
        Dispose(srv_);
    }

    bool Listen(uint16_t port, std::string& error) override
    {
        if (srv_->isListening())
            srv_->close();
        // Both families, so that IPv6 clients (and a second client on this machine
        // through ::1) can connect; IPv4 peers are reported in their plain form by
        // PeerOf. Without IPv6 on the machine, IPv4 alone.
        if (srv_->listen(QHostAddress::Any, port))
            return true;
        if (!srv_->listen(QHostAddress::AnyIPv4, port)) {
            error = Reason(srv_->serverError(), srv_->errorString());
            return false;
        }
        return true;
    }

    bool IsListening() const override { return srv_->isListening(); }
    uint16_t Port() const override { return srv_->serverPort(); }

    bool Send(int conn, std::string_view bytes, std::string& error) override
    {
        auto it = conns_.find(conn);
        return WriteBytes(it == conns_.end() ? nullptr : it->second, bytes, error);
    }

    void CloseConnection(int conn) override
    {
        auto it = conns_.find(conn);
        if (it == conns_.end())
            return;
        QTcpSocket* s = it->second;
        conns_.erase(it);
        s->disconnect();
        EndGracefully(s);
    }

    void Close() override
    {
        srv_->close();
        std::vector<int> ids;
        for (auto& [id, s] : conns_)
            ids.push_back(id);
        for (int id : ids) {
            auto it = conns_.find(id);
            if (it != conns_.end())
                it->second->disconnectFromHost();   // disconnected() reports Closed
        }
    }

    bool IsClosed() const override { return !srv_->isListening() && conns_.empty() && closing_.empty(); }
    int ConnectionCount() const override { return static_cast<int>(conns_.size()); }

    int64_t PendingOutput() const override
    {
        int64_t n = 0;
        for (auto& [id, s] : conns_)
            n += s->bytesToWrite();
        for (QTcpSocket* s : closing_)
            n += s->bytesToWrite();
        return n;
    }

    void ResumeReading() override
    {
        InSlot([this] {
            std::vector<int> ids;
            for (auto& [id, s] : conns_)
                ids.push_back(id);
            for (int id : ids)
                if (!Deliver(id))
                    return;
        });
    }

private:
    void Accept()
    {
        while (srv_->hasPendingConnections()) {
            QTcpSocket* s = srv_->nextPendingConnection();
            s->setParent(nullptr);   // freed here, not with the server
            s->setReadBufferSize(kReadBufferBytes);
            s->setSocketOption(QAbstractSocket::LowDelayOption, 1);
            const int id = ++lastId_;
            conns_[id] = s;
            QObject::connect(s, &QIODevice::readyRead, [this, id] { InSlot([this, id] { Deliver(id); }); });
            QObject::connect(s, &QAbstractSocket::disconnected, [this, id] { InSlot([this, id] { Gone(id); }); });
            const TTcpPeer peer = PeerOf(s);
            if (!Notify([&] { ev_.Accepted(id, peer); }))
                return;
        }
    }

    // False when the server was destroyed meanwhile. Stops while the commands are
    // full, unless `all`.
    bool Deliver(int id, bool all = false)
    {
        for (;;) {
            auto it = conns_.find(id);
            if (it == conns_.end() || it->second->bytesAvailable() <= 0)
                return true;
            if (!all && ev_.Full && ev_.Full(id))
                return true;   // left in the socket until ResumeReading
            std::string bytes = ToBytes(it->second->readAll());
            if (!Notify([&] { ev_.Received(id, std::move(bytes)); }))
                return false;
        }
    }

    void Gone(int id)
    {
        if (!Deliver(id, true))
            return;
        auto it = conns_.find(id);
        if (it == conns_.end())
            return;
        QTcpSocket* s = it->second;
        conns_.erase(it);
        s->disconnect();
        Dispose(s);
        Notify([&] { ev_.Closed(id); });
    }

    // Ends a connection that is no longer listed once its queued output is written
    // (or the linger time is over).
    void EndGracefully(QTcpSocket* s)
    {
        if (s->state() != QAbstractSocket::ConnectedState || s->bytesToWrite() == 0) {
            s->abort();
            Dispose(s);
            return;
        }
        closing_.insert(s);
        QObject::connect(s, &QAbstractSocket::disconnected, [this, s] {
            InSlot([this, s] {
                closing_.erase(s);
                s->disconnect();
                Dispose(s);
            });
        });
        QTimer::singleShot(kLingerMs, s, [s] { s->abort(); });
        s->disconnectFromHost();
    }

    TTcpServerEvents ev_;
    QTcpServer* srv_ = nullptr;
    std::map<int, QTcpSocket*> conns_;
    std::set<QTcpSocket*> closing_;
    int lastId_ = 0;
};

class TQtTcpService final : public ITcpService {
public:
    TQtTcpService()
    {
        // A write to a connection the peer has reset must fail, not end the process.
        signal(SIGPIPE, SIG_IGN);
    }

    std::unique_ptr<ITcpClient> NewClient(TTcpClientEvents events) override
    {
        return std::make_unique<TQtTcpClient>(std::move(events), waker_);
    }

    std::unique_ptr<ITcpServer> NewServer(TTcpServerEvents events) override
    {
        return std::make_unique<TQtTcpServer>(std::move(events), waker_);
    }

    void WaitForEvents(int ms) override
    {
        QEventLoop loop;
        QTimer limit;
        limit.setSingleShot(true);
        limit.setTimerType(Qt::PreciseTimer);
        QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
        limit.start(std::max(ms, 0));
        QEventLoop* outer = waker_->Loop;
        waker_->Loop = &loop;
        loop.exec();
        waker_->Loop = outer;
    }

private:
    std::shared_ptr<TWaker> waker_ = std::make_shared<TWaker>();
};

TServiceProvider<ITcpService> gTcp([](TPoruBase&) { return std::make_unique<TQtTcpService>(); });

}   // namespace
