// Conversions between Shift_JIS (CP932, the encoding of every script value) and
// UTF-8 (file names, console output, Qt strings). The conversion is checked: a
// character that would not survive the round trip gets a per-process code from the
// CP932 user-defined area, so a name listed by the run-time can be opened again.
#pragma once
#include <cstdint>
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

// How far a text is UTF-8: plain ASCII, valid UTF-8 holding at least one
// multi-byte character, or not UTF-8 at all (strict decoding: overlong forms,
// surrogates and values above U+10FFFF are invalid).
enum class TUtf8Kind { Ascii, MultiByte, Invalid };
TUtf8Kind ClassifyUtf8(std::string_view bytes);

// Converts UTF-8 to Shift_JIS without substitutions: only characters that have a
// CP932 code of their own, or are the JIS form of one (WAVE DASH, MINUS SIGN, ...;
// not YEN SIGN or OVERLINE, which would become ASCII), are converted. Returns std::string::npos when the whole
// text was converted, otherwise the byte offset of the first character without a
// code or of the first byte that starts no valid sequence (`out` then holds the
// conversion of the text before it).
size_t Utf8ToSjisStrict(std::string_view utf8, std::string& out);

// The code point of the valid UTF-8 sequence at utf8[at] and its length in bytes;
// 0 when no valid sequence starts there.
size_t DecodeUtf8At(std::string_view utf8, size_t at, uint32_t& codePoint);
