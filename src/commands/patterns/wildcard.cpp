// The wildcard compiler and matcher (see wildcard.h).
#include "commands/patterns/wildcard.h"

#include <algorithm>
#include <cstring>

#include "commands/strings/strings.h"
#include "core/sjis.h"

namespace {

const char* const kMsgKakkoEscape = "ワイルドカードの[ ]中で\\記号を使うときは、\\t,\\nしか許されていません。";
const char* const kMsgKakkoFollower = "ワイルドカード[*...]に続けてワイルドカードを書くことは出来ません。";

TWSeq MakeUnit(TWKind kind, std::string_view text, uint32_t code, size_t b, size_t)
{
    TWSeq u;
    u.Kind = kind;
    u.Len = static_cast<uint8_t>(text.size());
    std::memcpy(u.Text, text.data(), text.size());
    u.Code = code;
    u.SrcBegin = static_cast<uint32_t>(b);
    return u;
}

TWSeq CharUnit(std::string_view t, size_t at, size_t len, size_t b, size_t e)
{
    uint32_t code = static_cast<unsigned char>(t[at]);
    if (len == 2)
        code = code * 256 + static_cast<unsigned char>(t[at + 1]);
    return MakeUnit(TWKind::Char, t.substr(at, len), code, b, e);
}

uint32_t CharCode(std::string_view t, size_t i, size_t& len)
{
    len = IsLeadAt(t, i) ? 2 : 1;
    uint32_t code = static_cast<unsigned char>(t[i]);
    if (len == 2)
        code = code * 256 + static_cast<unsigned char>(t[i + 1]);
    return code;
}

uint32_t CountChars(std::string_view t)
{
    uint32_t n = 0;
    for (size_t i = 0; i < t.size(); ++n)
        i += IsLeadAt(t, i) ? 2 : 1;
    return n;
}

// Alternatives are tried shortest-first in the order the class builds: for each
// position i, the shortest alternative after i (or the one at i when it is the last)
// is moved to the front.
void ReorderAlternatives(std::vector<std::string>& alts)
{
    const size_t n = alts.size();
    for (size_t i = 0; i < n; ++i) {
        size_t j = i;
        if (i + 1 < n) {
            j = i + 1;
            for (size_t k = i + 2; k < n; ++k)
                if (alts[k].size() < alts[j].size())
                    j = k;
        }
        std::string moved = std::move(alts[j]);
        alts.erase(alts.begin() + static_cast<ptrdiff_t>(j));
        alts.insert(alts.begin(), std::move(moved));
    }
}

// Reads one class item code after "\" inside brackets; the cursor is on the "\".
void KakkoEscape(std::string_view t, size_t& i, uint32_t& lo, uint32_t& hi)
{
    if (i + 1 >= t.size())
        throw EWildcard(kMsgKakkoEscape);
    char e = t[i + 1];
    if (e == 'n') {
        lo = 10;
        hi = 13;
    } else if (e == 't') {
        lo = hi = 9;
    } else {
        throw EWildcard(kMsgKakkoEscape);
    }
    i += 2;
}

// Parses a class; the cursor is just after "[" and ends after "]".
TWKakko ParseKakko(std::string_view t, size_t& i)
{
    TWKakko k;
    if (i < t.size() && t[i] == '!') {
        k.Negated = true;
        ++i;
    }
    if (i < t.size()) {
        if (t[i] == '*') {
            k.Kind = TWKakko::Star;
            ++i;
        } else if (t[i] == '+') {
            k.Kind = TWKakko::Plus;
            ++i;
        } else if (t[i] == '=') {
            k.Kind = TWKakko::Choice;
            ++i;
        }
    }
    if (k.Kind == TWKakko::Choice) {
        std::string cur;
        while (i < t.size() && t[i] != ']') {
            size_t len = IsLeadAt(t, i) ? 2 : 1;
            if (len == 1 && t[i] == '|') {
                k.Alternatives.push_back(std::move(cur));
                cur.clear();
            } else {
                cur.append(t.substr(i, len));
            }
            i += len;
        }
        k.Alternatives.push_back(std::move(cur));
        if (i < t.size())
            ++i;
        ReorderAlternatives(k.Alternatives);
        for (const auto& a : k.Alternatives)
            k.AltChars.push_back(CountChars(a));
        return k;
    }
    while (i < t.size() && t[i] != ']') {
        uint32_t lo, hi;
        if (t[i] == '\\') {
            KakkoEscape(t, i, lo, hi);
            k.Ranges.emplace_back(lo, hi);
            continue;
        }
        size_t len;
        lo = hi = CharCode(t, i, len);
        i += len;
        if (i + 1 < t.size() && t[i] == '-' && t[i + 1] != ']') {
            ++i;
            if (t[i] == '\\') {
                uint32_t elo, ehi;
                KakkoEscape(t, i, elo, ehi);
                hi = ehi;
            } else {
                hi = CharCode(t, i, len);
                i += len;
            }
            if (hi < lo)
                std::swap(lo, hi);
        }
        k.Ranges.emplace_back(lo, hi);
    }
    if (i < t.size())
        ++i;
    return k;
}

void Compile(std::string_view t, TWString& out, bool pattern)
{
    out.Units.clear();
    out.Classes.clear();
    size_t i = 0;
    while (i < t.size()) {
        const size_t b = i;
        const char c = t[i];
        if (IsLeadAt(t, i)) {
            out.Units.push_back(CharUnit(t, i, 2, b, b + 2));
            i += 2;
            continue;
        }
        switch (c) {
        case '#':
            out.Units.push_back(MakeUnit(TWKind::Number, "#", '#', b, b + 1));
            ++i;
            break;
        case '(':
            out.Units.push_back(MakeUnit(TWKind::PickupFrom, "(", '(', b, b + 1));
            ++i;
            break;
        case ')':
            out.Units.push_back(MakeUnit(TWKind::PickupTo, ")", ')', b, b + 1));
            ++i;
            break;
        case '*':
            out.Units.push_back(MakeUnit(TWKind::Asterisk, "*", '*', b, b + 1));
            ++i;
            break;
        case '?':
            out.Units.push_back(MakeUnit(TWKind::Question, "?", '?', b, b + 1));
            ++i;
            break;
        case '[': {
            ++i;
            int32_t index = -1;
            if (pattern) {
                out.Classes.push_back(ParseKakko(t, i));
                index = static_cast<int32_t>(out.Classes.size() - 1);
            } else {
                while (i < t.size() && t[i] != ']')
                    i += IsLeadAt(t, i) ? 2 : 1;
                if (i < t.size())
                    ++i;
            }
            TWSeq u = MakeUnit(TWKind::Kakko, "[...]", '[', b, i);
            u.Kakko = index;
            out.Units.push_back(u);
            break;
        }
        case '\\': {
            if (i + 1 >= t.size()) {   // a lone backslash at the end is itself
                out.Units.push_back(CharUnit(t, i, 1, b, b + 1));
                ++i;
                break;
            }
            const char e = t[i + 1];
            if (e == 'n') {
                out.Units.push_back(MakeUnit(TWKind::Char, "\r", '\r', b, b + 2));
                out.Units.push_back(MakeUnit(TWKind::Char, "\n", '\n', b + 2, b + 2));
                i += 2;
            } else if (e == 't') {
                out.Units.push_back(MakeUnit(TWKind::Char, "\t", '\t', b, b + 2));
                i += 2;
            } else {
                size_t len = IsLeadAt(t, i + 1) ? 2 : 1;
                out.Units.push_back(CharUnit(t, i + 1, len, b, b + 1 + len));
                i += 1 + len;
            }
            break;
        }
        default:
            out.Units.push_back(CharUnit(t, i, 1, b, b + 1));
            ++i;
        }
    }
    if (!pattern)
        return;
    // The literal that ends a repeating class: the unit after it, past one "(" or ")".
    for (size_t k = 0; k < out.Units.size(); ++k) {
        const TWSeq& u = out.Units[k];
        if (u.Kind != TWKind::Kakko)
            continue;
        TWKakko& cls = out.Classes[u.Kakko];
        if (cls.Kind != TWKakko::Star && cls.Kind != TWKakko::Plus)
            continue;
        size_t n = k + 1;
        if (n < out.Units.size() && (out.Units[n].Kind == TWKind::PickupFrom || out.Units[n].Kind == TWKind::PickupTo))
            ++n;
        if (n >= out.Units.size())
            continue;
        if (out.Units[n].Kind == TWKind::Char)
            cls.Follower.assign(out.Units[n].TextView());
        else
            cls.BadFollower = true;
    }
}

// One match of a pattern over a subject. The pattern is cut at its stars into
// segments without stars (seg 0 * seg 1 * ... * seg S; a star at the end, or
// followed only by ")", stays in the last segment and takes the rest). A segment
// matches at a position in one deterministic way, so the rest of the pattern after
// star j matches as a prefix from position i exactly when segment j+1 matches at i
// and ends at or before Last[j+2], the last position from which the rest after the
// next star matches. Last[] is found from the back, then the stars are settled from
// the front on the first position whose rest matches, as the units demand ("*"
// takes the shortest stretch after which the rest matches). The scans move
// monotonically, so the work is about (subject length + stars) x segment cost,
// with one number per star of memory and no recursion.
struct TWMatcher {
    const TWString& pat;
    const std::vector<TWSeq>& ops;
    const std::vector<uint32_t>& segBegin;   // per segment: first unit in ops
    const TWString& sub;
    const int32_t ns;
    int32_t capStart = 0;
    int32_t furthest = -1;
    std::vector<std::pair<int32_t, int32_t>>* caps = nullptr;

    size_t Segments() const { return segBegin.size(); }
    size_t SegEnd(size_t j) const { return j + 1 < segBegin.size() ? segBegin[j + 1] - 1 : ops.size(); }

    static bool TextEq(const TWSeq& s, std::string_view t) { return s.TextView() == t; }

    // Runs segment j from position pos; the end position, or -1.
    int32_t RunSeg(size_t j, int32_t pos, bool record)
    {
        const size_t end = SegEnd(j);
        for (size_t k = segBegin[j]; k < end; ++k) {
            const TWSeq& u = ops[k];
            switch (u.Kind) {
            case TWKind::Char:
                if (pos >= ns || !TextEq(sub.Units[pos], u.TextView()))
                    return -1;
                ++pos;
                break;
            case TWKind::Question:
                if (pos < ns)
                    ++pos;
                break;
            case TWKind::Number: {
                if (pos >= ns)
                    return -1;
                char c = sub.Units[pos].Text[0];
                if (sub.Units[pos].Len == 0 || c < '0' || c > '9')
                    return -1;
                ++pos;
                break;
            }
            case TWKind::PickupFrom:
                if (record)
                    capStart = pos;
                break;
            case TWKind::PickupTo:
                if (record && pos > furthest) {
                    furthest = pos;
                    if (caps)
                        caps->emplace_back(capStart, pos);
                }
                break;
            case TWKind::Asterisk:   // only at the end of the last segment
                pos = ns;
                break;
            case TWKind::Kakko:
                if (!MatchKakko(pat.Classes[u.Kakko], pos))
                    return -1;
                break;
            }
        }
        return pos;
    }

    // Matches from position 0; the end position, or -1.
    int32_t Run(std::vector<int32_t>& last)
    {
        const size_t S = Segments() - 1;
        last.assign(S + 2, ns);
        // Last[j]: the last position from which segments j.. match (as a prefix).
        for (size_t j = S; j >= 1; --j) {
            const int32_t limit = j == S ? ns : last[j + 1];
            int32_t found = -1;
            for (int32_t i = limit; i >= 0; --i) {
                int32_t e = RunSeg(j, i, false);
                if (e >= 0 && e <= limit) {
                    found = i;
                    break;
                }
            }
            if (found < 0)
                return -1;
            last[j] = found;
        }
        int32_t pos = RunSeg(0, 0, true);
        if (pos < 0 || (S > 0 && pos > last[1]))
            return -1;
        for (size_t j = 1; j <= S; ++j) {
            const int32_t limit = j == S ? ns : last[j + 1];
            int32_t i = pos;
            for (; i <= last[j]; ++i) {
                int32_t e = RunSeg(j, i, false);
                if (e >= 0 && e <= limit)
                    break;
            }
            pos = RunSeg(j, i, true);   // i <= last[j], where the rest is known to match
        }
        return pos;
    }

    bool MatchKakko(const TWKakko& c, int32_t& pos)
    {
        switch (c.Kind) {
        case TWKakko::Single:
            if (pos >= ns)
                return false;
            if (c.Contains(sub.Units[pos].Code) == c.Negated)
                return false;
            ++pos;
            return true;
        case TWKakko::Star:
        case TWKakko::Plus: {
            int32_t taken = 0;
            while (pos < ns) {
                const TWSeq& s = sub.Units[pos];
                if (!c.Follower.empty() && TextEq(s, c.Follower))
                    break;
                if (c.Contains(s.Code) == c.Negated)
                    break;
                ++pos;
                ++taken;
            }
            return c.Kind == TWKakko::Star || taken > 0;
        }
        case TWKakko::Choice:
            for (size_t a = 0; a < c.Alternatives.size(); ++a) {
                const std::string& alt = c.Alternatives[a];
                const int32_t chars = static_cast<int32_t>(c.AltChars[a]);
                if (pos + chars > ns)
                    continue;
                size_t off = 0;
                bool eq = true;
                for (int32_t j = 0; j < chars && eq; ++j) {
                    std::string_view t = sub.Units[pos + j].TextView();
                    eq = alt.compare(off, t.size(), t) == 0 && off + t.size() <= alt.size();
                    off += t.size();
                }
                if (eq && off == alt.size()) {
                    pos += chars;
                    return true;
                }
            }
            return false;
        }
        return false;
    }
};

}   // namespace

bool TWKakko::Contains(uint32_t code) const
{
    for (const auto& r : Ranges)
        if (code >= r.first && code <= r.second)
            return true;
    return false;
}

TWString TWString::CompilePattern(std::string_view text)
{
    TWString s;
    Compile(text, s, true);
    return s;
}

void TWString::CompileSubject(std::string_view text, TWString& out)
{
    // A subject has at most one unit per byte.
    sjistext::CheckTextSize(static_cast<uint64_t>(text.size()) * sizeof(TWSeq));
    Compile(text, out, false);
}

TWildcard::TWildcard(std::string_view pattern) : pat_(TWString::CompilePattern(pattern))
{
    // A run of stars acts as one star: merge them. A star that ends the pattern (or
    // has only ")" after it) stays a unit of the last segment; any other star ends a
    // segment.
    const auto& u = pat_.Units;
    segBegin_.push_back(0);
    for (size_t k = 0; k < u.size(); ++k) {
        if (u[k].Kind == TWKind::Asterisk) {
            while (k + 1 < u.size() && u[k + 1].Kind == TWKind::Asterisk)
                ++k;
            const bool trailing = k + 1 == u.size() || (k + 2 == u.size() && u[k + 1].Kind == TWKind::PickupTo);
            ops_.push_back(u[k]);
            if (!trailing)
                segBegin_.push_back(static_cast<uint32_t>(ops_.size()));
            continue;
        }
        if (u[k].Kind == TWKind::Kakko && pat_.Classes[u[k].Kakko].BadFollower)
            badFollower_ = true;
        ops_.push_back(u[k]);
    }
}

bool TWildcard::Match(std::string_view subject, bool whole, size_t& end,
                      std::vector<std::pair<size_t, size_t>>* captures) const
{
    // The matcher tries segments at many positions, so a class with a follower that
    // cannot end it is reported whenever the pattern is used.
    if (badFollower_)
        throw EWildcard(kMsgKakkoFollower);
    thread_local TWString sub;
    thread_local std::vector<int32_t> last;
    TWString::CompileSubject(subject, sub);
    const int32_t ns = static_cast<int32_t>(sub.Units.size());
    std::vector<std::pair<int32_t, int32_t>> caps;
    TWMatcher m{pat_, ops_, segBegin_, sub, ns};
    m.caps = captures ? &caps : nullptr;
    int32_t stop = m.Run(last);
    if (stop < 0 || (whole && stop != ns))
        return false;
    auto offset = [&](int32_t unit) -> size_t { return unit < ns ? sub.Units[unit].SrcBegin : subject.size(); };
    end = offset(stop);
    if (captures) {
        captures->clear();
        for (auto& c : caps)
            captures->emplace_back(offset(c.first), offset(c.second));
    }
    return true;
}

bool TWildcard::PrefixMatch(std::string_view subject, size_t& end,
                            std::vector<std::pair<size_t, size_t>>* captures) const
{
    return Match(subject, false, end, captures);
}

bool TWildcard::WholeMatch(std::string_view subject) const
{
    size_t end = 0;
    return Match(subject, true, end, nullptr);
}

bool WildcardWholeMatch(std::string_view subject, std::string_view pattern)
{
    return TWildcard(pattern).WholeMatch(subject);
}

TWildcardResult WildcardPrefixMatch(std::string_view subject, std::string_view pattern)
{
    TWildcardResult r;
    size_t end = 0;
    std::vector<std::pair<size_t, size_t>> caps;
    TWildcard w(pattern);
    if (!w.PrefixMatch(subject, end, &caps)) {
        r.Rest.assign(subject);
        return r;
    }
    r.Ok = true;
    r.Matched.assign(subject.substr(0, end));
    r.Rest.assign(subject.substr(end));
    for (auto& c : caps)
        r.Captures.emplace_back(subject.substr(c.first, c.second - c.first));
    return r;
}

bool HasWildcardChars(std::string_view text, bool bracket)
{
    for (size_t i = 0; i < text.size(); i += IsLeadAt(text, i) ? 2 : 1)
        if (text[i] == '*' || text[i] == '?' || text[i] == '#' || (bracket && text[i] == '['))
            return true;
    return false;
}
