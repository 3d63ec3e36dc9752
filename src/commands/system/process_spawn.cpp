#include "commands/system/process_spawn.h"

#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <mutex>

extern char** environ;

namespace {

// Children nobody waits for. The SIGCHLD handler reaps the ones listed here (and
// only those: children of other parts of the process, such as Qt's, are left to
// their owners), then passes the signal on to the handler that was installed before.
constexpr int kReapSlots = 1024;
std::atomic<pid_t> gReapSlots[kReapSlots];
struct sigaction gPreviousChld {};

void SweepSlots()
{
    for (std::atomic<pid_t>& slot : gReapSlots) {
        pid_t pid = slot.load();
        if (pid <= 0)
            continue;
        pid_t r;
        do {
            r = waitpid(pid, nullptr, WNOHANG);
        } while (r < 0 && errno == EINTR);
        if (r == pid || (r < 0 && errno == ECHILD))
            slot.compare_exchange_strong(pid, 0);
    }
}

void OnChildSignal(int sig, siginfo_t* info, void* context)
{
    const int savedErrno = errno;
    SweepSlots();
    errno = savedErrno;
    if (gPreviousChld.sa_flags & SA_SIGINFO) {
        if (gPreviousChld.sa_sigaction)
            gPreviousChld.sa_sigaction(sig, info, context);
    } else if (gPreviousChld.sa_handler != SIG_DFL && gPreviousChld.sa_handler != SIG_IGN) {
        gPreviousChld.sa_handler(sig);
    }
}

void InstallReaper()
{
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction sa {};
        sa.sa_sigaction = OnChildSignal;
        sa.sa_flags = SA_SIGINFO | SA_RESTART | SA_NOCLDSTOP;
        sigemptyset(&sa.sa_mask);
        sigaction(SIGCHLD, &sa, &gPreviousChld);
    });
}

void HandToReaper(pid_t pid)
{
    InstallReaper();
    for (std::atomic<pid_t>& slot : gReapSlots) {
        pid_t empty = 0;
        if (slot.compare_exchange_strong(empty, pid))
            break;
    }
    // The child may have ended before it was listed: its signal found nothing then.
    SweepSlots();
}

}   // namespace

bool IsExecutableFile(const std::string& nativePath)
{
    struct stat sb {};
    return !nativePath.empty() && stat(nativePath.c_str(), &sb) == 0 && S_ISREG(sb.st_mode) &&
           access(nativePath.c_str(), X_OK) == 0;
}

std::string FindExecutable(const std::string& nativeName)
{
    if (nativeName.empty())
        return std::string();
    if (nativeName.find('/') != std::string::npos)
        return IsExecutableFile(nativeName) ? nativeName : std::string();
    const char* path = std::getenv("PATH");
    std::string folders = path ? path : "/usr/local/bin:/usr/bin:/bin";
    size_t start = 0;
    while (start <= folders.size()) {
        size_t end = folders.find(':', start);
        if (end == std::string::npos)
            end = folders.size();
        std::string folder = folders.substr(start, end - start);
        if (folder.empty())
            folder = ".";
        const std::string candidate = folder + "/" + nativeName;
        if (IsExecutableFile(candidate))
            return candidate;
        start = end + 1;
    }
    return std::string();
}

pid_t SpawnProgram(const std::string& path, const std::vector<std::string>& argv, bool detached)
{
    if (path.empty() || argv.empty())
        return -1;
    InstallReaper();
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);

    posix_spawnattr_t attr;
    if (posix_spawnattr_init(&attr) != 0)
        return -1;
    sigset_t none, defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    for (int s = 1; s < NSIG; ++s)
        if (s != SIGKILL && s != SIGSTOP)
            sigaddset(&defaults, s);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
    if (detached)
        flags |= POSIX_SPAWN_SETSID;
    posix_spawnattr_setflags(&attr, flags);

    pid_t pid = -1;
    const int rc = posix_spawn(&pid, path.c_str(), nullptr, &attr, args.data(), environ);
    posix_spawnattr_destroy(&attr);
    if (rc != 0)
        return -1;
    if (detached)
        HandToReaper(pid);
    return pid;
}

pid_t OpenWithDesktop(const std::string& target, bool detached)
{
    const std::string opener = FindExecutable("xdg-open");
    if (opener.empty() || target.empty())
        return -1;
    return SpawnProgram(opener, {opener, target}, detached);
}

void ReapWhenEnded(pid_t pid)
{
    if (pid > 0)
        HandToReaper(pid);
}

bool ChildHasEnded(pid_t pid)
{
    pid_t r;
    do {
        r = waitpid(pid, nullptr, WNOHANG);
    } while (r < 0 && errno == EINTR);
    return r == pid || (r < 0 && errno == ECHILD);
}

int PendingReapCount()
{
    SweepSlots();
    int n = 0;
    for (std::atomic<pid_t>& slot : gReapSlots)
        if (slot.load() > 0)
            ++n;
    return n;
}
