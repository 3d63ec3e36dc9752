// Reading whole files for the loader. Only regular files are read: a folder, a FIFO
// or a device named as a program, an included file or a container source is refused
// (it would block, never end, or fail inside the stream library).
#pragma once
#include <cstddef>
#include <string>

// The most a program text read whole may hold.
constexpr size_t kMaxProgramFileBytes = size_t(1) << 30;

// True when the native path names a regular file (symbolic links followed).
bool IsRegularFile(const std::string& nativePath);

// Reads a regular file whole into `out`; false when the path is no regular file, a
// read fails (as some files under /proc do) or the file holds more than `maxBytes`.
bool ReadRegularFile(const std::string& nativePath, std::string& out, size_t maxBytes = kMaxProgramFileBytes);
