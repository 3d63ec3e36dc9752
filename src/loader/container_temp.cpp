// The private temporary folder and its removal at exit and on termination signals.
#include "loader/container_temp.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

namespace fs = std::filesystem;

namespace {

constexpr const char* kPrefix = "porukana-";

// State shared with the signal handler: plain data only.
char gDirPath[4096];
int gDirFd = -1;
pid_t gOwner = 0;

// Removes the folder's entries with system calls only, so that it can run inside a
// signal handler. The folder holds plain files (and at most empty subfolders).
void RemoveDirRaw()
{
    if (gDirFd < 0 || getpid() != gOwner)
        return;
    alignas(8) char buf[8192];
    for (;;) {
        lseek(gDirFd, 0, SEEK_SET);
        long n = syscall(SYS_getdents64, gDirFd, buf, sizeof buf);
        if (n <= 0)
            break;
        bool removed = false;
        for (long pos = 0; pos < n;) {
            struct Entry {
                uint64_t ino;
                int64_t off;
                unsigned short reclen;
                unsigned char type;
                char name[1];
            };
            const Entry* e = reinterpret_cast<const Entry*>(buf + pos);
            pos += e->reclen;
            if (std::strcmp(e->name, ".") == 0 || std::strcmp(e->name, "..") == 0)
                continue;
            if (unlinkat(gDirFd, e->name, 0) == 0 || unlinkat(gDirFd, e->name, AT_REMOVEDIR) == 0)
                removed = true;
        }
        if (!removed)
            break;
    }
    close(gDirFd);
    gDirFd = -1;
    rmdir(gDirPath);
}

void OnSignal(int sig)
{
    RemoveDirRaw();
    signal(sig, SIG_DFL);
    raise(sig);
}

void InstallHandlers()
{
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction old {};
        if (sigaction(sig, nullptr, &old) != 0 || old.sa_handler != SIG_DFL)
            continue;   // someone else handles it (and ends the process through exit)
        struct sigaction sa {};
        sa.sa_handler = OnSignal;
        sigemptyset(&sa.sa_mask);
        sigaction(sig, &sa, nullptr);
    }
}

std::string TempRoot()
{
    const char* t = std::getenv("TMPDIR");
    std::string root = (t && t[0] == '/') ? t : "/tmp";
    while (root.size() > 1 && root.back() == '/')
        root.pop_back();
    return root;
}

// Folders "porukana-<pid>-XXXXXX" of this user whose process is gone.
void RemoveStaleDirs(const std::string& root)
{
    DIR* d = opendir(root.c_str());
    if (!d)
        return;
    const size_t prefixLen = std::strlen(kPrefix);
    while (dirent* e = readdir(d)) {
        if (std::strncmp(e->d_name, kPrefix, prefixLen) != 0)
            continue;
        char* end = nullptr;
        long pid = std::strtol(e->d_name + prefixLen, &end, 10);
        if (pid <= 0 || !end || *end != '-' || pid == getpid())
            continue;
        if (kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH)
            continue;
        const std::string path = root + "/" + e->d_name;
        struct stat sb {};
        if (lstat(path.c_str(), &sb) != 0 || !S_ISDIR(sb.st_mode) || sb.st_uid != geteuid())
            continue;
        std::error_code ec;
        fs::remove_all(path, ec);   // does not follow symbolic links
    }
    closedir(d);
}

}   // namespace

std::string PrivateTempDir()
{
    if (gDirFd >= 0 && gOwner == getpid())
        return std::string(gDirPath) + "/";
    const std::string root = TempRoot();
    RemoveStaleDirs(root);
    std::string pattern = root + "/" + kPrefix + std::to_string(getpid()) + "-XXXXXX";
    if (pattern.size() >= sizeof gDirPath)
        return std::string();
    std::strcpy(gDirPath, pattern.c_str());
    if (!mkdtemp(gDirPath))
        return std::string();
    gDirFd = open(gDirPath, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (gDirFd < 0) {
        rmdir(gDirPath);
        return std::string();
    }
    gOwner = getpid();
    static bool registered = false;
    if (!registered) {
        registered = true;
        std::atexit(RemovePrivateTempDir);
    }
    InstallHandlers();
    return std::string(gDirPath) + "/";
}

std::string CreatePrivateTempFile(const std::string& name, const std::string& bytes)
{
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos)
        return std::string();
    const std::string dir = PrivateTempDir();
    if (dir.empty())
        return std::string();
    const std::string path = dir + name;
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return std::string();
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            close(fd);
            unlink(path.c_str());
            return std::string();
        }
        done += static_cast<size_t>(n);
    }
    if (close(fd) != 0) {
        unlink(path.c_str());
        return std::string();
    }
    return path;
}

void RemovePrivateTempDir()
{
    if (gDirFd < 0 || getpid() != gOwner)
        return;
    // Outside a signal handler the full recursive removal is available.
    std::error_code ec;
    fs::remove_all(gDirPath, ec);
    close(gDirFd);
    gDirFd = -1;
}
