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
    uint16_t Port = 0;      // the far end's port

    // "address,host name": how the commands describe a peer.
    std::string Description() const { return Address + "," + HostName; }
    // "address:port" ("[address]:port" for IPv6): one connection among several
    // from the same address.
    std::string Endpoint() const
    {
        const std::string a = Address.find(':') == std::string::npos ? Address : "[" + Address + "]";
        return a + ":" + std::to_string(Port);
    }
};

// Splits "address:port" (a port of 1 to 65535 after the last ":"; an IPv6 address
// goes in brackets, "[::1]:80") into its parts; false for any other text, which is
// then an address or a host name alone.
inline bool SplitEndpoint(const std::string& text, std::string& address, uint16_t& port)
{
    const size_t colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 == text.size() || text.size() - colon > 6)
        return false;
    unsigned value = 0;
    for (size_t i = colon + 1; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        value = value * 10 + static_cast<unsigned>(text[i] - '0');
    }
    std::string head = text.substr(0, colon);
    if (head.front() == '[') {
        if (head.size() < 3 || head.back() != ']')
            return false;
        head = head.substr(1, head.size() - 2);
    } else if (head.find(':') != std::string::npos || head.back() == ']') {
        return false;   // a bare IPv6 address: its last group is no port
    }
    if (value == 0 || value > 65535 || head.empty())
        return false;
    address = head;
    port = static_cast<uint16_t>(value);
    return true;
}

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
