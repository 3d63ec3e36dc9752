// Small UTF-8 helpers of the language service: characters, columns counted in
// characters (what the checker and the editor count) and in UTF-16 units (what the
// language server protocol counts).
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace langsvc {

// Length in bytes of the UTF-8 character that starts with byte `lead` (1 for a byte
// that starts no sequence, so that a walk always advances).
size_t Utf8Length(unsigned char lead);

// The code point at s[at] (U+FFFD for a broken sequence) and its length in bytes.
uint32_t CodePointAt(std::string_view s, size_t at, size_t* length = nullptr);

// The characters of `s`, each as its UTF-8 bytes.
std::vector<std::string> Characters(std::string_view s);

// Number of characters in s.
size_t CharCount(std::string_view s);

// Byte offset of character `column` of `line` (the size when it lies beyond).
size_t ByteOfColumn(std::string_view line, size_t column);

// Character column of byte offset `byte`.
size_t ColumnOfByte(std::string_view line, size_t byte);

// UTF-16 units before character `column` of `line`, and back.
size_t Utf16OfColumn(std::string_view line, size_t column);
size_t ColumnOfUtf16(std::string_view line, size_t units);

// Appends code point cp as UTF-8.
void AppendUtf8(std::string& out, uint32_t cp);

// The lines of a text whose line ends are LF (a CR before the LF is dropped too).
std::vector<std::string> SplitLines(std::string_view text);

}   // namespace langsvc
