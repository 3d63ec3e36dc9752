// The LHA archive writer.
#include "archive/lha_writer.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "archive/crc16.h"
#include "archive/lh5_encoder.h"

namespace {

void Put16(std::string& s, size_t at, uint32_t v)
{
    s[at] = static_cast<char>(v & 0xFF);
    s[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}

void Put32(std::string& s, size_t at, uint32_t v)
{
    Put16(s, at, v & 0xFFFF);
    Put16(s, at + 2, v >> 16);
}

// One extended header: type and data; the size of the next one is added after it.
void AppendExtended(std::string& h, uint8_t type, const std::string& data)
{
    h.push_back(static_cast<char>(type));
    h += data;
    h.append(2, '\0');   // next size, filled in by the caller
}

}   // namespace

std::string LhaLevel2Header(const TLhaFileInfo& info, const char* method, uint32_t packed, uint32_t original,
                            uint16_t dataCrc)
{
    std::string h(26, '\0');
    std::memcpy(&h[2], method, 5);
    Put32(h, 7, packed);
    Put32(h, 11, original);
    Put32(h, 15, static_cast<uint32_t>(info.MTime));
    h[19] = 0x20;
    h[20] = 2;
    Put16(h, 21, dataCrc);
    h[23] = 'M';

    std::string dirs;
    for (const std::string& d : info.Folders) {
        dirs += d;
        dirs.push_back(static_cast<char>(0xFF));
    }
    std::string attr(2, '\0');
    Put16(attr, 0, info.Attributes);

    // Each extended header's size sits in the two bytes before it.
    std::vector<size_t> starts;
    starts.push_back(h.size());
    AppendExtended(h, 0x00, std::string(2, '\0'));
    const size_t crcAt = starts.back() + 1;
    starts.push_back(h.size());
    AppendExtended(h, 0x01, info.Name);
    if (!dirs.empty()) {
        starts.push_back(h.size());
        AppendExtended(h, 0x02, dirs);
    }
    starts.push_back(h.size());
    AppendExtended(h, 0x40, attr);
    starts.push_back(h.size());   // the end: next size 0
    for (size_t i = 0; i + 1 < starts.size(); ++i)
        Put16(h, starts[i] - 2, static_cast<uint32_t>(starts[i + 1] - starts[i]));

    if ((h.size() & 0xFF) == 0)
        h.push_back('\0');
    if (h.size() > 0xFFFF)
        throw std::runtime_error("LHA header too long");
    Put16(h, 0, static_cast<uint32_t>(h.size()));
    Put16(h, crcAt, Crc16Update(0, h.data(), h.size()));
    return h;
}

void TLhaWriter::WriteAt(uint64_t offset, const void* data, size_t n)
{
    const char* p = static_cast<const char*>(data);
    while (n > 0) {
        const ssize_t w = pwrite(fd_, p, n, static_cast<off_t>(offset));
        if (w < 0 && errno == EINTR)
            continue;
        if (w <= 0)
            throw std::runtime_error(std::strerror(errno ? errno : EIO));
        p += w;
        n -= static_cast<size_t>(w);
        offset += static_cast<uint64_t>(w);
    }
}

void TLhaWriter::AddFile(const TLhaFileInfo& info, const uint8_t* data, size_t n)
{
    if (n > 0xFFFFFFFFu)
        throw std::runtime_error("file larger than 4 GB");
    const uint32_t original = static_cast<uint32_t>(n);
    // The header's size does not depend on the values filled in afterwards.
    const size_t headerSize = LhaLevel2Header(info, "-lh0-", 0, original, 0).size();
    const uint64_t dataStart = pos_ + headerSize;
    const uint16_t crc = Crc16Update(0, data, n);

    uint64_t at = dataStart;
    bool compressed = false;
    if (n > 0) {
        compressed = TLh5Encoder::Encode(data, n, n, [&](const std::string& bytes) {
            WriteAt(at, bytes.data(), bytes.size());
            at += bytes.size();
            return true;
        });
    }
    uint32_t packed;
    if (compressed) {
        packed = static_cast<uint32_t>(at - dataStart);
    } else {
        WriteAt(dataStart, data, n);
        packed = original;
    }
    const std::string header = LhaLevel2Header(info, compressed ? "-lh5-" : "-lh0-", packed, original, crc);
    WriteAt(pos_, header.data(), header.size());
    pos_ = dataStart + packed;
}

void TLhaWriter::Finish()
{
    const char end = 0;
    WriteAt(pos_, &end, 1);
    ++pos_;
    if (ftruncate(fd_, static_cast<off_t>(pos_)) != 0)
        throw std::runtime_error(std::strerror(errno));
}
