// The file-list expansion done before packing: a list of names, folders and masks
// becomes the sorted list of the files to pack, under the switches r (recursion),
// p (whether plain names are searched in subfolders too), a (hidden files), jo/job
// (date bounds), jx (exclusions), ji and jf.
//
// Relative names are taken from the base folder (or the current folder when there
// is none) by joining paths; the process's current folder is never changed.
// Hidden files are those whose name begins with "."; short names are the long ones.
#pragma once
#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "archive/options.h"

// A date bound of jo/job: "yyMMdd", "yyMMddhhmmss", "yyyyMMdd" or "yyyyMMddhhmmss",
// optionally preceded by "l"; 6- and 8-character forms take `defaultTime`
// ("000000" or "235959"). A two-digit year lies in the hundred years that start 50
// years before `currentYear`. False for any other length (no bound).
bool ParseArchiveDate(const std::string& text, const std::string& defaultTime, int currentYear, time_t& out);

struct TFileListResult {
    std::vector<std::string> Names;   // Shift_JIS script paths, sorted, no duplicates
    bool Cancelled = false;
};

// Expands `list` (Shift_JIS lines) over the copy `o` of the options; `progress`,
// when set, sees every new name and returns false to cancel. Afterwards o has
// r = -1, p = 1 and no date bounds.
TFileListResult ExpandFileList(TArchiverOptions& o, const std::vector<std::string>& list, const std::string& baseFolder,
                               const std::function<bool(const std::string&)>& progress = {});
