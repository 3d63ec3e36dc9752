#include "check.h"

#include <map>
#include <set>

namespace {

// Hiragana in UTF-8: U+3041..U+309F is E3 81 81 .. E3 82 9F.
bool EndsWithHiragana(const std::string& s, size_t end)
{
    if (end < 3)
        return false;
    const auto b0 = static_cast<unsigned char>(s[end - 3]);
    const auto b1 = static_cast<unsigned char>(s[end - 2]);
    const auto b2 = static_cast<unsigned char>(s[end - 1]);
    if (b0 != 0xE3)
        return false;
    return (b1 == 0x81 && b2 >= 0x81) || (b1 == 0x82 && b2 <= 0x9F);
}

std::string Where(const TEntry& e)
{
    return e.file + ":" + std::to_string(e.line) + ": ";
}

}   // namespace

std::string NameStem(const std::string& name)
{
    size_t end = name.size();
    while (EndsWithHiragana(name, end))
        end -= 3;
    return end == 0 ? name : name.substr(0, end);
}

std::vector<std::string> CheckReference(const std::vector<TDataFile>& files, const TRegistry& registry)
{
    std::vector<std::string> errors;
    std::map<std::string, std::string> covered;   // name -> where its entry is
    for (const TDataFile& file : files) {
        if (file.stem != "variables" && !registry.IsFamily(file.stem))
            errors.push_back(file.path + ": \"" + file.stem + "\" is no command family of the registry");
        if (file.title.empty())
            errors.push_back(file.path + ": no title");
        for (const TEntry& e : file.entries) {
            if (e.description.empty())
                errors.push_back(Where(e) + "\"" + (e.names.empty() ? "" : e.names[0]) + "\" has no description");
            int id = -2;
            bool commandEntry = false;
            for (const std::string& name : e.names) {
                const std::vector<const TWordRow*> rows = registry.Rows(name);
                bool here = false;
                for (const TWordRow* row : rows) {
                    if (DataStemOf(*row) != file.stem)
                        continue;
                    here = true;
                    if (row->kind == TWordRow::Command) {
                        commandEntry = true;
                        if (id == -2)
                            id = row->id;
                        else if (id != row->id)
                            errors.push_back(Where(e) + "\"" + name + "\" has id " + std::to_string(row->id) +
                                             ", the entry's first name " + std::to_string(id));
                    }
                }
                if (!here) {
                    errors.push_back(Where(e) + "\"" + name + "\" is no registry word of " + file.stem);
                    continue;
                }
                auto [it, fresh] = covered.emplace(name, Where(e));
                if (!fresh)
                    errors.push_back(Where(e) + "\"" + name + "\" has another entry at " + it->second);
            }
            if (commandEntry && e.samples.empty())
                errors.push_back(Where(e) + "the command \"" + e.names[0] + "\" has no sample");
            if (commandEntry) {
                for (const std::string& name : e.names) {
                    bool used = false;
                    for (const TSample& s : e.samples)
                        used = used || s.code.find(NameStem(name)) != std::string::npos;
                    if (!used)
                        errors.push_back(Where(e) + "no sample uses \"" + name + "\"");
                }
            }
            for (const TSample& s : e.samples)
                if (s.out.empty() && s.err.empty())
                    errors.push_back(s.file + ":" + std::to_string(s.line) + ": a sample that shows no output");
        }
    }
    std::set<std::string> reported;
    for (const TWordRow& row : registry.rows) {
        if (covered.count(row.name) || !reported.insert(row.name).second)
            continue;
        errors.push_back("\"" + row.name + "\" (" + (row.kind == TWordRow::Command ? row.family : "system word") +
                         ") has no entry, no description and no sample");
    }
    return errors;
}
