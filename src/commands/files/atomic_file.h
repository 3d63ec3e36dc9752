// Whole-file reading and atomic replacement for the stores of the system commands
// (the registry and INI files): a replaced file is written to a temporary file
// beside it and renamed over the old one, so that a reader sees either the old or
// the new contents, never a half-written file. Paths are native (UTF-8).
#pragma once
#include <sys/types.h>

#include <string>
#include <string_view>

// Reads a regular file whole (ReadRegularFile, without a size limit). On failure
// `missing` tells a file (or folder) that does not exist from one that cannot be
// read.
bool ReadFileBytes(const std::string& nativePath, std::string& out, bool& missing);

// Writes `bytes` to `nativePath` through a temporary file renamed over it; the new
// file gets `mode` (before the umask when `applyUmask`). False on any failure, the
// old file then unchanged. `sync` flushes the new contents to the disk before the
// rename (the stores do; a plain save relies on the file system's own ordering of a
// rename over an existing file, and a full disk shows at the write either way).
bool ReplaceFileAtomically(const std::string& nativePath, const std::string& bytes, mode_t mode, bool applyUmask,
                           bool sync = true);

// Replaces the contents of a file the way a save should: a link is followed (the
// file it names is rewritten, not the link), an existing file keeps its
// permissions, a new one gets 0666 minus the umask.
bool RewriteFile(const std::string& nativePath, const std::string& bytes, bool sync = true);

// Saves `bytes` as the whole contents of a file without ever leaving a partial
// one: an existing regular file (or a new one) is rewritten beside and renamed as
// RewriteFile does, so a full disk leaves the old contents in place. A device or
// FIFO is written directly, and so is a file whose folder holds no room for the
// temporary file (a folder the user may not write to). False on any failure.
bool SaveFileBytes(const std::string& nativePath, const std::string& bytes);

// Appends `bytes` to the end of a file (created when `create`), all or nothing: a
// write that fails part-way cuts the file back to its old length. False on failure.
bool AppendFileBytes(const std::string& nativePath, std::string_view bytes, bool create);
