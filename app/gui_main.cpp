// porukana: the window run-time. `porukana [options] FILE.prk [args]`,
// `porukana --help | --version`.
//
// Creates the main window and the interpreter state, finds the program (a container
// appended to the executable, the command line or the default start file), starts
// the run once the event loop is up and lives on in the event loop until the main
// window closes.
// Exit status: 0 normal end, 1 stopped after an error, 2 no program or a start-up
// failure, 130 after SIGINT and 143 after SIGTERM.
#include <QApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <sys/socket.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/check_main.h"
#include "core/codec.h"
#include "core/error.h"
#include "gui/gui_host.h"
#include "gui/main_window.h"
#include "gui/objects.h"
#include "interp/debug_link.h"
#include "interp/interp.h"
#include "interp/startup.h"
#include "loader/front_options.h"
#include "porukana_version.h"

namespace {

const char* const kUsage = "使い方: porukana [オプション] ファイル.prk [引数...]\n"
                           "ぽるかなのプログラムをウインドウで実行します。エラーはエラーの窓に出し、\n"
                           "標準エラーにも「[エラー] ファイル(N行目): メッセージ」の形で書きます。\n"
                           "ファイルを指定しないと、実行ファイルと同じ名前の .prk を実行します。\n"
                           "\n"
                           "オプション（ファイル名より前に置きます）:\n"
                           "  -sjis                 スクリプトをShift_JISとして読む\n"
                           "  -utf8                 スクリプトをUTF-8として読む（どちらもなければ自動判定）\n"
                           "  -debug                デバッグモードで実行する（注意もエラーの窓で知らせる）\n"
                           "  -linestop             一行ごとにデバッガを開く\n"
                           "  -security low|mid|high  ファイルを書くときの安全性の水準（既定は mid）\n"
                           "  -resource ファイル    合成ファイルをリソースとして使う\n"
                           "  -runtime ファイル     パックされたプログラムファイルを実行する\n"
                           "  --check ファイル...   実行せずに読み、誤りと注意を標準エラーに書く\n"
                           "                        （終了コード: 0 何もなし、1 エラーあり、3 注意だけ）\n"
                           "  -run                  実行ファイルに付いたプログラムを使わない\n"
                           "  --help                この使い方を表示して終わる\n"
                           "  --version             版を表示して終わる\n"
                           "\n"
                           "終了コード: 0 正常終了、1 エラーで停止、2 プログラムがない・起動できない\n"
                           "画面のない端末では porukana-cli を使ってください。\n";

// Messages Qt writes while the application object is made are held back: when the
// platform cannot be opened (no display), Qt ends with a fatal message after a dump
// of its plug-ins; that is replaced by one line saying why no window can open.
std::vector<std::string> gHeldMessages;

// Qt found its display plug-in but could not load it (a library it needs is
// missing), rather than failing to reach the display.
bool PluginLibraryMissing()
{
    bool notLoaded = false, noDisplay = false;
    for (const std::string& m : gHeldMessages) {
        notLoaded = notLoaded || m.find("Could not load the Qt platform plugin") != std::string::npos;
        noDisplay = noDisplay || m.find("could not connect to display") != std::string::npos;
    }
    return notLoaded && !noDisplay;
}

void WriteNoScreen()
{
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    const QByteArray display = qgetenv("DISPLAY");
    std::string line;
    if (!platform.isEmpty() && !platform.startsWith("xcb") && !platform.startsWith("wayland"))
        line =
            "porukana: ウインドウを開けません（Qt の表示プラグイン「" + platform.toStdString() + "」が使えません）。";
    else if (PluginLibraryMissing())
        line =
            "porukana: ウインドウを開けません（Qt の表示プラグイン「" +
            (platform.isEmpty() ? std::string("xcb") : platform.toStdString()) +
            "」に必要な共有ライブラリがありません。QT_DEBUG_PLUGINS=1 を付けて起動すると、足りないものがわかります）。";
    else if (display.isEmpty() && qgetenv("WAYLAND_DISPLAY").isEmpty())
        line = "porukana: 画面がないためウインドウを開けません（DISPLAY も WAYLAND_DISPLAY もありません）。"
               "端末では porukana-cli を使ってください。";
    else
        line = "porukana: 画面「" + (display.isEmpty() ? qgetenv("WAYLAND_DISPLAY") : display).toStdString() +
               "」に接続できないためウインドウを開けません。端末では porukana-cli を使ってください。";
    std::fprintf(stderr, "%s\n", line.c_str());
}

void HoldStartupMessage(QtMsgType type, const QMessageLogContext&, const QString& text)
{
    if (type != QtFatalMsg) {
        gHeldMessages.push_back(text.toStdString());
        return;
    }
    // QT_DEBUG_PLUGINS asks for Qt's own account: give it too.
    if (!qgetenv("QT_DEBUG_PLUGINS").isEmpty()) {
        for (const std::string& m : gHeldMessages)
            std::fprintf(stderr, "%s\n", m.c_str());
        std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    }
    WriteNoScreen();
    std::fflush(stderr);
    _exit(2);
}

void ReleaseStartupMessages()
{
    qInstallMessageHandler(nullptr);
    for (const std::string& m : gHeldMessages)
        std::fprintf(stderr, "%s\n", m.c_str());
    gHeldMessages.clear();
}

// The start-up failures are shown in their box and also written to standard error.
void WriteStartFailure(const std::string& sjisText)
{
    std::fprintf(stderr, "%s\n", SjisToUtf8(sjisText).c_str());
    std::fflush(stderr);
}

int gSignalPipe[2] = {-1, -1};

// SIGINT and SIGTERM end the program: the handler notes the signal (which the run
// loop's pulse reads while a script is busy) and wakes the event loop through a
// socket (for an idle program or one waiting in a dialog); either way the close
// label runs once and the window goes. A second signal ends the process at once.
void OnTerminateSignal(int sig)
{
    if (gStopSignal) {
        signal(sig, SIG_DFL);
        raise(sig);
        return;
    }
    gStopSignal = sig;
    char c = 1;
    [[maybe_unused]] ssize_t n = ::write(gSignalPipe[1], &c, 1);
}

void RouteTerminateSignals(TMainWindow& window, TPoruBase& st)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, gSignalPipe) != 0)
        return;
    auto* notifier = new QSocketNotifier(gSignalPipe[0], QSocketNotifier::Read, &window);
    TPoruBase* sp = &st;
    QObject::connect(notifier, &QSocketNotifier::activated, &window, [sp] {
        char c;
        [[maybe_unused]] ssize_t n = ::read(gSignalPipe[0], &c, 1);
        StopForSignal(*sp);
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
    // --check FILE...: reads the programs without running them (no window).
    if (argc >= 2 && std::string(argv[1]) == "--check")
        return RunCheckCommand(argc - 2, argv + 2, false);
    switch (FindFrontOption(argc, argv)) {
    case TFrontOption::Help:
        std::fputs(kUsage, stdout);
        return 0;
    case TFrontOption::Version:
        std::printf("porukana %s\n", PORUKANA_VERSION);
        return 0;
    case TFrontOption::None:
        break;
    }
    qInstallMessageHandler(HoldStartupMessage);
    // The browser's web engine, loaded later as a module, shares OpenGL contexts.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    ReleaseStartupMessages();
    // Message boxes shown while the main window is hidden must not end the program.
    QApplication::setQuitOnLastWindowClosed(false);

    TPoruBase st;
    TMainWindow window;
    window.CentreOnScreen();
    TGuiHost host(&window, st);
    st.Host = &host;
    st.LeaveWordsAtExit = true;   // a large table is not freed word by word at exit
    window.SetClosedHandler([] { QCoreApplication::quit(); });
    RouteTerminateSignals(window, st);

    const TStartResult start = PrepareStartFromArgv(st, argc, argv);
    if (!start.HasProgram) {
        const std::string errorMark = SeverityMark(TSeverity::Error);
        if (!start.ErrorText.empty()) {
            host.ShowErrorDialog(st, errorMark + start.ErrorText + "\r\n");
        } else if (!start.WarningText.empty()) {
            WriteStartFailure(errorMark + start.WarningCaption + ": " + start.WarningText);
            host.WarningBox(start.WarningCaption, start.WarningText);
        } else if (!start.MessageText.empty()) {
            WriteStartFailure(errorMark + start.MessageText);
            host.MessageBox(start.MessageText);
        } else {
            std::fprintf(stderr, "porukana: プログラムが指定されていません。\n"
                                 "使い方: porukana [オプション] ファイル.prk [引数...]（詳しくは porukana --help）\n");
        }
        return start.ExitCode();
    }

    // The request channel of editors and porukana-send ("line", "pause", "break").
    StartCommandChannel(st);

    // The run starts once the event loop runs, so that the window can show and
    // dialogs can open; when it ends the window stays until it is closed.
    QTimer::singleShot(0, &window, [&st] { st.RunProgram(); });
    app.exec();
    // After SIGINT or SIGTERM: 128 + the signal's number, as a shell reports it.
    if (gStopSignal)
        return 128 + gStopSignal;
    return st.StoppedByError ? 1 : 0;
}
