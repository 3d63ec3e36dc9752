// porukana-launcher: the front of a bundled stand-alone program (porukana-pack
// --bundle). The program file is this launcher with a container appended that
// holds the script, its files and the run-time bundle (the run-time executable,
// its shared libraries and Qt plug-ins). The launcher unpacks the bundle once per
// version into the user's cache (bundle/bundle_cache.h), or, when there is no
// usable cache or PORUKANA_BUNDLE_CACHE=0, into the private temporary folder on
// every start (removed again at the end). It starts the run-time from there on the
// program file ("-runtime PROGRAM", so that the script sees the program's own path
// and parameters) and waits for it.
//
// It links no Qt and nothing but the C library (libstdc++ and zlib are linked in),
// so that it runs where nothing is installed. Exit status: the run-time's; 2 when
// the program cannot be started.
#include <dirent.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bundle/bundle_archive.h"
#include "bundle/bundle_cache.h"
#include "core/error.h"
#include "loader/container.h"
#include "loader/container_temp.h"

namespace {

constexpr int kStartFailed = 2;

volatile pid_t gChild = 0;
volatile int gStop = 0;

// A signal sent to this process alone (kill, a service manager) is passed on to the
// run-time, which ends the program the normal way; one that the terminal sent to
// the whole process group has reached the run-time already. Before the run-time
// runs, any of them stops the start.
void OnSignal(int sig, siginfo_t* info, void*)
{
    const bool sentHere = info && (info->si_code == SI_USER || info->si_code == SI_QUEUE || info->si_code == SI_TKILL);
    if (gChild > 0) {
        if (sentHere)
            kill(gChild, sig);
    } else {
        gStop = sig;
    }
}

void HandleSignals()
{
    struct sigaction sa {};
    sa.sa_sigaction = OnSignal;
    sa.sa_flags = SA_SIGINFO;
    sigemptyset(&sa.sa_mask);
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT})
        sigaction(sig, &sa, nullptr);
}

int Fail(const std::string& utf8)
{
    std::fprintf(stderr, "porukana: %s\n", utf8.c_str());
    return kStartFailed;
}

bool IsFile(const std::string& path)
{
    return access(path.c_str(), X_OK) == 0;
}

// True when the machine has an OpenGL driver for X (the vendor library that the
// bundled dispatch libraries load): the bundle cannot carry one that fits the
// machine's graphics.
bool HasGlDriver()
{
    for (const char* folder : {"/usr/lib/x86_64-linux-gnu", "/lib/x86_64-linux-gnu", "/usr/lib64", "/lib64",
                               "/usr/lib/aarch64-linux-gnu", "/usr/lib"}) {
        DIR* d = opendir(folder);
        if (!d)
            continue;
        bool found = false;
        while (dirent* e = readdir(d))
            if (std::strncmp(e->d_name, "libGLX_", 7) == 0 && std::strncmp(e->d_name, "libGLX_indirect", 15) != 0) {
                found = true;
                break;
            }
        closedir(d);
        if (found)
            return true;
    }
    return false;
}

// Ends like the run-time ended: with its status, or by its signal.
[[noreturn]] void EndLike(int status)
{
    RemovePrivateTempDir();
    if (WIFSIGNALED(status)) {
        const int sig = WTERMSIG(status);
        signal(sig, SIG_DFL);
        raise(sig);
        _exit(128 + sig);
    }
    std::exit(WIFEXITED(status) ? WEXITSTATUS(status) : kStartFailed);
}

}   // namespace

int main(int argc, char** argv)
{
    HandleSignals();
    char selfBuf[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", selfBuf, sizeof selfBuf - 1);
    if (n <= 0)
        return Fail("自分の実行ファイルが見つかりません。");
    const std::string self(selfBuf, static_cast<size_t>(n));

    uint64_t base = 0, size = 0;
    if (!LocateAppendedAt(self, base, size) || size == 0)
        return Fail("この実行ファイルにはプログラムが付いていません（porukana-pack --bundle で作ります）。");
    uint64_t at = 0, length = 0;
    std::string key;
    try {
        TFileMixReader reader(self, base);
        const TMixNode* node = reader.Find(kBundleEntry);
        if (!node || node->Offset < 0 || node->Size <= 0 || node->Scrambled == 1)
            return Fail("この実行ファイルには実行環境が付いていません。");
        at = base + static_cast<uint64_t>(node->Offset);
        length = static_cast<uint64_t>(node->Size);
        if (!reader.ReadEntryText(kBundleKeyEntry, key))
            key.clear();
    } catch (const std::exception&) {
        return Fail("この実行ファイルに付いたプログラムを読めません。");
    }

    std::string error;
    auto stopped = [] {
        if (gStop) {
            signal(gStop, SIG_DFL);
            raise(gStop);
        }
    };
    // The version's folder in the cache; its checksum is checked when it is made.
    std::string dir;
    const char* cacheSetting = std::getenv("PORUKANA_BUNDLE_CACHE");
    const std::string root = cacheSetting && std::strcmp(cacheSetting, "0") == 0 ? std::string() : BundleCacheRoot();
    if (!root.empty() && MakePrivateFolders(root)) {
        uint32_t crc = 0;
        if (key.empty() && FileCrc32(self, at, length, crc))
            key = BundleKey(crc, length);
        if (!key.empty() && key.find('/') == std::string::npos && key[0] != '.') {
            std::string cacheError;
            dir = CachedBundle(
                root, key,
                [&](const std::string& into, std::string& e) {
                    uint32_t sum = 0;
                    if (!FileCrc32(self, at, length, sum) || BundleKey(sum, length) != key) {
                        e = "実行環境のデータが壊れています（チェックサムが合いません）。";
                        return false;
                    }
                    return ExtractBundle(self, at, length, into, e, &gStop);
                },
                cacheError);
            if (dir.empty() && (gStop || cacheError.find("チェックサム") != std::string::npos)) {
                stopped();
                return Fail("実行環境を展開できません: " + cacheError);
            }
        }
    }
    if (dir.empty()) {
        dir = PrivateTempDir();
        if (dir.empty())
            return Fail("一時フォルダを作れません。");
        if (!ExtractBundle(self, at, length, dir, error, &gStop)) {
            RemovePrivateTempDir();
            stopped();
            return Fail("実行環境を展開できません: " + error);
        }
    }

    std::string runtime = dir + "bin/porukana";
    if (!IsFile(runtime))
        runtime = dir + "bin/porukana-cli";
    if (!IsFile(runtime)) {
        RemovePrivateTempDir();
        return Fail("実行環境に実行ファイルがありません。");
    }

    // The bundled libraries come first; Qt finds its plug-ins through the qt.conf
    // beside the run-time.
    const char* oldPath = std::getenv("LD_LIBRARY_PATH");
    std::string libPath = dir + "lib";
    if (oldPath && *oldPath)
        libPath += std::string(":") + oldPath;
    setenv("LD_LIBRARY_PATH", libPath.c_str(), 1);
    setenv("PORUKANA_BUNDLE_DIR", dir.c_str(), 1);
    // The web engine looks for its resources and locales in fixed places of the
    // system rather than where qt.conf says: tell it where the bundle has them.
    const std::string resources = dir + "share/qt6/resources";
    if (access(resources.c_str(), R_OK) == 0) {
        setenv("QTWEBENGINE_RESOURCES_PATH", resources.c_str(), 1);
        setenv("QTWEBENGINE_LOCALES_PATH", (dir + "share/qt6/translations/qtwebengine_locales").c_str(), 1);
    }

    // The window run-time's Japanese font comes with its own fontconfig setup
    // (which also reads the machine's, when there is one).
    const std::string fontsConf = dir + "share/fonts/fonts.conf";
    if (!std::getenv("FONTCONFIG_FILE") && access(fontsConf.c_str(), R_OK) == 0)
        setenv("FONTCONFIG_FILE", fontsConf.c_str(), 1);
    // Without an OpenGL driver the window is drawn in software instead of failing.
    if (!std::getenv("QT_XCB_GL_INTEGRATION") && !HasGlDriver())
        setenv("QT_XCB_GL_INTEGRATION", "none", 1);

    // "-run" first sets the packed program aside, as with a program that carries
    // its run-time itself: the run-time gets the command line as it is.
    std::vector<char*> args;
    args.push_back(runtime.data());
    std::string option = "-runtime";
    std::string program = self;
    const bool setAside = argc > 1 && std::strcmp(argv[1], "-run") == 0;
    if (!setAside) {
        args.push_back(option.data());
        args.push_back(program.data());
    }
    for (int i = 1; i < argc; ++i)
        args.push_back(argv[i]);
    args.push_back(nullptr);

    const pid_t child = fork();
    if (child < 0) {
        RemovePrivateTempDir();
        return Fail("実行環境を起動できません。");
    }
    if (child == 0) {
        execv(runtime.c_str(), args.data());
        std::fprintf(stderr, "porukana: 実行環境を起動できません（%s）。\n", std::strerror(errno));
        _exit(127);
    }
    gChild = child;
    if (gStop)
        kill(child, gStop);   // arrived between the unpacking and the start
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) {
            status = kStartFailed << 8;
            break;
        }
    }
    EndLike(status);
}
