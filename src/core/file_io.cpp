#include "core/file_io.h"

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
