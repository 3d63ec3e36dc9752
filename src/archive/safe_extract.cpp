// Archive reading and confined extraction through libarchive.
#include "archive/safe_extract.h"

#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>

// ---- locale ------------------------------------------------------------------------

TUtf8Locale::TUtf8Locale()
{
    loc_ = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
    if (!loc_)
        loc_ = newlocale(LC_CTYPE_MASK, "en_US.UTF-8", static_cast<locale_t>(0));
    if (loc_)
        old_ = uselocale(loc_);
}

TUtf8Locale::~TUtf8Locale()
{
    if (loc_) {
        uselocale(old_);
        freelocale(loc_);
    }
}

// ---- sources -------------------------------------------------------------------------

namespace {

const char kSfxMagic[8] = {'P', 'R', 'K', 'S', 'F', 'X', 1, 0};

bool ReadExact(int fd, void* buf, size_t n, uint64_t at)
{
    char* p = static_cast<char*>(buf);
    while (n > 0) {
        const ssize_t r = pread(fd, p, n, static_cast<off_t>(at));
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            return false;
        p += r;
        n -= static_cast<size_t>(r);
        at += static_cast<uint64_t>(r);
    }
    return true;
}

struct TSourceReader {
    int Fd = -1;
    uint64_t Start = 0, Size = 0, Pos = 0;
    std::unique_ptr<char[]> Buf{new char[1 << 18]};
    ~TSourceReader()
    {
        if (Fd >= 0)
            close(Fd);
    }
};

la_ssize_t ReadCb(archive* a, void* data, const void** out)
{
    auto* r = static_cast<TSourceReader*>(data);
    const uint64_t left = r->Size - r->Pos;
    const size_t want = static_cast<size_t>(std::min<uint64_t>(left, 1 << 18));
    if (want == 0) {
        *out = r->Buf.get();
        return 0;
    }
    for (;;) {
        const ssize_t n = pread(r->Fd, r->Buf.get(), want, static_cast<off_t>(r->Start + r->Pos));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            archive_set_error(a, errno, "%s", std::strerror(errno));
            return -1;
        }
        r->Pos += static_cast<uint64_t>(n);
        *out = r->Buf.get();
        return n;
    }
}

la_int64_t SkipCb(archive*, void* data, la_int64_t request)
{
    auto* r = static_cast<TSourceReader*>(data);
    const uint64_t left = r->Size - r->Pos;
    const uint64_t n = std::min<uint64_t>(left, request < 0 ? 0 : static_cast<uint64_t>(request));
    r->Pos += n;
    return static_cast<la_int64_t>(n);
}

la_int64_t SeekCb(archive*, void* data, la_int64_t offset, int whence)
{
    auto* r = static_cast<TSourceReader*>(data);
    int64_t base = 0;
    if (whence == SEEK_CUR)
        base = static_cast<int64_t>(r->Pos);
    else if (whence == SEEK_END)
        base = static_cast<int64_t>(r->Size);
    int64_t p = base + offset;
    if (p < 0)
        return ARCHIVE_FATAL;
    if (static_cast<uint64_t>(p) > r->Size)
        p = static_cast<int64_t>(r->Size);
    r->Pos = static_cast<uint64_t>(p);
    return p;
}

int CloseCb(archive*, void* data)
{
    delete static_cast<TSourceReader*>(data);
    return ARCHIVE_OK;
}

}   // namespace

std::string SfxTrailer(uint64_t archiveOffset)
{
    std::string t(kSfxMagic, sizeof kSfxMagic);
    for (int i = 0; i < 8; ++i)
        t.push_back(static_cast<char>((archiveOffset >> (8 * i)) & 0xFF));
    return t;
}

bool FindSfxPayload(const std::string& path, TArchiveSource& out)
{
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat sb {};
    unsigned char tail[16];
    bool ok = fstat(fd, &sb) == 0 && S_ISREG(sb.st_mode) && sb.st_size >= 16 &&
              ReadExact(fd, tail, 16, static_cast<uint64_t>(sb.st_size) - 16) && std::memcmp(tail, kSfxMagic, 8) == 0;
    close(fd);
    if (!ok)
        return false;
    uint64_t offset = 0;
    for (int i = 7; i >= 0; --i)
        offset = (offset << 8) | tail[8 + i];
    const uint64_t end = static_cast<uint64_t>(sb.st_size) - 16;
    if (offset >= end)
        return false;
    out.Path = path;
    out.Offset = offset;
    out.Length = end - offset;
    return true;
}

TArchiveSource SourceFor(const std::string& path)
{
    TArchiveSource src;
    if (!FindSfxPayload(path, src)) {
        src = TArchiveSource();
        src.Path = path;
    }
    return src;
}

int OpenArchiveSource(archive* a, const TArchiveSource& src)
{
    auto* r = new TSourceReader;
    r->Fd = open(src.Path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat sb {};
    if (r->Fd < 0 || fstat(r->Fd, &sb) != 0 || !S_ISREG(sb.st_mode)) {
        const int err = r->Fd < 0 ? errno : EINVAL;
        delete r;
        archive_set_error(a, err, "%s", std::strerror(err));
        return ARCHIVE_FATAL;
    }
    const uint64_t size = static_cast<uint64_t>(sb.st_size);
    r->Start = std::min(src.Offset, size);
    r->Size = std::min(src.Length, size - r->Start);
    // LHA names are Shift_JIS by convention; without being told, libarchive refuses
    // every name that is not ASCII. (Fails harmlessly when LHA is not enabled.)
    archive_read_set_format_option(a, "lha", "hdrcharset", "CP932");
    archive_read_set_read_callback(a, ReadCb);
    archive_read_set_skip_callback(a, SkipCb);
    archive_read_set_seek_callback(a, SeekCb);
    archive_read_set_close_callback(a, CloseCb);
    archive_read_set_callback_data(a, r);
    return archive_read_open1(a);
}

// ---- names ---------------------------------------------------------------------------

bool IsValidUtf8(std::string_view s)
{
    size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        size_t len;
        uint32_t cp;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            len = 2;
            cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            len = 3;
            cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            len = 4;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (i + len > s.size())
            return false;
        for (size_t k = 1; k < len; ++k) {
            const auto d = static_cast<unsigned char>(s[i + k]);
            if ((d & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (d & 0x3F);
        }
        if ((len == 2 && cp < 0x80) || (len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
            (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += len;
    }
    return true;
}

namespace {

// Shift_JIS to UTF-8; bytes that are not Shift_JIS stay as they are.
std::string Cp932ToUtf8(const std::string& raw)
{
    iconv_t cd = iconv_open("UTF-8", "CP932");
    if (cd == reinterpret_cast<iconv_t>(-1))
        return raw;
    std::string out;
    char buf[256];
    char* in = const_cast<char*>(raw.data());
    size_t inLeft = raw.size();
    while (inLeft > 0) {
        char* o = buf;
        size_t oLeft = sizeof buf;
        const size_t r = iconv(cd, &in, &inLeft, &o, &oLeft);
        out.append(buf, static_cast<size_t>(o - buf));
        if (r == static_cast<size_t>(-1) && errno != E2BIG) {
            out.push_back(*in);   // not Shift_JIS: keep the byte
            ++in;
            --inLeft;
        }
    }
    iconv_close(cd);
    return out;
}

}   // namespace

std::string EntryNameToUtf8(const std::string& raw, bool windowsSeparators)
{
    std::string name = IsValidUtf8(raw) ? raw : Cp932ToUtf8(raw);
    if (windowsSeparators)
        for (char& c : name)
            if (c == '\\')
                c = '/';
    return name;
}

bool SafeRelativeName(const std::string& name, std::string& normalised)
{
    normalised.clear();
    if (name.empty())
        return true;
    if (name[0] == '/')
        return false;
    if (name.size() >= 2 && name[1] == ':' &&
        ((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= 'a' && name[0] <= 'z')))
        return false;
    size_t i = 0;
    while (i <= name.size()) {
        size_t j = name.find('/', i);
        if (j == std::string::npos)
            j = name.size();
        const std::string part = name.substr(i, j - i);
        i = j + 1;
        if (part.empty() || part == ".")
            continue;
        if (part == "..")
            return false;
        if (!normalised.empty())
            normalised += '/';
        normalised += part;
    }
    return true;
}

bool SafeLinkTarget(const std::string& entry, const std::string& target)
{
    if (target.empty() || target[0] == '/')
        return false;
    std::vector<std::string> parts;
    size_t i = 0;
    const size_t slash = entry.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : entry.substr(0, slash);
    const std::string path = folder.empty() ? target : folder + "/" + target;
    while (i <= path.size()) {
        size_t j = path.find('/', i);
        if (j == std::string::npos)
            j = path.size();
        const std::string part = path.substr(i, j - i);
        i = j + 1;
        if (part.empty() || part == ".")
            continue;
        if (part == "..") {
            if (parts.empty())
                return false;
            parts.pop_back();
            continue;
        }
        parts.push_back(part);
    }
    return true;
}

// ---- extraction ------------------------------------------------------------------------

bool MakeFolders(const std::string& path)
{
    std::string cur;
    size_t i = 0;
    while (i <= path.size()) {
        size_t j = path.find('/', i);
        if (j == std::string::npos)
            j = path.size();
        cur = path.substr(0, j);
        i = j + 1;
        if (cur.empty())
            continue;
        if (mkdir(cur.c_str(), 0777) != 0 && errno != EEXIST)
            return false;
    }
    struct stat sb {};
    return stat(path.c_str(), &sb) == 0 && S_ISDIR(sb.st_mode);
}

bool KeepsExisting(TOverwrite policy, bool entryTimeKnown, int64_t entryTime, int64_t existingTime)
{
    switch (policy) {
    case TOverwrite::Never:
        return true;
    case TOverwrite::IfNewer:
        return !entryTimeKnown || entryTime <= existingTime;
    case TOverwrite::Rename:
    case TOverwrite::Always:
        return false;
    }
    return true;
}

std::string FreeName(const std::string& target)
{
    const size_t slash = target.rfind('/');
    const size_t dot = target.rfind('.');
    const bool hasExt = dot != std::string::npos && dot > slash + 1;
    const std::string stem = hasExt ? target.substr(0, dot) : target;
    const std::string ext = hasExt ? target.substr(dot) : std::string();
    for (int n = 1;; ++n) {
        std::string candidate = stem + "_" + std::to_string(n) + ext;
        struct stat sb {};
        if (lstat(candidate.c_str(), &sb) != 0)
            return candidate;
    }
}

namespace {

bool IsProtectedName(const std::string& norm)
{
    const size_t slash = norm.rfind('/');
    const std::string base = slash == std::string::npos ? norm : norm.substr(slash + 1);
    return strcasecmp(base.c_str(), "security.ini") == 0;
}

bool WindowsOrigin(int format)
{
    switch (format & ARCHIVE_FORMAT_BASE_MASK) {
    case ARCHIVE_FORMAT_TAR:
    case ARCHIVE_FORMAT_CPIO:
    case ARCHIVE_FORMAT_AR:
    case ARCHIVE_FORMAT_SHAR:
    case ARCHIVE_FORMAT_MTREE:
    case ARCHIVE_FORMAT_ISO9660:
    case ARCHIVE_FORMAT_XAR:
    case ARCHIVE_FORMAT_RAW:
        return false;
    default:
        return true;
    }
}

class TExtractor {
public:
    TExtractor(const TArchiveSource& src, const TExtractSettings& s) : src_(src), s_(s) {}
    TExtractResult Run();

private:
    const TArchiveSource& src_;
    const TExtractSettings& s_;
    TExtractResult res_;
    std::string dest_;   // canonical, without a trailing "/"
    archive* in_ = nullptr;
    archive* out_ = nullptr;
    // The regular files this run wrote: entry name -> path written (a renamed entry
    // has another). Hard links may only point at these.
    std::map<std::string, std::string> written_;

    bool Fail(TExtractError e, const std::string& entry, const std::string& detail)
    {
        res_.Error = e;
        res_.Entry = entry;
        res_.Detail = detail;
        return false;
    }
    bool Entry(archive_entry* e);
    bool Selected(const std::string& norm) const;
    bool LinkStaysInside(const std::string& norm, const std::string& link) const;
    bool WriteFile(archive_entry* e, const std::string& name, const std::string& target);
    bool CopyData(const std::string& name, const std::string& target, la_int64_t size);
};

bool TExtractor::Selected(const std::string& norm) const
{
    return EntrySelected(s_, norm);
}

}   // namespace

bool EntrySelected(const TExtractSettings& s, const std::string& norm)
{
    if (!s.Match)
        return true;
    const size_t slash = norm.rfind('/');
    const std::string base = slash == std::string::npos ? norm : norm.substr(slash + 1);
    auto any = [&](const std::vector<std::string>& masks) {
        for (const std::string& m : masks)
            if (s.Match(m, norm) || s.Match(m, base))
                return true;
        return false;
    };
    if (!s.Include.empty() && !any(s.Include))
        return false;
    return !any(s.Exclude);
}

namespace {

bool TExtractor::CopyData(const std::string& name, const std::string& target, la_int64_t size)
{
    for (;;) {
        const void* buf;
        size_t len;
        la_int64_t offset;
        const int r = archive_read_data_block(in_, &buf, &len, &offset);
        if (r == ARCHIVE_EOF)
            return true;
        // A warning here is a damaged entry (a CRC mismatch, for one).
        if (r != ARCHIVE_OK) {
            const std::string detail = archive_error_string(in_) ? archive_error_string(in_) : "read error";
            unlink(target.c_str());
            return Fail(TExtractError::Read, name, detail);
        }
        // More data than the header announced is a damaged entry too.
        if (size >= 0 && offset + static_cast<la_int64_t>(len) > size) {
            unlink(target.c_str());
            return Fail(TExtractError::Read, name, "more data than the entry's size");
        }
        if (archive_write_data_block(out_, buf, len, offset) < ARCHIVE_OK) {
            const std::string detail = archive_error_string(out_) ? archive_error_string(out_) : "write error";
            unlink(target.c_str());
            return Fail(TExtractError::Write, name, detail);
        }
    }
}

// Resolves where a symbolic link at `norm` pointing to `link` leads, following the
// links already in the destination (a "." link makes "a/a/.." climb once per step,
// which a lexical check cannot see); false when it leaves the destination, meets an
// absolute link or takes too many turns. A ".." after a part of the target that is
// no folder yet is refused too: a later entry could make that part a link and so
// change where this one leads. (The link's own folders are made as real folders.)
bool TExtractor::LinkStaysInside(const std::string& norm, const std::string& link) const
{
    struct TPart {
        std::string Name;
        bool Folder;   // an existing folder (or one of the link's own, made as one)
    };
    struct TTodo {
        std::string Name;
        bool Own;   // a folder of the link's own place
    };
    std::vector<TPart> parts;   // the resolved path below the destination
    std::vector<TTodo> todo;    // components still to walk, the next one last
    auto push = [&todo](const std::string& path, bool own) {
        std::vector<TTodo> comps;
        size_t i = 0;
        while (i <= path.size()) {
            size_t j = path.find('/', i);
            if (j == std::string::npos)
                j = path.size();
            comps.push_back({path.substr(i, j - i), own});
            i = j + 1;
        }
        todo.insert(todo.end(), comps.rbegin(), comps.rend());
    };
    if (link.empty() || link[0] == '/')
        return false;
    push(link, false);
    const size_t slash = norm.rfind('/');
    if (slash != std::string::npos)
        push(norm.substr(0, slash), true);
    int turns = 0;
    while (!todo.empty()) {
        const TTodo next = todo.back();
        todo.pop_back();
        if (next.Name.empty() || next.Name == ".")
            continue;
        if (next.Name == "..") {
            if (parts.empty() || !parts.back().Folder)
                return false;
            parts.pop_back();
            continue;
        }
        std::string here = dest_;
        for (const TPart& p : parts)
            here += "/" + p.Name;
        here += "/" + next.Name;
        struct stat sb {};
        const bool exists = lstat(here.c_str(), &sb) == 0;
        if (!exists || !S_ISLNK(sb.st_mode)) {
            parts.push_back({next.Name, exists ? S_ISDIR(sb.st_mode) : next.Own});
            continue;
        }
        if (++turns > 40)
            return false;
        char buf[PATH_MAX];
        const ssize_t n = readlink(here.c_str(), buf, sizeof buf);
        if (n <= 0 || static_cast<size_t>(n) >= sizeof buf || buf[0] == '/')
            return false;
        push(std::string(buf, static_cast<size_t>(n)), false);
    }
    return true;
}

// Writes a regular file beside its target and renames it into place only when the
// whole entry arrived: a damaged entry or a full disk leaves the old file as it was.
bool TExtractor::WriteFile(archive_entry* e, const std::string& name, const std::string& target)
{
    const size_t slash = target.rfind('/');
    std::string part;
    for (int n = 0;; ++n) {
        // short, so that an entry with a name of the longest length still fits
        part = target.substr(0, slash + 1) + ".~prk" + std::to_string(getpid()) + "-" + std::to_string(n) + ".part";
        struct stat sb {};
        if (lstat(part.c_str(), &sb) != 0)
            break;
    }
    archive_entry_set_pathname(e, part.c_str());
    if (archive_write_header(out_, e) < ARCHIVE_OK) {
        const std::string detail = archive_error_string(out_) ? archive_error_string(out_) : "";
        unlink(part.c_str());
        return Fail(TExtractError::Write, name, detail);
    }
    // A lone compressed file has no size in its header: its data is read to the end.
    if ((!archive_entry_size_is_set(e) || archive_entry_size(e) != 0) &&
        !CopyData(name, part, archive_entry_size_is_set(e) ? archive_entry_size(e) : -1))
        return false;
    if (archive_write_finish_entry(out_) < ARCHIVE_OK) {
        const std::string detail = archive_error_string(out_) ? archive_error_string(out_) : "";
        unlink(part.c_str());
        return Fail(TExtractError::Write, name, detail);
    }
    if (rename(part.c_str(), target.c_str()) != 0) {
        const std::string detail = std::strerror(errno);
        unlink(part.c_str());
        return Fail(TExtractError::Write, name, detail);
    }
    return true;
}

bool TExtractor::Entry(archive_entry* e)
{
    const int format = archive_format(in_);
    const bool windows = WindowsOrigin(format);
    std::string name;
    if ((format & ARCHIVE_FORMAT_BASE_MASK) == ARCHIVE_FORMAT_RAW) {
        name = s_.RawName;
    } else {
        const char* raw = archive_entry_pathname(e);
        if (!raw)
            raw = archive_entry_pathname_utf8(e);
        name = EntryNameToUtf8(raw ? raw : "", windows);
    }
    std::string norm;
    if (!SafeRelativeName(name, norm))
        return Fail(TExtractError::UnsafeName, name, "");
    const mode_t type = archive_entry_filetype(e);
    if (norm.empty())
        return true;
    if (!s_.KeepPaths) {
        if (type == AE_IFDIR)
            return true;
        const size_t slash = norm.rfind('/');
        if (slash != std::string::npos)
            norm = norm.substr(slash + 1);
    }
    if (!Selected(norm)) {
        ++res_.Skipped;
        return true;
    }

    // Device nodes, FIFOs and sockets are never made: a node for a disk would be
    // readable by whoever may read the destination.
    const char* hard = archive_entry_hardlink(e);
    if (!hard && type != AE_IFREG && type != AE_IFDIR && type != AE_IFLNK) {
        ++res_.Skipped;
        return true;
    }
    std::string target = dest_ + "/" + norm;
    if (type == AE_IFLNK && !hard) {
        const char* link = archive_entry_symlink(e);
        const std::string linkName = EntryNameToUtf8(link ? link : "", false);
        if (!SafeLinkTarget(norm, linkName) || !LinkStaysInside(norm, linkName))
            return Fail(TExtractError::UnsafeLink, name, linkName);
    }
    if (hard) {
        std::string hnorm;
        const std::string hname = EntryNameToUtf8(hard, windows);
        if (!SafeRelativeName(hname, hnorm) || hnorm.empty())
            return Fail(TExtractError::UnsafeLink, name, hname);
        if (!s_.KeepPaths && hnorm.rfind('/') != std::string::npos)
            hnorm = hnorm.substr(hnorm.rfind('/') + 1);
        // A hard link may only join a file this run wrote: linking to a file that was
        // there before (the running script, say) would let the link's data (written
        // into the file it joins) or a later entry replace it past the overwrite
        // rule.
        const auto w = written_.find(hnorm);
        if (w == written_.end()) {
            ++res_.Skipped;
            return true;
        }
        archive_entry_set_hardlink(e, w->second.c_str());
    }
    if (IsProtectedName(norm) && s_.ConfirmProtected && !s_.ConfirmProtected(target)) {
        ++res_.Skipped;
        return true;
    }

    struct stat sb {};
    if (lstat(target.c_str(), &sb) == 0) {
        const bool isDir = S_ISDIR(sb.st_mode);
        if (type == AE_IFDIR) {
            if (isDir)
                return true;
            return Fail(TExtractError::Conflict, name, "");
        }
        if (isDir)
            return Fail(TExtractError::Conflict, name, "");
        // A link that other links may lead through keeps its target: changing it
        // would move where they lead after they were checked.
        if (S_ISLNK(sb.st_mode) && type == AE_IFLNK && !hard) {
            char buf[PATH_MAX];
            const ssize_t n = readlink(target.c_str(), buf, sizeof buf);
            const char* link = archive_entry_symlink(e);
            if (n < 0 || std::string(buf, static_cast<size_t>(n)) != EntryNameToUtf8(link ? link : "", false)) {
                ++res_.Skipped;
                return true;
            }
        }
        if (KeepsExisting(s_.Overwrite, archive_entry_mtime_is_set(e), archive_entry_mtime(e), sb.st_mtime)) {
            ++res_.Skipped;
            return true;
        }
        if (s_.Overwrite == TOverwrite::Rename)
            target = FreeName(target);
    }
    if (type == AE_IFREG && !hard) {
        if (!WriteFile(e, name, target))
            return false;
        written_[norm] = target;
        ++res_.Written;
        return true;
    }
    archive_entry_set_pathname(e, target.c_str());
    if (archive_write_header(out_, e) < ARCHIVE_OK)
        return Fail(TExtractError::Write, name, archive_error_string(out_) ? archive_error_string(out_) : "");
    if (hard && archive_entry_size_is_set(e) && archive_entry_size(e) > 0 &&
        !CopyData(name, target, archive_entry_size(e)))
        return false;
    if (archive_write_finish_entry(out_) < ARCHIVE_OK)
        return Fail(TExtractError::Write, name, archive_error_string(out_) ? archive_error_string(out_) : "");
    if (hard)
        written_[norm] = target;
    if (type != AE_IFDIR)
        ++res_.Written;
    return true;
}

TExtractResult TExtractor::Run()
{
    TUtf8Locale utf8;
    if (!MakeFolders(s_.Dest)) {
        Fail(TExtractError::Destination, "", std::strerror(errno));
        return res_;
    }
    char* canon = realpath(s_.Dest.c_str(), nullptr);
    if (!canon) {
        Fail(TExtractError::Destination, "", std::strerror(errno));
        return res_;
    }
    dest_ = canon;
    std::free(canon);
    while (dest_.size() > 1 && dest_.back() == '/')
        dest_.pop_back();
    if (dest_ == "/")
        dest_.clear();

    in_ = archive_read_new();
    archive_read_support_format_all(in_);
    archive_read_support_filter_all(in_);
    if (s_.RawCompressed)
        archive_read_support_format_raw(in_);
    out_ = archive_write_disk_new();
    archive_write_disk_set_options(out_, ARCHIVE_EXTRACT_TIME | ARCHIVE_EXTRACT_SECURE_SYMLINKS |
                                             ARCHIVE_EXTRACT_SECURE_NODOTDOT);
    if (OpenArchiveSource(in_, src_) != ARCHIVE_OK) {
        Fail(TExtractError::Open, "", archive_error_string(in_) ? archive_error_string(in_) : "");
    } else {
        for (;;) {
            archive_entry* e = nullptr;
            const int r = archive_read_next_header(in_, &e);
            if (r == ARCHIVE_EOF) {
                // libarchive reads an empty file as an archive without entries.
                if (archive_format(in_) == ARCHIVE_FORMAT_EMPTY)
                    Fail(TExtractError::Open, "", "empty file");
                break;
            }
            if (r < ARCHIVE_WARN) {
                Fail(res_.Written == 0 && res_.Skipped == 0 ? TExtractError::Open : TExtractError::Read, "",
                     archive_error_string(in_) ? archive_error_string(in_) : "");
                break;
            }
            // A lone compressed file is only an archive when it was compressed.
            if ((archive_format(in_) & ARCHIVE_FORMAT_BASE_MASK) == ARCHIVE_FORMAT_RAW &&
                archive_filter_count(in_) < 2) {
                Fail(TExtractError::Open, "", "Unrecognized archive format");
                break;
            }
            if (!Entry(e))
                break;
        }
    }
    if (archive_write_close(out_) < ARCHIVE_OK && res_.Error == TExtractError::None)
        Fail(TExtractError::Write, "", archive_error_string(out_) ? archive_error_string(out_) : "");
    archive_write_free(out_);
    archive_read_free(in_);
    return res_;
}

}   // namespace

TExtractResult ExtractArchive(const TArchiveSource& src, const TExtractSettings& settings)
{
    TExtractor x(src, settings);
    return x.Run();
}
