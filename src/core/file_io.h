// Whole-file reading and complete writes, shared by the commands, the archives, the
// media code and the bundle tools. Paths are native (UTF-8) paths.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

// Writes all `size` bytes to the descriptor, again after an interrupted or partial
// write; false when a write fails or writes nothing.
bool WriteAll(int fd, const char* data, size_t size);
inline bool WriteAll(int fd, std::string_view bytes)
{
    return WriteAll(fd, bytes.data(), bytes.size());
}

// Reads whatever the stream library opens, whole, into `out`; false when it cannot
// be opened or a read fails.
bool ReadWholeFile(const std::string& nativePath, std::string& out);

// The first `maxBytes` bytes of a file (all of a smaller one); empty when it cannot
// be opened.
std::string ReadFileHead(const std::string& nativePath, size_t maxBytes);
