// Files, folders and file handles: the shared operations that other command
// families use when they read a file (the read-path search and the extraction of
// files packed into the program), the clipboard pseudo-file, path parts, name masks,
// listings, the trash and the file operations behind copy, move and delete.
//
// Script paths are Shift_JIS with "\" or "/" separators; native paths are UTF-8.
#pragma once
#include "loader/read_file.h"
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

class TPoruBase;

// ---- shared operations ----

// The path to open for reading `name`: a name with ":" (a drive) is returned as it
// is; an absolute name when it exists; otherwise the first existing file of: the
// current folder, the script's folder (母艦のパス), the executable's folder, the
// run-time's data folder (in place of the Windows and system folders), the main
// program's folder. When none exists the same search is repeated matching every
// path component without regard to ASCII case (scripts written for case-blind
// systems); failing that the name is returned unchanged.
std::string FindReadPath(TPoruBase& st, const std::string& name);

// When the run has a resource container and `name` is one of its entries, the entry
// is extracted (once) to the private temporary folder and that file's path is
// returned; otherwise `name` itself. Raises
// "実行ファイルに梱包されている"%s"の展開に失敗しました。" when extraction fails.
std::string ExtractPacked(TPoruBase& st, const std::string& name);

// The current folder in script form (Shift_JIS, ending in "/").
std::string CurrentFolderValue();
// IsRegularFile (native path, links followed) comes from loader/read_file.h.

// ExtractPacked and then FindReadPath: what every reading command does.
std::string ResolveReadPath(TPoruBase& st, const std::string& name);

// The file name an entry is extracted to: upper-cased, with ":", "\" and "/"
// replaced by "__", and a name made only of dots prefixed with "_", so that it
// always stays inside the temporary folder.
std::string PackedTempName(const std::string& entryName);

// ---- the clipboard ----
// The window host installs the system clipboard; without it an in-process store
// serves (the console host). Texts are Shift_JIS.
void SetClipboardHooks(std::function<std::string()> get, std::function<void(const std::string&)> set);
std::string ClipboardText();
void SetClipboardText(const std::string& text);

// ---- path parts (Shift_JIS; "\", "/" and ":" separate, a trail byte never does) ----
size_t LastPathSeparator(std::string_view path);   // npos when none
std::string PathFolderPart(std::string_view path);  // up to and including the separator
std::string PathNamePart(std::string_view path);
std::string PathExtPart(std::string_view path);     // from the last "." of the name part
std::string ChangePathExt(std::string_view path, std::string_view ext);

// ---- name masks and listings (native names) ----

// "*" any run of characters, "?" one character, ASCII letters without regard to
// case; "*.*" matches every name and a mask ending in ".*" also matches the name
// without an extension.
bool MatchFileMask(std::string_view mask, std::string_view name);

struct TDirEntry {
    std::string Name;     // native name without its folder
    bool Folder = false;  // a folder (a symbolic link to one counts)
    bool Link = false;    // a symbolic link
};
// The entries matching a native pattern (folder part + mask), "." and ".." never,
// sorted by name. A pattern ending in "/" lists everything in that folder.
std::vector<TDirEntry> ListPattern(const std::string& nativePattern);

// ---- file operations (native paths) ----

// Moves a file or folder to the freedesktop trash of its volume. Never deletes
// anything for good: false when it cannot be trashed.
bool MoveToTrash(const std::string& nativePath);
// Recursive removal that never follows symbolic links and leaves files without the
// owner-write bit (read-only files) and the folders above them in place.
void RemoveTree(const std::string& nativePath);

// The drive type name of a path (存在しない, リムーバブルディスク, 固定, リモート,
// CD-ROM, RAMディスク).
std::string DriveTypeName(const std::string& nativePath);

// The attribute number of a path (1 read-only, 2 hidden, 16 folder, 32 archive),
// -1 when it does not exist.
int32_t FileAttributes(const std::string& nativePath);
