#include "langsvc/encoding.h"

#include "core/codec.h"

namespace langsvc {
namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";

// CR LF and lone CR become LF.
std::string ToLf(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            out += '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

}   // namespace

TDecodedText DecodeScript(std::string_view bytes, TTextEncoding plain)
{
    TDecodedText d;
    std::string_view body = bytes;
    if (bytes.substr(0, kBom.size()) == kBom) {
        d.Encoding = TTextEncoding::Utf8Bom;
        body.remove_prefix(kBom.size());
    } else {
        switch (ClassifyUtf8(bytes)) {
        case TUtf8Kind::Ascii:
            d.Encoding = plain;
            d.Ascii = true;
            break;
        case TUtf8Kind::MultiByte:
            d.Encoding = TTextEncoding::Utf8;
            break;
        case TUtf8Kind::Invalid:
            d.Encoding = TTextEncoding::ShiftJis;
            break;
        }
    }
    size_t crlf = 0, lf = 0, cr = 0;
    for (size_t i = 0; i < body.size(); ++i) {
        if (body[i] == '\r') {
            if (i + 1 < body.size() && body[i + 1] == '\n') {
                ++crlf;
                ++i;
            } else {
                ++cr;
            }
        } else if (body[i] == '\n') {
            ++lf;
        }
    }
    if (crlf == 0 && lf == 0 && cr == 0)
        d.LineEnd = d.Encoding == TTextEncoding::ShiftJis ? TLineEnd::CrLf : TLineEnd::Lf;
    else if (crlf >= lf && crlf >= cr)
        d.LineEnd = TLineEnd::CrLf;
    else
        d.LineEnd = lf >= cr ? TLineEnd::Lf : TLineEnd::Cr;
    const std::string utf8 = d.Encoding == TTextEncoding::ShiftJis ? SjisToUtf8(body) : std::string(body);
    d.Text = ToLf(utf8);
    d.Exact = EncodeScript(d.Text, d.Encoding, d.LineEnd) == bytes;
    return d;
}

std::string EncodeScript(std::string_view text, TTextEncoding encoding, TLineEnd lineEnd)
{
    const std::string_view end = lineEnd == TLineEnd::CrLf ? "\r\n" : lineEnd == TLineEnd::Lf ? "\n" : "\r";
    std::string withEnds;
    withEnds.reserve(text.size() + text.size() / 16);
    for (char c : text) {
        if (c == '\n')
            withEnds += end;
        else
            withEnds += c;
    }
    switch (encoding) {
    case TTextEncoding::ShiftJis:
        return Utf8ToSjis(withEnds);
    case TTextEncoding::Utf8Bom:
        return std::string(kBom) + withEnds;
    case TTextEncoding::Utf8:
        break;
    }
    return withEnds;
}

const char* EncodingName(TTextEncoding encoding)
{
    switch (encoding) {
    case TTextEncoding::ShiftJis:
        return "Shift_JIS";
    case TTextEncoding::Utf8Bom:
        return "UTF-8 (BOM付き)";
    case TTextEncoding::Utf8:
        break;
    }
    return "UTF-8";
}

const char* LineEndName(TLineEnd lineEnd)
{
    return lineEnd == TLineEnd::CrLf ? "CRLF" : lineEnd == TLineEnd::Lf ? "LF" : "CR";
}

const char* EncodingId(TTextEncoding encoding)
{
    switch (encoding) {
    case TTextEncoding::ShiftJis:
        return "shiftjis";
    case TTextEncoding::Utf8Bom:
        return "utf8bom";
    case TTextEncoding::Utf8:
        break;
    }
    return "utf8";
}

}   // namespace langsvc
