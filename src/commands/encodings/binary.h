// Typed reading and writing of bytes inside a string value (バイナリ取得 / バイナリ設定).
// Forms, compared in upper case: CHAR (1 byte as text), BYTE (unsigned 8 bits), WORD
// (unsigned 16, little-endian), DWORD (unsigned 32), INT (signed 32), CHAR* (a
// zero-terminated text). Positions are 1-based. Every access is checked against the
// value's length: a read or write past the end raises EBinary instead of touching
// memory outside the value, and the value's length never changes.
#pragma once
#include <stdexcept>
#include <string>
#include <string_view>

struct EBinary : std::runtime_error {
    using std::runtime_error::runtime_error;
};

enum class TBinaryForm { Unknown, Char, Byte, Word, DWord, Int, CharZ };

TBinaryForm BinaryFormOf(std::string_view name);

struct TBinaryValue {
    bool IsNumber = false;
    long double Number = 0;
    std::string Text;
};

// Reads at `pos` (below 2 reads from the first byte). Unknown form: false.
bool BinaryRead(std::string_view data, long double pos, TBinaryForm form, TBinaryValue& out);
// Writes in place at `pos`; `text` is the value as text and `number` its number.
// Unknown form: false, nothing written. Numbers outside the form's range raise.
bool BinaryWrite(std::string& data, long double pos, TBinaryForm form, std::string_view text, long double number);

// "41,42,43," with CR LF after every sixteenth byte.
std::string BinaryDump(std::string_view data);
