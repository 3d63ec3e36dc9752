// The file-list expansion.
#include "archive/file_list.h"

#include <sys/stat.h>

#include <set>

#include "commands/files/files.h"
#include "core/codec.h"

bool ParseArchiveDate(const std::string& text, const std::string& defaultTime, int currentYear, time_t& out)
{
    std::string t = text;
    if (!t.empty() && t[0] == 'l')
        t.erase(0, 1);
    for (char c : t)
        if (c < '0' || c > '9')
            return false;
    auto num = [&](size_t at, size_t n) { return std::stoi(t.substr(at, n)); };
    int year;
    size_t rest;
    if (t.size() == 6 || t.size() == 12) {
        const int pivot = currentYear - 50;
        year = num(0, 2) + 100 * (pivot / 100);
        if (year < pivot)
            year += 100;
        rest = 2;
    } else if (t.size() == 8 || t.size() == 14) {
        year = num(0, 4);
        rest = 4;
    } else {
        return false;
    }
    const std::string time = (t.size() == 6 || t.size() == 8) ? defaultTime : t.substr(rest + 4);
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = num(rest, 2) - 1;
    tm.tm_mday = num(rest + 2, 2);
    tm.tm_hour = std::stoi(time.substr(0, 2));
    tm.tm_min = std::stoi(time.substr(2, 2));
    tm.tm_sec = std::stoi(time.substr(4, 2));
    tm.tm_isdst = -1;
    out = mktime(&tm);
    return true;
}

namespace {

bool HasWildcard(const std::string& s)
{
    return s.find_first_of("*?") != std::string::npos;
}

bool EndsWithSeparator(const std::string& s)
{
    const size_t sep = LastPathSeparator(s);
    return !s.empty() && sep == s.size() - 1;
}

class TLister {
public:
    TLister(const TArchiverOptions& o, const std::string& base, const std::function<bool(const std::string&)>& progress)
        : o_(o), base_(base), nativeBase_(ToNativePath(base)), progress_(progress)
    {
        const int year = CurrentYear();
        hasFrom_ = !o.Jo.empty() && ParseArchiveDate(o.Jo, "000000", year, from_);
        hasTo_ = !o.Job.empty() && ParseArchiveDate(o.Job, "235959", year, to_);
    }

    // Steps over the given entries into `out`; false when cancelled.
    bool Expand(const std::vector<std::string>& list, std::set<std::string>& out);
    std::set<std::string> Excluded;

private:
    const TArchiverOptions& o_;
    std::string base_, nativeBase_;
    std::function<bool(const std::string&)> progress_;
    bool hasFrom_ = false, hasTo_ = false;
    time_t from_ = 0, to_ = 0;
    std::set<std::string>* out_ = nullptr;
    bool cancelled_ = false;

    static int CurrentYear()
    {
        const time_t now = time(nullptr);
        std::tm tm{};
        localtime_r(&now, &tm);
        return tm.tm_year + 1900;
    }
    // The native path of a script-form name (relative names from the base folder).
    std::string Native(const std::string& name) const
    {
        const std::string n = ToNativePath(name);
        if (!n.empty() && n[0] == '/')
            return n;
        if (nativeBase_.empty())
            return n.empty() ? std::string(".") : n;
        std::string b = nativeBase_;
        if (b.back() != '/')
            b += '/';
        return b + n;
    }
    void Search(const std::string& folder, const std::string& pattern);
    void Take(const std::string& name, const std::string& native);
};

void TLister::Take(const std::string& name, const std::string& native)
{
    if (hasFrom_ || hasTo_) {
        struct stat sb {};
        if (stat(native.c_str(), &sb) != 0)
            return;
        if ((hasFrom_ && sb.st_mtime < from_) || (hasTo_ && sb.st_mtime > to_))
            return;
    }
    std::string taken = name;
    if (o_[swJf] == -2 && !base_.empty() && taken.starts_with(base_))
        taken = taken.substr(base_.size());
    if (Excluded.count(taken))
        return;
    if (!out_->insert(taken).second)
        return;
    if (progress_ && !progress_(taken))
        cancelled_ = true;
}

// Searches `folder` (script form, "" or ending in a separator) for `pattern`.
void TLister::Search(const std::string& folder, const std::string& pattern)
{
    if (cancelled_)
        return;
    std::string nativeFolder = Native(folder);
    if (nativeFolder.back() != '/')
        nativeFolder += '/';
    const std::string nativePattern = ToNativePath(pattern);
    const bool hidden = o_[swA] > 0;
    if (!pattern.empty()) {
        struct stat sb {};
        if (!HasWildcard(pattern) && stat((nativeFolder + nativePattern).c_str(), &sb) == 0) {
            // A plain name that exists is that file alone.
            if (!S_ISDIR(sb.st_mode) && (hidden || nativePattern[0] != '.'))
                Take(folder + pattern, nativeFolder + nativePattern);
        } else {
            for (const TDirEntry& e : ListPattern(nativeFolder + nativePattern)) {
                if (e.Folder || (!hidden && e.Name[0] == '.'))
                    continue;
                Take(folder + FromNativePath(e.Name), nativeFolder + e.Name);
                if (cancelled_)
                    return;
            }
        }
    }
    if (o_[swR] > 0 && (o_[swP] <= 0 || HasWildcard(pattern))) {
        for (const TDirEntry& e : ListPattern(nativeFolder)) {
            if (!e.Folder || e.Link)
                continue;   // a linked folder could lead in a circle
            Search(folder + FromNativePath(e.Name) + "/", pattern);
            if (cancelled_)
                return;
        }
    }
}

bool TLister::Expand(const std::vector<std::string>& list, std::set<std::string>& out)
{
    out_ = &out;
    if (list.empty()) {
        Search("", "*.*");
        return !cancelled_;
    }
    for (const std::string& entry : list) {
        if (entry.empty())
            continue;
        struct stat sb {};
        if (entry == "." || entry == "./") {
            if (o_[swR] > 1)
                Search("", "*.*");   // the base (or current) folder itself
        } else if (o_[swR] > 1 && stat(Native(entry).c_str(), &sb) == 0 && S_ISDIR(sb.st_mode)) {
            Search(EndsWithSeparator(entry) ? entry : entry + "/", "*.*");
        } else {
            Search(PathFolderPart(entry), PathNamePart(entry));
        }
        if (cancelled_)
            return false;
    }
    return true;
}

}   // namespace

TFileListResult ExpandFileList(TArchiverOptions& o, const std::vector<std::string>& list, const std::string& baseFolder,
                               const std::function<bool(const std::string&)>& progress)
{
    TFileListResult res;
    {
        TLister lister(o, baseFolder, progress);
        if (!o.Jx.empty()) {
            TLister exclusions(o, baseFolder, {});
            exclusions.Expand(o.Jx, lister.Excluded);
        }
        std::set<std::string> names;
        res.Cancelled = !lister.Expand(list, names);
        res.Names.assign(names.begin(), names.end());
    }
    o[swR] = -1;
    o[swP] = 1;
    o.Jo.clear();
    o.Job.clear();
    return res;
}
