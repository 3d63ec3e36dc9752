// Checks the reference data against the registry table: every row has exactly one
// entry with a description, every command entry has samples that use each of its
// names, and no entry names a word the table does not have.
#pragma once
#include <string>
#include <vector>

#include "refdata.h"
#include "registry_rows.h"

std::vector<std::string> CheckReference(const std::vector<TDataFile>& files, const TRegistry& registry);

// A name without its closing okurigana (切り出す -> 切り出), the part a sentence
// keeps whatever form the verb takes (切り出して, 切り出す).
std::string NameStem(const std::string& utf8Name);
