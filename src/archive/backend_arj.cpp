// ARJ through the arj program: packing runs it in the base folder (a setting of the
// child process only); extraction first checks every entry name from the headers,
// lets arj unpack into a private folder inside the destination and then moves the
// files into place under the same rules as every other format.
#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "archive/arj_headers.h"
#include "archive/backend_support.h"
#include "commands/files/files.h"
#include "core/codec.h"

extern char** environ;

namespace {

std::string FindProgram(const char* name)
{
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
    size_t i = 0;
    while (i <= dirs.size()) {
        size_t j = dirs.find(':', i);
        if (j == std::string::npos)
            j = dirs.size();
        std::string d = dirs.substr(i, j - i);
        i = j + 1;
        if (d.empty())
            continue;
        const std::string full = d + "/" + name;
        if (access(full.c_str(), X_OK) == 0)
            return full;
    }
    return std::string();
}

// Runs arj with `args` in `cwd` (empty: the current folder); returns its exit
// status, with what it printed in `output`.
int RunArj(const std::vector<std::string>& args, const std::string& cwd, std::string& output)
{
    const std::string exe = FindProgram("arj");
    int pipeFd[2];
    if (exe.empty() || pipe2(pipeFd, O_CLOEXEC) != 0)
        return -1;
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&fa, pipeFd[1], 1);
    posix_spawn_file_actions_adddup2(&fa, pipeFd[1], 2);
    if (!cwd.empty())
        posix_spawn_file_actions_addchdir_np(&fa, cwd.c_str());
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>("arj"));
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    // Default switches from the environment would change what arj does.
    std::vector<std::string> envText;
    for (char** e = environ; *e; ++e)
        if (std::strncmp(*e, "ARJ_SW=", 7) != 0)
            envText.emplace_back(*e);
    std::vector<char*> envp;
    for (std::string& e : envText)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, exe.c_str(), &fa, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&fa);
    close(pipeFd[1]);
    if (rc != 0) {
        close(pipeFd[0]);
        return -1;
    }
    char buf[4096];
    for (;;) {
        const ssize_t n = read(pipeFd[0], buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        output.append(buf, static_cast<size_t>(n));
        if (output.size() > 65536)
            output.erase(0, output.size() - 65536);
    }
    close(pipeFd[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
}

// The last non-empty line arj printed, for messages.
std::string LastLine(const std::string& out)
{
    size_t end = out.size();
    while (end > 0) {
        while (end > 0 && (out[end - 1] == '\n' || out[end - 1] == '\r' || out[end - 1] == ' '))
            --end;
        size_t start = out.find_last_of("\r\n", end ? end - 1 : 0);
        start = start == std::string::npos ? 0 : start + 1;
        if (end > start)
            return out.substr(start, end - start);
        end = start;
    }
    return std::string();
}

[[noreturn]] void RaiseArjFailed(int status, const std::string& output)
{
    throw EArchiver("arj が失敗しました（終了コード " + std::to_string(status) + "）: " + SjisOf(LastLine(output)));
}

// Moves the unpacked tree `from` into `to` file by file under the settings' rules.
class TMerger {
public:
    TMerger(const TExtractSettings& s, TExtractResult& r) : s_(s), r_(r) {}
    bool Merge(const std::string& from, const std::string& to, const std::string& rel);

private:
    const TExtractSettings& s_;
    TExtractResult& r_;
    bool Fail(TExtractError e, const std::string& entry, const std::string& detail = "")
    {
        r_.Error = e;
        r_.Entry = entry;
        r_.Detail = detail;
        return false;
    }
};

bool TMerger::Merge(const std::string& from, const std::string& to, const std::string& rel)
{
    DIR* d = opendir(from.c_str());
    if (!d)
        return Fail(TExtractError::Read, rel, std::strerror(errno));
    std::vector<std::string> names;
    while (dirent* e = readdir(d))
        if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
            names.emplace_back(e->d_name);
    closedir(d);
    for (const std::string& raw : names) {
        const std::string name = EntryNameToUtf8(raw, false);
        const std::string entry = rel.empty() ? name : rel + "/" + name;
        const std::string src = from + "/" + raw;
        std::string dst = to + "/" + name;
        struct stat ss {
        }, ds{};
        if (lstat(src.c_str(), &ss) != 0)
            return Fail(TExtractError::Read, entry, std::strerror(errno));
        const bool exists = lstat(dst.c_str(), &ds) == 0;
        if (S_ISDIR(ss.st_mode)) {
            if (exists && !S_ISDIR(ds.st_mode))
                return Fail(TExtractError::Conflict, entry);
            if (!exists && mkdir(dst.c_str(), 0777) != 0)
                return Fail(TExtractError::Write, entry, std::strerror(errno));
            if (!Merge(src, dst, entry))
                return false;
            continue;
        }
        if (S_ISLNK(ss.st_mode)) {
            char target[4096];
            const ssize_t n = readlink(src.c_str(), target, sizeof target - 1);
            const std::string t = n > 0 ? std::string(target, static_cast<size_t>(n)) : std::string();
            if (!SafeLinkTarget(entry, t))
                return Fail(TExtractError::UnsafeLink, entry, t);
        } else if (!S_ISREG(ss.st_mode)) {
            continue;
        }
        if (!EntrySelected(s_, entry)) {
            ++r_.Skipped;
            continue;
        }
        if (strcasecmp(name.c_str(), "security.ini") == 0 && !(s_.ConfirmProtected && s_.ConfirmProtected(dst))) {
            ++r_.Skipped;
            continue;
        }
        if (exists) {
            if (S_ISDIR(ds.st_mode))
                return Fail(TExtractError::Conflict, entry);
            if (KeepsExisting(s_.Overwrite, true, ss.st_mtime, ds.st_mtime)) {
                ++r_.Skipped;
                continue;
            }
            if (s_.Overwrite == TOverwrite::Rename)
                dst = FreeName(dst);
        }
        if (rename(src.c_str(), dst.c_str()) != 0)
            return Fail(TExtractError::Write, entry, std::strerror(errno));
        ++r_.Written;
    }
    return true;
}

}   // namespace

bool ArjToolPresent()
{
    return !FindProgram("arj").empty();
}

void PackArj(const TPackJob& job)
{
    TStagedOutput out(job.Archive);
    std::string archive = out.Path();
    // arj adds ".arj" to a name without an extension; the staged name keeps the target's.
    if (archive.rfind('.') == std::string::npos || archive.rfind('.') < archive.rfind('/'))
        archive += ".arj";
    std::vector<std::string> args = {"a", "-y"};
    if (!job.KeepPaths)
        args.push_back("-e");
    if (job.Level >= 0 && job.Level <= 4)
        args.push_back("-m" + std::to_string(job.Level));
    args.push_back(archive);
    args.push_back("--");
    // arj reads "[" and "]" in names as a character class; "?" matches them.
    for (std::string f : job.Files) {
        for (char& c : f)
            if (c == '[' || c == ']')
                c = '?';
        args.push_back(f);
    }
    std::string output;
    const int status = RunArj(args, job.Base, output);
    if (status != 0)
        RaiseArjFailed(status, output);
    if (archive != out.Path() && rename(archive.c_str(), out.Path().c_str()) != 0)
        RaiseCannotCreate(job.Archive, std::strerror(errno));
    out.Commit();
}

void ExtractArj(const TArchiverOptions& o, const TArchiveOp& op)
{
    const TExtractSettings s = MakeExtractSettings(o, op);
    const std::string archive = ToNativePath(op.Archive);
    const TArchiveSource src = SourceFor(archive);
    std::vector<TArjEntry> entries;
    if (src.Offset != 0 || !ReadArjEntries(archive, 0, entries)) {
        TExtractResult r;
        r.Error = TExtractError::Open;
        r.Detail = "not an ARJ archive";
        RaiseExtractError(r, archive, s.Dest);
    }
    for (const TArjEntry& e : entries) {
        std::string norm;
        const std::string name = EntryNameToUtf8(e.Name, true);
        if (!SafeRelativeName(name, norm)) {
            TExtractResult r;
            r.Error = TExtractError::UnsafeName;
            r.Entry = name;
            RaiseExtractError(r, archive, s.Dest);
        }
    }
    TExtractResult r;
    MakeFolders(s.Dest);   // the destination and its parents, as for every format
    std::string stage = s.Dest + "/.porukana-XXXXXX";
    if (!mkdtemp(stage.data())) {
        r.Error = TExtractError::Destination;
        r.Detail = std::strerror(errno);
        RaiseExtractError(r, archive, s.Dest);
    }
    struct TRemove {
        std::string Dir;
        ~TRemove() { RemoveTree(Dir); }
    } cleanup{stage};
    std::vector<std::string> args = {"x", "-y"};
    if (!s.KeepPaths)
        args[0] = "e";
    char* absArchive = realpath(archive.c_str(), nullptr);
    args.push_back(absArchive ? absArchive : archive);
    std::free(absArchive);
    args.push_back(stage + "/");
    std::string output;
    const int status = RunArj(args, "", output);
    if (status != 0)
        RaiseArjFailed(status, output);
    TMerger merger(s, r);
    merger.Merge(stage, s.Dest, "");
    RaiseExtractError(r, archive, s.Dest);
}
