// porukana-cli: runs a program in the console.
//
//   porukana-cli [--raw] [options] FILE.prk [parameters...]
//   porukana-cli [--raw] [options] -e TEXT [parameters...]   a one-line program
//   porukana-cli [--raw] [options] - [parameters...]         the program from standard input
//   porukana-cli [--interactive]        a prompt (also with no file in a terminal)
//   porukana-cli --doc [WORD] | --help | --version
//
// --raw (anywhere) writes what 表示 and 言う show as Shift_JIS bytes instead of UTF-8.
// The rest is the run-time's command line (options, the program file, parameters
// for the program), read by the start-up shared with the window.
//
// Exit status: 0 after a normal end, 1 when the program stopped after an error,
// 2 when there is no program or it could not be started.
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/check_main.h"
#include "app/cli_doc.h"
#include "app/cli_session.h"
#include "console/console_host.h"
#include "console/late_services.h"
#include "core/codec.h"
#include "core/error.h"
#include "core/paths.h"
#include "interp/debug_link.h"
#include "interp/event_loop.h"
#include "interp/interp.h"
#include "interp/startup.h"
#include "loader/front_options.h"
#include "porukana_version.h"

namespace {

constexpr int kNoProgram = 2;

// --help (Shift_JIS like every literal of this file; written in UTF-8).
const char* const kUsage = "使い方: porukana-cli [オプション] ファイル.prk [引数...]\n"
                           "        porukana-cli [オプション] -e 「プログラム」 [引数...]\n"
                           "        porukana-cli [オプション] - [引数...]      （プログラムを標準入力から読む）\n"
                           "        porukana-cli                            （端末では対話モード）\n"
                           "        porukana-cli --doc [単語]               （リファレンスを引く・探す）\n"
                           "ぽるかなのプログラムを端末で実行します。表示・言うの出力は標準出力へ（UTF-8）、\n"
                           "エラーと注意は標準エラーへ「[エラー] ファイル(N行目): メッセージ」の形で書きます。\n"
                           "\n"
                           "オプション（ファイル名より前に置きます。--raw だけはどこに置いても効きます）:\n"
                           "  --raw                 表示・言うの出力をShift_JISのまま書く\n"
                           "  -sjis                 スクリプトをShift_JISとして読む\n"
                           "  -utf8                 スクリプトをUTF-8として読む（どちらもなければ自動判定）\n"
                           "  -debug                デバッグモードで実行する（注意もエラーとして知らせる）\n"
                           "  -linestop             一行ごとに止まる\n"
                           "  -security low|mid|high  ファイルを書くときの安全性の水準（既定は mid）\n"
                           "  -resource ファイル    合成ファイルをリソースとして使う\n"
                           "  -runtime ファイル     パックされたプログラムファイルを実行する\n"
                           "  -run                  実行ファイルに付いたプログラムを使わない\n"
                           "  --check ファイル...   実行せずに読み、誤りと注意を標準エラーに書く\n"
                           "                        （終了コード: 0 何もなし、1 エラーあり、3 注意だけ）\n"
                           "  -e プログラム         ファイルの代わりに、一行のプログラムを実行する\n"
                           "  -                     ファイルの代わりに、標準入力からプログラムを読む\n"
                           "  --interactive         対話モード（一行ずつ実行。端末でファイルを指定しないときも）\n"
                           "  --doc [単語]          命令・変数・部品・プロパティの説明を表示する。名前の一部、\n"
                           "                        説明の言葉、英語（csv、sort など）でも探す。単語なしで索引\n"
                           "  --help                この使い方を表示して終わる\n"
                           "  --version             版を表示して終わる\n"
                           "\n"
                           "終了コード: 0 正常終了、1 エラーで停止、2 プログラムがない・起動できない\n";

void Fail(const std::string& sjisMessage)
{
    TConsoleHost::WriteErr(SeverityMark(TSeverity::Error) + sjisMessage);
}

// SIGINT and SIGTERM end the program like a close request, so that the run-time's
// temporary files are removed. The handler only sets the stop flag (which the run
// loop tests before every statement) and wakes the event loop through a pipe; a
// second signal ends the process at once.
int gSignalPipe[2] = {-1, -1};
TPoruBase* gState = nullptr;
volatile sig_atomic_t gSignal = 0;

void OnSignal(int sig)
{
    if (gSignal) {
        signal(sig, SIG_DFL);
        raise(sig);
        return;
    }
    gSignal = sig;
    if (gState)
        gState->Stopping = true;
    char b = 1;
    [[maybe_unused]] ssize_t n = write(gSignalPipe[1], &b, 1);
}

}   // namespace

int main(int argc, char** argv)
{
    // --doc [WORD [--all]]: the reference entry of a built-in word, or the index;
    // nothing is run.
    if (argc >= 2 && std::string(argv[1]) == "--doc")
        return PrintReferenceEntry(argc >= 3 ? argv[2] : nullptr, argc >= 4 && std::string(argv[3]) == "--all");
    // (end of --doc)
    // --check FILE...: reads the programs without running them.
    if (argc >= 2 && std::string(argv[1]) == "--check")
        return RunCheckCommand(argc - 2, argv + 2, true);

    // "--raw" belongs to this host wherever it stands (so that a test can add it
    // after the file name); everything else is the run-time's command line.
    bool raw = false;
    std::vector<char*> args;
    for (int i = 0; i < argc; ++i) {
        if (i > 0 && std::string(argv[i]) == "--raw")
            raw = true;
        else
            args.push_back(argv[i]);
    }
    switch (FindFrontOption(static_cast<int>(args.size()), args.data())) {
    case TFrontOption::Help:
        std::fputs(SjisToUtf8(kUsage).c_str(), stdout);
        return 0;
    case TFrontOption::Version:
        std::printf("porukana-cli %s\n", PORUKANA_VERSION);
        return 0;
    case TFrontOption::None:
        break;
    }
    TConsoleHost host(raw);
    TPoruBase st;
    st.Host = &host;
    st.LeaveWordsAtExit = true;   // a large table is not freed word by word at exit
    // -e TEXT, - and the interactive prompt: the start-up reads the options alone.
    TInlineProgram inlineProgram;
    const bool inlineRun = FindInlineProgram(args, isatty(0) && isatty(1), inlineProgram);
    std::vector<char*> startArgs = args;
    if (inlineRun) {
        startArgs.assign(1, args[0]);
        startArgs.insert(startArgs.end(), inlineProgram.options.begin(), inlineProgram.options.end());
    }
    TStartResult start = PrepareStartFromArgv(st, static_cast<int>(startArgs.size()), startArgs.data());
    if (inlineRun && start.ErrorText.empty() && start.WarningText.empty()) {
        std::string message;
        if (!LoadInlineProgram(st, inlineProgram, message)) {
            Fail(message);
            return kNoProgram;
        }
        start.HasProgram = true;
        start.MessageText.clear();
    }
    if (!start.HasProgram) {
        if (!start.ErrorText.empty())
            Fail(start.ErrorText);
        else if (!start.MessageText.empty())
            Fail(start.MessageText);
        else if (!start.WarningText.empty())
            Fail(start.WarningCaption + ": " + start.WarningText);
        else
            Fail("プログラムが指定されていません。\n使い方: porukana-cli [オプション] ファイル.prk [引数...]"
                 "（詳しくは porukana-cli --help）");
        return kNoProgram;
    }
    if (!st.FromContainer && st.Source.find('\0') != std::string::npos) {
        Fail("起動ファイル「" + PathNamePart(st.FileName) +
             "」は、テキストファイルではありません（NUL文字を含んでいます）。");
        return kNoProgram;
    }

    // The request channel of editors and porukana-send ("line", "pause", "break").
    StartCommandChannel(st);

    bool running = false;
    gState = &st;
    host.WaitIdle = [](int ms) { WaitWithoutEventLoop(gSignalPipe[0], ms); };
    if (pipe(gSignalPipe) == 0) {
        // Once the event loop is loaded it is what waits: it watches the pipe.
        AtEventLoopLoad([&] {
            gEventLoop->WatchReadable(gSignalPipe[0], [&] {
                char b;
                [[maybe_unused]] ssize_t n = read(gSignalPipe[0], &b, 1);
                st.Stopping = true;
                if (!running)   // an active run returns at its next statement and quits then
                    host.RunFinished(st);
            });
        });
        struct sigaction sa = {};
        sa.sa_handler = OnSignal;
        sigemptyset(&sa.sa_mask);
        sigaction(SIGINT, &sa, nullptr);
        sigaction(SIGTERM, &sa, nullptr);
    }

    running = true;
    st.RunProgram();
    if (inlineProgram.kind == TInlineProgram::Interactive && !st.Stopping)
        RunInteractive(st, host);   // ends with RunFinished
    else
        host.RunFinished(st);
    running = false;
    int status = host.RunEventsUntilDone(st);
    gState = nullptr;
    if (gSignal)
        status = 128 + gSignal;
    return status;
}
