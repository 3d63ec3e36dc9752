#include "check/source.h"

#include <cctype>

#include "core/codec.h"
#include "core/sjis.h"
#include "interp/startup.h"
#include "loader/normaliser.h"
#include "loader/script_encoding.h"

int CharCount(const std::string& sjis)
{
    int n = 0;
    for (size_t i = 0; i < sjis.size(); i += CharLenAt(sjis, i))
        ++n;
    return n;
}

void TCheckSource::Prepare(const std::string& bytes, std::vector<TDiagnostic>& out)
{
    TScriptText decoded = DecodeScriptBytes(bytes, TScriptEncoding::Auto);
    if (!decoded.Ok) {
        AddFinding(out, *this, decoded.Line, TSeverity::Error, decoded.Message, "");
        return;
    }
    std::string joined = JoinScriptLines(decoded.Text);
    Lines.clear();
    for (size_t from = 0; from < joined.size();) {
        size_t at = joined.find("\r\n", from);
        if (at == std::string::npos)
            at = joined.size();
        Lines.push_back(joined.substr(from, at - from));
        from = at + 2;
    }
    try {
        Normalise(joined);
    } catch (const ENormalise& e) {
        // The line of the opening delimiter, with the text that follows it.
        const std::string excerpt = e.Line >= 1 && e.Line <= static_cast<int>(Lines.size()) ? Lines[e.Line - 1] : "";
        AddFinding(out, *this, e.Line, TSeverity::Error, e.Message,
                   "閉じていない括弧はこの行で開いています: " + excerpt);
        return;
    }
    Text = std::move(joined);
    // Lines: a marker "N:" after CR LF names the following line (from 0); a bare
    // CR LF inside a literal advances by one.
    lineOf_.assign(Text.size() + 1, 1);
    int line = 1;
    for (size_t i = 0; i < Text.size(); ++i) {
        lineOf_[i] = line;
        if (Text[i] == '\r' && i + 1 < Text.size() && Text[i + 1] == '\n') {
            lineOf_[i + 1] = line;
            size_t j = i + 2;
            int n = 0;
            bool digits = false;
            while (j < Text.size() && std::isdigit(static_cast<unsigned char>(Text[j]))) {
                n = n * 10 + (Text[j] - '0');
                digits = true;
                ++j;
            }
            if (digits && j < Text.size() && Text[j] == ':') {
                for (size_t k = i + 2; k <= j; ++k)
                    lineOf_[k] = n + 1;
                line = n + 1;
                i = j;
            } else {
                ++line;
                ++i;
            }
        }
    }
    lineOf_[Text.size()] = line;
    Ok = true;
}

int TCheckSource::LineAt(const char* p) const
{
    if (Text.empty() || !p)
        return 1;
    const size_t at = static_cast<size_t>(p - Text.data());
    return at < lineOf_.size() ? lineOf_[at] : lineOf_.back();
}

void TCheckSource::Columns(int line, const std::string& token, int& begin, int& end) const
{
    begin = end = 0;
    if (token.empty() || line < 1 || line > static_cast<int>(Lines.size()))
        return;
    // The written line made half-width character by character, remembering where
    // each character of the half-width form came from.
    const std::string& written = Lines[line - 1];
    std::string half;
    std::vector<int> charOf;
    int index = 0;
    for (size_t i = 0; i < written.size(); ++index) {
        const size_t len = CharLenAt(written, i);
        const std::string* rep = ConvToHalf().Lookup(std::string_view(written).substr(i, len));
        const std::string ch = rep ? *rep : written.substr(i, len);
        for (size_t k = 0; k < ch.size(); ++k)
            charOf.push_back(index);
        half += ch;
        i += len;
    }
    charOf.push_back(index);
    size_t at = half.find(token);
    if (at == std::string::npos)
        return;
    begin = charOf[at];
    end = charOf[at + token.size() - 1] + 1;
}

// A hint quotes program text in its normalised form; literals are shown again with
// the brackets a script writes: "a" as 「a」 and `a` as 『a』.
std::string WrittenForm(const std::string& sjis)
{
    std::string out;
    bool inQuote = false, inBackquote = false;
    for (size_t i = 0; i < sjis.size();) {
        const size_t len = CharLenAt(sjis, i);
        const char c = sjis[i];
        if (len == 1 && c == '"' && !inBackquote) {
            out += inQuote ? "」" : "「";
            inQuote = !inQuote;
        } else if (len == 1 && c == '`' && !inQuote) {
            out += inBackquote ? "』" : "『";
            inBackquote = !inBackquote;
        } else {
            out.append(sjis, i, len);
        }
        i += len;
    }
    return out;
}

void AddFinding(std::vector<TDiagnostic>& out, const TCheckSource& src, int line, TSeverity severity,
                const std::string& sjisMessage, const std::string& sjisHint, const std::string& token)
{
    TDiagnostic d;
    d.File = src.Path;
    d.Line = line < 1 ? 1 : line;
    src.Columns(d.Line, token, d.ColumnBegin, d.ColumnEnd);
    d.Severity = severity;
    d.Message = SjisToUtf8(sjisMessage);
    d.Hint = SjisToUtf8(sjisHint);
    out.push_back(std::move(d));
}
