#include "core/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <iterator>

bool WriteAll(int fd, const char* data, size_t size)
{
    size_t done = 0;
    while (done < size) {
        const ssize_t n = write(fd, data + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

bool ReadWholeFile(const std::string& nativePath, std::string& out)
{
    std::ifstream in(nativePath, std::ios::binary);
    if (!in)
        return false;
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

std::string ReadFileHead(const std::string& nativePath, size_t maxBytes)
{
    std::ifstream in(nativePath, std::ios::binary);
    if (!in)
        return std::string();
    std::string out;
    char buf[65536];
    while (out.size() < maxBytes) {
        in.read(buf, sizeof buf);
        const std::streamsize got = in.gcount();
        if (got <= 0)
            break;
        out.append(buf, std::min(static_cast<size_t>(got), maxBytes - out.size()));
    }
    return out;
}

bool IsRegularFile(const std::string& nativePath)
{
    struct stat sb {};
    return ::stat(nativePath.c_str(), &sb) == 0 && S_ISREG(sb.st_mode);
}

bool ReadRegularFile(const std::string& nativePath, std::string& out, size_t maxBytes)
{
    // Opened without blocking, so that a FIFO put in the file's place cannot hold the
    // run; what was opened is checked, not the path.
    const int fd = ::open(nativePath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return false;
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat sb {};
    if (::fstat(fd, &sb) != 0 || !S_ISREG(sb.st_mode))
        return false;
    std::string bytes;
    if (sb.st_size > 0) {
        if (static_cast<unsigned long long>(sb.st_size) > maxBytes)
            return false;
        bytes.reserve(static_cast<size_t>(sb.st_size));
    }
    // Files under /proc report no size: read until the end, whatever the size says.
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n == 0)
            break;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (bytes.size() + static_cast<size_t>(n) > maxBytes)
            return false;
        bytes.append(buf, static_cast<size_t>(n));
    }
    out = std::move(bytes);
    return true;
}
