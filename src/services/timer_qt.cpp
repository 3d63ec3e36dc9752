// ITimerService over QTimer: one single-shot QTimer per started timer, deleted once it
// has fired or was cancelled.
#include <QTimer>

#include <algorithm>
#include <climits>
#include <map>
#include <memory>

#include "interp/services.h"
#include "interp/timer_service.h"

namespace {

class TQtTimers : public ITimerService {
public:
    ~TQtTimers() override
    {
        for (auto& [id, t] : timers_)
            delete t;
    }

    int Start(int64_t ms, std::function<void()> callback) override
    {
        const int id = ++lastId_ > 0 ? lastId_ : (lastId_ = 1);
        auto* t = new QTimer;
        t->setSingleShot(true);
        t->setTimerType(Qt::PreciseTimer);
        timers_[id] = t;
        QObject::connect(t, &QTimer::timeout, [this, id, cb = std::move(callback)] {
            auto it = timers_.find(id);
            if (it == timers_.end())
                return;
            QTimer* fired = it->second;
            timers_.erase(it);
            fired->deleteLater();
            cb();   // may start or cancel timers
        });
        t->start(static_cast<int>(std::clamp<int64_t>(ms, 0, INT_MAX)));
        return id;
    }

    void Cancel(int id) override
    {
        auto it = timers_.find(id);
        if (it == timers_.end())
            return;
        it->second->stop();
        it->second->deleteLater();
        timers_.erase(it);
    }

    int Pending() const override { return static_cast<int>(timers_.size()); }

private:
    std::map<int, QTimer*> timers_;
    int lastId_ = 0;
};

TServiceProvider<ITimerService> gTimers([](TPoruBase&) { return std::make_unique<TQtTimers>(); });

}   // namespace
