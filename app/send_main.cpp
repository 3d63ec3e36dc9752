// porukana-send: talks to the request channels of running programs from a shell or
// an editor.
//
//   porukana-send [--raw] [--wait SECONDS] SERVICE TOPIC TEXT
//       Sends TEXT to the server (SERVICE, TOPIC) and waits for its
//       acknowledgement. A run-time serves the topic "command" under its executable's
//       name: `porukana-send porukana-cli command pause` pauses a console program.
//       --wait keeps trying to reach the server for that many seconds (a program
//       that is still starting).
//   porukana-send --help | --version   (the usage in Japanese, the version)
//   porukana-send [--raw] --listen SERVICE TOPIC [COUNT]
//       Serves (SERVICE, TOPIC) itself and writes every request it receives to
//       standard output, one a line (line breaks inside a request as "\n"); ends
//       after COUNT requests, or when killed. `--listen porupad command` plays the
//       editor's part and shows the "row N" reports of "line porupad". SIGINT and
//       SIGTERM end it and give the name up.
//
// Arguments and output are UTF-8 and converted from and to Shift_JIS, the encoding of
// the programs' texts; --raw passes the bytes unchanged.
// Exit status: 0 done, 1 no server answered, 2 wrong arguments or the name cannot
// be served, 3 the server did not acknowledge the request.
#include <QCoreApplication>
#include <QSocketNotifier>
#include <QThread>

#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/codec.h"
#include "porukana_version.h"
#include "services/ipc_service.h"

namespace {

constexpr int kAckTimeoutMs = 5000;
constexpr int kRetryMs = 100;

const char* const kUsage =
    "使い方: porukana-send [--raw] [--wait 秒] サービス トピック 文字列\n"
    "        porukana-send [--raw] --listen サービス トピック [回数]\n"
    "動いているぽるかなのプログラムの受け口（サービスとトピック）に文字列を送り、受け取られるのを待ちます。\n"
    "実行環境は実行ファイルの名前をサービス名、command をトピックとして、line（今の行）、\n"
    "pause（一時停止）、break（停止）を受け付けます。\n"
    "例: porukana-send porukana-cli command pause\n"
    "\n"
    "オプション:\n"
    "  --raw          引数と出力を Shift_JIS のまま扱う（既定は UTF-8 と変換）\n"
    "  --wait 秒      相手が見つかるまで、その秒数だけ試し続ける\n"
    "  --listen       自分が受け口になり、届いた文字列を一行ずつ表示する（回数を受け取ると終わる）\n"
    "  --help         この使い方を表示して終わる\n"
    "  --version      版を表示して終わる\n"
    "\n"
    "終了コード: 0 送れた、1 どのプログラムも応答しない、2 引数の誤り・受け口になれない、3 相手が受け取らない\n";

// Wrong arguments: the usage on standard error, status 2; --help: on standard output.
int Usage(bool asked = false)
{
    std::fputs(kUsage, asked ? stdout : stderr);
    return asked ? 0 : 2;
}

std::string OneLine(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            continue;   // the LF writes the break
        out += (text[i] == '\r' || text[i] == '\n') ? std::string("\\n") : std::string(1, text[i]);
    }
    return out;
}

// SIGINT and SIGTERM end a listener the normal way, so that its name is given up.
int gSignalPipe[2] = {-1, -1};

void OnSignal(int)
{
    const char c = 1;
    [[maybe_unused]] ssize_t n = ::write(gSignalPipe[1], &c, 1);
}

void QuitOnSignals(QCoreApplication& app)
{
    if (::pipe(gSignalPipe) != 0)
        return;
    auto* notifier = new QSocketNotifier(gSignalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [&app] { app.exit(0); });
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    ::sigaction(SIGINT, &sa, nullptr);
    ::sigaction(SIGTERM, &sa, nullptr);
}

int Listen(QCoreApplication& app, const std::string& service, const std::string& topic, long count, bool raw)
{
    std::unique_ptr<IChannelService> channels = NewLocalChannelService();
    long received = 0;
    std::string reason;
    auto server = channels->Listen(
        service, topic, false,
        [&](const std::string& text) {
            const std::string line = OneLine(text) + "\n";
            const std::string out = raw ? line : SjisToUtf8(line);
            std::fwrite(out.data(), 1, out.size(), stdout);
            std::fflush(stdout);
            if (count > 0 && ++received >= count)
                app.quit();
            return true;
        },
        reason);
    if (!server) {
        std::fprintf(stderr, "porukana-send: この名前の受け口になれません（%s）。\n", reason.c_str());
        return 2;
    }
    QuitOnSignals(app);
    return app.exec();
}

}   // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    bool raw = false, listen = false;
    double waitSeconds = 0;
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--raw")
            raw = true;
        else if (a == "--listen")
            listen = true;
        else if (a == "--wait" && i + 1 < argc)
            waitSeconds = std::atof(argv[++i]);
        else if (a == "--help" || a == "-h")
            return Usage(true);
        else if (a == "--version") {
            std::printf("porukana-send %s\n", PORUKANA_VERSION);
            return 0;
        } else
            args.push_back(a);
    }
    auto text = [raw](const std::string& s) { return raw ? s : Utf8ToSjis(s); };
    if (listen) {
        if (args.size() != 2 && args.size() != 3)
            return Usage();
        const long count = args.size() == 3 ? std::atol(args[2].c_str()) : 0;
        return Listen(app, text(args[0]), text(args[1]), count, raw);
    }
    if (args.size() != 3)
        return Usage();
    const int attempts = 1 + static_cast<int>(waitSeconds * 1000 / kRetryMs);
    TChannelSend r = TChannelSend::NoServer;
    for (int i = 0; i < attempts && r == TChannelSend::NoServer; ++i) {
        if (i > 0)
            QThread::msleep(kRetryMs);
        r = SendChannelRequest(text(args[0]), text(args[1]), text(args[2]), kAckTimeoutMs);
    }
    switch (r) {
    case TChannelSend::Sent:
        return 0;
    case TChannelSend::NoServer:
        std::fprintf(stderr, "porukana-send: 受け口「%s」「%s」のプログラムが応答しません。\n", args[0].c_str(),
                     args[1].c_str());
        return 1;
    case TChannelSend::Failed:
        break;
    }
    std::fprintf(stderr, "porukana-send: 相手のプログラムが受け取りませんでした。\n");
    return 3;
}
