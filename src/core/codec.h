// Conversions between Shift_JIS (CP932, the encoding of every script value) and
// UTF-8 (file names, console output, Qt strings). The conversion is checked: a
// character that would not survive the round trip gets a per-process code from the
// CP932 user-defined area, so a name listed by the run-time can be opened again.
#pragma once
#include <string>
#include <string_view>

std::string SjisToUtf8(std::string_view sjis);
std::string Utf8ToSjis(std::string_view utf8);

// Script path (Shift_JIS, "\" or "/" separators, optional drive prefix) to a native
// UTF-8 path: "\" becomes "/" (a trail byte 0x5C is never a separator) and a drive
// prefix "X:" followed by a separator is dropped.
std::string ToNativePath(std::string_view sjisPath);
// Native UTF-8 path back to Shift_JIS for scripts.
std::string FromNativePath(std::string_view utf8Path);

// A text that starts with a UTF-8 byte-order mark is converted to Shift_JIS
// (the mark dropped); any other text is returned unchanged.
std::string ScriptBytesToSjis(std::string bytes);
