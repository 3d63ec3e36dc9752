// Asynchronous TCP sockets on the host's event loop, for the TCP commands
// (net/tcp.cpp). The commands are plain C++; the host-service library implements
// this interface once for both hosts (services/tcp_qt.cpp).
//
// Bytes travel unchanged in both directions: no framing, no decoding. Texts (host
// names, addresses, messages) are Shift_JIS. Notifications come from the event loop,
// except that Send and Close may report the end of a connection before they return. A
// socket or server may be destroyed from inside its own notifications; nothing of it
// is touched afterwards, and destroying one never notifies.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

// The far end of a connection.
struct TTcpPeer {
    std::string Address;    // numeric ("127.0.0.1"; IPv4 peers never in the mapped IPv6 form)
    std::string HostName;   // the reverse lookup of the address; "" when it fails

    // "address,host name": how the commands describe a peer.
    std::string Description() const { return Address + "," + HostName; }
};

struct TTcpClientEvents {
    std::function<void()> Connected;
    // The connection could not be made (refused, no such host, ...): the reason.
    std::function<void(const std::string& reason)> Failed;
    // A connection that was made has ended (the peer closed or reset it).
    std::function<void()> Disconnected;
    std::function<void(std::string bytes)> Received;
    // Asked before reading: true leaves the bytes in the socket (its read buffer
    // is bounded, so the peer is slowed) until ResumeReading. Empty: always read.
    std::function<bool()> Full;
};

class ITcpClient {
public:
    virtual ~ITcpClient() = default;   // drops the connection at once

    // Starts connecting to host (a numeric address or a name to resolve); the
    // outcome is notified. A connection that is open is dropped first.
    virtual void Connect(const std::string& host, uint16_t port) = 0;
    virtual bool IsConnected() const = 0;
    // Connecting, connected or still writing its last output after Close.
    virtual bool IsOpen() const = 0;
    // Queues bytes and writes as much as the socket takes at once; the rest goes out
    // from the event loop. False with a message when there is no connection.
    virtual bool Send(std::string_view bytes, std::string& error) = 0;
    // Ends the connection once the queued output is written (an attempt that is
    // still connecting is abandoned); IsOpen() turns false when done.
    virtual void Close() = 0;
    // Bytes queued and not yet handed to the system.
    virtual int64_t PendingOutput() const = 0;
    virtual TTcpPeer Peer() const = 0;
    // Reads again after Full stopped the reading.
    virtual void ResumeReading() {}
};

struct TTcpServerEvents {
    std::function<void(int conn, const TTcpPeer& peer)> Accepted;
    std::function<void(int conn)> Closed;   // the client ended the connection
    std::function<void(int conn, std::string bytes)> Received;
    std::function<bool(int conn)> Full;   // as for the client
};

class ITcpServer {
public:
    virtual ~ITcpServer() = default;   // stops listening and drops every connection at once

    // Listens on every IPv4 interface (port 0: one the system picks).
    virtual bool Listen(uint16_t port, std::string& error) = 0;
    virtual bool IsListening() const = 0;
    virtual uint16_t Port() const = 0;
    // Connections are numbered from 1 in the order they arrive, never reused.
    virtual bool Send(int conn, std::string_view bytes, std::string& error) = 0;
    // Ends one connection once its queued output is written; no Closed follows.
    virtual void CloseConnection(int conn) = 0;
    // Stops listening and ends every connection as CloseConnection does, except that
    // each one still reports Closed when it is gone.
    virtual void Close() = 0;
    // Not listening, and every connection (also those being closed) gone.
    virtual bool IsClosed() const = 0;
    virtual int ConnectionCount() const = 0;
    // Bytes queued on every connection and not yet handed to the system.
    virtual int64_t PendingOutput() const = 0;
    // Reads every connection again after Full stopped the reading.
    virtual void ResumeReading() {}
};

class ITcpService {
public:
    virtual ~ITcpService() = default;
    virtual std::unique_ptr<ITcpClient> NewClient(TTcpClientEvents events) = 0;
    virtual std::unique_ptr<ITcpServer> NewServer(TTcpServerEvents events) = 0;
    // Processes the host's events (every kind, not only sockets) until a socket of
    // this service has notified something or ms milliseconds have passed.
    virtual void WaitForEvents(int ms) = 0;
};
