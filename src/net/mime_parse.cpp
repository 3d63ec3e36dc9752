// Parsing of received mail messages.
#include "net/mime_parse.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <map>

#include "commands/encodings/base64.h"
#include "commands/encodings/jconvert.h"
#include "core/codec.h"
#include "core/text.h"

namespace {

constexpr int kMaxDepth = 20;   // nested multiparts beyond this are kept as they are

struct THeaders {
    std::vector<std::pair<std::string, std::string>> Fields;   // lower-case name, unfolded value

    std::string Get(std::string_view name) const
    {
        for (const auto& [n, v] : Fields)
            if (n == name)
                return v;
        return std::string();
    }
};

// Splits an entity into its headers and its body.
void SplitEntity(std::string_view raw, THeaders& headers, std::string_view& body)
{
    size_t pos = 0;
    std::string name, value;
    auto flush = [&] {
        if (!name.empty())
            headers.Fields.emplace_back(LowerAscii(Trim(name)), Trim(value));
        name.clear();
        value.clear();
    };
    while (pos < raw.size()) {
        size_t end = raw.find('\n', pos);
        const size_t next = end == std::string_view::npos ? raw.size() : end + 1;
        if (end == std::string_view::npos)
            end = raw.size();
        std::string_view line = raw.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        pos = next;
        if (line.empty()) {
            flush();
            body = raw.substr(pos);
            return;
        }
        if (line[0] == ' ' || line[0] == '\t') {
            value += line;   // a folded line keeps its leading white space
            continue;
        }
        flush();
        const size_t colon = line.find(':');
        if (colon == std::string_view::npos)
            continue;   // not a header line: ignored
        name = std::string(line.substr(0, colon));
        value = std::string(line.substr(colon + 1));
    }
    flush();
    body = std::string_view();
}

bool IsCharset(const std::string& cs, std::initializer_list<const char*> names)
{
    for (const char* n : names)
        if (cs == n)
            return true;
    return false;
}

// The charset of a set we convert from; "" for an unknown one.
enum class TCharset { Unknown, Jis, Euc, Sjis, Utf8, Ascii };

TCharset CharsetOf(std::string_view name)
{
    std::string cs = LowerAscii(Trim(name));
    const size_t star = cs.find('*');   // RFC 2231 language suffix
    if (star != std::string::npos)
        cs.resize(star);
    if (cs.rfind("iso-2022-jp", 0) == 0)
        return TCharset::Jis;
    if (IsCharset(cs, {"euc-jp", "x-euc-jp", "eucjp", "euc_jp"}))
        return TCharset::Euc;
    if (IsCharset(cs, {"shift_jis", "shift-jis", "sjis", "x-sjis", "cp932", "windows-31j", "ms932", "ms_kanji"}))
        return TCharset::Sjis;
    if (IsCharset(cs, {"utf-8", "utf8"}))
        return TCharset::Utf8;
    if (IsCharset(cs, {"us-ascii", "ascii"}))
        return TCharset::Ascii;
    return TCharset::Unknown;
}

std::string Convert(std::string_view bytes, TCharset cs)
{
    switch (cs) {
    case TCharset::Jis:
        return JisToSjis(bytes);
    case TCharset::Euc:
        return EucToSjis(bytes);
    case TCharset::Sjis:
        return std::string(bytes);
    case TCharset::Utf8:
        if (bytes.substr(0, 3) == "\xEF\xBB\xBF")
            bytes.remove_prefix(3);
        return Utf8ToSjis(bytes);
    case TCharset::Ascii:
    case TCharset::Unknown:
        break;
    }
    return JConvert(bytes, kCodeSjis);
}

// The searches of the encoded words of one value. An unterminated word would make
// every later "=?" search to the end of the value again (quadratic in a long
// header): the last answer is kept, and a search that starts between where the
// last one started and what it found has the same answer.
struct TWordScan {
    size_t From = std::string_view::npos, Found = 0;

    size_t FindClose(std::string_view s, size_t from)
    {
        if (From != std::string_view::npos && from >= From && (Found == std::string_view::npos || from <= Found))
            return Found;
        From = from;
        Found = s.find("?=", from);
        return Found;
    }
};

// One encoded word at s[at] ("=?charset?B?text?="): its end and decoded Shift_JIS
// text; false when it is not one we can decode.
bool DecodeWordAt(std::string_view s, size_t at, size_t& end, std::string& out, TWordScan& scan)
{
    if (s.substr(at, 2) != "=?")
        return false;
    const size_t q1 = s.find('?', at + 2);
    if (q1 == std::string_view::npos || q1 + 2 >= s.size() || s[q1 + 2] != '?')
        return false;
    const char enc = s[q1 + 1];
    const size_t close = scan.FindClose(s, q1 + 3);
    if (close == std::string_view::npos)
        return false;
    const TCharset cs = CharsetOf(s.substr(at + 2, q1 - at - 2));
    if (cs == TCharset::Unknown)
        return false;
    const std::string_view text = s.substr(q1 + 3, close - q1 - 3);
    std::string bytes;
    if (enc == 'B' || enc == 'b') {
        bytes = Base64Decode(text);
    } else if (enc == 'Q' || enc == 'q') {
        for (size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '_') {
                bytes += ' ';
            } else if (text[i] == '=' && i + 2 < text.size() && HexDigit(text[i + 1]) >= 0 &&
                       HexDigit(text[i + 2]) >= 0) {
                bytes += static_cast<char>(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2]));
                i += 2;
            } else {
                bytes += text[i];
            }
        }
    } else {
        return false;
    }
    out = Convert(bytes, cs);
    end = close + 2;
    return true;
}

std::string PercentDecode(std::string_view s)
{
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size() && HexDigit(s[i + 1]) >= 0 && HexDigit(s[i + 2]) >= 0) {
            out += static_cast<char>(HexDigit(s[i + 1]) * 16 + HexDigit(s[i + 2]));
            i += 2;
        } else {
            out += s[i];
        }
    }
    return out;
}

// The parameters of a structured header: lower-case name and unquoted value.
std::vector<std::pair<std::string, std::string>> Parameters(std::string_view value)
{
    std::vector<std::pair<std::string, std::string>> out;
    size_t i = value.find(';');
    while (i != std::string_view::npos && i < value.size()) {
        ++i;   // past ';'
        const size_t eq = value.find_first_of("=;", i);
        if (eq == std::string_view::npos || value[eq] == ';') {
            i = eq;
            continue;
        }
        std::string name = LowerAscii(Trim(value.substr(i, eq - i)));
        size_t j = eq + 1;
        while (j < value.size() && (value[j] == ' ' || value[j] == '\t'))
            ++j;
        std::string v;
        if (j < value.size() && value[j] == '"') {
            for (++j; j < value.size() && value[j] != '"'; ++j) {
                if (value[j] == '\\' && j + 1 < value.size())
                    ++j;
                v += value[j];
            }
            i = value.find(';', j);
        } else {
            const size_t semi = value.find(';', j);
            v = Trim(value.substr(j, semi == std::string_view::npos ? std::string_view::npos : semi - j));
            i = semi;
        }
        out.emplace_back(std::move(name), std::move(v));
    }
    return out;
}

// "charset'language'%XX..." of an extended parameter value.
std::string DecodeExtended(std::string_view v, std::string& charset)
{
    const size_t q1 = v.find('\'');
    const size_t q2 = q1 == std::string_view::npos ? q1 : v.find('\'', q1 + 1);
    if (q2 == std::string_view::npos)
        return PercentDecode(v);
    charset = std::string(v.substr(0, q1));
    return PercentDecode(v.substr(q2 + 1));
}

std::vector<std::string_view> MultipartBodies(std::string_view body, const std::string& boundary)
{
    std::vector<std::string_view> parts;
    const std::string delimiter = "--" + boundary;
    size_t pos = 0;
    size_t partStart = std::string_view::npos;
    while (pos < body.size()) {
        size_t end = body.find('\n', pos);
        const size_t next = end == std::string_view::npos ? body.size() : end + 1;
        if (end == std::string_view::npos)
            end = body.size();
        std::string_view line = body.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.substr(0, delimiter.size()) == delimiter) {
            std::string_view rest = line.substr(delimiter.size());
            while (!rest.empty() && (rest.back() == ' ' || rest.back() == '\t'))
                rest.remove_suffix(1);
            if (rest.empty() || rest == "--") {
                if (partStart != std::string_view::npos) {
                    // the line break before the delimiter belongs to it
                    size_t partEnd = pos;
                    if (partEnd > partStart && body[partEnd - 1] == '\n')
                        --partEnd;
                    if (partEnd > partStart && body[partEnd - 1] == '\r')
                        --partEnd;
                    parts.push_back(body.substr(partStart, partEnd - partStart));
                }
                if (rest == "--")
                    return parts;
                partStart = next;
            }
        }
        pos = next;
    }
    if (partStart != std::string_view::npos && partStart < body.size())
        parts.push_back(body.substr(partStart));   // a missing closing delimiter
    return parts;
}

struct TParseState {
    TParsedMail& Mail;
    std::string TextParts;
    std::string OwnBody;
};

void ParseEntity(std::string_view raw, TParseState& ps, int depth)
{
    THeaders h;
    std::string_view body;
    SplitEntity(raw, h, body);
    const std::string typeHeader = h.Get("content-type");
    std::string type = HeaderToken(typeHeader);
    if (type.empty())
        type = "text/plain";
    if (type.rfind("multipart/", 0) == 0 && depth < kMaxDepth) {
        const std::string boundary = HeaderParameter(typeHeader, "boundary");
        if (!boundary.empty()) {
            for (std::string_view part : MultipartBodies(body, boundary))
                ParseEntity(part, ps, depth + 1);
            return;
        }
    }
    const std::string encoding = HeaderToken(h.Get("content-transfer-encoding"));
    std::string data;
    if (encoding == "base64")
        data = Base64Decode(body);
    else if (encoding == "quoted-printable")
        data = DecodeQuotedPrintable(body);
    else
        data = std::string(body);

    const std::string disposition = h.Get("content-disposition");
    bool named = false;
    std::string name = HeaderParameter(disposition, "filename", &named);
    if (!named)
        name = HeaderParameter(typeHeader, "name", &named);
    const bool text = type.rfind("text/", 0) == 0;
    if (named || HeaderToken(disposition) == "attachment" || !text) {
        ps.Mail.Attachments.push_back({name, std::move(data)});
        return;
    }
    std::string sjis = CharsetToSjis(data, HeaderParameter(typeHeader, "charset"));
    if (depth == 0)
        ps.OwnBody += sjis;
    else
        ps.TextParts += sjis;
}

int MonthNumber(std::string_view m)
{
    static const char* const kMonths[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                          "jul", "aug", "sep", "oct", "nov", "dec"};
    const std::string l = LowerAscii(m.substr(0, 3));
    for (int i = 0; i < 12; ++i)
        if (l == kMonths[i])
            return i + 1;
    return 0;
}

// Minutes east of UTC of a zone ("+0900", "GMT", "EST"); false when unknown.
bool ZoneOffset(std::string_view z, long& minutes)
{
    if (z.size() == 5 && (z[0] == '+' || z[0] == '-')) {
        for (size_t i = 1; i < 5; ++i)
            if (z[i] < '0' || z[i] > '9')
                return false;
        const long v = ((z[1] - '0') * 10 + (z[2] - '0')) * 60 + (z[3] - '0') * 10 + (z[4] - '0');
        minutes = z[0] == '-' ? -v : v;
        return true;
    }
    static const struct {
        const char* name;
        long minutes;
    } kZones[] = {{"ut", 0},     {"utc", 0},    {"gmt", 0},    {"z", 0},      {"est", -300},
                  {"edt", -240}, {"cst", -360}, {"cdt", -300}, {"mst", -420}, {"mdt", -360},
                  {"pst", -480}, {"pdt", -420}, {"jst", 540}};
    const std::string l = LowerAscii(z);
    for (const auto& zone : kZones) {
        if (l == zone.name) {
            minutes = zone.minutes;
            return true;
        }
    }
    return false;
}

bool AllDigits(std::string_view s)
{
    if (s.empty())
        return false;
    for (char c : s)
        if (c < '0' || c > '9')
            return false;
    return true;
}

}   // namespace

std::string HeaderToken(std::string_view value)
{
    const size_t semi = value.find(';');
    return LowerAscii(Trim(value.substr(0, semi)));
}

std::string CharsetToSjis(std::string_view bytes, std::string_view charset)
{
    return Convert(bytes, CharsetOf(charset));
}

std::string DecodeHeaderValue(std::string_view value)
{
    std::string out;
    std::string pending;      // undecoded text, converted by the code detection
    bool afterWord = false;   // pending holds only white space after an encoded word
    size_t i = 0;
    TWordScan scan;
    while (i < value.size()) {
        size_t end = 0;
        std::string decoded;
        if (value[i] == '=' && DecodeWordAt(value, i, end, decoded, scan)) {
            // white space between two encoded words is not part of the text
            if (!afterWord)
                out += JConvert(pending, kCodeSjis);
            pending.clear();
            out += decoded;
            afterWord = true;
            i = end;
            continue;
        }
        const char c = value[i++];
        pending += c;
        if (c != ' ' && c != '\t')
            afterWord = false;
    }
    out += JConvert(pending, kCodeSjis);
    return out;
}

std::string DecodeQuotedPrintable(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c != '=') {
            out += c;
            continue;
        }
        // a soft line break: "=" at the end of a line or of the text, white space
        // allowed before the break
        size_t j = i + 1;
        while (j < text.size() && (text[j] == ' ' || text[j] == '\t'))
            ++j;
        if (j >= text.size()) {
            i = j;
            continue;
        }
        if (text[j] == '\r' || text[j] == '\n') {
            if (text[j] == '\r' && j + 1 < text.size() && text[j + 1] == '\n')
                ++j;
            i = j;
            continue;
        }
        if (i + 2 < text.size() && HexDigit(text[i + 1]) >= 0 && HexDigit(text[i + 2]) >= 0) {
            out += static_cast<char>(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2]));
            i += 2;
            continue;
        }
        out += c;   // a lone "=" stays as it is
    }
    return out;
}

std::string HeaderParameter(std::string_view value, std::string_view name, bool* found)
{
    const std::string key = LowerAscii(name);
    std::string plain;
    bool hasPlain = false;
    std::string extended;
    bool hasExtended = false;
    std::map<int, std::pair<bool, std::string>> sections;   // number -> (extended, value)
    for (auto& [n, v] : Parameters(value)) {
        if (n == key) {
            plain = v;
            hasPlain = true;
        } else if (n == key + "*") {
            extended = v;
            hasExtended = true;
        } else if (n.size() > key.size() + 1 && n.compare(0, key.size() + 1, key + "*") == 0) {
            std::string num = n.substr(key.size() + 1);
            bool ext = false;
            if (!num.empty() && num.back() == '*') {
                num.pop_back();
                ext = true;
            }
            if (AllDigits(num) && num.size() <= 4)
                sections.emplace(std::stoi(num), std::make_pair(ext, v));
        }
    }
    if (found)
        *found = hasPlain || hasExtended || !sections.empty();
    std::string charset;
    if (!sections.empty()) {
        std::string bytes;
        bool first = true;
        for (auto& [num, sec] : sections) {
            if (sec.first)
                bytes += first ? DecodeExtended(sec.second, charset) : PercentDecode(sec.second);
            else
                bytes += sec.second;
            first = false;
        }
        return charset.empty() ? DecodeHeaderValue(bytes) : CharsetToSjis(bytes, charset);
    }
    if (hasExtended) {
        const std::string bytes = DecodeExtended(extended, charset);
        return CharsetToSjis(bytes, charset);
    }
    return hasPlain ? DecodeHeaderValue(plain) : std::string();
}

std::string FormatMailDate(std::string_view date)
{
    // words of the date, comments and commas dropped
    std::vector<std::string> w;
    std::string cur;
    int comment = 0;
    for (char c : date) {
        if (c == '(') {
            ++comment;
            continue;
        }
        if (c == ')' && comment > 0) {
            --comment;
            continue;
        }
        if (comment)
            continue;
        if (c == ' ' || c == '\t' || c == ',' || c == '\r' || c == '\n') {
            if (!cur.empty())
                w.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    if (!cur.empty())
        w.push_back(cur);
    size_t i = 0;
    if (i < w.size() && !AllDigits(w[i]))
        ++i;   // the day of the week
    if (i + 3 >= w.size() || !AllDigits(w[i]) || !AllDigits(w[i + 2]))
        return std::string();
    struct tm t {};
    t.tm_mday = std::stoi(w[i].substr(0, 2));
    const int month = MonthNumber(w[i + 1]);
    int year = std::stoi(w[i + 2].substr(0, 4));
    if (w[i + 2].size() <= 2)
        year += year < 50 ? 2000 : 1900;
    else if (w[i + 2].size() == 3)
        year += 1900;
    int hh = 0, mm = 0, ss = 0;
    if (month == 0 || sscanf(w[i + 3].c_str(), "%d:%d:%d", &hh, &mm, &ss) < 2)
        return std::string();
    if (t.tm_mday < 1 || t.tm_mday > 31 || hh > 23 || mm > 59 || ss > 60 || hh < 0 || mm < 0 || ss < 0)
        return std::string();
    long offset = 0;
    if (i + 4 < w.size() && !ZoneOffset(w[i + 4], offset))
        offset = 0;   // an unknown zone counts as UTC, as RFC 5322 says of "-0000"
    t.tm_mon = month - 1;
    t.tm_year = year - 1900;
    t.tm_hour = hh;
    t.tm_min = mm;
    t.tm_sec = ss;
    const time_t utc = timegm(&t) - offset * 60;
    struct tm local {};
    localtime_r(&utc, &local);
    char buf[80];
    snprintf(buf, sizeof buf, "%04d/%02d/%02d %02d:%02d:%02d", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
             local.tm_hour, local.tm_min, local.tm_sec);
    return buf;
}

TParsedMail ParseMail(std::string_view raw)
{
    TParsedMail m;
    THeaders h;
    std::string_view body;
    SplitEntity(raw, h, body);
    m.ReplyTo = Trim(DecodeHeaderValue(h.Get("reply-to")));
    m.From = Trim(DecodeHeaderValue(h.Get("from")));
    m.To = Trim(DecodeHeaderValue(h.Get("to")));
    m.Subject = Trim(DecodeHeaderValue(h.Get("subject")));
    m.Date = FormatMailDate(h.Get("date"));
    TParseState ps{m, std::string(), std::string()};
    ParseEntity(raw, ps, 0);
    m.Body = ps.TextParts + ps.OwnBody;
    return m;
}
