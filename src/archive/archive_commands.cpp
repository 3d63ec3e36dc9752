// The archive commands 圧縮, 解凍 and 自己解凍書庫作成. None of them sets それ; each
// asks the security gate first and turns the archive layer's failures into script
// errors.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "archive/archive_file.h"
#include "archive/backend_support.h"
#include "commands/files/files.h"
#include "commands/files/security.h"
#include "commands/tables/csv_table.h"
#include "core/codec.h"
#include "core/text.h"
#include "interp/builtins.h"
#include "interp/host.h"
#include "interp/interp.h"
#include "loader/container_temp.h"

namespace {

std::string OptionText(TPoruBase& st, const char* name)
{
    THashNode* n = st.Words.FindExact(name);
    return n ? n->Value : std::string();
}

void* OwnerWindow(TPoruBase& st)
{
    return st.Host ? st.Host->MainWindowControl() : nullptr;
}

bool FileExists(const std::string& native)
{
    struct stat sb {};
    return lstat(native.c_str(), &sb) == 0;
}

// Packs the lines of `listText` into `archive`, the work of 圧縮. `askGate` is false
// only for the run-time's own temporary archive.
void PackList(TPoruBase& st, const std::string& listText, std::string archive, bool askGate)
{
    if (PathExtPart(archive).empty())
        archive += ".lzh";
    const std::string text = TrimSpacesAndBreaks(listText);
    std::vector<std::string> lines;
    for (std::string_view l : SplitLineViews(text))
        lines.emplace_back(l);
    if (askGate && !SecurityGate(st, archive, "\"" + archive + "\"へ圧縮します。"))
        return;

    // The base folder is the deepest folder that holds every line (for lines of one
    // folder, that folder); the lines lose it, so the archive keeps the paths below
    // it. A list gathered from subfolders (全ファイル列挙) keeps its tree that way.
    std::string base = lines.empty() ? std::string() : PathFolderPart(lines[0]);
    for (const std::string& l : lines)
        while (!base.empty() && l.compare(0, base.size(), base) != 0) {
            base.pop_back();   // the separator; the folder above is what is left
            base = PathFolderPart(base);
        }
    if (!base.empty())
        for (std::string& l : lines)
            if (l.compare(0, base.size(), base) == 0) {
                l.erase(0, base.size());
                if (l.empty())
                    l = ".";   // the line named the base folder itself
            }

    TArchiveFile af;
    af.State = &st;
    af.SetFileName(archive);   // a format that cannot be named reaches the script as it is
    af.OutputSize = 8192;
    const std::string options = OptionText(st, "圧縮オプション");
    ParseArchiveOptions(options, af.Options);
    af.Options[swX] = 1;
    af.Options[swJso] = 1;
    try {
        af.Pack(OwnerWindow(st), nullptr, lines, base);
    } catch (const EArchiver& e) {
        st.Error("ファイル圧縮のエラー。コマンドライン=\"" + af.LastCommandLine() + "\"。オプション=\"" + options +
                 "\"。" + e.what());
    }
}

// 圧縮: packs the file list ? (a path per line) into the archive ?.
void cmdPack(TPoruBase& st)
{
    const std::string archive = st.PopText();
    const std::string list = st.PopText();
    try {
        PackList(st, list, archive, true);
    } catch (const EArchiver& e) {
        st.Error(e.what());
    }
}

// 解凍: unpacks the archive ? into the folder ?, which is made when missing.
void cmdUnpack(TPoruBase& st)
{
    const std::string dest = st.PopText();
    std::string archive = st.PopText();
    if (PathExtPart(archive).empty())
        archive += ".lzh";
    if (!SecurityGate(st, dest, "\"" + dest + "\"へ解凍します。"))
        return;
    const std::string options = OptionText(st, "解凍オプション");
    try {
        TArchiveFile af;
        af.State = &st;
        af.SetFileName(archive);
        ParseArchiveOptions(options, af.Options);
        af.Options[swJse] = 1;
        af.Options[swJso] = 1;
        af.Extract(OwnerWindow(st), nullptr, {}, dest);
    } catch (const EArchiver& e) {
        st.Error("解凍のエラー。解凍先\"" + dest + "\"、解凍元\"" + archive + "\"。オプション=\"" + options + "\"。" +
                 e.what());
    }
}

// Moves a file to `to`, copying when the two lie on different file systems.
void MoveFile(const std::string& from, const std::string& to)
{
    if (rename(from.c_str(), to.c_str()) == 0)
        return;
    if (errno != EXDEV)
        RaiseCannotCreate(to, std::strerror(errno));
    TStagedOutput out(to);
    const int in = open(from.c_str(), O_RDONLY | O_CLOEXEC);
    const int fd = open(out.Path().c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0777);
    bool ok = in >= 0 && fd >= 0;
    char buf[1 << 16];
    while (ok) {
        const ssize_t n = read(in, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        ok = write(fd, buf, static_cast<size_t>(n)) == n;
    }
    const int err = errno;
    if (in >= 0)
        close(in);
    if (fd >= 0 && close(fd) != 0)
        ok = false;
    if (!ok)
        RaiseCannotCreate(to, std::strerror(err ? err : EIO));
    out.Commit();
    unlink(from.c_str());
}

// 自己解凍書庫作成: packs the file list ? into the self-extracting archive ? (an
// existing ".lzh" archive named instead of a list is used as it is).
void cmdMakeSfx(TPoruBase& st)
{
    const std::string target = st.PopText();
    const std::string list = st.PopText();
    if (!SecurityGate(st, target, "\"" + target + "\"へ自己解凍書庫を作成します。"))
        return;
    const std::string tempDir = PrivateTempDir();
    std::string archive, temporary;
    std::string ext = PathExtPart(list);
    for (char& c : ext)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (ext == ".LZH") {
        archive = list;
    } else {
        if (tempDir.empty())
            st.Error("一時フォルダを作成できませんでした。");
        for (int n = 1;; ++n) {
            const std::string stem = tempDir + "popack" + std::to_string(n);
            if (!FileExists(stem) && !FileExists(stem + ".lzh")) {
                temporary = stem + ".lzh";
                break;
            }
        }
        archive = FromNativePath(temporary);
        try {
            PackList(st, list, archive, false);
        } catch (const EArchiver& e) {
            unlink(temporary.c_str());
            st.Error(e.what());
        }
    }
    struct TCleanup {
        std::string Archive, Folder;
        ~TCleanup()
        {
            if (!Archive.empty())
                unlink(Archive.c_str());
            if (!Folder.empty())
                RemoveTree(Folder);
        }
    } cleanup{temporary, ""};
    try {
        TArchiveFile af;
        af.State = &st;
        af.SetFileName(archive);
        ParseArchiveOptions(OptionText(st, "自己解凍書庫オプション"), af.Options);
        af.Options[swJso] = 1;
        // The executable is made in a fresh private folder, so that no file of the
        // same name beside the archive is overwritten on the way.
        std::string out = tempDir + "sfx-XXXXXX";
        if (tempDir.empty() || !mkdtemp(out.data()))
            throw EArchiver("一時フォルダを作成できませんでした。");
        cleanup.Folder = out;
        af.MakeSfx(OwnerWindow(st), nullptr, FromNativePath(out + "/"));
        const std::vector<TDirEntry> made = ListPattern(out + "/*.exe");
        if (!made.empty()) {
            const std::string exe = out + "/" + made.front().Name;
            const std::string dest = ToNativePath(target);
            if (exe != dest)
                MoveFile(exe, dest);
        }
    } catch (const EArchiver& e) {
        st.Error(e.what());
    }
}

HandlerRegistrar reg({
    {Cmd::Compress, cmdPack},
    {Cmd::Decompress, cmdUnpack},
    {Cmd::MakeSelfExtracting, cmdMakeSfx},
});

}   // namespace
