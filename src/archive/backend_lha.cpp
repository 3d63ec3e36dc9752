// Packing LHA archives with the own writer: every file mapped into memory and
// compressed with -lh5- (or stored), names in Shift_JIS.
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "archive/backend_support.h"
#include "archive/lha_writer.h"

namespace {

TLhaFileInfo InfoFor(const std::string& stored, const struct stat& sb)
{
    TLhaFileInfo info;
    size_t i = 0;
    for (;;) {
        const size_t j = stored.find('/', i);
        if (j == std::string::npos) {
            info.Name = SjisOf(stored.substr(i));
            break;
        }
        info.Folders.push_back(SjisOf(stored.substr(i, j - i)));
        i = j + 1;
    }
    info.MTime = sb.st_mtime;
    info.Attributes = 0x20 | ((sb.st_mode & S_IWUSR) ? 0 : 0x01);
    return info;
}

struct TMapping {
    void* Addr = MAP_FAILED;
    size_t Size = 0;
    ~TMapping()
    {
        if (Addr != MAP_FAILED)
            munmap(Addr, Size);
    }
};

}   // namespace

void PackLha(const TPackJob& job)
{
    TStagedOutput out(job.Archive);
    const int fd = open(out.Path().c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        RaiseCannotCreate(job.Archive, std::strerror(errno));
    struct TClose {
        int Fd;
        ~TClose() { close(Fd); }
    } closer{fd};
    TLhaWriter writer(fd);
    try {
        for (const std::string& file : job.Files) {
            const std::string src = SourcePath(job, file);
            struct stat sb {};
            const int in = OpenInput(src, sb);
            if (in < 0)
                continue;
            TMapping map;
            map.Size = static_cast<size_t>(sb.st_size);
            if (map.Size > 0) {
                map.Addr = mmap(nullptr, map.Size, PROT_READ, MAP_PRIVATE, in, 0);
                const int err = errno;
                close(in);
                if (map.Addr == MAP_FAILED)
                    RaiseCannotRead(src, std::strerror(err));
                madvise(map.Addr, map.Size, MADV_SEQUENTIAL);
            } else {
                close(in);
            }
            const auto* data = map.Size ? static_cast<const uint8_t*>(map.Addr) : nullptr;
            writer.AddFile(InfoFor(StoredName(file, job.KeepPaths), sb), data, map.Size);
        }
        writer.Finish();
    } catch (const std::runtime_error& e) {
        if (dynamic_cast<const EArchiver*>(&e))
            throw;
        RaiseCannotCreate(job.Archive, e.what());
    }
    out.Commit();
}
