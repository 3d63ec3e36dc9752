// Commands of the file family: whole-file reading and writing, copy, move, rename
// and delete, shortcuts, folders, attributes, dates and sizes, listings, existence
// tests, drive types and path parts. The handle commands are in file_handles_commands.cpp.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>

#include "commands/files/files.h"
#include "commands/files/security.h"
#include "core/codec.h"
#include "core/file_io.h"
#include "core/hash.h"
#include "core/sjis.h"
#include "core/text.h"
#include "interp/builtins.h"
#include "interp/host.h"
#include "interp/interp.h"

namespace fs = std::filesystem;

namespace {

const char* const kClipboardWord = "クリップボード";

[[noreturn]] void IoError(TPoruBase& st, const std::string& name)
{
    st.Error("ファイル\"" + name + "\"の、読み込みか書き込みに、失敗しました。");
}

std::string Native(const std::string& sjis)
{
    return ToNativePath(sjis);
}

bool HasWildcard(std::string_view s)
{
    return s.find_first_of("*?") != std::string_view::npos;
}

bool EndsWithSeparator(const std::string& path)
{
    const size_t sep = LastPathSeparator(path);
    return !path.empty() && sep == path.size() - 1 && path[sep] != ':';
}

// A path the script named without a folder is taken inside the script's folder. A
// path with a folder part is used as given, relative to the current folder like
// every other file command, so that after 作業フォルダ変更 存在するか and
// ファイル削除 of 「sub/a.txt」 mean the same file.
std::string InScriptFolder(TPoruBase& st, const std::string& path)
{
    const std::string native = Native(path);
    if (native.empty() || native.find('/') != std::string::npos)
        return path;
    if (st.StartFolder.empty())
        CommandLineText(st);
    return st.StartFolder + path;
}

bool IsDir(const std::string& native)
{
    struct stat sb {};
    return stat(native.c_str(), &sb) == 0 && S_ISDIR(sb.st_mode);
}

bool IsRegular(const std::string& native)
{
    struct stat sb {};
    return stat(native.c_str(), &sb) == 0 && S_ISREG(sb.st_mode);
}

std::string NoTrailingSlash(std::string p)
{
    while (p.size() > 1 && p.back() == '/')
        p.pop_back();
    return p;
}

// The native paths a source names: the matches of a wildcard, or the path itself.
std::vector<std::string> Sources(const std::string& native)
{
    std::vector<std::string> out;
    const std::string name = fs::path(native).filename().string();
    if (HasWildcard(name)) {
        const std::string folder = native.substr(0, native.size() - name.size());
        for (const TDirEntry& e : ListPattern(native))
            out.push_back(folder + e.Name);
        return out;
    }
    struct stat sb {};
    if (lstat(native.c_str(), &sb) == 0)
        out.push_back(NoTrailingSlash(native));
    return out;
}

// Where a source goes: into the destination when that is a folder (or when the
// source was a wildcard), else the destination itself.
std::string DestinationFor(const std::string& source, const std::string& dst, bool intoFolder)
{
    if (intoFolder || IsDir(dst))
        return NoTrailingSlash(dst) + "/" + fs::path(source).filename().string();
    return NoTrailingSlash(dst);
}

bool Within(const fs::path& inner, const fs::path& outer)
{
    std::error_code ec;
    const std::string i = fs::weakly_canonical(inner, ec).string() + "/";
    const std::string o = fs::weakly_canonical(outer, ec).string() + "/";
    return i.compare(0, o.size(), o) == 0;
}

// Copy and move report whether the entry reached its place; a folder copied or moved
// into itself is skipped (it would never end) and counts as done.
bool CopyOne(const std::string& source, const std::string& target)
{
    std::error_code ec;
    if (IsDir(source) && Within(target, source))
        return true;
    fs::copy(source, target,
             fs::copy_options::recursive | fs::copy_options::overwrite_existing | fs::copy_options::copy_symlinks, ec);
    return !ec;
}

bool MoveOne(const std::string& source, const std::string& target)
{
    if (rename(source.c_str(), target.c_str()) == 0)
        return true;
    if (errno != EXDEV && errno != ENOTEMPTY && errno != EEXIST)
        return false;
    if (IsDir(source) && Within(target, source))
        return true;
    std::error_code ec;
    fs::copy(source, target,
             fs::copy_options::recursive | fs::copy_options::overwrite_existing | fs::copy_options::copy_symlinks, ec);
    if (ec)
        return false;
    fs::remove_all(source, ec);
    return !ec;
}

std::string CurrentFolder()
{
    std::error_code ec;
    std::string cwd = fs::current_path(ec).string();
    if (cwd.empty() || cwd.back() != '/')
        cwd += '/';
    return FromNativePath(cwd);
}

std::string ReasonText(int err)
{
    switch (err) {
    case ENOENT:
        return "指定されたパスが見つかりません。";
    case EACCES:
    case EPERM:
        return "アクセスが拒否されました。";
    case ENOTDIR:
        return "ディレクトリ名が無効です。";
    default:
        return FromNativePath(std::strerror(err));
    }
}

// The first entry that a file name or pattern names (native), or "".
std::string FirstMatch(const std::string& native)
{
    const std::string name = fs::path(native).filename().string();
    struct stat sb {};
    if (!HasWildcard(name) && !native.empty() && lstat(native.c_str(), &sb) == 0)
        return native;
    std::vector<TDirEntry> list = ListPattern(native);
    if (list.empty())
        return std::string();
    return native.substr(0, native.size() - name.size()) + list.front().Name;
}

std::vector<std::string> SplitPatterns(const std::string& arg)
{
    std::vector<std::string> out;
    size_t i = 0;
    while (i <= arg.size()) {
        size_t j = arg.find(';', i);
        if (j == std::string::npos)
            j = arg.size();
        if (j > i)
            out.push_back(arg.substr(i, j - i));
        i = j + 1;
    }
    return out;
}

// ---- whole files ----------------------------------------------------------------------

// 読む: the variable receives the file's text (or the clipboard's): a UTF-8 file
// converted to Shift_JIS, any other file byte for byte.
void cmdRead(TPoruBase& st)
{
    const std::string raw = st.PopRaw();
    THashNode* var = st.PopWord(true);
    std::string value;
    if (raw == kClipboardWord) {
        value = ClipboardText();
    } else {
        const std::string path = ResolveReadPath(st, st.EvaluateValue(raw));
        if (!IsRegular(Native(path)) || !ReadWholeFile(Native(path), value))
            IoError(st, path);
        if (IsUtf8Text(value))
            value = TextFileToSjis(value);
    }
    var->TypeText = "s";
    if (var->Kind == wkObject && st.Host)
        st.Host->SetObjectValue(st, var, value);
    var->Value = std::move(value);
}

// 書く: the file holds the text (or the clipboard does), in the encoding and with
// the line ends of 保存文字コード and 保存改行コード (by default exactly the text).
void cmdWrite(TPoruBase& st)
{
    const std::string raw = st.PopRaw();
    const std::string text = st.PopText();
    if (raw == kClipboardWord) {
        SetClipboardText(text);
        return;
    }
    const std::string name = st.EvaluateValue(raw);
    const TTextWriteMode mode = TextWriteMode(st);
    if (!SecurityGate(st, name, "\"" + name + "\"へ書き込みます。"))
        return;
    std::string bytes = mode.Encoding == TTextEncoding::Utf8Bom ? std::string(kUtf8Bom) : std::string();
    bytes += TextForFile(st, text, mode.Encoding, mode.LineEnd, name);
    int fd = open(Native(name).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0)
        IoError(st, name);
    const bool ok = WriteAll(fd, bytes);
    if (close(fd) != 0 || !ok)
        IoError(st, name);
}

// What 追加保存 appends: the encoding of the file's own text when it tells one
// (UTF-8, or Shift_JIS when it holds other non-ASCII bytes), else the chosen one; a
// byte-order mark only at the start of an empty file.
std::string AppendedText(TPoruBase& st, const std::string& text, const TTextWriteMode& mode, const std::string& path)
{
    const std::string head = ReadFileHead(Native(path), 64 * 1024);
    TTextEncoding encoding = mode.Encoding;
    if (IsUtf8Text(head, true))
        encoding = TTextEncoding::Utf8;
    else if (std::any_of(head.begin(), head.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; }))
        encoding = TTextEncoding::Sjis;
    std::string bytes = head.empty() && encoding == TTextEncoding::Utf8Bom ? std::string(kUtf8Bom) : std::string();
    return bytes + TextForFile(st, text, encoding, mode.LineEnd, path);
}

// 追加保存: the text is appended to an existing file (or to the clipboard).
void cmdAppend(TPoruBase& st)
{
    const std::string raw = st.PopRaw();
    const std::string text = st.PopText();
    if (raw == kClipboardWord) {
        SetClipboardText(ClipboardText() + text);
        return;
    }
    const std::string path = FindReadPath(st, st.EvaluateValue(raw));
    if (!IsRegular(Native(path)))
        st.Error("ファイル\"" + path + "\"が、ありません。");
    const TTextWriteMode mode = TextWriteMode(st);
    if (!SecurityGate(st, path, "ファイル\"" + path + "\"へ文字列を追加します。"))
        return;
    const std::string bytes = AppendedText(st, text, mode, path);
    int fd = open(Native(path).c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd < 0)
        IoError(st, path);
    const bool ok = WriteAll(fd, bytes);
    if (close(fd) != 0 || !ok)
        IoError(st, path);
}

// ---- copy, delete, rename, move ------------------------------------------------------------

// Copy and move: each source (a file, a folder, or the matches of a wildcard) goes to
// its place under the destination; a wildcard source makes the destination a folder.
// Missing folders on the way to the destination are created, as the shell does. A
// named source that does not exist, and an entry that could not be copied or moved,
// are errors; a wildcard that matches nothing does nothing.
template <class Action> void ForEachSource(TPoruBase& st, const std::string& src, const std::string& dst, Action action)
{
    const std::string nativeSrc = Native(src), nativeDst = Native(dst);
    const bool wildcard = HasWildcard(fs::path(nativeSrc).filename().string());
    std::error_code ec;
    if (wildcard)
        fs::create_directories(nativeDst, ec);
    const std::vector<std::string> sources = Sources(nativeSrc);
    if (sources.empty() && !wildcard)
        st.Error("ファイル\"" + src + "\"が、ありません。");
    for (const std::string& s : sources) {
        const std::string target = DestinationFor(s, nativeDst, wildcard);
        const fs::path parent = fs::path(target).parent_path();
        if (!parent.empty())
            fs::create_directories(parent, ec);
        if (!action(s, target))
            st.Error("ファイル\"" + FromNativePath(s) + "\"の、読み込みか書き込みに、失敗しました。");
    }
}

// ファイルコピー: files, folders (with their contents) or wildcard matches.
void cmdCopy(TPoruBase& st)
{
    const std::string dst = Trim(st.PopText());
    const std::string src = ResolveReadPath(st, Trim(st.PopText()));
    if (!SecurityGateOutside(st, {dst}, "ファイル\"" + src + "\"を、\"" + dst + "\"へコピーします。"))
        return;
    ForEachSource(st, src, dst, CopyOne);
}

// ファイル削除: to the trash; nothing is deleted for good when that fails.
void cmdDelete(TPoruBase& st)
{
    const std::string path = InScriptFolder(st, Trim(st.PopText()));
    if (!SecurityGate(st, path, "ファイル\"" + path + "\"を、削除します。"))
        return;
    for (const std::string& s : Sources(Native(path)))
        MoveToTrash(s);
}

// ファイル完全削除: the file is deleted directly.
void cmdDeleteForGood(TPoruBase& st)
{
    const std::string path = InScriptFolder(st, FindReadPath(st, Trim(st.PopText())));
    if (!SecurityGate(st, path, "ファイル\"" + path + "\"を、完全に削除します。"))
        return;
    const std::string native = Native(path);
    struct stat sb {};
    if (lstat(native.c_str(), &sb) == 0 && !S_ISDIR(sb.st_mode))
        unlink(native.c_str());
}

// ファイル名変更: never replaces an existing file.
void cmdRename(TPoruBase& st)
{
    const std::string newName = st.PopText();
    const std::string oldName = st.PopText();
    if (!SecurityGate(st, {oldName, newName},
                      "ファイル名\"" + oldName + "\"を、\r\n\"" + newName + "\"に、改名します。"))
        return;
    const std::string from = Native(oldName);
    const std::string to = Native(newName);
    struct stat sb {};
    if (from.empty() || to.empty() || lstat(to.c_str(), &sb) == 0 || rename(from.c_str(), to.c_str()) != 0)
        st.Error("ファイル\"" + oldName + "\"の、読み込みか書き込みに、失敗しました。ファイル名の変更");
}

// ファイル移動: files, folders or wildcard matches.
void cmdMove(TPoruBase& st)
{
    const std::string dst = Trim(st.PopText());
    const std::string src = Trim(FindReadPath(st, Trim(st.PopText())));
    if (!SecurityGate(st, {src, dst}, "\"" + src + "\"を,\"" + dst + "\"へ移動しますか？"))
        return;
    ForEachSource(st, src, dst, MoveOne);
}

// ショートカット作成: a symbolic link at the ".lnk" name, pointing at the target.
void cmdShortcut(TPoruBase& st)
{
    std::string dst = Trim(st.PopText());
    const std::string target = Trim(FindReadPath(st, Trim(st.PopText())));
    if (EndsWithSeparator(dst) || dst.empty())
        dst += PathNamePart(target);
    if (LowerAscii(PathExtPart(dst)) != ".lnk")
        dst = ChangePathExt(dst, ".lnk");
    if (!SecurityGateOutside(st, {dst}, "ショートカット\"" + dst + "\"を作成します。"))
        return;
    std::error_code ec;
    const fs::path pointee = fs::weakly_canonical(fs::absolute(Native(target), ec), ec);
    const std::string link = Native(dst);
    struct stat sb {};
    if (lstat(link.c_str(), &sb) == 0) {
        if (S_ISDIR(sb.st_mode))
            IoError(st, dst);
        unlink(link.c_str());
    }
    if (symlink(pointee.c_str(), link.c_str()) != 0)
        IoError(st, dst);
}

// ---- folders ----------------------------------------------------------------------------

void ChangeFolder(TPoruBase& st, const std::string& folder)
{
    const std::string path = Trim(folder);
    if (chdir(Native(path).c_str()) != 0) {
        const std::string name = st.CurrentCommand ? st.CurrentCommand->Name : std::string();
        st.Error("\"" + name + "\"で作業フォルダの変更に失敗。理由は、" + ReasonText(errno));
    }
}

// 作業フォルダ変更
void cmdChangeFolder(TPoruBase& st)
{
    ChangeFolder(st, st.PopText());
}

// 作業フォルダ (作業ディレクトリ): without an argument それ = the current folder.
void cmdWorkFolder(TPoruBase& st)
{
    const bool noSlot = !st.CurrentCommand || st.CurrentCommand->ArgSpec.empty();
    if (noSlot || st.ImpliedSore) {
        if (!noSlot)
            st.PopRaw();
        st.SetSore(CurrentFolder(), "s");
        return;
    }
    ChangeFolder(st, st.PopText());
}

// フォルダ作成: every missing level.
void cmdMakeFolder(TPoruBase& st)
{
    const std::string path = Trim(st.PopText());
    if (path.empty())
        st.ArgError("引数を指定してください。");
    if (!SecurityGate(st, path, "\"" + path + "\" にフォルダを作成します。"))
        return;
    std::error_code ec;
    fs::create_directories(Native(path), ec);
}

bool IsRootOrHome(const std::string& native)
{
    std::error_code ec;
    const fs::path p = fs::weakly_canonical(fs::absolute(native.empty() ? "." : native, ec), ec);
    if (p == p.root_path())
        return true;
    const char* home = std::getenv("HOME");
    if (home && home[0]) {
        const fs::path h = fs::weakly_canonical(home, ec);
        if (!ec && p == h)
            return true;
    }
    return false;
}

// フォルダ削除: the folder and all it holds; symbolic links are removed, never followed.
void cmdRemoveFolder(TPoruBase& st)
{
    const std::string path = Trim(st.PopText());
    if (path.empty())
        return;
    std::string native = Native(path);
    if (native.empty())
        return;
    if (EndsWithSeparator(path))
        native = NoTrailingSlash(native) + "/*";
    const std::string name = fs::path(native).filename().string();
    const bool contents = HasWildcard(name);
    const std::string folder = contents ? native.substr(0, native.size() - name.size()) : std::string();

    if (contents ? ((name == "*" || name == "*.*") && IsRootOrHome(folder)) : IsRootOrHome(native))
        return;
    if (!SecurityGateOutside(st, {path}, "フォルダ\"" + path + "\"を、削除します。"))
        return;

    if (!contents) {
        RemoveTree(NoTrailingSlash(native));
        return;
    }
    struct stat sb {};
    const std::string folderPath = NoTrailingSlash(folder.empty() ? "." : folder);
    if (lstat(folderPath.c_str(), &sb) == 0 && S_ISLNK(sb.st_mode)) {
        unlink(folderPath.c_str());   // the link goes, what it points at stays
        return;
    }
    for (const TDirEntry& e : ListPattern(native))
        RemoveTree(folder + e.Name);
    if (!folder.empty())
        rmdir(folderPath.c_str());
}

// ---- attributes, dates, sizes -------------------------------------------------------------

// ファイル属性変更: bit 1 (read-only) maps to the owner-write permission.
void cmdSetAttributes(TPoruBase& st)
{
    const std::string attrText = Trim(st.PopText());
    const std::string file = FindReadPath(st, st.PopText());
    char* end = nullptr;
    errno = 0;
    const long attr = std::strtol(attrText.c_str(), &end, 10);
    if (attrText.empty() || !end || *end != '\0' || errno != 0)
        return;
    if (!SecurityGate(st, file, "\"" + file + "\"のファイル属性変更をしますか？"))
        return;
    const std::string native = Native(file);
    struct stat sb {};
    if (stat(native.c_str(), &sb) != 0)
        return;
    mode_t mode = sb.st_mode & 07777;
    mode = (attr & 1) ? (mode & ~S_IWUSR) : (mode | S_IWUSR);
    chmod(native.c_str(), mode);
}

// ファイル属性取得
void cmdGetAttributes(TPoruBase& st)
{
    st.SetSoreNumber(FileAttributes(Native(st.PopText())));
}

// ファイル日時: the last-write time, local, at two-second resolution.
void cmdFileTime(TPoruBase& st)
{
    const std::string arg = st.PopText();
    const std::string match = FirstMatch(Native(arg));
    struct stat sb {};
    if (match.empty() || stat(match.c_str(), &sb) != 0)
        IoError(st, arg);
    std::time_t t = sb.st_mtim.tv_sec;
    t -= t % 2;
    std::tm tm{};
    localtime_r(&t, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y/%m/%d %H:%M:%S", &tm);
    st.SetSore(buf, "s");
}

// ファイルサイズ: 64-bit sizes.
void cmdFileSize(TPoruBase& st)
{
    const std::string arg = st.PopText();
    const std::string match = FirstMatch(Native(arg));
    struct stat sb {};
    if (match.empty() || stat(match.c_str(), &sb) != 0)
        IoError(st, arg);
    st.SetSore(std::to_string(static_cast<long long>(sb.st_size)), "s");
}

// ---- listings ----------------------------------------------------------------------------

void ListNames(TPoruBase& st, bool folders)
{
    const std::string arg = st.PopText();
    if (arg.empty())
        return;
    std::string text;
    for (std::string pattern : SplitPatterns(arg)) {
        if (EndsWithSeparator(pattern))
            pattern += "*";
        for (const TDirEntry& e : ListPattern(Native(pattern))) {
            if (e.Folder != folders)
                continue;
            text += FromNativePath(e.Name);
            text += "\r\n";
        }
    }
    st.SetSoreValue(std::move(text));
}

// ファイル列挙
void cmdListFiles(TPoruBase& st)
{
    ListNames(st, false);
}

// フォルダ列挙
void cmdListFolders(TPoruBase& st)
{
    ListNames(st, true);
}

// Files matching `mask` below `root` (script form), depth first; symbolic links to
// folders are listed by nobody and never entered, so link loops cannot recur.
void WalkFiles(const std::string& root, const std::string& mask, std::string& out)
{
    const std::string nativeRoot = Native(root);
    for (const TDirEntry& e : ListPattern(nativeRoot + mask)) {
        if (e.Folder)
            continue;
        out += root;
        out += FromNativePath(e.Name);
        out += "\r\n";
    }
    for (const TDirEntry& e : ListPattern(nativeRoot + "*"))
        if (e.Folder && !e.Link)
            WalkFiles(root + FromNativePath(e.Name) + "/", mask, out);
}

// 全ファイル列挙
void cmdListAllFiles(TPoruBase& st)
{
    const std::string arg = Trim(st.PopText());
    if (arg.empty())
        return;
    st.SetSore(std::string(), "s");
    std::string text;
    for (const std::string& pattern : SplitPatterns(arg)) {
        std::string mask = PathNamePart(pattern);
        WalkFiles(PathFolderPart(pattern), mask.empty() ? std::string("*") : Native(mask), text);
    }
    st.SetSoreValue(std::move(text));
}

// ---- tests -------------------------------------------------------------------------------

// フォルダか
void cmdIsFolder(TPoruBase& st)
{
    st.SetSoreValue(IsDir(Native(Trim(st.PopText()))) ? "1" : "0");
}

// ファイルか
void cmdIsFile(TPoruBase& st)
{
    const std::string native = Native(Trim(st.PopText()));
    struct stat sb {};
    st.SetSoreValue(!native.empty() && stat(native.c_str(), &sb) == 0 && !S_ISDIR(sb.st_mode) ? "1" : "0");
}

// 存在するか: a trailing separator tests a folder, anything else a file.
void cmdExists(TPoruBase& st)
{
    const std::string path = Trim(st.PopText());
    const std::string native = Native(path);
    bool found;
    if (EndsWithSeparator(path)) {
        found = IsDir(native);
    } else {
        struct stat sb {};
        found = !native.empty() && stat(native.c_str(), &sb) == 0 && !S_ISDIR(sb.st_mode);
    }
    st.SetSoreValue(found ? "1" : "0");
}

// ドライブ種類判定
void cmdDriveType(TPoruBase& st)
{
    std::string arg = st.PopText();
    if (!arg.empty() && arg.size() == CharLen(arg.c_str()))
        arg += ":\\";
    st.SetSore(DriveTypeName(Native(arg)), "s");
}

// 短いファイル名取得, 長いファイル名取得: names have one form only here.
void cmdNameForm(TPoruBase& st)
{
    st.SetSore(FindReadPath(st, st.PopText()), "s");
}

// ---- path parts -------------------------------------------------------------------------

void cmdFolderPart(TPoruBase& st)
{
    st.SetSore(PathFolderPart(st.PopText()), "s");
}

void cmdExtPart(TPoruBase& st)
{
    st.SetSore(PathExtPart(st.PopText()), "s");
}

void cmdNamePart(TPoruBase& st)
{
    st.SetSore(PathNamePart(st.PopText()), "s");
}

void cmdChangeExt(TPoruBase& st)
{
    const std::string ext = st.PopText();
    const std::string path = st.PopText();
    st.SetSore(ChangePathExt(path, ext), "s");
}

HandlerRegistrar reg({
    {Cmd::Read, cmdRead},
    {Cmd::Write, cmdWrite},
    {Cmd::Append, cmdAppend},
    {Cmd::CopyFile, cmdCopy},
    {Cmd::DeleteFile, cmdDelete},
    {Cmd::DeleteForGood, cmdDeleteForGood},
    {Cmd::RenameFile, cmdRename},
    {Cmd::MoveFile, cmdMove},
    {Cmd::Shortcut, cmdShortcut},
    {Cmd::ChangeFolder, cmdChangeFolder},
    {Cmd::WorkFolder, cmdWorkFolder},
    {Cmd::MakeFolder, cmdMakeFolder},
    {Cmd::RemoveFolder, cmdRemoveFolder},
    {Cmd::SetAttributes, cmdSetAttributes},
    {Cmd::GetAttributes, cmdGetAttributes},
    {Cmd::FileTime, cmdFileTime},
    {Cmd::FileSize, cmdFileSize},
    {Cmd::ListFiles, cmdListFiles},
    {Cmd::ListFolders, cmdListFolders},
    {Cmd::ListAllFiles, cmdListAllFiles},
    {Cmd::IsFolder, cmdIsFolder},
    {Cmd::IsFile, cmdIsFile},
    {Cmd::Exists, cmdExists},
    {Cmd::DriveType, cmdDriveType},
    {Cmd::ShortName, cmdNameForm},
    {Cmd::LongName, cmdNameForm},
    {Cmd::FolderPart, cmdFolderPart},
    {Cmd::ExtPart, cmdExtPart},
    {Cmd::NamePart, cmdNamePart},
    {Cmd::ChangeExt, cmdChangeExt},
});

}   // namespace
