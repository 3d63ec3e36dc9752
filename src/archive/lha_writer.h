// Writes LHA archives: level-2 headers with Shift_JIS names, data compressed with
// -lh5- or, when that does not make it smaller, stored as -lh0-.
//
// Level-2 header: a 26-byte base (total header size, method, packed and original
// sizes, modification time in seconds since 1970, level 2, the data's CRC-16, the OS
// id and the size of the first extended header) followed by extended headers, each
// a type byte, its data and the size of the next one (0 ends the list): 0x00 the
// header's CRC-16, 0x01 the file name, 0x02 the folder names each followed by 0xFF,
// 0x40 the MS-DOS attributes. A header whose size would end in a zero byte is padded
// by one byte, since a zero where a header starts marks the end of the archive.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct TLhaFileInfo {
    std::vector<std::string> Folders;   // Shift_JIS folder names, outermost first
    std::string Name;                   // Shift_JIS file name
    int64_t MTime = 0;                  // seconds since 1970, UTC
    uint16_t Attributes = 0x20;         // MS-DOS attributes (archive)
};

// The header bytes of one entry.
std::string LhaLevel2Header(const TLhaFileInfo& info, const char* method, uint32_t packed, uint32_t original,
                            uint16_t dataCrc);

class TLhaWriter {
public:
    // Writes from the start of the open file `fd`. Failures throw std::runtime_error
    // (an English description of the system error).
    explicit TLhaWriter(int fd) : fd_(fd) {}
    void AddFile(const TLhaFileInfo& info, const uint8_t* data, size_t n);
    // The end mark; cuts the file after it.
    void Finish();

private:
    int fd_;
    uint64_t pos_ = 0;
    void WriteAt(uint64_t offset, const void* data, size_t n);
};
