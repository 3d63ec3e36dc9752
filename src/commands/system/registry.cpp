#include "commands/system/registry.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "commands/files/atomic_file.h"
#include "core/sjis.h"
#include "core/text.h"

// ---- names and paths ----------------------------------------------------------------

namespace {

char UpperAscii(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

}   // namespace

bool SameRegName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (IsLeadAt(a, i)) {
            if (a[i] != b[i] || a[i + 1] != b[i + 1])
                return false;
            ++i;
            continue;
        }
        if (UpperAscii(a[i]) != UpperAscii(b[i]))
            return false;
    }
    return true;
}

std::vector<std::string> SplitKeyPath(std::string_view path)
{
    std::vector<std::string> parts;
    std::string part;
    for (size_t i = 0; i < path.size(); ++i) {
        const auto c = static_cast<unsigned char>(path[i]);
        if (IsLeadByte(c) && i + 1 < path.size()) {
            part += path[i];
            part += path[++i];
            continue;
        }
        if (c == '\\') {
            if (!part.empty())
                parts.push_back(std::move(part));
            part.clear();
            continue;
        }
        part += static_cast<char>(c);
    }
    if (!part.empty())
        parts.push_back(std::move(part));
    return parts;
}

TRegKey* TRegKey::FindSubkey(std::string_view name) const
{
    for (const auto& k : Subkeys)
        if (SameRegName(k->Name, name))
            return k.get();
    return nullptr;
}

TRegKey* TRegKey::SubkeyOrNew(std::string_view name)
{
    if (TRegKey* k = FindSubkey(name))
        return k;
    Subkeys.push_back(std::make_unique<TRegKey>());
    Subkeys.back()->Name = std::string(name);
    return Subkeys.back().get();
}

TRegValue* TRegKey::FindValue(std::string_view name)
{
    for (TRegValue& v : Values)
        if (SameRegName(v.Name, name))
            return &v;
    return nullptr;
}

TRegKey* TRegKey::Walk(const std::vector<std::string>& path)
{
    TRegKey* k = this;
    for (const std::string& name : path)
        if (!(k = k->FindSubkey(name)))
            return nullptr;
    return k;
}

std::string DWordData(uint32_t v)
{
    std::string d(4, '\0');
    for (int i = 0; i < 4; ++i)
        d[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    return d;
}

uint32_t DWordValue(std::string_view data)
{
    uint32_t v = 0;
    for (size_t i = 0; i < 4 && i < data.size(); ++i)
        v |= static_cast<uint32_t>(static_cast<unsigned char>(data[i])) << (8 * i);
    return v;
}

// ---- file form -------------------------------------------------------------------------
//
//   porukana-registry 1
//   K <path>                    a key (every key is listed, parents first)
//   V <type> <name> <hex data>  a value of the key listed last
//
// Paths and names are written with every byte outside "!".."~" and the bytes "%",
// "@" and "\" as %XX (so a trail byte never splits a path); a path's names are
// joined with "\"; an empty name is "@".

namespace {

const char* const kMagic = "porukana-registry 1";
const char* const kHex = "0123456789ABCDEF";

std::string Escape(std::string_view s)
{
    if (s.empty())
        return "@";
    std::string out;
    for (unsigned char c : s) {
        if (c > ' ' && c < 0x7F && c != '%' && c != '@' && c != '\\') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

bool Unescape(std::string_view s, std::string& out)
{
    out.clear();
    if (s == "@")
        return true;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '%') {
            out += s[i];
            continue;
        }
        if (i + 2 >= s.size())
            return false;
        const int hi = HexDigit(s[i + 1]), lo = HexDigit(s[i + 2]);
        if (hi < 0 || lo < 0)
            return false;
        out += static_cast<char>(hi * 16 + lo);
        i += 2;
    }
    return true;
}

std::string ToHex(std::string_view data)
{
    if (data.empty())
        return "-";
    std::string out;
    out.reserve(data.size() * 2);
    for (unsigned char c : data) {
        out += kHex[c >> 4];
        out += kHex[c & 15];
    }
    return out;
}

bool FromHex(std::string_view s, std::string& out)
{
    out.clear();
    if (s == "-")
        return true;
    if (s.size() % 2)
        return false;
    for (size_t i = 0; i < s.size(); i += 2) {
        const int hi = HexDigit(s[i]), lo = HexDigit(s[i + 1]);
        if (hi < 0 || lo < 0)
            return false;
        out += static_cast<char>(hi * 16 + lo);
    }
    return true;
}

void SerialiseKey(const TRegKey& key, const std::string& path, std::string& out)
{
    out += "K ";
    out += path.empty() ? "\\" : path;
    out += '\n';
    for (const TRegValue& v : key.Values) {
        out += "V ";
        out += std::to_string(static_cast<uint32_t>(v.Type));
        out += ' ';
        out += Escape(v.Name);
        out += ' ';
        out += ToHex(v.Data);
        out += '\n';
    }
    for (const auto& sub : key.Subkeys)
        SerialiseKey(*sub, path + "\\" + Escape(sub->Name), out);
}

std::vector<std::string_view> Fields(std::string_view line)
{
    std::vector<std::string_view> f;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && line[i] == ' ')
            ++i;
        size_t j = i;
        while (j < line.size() && line[j] != ' ')
            ++j;
        if (j > i)
            f.push_back(line.substr(i, j - i));
        i = j;
    }
    return f;
}

}   // namespace

std::string SerialiseRegistry(const TRegKey& root)
{
    std::string out = kMagic;
    out += '\n';
    SerialiseKey(root, std::string(), out);
    return out;
}

bool ParseRegistry(std::string_view text, TRegKey& root)
{
    root.Values.clear();
    root.Subkeys.clear();
    if (text.empty())
        return true;
    size_t pos = 0;
    bool first = true;
    TRegKey* current = &root;
    bool ok = true;
    while (ok && pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        if (first) {
            first = false;
            ok = line == kMagic;
            continue;
        }
        if (line.empty())
            continue;
        const std::vector<std::string_view> f = Fields(line);
        if (f.size() == 2 && f[0] == "K") {
            current = &root;
            std::string name;
            size_t start = 0;
            const std::string_view path = f[1];
            while (ok && start < path.size()) {
                size_t sep = path.find('\\', start);
                if (sep == std::string_view::npos)
                    sep = path.size();
                if (sep > start) {
                    ok = Unescape(path.substr(start, sep - start), name);
                    if (ok)
                        current = current->SubkeyOrNew(name);
                }
                start = sep + 1;
            }
        } else if (f.size() == 4 && f[0] == "V") {
            TRegValue v;
            const long type = std::strtol(std::string(f[1]).c_str(), nullptr, 10);
            ok = (type == 1 || type == 3 || type == 4) && Unescape(f[2], v.Name) && FromHex(f[3], v.Data);
            if (ok) {
                v.Type = static_cast<TRegType>(type);
                if (TRegValue* old = current->FindValue(v.Name))
                    *old = std::move(v);
                else
                    current->Values.push_back(std::move(v));
            }
        } else {
            ok = false;
        }
    }
    if (!ok) {
        root.Values.clear();
        root.Subkeys.clear();
    }
    return ok;
}

// ---- the store -----------------------------------------------------------------------------

namespace {

// An flock held for the life of the object; the file descriptor is closed with it.
class TFileLock {
public:
    TFileLock(const std::string& path, int operation)
    {
        fd_ = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd_ < 0)
            return;
        int rc;
        do {
            rc = flock(fd_, operation);
        } while (rc < 0 && errno == EINTR);
        if (rc < 0) {
            close(fd_);
            fd_ = -1;
        }
    }
    ~TFileLock()
    {
        if (fd_ >= 0)
            close(fd_);
    }
    TFileLock(const TFileLock&) = delete;
    TFileLock& operator=(const TFileLock&) = delete;
    bool Held() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

bool MakeFolders(const std::string& folder)
{
    std::string partial;
    size_t start = 0;
    while (start < folder.size()) {
        size_t sep = folder.find('/', start);
        if (sep == std::string::npos)
            sep = folder.size();
        partial = folder.substr(0, sep);
        if (!partial.empty() && mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
        start = sep + 1;
    }
    struct stat sb {};
    return stat(folder.c_str(), &sb) == 0 && S_ISDIR(sb.st_mode);
}

const char* const kRootNames[] = {
    "HKEY_CLASSES_ROOT",     "HKEY_CURRENT_USER",   "HKEY_LOCAL_MACHINE", "HKEY_USERS",
    "HKEY_PERFORMANCE_DATA", "HKEY_CURRENT_CONFIG", "HKEY_DYN_DATA",
};

}   // namespace

TRegistryStore::TRegistryStore(std::string folder) : folder_(std::move(folder))
{
    if (folder_.empty() || folder_.back() != '/')
        folder_ += '/';
}

std::string TRegistryStore::DefaultFolder()
{
    std::string base;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && xdg[0] == '/')
        base = xdg;
    else if (const char* home = std::getenv("HOME"); home && home[0])
        base = std::string(home) + "/.config";
    else
        base = "/tmp";
    return base + "/porukana/registry/";
}

const char* TRegistryStore::RootName(int64_t root)
{
    if (root < 0 || root >= static_cast<int64_t>(std::size(kRootNames)))
        return nullptr;
    return kRootNames[root];
}

std::string TRegistryStore::FilePath(int root) const
{
    const char* name = RootName(root);
    return name ? folder_ + name + ".reg" : std::string();
}

bool TRegistryStore::Load(int root, TRegKey& tree) const
{
    const std::string path = FilePath(root);
    if (path.empty())
        return false;
    TFileLock lock(path + ".lock", LOCK_SH);
    std::string text;
    bool missing = false;
    if (!ReadFileBytes(path, text, missing))
        return missing;   // a root never written is empty
    return ParseRegistry(text, tree);
}

template <class F> TRegistryStore::TResult TRegistryStore::Modify(int root, F change)
{
    const std::string path = FilePath(root);
    if (path.empty() || !MakeFolders(folder_.substr(0, folder_.size() - 1)))
        return TResult::Failed;
    TFileLock lock(path + ".lock", LOCK_EX);
    if (!lock.Held())
        return TResult::Failed;
    std::string text;
    bool missing = false;
    TRegKey tree;
    if (!ReadFileBytes(path, text, missing) && !missing)
        return TResult::Failed;
    // A file this store cannot read is never overwritten: what it holds is kept.
    if (!ParseRegistry(text, tree))
        return TResult::Failed;
    const TResult r = change(tree);
    if (r != TResult::Ok)
        return r;
    return ReplaceFileAtomically(path, SerialiseRegistry(tree), 0600, false) ? TResult::Ok : TResult::Failed;
}

bool TRegistryStore::CreateKey(int root, std::string_view path)
{
    const std::vector<std::string> parts = SplitKeyPath(path);
    {
        TRegKey tree;
        if (Load(root, tree) && tree.Walk(parts))
            return true;   // nothing to write
    }
    return Modify(root, [&](TRegKey& tree) {
               TRegKey* k = &tree;
               for (const std::string& name : parts)
                   k = k->SubkeyOrNew(name);
               return TResult::Ok;
           }) == TResult::Ok;
}

bool TRegistryStore::KeyExists(int root, std::string_view path) const
{
    TRegKey tree;
    return Load(root, tree) && tree.Walk(SplitKeyPath(path)) != nullptr;
}

bool TRegistryStore::ReadValue(int root, std::string_view path, std::string_view name, TRegValue& out) const
{
    TRegKey tree;
    if (!Load(root, tree))
        return false;
    TRegKey* k = tree.Walk(SplitKeyPath(path));
    TRegValue* v = k ? k->FindValue(name) : nullptr;
    if (!v)
        return false;
    out = *v;
    return true;
}

bool TRegistryStore::WriteValue(int root, std::string_view path, const TRegValue& value)
{
    const std::vector<std::string> parts = SplitKeyPath(path);
    return Modify(root, [&](TRegKey& tree) {
               TRegKey* k = &tree;
               for (const std::string& name : parts)
                   k = k->SubkeyOrNew(name);
               if (TRegValue* old = k->FindValue(value.Name)) {
                   old->Type = value.Type;
                   old->Data = value.Data;
               } else {
                   k->Values.push_back(value);
               }
               return TResult::Ok;
           }) == TResult::Ok;
}

TRegistryStore::TResult TRegistryStore::DeleteValue(int root, std::string_view path, std::string_view name)
{
    const std::vector<std::string> parts = SplitKeyPath(path);
    return Modify(root, [&](TRegKey& tree) {
        TRegKey* k = tree.Walk(parts);
        if (!k)
            return TResult::Missing;
        for (auto it = k->Values.begin(); it != k->Values.end(); ++it) {
            if (SameRegName(it->Name, name)) {
                k->Values.erase(it);
                return TResult::Ok;
            }
        }
        return TResult::Missing;
    });
}

TRegistryStore::TResult TRegistryStore::DeleteKey(int root, std::string_view path, bool withSubkeys)
{
    std::vector<std::string> parts = SplitKeyPath(path);
    if (parts.empty())
        return TResult::Failed;   // the root itself cannot go
    const std::string last = parts.back();
    parts.pop_back();
    return Modify(root, [&](TRegKey& tree) {
        TRegKey* parent = tree.Walk(parts);
        if (!parent)
            return TResult::Missing;
        for (auto it = parent->Subkeys.begin(); it != parent->Subkeys.end(); ++it) {
            if (!SameRegName((*it)->Name, last))
                continue;
            if (!(*it)->Subkeys.empty() && !withSubkeys)
                return TResult::HasSubkeys;
            parent->Subkeys.erase(it);
            return TResult::Ok;
        }
        return TResult::Missing;
    });
}

bool TRegistryStore::SubkeyNames(int root, std::string_view path, std::vector<std::string>& names) const
{
    names.clear();
    TRegKey tree;
    if (!Load(root, tree))
        return false;
    TRegKey* k = tree.Walk(SplitKeyPath(path));
    if (!k)
        return false;
    for (const auto& sub : k->Subkeys)
        names.push_back(sub->Name);
    return true;
}
