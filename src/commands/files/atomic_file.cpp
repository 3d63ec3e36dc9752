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

bool ReplaceFileAtomically(const std::string& nativePath, const std::string& bytes, mode_t mode, bool applyUmask,
                           bool sync)
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
    ok = ok && (!sync || fsync(fd) == 0);
    ok = close(fd) == 0 && ok;
    if (ok && rename(temp.c_str(), nativePath.c_str()) == 0)
        return true;
    const int err = errno;
    unlink(temp.c_str());
    errno = err;
    return false;
}

bool RewriteFile(const std::string& nativePath, const std::string& bytes, bool sync)
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
        return ReplaceFileAtomically(path, bytes, sb.st_mode & 07777, false, sync);
    }
    return ReplaceFileAtomically(path, bytes, 0666, true, sync);
}

bool SaveFileBytes(const std::string& nativePath, const std::string& bytes)
{
    struct stat sb {};
    const bool exists = stat(nativePath.c_str(), &sb) == 0;
    if (exists && S_ISREG(sb.st_mode) && access(nativePath.c_str(), W_OK) != 0)
        return false;   // a read-only file stays read-only
    if (!exists || S_ISREG(sb.st_mode)) {
        if (RewriteFile(nativePath, bytes, false))
            return true;
        // Only a folder that refuses the temporary file falls back to writing in
        // place; any other failure (a full disk) must not touch the old file.
        if (errno != EACCES && errno != EPERM && errno != EROFS)
            return false;
    }
    const int fd = open(nativePath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0)
        return false;
    const bool ok = WriteAll(fd, bytes);
    return close(fd) == 0 && ok;
}

bool AppendFileBytes(const std::string& nativePath, std::string_view bytes, bool create)
{
    const int fd = open(nativePath.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC | (create ? O_CREAT : 0), 0666);
    if (fd < 0)
        return false;
    struct stat sb {};
    const bool regular = fstat(fd, &sb) == 0 && S_ISREG(sb.st_mode);
    const bool ok = WriteAll(fd, bytes);
    if (!ok && regular) {
        const int err = errno;
        if (ftruncate(fd, sb.st_size) != 0) {
            // nothing more can be done; the error is reported all the same
        }
        errno = err;
    }
    return close(fd) == 0 && ok;
}
