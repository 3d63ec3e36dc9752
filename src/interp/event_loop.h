// The platform's event loop for a run-time that starts without it (the console): a
// script that only computes, reads and writes never needs it, and the libraries it
// lives in take longer to load than such a script takes to run. The module that
// carries it (porukana-qt.so) sets gEventLoop while it loads; the host loads that
// module the first time something needs events (a socket, a timer, a request on the
// run-time's own channel, a player).
#pragma once
#include <functional>

class IEventLoop {
public:
    virtual ~IEventLoop() = default;
    // Runs what is due now, without waiting.
    virtual void ProcessEvents() = 0;
    // Waits until an event was handled or ms milliseconds have passed.
    virtual void WaitForEvents(int ms) = 0;
    // Runs the loop until Exit; returns Exit's status.
    virtual int Exec() = 0;
    virtual void Exit(int status) = 0;
    // Calls fn once, ms milliseconds from now, from the loop.
    virtual void After(int ms, std::function<void()> fn) = 0;
    // Calls fn from the loop whenever fd can be read.
    virtual void WatchReadable(int fd, std::function<void()> fn) = 0;
};

// Nil until the module carrying the loop has loaded.
extern IEventLoop* gEventLoop;
