// The GUI objects in the reference, made from src/interp/object_table.inc: an entry
// for every object kind, property and event (what --doc prints), a page per kind and
// an overview page.
#pragma once
#include <map>
#include <string>
#include <vector>

struct TObjectKindRow {
    int code;
    std::string name, page, control;
    std::vector<std::string> events;
    std::string mainEvent, valueRead, valueSet;
};

struct TPropertyRow {
    int code;
    std::string name, tag;
    std::vector<std::string> kinds;   // {"*"}: every kind
    std::string read, set;
};

struct TEventRow {
    int slot;
    std::string name, happens, variables;
};

struct TObjectTable {
    std::vector<TObjectKindRow> kinds;
    std::vector<TPropertyRow> properties;
    std::vector<TEventRow> events;

    static const TObjectTable& Get();
    const TEventRow* Event(const std::string& name) const;
    // Whether a property acts on a kind (母艦 counts as a フォーム).
    bool Acts(const TPropertyRow& p, const TObjectKindRow& k) const;
};

// One reference entry: its names (the heading first), the title of its group and the
// text the terminal shows.
struct TObjectEntry {
    std::vector<std::string> names;
    std::string group;
    std::string description;
    std::string text;
};

std::vector<TObjectEntry> ObjectEntries(const TObjectTable& table);

// The page file of a kind ("button" -> "object-button.md") and every object page by
// file name (objects.md and one per kind).
std::string KindPageFile(const TObjectKindRow& kind);
// The link to a property's section ("objects.md#テキスト").
std::string PropertyLink(const std::string& name);
std::map<std::string, std::string> ObjectPages(const TObjectTable& table);

// The title of the group of kinds and of properties, as the index shows them.
extern const char* const kKindGroup;
extern const char* const kPropertyGroup;
