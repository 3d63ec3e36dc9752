// Composition of outgoing mail messages.
#include "net/mime_compose.h"

#include <set>

#include "commands/encodings/base64.h"
#include "commands/encodings/jconvert.h"
#include "commands/files/files.h"
#include "core/hash.h"
#include "core/sjis.h"
#include "core/text.h"

namespace {

constexpr size_t kMaxJisPerWord = 36;   // 48 Base64 characters: a word of 66, fits after "X-Mailer: "
constexpr size_t kFoldAt = 76;

const char kFullWidthQuote[] = "\x81\x68";   // ” in Shift_JIS

bool IsPlainAscii(std::string_view s)
{
    for (char c : s)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

// JIS for a header word: every switch back from kanji ends in ASCII (ESC ( B), as an
// encoded word must.
std::string HeaderJis(std::string_view sjis)
{
    std::string jis = SjisToJis(sjis);
    for (size_t at = jis.find("\x1b(J"); at != std::string::npos; at = jis.find("\x1b(J", at + 3))
        jis[at + 2] = 'B';
    return jis;
}

std::string EncodedWord(std::string_view sjis)
{
    return "=?ISO-2022-JP?B?" + Base64Encode(HeaderJis(sjis)) + "?=";
}

// A run of text with wide characters as encoded words, split so that none is too
// long; the words are separated by single spaces (which decoders drop).
std::string EncodeRun(std::string_view run)
{
    std::string out;
    size_t i = 0;
    while (i < run.size()) {
        size_t end = i;
        while (end < run.size()) {
            const size_t len = CharLen(run.data() + end);
            const size_t next = std::min(end + len, run.size());
            if (end > i && HeaderJis(run.substr(i, next - i)).size() > kMaxJisPerWord)
                break;
            end = next;
        }
        if (!out.empty())
            out += ' ';
        out += EncodedWord(run.substr(i, end - i));
        i = end;
    }
    return out;
}

// "Name: value" folded at spaces into lines of at most kFoldAt characters where the
// words allow it.
std::string FoldedHeader(const std::string& name, const std::string& value)
{
    const std::string line = name + ": " + value;
    std::string out;
    size_t lineStart = 0;   // offset in out of the current line
    size_t i = 0;
    while (i < line.size()) {
        size_t space = line.find(' ', i + 1);
        if (space == std::string::npos)
            space = line.size();
        const std::string word = line.substr(i, space - i);   // with its leading space
        // never right after "Name:" (a value's leading white space would count) and
        // never before a word of spaces alone (no line may be only white space)
        const bool onlyName = lineStart == 0 && out.size() <= name.size() + 1;
        const bool blank = word.find_first_not_of(' ') == std::string::npos;
        if (out.size() - lineStart + word.size() > kFoldAt && word[0] == ' ' && !onlyName && !blank) {
            out += "\r\n";
            lineStart = out.size();
        }
        out += word;
        i = space;
    }
    return out + "\r\n";
}

// A quoted string (a parameter value, a display name of plain ASCII).
std::string Quoted(std::string_view text)
{
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\')
            quoted += '\\';
        quoted += c;
    }
    return quoted + "\"";
}

// A display name: its double quotes become "”", then encoded words when it is not
// plain ASCII, a quoted string otherwise.
std::string DisplayName(std::string_view name)
{
    const std::string encoded = EncodeHeaderText(name);
    return encoded.find("=?ISO-2022-JP?B?") != std::string::npos ? encoded : Quoted(encoded);
}

// An address list entry for a header: a display name that is not plain ASCII is
// encoded, the rest stays as written.
std::string HeaderAddress(std::string_view entry)
{
    const std::string e = HeaderSafe(entry);
    const size_t lt = e.find('<');
    if (lt == std::string::npos || IsPlainAscii(e))
        return e;
    std::string display = Trim(e.substr(0, lt));
    if (display.size() >= 2 && display.front() == '"' && display.back() == '"')
        display = display.substr(1, display.size() - 2);
    if (display.empty())
        return e.substr(lt);
    return EncodeHeaderText(display) + " " + e.substr(lt);
}

std::string JoinAddresses(const std::vector<std::string>& entries)
{
    std::string out;
    for (const std::string& e : entries) {
        if (!out.empty())
            out += ", ";
        out += HeaderAddress(e);
    }
    return out;
}

std::vector<std::string> EntriesOf(const std::vector<std::string>& lists)
{
    std::vector<std::string> out;
    for (const std::string& l : lists)
        for (std::string& e : SplitAddressList(l))
            out.push_back(std::move(e));
    return out;
}

const char* ContentTypeOf(const std::string& name)
{
    const std::string ext = LowerAscii(PathExtPart(name));
    static const struct {
        const char* ext;
        const char* type;
    } kTypes[] = {
        {".txt", "text/plain"}, {".htm", "text/html"},       {".html", "text/html"},      {".csv", "text/csv"},
        {".jpg", "image/jpeg"}, {".jpeg", "image/jpeg"},     {".png", "image/png"},       {".gif", "image/gif"},
        {".bmp", "image/bmp"},  {".pdf", "application/pdf"}, {".zip", "application/zip"},
    };
    for (const auto& t : kTypes)
        if (ext == t.ext)
            return t.type;
    return "application/octet-stream";
}

// The body in JIS with CR LF line ends.
std::string JisBody(std::string_view sjis)
{
    std::string lines;
    lines.reserve(sjis.size() + sjis.size() / 16);
    for (size_t i = 0; i < sjis.size(); ++i) {
        const char c = sjis[i];
        if (c == '\r' || c == '\n') {
            lines += "\r\n";
            if (c == '\r' && i + 1 < sjis.size() && sjis[i + 1] == '\n')
                ++i;
        } else {
            lines += c;
        }
    }
    return SjisToJis(lines);
}

}   // namespace

std::string HeaderSafe(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text)
        if (c != '\r' && c != '\n' && c != '\0')
            out += c;
    return out;
}

std::string EncodeHeaderText(std::string_view sjis)
{
    std::string text;
    for (char c : HeaderSafe(sjis)) {
        if (c == '"')
            text += kFullWidthQuote;
        else
            text += c;
    }
    // Words (between spaces) with wide characters are encoded together with the
    // spaces between them; the others are copied.
    std::string out;
    size_t i = 0;
    while (i < text.size()) {
        if (text[i] == ' ') {
            out += text[i++];
            continue;
        }
        size_t end = text.find(' ', i);
        if (end == std::string::npos)
            end = text.size();
        if (IsPlainAscii(std::string_view(text).substr(i, end - i))) {
            out.append(text, i, end - i);
            i = end;
            continue;
        }
        // extend the run over further wide words
        size_t runEnd = end;
        for (;;) {
            size_t next = runEnd;
            while (next < text.size() && text[next] == ' ')
                ++next;
            if (next >= text.size())
                break;
            size_t wordEnd = text.find(' ', next);
            if (wordEnd == std::string::npos)
                wordEnd = text.size();
            if (IsPlainAscii(std::string_view(text).substr(next, wordEnd - next)))
                break;
            runEnd = wordEnd;
        }
        out += EncodeRun(std::string_view(text).substr(i, runEnd - i));
        i = runEnd;
    }
    return out;
}

std::vector<std::string> SplitAddressList(std::string_view list)
{
    std::vector<std::string> out;
    std::string cur;
    bool quoted = false, angle = false;
    auto flush = [&] {
        std::string t = Trim(cur);
        if (!t.empty())
            out.push_back(std::move(t));
        cur.clear();
    };
    for (size_t i = 0; i < list.size(); ++i) {
        const char c = list[i];
        if (IsLeadByte(static_cast<unsigned char>(c)) && i + 1 < list.size()) {
            cur += c;
            cur += list[++i];
            continue;
        }
        if (c == '"' && !angle)
            quoted = !quoted;
        else if (c == '<' && !quoted)
            angle = true;
        else if (c == '>' && !quoted)
            angle = false;
        if (c == '\r' || c == '\n' || (c == ',' && !quoted && !angle)) {
            flush();
            quoted = angle = false;
            continue;
        }
        cur += c;
    }
    flush();
    return out;
}

std::string AddressSpec(std::string_view entry)
{
    const std::string e = HeaderSafe(entry);
    const size_t lt = e.rfind('<');
    if (lt != std::string::npos) {
        const size_t gt = e.find('>', lt);
        return Trim(e.substr(lt + 1, gt == std::string::npos ? std::string::npos : gt - lt - 1));
    }
    return Trim(e);
}

std::string MailDate(time_t t)
{
    static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    struct tm lt {};
    localtime_r(&t, &lt);
    const long offset = lt.tm_gmtoff / 60;
    const long absOffset = offset < 0 ? -offset : offset;
    char buf[64];
    snprintf(buf, sizeof buf, "%s, %02d %s %04d %02d:%02d:%02d %c%02ld%02ld", kDays[lt.tm_wday], lt.tm_mday,
             kMonths[lt.tm_mon], lt.tm_year + 1900, lt.tm_hour, lt.tm_min, lt.tm_sec, offset < 0 ? '-' : '+',
             absOffset / 60, absOffset % 60);
    return buf;
}

std::string Base64Lines(std::string_view data)
{
    const std::string b = Base64Encode(data);
    std::string out;
    out.reserve(b.size() + b.size() / 38 + 2);
    for (size_t i = 0; i < b.size(); i += 76) {
        out.append(b, i, 76);
        out += "\r\n";
    }
    return out;
}

std::vector<std::string> EnvelopeRecipients(const TMailDraft& draft)
{
    std::vector<std::string> out;
    std::set<std::string> seen;
    std::vector<std::string> lists = {draft.To};
    lists.insert(lists.end(), draft.Cc.begin(), draft.Cc.end());
    lists.insert(lists.end(), draft.Bcc.begin(), draft.Bcc.end());
    for (const std::string& e : EntriesOf(lists)) {
        std::string a = AddressSpec(e);
        if (!a.empty() && seen.insert(a).second)
            out.push_back(std::move(a));
    }
    return out;
}

std::string ComposeMail(const TMailDraft& d)
{
    std::string out;
    const std::string from = AddressSpec(d.FromAddress);
    if (!d.FromName.empty())
        out += FoldedHeader("From", DisplayName(d.FromName) + " <" + from + ">");
    else if (!from.empty())
        out += FoldedHeader("From", from);
    if (!from.empty())
        out += FoldedHeader("Reply-To", from);
    out += FoldedHeader("To", JoinAddresses(SplitAddressList(d.To)));
    const std::vector<std::string> cc = EntriesOf(d.Cc);
    if (!cc.empty())
        out += FoldedHeader("Cc", JoinAddresses(cc));
    out += FoldedHeader("Subject", EncodeHeaderText(d.Subject));
    if (!d.Date.empty())
        out += FoldedHeader("Date", HeaderSafe(d.Date));
    if (!d.MessageId.empty())
        out += FoldedHeader("Message-ID", HeaderSafe(d.MessageId));
    out += "MIME-Version: 1.0\r\n";
    if (!d.Mailer.empty())
        out += FoldedHeader("X-Mailer", EncodeHeaderText(d.Mailer));

    const std::string body = JisBody(d.Body);
    const char* const encoding = IsPlainAscii(body) ? "7bit" : "8bit";
    const std::string textHeaders = std::string("Content-Type: text/plain; charset=\"iso-2022-jp\"\r\n") +
                                    "Content-Transfer-Encoding: " + encoding + "\r\n";
    if (d.Attachments.empty()) {
        out += textHeaders + "\r\n" + body;
        if (!body.empty() && body.back() != '\n')
            out += "\r\n";
        return out;
    }
    const std::string boundary = HeaderSafe(d.Boundary);
    out += "Content-Type: multipart/mixed; boundary=\"" + boundary + "\"\r\n\r\n";
    out += "This is a multi-part message in MIME format.\r\n";
    out += "--" + boundary + "\r\n" + textHeaders + "\r\n" + body;
    if (!body.empty() && body.back() != '\n')
        out += "\r\n";
    for (const TMailAttachment& a : d.Attachments) {
        const std::string name = Quoted(EncodeHeaderText(a.Name));
        out += "--" + boundary + "\r\n";
        out += FoldedHeader("Content-Type", std::string(ContentTypeOf(a.Name)) + "; name=" + name);
        out += "Content-Transfer-Encoding: base64\r\n";
        out += FoldedHeader("Content-Disposition", "attachment; filename=" + name);
        out += "\r\n" + Base64Lines(a.Data);
    }
    out += "--" + boundary + "--\r\n";
    return out;
}
