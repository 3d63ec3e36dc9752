// The backends that carry out what the drivers' command lines describe. They honour
// these switches of the option record:
//   x      0: names without their folders (packing and extracting)
//   jm     0-9: compression level of ZIP, 7z, tgz and bz2
//   jx     exclusion masks (extracting; packing excludes them while listing)
//   c, m, jn  what extraction does with existing files: m = 2 writes the new file
//          under a free name, jn > 0 keeps every existing file, c >= 1 replaces
//          them, otherwise an existing file is replaced only by a newer entry
// Archives are written to a temporary file beside the target and put in place only
// when complete, so a failure leaves the previous file alone. Failures raise
// EArchiver with a message that names the file and the cause.
#pragma once
#include <string>
#include <vector>

#include "archive/archiver.h"
#include "archive/safe_extract.h"

struct TPackJob {
    std::string Archive;              // native
    std::string Base;                 // native folder relative names are taken from ("" current)
    std::vector<std::string> Files;   // native names, relative to Base or absolute
    bool KeepPaths = true;
    int Level = -1;   // 0-9, -1 the format's default
};

enum class TWriteFormat { Zip, SevenZip, Tar, TarGz, TarBz2 };

TPackJob MakePackJob(const TArchiverOptions& o, const TArchiveOp& op);
TExtractSettings MakeExtractSettings(const TArchiverOptions& o, const TArchiveOp& op);

// The name an entry is stored under: folders kept or dropped, "." and ".." and a
// leading "/" removed.
std::string StoredName(const std::string& file, bool keepPaths);

void PackLha(const TPackJob& job);
void PackWithLibarchive(const TPackJob& job, TWriteFormat format);
bool CabWriterPresent();
void PackCab(const TPackJob& job);

// Extracts op.Archive into op.Folder through libarchive. rawCompressed accepts a
// lone compressed file (gz, bz2) as one entry named after the archive.
void ExtractWithLibarchive(const TArchiverOptions& o, const TArchiveOp& op, bool rawCompressed);

// ARJ through the arj program.
bool ArjToolPresent();
void PackArj(const TPackJob& job);
void ExtractArj(const TArchiverOptions& o, const TArchiveOp& op);

// The self-extracting program (porukana-sfx beside the running executable), or "".
std::string FindSfxExtractor();
// Writes <outFolder>/<first 8 bytes of the archive's base name>.exe: the extractor
// with the LHA archive appended. Returns its native path.
std::string WriteSfx(const std::string& archiveNative, const std::string& outFolderNative);
