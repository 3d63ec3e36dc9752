#include "reference/reference.h"

#include "core/codec.h"
#include "core/hash.h"
#include "core/text.h"

namespace {

const TReferenceEntry kEntries[] = {
#include "reference_entries.inc"
};

// The entries one test finds, each once.
template <typename Match> std::vector<const TReferenceEntry*> Find(Match match)
{
    std::vector<const TReferenceEntry*> found;
    for (const TReferenceEntry& e : kEntries)
        for (const std::string& name : ReferenceNames(e))
            if (match(name)) {
                found.push_back(&e);
                break;
            }
    return found;
}

}   // namespace

std::span<const TReferenceEntry> ReferenceEntries()
{
    return kEntries;
}

std::vector<std::string> ReferenceNames(const TReferenceEntry& entry)
{
    std::vector<std::string> names;
    std::string_view s = entry.names;
    size_t start = 0;
    while (start <= s.size()) {
        size_t end = s.find('\n', start);
        if (end == std::string_view::npos)
            end = s.size();
        names.emplace_back(s.substr(start, end - start));
        start = end + 1;
    }
    return names;
}

std::vector<const TReferenceEntry*> FindReference(std::string_view wordUtf8)
{
    const std::string word(wordUtf8);
    std::vector<const TReferenceEntry*> found = Find([&](const std::string& name) { return name == word; });
    if (found.empty()) {
        const std::string folded = FoldOkurigana(Utf8ToSjis(word));
        found = Find([&](const std::string& name) { return FoldOkurigana(Utf8ToSjis(name)) == folded; });
    }
    if (found.empty())
        found = Find([&](const std::string& name) { return LowerAscii(name) == LowerAscii(word); });
    return found;
}

std::vector<const TReferenceEntry*> FindReferenceContaining(std::string_view wordUtf8)
{
    const std::string word(wordUtf8);
    return Find([&](const std::string& name) { return name.find(word) != std::string::npos; });
}
