// The end of an executable's image: where data appended to the executable begins.
#pragma once
#include <cstdint>
#include <string>

// ELF (32 or 64 bits, either byte order): the largest end of the headers, the
// program segments, the sections that occupy file space and the section header
// table. False for a file that is not ELF or whose headers point past its end.
bool ElfImageEnd(const std::string& nativePath, uint64_t& end);
// The same on bytes already in memory (the whole file).
bool ElfImageEndOf(const std::string& bytes, uint64_t& end);

// PE ("MZ" executables): the end of the last section's raw data.
bool PeImageEndOf(const std::string& head, uint64_t fileSize, uint64_t& end);

// True when the file starts with the ELF magic 7F 45 4C 46.
bool IsElfFile(const std::string& nativePath);
