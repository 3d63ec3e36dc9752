// Confined extraction, driven by a grammar: the input is read as a sequence of
// choices that build a tar archive (regular files, folders, symbolic and hard links,
// device nodes and FIFOs, with names and link targets made of ".", "..", "a", "b",
// "/" and a few odd bytes), which is then extracted into a fresh folder. Whatever
// the archive holds, nothing may appear or change outside that folder, no device
// node or FIFO may appear inside it, and every symbolic link in it must resolve to a
// place inside it.
#include <archive.h>
#include <archive_entry.h>
#include <dirent.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "archive/safe_extract.h"
#include "fuzz_target.h"

namespace {

int gFd = -1;
std::string gArchive, gRoot;

// The input as a stream of small numbers; past its end every choice is 0.
class TChoices {
public:
    TChoices(const uint8_t* data, size_t size) : p_(data), end_(data + size) {}
    unsigned Next(unsigned n) { return p_ < end_ ? *p_++ % n : 0; }
    bool More() const { return p_ < end_; }

private:
    const uint8_t* p_;
    const uint8_t* end_;
};

std::string Path(TChoices& c, bool absoluteAllowed)
{
    static const char* const parts[] = {".", "..", "a", "b", "c", "sub", "security.ini", "x\\..", "a/", ""};
    std::string s = absoluteAllowed && c.Next(8) == 0 ? "/" : "";
    const unsigned n = 1 + c.Next(5);
    for (unsigned i = 0; i < n; ++i) {
        if (i > 0)
            s += '/';
        s += parts[c.Next(sizeof parts / sizeof *parts)];
    }
    return s;
}

std::string BuildArchive(TChoices& c)
{
    archive* a = archive_write_new();
    archive_write_set_format_pax_restricted(a);
    std::vector<char> buf(1 << 20);
    size_t used = 0;
    archive_write_open_memory(a, buf.data(), buf.size(), &used);
    const unsigned entries = 1 + c.Next(12);
    for (unsigned i = 0; i < entries && c.More(); ++i) {
        archive_entry* e = archive_entry_new();
        archive_entry_set_pathname(e, Path(c, true).c_str());
        archive_entry_set_mtime(e, c.Next(2) ? 2000000000 : 1000, 0);
        archive_entry_set_perm(e, c.Next(2) ? 0644 : 07777);
        std::string data;
        switch (c.Next(7)) {
        case 0:
        case 1:
            archive_entry_set_filetype(e, AE_IFREG);
            data.assign(c.Next(64), static_cast<char>('0' + i));
            break;
        case 2:
            archive_entry_set_filetype(e, AE_IFDIR);
            break;
        case 3:
            archive_entry_set_filetype(e, AE_IFLNK);
            archive_entry_set_symlink(e, Path(c, true).c_str());
            break;
        case 4:
            archive_entry_set_filetype(e, AE_IFREG);
            archive_entry_set_hardlink(e, Path(c, true).c_str());
            data.assign(c.Next(3) * 8, 'H');   // a hard link that carries data
            break;
        case 5:
            archive_entry_set_filetype(e, c.Next(2) ? AE_IFCHR : AE_IFBLK);
            archive_entry_set_rdevmajor(e, 1);
            archive_entry_set_rdevminor(e, 3);
            break;
        default:
            archive_entry_set_filetype(e, AE_IFIFO);
            break;
        }
        archive_entry_set_size(e, static_cast<la_int64_t>(data.size()));
        if (archive_write_header(a, e) >= ARCHIVE_WARN && !data.empty())
            archive_write_data(a, data.data(), data.size());
        archive_entry_free(e);
    }
    archive_write_close(a);
    archive_write_free(a);
    return std::string(buf.data(), used);
}

// Every entry below `dir` (paths relative to it), links not followed.
void Walk(const std::string& dir, const std::string& rel, std::vector<std::string>& out)
{
    DIR* d = opendir(dir.c_str());
    if (!d)
        return;
    while (dirent* e = readdir(d)) {
        const std::string name = e->d_name;
        if (name == "." || name == "..")
            continue;
        out.push_back(rel + name);
        struct stat sb {};
        if (lstat((dir + "/" + name).c_str(), &sb) == 0 && S_ISDIR(sb.st_mode))
            Walk(dir + "/" + name, rel + name + "/", out);
    }
    closedir(d);
}

// Where a path leads as far as it exists (links resolved), the rest of it taken as
// written with "." and ".." applied, like realpath -m.
std::string Loose(const std::string& path)
{
    std::string head = path, rest;
    char real[PATH_MAX];
    while (!realpath(head.c_str(), real)) {
        const size_t slash = head.rfind('/');
        if (slash == std::string::npos || slash == 0)
            return path;
        rest = head.substr(slash + 1) + (rest.empty() ? "" : "/" + rest);
        head.resize(slash);
    }
    std::vector<std::string> parts;
    const std::string all = std::string(real) + "/" + rest;
    size_t i = 0;
    while (i <= all.size()) {
        size_t j = all.find('/', i);
        if (j == std::string::npos)
            j = all.size();
        const std::string part = all.substr(i, j - i);
        i = j + 1;
        if (part.empty() || part == ".")
            continue;
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
            continue;
        }
        parts.push_back(part);
    }
    std::string out;
    for (const std::string& p : parts)
        out += "/" + p;
    return out.empty() ? "/" : out;
}

void Remove(const std::string& path)
{
    struct stat sb {};
    if (lstat(path.c_str(), &sb) != 0)
        return;
    if (S_ISDIR(sb.st_mode)) {
        chmod(path.c_str(), 0700);
        std::vector<std::string> names;
        if (DIR* d = opendir(path.c_str())) {
            while (dirent* e = readdir(d))
                if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
                    names.push_back(e->d_name);
            closedir(d);
        }
        for (const std::string& n : names)
            Remove(path + "/" + n);
        rmdir(path.c_str());
    } else {
        unlink(path.c_str());
    }
}

}   // namespace

void FuzzSetUp()
{
    char dir[] = "/tmp/porukana-fuzz-tar-XXXXXX";
    if (!mkdtemp(dir))
        std::abort();
    gRoot = dir;
    std::atexit([] { Remove(gRoot); });
    gFd = memfd_create("porukana-fuzz-tar", 0);
    if (gFd < 0)
        std::abort();
    gArchive = "/proc/self/fd/" + std::to_string(gFd);
}

void FuzzOne(const uint8_t* data, size_t size)
{
    TChoices choices(data, size);
    const std::string tar = BuildArchive(choices);
    if (ftruncate(gFd, 0) != 0 || pwrite(gFd, tar.data(), tar.size(), 0) != static_cast<ssize_t>(tar.size()))
        std::abort();

    // root/outside.txt and root/dest/deep/ (the destination): nothing but the
    // destination may change below root.
    Remove(gRoot + "/dest");
    Remove(gRoot + "/deep");
    const std::string dest = gRoot + "/dest/deep/x";
    mkdir((gRoot + "/dest").c_str(), 0755);
    FILE* f = std::fopen((gRoot + "/outside.txt").c_str(), "w");
    if (!f)
        std::abort();
    std::fputs("outside", f);
    std::fclose(f);
    std::vector<std::string> before;
    Walk(gRoot, "", before);

    TExtractSettings s;
    s.Dest = dest;
    s.Overwrite = choices.Next(2) ? TOverwrite::Always : TOverwrite::IfNewer;
    s.ConfirmProtected = [](const std::string&) { return true; };
    (void)ExtractArchive(TArchiveSource{gArchive, 0, UINT64_MAX}, s);

    std::vector<std::string> after;
    Walk(gRoot, "", after);
    for (const std::string& p : after) {
        const bool inside = p.rfind("dest/deep/x/", 0) == 0;
        const bool known = p == "dest" || p == "dest/deep" || p == "dest/deep/x" || p == "outside.txt";
        fuzz::Check(inside || known, "an entry appeared outside the destination");
        if (!inside)
            continue;
        const std::string full = gRoot + "/" + p;
        struct stat sb {};
        fuzz::Check(lstat(full.c_str(), &sb) == 0, "an entry vanished while checking");
        fuzz::Check(S_ISREG(sb.st_mode) || S_ISDIR(sb.st_mode) || S_ISLNK(sb.st_mode),
                    "a device node, FIFO or socket was made");
        if (S_ISLNK(sb.st_mode)) {
            // A link may dangle, but what it names must lie inside.
            char target[PATH_MAX];
            const ssize_t n = readlink(full.c_str(), target, sizeof target - 1);
            fuzz::Check(n > 0 && target[0] != '/', "an absolute symbolic link");
            const std::string r =
                Loose(full.substr(0, full.rfind('/') + 1) + std::string(target, static_cast<size_t>(n)));
            fuzz::Check(r == dest || r.rfind(dest + "/", 0) == 0, "a symbolic link leads outside the destination");
        }
    }
    FILE* g = std::fopen((gRoot + "/outside.txt").c_str(), "r");
    char text[16] = {};
    fuzz::Check(g && std::fread(text, 1, sizeof text - 1, g) == 7 && std::strcmp(text, "outside") == 0,
                "a file outside the destination changed");
    if (g)
        std::fclose(g);
    Remove(gRoot + "/dest");
}
