// The pages made from the reference data: one Markdown page per family and an
// index, the terminal text that porukana-cli --doc prints, and the C++ table that
// carries those texts into porukana-cli.
#pragma once
#include <map>
#include <string>
#include <vector>

#include "refdata.h"
#include "registry_rows.h"

// The page file of a data file ("Strings" -> "strings.md").
std::string PageFileName(const std::string& stem);
// How a command is written with its template: "?を、?から、?まで、繰り返す",
// "POS(?,?)", "終わり".
std::string UsageOf(const TWordRow& row);
// The anchor a heading gets (lower-case ASCII letters, spaces as "-").
std::string AnchorOf(const std::string& heading);

// Every generated Markdown page by file name (index.md and one per data file).
std::map<std::string, std::string> MarkdownPages(const std::vector<TDataFile>& files, const TRegistry& registry);

// The entry as porukana-cli --doc shows it.
std::string TerminalText(const TEntry& entry, const TDataFile& file, const TRegistry& registry);

// C++ source of the table of entries and synonyms (macro calls), every byte
// outside plain ASCII written as an octal escape so that any execution character
// set keeps the UTF-8 bytes.
std::string EmbedSource(const std::vector<TDataFile>& files, const TRegistry& registry,
                        const std::vector<std::pair<std::string, std::string>>& synonyms);

// The synonyms table (docs/reference/data/synonyms.tsv): lines "WORD<TAB>NAME NAME...",
// "#" comments. A missing file gives an empty table.
std::vector<std::pair<std::string, std::string>> ReadSynonyms(const std::string& path,
                                                              std::vector<std::string>& errors);
