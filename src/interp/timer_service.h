// One-shot timers on the host's event loop, for families that must act later without
// blocking the script (a connect time limit, a retry, an animation frame). The
// callback runs from the event loop; it may start or cancel timers itself.
#pragma once
#include <cstdint>
#include <functional>

class ITimerService {
public:
    virtual ~ITimerService() = default;
    // Starts a timer that fires once after ms milliseconds (0: at the next turn of the
    // event loop); returns its id, never 0.
    virtual int Start(int64_t ms, std::function<void()> callback) = 0;
    // Cancels a timer that has not fired; unknown or fired ids are ignored.
    virtual void Cancel(int id) = 0;
    // Timers started and not yet fired or cancelled.
    virtual int Pending() const = 0;
};
