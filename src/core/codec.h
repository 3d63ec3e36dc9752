// Conversions between Shift_JIS (CP932, the encoding of every script value) and
// UTF-8 (file names, console output, Qt strings). The conversion is checked: a
// character that would not survive the round trip gets a per-process code from the
// CP932 user-defined area, so a name listed by the run-time can be opened again.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

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

// ---- text files ----
// Text commands read UTF-8 files as UTF-8 and write the encoding the script chose;
// values stay Shift_JIS in between. A character that Shift_JIS has no code for is
// carried inside a value by its per-process code (see above), so writing UTF-8 turns
// it back into the character.

enum class TTextEncoding { Sjis, Utf8, Utf8Bom };
enum class TLineEnd { CrLf, Lf };

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

bool HasUtf8Bom(std::string_view bytes);
// The UTF-8 form of one code point.
std::string CodePointToUtf8(uint32_t codePoint);
// True when file bytes are UTF-8 text: they start with a byte-order mark, or are
// valid UTF-8 holding at least one multi-byte character (the rule for scripts).
// With `head` the bytes are the start of a longer file: a sequence cut off at the
// end does not count against them.
bool IsUtf8Text(std::string_view bytes, bool head = false);

// UTF-8 to Shift_JIS for a value read from a file: characters with a CP932 code of
// their own and the JIS forms that text written on Linux uses (WAVE DASH, MINUS
// SIGN, ...) are converted; any other character gets its per-process code.
std::string Utf8TextToSjis(std::string_view utf8);
// File bytes to a value: UTF-8 text (IsUtf8Text) converted, its mark dropped;
// anything else unchanged.
std::string TextFileToSjis(std::string_view bytes);

// A character that a written file could not hold as it was: its code point
// (U+FFFD for bytes that are no character) and what was written instead.
struct TLostChar {
    uint32_t CodePoint = 0;
    std::string WrittenAs;
};

// A value to the bytes of a text file (without a byte-order mark; the caller writes
// one at the start of a file). Lf turns every CR LF into LF.
// - Utf8 / Utf8Bom: characters converted to UTF-8; a per-process code becomes the
//   character it stands for; bytes that are no Shift_JIS character become U+FFFD
//   and are listed in `lost`.
// - Sjis: the bytes as they are, except a per-process code: it becomes the JIS
//   character it is a form of (WAVE DASH as 0x8160), or the reference "&#xHHHH;"
//   (the character's code point in hexadecimal), listed in `lost`. A saved file never
//   holds a per-process code, which would mean nothing to another process.
std::string SjisToTextFile(std::string_view sjis, TTextEncoding encoding, TLineEnd lineEnd,
                           std::vector<TLostChar>* lost = nullptr);
