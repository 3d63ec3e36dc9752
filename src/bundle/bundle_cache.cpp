// The cache of unpacked run-time bundles.
#include "bundle/bundle_cache.h"

#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <dirent.h>

#include <cerrno>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr const char* kCompleteMark = ".complete";

bool ReadSmallFile(const std::string& path, std::string& out)
{
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return false;
    char buf[128];
    const ssize_t n = read(fd, buf, sizeof buf);
    close(fd);
    if (n < 0)
        return false;
    out.assign(buf, static_cast<size_t>(n));
    return true;
}

// A whole unpacked version: private, and marked complete with its own key.
bool IsReady(const std::string& dir, const std::string& key)
{
    std::string mark;
    return IsPrivateFolder(dir) && ReadSmallFile(dir + "/" + kCompleteMark, mark) && mark == key;
}

// Marks a version as used now (its mark's time), so that it is kept.
void Touch(const std::string& dir)
{
    utimensat(AT_FDCWD, (dir + "/" + kCompleteMark).c_str(), nullptr, AT_SYMLINK_NOFOLLOW);
}

}   // namespace

void PruneBundles(const std::string& root, const std::string& keep, int64_t olderThanSeconds)
{
    DIR* d = opendir(root.c_str());
    if (!d)
        return;
    const time_t now = std::time(nullptr);
    std::vector<std::string> old;
    while (dirent* e = readdir(d)) {
        const std::string name = e->d_name;
        if (name == "." || name == ".." || name == keep)
            continue;
        struct stat mark {
        }, folder{};
        const std::string dir = root + name;
        if (lstat(dir.c_str(), &folder) != 0 || !S_ISDIR(folder.st_mode) || folder.st_uid != geteuid())
            continue;
        // A version's last use is its mark's time; an unpacking without a mark
        // (cut off, or still running) counts from the folder's own time.
        const bool marked = lstat((dir + "/" + kCompleteMark).c_str(), &mark) == 0;
        const time_t used = marked ? mark.st_mtime : folder.st_mtime;
        if (now - used > olderThanSeconds)
            old.push_back(dir);
    }
    closedir(d);
    for (const std::string& dir : old)
        RemoveBundleTree(dir);
}

std::string BundleKey(uint32_t crc, uint64_t size)
{
    char buf[40];
    std::snprintf(buf, sizeof buf, "%08x-%llu", crc, static_cast<unsigned long long>(size));
    return buf;
}

bool FileCrc32(const std::string& file, uint64_t offset, uint64_t size, uint32_t& crc)
{
    const int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    std::vector<unsigned char> buf(1 << 20);
    uLong c = crc32(0L, Z_NULL, 0);
    bool ok = true;
    while (size > 0) {
        const size_t want = size < buf.size() ? static_cast<size_t>(size) : buf.size();
        const ssize_t n = pread(fd, buf.data(), want, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ok = false;
            break;
        }
        c = crc32(c, buf.data(), static_cast<uInt>(n));
        offset += static_cast<uint64_t>(n);
        size -= static_cast<uint64_t>(n);
    }
    close(fd);
    crc = static_cast<uint32_t>(c);
    return ok;
}

std::string BundleCacheRoot()
{
    const char* xdg = std::getenv("XDG_CACHE_HOME");
    std::string base;
    if (xdg && xdg[0] == '/')
        base = xdg;
    else if (const char* home = std::getenv("HOME"); home && home[0] == '/')
        base = std::string(home) + "/.cache";
    else
        return std::string();
    while (base.size() > 1 && base.back() == '/')
        base.pop_back();
    return base + "/porukana/bundles/";
}

bool IsPrivateFolder(const std::string& path)
{
    struct stat st {};
    return lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == geteuid() && (st.st_mode & 077) == 0;
}

bool MakePrivateFolders(const std::string& path)
{
    // Only the folders made here are private; the user's own (~/.cache) stay as they are.
    for (size_t at = path.find('/', 1); at != std::string::npos; at = path.find('/', at + 1)) {
        const std::string part = path.substr(0, at);
        if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
    }
    // The folder itself must be private, and the one above it ours and closed to
    // writes of others, so that nobody else can swap it.
    std::string trimmed = path;
    while (trimmed.size() > 1 && trimmed.back() == '/')
        trimmed.pop_back();
    const size_t up = trimmed.rfind('/');
    struct stat parent {};
    return IsPrivateFolder(trimmed) && up != std::string::npos && up > 0 &&
           lstat(trimmed.substr(0, up).c_str(), &parent) == 0 && S_ISDIR(parent.st_mode) &&
           parent.st_uid == geteuid() && (parent.st_mode & 022) == 0;
}

void RemoveBundleTree(const std::string& path)
{
    nftw(
        path.c_str(),
        [](const char* p, const struct stat*, int flag, struct FTW*) {
            if (flag == FTW_DP)
                rmdir(p);
            else
                unlink(p);
            return 0;
        },
        16, FTW_DEPTH | FTW_PHYS);
}

std::string CachedBundle(const std::string& root, const std::string& key,
                         const std::function<bool(const std::string& dir, std::string& error)>& unpack,
                         std::string& error)
{
    const std::string dir = root + key;
    if (IsReady(dir, key)) {
        Touch(dir);
        return dir + "/";
    }
    struct stat st {};
    if (lstat(dir.c_str(), &st) == 0) {
        // Something else under the key: a folder of ours left incomplete goes;
        // anything else is not ours to touch.
        if (!S_ISDIR(st.st_mode) || st.st_uid != geteuid()) {
            error = "キャッシュのフォルダ「" + dir + "」が自分のものではありません。";
            return std::string();
        }
        RemoveBundleTree(dir);
    }
    std::string work = root + ".unpack-XXXXXX";
    if (!mkdtemp(work.data())) {
        error = "キャッシュのフォルダ「" + root + "」に書けません。";
        return std::string();
    }
    if (!unpack(work + "/", error)) {
        RemoveBundleTree(work);
        return std::string();
    }
    const std::string mark = work + "/" + kCompleteMark;
    const int fd = open(mark.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    const bool marked = fd >= 0 && write(fd, key.data(), key.size()) == static_cast<ssize_t>(key.size());
    if (fd >= 0)
        close(fd);
    if (!marked || rename(work.c_str(), dir.c_str()) != 0) {
        // Another start of the same program may have finished first.
        RemoveBundleTree(work);
        if (IsReady(dir, key))
            return dir + "/";
        error = "キャッシュのフォルダ「" + dir + "」を作れません。";
        return std::string();
    }
    // A new version: versions not used for a month go.
    PruneBundles(root, key, kUnusedSeconds);
    return dir + "/";
}
