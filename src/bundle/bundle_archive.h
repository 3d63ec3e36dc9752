// The run-time files of a bundled stand-alone program (the run-time executable,
// its shared libraries and Qt plug-ins), carried as one entry of the program's
// container: a zlib stream of
//   "PRKB" 0x01
//   per file: name length (2 bytes), name (UTF-8, relative, "/" between folders),
//             mode (4 bytes), size (8 bytes), the bytes
//   name length 0 at the end
// integers little-endian. Plain C++ and zlib, without Qt: the launcher reads it.
#pragma once
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <string>

// The entry name of the bundle in the program's container.
constexpr const char* kBundleEntry = "porukana.bundle";

class TBundleWriter {
public:
    ~TBundleWriter();
    // Starts the bundle file `path` (replaced when it exists).
    bool Open(const std::string& path);
    // Adds the file `source` under `name` with permission bits `mode`.
    bool Add(const std::string& name, const std::string& source, uint32_t mode);
    // Writes the end mark and closes; false when anything failed on the way.
    bool Finish();
    const std::string& Error() const { return error_; }

private:
    bool Put(const void* data, size_t n, int flush = Z_NO_FLUSH);
    std::FILE* out_ = nullptr;
    z_stream z_{};
    bool open_ = false;
    std::string error_;
};

// A name the bundle may hold: relative, no "." or ".." parts, no empty parts.
bool IsSafeBundleName(const std::string& name);

// Unpacks the bundle that lies at bytes [offset, offset + size) of `file` into the
// existing folder `dir` (ending in "/"). Folders are made with mode 0700; every
// file is created anew (never over an existing file or through a link) with its
// mode limited to 0755. `stop` is looked at between files: non-zero ends the
// unpacking early. False with the reason in `error` (UTF-8).
bool ExtractBundle(const std::string& file, uint64_t offset, uint64_t size, const std::string& dir, std::string& error,
                   const volatile int* stop = nullptr);
