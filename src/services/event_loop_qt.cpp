// IEventLoop over QCoreApplication, for the console, which loads this module (with
// the other Qt services) only when a script first needs events. The application
// object is made while the module loads, before any service of it is created; it is
// never destroyed (it lives until the process ends, as it would in main).
#include <QCoreApplication>
#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>

#include "interp/event_loop.h"

namespace {

class TQtEventLoop final : public IEventLoop {
public:
    void ProcessEvents() override { QCoreApplication::processEvents(); }

    void WaitForEvents(int ms) override
    {
        QTimer wake;   // its tick ends the blocking wait at the deadline
        wake.setSingleShot(true);
        wake.start(ms);
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }

    int Exec() override { return QCoreApplication::exec(); }
    void Exit(int status) override { QCoreApplication::exit(status); }

    void After(int ms, std::function<void()> fn) override { QTimer::singleShot(ms, std::move(fn)); }

    void WatchReadable(int fd, std::function<void()> fn) override
    {
        auto* notifier = new QSocketNotifier(fd, QSocketNotifier::Read, QCoreApplication::instance());
        QObject::connect(notifier, &QSocketNotifier::activated, std::move(fn));
    }
};

struct TInstallLoop {
    TInstallLoop()
    {
        if (!QCoreApplication::instance()) {
            static int argc = 1;
            static char name[] = "porukana-cli";
            static char* argv[] = {name, nullptr};
            app = new QCoreApplication(argc, argv);
        }
        gEventLoop = &loop;
    }
    TQtEventLoop loop;
    QCoreApplication* app = nullptr;
};
TInstallLoop gInstallLoop;

}   // namespace
