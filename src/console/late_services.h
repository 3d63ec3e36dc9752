// The console starts without the platform's event loop: a script that never needs
// events ends before the libraries it lives in (porukana-qt.so and Qt's own) would
// have loaded. The services that need it (sockets, timers, the scripts' request
// channels, the players) load it on first use. The run-time's own request channel
// (the editor link) is served without it, by a thread of its own that takes every
// request at once, as the loaded service would; the requests are handed to the
// program between statements and while it waits.
#pragma once
#include <functional>

// Loads the event loop's module once; afterwards gEventLoop is set. False when it
// cannot be loaded (a service that needed it then reports that it is unavailable).
bool EnsureEventLoop();
// Called once, right after the event loop has loaded (the console's signal pipe).
void AtEventLoopLoad(std::function<void()> fn);

// Waits at most ms (0: only looks) for a request on the run-time's own channel, or
// for wakeFd (-1: none) to be readable; hands over the requests that came.
void WaitWithoutEventLoop(int wakeFd, int ms);
