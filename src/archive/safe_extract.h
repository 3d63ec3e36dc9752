// Reading archives through libarchive and unpacking them into a folder without ever
// writing outside it. Shared by the run-time and the self-extracting program, so it
// depends on nothing but libarchive and the C library, and carries no message
// texts: failures come back as a kind plus the entry and the library's description.
//
// Entry names are decoded to UTF-8: a name that is valid UTF-8 is taken as it is
// (archives flagged UTF-8, and the unflagged UTF-8 names of common Linux tools);
// any other name is read as Shift_JIS (CP932), the encoding of archives made on
// Japanese Windows. In the formats of Windows origin "\" separates folders too.
//
// Refused: absolute names and drive prefixes, ".." components, links whose target
// is absolute or leaves the destination (resolved through the links already made),
// and (through libarchive's checks) any file that would be written through a
// symbolic link. Skipped: device nodes, FIFOs and sockets, and hard links to files
// this extraction did not write. A file is written beside its place and renamed
// over the old one only when it arrived whole.
#pragma once
#include <clocale>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

struct archive;

// Makes the calling thread's character type UTF-8 while it lives: libarchive
// converts names to and from the locale's charset.
class TUtf8Locale {
public:
    TUtf8Locale();
    ~TUtf8Locale();
    TUtf8Locale(const TUtf8Locale&) = delete;
    TUtf8Locale& operator=(const TUtf8Locale&) = delete;

private:
    locale_t loc_ = nullptr;
    locale_t old_ = nullptr;
};

// A byte range of a file that holds an archive: the whole file, or the archive
// appended to a self-extracting program.
struct TArchiveSource {
    std::string Path;   // native
    uint64_t Offset = 0;
    uint64_t Length = UINT64_MAX;   // to the end of the file
};

// The tail a self-extracting program ends with: a magic text and the offset where
// its archive starts (8 bytes each).
std::string SfxTrailer(uint64_t archiveOffset);
// True when `path` ends with that tail; `out` is then the archive inside it.
bool FindSfxPayload(const std::string& path, TArchiveSource& out);
// The source for a path: the appended archive of a self-extracting program, else
// the whole file.
TArchiveSource SourceFor(const std::string& path);

// Opens the source on a fresh reader whose formats and filters are already chosen.
// Returns the libarchive result; the reader owns a read state freed with it.
int OpenArchiveSource(archive* a, const TArchiveSource& src);

// The name decoding described above.
std::string EntryNameToUtf8(const std::string& raw, bool windowsSeparators);
bool IsValidUtf8(std::string_view s);
// A relative name without ".", empty and ".." components, joined with "/"; false for
// names that are absolute, start with a drive prefix or contain "..".
bool SafeRelativeName(const std::string& name, std::string& normalised);
// True when a link at `entry` (a normalised name) pointing to `target` stays inside
// the destination.
bool SafeLinkTarget(const std::string& entry, const std::string& target);

enum class TOverwrite {
    Always,    // replace existing files
    IfNewer,   // replace only when the entry is newer than the file
    Never,     // keep existing files
    Rename,    // write under the first free name "name_1.ext", "name_2.ext", ...
};

// Makes a folder and its parents; true when it exists afterwards.
bool MakeFolders(const std::string& path);

// Whether an existing file stays in place of an entry under the policy (Rename
// never keeps it: the entry gets a free name instead).
bool KeepsExisting(TOverwrite policy, bool entryTimeKnown, int64_t entryTime, int64_t existingTime);
// The first free name "name_1.ext", "name_2.ext", ... beside `target`.
std::string FreeName(const std::string& target);

struct TExtractSettings {
    std::string Dest;        // native folder; made (with its parents) when missing
    bool KeepPaths = true;   // false: every file lands directly in Dest
    TOverwrite Overwrite = TOverwrite::IfNewer;
    bool RawCompressed = false;                  // accept a lone compressed file (gz, bz2, ...) as one entry
    std::string RawName;                         // its name
    std::vector<std::string> Include, Exclude;   // name masks (empty Include: every entry)
    std::function<bool(std::string_view mask, std::string_view name)> Match;
    // Asked before writing an entry named security.ini (any letter case), with the
    // target path; false skips the entry.
    std::function<bool(const std::string& target)> ConfirmProtected;
};

// Whether the settings' masks select the entry (a normalised name).
bool EntrySelected(const TExtractSettings& s, const std::string& norm);

enum class TExtractError {
    None,
    Destination,   // the destination folder cannot be made
    Open,          // not an archive, or it cannot be opened
    Read,          // a damaged archive (header or data)
    UnsafeName,    // an entry name outside the destination
    UnsafeLink,    // a link that points outside the destination
    Conflict,      // a folder where a file goes, or a file where a folder goes
    Write,         // writing the file failed
};

struct TExtractResult {
    TExtractError Error = TExtractError::None;
    std::string Entry;    // the entry concerned (UTF-8)
    std::string Detail;   // libarchive's or the system's description
    int Written = 0;
    int Skipped = 0;
};

TExtractResult ExtractArchive(const TArchiveSource& src, const TExtractSettings& settings);
