// Whole-file reading and complete writes, shared by every layer. Paths are native
// (UTF-8) paths. Three readers: ReadRegularFile for files that must be regular files
// (programs, included files, containers, stores; a folder, FIFO or device is refused
// rather than blocking), ReadWholeFile for whatever the stream library opens (a
// script may read a pipe or a device on purpose), ReadFileHead for a file's start.
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

// The most a program text read whole may hold.
constexpr size_t kMaxProgramFileBytes = size_t(1) << 30;

// True when the native path names a regular file (symbolic links followed).
bool IsRegularFile(const std::string& nativePath);

// Reads a regular file whole into `out`; false when the path is no regular file, a
// read fails (as some files under /proc do) or the file holds more than `maxBytes`.
bool ReadRegularFile(const std::string& nativePath, std::string& out, size_t maxBytes = kMaxProgramFileBytes);
