// How every command that reads a file finds it: the read-path search and the
// extraction of files packed into the program's container.
#pragma once
#include <string>
#include <vector>

#include "core/file_io.h"

class TPoruBase;

// The path to open for reading `name`: a name with ":" (a drive) is returned as it
// is; an absolute name when it exists; otherwise the first existing file of: the
// current folder, the script's folder (母艦のパス), the executable's folder, the
// run-time's data folder (in place of the Windows and system folders), the main
// program's folder. When none exists the same search is repeated matching every
// path component without regard to ASCII case (scripts written for case-blind
// systems); failing that the name is returned unchanged.
std::string FindReadPath(TPoruBase& st, const std::string& name);
// The folders FindReadPath searches, in its order, each once (Shift_JIS, each ends in "/").
std::vector<std::string> ReadPathFolders(TPoruBase& st);

// When the run has a resource container and `name` is one of its entries, the entry
// is extracted (once) to the private temporary folder and that file's path is
// returned; otherwise `name` itself. Raises
// "実行ファイルに梱包されている"%s"の展開に失敗しました。" when extraction fails.
std::string ExtractPacked(TPoruBase& st, const std::string& name);

// The current folder in script form (Shift_JIS, ending in "/").
std::string CurrentFolderValue();
// IsRegularFile (native path, links followed) comes from core/file_io.h.

// ExtractPacked and then FindReadPath: what every reading command does.
std::string ResolveReadPath(TPoruBase& st, const std::string& name);

// The file name an entry is extracted to: upper-cased, with ":", "\" and "/"
// replaced by "__", and a name made only of dots prefixed with "_", so that it
// always stays inside the temporary folder.
std::string PackedTempName(const std::string& entryName);
