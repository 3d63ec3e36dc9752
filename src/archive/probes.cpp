// The content probes, through libarchive's format detection (ARJ by its headers).
#include "archive/probes.h"

#include <archive.h>
#include <archive_entry.h>
#include <sys/stat.h>

#include "archive/archiver.h"
#include "archive/arj_headers.h"
#include "archive/safe_extract.h"
#include "core/codec.h"

namespace {

// The format libarchive finds reading the first header with only `formats`
// enabled; 0 when it finds none. `filter` receives the outermost filter.
int DetectFormat(const TArchiveSource& src, void (*formats)(archive*), int& filter)
{
    TUtf8Locale utf8;
    archive* a = archive_read_new();
    formats(a);
    archive_read_support_filter_all(a);
    int format = 0;
    filter = ARCHIVE_FILTER_NONE;
    if (OpenArchiveSource(a, src) == ARCHIVE_OK) {
        archive_entry* e = nullptr;
        const int r = archive_read_next_header(a, &e);
        if (r == ARCHIVE_OK || r == ARCHIVE_WARN) {
            format = archive_format(a) & ARCHIVE_FORMAT_BASE_MASK;
            filter = archive_filter_code(a, 0);
        }
    }
    archive_read_free(a);
    return format;
}

int Detect(const std::string& path, void (*formats)(archive*), bool sfx = false)
{
    int filter;
    const std::string native = ToNativePath(path);
    TArchiveSource src = sfx ? SourceFor(native) : TArchiveSource{native};
    return DetectFormat(src, formats, filter);
}

bool Exists(const std::string& path)
{
    struct stat sb {};
    return stat(ToNativePath(path).c_str(), &sb) == 0 && S_ISREG(sb.st_mode);
}

}   // namespace

TArchiverType ProbeTar(const std::string& path)
{
    if (!LibraryPresent(TarDll()))
        return atNone;
    int filter;
    const int format = DetectFormat(
        TArchiveSource{ToNativePath(path)},
        [](archive* a) {
            archive_read_support_format_tar(a);
            archive_read_support_format_cpio(a);
            archive_read_support_format_ar(a);
            archive_read_support_format_raw(a);
        },
        filter);
    const bool compressed = filter == ARCHIVE_FILTER_GZIP || filter == ARCHIVE_FILTER_COMPRESS;
    if (filter == ARCHIVE_FILTER_BZIP2)
        return format ? atBZ2 : atNone;
    if (format == ARCHIVE_FORMAT_RAW)
        return compressed ? atTgz : atNone;
    if (format == 0)
        return atNone;
    return compressed ? atTgz : (filter == ARCHIVE_FILTER_NONE ? atTar : atNone);
}

bool ProbeRar(const std::string& path)
{
    if (!LibraryPresent(RarDll()))
        return false;
    const int f = Detect(path, [](archive* a) {
        archive_read_support_format_rar(a);
        archive_read_support_format_rar5(a);
    });
    return f == ARCHIVE_FORMAT_RAR || f == ARCHIVE_FORMAT_RAR_V5;
}

bool ProbeArj(const std::string& path)
{
    if (!LibraryPresent(ArjDll()))
        return false;
    std::vector<TArjEntry> entries;
    return ReadArjEntries(ToNativePath(path), 0, entries);
}

bool ProbeZip(const std::string& path)
{
    if (!LibraryPresent(UnzipDll()) || !Exists(path))
        return false;
    return Detect(path, [](archive* a) { archive_read_support_format_zip(a); }) == ARCHIVE_FORMAT_ZIP;
}

bool ProbeBga(const std::string& path)
{
    (void)path;
    return false;   // no library on this platform reads the format
}

bool ProbeCab(const std::string& path)
{
    if (!LibraryPresent(CabDll()))
        return false;
    return Detect(path, [](archive* a) { archive_read_support_format_cab(a); }) == ARCHIVE_FORMAT_CAB;
}

bool ProbeLha(const std::string& path)
{
    if (!LibraryPresent(LhaDll()))
        return false;
    return Detect(
               path, [](archive* a) { archive_read_support_format_lha(a); }, true) == ARCHIVE_FORMAT_LHA;
}

TArchiverType SelectByContents(const std::string& path)
{
    TArchiverType t = ProbeTar(path);
    if (ProbeRar(path))
        t = atRar;
    if (ProbeArj(path))
        t = atArj;
    if (ProbeZip(path))
        t = atZip;
    if (ProbeBga(path))
        t = atBga;
    if (ProbeCab(path))
        t = atCab;
    if (ProbeLha(path))
        t = atLha;
    return t;
}
