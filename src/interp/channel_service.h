// Local request channels between the programs of one user: a server is named by a
// service and a topic; a client sends it one request text at a time and gets an
// acknowledgement once the server has taken the whole text. The run-time's own
// server (the editor link) and the scripts' servers and clients (DDEサーバー作成,
// DDE送信) use them. The host-service library implements this once for both hosts
// (services/ipc_qt.cpp); the naming and framing are described in
// services/ipc_names.h.
//
// Texts are Shift_JIS and travel unchanged. Requests are handed to the server's
// callback from the event loop, never from inside the socket's own notification;
// an `urgent` server's requests are also handed over while the interpreter is busy
// (between two statements of a long computation), so that a program that never
// waits can still be paused or stopped.
#pragma once
#include <functional>
#include <memory>
#include <string>

// Takes one request; false when it cannot be taken now (it is offered again a
// little later, before any request that came after it).
using TChannelHandler = std::function<bool(const std::string& text)>;

class IChannelServer {
public:
    virtual ~IChannelServer() = default;   // stops listening and frees the name
};

enum class TChannelSend {
    Sent,       // acknowledged by the server
    NoServer,   // nobody serves that name (no link)
    Failed,     // linked, but the request was not acknowledged
};

class IChannelService {
public:
    virtual ~IChannelService() = default;

    // Starts serving (service, topic). Fails, with a reason, when another live
    // server holds the name or the channel folder is unusable; a name left behind
    // by a server that ended without closing is taken over.
    virtual std::unique_ptr<IChannelServer> Listen(const std::string& service, const std::string& topic, bool urgent,
                                                   TChannelHandler onRequest, std::string& reason) = 0;
    // Sends one request and waits at most timeoutMs for its acknowledgement.
    virtual TChannelSend Send(const std::string& service, const std::string& topic, const std::string& text,
                              int timeoutMs) = 0;
    // Ends the host's event loop (and so the program) with this status once control
    // returns to it.
    virtual void EndApplication(int status) = 0;
};
