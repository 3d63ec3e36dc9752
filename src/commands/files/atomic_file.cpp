#include "commands/files/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <limits>

#include "core/file_io.h"

bool ReadFileBytes(const std::string& nativePath, std::string& out, bool& missing)
{
    out.clear();
    missing = false;
    if (ReadRegularFile(nativePath, out, std::numeric_limits<size_t>::max()))
        return true;
    struct stat sb {};
    missing = ::stat(nativePath.c_str(), &sb) != 0 && (errno == ENOENT || errno == ENOTDIR);
    return false;
}

bool ReplaceFileAtomically(const std::string& nativePath, const std::string& bytes, mode_t mode, bool applyUmask)
{
    const std::string temp = nativePath + ".tmp" + std::to_string(getpid());
    unlink(temp.c_str());   // a leftover of a process that had this id
    int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, applyUmask ? mode : 0600);
    if (fd < 0)
        return false;
    size_t done = 0;
    bool ok = true;
    while (ok && done < bytes.size()) {
        ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        ok = n > 0;
        if (ok)
            done += static_cast<size_t>(n);
    }
    if (!applyUmask)
        ok = ok && fchmod(fd, mode) == 0;
    ok = ok && fsync(fd) == 0;
    ok = close(fd) == 0 && ok;
    if (ok && rename(temp.c_str(), nativePath.c_str()) == 0)
        return true;
    unlink(temp.c_str());
    return false;
}

bool RewriteFile(const std::string& nativePath, const std::string& bytes)
{
    std::string path = nativePath;
    if (char* real = realpath(nativePath.c_str(), nullptr)) {
        path = real;
        std::free(real);
    }
    struct stat sb {};
    if (stat(path.c_str(), &sb) == 0) {
        if (!S_ISREG(sb.st_mode))
            return false;
        return ReplaceFileAtomically(path, bytes, sb.st_mode & 07777, false);
    }
    return ReplaceFileAtomically(path, bytes, 0666, true);
}
