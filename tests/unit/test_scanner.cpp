// Scanning functions: character sets, words, numbers, delimited reads, literals
// and groups, including double-byte characters whose second byte is "\".
#include <gtest/gtest.h>

#include "core/error.h"
#include "loader/scanner.h"

namespace {

struct ReadCase {
    std::string text;
    std::string result;
    std::string rest;   // what the cursor stands on afterwards
};

template <class F> void RunReadCases(const char* what, const std::vector<ReadCase>& cases, F read)
{
    for (const auto& c : cases) {
        const char* p = c.text.c_str();
        EXPECT_EQ(read(p), c.result) << what << ": " << c.text;
        EXPECT_STREQ(p, c.rest.c_str()) << what << ": " << c.text;
    }
}

// Message of the EPoru raised while reading, "" when none.
template <class F> std::string ErrorOf(const std::string& text, F read)
{
    const char* p = text.c_str();
    try {
        read(p);
    } catch (const EPoru& e) {
        return e.Message;
    }
    return "";
}

}   // namespace

TEST(ScannerSets, MembersAreExactlyTheListedBytes)
{
    struct Case {
        const char* name;
        bool (*test)(unsigned char);
        std::string members;
    } cases[] = {
        {"blank", IsBlank, std::string("\t ,\xA4")},
        {"terminator", IsWordTerminator, std::string("\t\r \"#%&()*+,-/:;<=>?\\^`\xA4")},
        {"operator", IsOperatorChar, std::string("%&*+-/<=>^|")},
    };
    for (const auto& c : cases) {
        int count = 0;
        for (int b = 0; b < 256; ++b) {
            const bool expected = c.members.find(static_cast<char>(b)) != std::string::npos;
            EXPECT_EQ(c.test(static_cast<unsigned char>(b)), expected) << c.name << " byte " << b;
            count += c.test(static_cast<unsigned char>(b));
        }
        EXPECT_EQ(count, static_cast<int>(c.members.size())) << c.name;
    }
    EXPECT_EQ(std::string("\t\r \"#%&()*+,-/:;<=>?\\^`\xA4").size(), 24u);
}

TEST(ReadChar, OneCharacterAtATime)
{
    std::string text = "表A\x81";   // a lead byte as the very last byte
    const char* p = text.c_str();
    EXPECT_EQ(ReadChar(p), "表");
    EXPECT_EQ(ReadChar(p), "A");
    EXPECT_EQ(ReadChar(p), "\x81");
    EXPECT_EQ(ReadChar(p), "");
    EXPECT_EQ(ReadChar(p), "");
    EXPECT_EQ(*p, '\0');
}

TEST(SkipSeparators, BlanksOnly)
{
    RunReadCases("SkipSeparators",
                 {
                     {", x", "", "x"},
                     {"\t,\xA4 ,y", "", "y"},
                     {"\r\nz", "", "\r\nz"},
                     {"、", "", "、"},
                     {"", "", ""},
                 },
                 [](const char*& p) {
                     SkipSeparators(p);
                     return std::string();
                 });
    RunReadCases("SkipSpaces", {{" \t, x", "", ", x"}}, [](const char*& p) {
        SkipSpaces(p);
        return std::string();
    });
}

TEST(ReadWord, StopsAtTerminatorsOnly)
{
    std::vector<ReadCase> cases = {
        {"表示する(1)", "表示する", "(1)"},
        {"  \tabc.def+1", "abc.def", "+1"},
        {"A,B", "A", ",B"},
        {", A", "", ", A"},   // a comma is not skipped
        {"x!$'@[]{}|~.y z", "x!$'@[]{}|~.y", " z"},
        {"ab\ncd\re", "ab\ncd", "\re"},   // LF is not a terminator, CR is
        {"表示\\n", "表示", "\\n"},       // 表's second byte is 0x5C
        {"ソ能=1", "ソ能", "=1"},         // ソ and 能 end in 0x5C too
        {"a\x95", "a\x95", ""},           // lead byte at the end
        {"A\xA4"
         "B",
         "A",
         "\xA4"
         "B"},
        {"名前`x", "名前", "`x"},
        {"", "", ""},
    };
    RunReadCases("ReadWord", cases, [](const char*& p) { return ReadWord(p); });
    RunReadCases("ReadWordView", cases, [](const char*& p) { return std::string(ReadWordView(p)); });
}

TEST(ReadNumberLiteral, DecimalHexAndSign)
{
    RunReadCases("ReadNumberLiteral",
                 {
                     {"-$FF", "-255", ""},
                     {"$ff;", "255", ";"},
                     {"$7FFFFFFFFFFFFFFF", "9223372036854775807", ""},
                     {"$FFFFFFFFFFFFFFFFF", "0", ""},   // beyond 64 bits
                     {"$", "0", ""},
                     {"$zz", "0", "zz"},
                     {"3.5e2x", "3.5e2", "x"},
                     {"3.5E-2", "3.5E-2", ""},
                     {"3.5e+2", "3.5e+2", ""},
                     {"2.5e", "2.5", "e"},
                     {"2.5e-x", "2.5", "e-x"},
                     {"12.", "12", "."},
                     {"1e5", "1", "e5"},
                     {"0.25.5", "0.25", ".5"},
                     {".5x", ".5", "x"},
                     {"+7", "+7", ""},
                     {", 42abc", "42", "abc"},
                     {"-12.75)", "-12.75", ")"},
                     {"abc", "", "abc"},
                 },
                 [](const char*& p) { return ReadNumberLiteral(p); });
}

TEST(ReadUntil, DelimiterConsumedNotReturned)
{
    struct Case {
        std::string text;
        std::string delimiter;
        std::string result;
        std::string rest;
    } cases[] = {
        {"abc;def", ";", "abc", "def"}, {"no delimiter", ";", "no delimiter", ""}, {"a\r\nb\rc", "\r\n", "a", "b\rc"},
        {"表示\\x", "\\", "表示", "x"},   // the trail byte 0x5C never matches
        {"ソ", "\\", "ソ", ""},         {"前まで後", "まで", "前", "後"},          {"", ";", "", ""},
    };
    for (const auto& c : cases) {
        const char* p = c.text.c_str();
        EXPECT_EQ(ReadUntil(p, c.delimiter), c.result) << c.text;
        EXPECT_STREQ(p, c.rest.c_str()) << c.text;
    }
}

TEST(ReadUntilEsc, EscapedDelimiterDoesNotMatch)
{
    RunReadCases("ReadUntilEsc",
                 {
                     {"a\\\"b\"c", "a\\\"b", "c"},
                     {"\\\\\"x", "\\\\", "x"},
                     {"abc\\", "abc\\", ""},   // escape at the very end
                     {"\\表\"", "\\表", ""},   // the escaped character is double-byte
                     {"表\"後", "表", "後"},   // 表's trail byte is not an escape
                     {"none", "none", ""},
                 },
                 [](const char*& p) { return ReadUntilEsc(p, "\"", '\\'); });
}

TEST(ReadUntilSet, SingleBytesOfTheSet)
{
    ByteSet set;
    set.set(';');
    set.set(',');
    set.set('\\');
    set.set(0x95);   // a lead byte in the set does not split 表
    RunReadCases("ReadUntilSet",
                 {
                     {"表示,a", "表示", "a"},
                     {"ab;cd,ef", "ab", "cd,ef"},
                     {"表\\x", "表", "x"},
                     {"ソ;", "ソ", ""},
                     {"表", "表", ""},
                     {"", "", ""},
                 },
                 [&set](const char*& p) { return ReadUntilSet(p, set); });
}

TEST(ReadLiteral, WholeLiteralWithDelimiters)
{
    RunReadCases("ReadLiteral",
                 {
                     {"  \"abc\" x", "\"abc\"", " x"},
                     {", \"x\"", "\"x\"", ""},
                     {"\"a\\\"b\"c", "\"a\\\"b\"", "c"},
                     {"\"表\"後", "\"表\"", "後"},   // 0x5C as a trail byte is no escape
                     {"\"\\表\"", "\"\\表\"", ""},
                     {"\"\"", "\"\"", ""},
                     {"`a``b` c", "`a``b`", " c"},
                     {"``x", "``", "x"},
                     {"````", "````", ""},
                     {"`a\"b`", "`a\"b`", ""},
                     {"\"a`b\"", "\"a`b\"", ""},
                     {"abc", "", "abc"},
                     {" , 12", "", "12"},
                 },
                 [](const char*& p) { return ReadLiteral(p); });
}

TEST(ReadLiteral, UnterminatedLiterals)
{
    const std::string quote = "対応するカッコ \" または 」 がありません。";
    const std::string backquote = "対応するカッコ ` または 』 がありません。";
    EXPECT_EQ(kMsgNoCloseQuote, quote);
    EXPECT_EQ(kMsgNoCloseBackquote, backquote);
    struct Case {
        std::string text;
        std::string message;
    } cases[] = {
        {"\"abc", quote},    {"\"abc\\\"", quote},   // the only closing quote is escaped
        {"\"abc\\", quote},  {"\"表\x81", quote},
        {"`abc", backquote}, {"`abc``", backquote},   // a doubled backquote does not close
        {"\"ok\"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ErrorOf(c.text, [](const char*& p) { return ReadLiteral(p); }), c.message) << c.text;
}

TEST(ReadLiteral, LengthBound)
{
    const std::string text = "\"abcdef\"rest";
    struct Case {
        size_t maxLen;
        bool found;
    } cases[] = {{0, true}, {6, true}, {7, true}, {5, false}, {1, false}};
    for (const auto& c : cases) {
        const char* p = text.c_str();
        if (c.found) {
            EXPECT_EQ(ReadLiteral(p, c.maxLen), "\"abcdef\"") << c.maxLen;
            EXPECT_STREQ(p, "rest");
        } else {
            EXPECT_THROW(ReadLiteral(p, c.maxLen), EPoru) << c.maxLen;
        }
    }
}

TEST(ReadGroup, MatchingParenthesis)
{
    RunReadCases("ReadGroup",
                 {
                     {"(a(b)\")\"c)rest", "a(b)\")\"c", "rest"},
                     {"(x(y(z)))!", "x(y(z))", "!"},
                     {"()", "", ""},
                     {" ,(x)", "x", ""},
                     {"x(1)", "", "x(1)"},
                     {"(`)`)", "`)`", ""},
                     {"(`a``)`)", "`a``)`", ""},
                     {"(\"\\\")\")", "\"\\\")\"", ""},
                     {"(表)後", "表", "後"},
                     {"(\"表\")", "\"表\"", ""},   // 表's trail byte inside a literal is no escape
                 },
                 [](const char*& p) { return ReadGroup(p); });
}

TEST(ReadGroup, UnbalancedGroup)
{
    const std::string message = "\")\"が対応していません。";
    EXPECT_EQ(kMsgNoCloseParen, message);
    for (const char* text : {"(a(b)", "(\")\"", "(`)`", "(", "(表\x81", "(\"\\"})
        EXPECT_EQ(ErrorOf(text, [](const char*& p) { return ReadGroup(p); }), message) << text;
}
