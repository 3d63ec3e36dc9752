// Self-extracting archives: the extractor program porukana-sfx with the LHA
// archive and a short tail appended (safe_extract.h tells the tail).
#include <fcntl.h>
#include <limits.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "archive/backend_support.h"
#include "commands/files/files.h"
#include "core/codec.h"
#include "core/file_io.h"
#include "core/sjis.h"

namespace {

const char kExtractorName[] = "porukana-sfx";

}   // namespace

std::string FindSfxExtractor()
{
    char self[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n > 0) {
        std::string dir(self, static_cast<size_t>(n));
        dir = dir.substr(0, dir.rfind('/') + 1);
        const std::string extractor = dir + kExtractorName;
        if (access(extractor.c_str(), R_OK) == 0)
            return extractor;
    }
    return std::string();
}

std::string WriteSfx(const std::string& archiveNative, const std::string& outFolderNative)
{
    const std::string extractorPath = FindSfxExtractor();
    if (extractorPath.empty())
        throw ESfxNoRequiredFile(LhaDll().DisplayName, kExtractorName, "展開プログラム");
    std::string extractor, payload;
    if (!ReadWholeFile(extractorPath, extractor))
        RaiseCannotRead(extractorPath, std::strerror(errno));
    if (!ReadWholeFile(archiveNative, payload))
        RaiseCannotRead(archiveNative, std::strerror(errno));

    // The first 8 bytes of the archive's base name, not cutting a character in two.
    std::string base = PathNamePart(FromNativePath(archiveNative));
    base = base.substr(0, base.size() - PathExtPart(base).size());
    size_t cut = 0;
    while (cut < base.size()) {
        const size_t len = IsLeadByte(static_cast<unsigned char>(base[cut])) ? 2 : 1;
        if (cut + len > 8)
            break;
        cut += len;
    }
    std::string folder = outFolderNative.empty() ? std::string(".") : outFolderNative;
    if (folder.back() != '/')
        folder += '/';
    const std::string target = folder + ToNativePath(base.substr(0, cut) + ".exe");

    TStagedOutput out(target);
    const int fd = open(out.Path().c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0777);
    if (fd < 0)
        RaiseCannotCreate(target, std::strerror(errno));
    const bool ok = WriteAll(fd, extractor) && WriteAll(fd, payload) && WriteAll(fd, SfxTrailer(extractor.size()));
    const int err = errno;
    if (close(fd) != 0 || !ok)
        RaiseCannotCreate(target, std::strerror(ok ? errno : err));
    out.Commit();
    return target;
}
