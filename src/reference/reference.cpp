#include "reference/reference.h"

#include <algorithm>

#include "core/codec.h"
#include "core/hash.h"
#include "core/text.h"

namespace {

const TReferenceEntry kEntries[] = {
#define PORU_REFERENCE_ENTRY(names, text, group, description) {names, text, group, description},
#define PORU_REFERENCE_SYNONYM(word, names)
#include "reference_entries.inc"
#undef PORU_REFERENCE_ENTRY
#undef PORU_REFERENCE_SYNONYM
};

struct TSynonym {
    const char* word;    // UTF-8
    const char* names;   // UTF-8, separated by line breaks
};

const TSynonym kSynonyms[] = {
#define PORU_REFERENCE_ENTRY(names, text, group, description)
#define PORU_REFERENCE_SYNONYM(word, names) {word, names},
#include "reference_entries.inc"
#undef PORU_REFERENCE_ENTRY
#undef PORU_REFERENCE_SYNONYM
};

std::vector<std::string> SplitNames(std::string_view s)
{
    std::vector<std::string> names;
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

// Appends the entries not yet found.
void AddNew(std::vector<const TReferenceEntry*>& to, const std::vector<const TReferenceEntry*>& from,
            std::vector<const TReferenceEntry*>& seen)
{
    for (const TReferenceEntry* e : from)
        if (std::find(seen.begin(), seen.end(), e) == seen.end()) {
            seen.push_back(e);
            to.push_back(e);
        }
}

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
    return SplitNames(entry.names);
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

TReferenceSearch SearchReference(std::string_view wordUtf8)
{
    TReferenceSearch r;
    const std::string word = LowerAscii(Trim(wordUtf8));
    if (word.empty())
        return r;
    std::vector<const TReferenceEntry*> seen;
    AddNew(r.exact, FindReference(Trim(wordUtf8)), seen);
    AddNew(r.named, Find([&](const std::string& name) { return LowerAscii(name).find(word) != std::string::npos; }),
           seen);
    std::vector<const TReferenceEntry*> described;
    for (const TReferenceEntry& e : kEntries)
        if (LowerAscii(e.description).find(word) != std::string::npos)
            described.push_back(&e);
    AddNew(r.described, described, seen);
    const std::string folded = FoldOkurigana(Utf8ToSjis(word));
    for (const TSynonym& syn : kSynonyms) {
        const std::string key = LowerAscii(syn.word);
        if (key != word && FoldOkurigana(Utf8ToSjis(key)) != folded)
            continue;
        for (const std::string& name : SplitNames(syn.names))
            AddNew(r.synonyms, Find([&](const std::string& n) { return n == name; }), seen);
    }
    return r;
}

std::vector<TReferenceGroup> ReferenceGroups()
{
    std::vector<TReferenceGroup> groups;
    for (const TReferenceEntry& e : kEntries) {
        if (groups.empty() || groups.back().title != e.group)
            groups.push_back({e.group, {}});
        groups.back().entries.push_back(&e);
    }
    return groups;
}
