// Regular expressions: m// with every flag, s/// with group references and empty
// matches, tr/// with ranges and c/d/s, split with the limit, Shift_JIS subjects and
// patterns whose trail bytes are metacharacters, and errors.
#include <gtest/gtest.h>

#include "commands/patterns/regex.h"

namespace {

struct MatchCase {
    const char* expr;
    const char* subject;
    std::vector<std::string> groups;   // empty: no match
};

const MatchCase kMatchCases[] = {
    {"m/(\\d+)-(\\d+)-(\\d+)/", "2003-01-12", {"2003-01-12", "2003", "01", "12"}},
    {"m/abc/i", "xABCx", {"ABC"}},
    {"m/abc/", "xABCx", {}},
    {"m/^b/m", "a\r\nb", {"b"}},
    {"m/^b/", "a\r\nb", {}},
    {"m/a$/m", "a\r\nb", {"a"}},   // CR LF is a line end
    {"m/a.b/s", "a\nb", {"a\nb"}},
    {"m/a.b/", "a\nb", {}},
    {"m/ a b # comment\n/x", "ab", {"ab"}},
    {"m{a/b}", "a/b", {"a/b"}},
    {"m#a\\#b#", "a#b", {"a#b"}},
    {"m/(a)|(b)/", "b", {"b", "", "b"}},   // a group that took no part is empty
    {"m/表/", "表示", {"表"}},             // 0x95 0x5C: no stray backslash
    {"m/ソ+/", "ソソ", {"ソソ"}},
    {"m/[ぁ-ん]+/", "カナかなカナ", {"かな"}},
    {"m/[表ソ]/", "\\ソ", {"ソ"}},   // a class holding 0x5C trail bytes
    {"m/ｶﾞ/", "ｱｶﾞ", {"ｶﾞ"}},        // half-width kana
    {"m/\\d+/", "１２3", {"3"}},     // \d stays ASCII
    {"m/(.)(.)/", "漢字", {"漢字", "漢", "字"}},
    {"m/①/", "①②", {"①"}},   // NEC special characters
};

TEST(RegexTest, MatchTable)
{
    for (const auto& c : kMatchCases) {
        TBRegExp re;
        std::vector<std::string> groups;
        int n = re.Match(c.expr, c.subject, groups);
        EXPECT_EQ(groups, c.groups) << c.expr;
        EXPECT_EQ(n, c.groups.empty() ? 0 : static_cast<int>(c.groups.size())) << c.expr;
    }
}

TEST(RegexTest, WrapMatch)
{
    const std::pair<const char*, const char*> cases[] = {
        {"(\\d+)-(\\d+)", "m/(\\d+)-(\\d+)/"},
        {"a/b", "m/a\\/b/"},
        {"a\\/b", "m/a\\/b/"},
        {"main\\d", "main\\d"},   // starts with m: taken as m with delimiter "a"
        {"表/", "m/表\\//"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TBRegExp::WrapMatch(c.first), c.second);
    TBRegExp re;
    std::vector<std::string> g;
    EXPECT_EQ(re.Match(TBRegExp::WrapMatch("a/b"), "xa/by", g), 1);
    EXPECT_EQ(g, std::vector<std::string>{"a/b"});
}

struct SubstCase {
    const char* expr;
    const char* subject;
    const char* result;
    int count;
};

const SubstCase kSubstCases[] = {
    {"s/a/b/", "banana", "bbnana", 1},
    {"s/a/b/g", "banana", "bbnbnb", 3},
    {"s/x/y/g", "abc", "abc", 0},
    {"s/(\\w+)@(\\w+)/$2 at $1/", "me@host", "host at me", 1},
    {"s/(\\w+)@(\\w+)/\\2 at \\1/", "me@host", "host at me", 1},
    {"s/(a)/${1}1/g", "aa", "a1a1", 2},
    {"s/a+/[$&]/", "baab", "b[aa]b", 1},
    {"s/x*/-/g", "abc", "-a-b-c-", 4},
    {"s/a*/-/g", "aaa", "--", 2},
    {"s/,/\\n/g", "a,b", "a\r\nb", 1},
    {"s/(\\r\\n){3,}/\\r\\n\\r\\n/g", "a\r\n\r\n\r\nb\r\n", "a\r\n\r\nb\r\n", 1},   // \r\n is one line break
    {"s/;/\\r/g", "a;b", "a\rb", 1},
    {"s/;/\\r\\\\n/g", "a;b", "a\r\\nb", 1},
    {"s/\\t/\\$/", "a\tb", "a$b", 1},
    {"s/B/c/gi", "abAB", "acAc", 2},
    {"s/表/裏/g", "表示表", "裏示裏", 2},
    {"s/ソ/\\\\/", "ソ", "\\", 1},
    {"s{a}{b}", "aa", "ba", 1},
    {"s/(x)?a/[$1]/g", "aa", "[][]", 2},
    {"s/$/!/mg", "a\r\nb", "a!\r\nb!", 2},
};

TEST(RegexTest, SubstTable)
{
    for (const auto& c : kSubstCases) {
        TBRegExp re;
        std::string out;
        EXPECT_EQ(re.Subst(c.expr, c.subject, out), c.count) << c.expr;
        EXPECT_EQ(out, c.result) << c.expr;
    }
}

struct TransCase {
    const char* expr;
    const char* subject;
    const char* result;
    int count;
};

const TransCase kTransCases[] = {
    {"tr/a-z/A-Z/", "abc1", "ABC1", 3},
    {"tr/a-y/b-z/", "hello", "ifmmp", 5},
    {"tr/a-c//s", "aabbcc", "abc", 6},
    {"tr/a-z//cd", "hello world", "helloworld", 1},
    {"tr/a-c/A/", "abc", "AAA", 3},
    {"tr/a-c/A/d", "abcd", "Ad", 3},
    {"tr/ぁ-ん/ァ-ン/", "ひらがな", "ヒラガナ", 4},
    {"tr/表/裏/", "表ソ", "裏ソ", 1},
    {"tr/\\-/_/", "a-b", "a_b", 1},
    {"y/x/z/", "xx", "zz", 2},
    {"tr/q//", "abc", "abc", 0},
};

TEST(RegexTest, TransTable)
{
    for (const auto& c : kTransCases) {
        TBRegExp re;
        std::string out;
        EXPECT_EQ(re.Trans(c.expr, c.subject, out), c.count) << c.expr;
        EXPECT_EQ(out, c.result) << c.expr;
    }
}

struct SplitCase {
    const char* expr;
    const char* subject;
    int limit;
    std::vector<std::string> pieces;
};

const SplitCase kSplitCases[] = {
    {"m/,/", "a,b,,", 1000, {"a", "b", "", ""}},        {"m/,/", ",a", 1000, {"", "a"}},
    {"m//", "abc", 1000, {"a", "b", "c", ""}},          {"m/x*/", "axxb", 1000, {"a", "b", ""}},
    {"m/(,)/", ",a,b", 1000, {"", ",", "a", ",", "b"}}, {"m/,/", "", 1000, {}},
    {"m/,/", "a,b,c,d", 3, {"a", "b", "c,d"}},          {"m/\\s+/", "表 ソ  示", 1000, {"表", "ソ", "示"}},
    {"m/\\\\/", "ソ\\表", 1000, {"ソ", "表"}},
};

TEST(RegexTest, SplitTable)
{
    for (const auto& c : kSplitCases) {
        TBRegExp re;
        std::vector<std::string> pieces;
        EXPECT_EQ(re.Split(c.expr, c.subject, c.limit, pieces), static_cast<int>(c.pieces.size())) << c.expr;
        EXPECT_EQ(pieces, c.pieces) << c.expr;
    }
}

TEST(RegexTest, Errors)
{
    struct ErrCase {
        const char* expr;
        char kind;
        const char* message;   // start of the message
    } cases[] = {
        {"main\\d", 'm', "missing closing delimiter"},
        {"m/(a/", 'm', "missing closing parenthesis"},
        {"m/a/z", 'm', "unknown flag: z"},
        {"s/a/b", 's', "missing closing delimiter"},
        {"a/b/", 's', "unknown operator"},
        {"m", 'm', "missing delimiter"},
        {"tr/z-a/x/", 't', "invalid range"},
    };
    for (const auto& c : cases) {
        TBRegExp re;
        std::string out;
        std::vector<std::string> g;
        try {
            if (c.kind == 'm')
                re.Match(c.expr, "abc", g);
            else if (c.kind == 's')
                re.Subst(c.expr, "abc", out);
            else
                re.Trans(c.expr, "abc", out);
            ADD_FAILURE() << "no error for " << c.expr;
        } catch (const ERegex& e) {
            EXPECT_EQ(std::string(e.what()).rfind(c.message, 0), 0u) << e.what();
        }
    }
}

TEST(RegexTest, RunawayPatternEndsInError)
{
    TBRegExp re;
    std::vector<std::string> g;
    std::string subject(40, 'a');
    subject += "b";
    try {
        re.Match("m/(a+)+$/", subject.substr(0, 30) + "!", g);
        re.Match("m/(?:a|a)*(?:a|a)*(?:a|a)*c/", subject, g);
        ADD_FAILURE() << "the runaway pattern finished";
    } catch (const ERegex& e) {
        EXPECT_NE(std::string(e.what()).find("limit"), std::string::npos) << e.what();
    }
}

TEST(RegexTest, CompiledFormIsReused)
{
    TBRegExp re;
    std::vector<std::string> g;
    EXPECT_EQ(re.Match("m/(a)(b)/", "ab", g), 3);
    EXPECT_EQ(re.GroupCount(), 2);
    EXPECT_EQ(re.Match("m/(a)(b)/", "xab", g), 3);
    EXPECT_EQ(re.Match("m/(c)/", "c", g), 2);
    EXPECT_EQ(re.GroupCount(), 1);
}

TEST(RegexTest, InvalidShiftJisBytesSurvive)
{
    TBRegExp re;
    std::string out;
    std::string subject = std::string("a\x81") + "b\xFF" + std::string(1, '\0') + "a";
    EXPECT_EQ(re.Subst("s/a/z/g", subject, out), 2);
    std::string want = subject;
    want[0] = 'z';
    want[want.size() - 1] = 'z';
    EXPECT_EQ(out, want);
}

}   // namespace

namespace {

// Global replace and split over a long subject of two-byte characters: every match
// after the first runs on the subject already checked, and empty matches step one
// whole character at a time.
TEST(RegexTest, LongSubjectsReplaceAndSplitWhole)
{
    std::string subject, replaced, stepped = "-";
    for (int i = 0; i < 3000; ++i) {
        subject += "漢a字";
        replaced += "漢b字";
        stepped += "漢-a-字-";
    }
    TBRegExp re;
    std::string out;
    EXPECT_EQ(re.Subst("s/a/b/g", subject, out), 3000);
    EXPECT_EQ(out, replaced);
    EXPECT_EQ(re.Subst("s/x*/-/g", subject, out), 3 * 3000 + 1);
    EXPECT_EQ(out, stepped);
    std::vector<std::string> pieces;
    EXPECT_EQ(re.Split("m/a/", subject, 100000, pieces), 3001);
    ASSERT_EQ(pieces.size(), 3001u);
    EXPECT_EQ(pieces.front(), "漢");
    EXPECT_EQ(pieces[1], "字漢");
    EXPECT_EQ(pieces.back(), "字");
}

}   // namespace
