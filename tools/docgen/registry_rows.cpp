#include "registry_rows.h"

#include <algorithm>
#include <cstring>

#include "interp/command_ids.h"

namespace {

TRegistry Build()
{
    TRegistry r;
#define PORU_FAMILY(family) r.families.push_back(#family);
#define PORU_COMMAND(family, symbol, id, name, argSpec)                                                                \
    r.rows.push_back({TWordRow::Command, #family, id, name, argSpec, "", false});
#define PORU_ALIAS(family, symbol, name, argSpec)                                                                      \
    r.rows.push_back({TWordRow::Command, #family, static_cast<int>(Cmd::symbol), name, argSpec, "", false});
#define PORU_VARIABLE(name, value, description, computed)                                                              \
    r.rows.push_back({TWordRow::Variable, "", -1, name, "", value, std::strcmp(#computed, "Plain") != 0});
#define PORU_CONSTANT(name, value, description, computed)                                                              \
    r.rows.push_back({TWordRow::Constant, "", -1, name, "", value, std::strcmp(#computed, "Plain") != 0});
#include "interp/builtins_table.inc"
    for (const TWordRow& row : r.rows)
        r.byName.emplace(row.name, &row);
    return r;
}

}   // namespace

const TRegistry& TRegistry::Get()
{
    static const TRegistry registry = Build();
    return registry;
}

std::vector<const TWordRow*> TRegistry::Rows(const std::string& name) const
{
    std::vector<const TWordRow*> out;
    auto [a, b] = byName.equal_range(name);
    for (auto it = a; it != b; ++it)
        out.push_back(it->second);
    return out;
}

bool TRegistry::IsFamily(const std::string& family) const
{
    return std::find(families.begin(), families.end(), family) != families.end();
}

std::string DataStemOf(const TWordRow& row)
{
    return row.kind == TWordRow::Command ? row.family : std::string("variables");
}
