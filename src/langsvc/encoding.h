// Script files as an editor opens and saves them: the encoding they have (UTF-8,
// with or without a byte-order mark, or Shift_JIS) and their line ends, found from
// the bytes by the rule the script loader uses, and written back the same way so
// that a file opened and saved unchanged keeps every byte.
#pragma once
#include <string>
#include <string_view>

namespace langsvc {

enum class TTextEncoding { Utf8, Utf8Bom, ShiftJis };
enum class TLineEnd { CrLf, Lf, Cr };

struct TDecodedText {
    std::string Text;   // UTF-8, lines ended by LF
    TTextEncoding Encoding = TTextEncoding::Utf8;
    TLineEnd LineEnd = TLineEnd::Lf;
    bool Ascii = false;   // nothing told the encoding apart: it is the default one
    bool Exact = true;    // encoding the text again gives the bytes read
};

// Reads bytes: a byte-order mark or valid UTF-8 holding multi-byte characters is
// UTF-8, anything else Shift_JIS; plain ASCII takes `plain`. Line ends: the most
// frequent kind; a text without any takes the usual one of its encoding (CR LF for
// Shift_JIS, LF for UTF-8).
TDecodedText DecodeScript(std::string_view bytes, TTextEncoding plain = TTextEncoding::Utf8);

// Writes text (UTF-8, LF line ends) in an encoding with the given line ends.
std::string EncodeScript(std::string_view text, TTextEncoding encoding, TLineEnd lineEnd);

// Names shown to the user: "UTF-8", "UTF-8 (BOM付き)", "Shift_JIS"; "CRLF", "LF", "CR".
const char* EncodingName(TTextEncoding encoding);
const char* LineEndName(TLineEnd lineEnd);

// The name used by editors and the language server: "utf8", "utf8bom", "shiftjis".
const char* EncodingId(TTextEncoding encoding);

}   // namespace langsvc
