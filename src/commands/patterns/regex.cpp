// Perl-style front end over PCRE2 (see regex.h).
#define PCRE2_CODE_UNIT_WIDTH 8
#include "commands/patterns/regex.h"

#include <pcre2.h>

#include <unordered_map>
#include <unordered_set>

#include "core/codec.h"
#include "core/sjis.h"
#include "core/walker_mode.h"

namespace {

constexpr uint32_t kMatchLimit = 5000000;
constexpr uint32_t kDepthLimit = 100000;
constexpr uint32_t kHeapLimitKiB = 256 * 1024;

// One part of a replacement: literal text, or a group reference when Group >= 0.
struct TReplItem {
    std::string Text;
    int Group = -1;
};

struct TParsed {
    char Kind = 'm';   // 'm', 's' or 't'
    std::string Pattern;
    std::string Replacement;
    std::string Flags;
};

char ClosingOf(char open)
{
    switch (open) {
    case '(':
        return ')';
    case '[':
        return ']';
    case '{':
        return '}';
    case '<':
        return '>';
    default:
        return open;
    }
}

bool IsAlnum(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

size_t CharAt(std::string_view t, size_t i, bool sjis)
{
    return sjis ? CharLenAt(t, i) : 1;
}

// Reads one delimited part; the cursor is on the opening delimiter and ends just
// after the closing one.
std::string ReadPart(std::string_view e, size_t& i, bool sjis)
{
    if (i >= e.size())
        throw ERegex("missing delimiter");
    const char open = e[i];
    if (sjis && IsLeadByte(static_cast<unsigned char>(open)))
        throw ERegex("invalid delimiter");
    const char close = ClosingOf(open);
    ++i;
    int depth = 0;
    std::string part;
    while (i < e.size()) {
        char c = e[i];
        if (c == '\\' && i + 1 < e.size()) {
            size_t n = CharAt(e, i + 1, sjis);
            // An escaped alphanumeric delimiter is the character itself; other escapes
            // are kept for the pattern or replacement reader.
            if ((e[i + 1] == open || e[i + 1] == close) && IsAlnum(e[i + 1]))
                part += e[i + 1];
            else
                part.append(e.substr(i, 1 + n));
            i += 1 + n;
            continue;
        }
        if (open != close && c == open) {
            ++depth;
        } else if (c == close) {
            if (depth == 0) {
                ++i;
                return part;
            }
            --depth;
        }
        size_t n = CharAt(e, i, sjis);
        part.append(e.substr(i, n));
        i += n;
    }
    throw ERegex("missing closing delimiter");
}

TParsed Parse(std::string_view e, bool sjis)
{
    TParsed p;
    size_t i = 0;
    if (e.substr(0, 2) == "tr") {
        p.Kind = 't';
        i = 2;
    } else if (!e.empty() && e[0] == 'y') {
        p.Kind = 't';
        i = 1;
    } else if (!e.empty() && e[0] == 's') {
        p.Kind = 's';
        i = 1;
    } else if (!e.empty() && e[0] == 'm') {
        p.Kind = 'm';
        i = 1;
    } else
        throw ERegex("unknown operator (m//, s/// or tr/// expected)");
    const char open = i < e.size() ? e[i] : 0;
    p.Pattern = ReadPart(e, i, sjis);
    if (p.Kind != 'm') {
        if (ClosingOf(open) != open) {   // s{..}{..}: the second part has its own brackets
            while (i < e.size() && (e[i] == ' ' || e[i] == '\t' || e[i] == '\r' || e[i] == '\n'))
                ++i;
        } else {
            --i;   // the closing delimiter opens the second part
        }
        p.Replacement = ReadPart(e, i, sjis);
    }
    p.Flags.assign(e.substr(i));
    return p;
}

std::string PcreMessage(int code)
{
    PCRE2_UCHAR buf[256];
    int n = pcre2_get_error_message(code, buf, sizeof buf);
    if (n < 0)
        return "regular expression error " + std::to_string(code);
    return std::string(reinterpret_cast<const char*>(buf), static_cast<size_t>(n));
}

// Replacement template in UTF-8: $& $1 ${12} \1 \n and \r\n (CR LF) \r \t \\ \$ and any other
// escaped character as itself.
std::vector<TReplItem> ParseReplacement(std::string_view r)
{
    std::vector<TReplItem> items;
    std::string lit;
    auto group = [&](int g) {
        if (!lit.empty())
            items.push_back({std::move(lit), -1});
        lit.clear();
        items.push_back({"", g});
    };
    for (size_t i = 0; i < r.size();) {
        char c = r[i];
        if (c == '$' && i + 1 < r.size()) {
            char d = r[i + 1];
            if (d == '&') {
                group(0);
                i += 2;
                continue;
            }
            if (d >= '0' && d <= '9') {
                int g = 0;
                i += 1;
                while (i < r.size() && r[i] >= '0' && r[i] <= '9' && g < 1000)
                    g = g * 10 + (r[i++] - '0');
                group(g);
                continue;
            }
            if (d == '{') {
                size_t j = i + 2;
                int g = 0;
                bool digits = false;
                while (j < r.size() && r[j] >= '0' && r[j] <= '9' && g < 1000) {
                    g = g * 10 + (r[j++] - '0');
                    digits = true;
                }
                if (digits && j < r.size() && r[j] == '}') {
                    group(g);
                    i = j + 1;
                    continue;
                }
            }
        }
        if (c == '\\' && i + 1 < r.size()) {
            char d = r[i + 1];
            if (d >= '1' && d <= '9') {
                group(d - '0');
                i += 2;
                continue;
            }
            if (d == 'n')
                lit += "\r\n";
            else if (d == 'r' && r.substr(i + 2, 2) == "\\n") {
                // \r\n, as line breaks are written in patterns, is one line break too,
                // not a CR before the CR LF of \n.
                lit += "\r\n";
                i += 2;
            } else if (d == 'r')
                lit += '\r';
            else if (d == 't')
                lit += '\t';
            else
                lit += d;   // \\ \$ \/ and any other: the character itself
            i += 2;
            continue;
        }
        lit += c;
        ++i;
    }
    if (!lit.empty())
        items.push_back({std::move(lit), -1});
    return items;
}

// Shift_JIS character codes of a tr/// list, ranges expanded.
std::vector<uint32_t> ExpandTrList(std::string_view s)
{
    std::vector<uint32_t> codes;
    std::vector<std::pair<uint32_t, bool>> chars;   // code, written as an escape
    for (size_t i = 0; i < s.size();) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        if (c == '\\' && i + 1 < s.size()) {
            size_t n = CharAt(s, i + 1, true);
            uint32_t code = static_cast<unsigned char>(s[i + 1]);
            if (n == 2)
                code = code * 256 + static_cast<unsigned char>(s[i + 2]);
            else if (code == 'n')
                code = '\n';
            else if (code == 'r')
                code = '\r';
            else if (code == 't')
                code = '\t';
            chars.emplace_back(code, true);
            i += 1 + n;
            continue;
        }
        size_t n = CharAt(s, i, true);
        uint32_t code = c;
        if (n == 2)
            code = code * 256 + static_cast<unsigned char>(s[i + 1]);
        chars.emplace_back(code, false);
        i += n;
    }
    for (size_t k = 0; k < chars.size(); ++k) {
        if (k + 2 < chars.size() && chars[k + 1].first == '-' && !chars[k + 1].second) {
            uint32_t lo = chars[k].first, hi = chars[k + 2].first;
            if (hi < lo)
                throw ERegex("invalid range in transliteration operator");
            for (uint32_t code = lo; code <= hi; ++code) {
                if (code > 0xFF) {
                    unsigned t = code & 0xFF;
                    if (!IsLeadByte(static_cast<unsigned char>(code >> 8)) || t < 0x40 || t == 0x7F || t > 0xFC)
                        continue;
                }
                codes.push_back(code);
            }
            k += 2;
            continue;
        }
        codes.push_back(chars[k].first);
    }
    return codes;
}

void AppendCode(std::string& out, uint32_t code)
{
    if (code > 0xFF)
        out += static_cast<char>(code >> 8);
    out += static_cast<char>(code & 0xFF);
}

}   // namespace

struct TBRegExp::TCompiled {
    std::string Expr;
    char Kind = 'm';
    TParsed Parsed;
    bool Global = false;
    bool TrComplement = false, TrDelete = false, TrSqueeze = false;
    pcre2_code* Code = nullptr;
    pcre2_match_data* Data = nullptr;
    pcre2_match_context* Context = nullptr;
    std::vector<TReplItem> Replacement;
    int Groups = 0;

    ~TCompiled()
    {
        if (Data)
            pcre2_match_data_free(Data);
        if (Context)
            pcre2_match_context_free(Context);
        if (Code)
            pcre2_code_free(Code);
    }

    // Runs one match from `start`; false when there is none. Limits raise. The first
    // call on a subject validates its UTF-8 (`validated` false); the later calls on
    // the same subject skip the check, which would otherwise walk the whole subject
    // every time and make a replace-all quadratic.
    bool Exec(const std::string& subject, size_t start, uint32_t options, bool& validated)
    {
        if (validated && !ReferenceWalker())
            options |= PCRE2_NO_UTF_CHECK;
        int rc = pcre2_match(Code, reinterpret_cast<PCRE2_SPTR>(subject.data()), subject.size(), start, options, Data,
                             Context);
        if (rc >= 0 || rc == PCRE2_ERROR_NOMATCH)
            validated = true;
        if (rc == PCRE2_ERROR_NOMATCH)
            return false;
        if (rc < 0)
            throw ERegex(PcreMessage(rc));
        return true;
    }
    const PCRE2_SIZE* Ov() const { return pcre2_get_ovector_pointer(Data); }
    std::string GroupText(const std::string& subject, int g) const
    {
        const PCRE2_SIZE* ov = Ov();
        if (g > Groups || ov[2 * g] == PCRE2_UNSET)
            return {};
        return Utf8ToSjis(std::string_view(subject).substr(ov[2 * g], ov[2 * g + 1] - ov[2 * g]));
    }
};

TBRegExp::TBRegExp() = default;
TBRegExp::~TBRegExp() = default;

int TBRegExp::GroupCount() const
{
    return last_ ? last_->Groups : 0;
}

TBRegExp::TCompiled& TBRegExp::Compile(std::string_view expr, char kind)
{
    if (last_ && last_->Kind == kind && last_->Expr == expr)
        return *last_;
    last_.reset();
    auto c = std::make_unique<TCompiled>();
    c->Expr.assign(expr);
    c->Kind = kind;
    if (kind == 't') {
        c->Parsed = Parse(expr, true);
        if (c->Parsed.Kind != 't')
            throw ERegex("transliteration operator (tr///) expected");
        for (char f : c->Parsed.Flags) {
            if (f == 'c')
                c->TrComplement = true;
            else if (f == 'd')
                c->TrDelete = true;
            else if (f == 's')
                c->TrSqueeze = true;
            else if (f != 'k' && f != 'r')
                throw ERegex(std::string("unknown flag: ") + f);
        }
        last_ = std::move(c);
        return *last_;
    }
    c->Parsed = Parse(SjisToUtf8(expr), false);
    if (c->Parsed.Kind != kind)
        throw ERegex(kind == 's' ? "substitution operator (s///) expected" : "match operator (m//) expected");
    uint32_t options = PCRE2_UTF;
    for (char f : c->Parsed.Flags) {
        switch (f) {
        case 'i':
            options |= PCRE2_CASELESS;
            break;
        case 'm':
            options |= PCRE2_MULTILINE;
            break;
        case 's':
            options |= PCRE2_DOTALL;
            break;
        case 'x':
            options |= PCRE2_EXTENDED;
            break;
        case 'g':
            c->Global = true;
            break;
        case 'k':
        case 'o':
            break;   // always character-aware; always compiled once
        default:
            throw ERegex(std::string("unknown flag: ") + f);
        }
    }
    pcre2_compile_context* cc = pcre2_compile_context_create(nullptr);
    pcre2_set_newline(cc, PCRE2_NEWLINE_ANYCRLF);
    int err = 0;
    PCRE2_SIZE erroff = 0;
    c->Code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(c->Parsed.Pattern.data()), c->Parsed.Pattern.size(), options,
                            &err, &erroff, cc);
    pcre2_compile_context_free(cc);
    if (!c->Code)
        throw ERegex(PcreMessage(err) + " at offset " + std::to_string(erroff));
    uint32_t captures = 0;
    pcre2_pattern_info(c->Code, PCRE2_INFO_CAPTURECOUNT, &captures);
    c->Groups = static_cast<int>(captures);
    c->Data = pcre2_match_data_create_from_pattern(c->Code, nullptr);
    c->Context = pcre2_match_context_create(nullptr);
    pcre2_set_match_limit(c->Context, kMatchLimit);
    pcre2_set_depth_limit(c->Context, kDepthLimit);
    pcre2_set_heap_limit(c->Context, kHeapLimitKiB);
    if (kind == 's')
        c->Replacement = ParseReplacement(c->Parsed.Replacement);
    last_ = std::move(c);
    return *last_;
}

std::string TBRegExp::WrapMatch(std::string_view expr)
{
    if (!expr.empty() && expr[0] == 'm')
        return std::string(expr);
    std::string out = "m/";
    for (size_t i = 0; i < expr.size();) {
        size_t n = CharAt(expr, i, true);
        if (expr[i] == '\\' && i + 1 < expr.size()) {
            size_t m = CharAt(expr, i + 1, true);
            out.append(expr.substr(i, 1 + m));
            i += 1 + m;
            continue;
        }
        if (expr[i] == '/')
            out += '\\';
        out.append(expr.substr(i, n));
        i += n;
    }
    out += '/';
    return out;
}

int TBRegExp::Match(std::string_view expr, std::string_view subject, std::vector<std::string>& groups)
{
    groups.clear();
    TCompiled& c = Compile(expr, 'm');
    const std::string subj = SjisToUtf8(subject);
    bool validated = false;
    if (!c.Exec(subj, 0, 0, validated))
        return 0;
    for (int g = 0; g <= c.Groups; ++g)
        groups.push_back(c.GroupText(subj, g));
    return c.Groups + 1;
}

int TBRegExp::Subst(std::string_view expr, std::string_view subject, std::string& result)
{
    TCompiled& c = Compile(expr, 's');
    const std::string subj = SjisToUtf8(subject);
    std::string out;
    size_t pos = 0, copied = 0;
    uint32_t options = 0;
    int count = 0;
    bool validated = false;
    while (pos <= subj.size()) {
        if (!c.Exec(subj, pos, options, validated)) {
            if (options == 0 || pos >= subj.size())
                break;
            // No non-empty match where the last empty one was: step one character on.
            size_t step = 1;
            if (subj[pos] == '\r' && pos + 1 < subj.size() && subj[pos + 1] == '\n')
                step = 2;
            else
                while (pos + step < subj.size() && (static_cast<unsigned char>(subj[pos + step]) & 0xC0) == 0x80)
                    ++step;
            pos += step;
            options = 0;
            continue;
        }
        const PCRE2_SIZE* ov = c.Ov();
        const size_t s = ov[0], e = ov[1];
        out.append(subj, copied, s - copied);
        for (const auto& item : c.Replacement) {
            if (item.Group < 0)
                out += item.Text;
            else if (item.Group <= c.Groups && ov[2 * item.Group] != PCRE2_UNSET)
                out.append(subj, ov[2 * item.Group], ov[2 * item.Group + 1] - ov[2 * item.Group]);
        }
        copied = e;
        ++count;
        if (!c.Global)
            break;
        pos = e;
        options = s == e ? (PCRE2_NOTEMPTY_ATSTART | PCRE2_ANCHORED) : 0;
    }
    if (count == 0) {
        result.assign(subject);
        return 0;
    }
    out.append(subj, copied, std::string::npos);
    result = Utf8ToSjis(out);
    return count;
}

int TBRegExp::Split(std::string_view expr, std::string_view subject, int limit, std::vector<std::string>& pieces)
{
    pieces.clear();
    TCompiled& c = Compile(expr, 'm');
    if (subject.empty())
        return 0;
    const std::string subj = SjisToUtf8(subject);
    size_t s = 0;
    int loops = limit - 1;
    bool validated = false;
    while (s < subj.size() && loops-- > 0) {
        // The piece separator must end beyond the piece start: an empty match right
        // there is passed over.
        if (!c.Exec(subj, s, 0, validated))
            break;
        if (c.Ov()[1] <= s && !c.Exec(subj, s, PCRE2_NOTEMPTY_ATSTART, validated))
            break;
        const PCRE2_SIZE* ov = c.Ov();
        pieces.push_back(Utf8ToSjis(std::string_view(subj).substr(s, ov[0] - s)));
        for (int g = 1; g <= c.Groups; ++g)
            pieces.push_back(c.GroupText(subj, g));
        s = ov[1];
    }
    pieces.push_back(Utf8ToSjis(std::string_view(subj).substr(s)));
    return static_cast<int>(pieces.size());
}

int TBRegExp::Trans(std::string_view expr, std::string_view subject, std::string& result)
{
    TCompiled& c = Compile(expr, 't');
    std::vector<uint32_t> from = ExpandTrList(c.Parsed.Pattern);
    std::vector<uint32_t> to = ExpandTrList(c.Parsed.Replacement);
    std::unordered_map<uint32_t, int64_t> map;   // code -> target code, -1 delete
    std::unordered_set<uint32_t> inFrom(from.begin(), from.end());
    if (!c.TrComplement) {
        if (to.empty() && !c.TrDelete)
            to = from;
        for (size_t k = 0; k < from.size(); ++k) {
            if (map.count(from[k]))
                continue;
            if (k < to.size())
                map[from[k]] = to[k];
            else if (c.TrDelete)
                map[from[k]] = -1;
            else
                map[from[k]] = to.back();
        }
    }
    result.clear();
    int count = 0;
    bool lastTranslated = false;
    uint32_t lastCode = 0;
    for (size_t i = 0; i < subject.size();) {
        size_t n = CharAt(subject, i, true);
        uint32_t code = static_cast<unsigned char>(subject[i]);
        if (n == 2)
            code = code * 256 + static_cast<unsigned char>(subject[i + 1]);
        i += n;
        int64_t target;
        if (c.TrComplement) {
            if (inFrom.count(code)) {
                AppendCode(result, code);
                lastTranslated = false;
                continue;
            }
            target = to.empty() ? (c.TrDelete ? -1 : static_cast<int64_t>(code)) : to.back();
        } else {
            auto it = map.find(code);
            if (it == map.end()) {
                AppendCode(result, code);
                lastTranslated = false;
                continue;
            }
            target = it->second;
        }
        ++count;
        if (target < 0)
            continue;
        if (c.TrSqueeze && lastTranslated && lastCode == static_cast<uint32_t>(target))
            continue;
        AppendCode(result, static_cast<uint32_t>(target));
        lastTranslated = true;
        lastCode = static_cast<uint32_t>(target);
    }
    return count;
}
