// Script file encodings: detection, the checked conversion of UTF-8 and the
// messages naming the character that has no Shift_JIS code.
#include "loader/script_encoding.h"

#include <cstdio>

#include "core/codec.h"
#include "core/error.h"
#include "core/paths.h"

namespace {

bool HasByteOrderMark(const std::string& bytes)
{
    return bytes.size() >= 3 && static_cast<unsigned char>(bytes[0]) == 0xEF &&
           static_cast<unsigned char>(bytes[1]) == 0xBB && static_cast<unsigned char>(bytes[2]) == 0xBF;
}

// The line (from 1) holding byte `at`; CR LF, CR and LF each end a line, as the
// loader splits them.
int LineAt(const std::string& bytes, size_t at)
{
    int line = 1;
    for (size_t i = 0; i < at && i < bytes.size(); ++i) {
        if (bytes[i] == '\n' || (bytes[i] == '\r' && (i + 1 >= bytes.size() || bytes[i + 1] != '\n')))
            ++line;
    }
    return line;
}

std::string Hex(uint32_t value, int digits)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%0*X", digits, static_cast<unsigned>(value));
    return buf;
}

// The message for the first character of `utf8` at `at` that could not be taken.
// The character itself is shown through the converter's per-process code, which
// turns back into the same character when the message is written out.
std::string FailureAt(const std::string& utf8, size_t at)
{
    uint32_t cp = 0;
    const size_t len = DecodeUtf8At(utf8, at, cp);
    if (len == 0)
        return "UTF-8として正しくないバイト(0x" + Hex(static_cast<unsigned char>(utf8[at]), 2) + ")があります。";
    return "文字「" + Utf8ToSjis(std::string_view(utf8).substr(at, len)) + "」(U+" + Hex(cp, 4) +
           ")はShift_JISで表せません。";
}

TScriptText FromUtf8(std::string bytes, size_t skip)
{
    TScriptText r;
    const std::string_view body = std::string_view(bytes).substr(skip);
    const size_t bad = Utf8ToSjisStrict(body, r.Text);
    if (bad != std::string::npos) {
        r.Ok = false;
        r.Text.clear();
        r.Line = LineAt(bytes, skip + bad);
        r.Message = FailureAt(bytes, skip + bad);
    }
    return r;
}

}   // namespace

TScriptText DecodeScriptBytes(std::string bytes, TScriptEncoding encoding)
{
    const bool mark = HasByteOrderMark(bytes);
    switch (encoding) {
    case TScriptEncoding::Sjis:
        break;
    case TScriptEncoding::Utf8:
        return FromUtf8(std::move(bytes), mark ? 3 : 0);
    case TScriptEncoding::Auto:
        // A mark declares UTF-8 (so its faults are reported); without one, only
        // text that decodes as UTF-8 throughout is taken for it.
        if (mark)
            return FromUtf8(std::move(bytes), 3);
        if (ClassifyUtf8(bytes) == TUtf8Kind::MultiByte)
            return FromUtf8(std::move(bytes), 0);
        break;
    }
    TScriptText r;
    r.Text = std::move(bytes);
    return r;
}

std::string ScriptTextFailure(const std::string& sjisPath, const TScriptText& decoded)
{
    return FormatLocated(PathNamePart(sjisPath), decoded.Line, decoded.Message);
}
