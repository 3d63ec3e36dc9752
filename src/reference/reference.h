// The command reference as data: the entries porukana-docgen makes from
// docs/reference/data, linked into every program that looks words up (the console's
// --doc, the editor's help pane, the language server's hover). Plain C++, no Qt.
#pragma once
#include <span>
#include <string>
#include <string_view>
#include <vector>

struct TReferenceEntry {
    const char* names;   // UTF-8, separated by line breaks; the first is the heading
    const char* text;    // UTF-8, as a terminal shows it
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
