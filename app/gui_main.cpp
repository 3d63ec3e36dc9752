// porukana: the window run-time. `porukana [options] FILE.prk [args]`
//
// Creates the main window and the interpreter state, finds the program (a container
// appended to the executable, the command line or the default start file), starts
// the run once the event loop is up and lives on in the event loop until the main
// window closes.
// Exit status: 0 normal end, 1 stopped after an error, 2 no program or a start-up
// failure.
#include <QApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <sys/socket.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <string>

#include "core/codec.h"
#include "gui/gui_host.h"
#include "gui/main_window.h"
#include "interp/debug_link.h"
#include "interp/interp.h"
#include "loader/startup.h"

namespace {

int gSignalPipe[2] = {-1, -1};

void OnTerminateSignal(int)
{
    char c = 1;
    [[maybe_unused]] ssize_t n = ::write(gSignalPipe[1], &c, 1);
}

// SIGINT and SIGTERM close the main window the normal way (close label, temporary
// files removed); a second signal while the window refuses to close ends the loop.
void RouteTerminateSignals(TMainWindow& window)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, gSignalPipe) != 0)
        return;
    auto* notifier = new QSocketNotifier(gSignalPipe[0], QSocketNotifier::Read, &window);
    QObject::connect(notifier, &QSocketNotifier::activated, &window, [&window] {
        static int received = 0;
        char c;
        [[maybe_unused]] ssize_t n = ::read(gSignalPipe[0], &c, 1);
        if (++received > 1)
            QCoreApplication::exit(1);
        else
            window.RequestClose();
    });
    struct sigaction sa {};
    sa.sa_handler = OnTerminateSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
}

}   // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    // Message boxes shown while the main window is hidden must not end the program.
    QApplication::setQuitOnLastWindowClosed(false);

    TPoruBase st;
    TMainWindow window;
    window.CentreOnScreen();
    TGuiHost host(&window, st);
    st.Host = &host;
    window.SetClosedHandler([] { QCoreApplication::quit(); });
    RouteTerminateSignals(window);

    const TStartResult start = PrepareStartFromArgv(st, argc, argv);
    if (!start.HasProgram) {
        if (!start.ErrorText.empty())
            host.ShowErrorDialog(st, start.ErrorText + "\r\n");
        else if (!start.WarningText.empty())
            host.WarningBox(start.WarningCaption, start.WarningText);
        else if (!start.MessageText.empty())
            host.MessageBox(start.MessageText);
        else
            std::fprintf(stderr, "usage: porukana [-debug] [-linestop] [-security low|mid|high] FILE.prk [args]\n");
        return start.ExitCode();
    }

    // The request channel of editors and porukana-send ("line", "pause", "break").
    StartCommandChannel(st);

    // The run starts once the event loop runs, so that the window can show and
    // dialogs can open; when it ends the window stays until it is closed.
    QTimer::singleShot(0, &window, [&st] { st.RunProgram(); });
    app.exec();
    return st.StoppedByError ? 1 : 0;
}
