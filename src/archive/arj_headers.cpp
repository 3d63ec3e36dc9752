// ARJ header walking.
#include "archive/arj_headers.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cstring>

uint32_t Crc32(const void* data, size_t n, uint32_t crc)
{
    static const auto table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    crc = ~crc;
    const auto* p = static_cast<const uint8_t*>(data);
    while (n--)
        crc = (crc >> 8) ^ table[(crc ^ *p++) & 0xFF];
    return ~crc;
}

namespace {

class TFile {
public:
    explicit TFile(const std::string& path) : fd_(open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
    ~TFile()
    {
        if (fd_ >= 0)
            close(fd_);
    }
    bool Ok() const { return fd_ >= 0; }
    bool Read(uint64_t at, void* buf, size_t n) const
    {
        return pread(fd_, buf, n, static_cast<off_t>(at)) == static_cast<ssize_t>(n);
    }

private:
    int fd_;
};

uint16_t Le16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t Le32(const uint8_t* p)
{
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// One header at `pos`: its basic part in `basic`; `pos` moves past the header and
// its extended headers. False at a malformed header; `end` true at the end mark.
bool ReadHeader(const TFile& f, uint64_t& pos, std::vector<uint8_t>& basic, bool& end)
{
    uint8_t head[4];
    if (!f.Read(pos, head, 4) || head[0] != 0x60 || head[1] != 0xEA)
        return false;
    const uint16_t size = Le16(head + 2);
    pos += 4;
    end = size == 0;
    if (end)
        return true;
    if (size > 2600 || size < 30)
        return false;
    basic.resize(size + 4u);
    if (!f.Read(pos, basic.data(), basic.size()))
        return false;
    if (Crc32(basic.data(), size) != Le32(basic.data() + size))
        return false;
    basic.resize(size);
    pos += size + 4u;
    for (;;) {   // extended headers
        uint8_t ext[2];
        if (!f.Read(pos, ext, 2))
            return false;
        pos += 2;
        const uint16_t n = Le16(ext);
        if (n == 0)
            break;
        pos += n + 4u;
    }
    return basic[0] >= 30 && basic[0] <= size;
}

}   // namespace

bool ReadArjEntries(const std::string& path, uint64_t offset, std::vector<TArjEntry>& out)
{
    TFile f(path);
    if (!f.Ok())
        return false;
    uint64_t pos = offset;
    std::vector<uint8_t> basic;
    bool end = false;
    if (!ReadHeader(f, pos, basic, end) || end)
        return false;   // the archive header is required
    for (int guard = 0; guard < 1000000; ++guard) {
        if (!ReadHeader(f, pos, basic, end))
            return false;
        if (end)
            return true;
        const uint8_t first = basic[0];
        TArjEntry e;
        e.HostOs = basic[3];
        e.Flags = basic[4];
        e.FileType = basic[6];
        const uint32_t packed = Le32(basic.data() + 12);
        const auto* nameStart = reinterpret_cast<const char*>(basic.data() + first);
        const size_t room = basic.size() - first;
        e.Name.assign(nameStart, strnlen(nameStart, room));
        out.push_back(std::move(e));
        pos += packed;
    }
    return false;
}
