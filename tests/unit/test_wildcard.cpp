// Wildcard compiler and matcher: whole matches, prefix matches with captures,
// classes, Shift_JIS characters whose second byte is a metacharacter, errors, and
// bounded work for patterns with many stars.
#include <gtest/gtest.h>

#include <time.h>

#include <random>

#include "commands/patterns/wildcard.h"
#include "core/error.h"

namespace {

// Milliseconds of a monotonic clock (<chrono> does not build with a Shift_JIS
// execution character set).
long NowMs()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000L + ts.tv_nsec / 1000000L;
}

struct WholeCase {
    const char* pattern;
    const char* subject;
    bool match;
};

const WholeCase kWholeCases[] = {
    {"*.txt", "a.txt", true},
    {"*.txt", "a.txt.txt", false},   // "*" settles on the first ".txt"
    {"*.txt", ".txt", true},
    {"a?c", "abc", true},
    {"a?c", "ac", false},
    {"a?", "a", true},   // "?" at the end takes nothing
    {"###", "123", true},
    {"###", "１２３", false},
    {"#", "#", false},
    {"\\#", "#", true},
    {"[a-z]", "q", true},
    {"[a-z]", "Q", false},
    {"[!a-z]", "Q", true},
    {"[!a-z]", "q", false},
    {"[z-a]", "m", true},   // reversed range swapped
    {"[+0-9]円", "120円", true},
    {"[+0-9]円", "円", false},
    {"[*0-9]円", "円", true},
    {"[!*,],x", "abc,x", true},
    {"[=ab|a|abc]", "ab", true},
    {"[=ab|a|abc]", "abc", false},   // "ab" fits first and the match ends early
    {"[=ab|a|abc]", "a", true},
    {"[=ab|a]b", "ab", false},   // "ab" is tried first, taken, never reconsidered
    {"[=x|]y", "y", true},       // an empty alternative always fits
    {"[x]", "[x]", false},       // the subject's "[x]" is one unit "[...]"
    {"\\[x]", "[x]", false},
    {"?", "[x]", true},
    {"[[]", "[x]", true},      // its code is that of "["
    {"[\\n]", "\\n", false},   // "\n" in a subject is two units, CR and LF
    {"[\\n][\\n]", "\\n", true},
    {"a\\tb", "a\tb", true},
    {"a\\nb", "a\r\nb", true},
    {"表", "表", true},   // second byte 0x5C
    {"ソ", "ソ", true},
    {"表*", "表示", true},
    {"*ソ", "aソ", true},
    {"*ソ", "ソソ", false},   // settles on the first ソ
    {"[表]", "表", true},
    {"[ア-ン]", "ソ", true},
    {"[ア-ン]", "あ", false},
    {"*[", "x[", false},    // a class left open at the end holds nothing
    {"a\\", "a\\", true},   // a trailing backslash is itself
    {"", "", true},
    {"", "a", false},
    {"*", "", true},
    {"a*b*c", "aXXbYYc", true},
    {"a*b*c", "aXXbYYcZ", false},
    {"*a*a*a*a*a*b", "aaaaaaaaaab", true},
};

TEST(WildcardTest, WholeMatchTable)
{
    for (const auto& c : kWholeCases)
        EXPECT_EQ(WildcardWholeMatch(c.subject, c.pattern), c.match)
            << "pattern " << c.pattern << " subject " << c.subject;
}

struct PrefixCase {
    const char* pattern;
    const char* subject;
    bool ok;
    const char* matched;
    const char* rest;
    std::vector<std::string> captures;
};

const PrefixCase kPrefixCases[] = {
    {"(*):", "name:value", true, "name:", "value", {"name"}},
    {"(*):(*)", "a:b:c", true, "a:b:c", "", {"a", "b:c"}},
    {"(#)(#)", "12x", true, "12", "x", {"1", "2"}},
    {"*(#)", "ab3cd", true, "ab3", "cd", {"3"}},
    {"()()", "xy", true, "", "xy", {""}},   // a second capture at the same end is dropped
    {"表(*)示", "表ソ示す", true, "表ソ示", "す", {"ソ"}},
    {"x", "abc", false, "", "abc", {}},
    {"([+a-z])=(*)", "key=val", true, "key=val", "", {"key", "val"}},
    {"(*)\\n", "line\\nrest", true, "line\\n", "rest", {"line"}},
    {"[!*:](:)", "ab:c", true, "ab:", "c", {":"}},
};

TEST(WildcardTest, PrefixMatchTable)
{
    for (const auto& c : kPrefixCases) {
        TWildcardResult r = WildcardPrefixMatch(c.subject, c.pattern);
        EXPECT_EQ(r.Ok, c.ok) << c.pattern;
        EXPECT_EQ(r.Matched, c.matched) << c.pattern;
        EXPECT_EQ(r.Rest, c.rest) << c.pattern;
        EXPECT_EQ(r.Captures, c.captures) << c.pattern;
    }
}

TEST(WildcardTest, SubjectBracketTextSurvives)
{
    // The remainder keeps the subject's own bytes, not the units' text forms.
    TWildcardResult r = WildcardPrefixMatch("a[b]c\\n", "a");
    EXPECT_TRUE(r.Ok);
    EXPECT_EQ(r.Rest, "[b]c\\n");
}

TEST(WildcardTest, AlternativeOrder)
{
    TWString s = TWString::CompilePattern("[=ab|a|abc]");
    ASSERT_EQ(s.Classes.size(), 1u);
    EXPECT_EQ(s.Classes[0].Alternatives, (std::vector<std::string>{"ab", "abc", "a"}));
    s = TWString::CompilePattern("[=ccc|b|aa|d]");
    EXPECT_EQ(s.Classes[0].Alternatives, (std::vector<std::string>{"ccc", "aa", "d", "b"}));
}

TEST(WildcardTest, Errors)
{
    struct ErrCase {
        const char* pattern;
        const char* subject;
        const char* message;
    } cases[] = {
        {"[\\x]", "a", "ワイルドカードの[ ]中で\\記号を使うときは、\\t,\\nしか許されていません。"},
        {"[a\\", "a", "ワイルドカードの[ ]中で\\記号を使うときは、\\t,\\nしか許されていません。"},
        {"[*a-z]*", "abc", "ワイルドカード[*...]に続けてワイルドカードを書くことは出来ません。"},
        {"[+a-z](#", "abc", "ワイルドカード[*...]に続けてワイルドカードを書くことは出来ません。"},
    };
    for (const auto& c : cases) {
        try {
            WildcardWholeMatch(c.subject, c.pattern);
            ADD_FAILURE() << "no error for " << c.pattern;
        } catch (const EWildcard& e) {
            EXPECT_STREQ(e.what(), c.message);
        }
    }
    // A subject is never parsed as a class, so it cannot fail.
    EXPECT_NO_THROW(WildcardWholeMatch("[\\x]", "*"));
}

TEST(WildcardTest, ManyStarsStayFast)
{
    std::string subject(3000, 'a');
    std::string pattern;
    for (int i = 0; i < 40; ++i)
        pattern += "*a";
    pattern += "*b";
    long t0 = NowMs();
    EXPECT_FALSE(WildcardWholeMatch(subject, pattern));
    long ms = NowMs() - t0;
    EXPECT_LT(ms, 2000);
}

// The matcher as the units describe it, without memory: the rest after a star is
// tried at every position from the current one, recursively. Exponential, so only
// for small inputs; the real matcher must agree with it on every match end and
// capture.
struct ReferenceMatcher {
    const TWString& pat;
    const TWString& sub;
    const int ns;
    int capStart = 0;
    int furthest = -1;
    std::vector<std::pair<int, int>> caps;

    int Run(size_t k, int pos, bool record)
    {
        const size_t n = pat.Units.size();
        for (; k < n; ++k) {
            const TWSeq& u = pat.Units[k];
            switch (u.Kind) {
            case TWKind::Char:
                if (pos >= ns || sub.Units[pos].TextView() != u.TextView())
                    return -1;
                ++pos;
                break;
            case TWKind::Question:
                if (pos < ns)
                    ++pos;
                break;
            case TWKind::Number:
                if (pos >= ns || sub.Units[pos].Text[0] < '0' || sub.Units[pos].Text[0] > '9')
                    return -1;
                ++pos;
                break;
            case TWKind::PickupFrom:
                if (record)
                    capStart = pos;
                break;
            case TWKind::PickupTo:
                if (record && pos > furthest) {
                    furthest = pos;
                    caps.emplace_back(capStart, pos);
                }
                break;
            case TWKind::Asterisk: {
                if (k + 1 == n || (k + 2 == n && pat.Units[k + 1].Kind == TWKind::PickupTo)) {
                    pos = ns;
                    break;
                }
                int i = pos;
                while (i <= ns && Run(k + 1, i, false) < 0)
                    ++i;
                if (i > ns)
                    return -1;
                if (!record)
                    return Run(k + 1, i, false);
                pos = i;
                break;
            }
            case TWKind::Kakko: {
                // Classes are checked through a one-unit pattern of the real matcher.
                const TWKakko& c = pat.Classes[u.Kakko];
                if (c.Kind == TWKakko::Single) {
                    if (pos >= ns || c.Contains(sub.Units[pos].Code) == c.Negated)
                        return -1;
                    ++pos;
                } else if (c.Kind == TWKakko::Choice) {
                    bool taken = false;
                    for (size_t a = 0; a < c.Alternatives.size() && !taken; ++a) {
                        std::string text;
                        int chars = static_cast<int>(c.AltChars[a]);
                        if (pos + chars > ns)
                            continue;
                        for (int j = 0; j < chars; ++j)
                            text += sub.Units[pos + j].TextView();
                        if (text == c.Alternatives[a])
                            pos += chars, taken = true;
                    }
                    if (!taken)
                        return -1;
                } else {
                    int start = pos;
                    while (pos < ns && !(!c.Follower.empty() && sub.Units[pos].TextView() == c.Follower) &&
                           c.Contains(sub.Units[pos].Code) != c.Negated)
                        ++pos;
                    if (c.Kind == TWKakko::Plus && pos == start)
                        return -1;
                }
                break;
            }
            }
        }
        return pos;
    }
};

bool HasBadFollower(const TWString& p)
{
    for (const auto& c : p.Classes)
        if (c.BadFollower)
            return true;
    return false;
}

TEST(WildcardTest, AgreesWithTheUnitByUnitMatcher)
{
    std::mt19937 rng(2024);
    const char patAlphabet[] = "ab*****?()#[]!+=|1";
    const char subAlphabet[] = "ab1ab1ab1[]";
    int compared = 0, matched = 0;
    for (int n = 0; n < 20000; ++n) {
        std::string pat, sub;
        int pl = rng() % 10, sl = rng() % 9;
        for (int i = 0; i < pl; ++i)
            pat += patAlphabet[rng() % (sizeof(patAlphabet) - 1)];
        for (int i = 0; i < sl; ++i)
            sub += subAlphabet[rng() % (sizeof(subAlphabet) - 1)];
        TWString p = TWString::CompilePattern(pat);
        if (HasBadFollower(p)) {
            EXPECT_THROW(TWildcard(pat).WholeMatch(sub), EWildcard) << pat;
            continue;
        }
        TWString s;
        TWString::CompileSubject(sub, s);
        ReferenceMatcher ref{p, s, static_cast<int>(s.Units.size()), 0, -1, {}};
        int want = ref.Run(0, 0, true);
        size_t end = 0;
        std::vector<std::pair<size_t, size_t>> caps;
        bool ok = TWildcard(pat).PrefixMatch(sub, end, &caps);
        ASSERT_EQ(ok, want >= 0) << "pattern " << pat << " subject " << sub;
        ++compared;
        if (!ok)
            continue;
        ++matched;
        auto offset = [&](int unit) { return unit < ref.ns ? s.Units[unit].SrcBegin : sub.size(); };
        ASSERT_EQ(end, offset(want)) << "pattern " << pat << " subject " << sub;
        ASSERT_EQ(caps.size(), ref.caps.size()) << "pattern " << pat << " subject " << sub;
        for (size_t i = 0; i < caps.size(); ++i) {
            EXPECT_EQ(caps[i].first, offset(ref.caps[i].first)) << pat << " / " << sub;
            EXPECT_EQ(caps[i].second, offset(ref.caps[i].second)) << pat << " / " << sub;
        }
    }
    EXPECT_GT(compared, 15000);
    EXPECT_GT(matched, 3000);
}

// Long runs of stars and many stars over long subjects: no recursion per star and
// no table of stars x subject length (which was 2.4 GB for the second case).
TEST(WildcardTest, HugeStarCountsStayBounded)
{
    long t0 = NowMs();
    std::string stars(200000, '*');
    EXPECT_TRUE(WildcardWholeMatch("abc", stars));
    EXPECT_TRUE(WildcardWholeMatch("abc", stars + "c"));
    EXPECT_FALSE(WildcardWholeMatch("abc", stars + "x"));
    std::string starsAndChars;
    for (int i = 0; i < 200000; ++i)
        starsAndChars += "*a";
    EXPECT_TRUE(WildcardPrefixMatch(std::string(200000, 'a'), starsAndChars).Ok);
    EXPECT_FALSE(WildcardWholeMatch(std::string(199999, 'a'), starsAndChars));

    std::string subject(100000, 'a');
    subject += 'b';
    std::string pattern;
    for (int i = 0; i < 3000; ++i)
        pattern += "*a";
    EXPECT_FALSE(WildcardWholeMatch(subject, pattern + "*c"));
    TWildcardResult r = WildcardPrefixMatch(subject, "(" + pattern + ")*b");
    ASSERT_TRUE(r.Ok);
    EXPECT_EQ(r.Captures, std::vector<std::string>{std::string(3000, 'a')});
    EXPECT_TRUE(WildcardWholeMatch(subject, pattern + "*b"));
    EXPECT_LT(NowMs() - t0, 5000);
}

// Random patterns over random subjects: every match terminates quickly and the
// reported spans lie inside the subject.
TEST(WildcardTest, RandomPatternsStayInBounds)
{
    std::mt19937 rng(12345);
    const char alphabet[] = "ab*?[]()!-+=|#\\x1";
    long t0 = NowMs();
    for (int n = 0; n < 3000; ++n) {
        std::string pat, sub;
        int pl = rng() % 12, sl = rng() % 20;
        for (int i = 0; i < pl; ++i)
            pat += alphabet[rng() % (sizeof(alphabet) - 1)];
        for (int i = 0; i < sl; ++i)
            sub += alphabet[rng() % (sizeof(alphabet) - 1)];
        try {
            TWildcard w(pat);
            size_t end = 0;
            std::vector<std::pair<size_t, size_t>> caps;
            if (w.PrefixMatch(sub, end, &caps)) {
                ASSERT_LE(end, sub.size());
                for (auto& c : caps) {
                    ASSERT_LE(c.first, c.second);
                    ASSERT_LE(c.second, sub.size());
                }
            }
        } catch (const EWildcard&) {
        }
    }
    long ms = NowMs() - t0;
    EXPECT_LT(ms, 5000);
}

}   // namespace

namespace {

// A subject whose units would take more than one command may build is refused
// with the memory message; one just below is matched.
TEST(WildcardTest, SubjectBeyondTheMemoryLimitIsRefused)
{
    const size_t limit = (size_t{1} << 30) / sizeof(TWSeq);
    std::string big(limit + 1, 'a');
    try {
        WildcardWholeMatch(big, "*b");
        ADD_FAILURE() << "matched";
    } catch (const EPoru& e) {
        EXPECT_EQ(e.Message, "メモリが足りません。作ろうとした文字列が大きすぎます。");
    }
    big.resize(limit / 8);
    EXPECT_TRUE(WildcardWholeMatch(big, "a*"));
}

}   // namespace
