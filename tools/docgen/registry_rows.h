// The registry table as the reference sees it: every command row, system variable
// and constant, in the table's order, with UTF-8 texts.
#pragma once
#include <map>
#include <string>
#include <vector>

struct TWordRow {
    enum Kind { Command, Variable, Constant } kind = Command;
    std::string family;   // commands: the family as the table writes it
    int id = -1;          // commands only
    std::string name;
    std::string argSpec;     // commands only
    std::string value;       // system words: the value at registration
    bool computed = false;   // system words whose value the run-time computes
};

struct TRegistry {
    std::vector<TWordRow> rows;
    std::vector<std::string> families;   // in the table's order
    // Rows by name (a name may stand in several rows).
    std::multimap<std::string, const TWordRow*> byName;

    static const TRegistry& Get();
    std::vector<const TWordRow*> Rows(const std::string& name) const;
    bool IsFamily(const std::string& family) const;
};

// The stem of the data file (and page) that holds a row.
std::string DataStemOf(const TWordRow& row);
