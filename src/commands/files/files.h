// Files, folders and file handles: the shared operations that other command
// families use: the clipboard pseudo-file, listings, the trash and the file
// operations behind copy, move and delete. Reading a file goes through the
// read-path search (interp/read_path.h); path parts and name masks are in
// core/paths.h.
//
// Script paths are Shift_JIS with "\" or "/" separators; native paths are UTF-8.
#pragma once
#include "core/codec.h"
#include "core/file_io.h"
#include "core/paths.h"
#include "interp/read_path.h"
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

class TPoruBase;

// ---- the clipboard ----
// The window host installs the system clipboard; without it an in-process store
// serves (the console host). Texts are Shift_JIS.
void SetClipboardHooks(std::function<std::string()> get, std::function<void(const std::string&)> set);
std::string ClipboardText();
void SetClipboardText(const std::string& text);

// ---- listings (native names) ----
struct TDirEntry {
    std::string Name;      // native name without its folder
    bool Folder = false;   // a folder (a symbolic link to one counts)
    bool Link = false;     // a symbolic link
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

// ---- text file encodings ----
// The encoding and line ends that text commands write, from the system variables
// 保存文字コード ("SJIS", "UTF-8", "UTF-8(BOM付き)") and 保存改行コード ("CRLF",
// "LF"). A value that names neither is an error naming the variable.
struct TTextWriteMode {
    TTextEncoding Encoding = TTextEncoding::Sjis;
    TLineEnd LineEnd = TLineEnd::CrLf;
};
TTextWriteMode TextWriteMode(TPoruBase& st);
// The encoding named by a setting's text; false when it names none.
bool ParseTextEncoding(std::string_view text, TTextEncoding& encoding);
bool ParseLineEnd(std::string_view text, TLineEnd& lineEnd);

// A value as the bytes of the text file `file` (a script path, for the message).
// Characters the file cannot hold are reported once, as a warning that names the
// first of them, what was written instead and the file.
std::string TextForFile(TPoruBase& st, std::string_view value, TTextEncoding encoding, TLineEnd lineEnd,
                        const std::string& file);
// The warning of TextForFile for characters already converted.
void ReportLostChars(TPoruBase& st, const std::vector<TLostChar>& lost, const std::string& file);
