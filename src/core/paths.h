// Path parts of script paths and name masks.
#pragma once
#include <string>
#include <string_view>

// ---- path parts (Shift_JIS; "\", "/" and ":" separate, a trail byte never does) ----
size_t LastPathSeparator(std::string_view path);     // npos when none
std::string PathFolderPart(std::string_view path);   // up to and including the separator
std::string PathNamePart(std::string_view path);
std::string PathExtPart(std::string_view path);   // from the last "." of the name part
std::string ChangePathExt(std::string_view path, std::string_view ext);

// ---- name masks (native names) ----

// "*" any run of characters, "?" one character, ASCII letters without regard to
// case; "*.*" matches every name and a mask ending in ".*" also matches the name
// without an extension.
bool MatchFileMask(std::string_view mask, std::string_view name);
