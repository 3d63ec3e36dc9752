// The command reference as data: the entries porukana-docgen makes from
// docs/reference/data, linked into every program that looks words up (the console's
// --doc, the editor's help pane, the language server's hover). Plain C++, no Qt.
#pragma once
#include <span>
#include <string>
#include <string_view>
#include <vector>

struct TReferenceEntry {
    const char* names;         // UTF-8, separated by line breaks; the first is the heading
    const char* text;          // UTF-8, as a terminal shows it
    const char* group;         // the title of its family (文字列, GUI部品の種類, …)
    const char* description;   // its description lines, UTF-8
};

// Every entry, in the reference's own order.
std::span<const TReferenceEntry> ReferenceEntries();

// The names of an entry, the heading first.
std::vector<std::string> ReferenceNames(const TReferenceEntry& entry);

// The entries a word names (UTF-8): the exact name first, failing that the name
// found with okurigana folding (繰り返す, 繰返 and 繰り返して find the same entry),
// failing that the name without regard to the case of ASCII letters.
std::vector<const TReferenceEntry*> FindReference(std::string_view wordUtf8);

// The entries whose names contain the word, in the reference's order.
std::vector<const TReferenceEntry*> FindReferenceContaining(std::string_view wordUtf8);

// What a word finds, each entry once, in this order: the entries the word names
// (FindReference), the entries whose names contain it (ASCII case ignored), the
// entries whose descriptions contain it, and the entries the synonyms table leads to
// (csv, zip, 並べ替え, 入力 …; the word as a whole, ASCII case ignored, okurigana
// folded).
struct TReferenceSearch {
    std::vector<const TReferenceEntry*> exact, named, described, synonyms;
    size_t Count() const { return exact.size() + named.size() + described.size() + synonyms.size(); }
};
TReferenceSearch SearchReference(std::string_view wordUtf8);

// The groups of the reference in its order, each with its entries.
struct TReferenceGroup {
    std::string title;
    std::vector<const TReferenceEntry*> entries;
};
std::vector<TReferenceGroup> ReferenceGroups();
