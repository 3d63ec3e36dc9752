// Listing lines of FTP servers turned into the listing commands' results.
#include "net/ftp_listing.h"

#include "commands/files/files.h"
#include "commands/patterns/wildcard.h"
#include "core/hash.h"
#include "core/text.h"

namespace {

std::string JoinTrimmed(const std::vector<std::string>& items)
{
    std::string out;
    for (const std::string& s : items)
        out += s + "\r\n";
    return Trim(out);
}

// Space-separated words of a listing line (runs of spaces and tabs separate).
std::vector<std::string_view> Words(std::string_view line)
{
    std::vector<std::string_view> words;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
            ++i;
        const size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t')
            ++i;
        if (i > start)
            words.push_back(line.substr(start, i - start));
    }
    return words;
}

}   // namespace

std::string NameListText(const std::vector<std::string>& lines)
{
    return JoinTrimmed(lines);
}

std::string FolderNames(const std::vector<std::string>& lines, std::string_view pattern)
{
    std::vector<std::string> kept;
    for (const std::string& line : lines) {
        const std::vector<std::string_view> words = Words(line);
        if (words.empty())
            continue;
        const std::string mode = LowerAscii(words.front());
        if (mode == "total" || mode[0] != 'd')
            continue;
        const std::string name(words.back());
        if (pattern.empty() || WildcardWholeMatch(name, pattern))
            kept.push_back(name);
    }
    return JoinTrimmed(kept);
}

std::string ListingText(const std::vector<std::string>& lines)
{
    std::string out;
    for (const std::string& s : lines)
        out += s + "\r\n";
    return out;
}

std::string MaskFolder(std::string_view mask)
{
    const size_t slash = mask.rfind('/');
    return slash == std::string_view::npos ? std::string() : std::string(mask.substr(0, slash + 1));
}

std::vector<std::string> MatchingNames(const std::vector<std::string>& names, std::string_view mask)
{
    const std::string folder = MaskFolder(mask);
    const std::string_view nameMask = mask.substr(folder.size());
    std::vector<std::string> out;
    for (const std::string& n : names) {
        if (n.empty())
            continue;
        // a server may answer with the folder in front of each name
        const size_t slash = n.rfind('/');
        const std::string_view base =
            slash == std::string::npos ? std::string_view(n) : std::string_view(n).substr(slash + 1);
        if (nameMask.empty() || MatchFileMask(nameMask, base))
            out.push_back(n);
    }
    return out;
}
