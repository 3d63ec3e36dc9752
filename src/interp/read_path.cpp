// How every command that reads a file finds it: the read-path search and the
// extraction of files packed into the program's container.
#include "interp/read_path.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "core/codec.h"
#include "core/file_io.h"
#include "core/paths.h"
#include "core/sjis.h"
#include "core/text.h"
#include "interp/builtins.h"
#include "interp/interp.h"
#include "interp/startup.h"
#include "loader/container.h"
#include "loader/container_temp.h"

namespace fs = std::filesystem;

// ---- read-path search ----------------------------------------------------------------

namespace {

// The existing path whose components equal those of `native` without regard to
// ASCII case (an exact component preferred); "" when there is none.
std::string CaseBlindPath(const std::string& native)
{
    if (native.empty())
        return std::string();
    std::string resolved = native[0] == '/' ? "/" : "";
    size_t i = native[0] == '/' ? 1 : 0;
    while (i <= native.size()) {
        size_t j = native.find('/', i);
        if (j == std::string::npos)
            j = native.size();
        std::string part = native.substr(i, j - i);
        i = j + 1;
        if (part.empty() || part == ".")
            continue;
        if (resolved.size() > 1 && resolved.back() != '/')
            resolved += '/';
        std::string candidate = resolved + part;
        struct stat sb {};
        if (part == ".." || lstat(candidate.c_str(), &sb) == 0) {
            resolved = candidate;
            continue;
        }
        DIR* d = opendir(resolved.empty() ? "." : resolved.c_str());
        if (!d)
            return std::string();
        std::string found;
        while (dirent* e = readdir(d)) {
            if (e->d_name[0] == '.' && (e->d_name[1] == '\0' || (e->d_name[1] == '.' && e->d_name[2] == '\0')))
                continue;
            if (part.size() == std::strlen(e->d_name) &&
                std::equal(part.begin(), part.end(), e->d_name,
                           [](char a, char b) { return FoldAscii(a) == FoldAscii(b); })) {
                found = e->d_name;
                break;
            }
        }
        closedir(d);
        if (found.empty())
            return std::string();
        resolved += found;
    }
    return IsRegularFile(resolved) ? resolved : std::string();
}

}   // namespace

std::string CurrentFolderValue()
{
    std::error_code ec;
    std::string cwd = fs::current_path(ec).string();
    if (cwd.empty() || cwd.back() != '/')
        cwd += '/';
    return FromNativePath(cwd);
}

std::vector<std::string> ReadPathFolders(TPoruBase& st)
{
    if (st.StartFolder.empty())
        CommandLineText(st);
    std::string mainFolder = st.Ext<TStartInfo>().MainFolder;
    if (mainFolder.empty())
        mainFolder = PathFolderPart(st.FileName);
    std::vector<std::string> folders;
    for (std::string f :
         {CurrentFolderValue(), st.StartFolder, PathFolderPart(st.ExePath), RuntimeDataFolder(st), mainFolder})
        if (!f.empty() && std::find(folders.begin(), folders.end(), f) == folders.end())
            folders.push_back(std::move(f));
    return folders;
}

std::string FindReadPath(TPoruBase& st, const std::string& name)
{
    if (name.find(':') != std::string::npos || name.empty())
        return name;
    const std::string native = ToNativePath(name);
    if (native.empty())
        return name;
    if (native[0] == '/') {
        if (IsRegularFile(native))
            return name;
        const std::string blind = CaseBlindPath(native);
        return blind.empty() ? name : FromNativePath(blind);
    }

    const std::vector<std::string> folders = ReadPathFolders(st);
    for (const std::string& folder : folders) {
        if (folder.empty())
            continue;
        const std::string candidate = folder + name;
        if (IsRegularFile(ToNativePath(candidate)))
            return candidate;
    }
    for (const std::string& folder : folders) {
        if (folder.empty())
            continue;
        const std::string blind = CaseBlindPath(ToNativePath(folder + name));
        if (!blind.empty())
            return FromNativePath(blind);
    }
    return name;
}

// ---- packed-file extraction --------------------------------------------------------------

std::string PackedTempName(const std::string& entryName)
{
    const std::string upper = UpperSjis(entryName);
    std::string out;
    out.reserve(upper.size() + 8);
    for (size_t i = 0; i < upper.size();) {
        const auto c = static_cast<unsigned char>(upper[i]);
        if (IsLeadByte(c) && i + 1 < upper.size()) {
            out.append(upper, i, 2);
            i += 2;
            continue;
        }
        if (c == ':' || c == '\\' || c == '/')
            out += "__";
        else if (c != 0)
            out += static_cast<char>(c);
        ++i;
    }
    if (out.find_first_not_of('.') == std::string::npos)
        out.insert(0, "_");
    return out;
}

namespace {

// The entry names a script name may stand for: as written, with "/" as "\", and
// without a leading ".\".
std::vector<std::string> EntryCandidates(const std::string& name)
{
    std::vector<std::string> out{name};
    std::string back;
    back.reserve(name.size());
    for (size_t i = 0; i < name.size();) {
        const auto c = static_cast<unsigned char>(name[i]);
        if (IsLeadByte(c) && i + 1 < name.size()) {
            back.append(name, i, 2);
            i += 2;
            continue;
        }
        back += c == '/' ? '\\' : static_cast<char>(c);
        ++i;
    }
    if (back != name)
        out.push_back(back);
    if (back.size() > 2 && back[0] == '.' && back[1] == '\\')
        out.push_back(back.substr(2));
    return out;
}

}   // namespace

std::string ExtractPacked(TPoruBase& st, const std::string& name)
{
    TPackedState& packed = st.Ext<TPackedState>();
    if (!packed.Reader || name.empty())
        return name;
    const TMixNode* node = nullptr;
    for (const std::string& candidate : EntryCandidates(name))
        if ((node = packed.Reader->Find(candidate)) != nullptr)
            break;
    if (!node)
        return name;

    const std::string nativeName = SjisToUtf8(PackedTempName(node->Name));
    const std::string dir = PrivateTempDir();
    const std::string failure = "実行ファイルに梱包されている\"" + name + "\"の展開に失敗しました。";
    if (dir.empty())
        st.Error(failure);
    const std::string existing = dir + nativeName;
    struct stat sb {};
    if (lstat(existing.c_str(), &sb) == 0 && S_ISREG(sb.st_mode))
        return FromNativePath(existing);   // extracted before in this run

    std::string bytes;
    if (!packed.Reader->ExtractEntry(node->Name, bytes))
        st.Error(failure);
    const std::string path = CreatePrivateTempFile(nativeName, bytes);
    if (path.empty())
        st.Error(failure);
    st.ExtractedFiles.push_back(path);   // native: deleted when the state is released
    return FromNativePath(path);
}

std::string ResolveReadPath(TPoruBase& st, const std::string& name)
{
    return FindReadPath(st, ExtractPacked(st, name));
}
