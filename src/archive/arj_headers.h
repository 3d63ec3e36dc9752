// Walks the headers of an ARJ archive (no data is decoded): the probe that tells an
// ARJ archive by its contents, and the entry names checked before the arj program
// is let loose on an archive.
//
// Every header starts with 0x60 0xEA and the size of its basic part (at most 2600;
// 0 ends the archive), followed by that part, its CRC-32 and any extended headers
// (each a size, the data and a CRC-32; size 0 ends them). The basic part holds a
// fixed block (first byte: its size) with the host OS at offset 3, the flags at 4,
// the file type at 6, the compressed size at 12, then the zero-terminated name and
// comment. The first header describes the archive itself.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct TArjEntry {
    std::string Name;       // as stored
    uint8_t HostOs = 0;     // 0 MS-DOS, 2 Unix, 10/11 Windows, ...
    uint8_t FileType = 0;   // 0 binary, 1 text, 3 folder, ...
    uint8_t Flags = 0;
};

// False when `path` (from `offset`) is not a well-formed ARJ archive.
bool ReadArjEntries(const std::string& path, uint64_t offset, std::vector<TArjEntry>& out);
uint32_t Crc32(const void* data, size_t n, uint32_t crc = 0);
