// The shared parts of the backends: jobs from option records, stored names, staged
// output files, the messages, and reading and writing through libarchive.
#include "archive/backend.h"

#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "archive/backend_support.h"
#include "archive/file_list.h"
#include "commands/files/files.h"
#include "commands/files/security.h"
#include "core/codec.h"

// ---- jobs --------------------------------------------------------------------------------

std::string StoredName(const std::string& file, bool keepPaths)
{
    std::string out;
    size_t i = 0;
    while (i <= file.size()) {
        size_t j = file.find('/', i);
        if (j == std::string::npos)
            j = file.size();
        const std::string part = file.substr(i, j - i);
        i = j + 1;
        if (part.empty() || part == "." || part == "..")
            continue;
        if (!keepPaths)
            out.clear();
        else if (!out.empty())
            out += '/';
        out += part;
    }
    return out;
}

TPackJob MakePackJob(const TArchiverOptions& o, const TArchiveOp& op)
{
    TPackJob job;
    job.Archive = ToNativePath(op.Archive);
    job.Base = ToNativePath(op.Folder);
    job.KeepPaths = o[swX] != 0;
    job.Level = o[swJm] >= 0 && o[swJm] <= 9 ? o[swJm] : -1;
    std::vector<std::string> files = op.Files;
    if (o.PackFilter == pfArchiver) {
        // Names handed over unexpanded (masks, folders) are listed here.
        TArchiverOptions copy = o;
        files = ExpandFileList(copy, op.Files, op.Folder).Names;
    }
    for (const std::string& f : files)
        job.Files.push_back(ToNativePath(f));
    return job;
}

TExtractSettings MakeExtractSettings(const TArchiverOptions& o, const TArchiveOp& op)
{
    TExtractSettings s;
    s.Dest = ToNativePath(op.Folder);
    if (s.Dest.empty())
        s.Dest = ".";
    s.KeepPaths = o[swX] != 0;
    if (o[swM] == 2)
        s.Overwrite = TOverwrite::Rename;
    else if (o[swJn] > 0)
        s.Overwrite = TOverwrite::Never;
    else if (o[swC] >= 1)
        s.Overwrite = TOverwrite::Always;
    else
        s.Overwrite = TOverwrite::IfNewer;
    for (const std::string& f : op.Files)
        s.Include.push_back(ToNativePath(f));
    for (const std::string& f : o.Jx)
        s.Exclude.push_back(ToNativePath(f));
    s.Match = [](std::string_view mask, std::string_view name) { return MatchFileMask(mask, name); };
    TPoruBase* st = op.State;
    s.ConfirmProtected = [st](const std::string& target) {
        if (!st)
            return false;
        const std::string path = FromNativePath(target);
        return SecurityGate(*st, path, "\"" + path + "\"へ解凍します。");
    };
    // A lone compressed file is named after the archive without its last extension.
    const std::string name = PathNamePart(ToNativePath(op.Archive));
    const std::string ext = PathExtPart(name);
    s.RawName = name.substr(0, name.size() - ext.size());
    if (s.RawName.empty())
        s.RawName = "data";
    return s;
}

// ---- support -------------------------------------------------------------------------------

std::string SjisOf(const std::string& utf8)
{
    return Utf8ToSjis(utf8);
}

[[noreturn]] void RaiseCannotCreate(const std::string& archiveNative, const std::string& detail)
{
    throw EArchiver("書庫ファイル\"" + FromNativePath(archiveNative) + "\"を作成できませんでした（" + SjisOf(detail) +
                    "）。");
}

[[noreturn]] void RaiseCannotRead(const std::string& fileNative, const std::string& detail)
{
    throw EArchiver("ファイル\"" + FromNativePath(fileNative) + "\"を読み込めませんでした（" + SjisOf(detail) + "）。");
}

void RaiseExtractError(const TExtractResult& r, const std::string& archiveNative, const std::string& destNative)
{
    const std::string arc = FromNativePath(archiveNative);
    const std::string entry = SjisOf(r.Entry);
    const std::string detail = SjisOf(r.Detail);
    switch (r.Error) {
    case TExtractError::None:
        return;
    case TExtractError::Destination:
        throw EArchiver("解凍先のフォルダ\"" + FromNativePath(destNative) + "\"を作成できませんでした（" + detail +
                        "）。");
    case TExtractError::Open:
        throw EArchiver("書庫\"" + arc + "\"を開けませんでした（" + detail + "）。");
    case TExtractError::Read:
        if (entry.empty())
            throw EArchiver("書庫\"" + arc + "\"が壊れています（" + detail + "）。");
        throw EArchiver("書庫\"" + arc + "\"の\"" + entry + "\"が壊れています（" + detail + "）。");
    case TExtractError::UnsafeName:
        throw EArchiver("書庫の中の\"" + entry + "\"は解凍先の外を指しているため、解凍しません。");
    case TExtractError::UnsafeLink:
        throw EArchiver("書庫の中のリンク\"" + entry + "\"（\"" + detail +
                        "\"へのリンク）は解凍先の外を指しているため、解凍しません。");
    case TExtractError::Conflict:
        throw EArchiver("解凍先に\"" + entry + "\"と同じ名前のファイルかフォルダがあるため、解凍できません。");
    case TExtractError::Write:
        throw EArchiver("\"" + entry + "\"を書き込めませんでした（" + detail + "）。");
    }
}

TStagedOutput::TStagedOutput(const std::string& target) : target_(target)
{
    const size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string(".") : target.substr(0, slash + 1);
    std::string tmpl = folder + (folder.back() == '/' ? "" : "/") + ".porukana-XXXXXX";
    if (!mkdtemp(tmpl.data()))
        RaiseCannotCreate(target, std::strerror(errno));
    dir_ = tmpl;
    path_ = dir_ + "/" + (slash == std::string::npos ? target : target.substr(slash + 1));
}

TStagedOutput::~TStagedOutput()
{
    if (!path_.empty())
        unlink(path_.c_str());
    if (!dir_.empty())
        RemoveTree(dir_);
}

void TStagedOutput::Commit()
{
    if (rename(path_.c_str(), target_.c_str()) != 0)
        RaiseCannotCreate(target_, std::strerror(errno));
    path_.clear();
}

int OpenInput(const std::string& native, struct stat& sb)
{
    const int fd = open(native.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        RaiseCannotRead(native, std::strerror(errno));
    if (fstat(fd, &sb) != 0) {
        const int err = errno;
        close(fd);
        RaiseCannotRead(native, std::strerror(err));
    }
    if (!S_ISREG(sb.st_mode)) {   // devices, pipes and sockets hold no file to pack
        close(fd);
        return -1;
    }
    return fd;
}

std::string SourcePath(const TPackJob& job, const std::string& file)
{
    if (!file.empty() && file[0] == '/')
        return file;
    if (job.Base.empty())
        return file;
    return job.Base + (job.Base.back() == '/' ? "" : "/") + file;
}

// ---- libarchive ------------------------------------------------------------------------------

void PackWithLibarchive(const TPackJob& job, TWriteFormat format)
{
    TUtf8Locale utf8;
    TStagedOutput out(job.Archive);
    archive* a = archive_write_new();
    struct TFree {
        archive* A;
        ~TFree() { archive_write_free(A); }
    } guard{a};
    const std::string level = std::to_string(job.Level);
    switch (format) {
    case TWriteFormat::Zip:
        archive_write_set_format_zip(a);
        archive_write_set_format_option(a, "zip", "hdrcharset", "UTF-8");
        if (job.Level == 0)
            archive_write_set_format_option(a, "zip", "compression", "store");
        else if (job.Level > 0)
            archive_write_set_format_option(a, "zip", "compression-level", level.c_str());
        break;
    case TWriteFormat::SevenZip:
        archive_write_set_format_7zip(a);
        if (job.Level >= 0)
            archive_write_set_format_option(a, "7zip", "compression-level", level.c_str());
        break;
    case TWriteFormat::Tar:
    case TWriteFormat::TarGz:
    case TWriteFormat::TarBz2:
        archive_write_set_format_pax_restricted(a);
        if (format == TWriteFormat::TarGz) {
            archive_write_add_filter_gzip(a);
            if (job.Level >= 0)
                archive_write_set_filter_option(a, "gzip", "compression-level", level.c_str());
        } else if (format == TWriteFormat::TarBz2) {
            archive_write_add_filter_bzip2(a);
            if (job.Level > 0)
                archive_write_set_filter_option(a, "bzip2", "compression-level", level.c_str());
        }
        break;
    }
    if (archive_write_open_filename(a, out.Path().c_str()) != ARCHIVE_OK)
        RaiseCannotCreate(job.Archive, archive_error_string(a) ? archive_error_string(a) : "");

    std::unique_ptr<char[]> buf(new char[1 << 18]);
    for (const std::string& file : job.Files) {
        const std::string src = SourcePath(job, file);
        struct stat sb {};
        const int fd = OpenInput(src, sb);
        if (fd < 0)
            continue;
        struct TClose {
            int Fd;
            ~TClose() { close(Fd); }
        } closer{fd};
        archive_entry* e = archive_entry_new();
        struct TEntryFree {
            archive_entry* E;
            ~TEntryFree() { archive_entry_free(E); }
        } entryGuard{e};
        archive_entry_set_pathname(e, StoredName(file, job.KeepPaths).c_str());
        archive_entry_set_filetype(e, AE_IFREG);
        archive_entry_set_perm(e, sb.st_mode & 0777);
        archive_entry_set_size(e, sb.st_size);
        archive_entry_set_mtime(e, sb.st_mtime, 0);
        if (archive_write_header(a, e) < ARCHIVE_OK)
            RaiseCannotCreate(job.Archive, archive_error_string(a) ? archive_error_string(a) : "");
        for (;;) {
            const ssize_t n = read(fd, buf.get(), 1 << 18);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                RaiseCannotRead(src, std::strerror(errno));
            if (n == 0)
                break;
            if (archive_write_data(a, buf.get(), static_cast<size_t>(n)) < 0)
                RaiseCannotCreate(job.Archive, archive_error_string(a) ? archive_error_string(a) : "");
        }
    }
    if (archive_write_close(a) != ARCHIVE_OK)
        RaiseCannotCreate(job.Archive, archive_error_string(a) ? archive_error_string(a) : "");
    out.Commit();
}

void ExtractWithLibarchive(const TArchiverOptions& o, const TArchiveOp& op, bool rawCompressed)
{
    TExtractSettings s = MakeExtractSettings(o, op);
    s.RawCompressed = rawCompressed;
    const std::string archive = ToNativePath(op.Archive);
    const TExtractResult r = ExtractArchive(SourceFor(archive), s);
    RaiseExtractError(r, archive, s.Dest);
}
