// The encoding of script files. A script is Shift_JIS unless it is valid UTF-8
// holding multi-byte characters, or starts with a UTF-8 byte-order mark; the
// options -sjis and -utf8 force either. UTF-8 text is converted to Shift_JIS on
// load, and a character without a Shift_JIS code is an error, never replaced.
#pragma once
#include <string>

enum class TScriptEncoding { Auto, Sjis, Utf8 };

// The outcome of decoding one script file: the Shift_JIS text, or the line (from
// 1) and the message (Shift_JIS) of the first character that could not be taken.
struct TScriptText {
    bool Ok = true;
    std::string Text;
    int Line = 0;
    std::string Message;
};

TScriptText DecodeScriptBytes(std::string bytes, TScriptEncoding encoding);

// "FILE(N行目): MESSAGE" of a failed decoding, FILE being the name part of the path.
std::string ScriptTextFailure(const std::string& sjisPath, const TScriptText& decoded);
