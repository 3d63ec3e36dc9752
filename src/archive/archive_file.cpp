// The archive-file object.
#include "archive/archive_file.h"

#include "archive/file_list.h"
#include "archive/probes.h"
#include "commands/files/files.h"
#include "core/text.h"

namespace {

const char kNoFormat[] = "書庫の形式を判別できません。";

// Runs an operation and records the driver's command line, also when it fails.
template <class F> int Recorded(TArchiver* driver, std::string& line, F&& op)
{
    try {
        const int r = op();
        line = driver->LastCommandLine();
        return r;
    } catch (...) {
        line = driver->LastCommandLine();
        throw;
    }
}

}   // namespace

TArchiverType FormatByExtension(const std::string& path)
{
    static const struct {
        const char* Ext;
        TArchiverType Type;
    } table[] = {
        {".lzh", atLha}, {".zip", atZip}, {".jar", atZip}, {".cab", atCab},        {".arj", atArj}, {".rar", atRar},
        {".a", atTar},   {".lib", atTar}, {".tar", atTar}, {".deb", atTar},        {".rpm", atTar}, {".cpio", atTar},
        {".z", atTgz},   {".gz", atTgz},  {".tgz", atTgz}, {".taz", atTgz},        {".bz2", atBZ2}, {".gza", atBga},
        {".bza", atBga}, {".gca", atGCA}, {".7z", at7z},   {".exe", atAutoDetect},
    };
    const std::string ext = LowerAscii(PathExtPart(path));
    for (const auto& row : table)
        if (ext == row.Ext)
            return row.Type;
    return atNone;
}

void TArchiveFile::SetArchiverType(TArchiverType t)
{
    switch (t) {
    case atNone:
        return;
    case atAutoDetect:
        type_ = t;
        return;
    case atYz1:
    case atGCA:
    case atBel:
        throw EArchiver("書庫の形式を特定できませんでした。");
    default:
        driver_ = CreateArchiver(t);
        type_ = t;
    }
}

void TArchiveFile::SetFileName(const std::string& path)
{
    fileName_ = path;
    TArchiverType t = FormatByExtension(path);
    if (t == atAutoDetect)
        t = SelectByContents(path);
    SetArchiverType(t);
}

int TArchiveFile::Pack(void* owner, const TArchiverOptions* options, const std::vector<std::string>& files,
                       const std::string& baseFolder)
{
    if (type_ == atAutoDetect)
        SetArchiverType(SelectByContents(fileName_));
    if (!driver_)
        throw EArchiver(kNoFormat);
    driver_->EnsureLoaded();
    TArchiverOptions opts = options ? *options : Options;
    TArchiveOp op;
    op.Archive = fileName_;
    op.Folder = baseFolder;
    op.State = State;
    op.UseResponseFile = (opts.ResFileUsage & ruOnPack) != 0;
    if (opts.PackFilter == pfArchiver) {
        op.Files = files;
    } else {
        const TFileListResult list = ExpandFileList(opts, files, baseFolder, OnProgress);
        if (list.Cancelled)
            return 32800;
        if (list.Names.empty()) {
            // Packing nothing would leave the caller believing the archive was made.
            lastLine_.clear();
            throw EArchiver("圧縮するファイルが見つかりませんでした。");
        }
        opts.Jx.clear();
        op.Files = list.Names;
    }
    return Recorded(driver_.get(), lastLine_, [&] { return driver_->Pack(opts, op); });
}

int TArchiveFile::Extract(void* owner, const TArchiverOptions* options, const std::vector<std::string>& files,
                          const std::string& destFolder)
{
    if (!driver_)
        throw EArchiver(kNoFormat);
    const TArchiverOptions& opts = options ? *options : Options;
    TArchiveOp op;
    op.Archive = fileName_;
    op.Folder = destFolder;
    op.Files = files;
    op.State = State;
    op.UseResponseFile = (opts.ResFileUsage & ruOnUnpack) != 0;
    driver_->EnsureLoaded();
    return Recorded(driver_.get(), lastLine_, [&] { return driver_->Extract(opts, op); });
}

int TArchiveFile::MakeSfx(void* owner, const TArchiverOptions* options, const std::string& outputFolder)
{
    if (!driver_) {
        lastLine_.clear();
        throw EArchiver(kNoFormat);
    }
    const TArchiverOptions& opts = options ? *options : Options;
    TArchiveOp op;
    op.Archive = fileName_;
    op.Folder = outputFolder;
    op.State = State;
    driver_->EnsureLoaded();
    return Recorded(driver_.get(), lastLine_, [&] { return driver_->MakeSfx(opts, op); });
}
