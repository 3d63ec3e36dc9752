// The shared file operations: clipboard store, listings, trash, recursive removal,
// drive types and attributes.
#include "commands/files/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>

#include "core/codec.h"
#include "core/sjis.h"
#include "interp/builtins.h"
#include "interp/interp.h"
#include "interp/startup.h"
#include "loader/container.h"
#include "loader/container_temp.h"

namespace fs = std::filesystem;

// ---- clipboard -------------------------------------------------------------------

namespace {

struct TClipboardHooks {
    std::function<std::string()> Get;
    std::function<void(const std::string&)> Set;
    std::string Store;   // the in-process clipboard when no host clipboard is installed
};

TClipboardHooks& Clipboard()
{
    static TClipboardHooks c;
    return c;
}

}   // namespace

void SetClipboardHooks(std::function<std::string()> get, std::function<void(const std::string&)> set)
{
    Clipboard().Get = std::move(get);
    Clipboard().Set = std::move(set);
}

std::string ClipboardText()
{
    TClipboardHooks& c = Clipboard();
    return c.Get ? c.Get() : c.Store;
}

void SetClipboardText(const std::string& text)
{
    TClipboardHooks& c = Clipboard();
    if (c.Set)
        c.Set(text);
    else
        c.Store = text;
}

std::vector<TDirEntry> ListPattern(const std::string& nativePattern)
{
    std::vector<TDirEntry> out;
    const size_t slash = nativePattern.rfind('/');
    std::string folder = slash == std::string::npos ? std::string() : nativePattern.substr(0, slash + 1);
    std::string mask = slash == std::string::npos ? nativePattern : nativePattern.substr(slash + 1);
    if (mask.empty())
        mask = "*";
    DIR* d = opendir(folder.empty() ? "." : folder.c_str());
    if (!d)
        return out;
    while (dirent* e = readdir(d)) {
        const char* n = e->d_name;
        if (std::strcmp(n, ".") == 0 || std::strcmp(n, "..") == 0)
            continue;
        if (!MatchFileMask(mask, n))
            continue;
        TDirEntry entry;
        entry.Name = n;
        const std::string full = (folder.empty() ? std::string() : folder) + n;
        struct stat sb {};
        if (lstat(full.c_str(), &sb) != 0)
            continue;
        entry.Link = S_ISLNK(sb.st_mode);
        if (entry.Link) {
            struct stat target {};
            entry.Folder = stat(full.c_str(), &target) == 0 && S_ISDIR(target.st_mode);
        } else {
            entry.Folder = S_ISDIR(sb.st_mode);
        }
        out.push_back(std::move(entry));
    }
    closedir(d);
    std::sort(out.begin(), out.end(), [](const TDirEntry& a, const TDirEntry& b) { return a.Name < b.Name; });
    return out;
}

// ---- trash -------------------------------------------------------------------------------

namespace {

std::string PercentEncode(const std::string& path)
{
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : path) {
        if (std::isalnum(c) || c == '/' || c == '-' || c == '_' || c == '.' || c == '~') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

bool EnsurePrivateDir(const std::string& path)
{
    struct stat sb {};
    if (lstat(path.c_str(), &sb) == 0)
        return S_ISDIR(sb.st_mode);
    return mkdir(path.c_str(), 0700) == 0;
}

// A trash folder with its files/ and info/ subfolders, made when missing.
bool PrepareTrash(const std::string& trash)
{
    return EnsurePrivateDir(trash) && EnsurePrivateDir(trash + "/files") && EnsurePrivateDir(trash + "/info");
}

std::string HomeTrash()
{
    const char* data = std::getenv("XDG_DATA_HOME");
    if (data && data[0] == '/')
        return std::string(data) + "/Trash";
    const char* home = std::getenv("HOME");
    return std::string(home && home[0] ? home : "/") + "/.local/share/Trash";
}

// The mount point of the volume holding `path` (walking up while the device stays).
std::string TopDir(const std::string& path, dev_t dev)
{
    fs::path p = fs::path(path).parent_path();
    fs::path top = p;
    while (true) {
        struct stat sb {};
        if (stat(p.c_str(), &sb) != 0 || sb.st_dev != dev)
            break;
        top = p;
        if (p == p.root_path())
            break;
        p = p.parent_path();
    }
    return top.string();
}

bool TrashInto(const std::string& trash, const std::string& source, const std::string& infoPath)
{
    const std::string base = fs::path(source).filename().string();
    char date[32];
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S", &tm);
    const std::string info = "[Trash Info]\nPath=" + PercentEncode(infoPath) + "\nDeletionDate=" + date + "\n";
    for (int n = 1; n < 10000; ++n) {
        const std::string name = n == 1 ? base : base + "." + std::to_string(n);
        const std::string infoFile = trash + "/info/" + name + ".trashinfo";
        int fd = open(infoFile.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return false;
        }
        const bool written = write(fd, info.data(), info.size()) == static_cast<ssize_t>(info.size());
        close(fd);
        const std::string target = trash + "/files/" + name;
        struct stat sb {};
        if (written && lstat(target.c_str(), &sb) != 0 && rename(source.c_str(), target.c_str()) == 0)
            return true;
        unlink(infoFile.c_str());
        if (!written || errno != EEXIST)
            return false;
    }
    return false;
}

}   // namespace

bool MoveToTrash(const std::string& nativePath)
{
    std::error_code ec;
    fs::path abs = fs::absolute(nativePath, ec).lexically_normal();
    std::string path = abs.string();
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    // The folder is resolved, the last component (perhaps a link) is trashed itself.
    fs::path parent = fs::weakly_canonical(fs::path(path).parent_path(), ec);
    path = (parent / fs::path(path).filename()).string();
    struct stat sb {};
    if (path == "/" || lstat(path.c_str(), &sb) != 0)
        return false;

    // Files on the volume of the home trash go there and nowhere else.
    const std::string home = HomeTrash();
    fs::path existing = fs::path(home);
    struct stat homeStat {};
    while (stat(existing.c_str(), &homeStat) != 0 && existing.has_parent_path() && existing != existing.root_path())
        existing = existing.parent_path();
    if (homeStat.st_dev == sb.st_dev) {
        // Never trash the trash itself.
        if (path.compare(0, home.size() + 1, home + "/") == 0 || path == home)
            return false;
        fs::create_directories(fs::path(home).parent_path(), ec);
        return PrepareTrash(home) && TrashInto(home, path, path);
    }

    // Another volume: $topdir/.Trash/$uid when the administrator provides it, else
    // $topdir/.Trash-$uid.
    const std::string top = TopDir(path, sb.st_dev);
    const std::string uid = std::to_string(getuid());
    std::string relative = path.substr(top == "/" ? 1 : top.size() + 1);
    struct stat shared {};
    const std::string sharedTrash = top + "/.Trash";
    if (lstat(sharedTrash.c_str(), &shared) == 0 && S_ISDIR(shared.st_mode) && (shared.st_mode & S_ISVTX)) {
        const std::string mine = sharedTrash + "/" + uid;
        if (PrepareTrash(mine) && TrashInto(mine, path, relative))
            return true;
    }
    const std::string own = top + (top == "/" ? "" : "/") + ".Trash-" + uid;
    struct stat ownStat {};
    if (!PrepareTrash(own) || lstat(own.c_str(), &ownStat) != 0 || ownStat.st_uid != getuid())
        return false;
    return TrashInto(own, path, relative);
}

// ---- recursive removal ---------------------------------------------------------------------

void RemoveTree(const std::string& nativePath)
{
    struct stat sb {};
    if (lstat(nativePath.c_str(), &sb) != 0)
        return;
    if (!S_ISDIR(sb.st_mode)) {
        if (S_ISREG(sb.st_mode) && !(sb.st_mode & S_IWUSR))
            return;   // read-only files stay
        unlink(nativePath.c_str());
        return;
    }
    if (DIR* d = opendir(nativePath.c_str())) {
        std::vector<std::string> names;
        while (dirent* e = readdir(d))
            if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
                names.emplace_back(e->d_name);
        closedir(d);
        for (const std::string& n : names)
            RemoveTree(nativePath + "/" + n);
    }
    rmdir(nativePath.c_str());
}

// ---- drive types ----------------------------------------------------------------------------

namespace {

std::string UnescapeMount(const std::string& s)
{
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 3 < s.size() && std::isdigit(static_cast<unsigned char>(s[i + 1]))) {
            out += static_cast<char>(std::strtol(s.substr(i + 1, 3).c_str(), nullptr, 8));
            i += 3;
        } else {
            out += s[i];
        }
    }
    return out;
}

bool ReadsOne(const std::string& file)
{
    std::ifstream in(file);
    std::string v;
    return in >> v && v == "1";
}

}   // namespace

std::string DriveTypeName(const std::string& nativePath)
{
    std::error_code ec;
    if (!fs::exists(nativePath, ec))
        return "存在しない";
    const std::string path = fs::weakly_canonical(fs::absolute(nativePath, ec), ec).string();
    std::ifstream in("/proc/self/mountinfo");
    std::string line, bestMount, bestType, bestDevice;
    while (std::getline(in, line)) {
        // id parent major:minor root mountpoint options [optional...] - fstype source ...
        std::vector<std::string> f;
        size_t i = 0;
        while (i < line.size()) {
            size_t j = line.find(' ', i);
            if (j == std::string::npos)
                j = line.size();
            f.push_back(line.substr(i, j - i));
            i = j + 1;
        }
        auto dash = std::find(f.begin(), f.end(), "-");
        if (f.size() < 5 || dash == f.end() || dash + 1 == f.end())
            continue;
        const std::string mount = UnescapeMount(f[4]);
        const bool covers =
            mount == "/" || path == mount ||
            (path.size() > mount.size() && path.compare(0, mount.size(), mount) == 0 && path[mount.size()] == '/');
        if (covers && mount.size() >= bestMount.size()) {
            bestMount = mount;
            bestType = *(dash + 1);
            bestDevice = f[2];
        }
    }
    if (bestType == "tmpfs" || bestType == "ramfs")
        return "RAMディスク";
    if (bestType == "nfs" || bestType == "nfs4" || bestType == "cifs" || bestType == "smb3" || bestType == "smbfs" ||
        bestType == "fuse.sshfs" || bestType == "9p" || bestType == "afs")
        return "リモート";
    if (bestType == "iso9660" || bestType == "udf")
        return "CD-ROM";
    if (!bestDevice.empty()) {
        const std::string sys = "/sys/dev/block/" + bestDevice;
        if (ReadsOne(sys + "/removable") || ReadsOne(sys + "/../removable"))
            return "リムーバブルディスク";
    }
    return "固定";
}

// ---- attributes -----------------------------------------------------------------------------

int32_t FileAttributes(const std::string& nativePath)
{
    struct stat sb {};
    if (stat(nativePath.c_str(), &sb) != 0)
        return -1;
    int32_t a = S_ISDIR(sb.st_mode) ? 16 : 32;
    if (!(sb.st_mode & S_IWUSR))
        a |= 1;
    std::string path = nativePath;
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    const std::string name = fs::path(path).filename().string();
    if (name.size() > 1 && name[0] == '.' && name != "..")
        a |= 2;
    return a;
}

// ---- text file encodings ----------------------------------------------------------------

namespace {

// Upper-case ASCII with blanks, "-", "_" and "+" removed: "utf-8" and "UTF8" are one.
std::string SettingKey(std::string_view text)
{
    std::string key;
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (IsLeadByte(c) && i + 1 < text.size()) {
            key.append(text.substr(i++, 2));
            continue;
        }
        if (c <= ' ' || c == '-' || c == '_' || c == '+')
            continue;
        key += static_cast<char>(std::toupper(c));
    }
    return key;
}

std::string SettingValue(TPoruBase& st, const char* name)
{
    const THashNode* node = st.Words.FindExact(name);
    return node ? node->Value : std::string();
}

std::string CodePointText(uint32_t cp)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "U+%04X", static_cast<unsigned>(cp));
    return buf;
}

}   // namespace

bool ParseTextEncoding(std::string_view text, TTextEncoding& encoding)
{
    const std::string key = SettingKey(text);
    if (key.empty() || key == "SJIS" || key == "SHIFTJIS" || key == "CP932")
        encoding = TTextEncoding::Sjis;
    else if (key == "UTF8")
        encoding = TTextEncoding::Utf8;
    else if (key == "UTF8BOM" || key == "UTF8(BOM付き)" || key == "UTF8BOM付き" || key == "BOM付きUTF8")
        encoding = TTextEncoding::Utf8Bom;
    else
        return false;
    return true;
}

bool ParseLineEnd(std::string_view text, TLineEnd& lineEnd)
{
    const std::string key = SettingKey(text);
    if (key.empty() || key == "CRLF")
        lineEnd = TLineEnd::CrLf;
    else if (key == "LF")
        lineEnd = TLineEnd::Lf;
    else
        return false;
    return true;
}

TTextWriteMode TextWriteMode(TPoruBase& st)
{
    TTextWriteMode mode;
    const std::string encoding = SettingValue(st, "保存文字コード");
    if (!ParseTextEncoding(encoding, mode.Encoding))
        st.Error("保存文字コード「" + encoding +
                 "」は使えません。「SJIS」「UTF-8」「UTF-8(BOM付き)」のどれかを指定してください。");
    const std::string lineEnd = SettingValue(st, "保存改行コード");
    if (!ParseLineEnd(lineEnd, mode.LineEnd))
        st.Error("保存改行コード「" + lineEnd + "」は使えません。「CRLF」か「LF」を指定してください。");
    return mode;
}

std::string TextForFile(TPoruBase& st, std::string_view value, TTextEncoding encoding, TLineEnd lineEnd,
                        const std::string& file)
{
    std::vector<TLostChar> lost;
    std::string bytes = SjisToTextFile(value, encoding, lineEnd, &lost);
    ReportLostChars(st, lost, file);
    return bytes;
}

void ReportLostChars(TPoruBase& st, const std::vector<TLostChar>& lost, const std::string& file)
{
    if (lost.empty())
        return;
    const TLostChar& first = lost.front();
    std::string what;
    if (first.CodePoint == 0xFFFD)
        what = "Shift_JISの文字として正しくないバイトを";
    else
        what = "文字「" + Utf8ToSjis(CodePointToUtf8(first.CodePoint)) + "」(" + CodePointText(first.CodePoint) +
               ")はShift_JISで表せないため、";
    std::string message = what + "ファイル\"" + file + "\"には「" +
                          (first.WrittenAs[0] == '&' ? first.WrittenAs : CodePointText(0xFFFD)) + "」と書きました。";
    if (lost.size() > 1)
        message += "(ほか" + std::to_string(lost.size() - 1) + "文字)";
    st.ReportWarning(message);
}
