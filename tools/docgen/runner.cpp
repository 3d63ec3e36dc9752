#include "runner.h"

#include <fcntl.h>
#include <iconv.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

namespace fs = std::filesystem;

namespace {

// The window host records each message box on standard error as its caption line
// ("[ぽるかな]") followed by the text; the reference shows the texts.
const char* kWindowCaption = "[ぽるかな]";
const char* kSampleName = "例.prk";
const char* kSampleFolder = "sample";

struct TRunning {
    pid_t pid = -1;
    size_t index = 0;
    std::string dir;
    std::chrono::steady_clock::time_point started;
};

std::string MakeWorkDir()
{
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/porukana-doc-XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    if (!mkdtemp(buf.data()))
        return std::string();
    return buf.data();
}

// Child side: the environment of a sample, then exec. Never returns.
[[noreturn]] void ExecSample(const std::string& dir, const std::string& exe, bool answers)
{
    setpgid(0, 0);
    setenv("HOME", dir.c_str(), 1);
    setenv("TMPDIR", dir.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (dir + "/config").c_str(), 1);
    setenv("XDG_DATA_HOME", (dir + "/data").c_str(), 1);
    setenv("XDG_CACHE_HOME", (dir + "/cache").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", (dir + "/run").c_str(), 1);
    setenv("LANG", "C.UTF-8", 1);
    unsetenv("LC_ALL");
    // The window takes the answers of its dialogs from a file, the console from
    // standard input.
    if (answers)
        setenv("PORUKANA_DIALOG_ANSWERS", (dir + "/answers.txt").c_str(), 1);
    else
        unsetenv("PORUKANA_DIALOG_ANSWERS");
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("QT_FONT_DPI", "96", 1);
    // エクセル起動 takes over an office already listening on the user's pipe, and
    // エクセル終了 quits it: samples running side by side would end each other's
    // office. Each sample listens on a pipe of its own.
    setenv("PORUKANA_OFFICE_PIPE", ("porukana-office-" + fs::path(dir).filename().string()).c_str(), 1);
    // The program runs in a folder of its own, so that what it lists is only what
    // it made; its streams and the other folders are beside it.
    const int in = open((dir + "/input.txt").c_str(), O_RDONLY);
    const int out = open((dir + "/stdout.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err = open((dir + "/stderr.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (chdir((dir + "/" + kSampleFolder).c_str()) != 0)
        _exit(126);
    if (in < 0 || out < 0 || err < 0)
        _exit(126);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    execl(exe.c_str(), exe.c_str(), kSampleName, static_cast<char*>(nullptr));
    _exit(127);
}

// Without a screen, Qt's offscreen platform says so for requests it cannot honour
// ("This plugin does not support raise()"), and the web engine says that it runs
// without a graphics backend and, for root, without its sandbox; those lines are no
// output of the sample.
bool PlatformNotice(const std::string& line)
{
    return line.rfind("This plugin does not support ", 0) == 0 || line == "No suitable graphics backend found" ||
           line == "Sandboxing disabled by user.";
}

std::string WindowMessages(const std::string& text)
{
    std::string out;
    bool afterNotice = false;   // the web engine follows its notices with an empty line
    for (const std::string& line : SplitLines(text)) {
        const bool notice = PlatformNotice(line);
        if (line != kWindowCaption && !notice && !(afterNotice && line.empty()))
            out += line + "\n";
        afterNotice = notice;
    }
    return out;
}

bool Prepare(const TSample& s, const std::string& dir, std::string& failure)
{
    std::string sjis;
    if (!ToShiftJis(s.code + "\n", sjis)) {
        failure = "the sample has a character without a Shift_JIS form";
        return false;
    }
    mkdir((dir + "/run").c_str(), 0700);
    mkdir((dir + "/" + kSampleFolder).c_str(), 0700);
    const std::string input = s.input.empty() ? std::string() : s.input + "\n";
    return WriteWholeFile(dir + "/" + kSampleFolder + "/" + kSampleName, sjis) &&
           WriteWholeFile(dir + "/input.txt", s.window ? std::string() : input) &&
           WriteWholeFile(dir + "/answers.txt", s.window ? input : std::string());
}

void Collect(const TSample& s, const TRunning& r, int status, TRunResult& result)
{
    bool ok = false;
    result.out = ReadWholeFile(r.dir + "/stdout.txt", ok);
    result.err = ReadWholeFile(r.dir + "/stderr.txt", ok);
    if (s.window) {
        result.out += WindowMessages(result.err);
        result.err.clear();
    }
    if (WIFEXITED(status))
        result.exitCode = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        result.exitCode = 128 + WTERMSIG(status);
    // Whatever the sample left running in its process group goes with it.
    kill(-r.pid, SIGKILL);
    std::error_code ec;
    fs::remove_all(r.dir, ec);
}

}   // namespace

std::string ShownText(const std::string& written)
{
    std::string s;
    for (size_t i = 0; i < written.size(); ++i)
        if (!(written[i] == '\r' && i + 1 < written.size() && written[i + 1] == '\n'))
            s += written[i];
    return TrimTrailingNewlines(std::move(s));
}

std::string ShownOutput(const std::string& written, int& blankLines)
{
    std::string s;
    for (size_t i = 0; i < written.size(); ++i)
        if (!(written[i] == '\r' && i + 1 < written.size() && written[i + 1] == '\n'))
            s += written[i];
    if (!s.empty() && s.back() == '\n')
        s.pop_back();   // the final line's own break
    blankLines = 0;
    while (!s.empty() && s.back() == '\n') {
        s.pop_back();
        ++blankLines;
    }
    if (s.empty())
        blankLines = 0;   // nothing but breaks: nothing to show
    return s;
}

bool ToShiftJis(const std::string& utf8, std::string& sjis)
{
    iconv_t cd = iconv_open("CP932", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1))
        return false;
    sjis.assign(utf8.size() * 2 + 16, '\0');
    char* in = const_cast<char*>(utf8.data());
    size_t inLeft = utf8.size();
    char* out = sjis.data();
    size_t outLeft = sjis.size();
    const size_t rc = iconv(cd, &in, &inLeft, &out, &outLeft);
    iconv_close(cd);
    if (rc == static_cast<size_t>(-1) || inLeft != 0)
        return false;
    sjis.resize(sjis.size() - outLeft);
    return true;
}

std::vector<TRunResult> RunSamples(const std::vector<const TSample*>& samples, const TRunOptions& options)
{
    std::vector<TRunResult> results(samples.size());
    std::vector<TRunning> running;
    size_t next = 0;
    const auto timeout = std::chrono::seconds(options.timeoutSeconds);
    while (next < samples.size() || !running.empty()) {
        while (next < samples.size() && static_cast<int>(running.size()) < std::max(1, options.jobs)) {
            const TSample& s = *samples[next];
            TRunning r;
            r.index = next++;
            r.dir = MakeWorkDir();
            if (r.dir.empty()) {
                results[r.index].failure = "no work folder";
                continue;
            }
            if (!Prepare(s, r.dir, results[r.index].failure)) {
                if (results[r.index].failure.empty())
                    results[r.index].failure = "the sample could not be written";
                std::error_code ec;
                fs::remove_all(r.dir, ec);
                continue;
            }
            const std::string exe = fs::absolute(options.binDir).string() + (s.window ? "/porukana" : "/porukana-cli");
            if (access(exe.c_str(), X_OK) != 0) {
                results[r.index].failure = exe + " is not built";
                std::error_code ec;
                fs::remove_all(r.dir, ec);
                continue;
            }
            r.started = std::chrono::steady_clock::now();
            r.pid = fork();
            if (r.pid == 0)
                ExecSample(r.dir, exe, s.window && !s.input.empty());
            if (r.pid < 0) {
                results[r.index].failure = "fork failed";
                continue;
            }
            setpgid(r.pid, r.pid);
            running.push_back(r);
        }
        bool progressed = false;
        for (size_t k = 0; k < running.size();) {
            TRunning& r = running[k];
            int status = 0;
            const pid_t done = waitpid(r.pid, &status, WNOHANG);
            if (done == 0 && std::chrono::steady_clock::now() - r.started > timeout) {
                kill(-r.pid, SIGKILL);
                waitpid(r.pid, &status, 0);
                results[r.index].timedOut = true;
            } else if (done == 0) {
                ++k;
                continue;
            }
            Collect(*samples[r.index], r, status, results[r.index]);
            running.erase(running.begin() + static_cast<long>(k));
            progressed = true;
        }
        if (!progressed && !running.empty())
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return results;
}

std::string CompareResult(const TSample& s, const TRunResult& r)
{
    if (!r.failure.empty())
        return r.failure;
    if (r.timedOut)
        return "the sample did not end in time";
    std::string why;
    int blank = 0;
    const std::string out = ShownOutput(r.out, blank);
    const std::string err = ShownText(r.err);
    if (out != s.out)
        why += "output differs\n--- shown\n" + s.out + "\n--- written\n" + out + "\n";
    else if (blank != s.outBlankLines)
        why += "output differs: it ends with " + std::to_string(blank) + " blank lines, the page shows " +
               std::to_string(s.outBlankLines) + "\n";
    if (err != s.err)
        why += "standard error differs\n--- shown\n" + s.err + "\n--- written\n" + err + "\n";
    if (r.exitCode != s.exitCode)
        why += "exit status " + std::to_string(r.exitCode) + ", shown " + std::to_string(s.exitCode) + "\n";
    return why;
}
