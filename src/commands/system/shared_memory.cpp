#include "commands/system/shared_memory.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

namespace {

// Object names are at most 255 bytes: longer script names are hashed (two 64-bit
// FNV-1a hashes with different offsets, and the length).
constexpr size_t kMaxHexName = 100;

uint64_t Fnv1a(std::string_view s, uint64_t basis)
{
    uint64_t h = basis;
    for (unsigned char c : s) {
        h ^= c;
        h *= 0x100000001B3ull;
    }
    return h;
}

std::string Hex(std::string_view bytes)
{
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

std::string Hex64(uint64_t v)
{
    std::string bytes;
    for (int i = 7; i >= 0; --i)
        bytes += static_cast<char>((v >> (8 * i)) & 0xFF);
    return Hex(bytes);
}

// A block is trusted only when this user owns it and nobody else may open it: the
// names are predictable, and another local user could create one first to plant
// what 共有読込 returns or to read what 共有保存 stores.
bool OwnedPrivately(int fd)
{
    struct stat sb {};
    return fstat(fd, &sb) == 0 && S_ISREG(sb.st_mode) && sb.st_uid == geteuid() && (sb.st_mode & 077) == 0;
}

bool SameObject(int fd, const std::string& object)
{
    struct stat held {
    }, named{};
    if (fstat(fd, &held) != 0)
        return false;
    int probe = shm_open(object.c_str(), O_RDONLY, 0);
    if (probe < 0)
        return false;
    const bool same = fstat(probe, &named) == 0 && named.st_ino == held.st_ino && named.st_dev == held.st_dev;
    close(probe);
    return same;
}

// Opens or creates the object and takes the shared lock on it. A holder that is
// leaving may remove the name between our open and our lock: then the object we
// hold is no longer the named one, and we start again.
int OpenHeld(const std::string& object)
{
    for (int attempt = 0; attempt < 8; ++attempt) {
        int fd = shm_open(object.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW, 0600);
        if (fd < 0)
            return -1;
        if (!OwnedPrivately(fd)) {
            close(fd);
            return -1;
        }
        int rc;
        do {
            rc = flock(fd, LOCK_SH);
        } while (rc < 0 && errno == EINTR);
        if (rc == 0 && SameObject(fd, object))
            return fd;
        close(fd);
    }
    return -1;
}

void Release(const std::string& object, int fd)
{
    if (flock(fd, LOCK_EX | LOCK_NB) == 0 && SameObject(fd, object))
        shm_unlink(object.c_str());
    close(fd);
}

}   // namespace

std::string SharedObjectName(std::string_view name)
{
    std::string object = "/porukana." + std::to_string(geteuid()) + ".";
    if (name.size() <= kMaxHexName)
        return object + "n" + Hex(name);
    return object + "h" + Hex64(Fnv1a(name, 0xCBF29CE484222325ull)) + Hex64(Fnv1a(name, 0x84222325CBF29CE4ull)) +
           std::to_string(name.size());
}

TSharedBlocks::~TSharedBlocks()
{
    ReleaseAll();
}

bool TSharedBlocks::Store(std::string_view name, std::string_view bytes)
{
    const std::string object = SharedObjectName(name);
    int fd = -1;
    for (const THeld& h : held_)
        if (h.Object == object)
            fd = h.Fd;
    const bool fresh = fd < 0;
    if (fresh && (fd = OpenHeld(object)) < 0)
        return false;
    struct stat sb {};
    bool ok = fstat(fd, &sb) == 0;
    if (ok && sb.st_size < static_cast<off_t>(kSharedBlockSize))
        ok = ftruncate(fd, kSharedBlockSize) == 0;
    void* map = ok ? mmap(nullptr, kSharedBlockSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0) : MAP_FAILED;
    if (map == MAP_FAILED) {
        if (fresh)
            Release(object, fd);
        return false;
    }
    char block[kSharedBlockSize] = {};
    std::memcpy(block, bytes.data(), std::min(bytes.size(), kSharedBlockSize));
    std::memcpy(map, block, kSharedBlockSize);
    munmap(map, kSharedBlockSize);
    if (fresh)
        held_.push_back({object, fd});
    return true;
}

void TSharedBlocks::ReleaseAll()
{
    for (const THeld& h : held_)
        Release(h.Object, h.Fd);
    held_.clear();
}

bool ReadSharedBlock(std::string_view name, std::string& out)
{
    out.clear();
    int fd = shm_open(SharedObjectName(name).c_str(), O_RDONLY | O_NOFOLLOW, 0);
    if (fd < 0)
        return false;
    struct stat sb {};
    if (!OwnedPrivately(fd) || fstat(fd, &sb) != 0) {
        close(fd);
        return false;
    }
    const size_t size = std::min(static_cast<size_t>(sb.st_size), kSharedBlockSize);
    bool ok = true;
    if (size > 0) {
        void* map = mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0);
        if (map == MAP_FAILED) {
            ok = false;
        } else {
            const char* p = static_cast<const char*>(map);
            out.assign(p, strnlen(p, size));
            munmap(map, size);
        }
    }
    close(fd);
    return ok;
}
