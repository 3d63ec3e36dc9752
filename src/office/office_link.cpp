// The office helper process and its channel (POSIX: posix_spawn, a socket pair,
// poll with deadlines).
#include "office/office_link.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

extern char** environ;

namespace {

constexpr const char* kGreeting = "porukana-office";
constexpr const char* kProtocol = "1";
constexpr int kKillGraceMs = 3000;

using Clock = std::chrono::steady_clock;

int64_t MsLeft(Clock::time_point deadline)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
}

// A descriptor moved above the standard ones and 3, close-on-exec, so that the
// child's dup2 always copies (a descriptor dup2'ed onto itself would keep its
// close-on-exec flag).
int HighFd(int fd)
{
    const int high = fcntl(fd, F_DUPFD_CLOEXEC, 10);
    close(fd);
    return high;
}

}   // namespace

TOfficeLink::~TOfficeLink()
{
    Close();
}

TOfficeReply TOfficeLink::Start(const std::string& interpreter, const std::string& helper, int timeoutMs)
{
    Close();
    if (access(interpreter.c_str(), X_OK) != 0)
        return OfficeFailure("nopython");
    if (access(helper.c_str(), R_OK) != 0)
        return OfficeFailure("nohelper");
    int sv[2];
    int life[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sv) != 0)
        return OfficeFailure("startfail", "socketpair");
    if (pipe2(life, O_CLOEXEC) != 0) {
        close(sv[0]);
        close(sv[1]);
        return OfficeFailure("startfail", "pipe");
    }
    channel_ = HighFd(sv[0]);
    const int childChannel = HighFd(sv[1]);
    const int childLife = HighFd(life[0]);
    lifeLine_ = HighFd(life[1]);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, childChannel, 0);
    posix_spawn_file_actions_adddup2(&actions, childChannel, 1);
    posix_spawn_file_actions_adddup2(&actions, childLife, 3);
    // A process group of its own: a Ctrl-C in the terminal reaches the run-time,
    // which then closes the helper in order.
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t none, defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGINT);
    sigaddset(&defaults, SIGTERM);
    sigaddset(&defaults, SIGPIPE);
    sigaddset(&defaults, SIGCHLD);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    posix_spawnattr_setpgroup(&attr, 0);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    std::string arg0 = interpreter;
    std::string arg1 = helper;
    std::string arg2 = "--life-line";
    char* argv[] = {arg0.data(), arg1.data(), arg2.data(), nullptr};
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, interpreter.c_str(), &actions, &attr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    close(childChannel);
    close(childLife);
    if (rc != 0) {
        Release();
        return OfficeFailure(rc == ENOENT || rc == EACCES ? "nopython" : "startfail", "spawn");
    }
    pid_ = pid;

    std::string line, failure;
    if (!ReadLine(line, timeoutMs, nullptr, failure)) {
        Kill();
        return OfficeFailure(failure);
    }
    std::vector<std::string> fields;
    if (!DecodeOfficeLine(line, fields) || fields.size() != 3 || fields[0] != "ok" || fields[1] != kGreeting ||
        fields[2] != kProtocol) {
        Kill();
        return OfficeFailure("startfail", "greeting");
    }
    TOfficeReply ok;
    ok.Ok = true;
    return ok;
}

bool TOfficeLink::ReadLine(std::string& line, int timeoutMs, const std::function<bool()>& stop, std::string& failure)
{
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const size_t nl = buffer_.find('\n');
        if (nl != std::string::npos) {
            line = buffer_.substr(0, nl);
            buffer_.erase(0, nl + 1);
            return true;
        }
        const int64_t left = MsLeft(deadline);
        if (left <= 0) {
            failure = "timeout";
            return false;
        }
        // Waits in slices so that a stop request is seen soon.
        pollfd p{channel_, POLLIN, 0};
        const int n = poll(&p, 1, static_cast<int>(left < 200 ? left : 200));
        if (stop && stop()) {
            failure = "stopped";
            return false;
        }
        if (n < 0 && errno != EINTR) {
            failure = "disconnected";
            return false;
        }
        if (n <= 0)
            continue;
        char chunk[65536];
        const ssize_t got = recv(channel_, chunk, sizeof chunk, 0);
        if (got < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (got <= 0) {
            failure = "disconnected";
            return false;
        }
        buffer_.append(chunk, static_cast<size_t>(got));
    }
}

TOfficeReply TOfficeLink::Call(const std::vector<std::string>& request, int timeoutMs,
                               const std::function<bool()>& stop)
{
    if (!Running())
        return OfficeFailure("disconnected");
    const std::string data = EncodeOfficeLine(request);
    size_t sent = 0;
    while (sent < data.size()) {
        const ssize_t n = send(channel_, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            Kill();
            return OfficeFailure("disconnected");
        }
        sent += static_cast<size_t>(n);
    }
    std::string line, failure;
    if (!ReadLine(line, timeoutMs, stop, failure)) {
        Kill();
        return OfficeFailure(failure);
    }
    std::vector<std::string> fields;
    if (!DecodeOfficeLine(line, fields)) {
        Kill();
        return OfficeFailure("protocol", "bad reply");
    }
    return ParseOfficeReply(fields);
}

bool TOfficeLink::WaitExit(int ms)
{
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        const pid_t r = waitpid(pid_, nullptr, WNOHANG);
        if (r == pid_ || (r < 0 && errno == ECHILD))
            return true;
        if (MsLeft(deadline) <= 0)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

void TOfficeLink::Close(int graceMs)
{
    if (!Running()) {
        Release();
        return;
    }
    static const std::string bye = EncodeOfficeLine({"bye"});
    if (send(channel_, bye.data(), bye.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bye.size()) && WaitExit(graceMs)) {
        pid_ = -1;
        Release();
        return;
    }
    Kill();
}

void TOfficeLink::Kill()
{
    if (Running()) {
        // The end of the life line tells the helper to kill its office and leave.
        if (lifeLine_ >= 0) {
            close(lifeLine_);
            lifeLine_ = -1;
        }
        if (!WaitExit(kKillGraceMs)) {
            kill(-pid_, SIGKILL);
            kill(pid_, SIGKILL);
            if (officeGroup_ > 0)
                kill(-officeGroup_, SIGKILL);
            WaitExit(kKillGraceMs);
        }
        pid_ = -1;
    }
    Release();
}

void TOfficeLink::Release()
{
    if (channel_ >= 0)
        close(channel_);
    if (lifeLine_ >= 0)
        close(lifeLine_);
    channel_ = lifeLine_ = -1;
    officeGroup_ = 0;
    buffer_.clear();
}
