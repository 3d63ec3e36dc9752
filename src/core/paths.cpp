// Path parts of script paths (Shift_JIS, "\\", "/" and ":" separate, a trail byte
// never does) and name masks over native names.
#include "core/paths.h"

#include <cctype>

#include "core/sjis.h"
#include "core/text.h"

// ---- path parts ------------------------------------------------------------------

size_t LastPathSeparator(std::string_view path)
{
    size_t last = std::string_view::npos;
    for (size_t i = 0; i < path.size();) {
        const auto c = static_cast<unsigned char>(path[i]);
        if (IsLeadByte(c) && i + 1 < path.size()) {
            i += 2;
            continue;
        }
        if (c == '\\' || c == '/' || c == ':')
            last = i;
        ++i;
    }
    return last;
}

std::string PathFolderPart(std::string_view path)
{
    const size_t sep = LastPathSeparator(path);
    return sep == std::string_view::npos ? std::string() : std::string(path.substr(0, sep + 1));
}

std::string PathNamePart(std::string_view path)
{
    const size_t sep = LastPathSeparator(path);
    return std::string(sep == std::string_view::npos ? path : path.substr(sep + 1));
}

namespace {

// Start of the extension ("." included) in `path`, npos when the name has none.
size_t ExtStart(std::string_view path)
{
    const size_t sep = LastPathSeparator(path);
    size_t dot = std::string_view::npos;
    for (size_t i = sep == std::string_view::npos ? 0 : sep + 1; i < path.size();) {
        const auto c = static_cast<unsigned char>(path[i]);
        if (IsLeadByte(c) && i + 1 < path.size()) {
            i += 2;
            continue;
        }
        if (c == '.')
            dot = i;
        ++i;
    }
    return dot;
}

}   // namespace

std::string PathExtPart(std::string_view path)
{
    const size_t dot = ExtStart(path);
    return dot == std::string_view::npos ? std::string() : std::string(path.substr(dot));
}

std::string ChangePathExt(std::string_view path, std::string_view ext)
{
    const size_t dot = ExtStart(path);
    std::string out(dot == std::string_view::npos ? path : path.substr(0, dot));
    out += ext;
    return out;
}

// ---- masks and listings -----------------------------------------------------------

namespace {

size_t Utf8Len(unsigned char c)
{
    if (c < 0x80)
        return 1;
    if ((c & 0xE0) == 0xC0)
        return 2;
    if ((c & 0xF0) == 0xE0)
        return 3;
    if ((c & 0xF8) == 0xF0)
        return 4;
    return 1;
}

bool MatchPlain(std::string_view mask, std::string_view name)
{
    size_t m = 0, n = 0;
    size_t starM = std::string_view::npos, starN = 0;
    while (n < name.size()) {
        if (m < mask.size() && mask[m] == '*') {
            starM = ++m;
            starN = n;
            continue;
        }
        if (m < mask.size() && mask[m] == '?') {
            ++m;
            n += std::min(Utf8Len(static_cast<unsigned char>(name[n])), name.size() - n);
            continue;
        }
        if (m < mask.size() && FoldAscii(mask[m]) == FoldAscii(name[n])) {
            ++m;
            ++n;
            continue;
        }
        if (starM == std::string_view::npos)
            return false;
        // Let the last "*" take one more character.
        starN += std::min(Utf8Len(static_cast<unsigned char>(name[starN])), name.size() - starN);
        n = starN;
        m = starM;
    }
    while (m < mask.size() && mask[m] == '*')
        ++m;
    return m == mask.size();
}

}   // namespace

bool MatchFileMask(std::string_view mask, std::string_view name)
{
    if (mask == "*.*" || mask == "*")
        return true;
    if (MatchPlain(mask, name))
        return true;
    // "name.*" also finds "name" itself.
    if (mask.size() >= 2 && mask.substr(mask.size() - 2) == ".*" && name.find('.') == std::string_view::npos)
        return MatchPlain(mask.substr(0, mask.size() - 2), name);
    return false;
}
