// The text-level parts of the system commands: the command-line splitter of the
// start commands, the key texts of キー送信 and the encrypted-file layout.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "commands/system/cmdline_split.h"
#include "commands/system/encrypted_file.h"
#include "commands/system/key_sequence.h"
#include "loader/cipher.h"

namespace {

using Words = std::vector<std::string>;

// ---- the splitter ----

TEST(CommandLineSplit, WindowsQuotingRules)
{
    struct Row {
        const char* line;
        Words words;
    };
    const Row rows[] = {
        {"", {}},
        {"   ", {}},
        {"a.txt", {"a.txt"}},
        {"  a   b\tc  ", {"a", "b", "c"}},
        {"\"a b\" c", {"a b", "c"}},
        {"x\"a b\"y", {"xa by"}},
        {"\"\"", {""}},
        {"a \"\" b", {"a", "", "b"}},
        {"\"say \"\"hi\"\"\"", {"say \"hi\""}},
        {"a\\b c\\\\d", {"a\\b", "c\\\\d"}},   // backslashes alone stay
        {"\\\"q\\\"", {"\"q\""}},              // \" is a quote
        {"\"a\\\\\" b", {"a\\", "b"}},         // \\" is a backslash, then the quote ends
        {"\"a\\\\\\\" b\"", {"a\\\" b"}},      // \\\" is a backslash and a quote
        {"C:\\Program Files\\x.exe", {"C:\\Program", "Files\\x.exe"}},
        {"-q \"open quote", {"-q", "open quote"}},   // an unclosed quote runs to the end
        {"; rm -rf / && echo $HOME | `id`", {";", "rm", "-rf", "/", "&&", "echo", "$HOME", "|", "`id`"}},
    };
    for (const Row& r : rows)
        EXPECT_EQ(SplitCommandLine(r.line), r.words) << r.line;
}

TEST(CommandLineSplit, TwoByteCharactersAreCopiedWhole)
{
    // 表 and ソ end in 0x5C, which must not escape the quote that follows.
    EXPECT_EQ(SplitCommandLine("\"表\" ソ"), (Words{"表", "ソ"}));
    EXPECT_EQ(SplitCommandLine("\"ソ表\"x"), (Words{"ソ表x"}));
    EXPECT_EQ(SplitCommandLine("能 \"予 定\""), (Words{"能", "予 定"}));
    EXPECT_EQ(SplitAtFirstSpace("\"表 ソ\" -q").Program, "\"表 ソ\"");
}

TEST(CommandLineSplit, ProgramParts)
{
    TCommandParts p = SplitAtFirstSpace("notepad a.txt");
    EXPECT_EQ(p.Program, "notepad");
    EXPECT_EQ(p.Params, "a.txt");
    p = SplitAtFirstSpace("\"C:\\My Tools\\x.exe\"  -q  ");
    EXPECT_EQ(p.Program, "\"C:\\My Tools\\x.exe\"");   // the quotes stay
    EXPECT_EQ(p.Params, "-q");
    EXPECT_EQ(StripQuotes(p.Program), "C:\\My Tools\\x.exe");
    p = SplitAtFirstSpace("alone");
    EXPECT_EQ(p.Program, "alone");
    EXPECT_EQ(p.Params, "");

    p = SplitQuotedProgram("\"/opt/my tool/run\" a \"b c\"");
    EXPECT_EQ(p.Program, "/opt/my tool/run");   // the quotes go
    EXPECT_EQ(p.Params, "a \"b c\"");
    p = SplitQuotedProgram("sleep 0.5");
    EXPECT_EQ(p.Program, "sleep");
    EXPECT_EQ(p.Params, "0.5");
    p = SplitQuotedProgram("\"unclosed program");
    EXPECT_EQ(p.Program, "unclosed program");
    EXPECT_EQ(p.Params, "");
}

// ---- key texts ----

// A compact picture of an action list: D+ U+ (Shift) D^ U^ (Ctrl) D% U% (Alt),
// [NAME] for a named key, the character itself otherwise.
std::string Picture(const std::vector<TKeyAction>& actions)
{
    std::string out;
    for (const TKeyAction& a : actions) {
        const char mod = a.Modifier == TKeyModifier::Shift ? '+' : a.Modifier == TKeyModifier::Ctrl ? '^' : '%';
        switch (a.Kind) {
        case TKeyAction::Down:
            out += std::string("D") + mod;
            break;
        case TKeyAction::Up:
            out += std::string("U") + mod;
            break;
        case TKeyAction::Char:
            out += a.Text;
            break;
        case TKeyAction::Typed:
            out += "<" + a.Text + ">";
            break;
        case TKeyAction::Named:
            if (a.Key == TNamedKey::Tab)
                out += "[TAB]";
            else if (a.Key == TNamedKey::Enter)
                out += "[ENTER]";
            else if (a.Key == TNamedKey::Escape)
                out += "[ESC]";
            else if (a.Key == TNamedKey::Backspace)
                out += "[BS]";
            else if (a.Key >= TNamedKey::F1)
                out += "[F" + std::to_string(static_cast<int>(a.Key) - static_cast<int>(TNamedKey::F1) + 1) + "]";
            else
                out += "[?]";
            break;
        }
    }
    return out;
}

TEST(KeySequence, Grammar)
{
    struct Row {
        const char* keys;
        const char* picture;
    };
    const Row rows[] = {
        {"abc", "abc"},
        {"^c", "D^cU^"},
        {"+a", "D+aU+"},
        {"%f", "D%fU%"},
        {"^+a", "D^D+aU+U^"},
        {"+(ab)c", "D+abU+c"},
        {"{TAB 3}", "[TAB][TAB][TAB]"},
        {"{tab}", "[TAB]"},
        {"{F5}", "[F5]"},
        {"{f16}{F1}", "[F16][F1]"},
        {"~", "[ENTER]"},
        {"{ENTER}{ESC}{ESCAPE}{BS}{BKSP}{BACKSPACE}", "[ENTER][ESC][ESC][BS][BS][BS]"},
        {"{}}", "}"},
        {"{{}", "{"},
        {"{+}{^}{%}{~}{(}{)}", "+^%~()"},
        {"{a 3}", "aaa"},
        {"{TAB 0}x", "x"},
        {"あ+い", "<あ>D+<い>U+"},
        {"{あ 2}", "<あ><あ>"},
        {"ｱ", "<ｱ>"},         // single-byte kana is typed text
        {"{TAB", "{TAB"},     // no closing brace: the characters themselves
        {"a)b", "a)b"},       // a ")" outside a group
        {"+(ab", "D+abU+"},   // a group left open ends with the text
        {"^", "D^U^"},        // a modifier at the end is pressed and released
        {"", ""},
    };
    for (const Row& r : rows) {
        std::vector<TKeyAction> out;
        std::string error;
        ASSERT_TRUE(ParseKeySequence(r.keys, out, error)) << r.keys << " " << error;
        EXPECT_EQ(Picture(out), r.picture) << r.keys;
    }
}

TEST(KeySequence, BadTextsAreErrors)
{
    struct Row {
        const char* keys;
        const char* error;
    };
    const Row rows[] = {
        {"{FOO}", "{FOO}"},     {"{F17}", "{F17}"},           {"{F0}", "{F0}"},
        {"{TAB x}", "{TAB x}"}, {"{TAB 1001}", "{TAB 1001}"}, {"ab{}", "{}"},
    };
    for (const Row& r : rows) {
        std::vector<TKeyAction> out;
        std::string error;
        EXPECT_FALSE(ParseKeySequence(r.keys, out, error)) << r.keys;
        EXPECT_EQ(error, r.error) << r.keys;
    }
    std::vector<TKeyAction> out;
    std::string error;
    EXPECT_TRUE(ParseKeySequence("{TAB 1000}", out, error));
    EXPECT_EQ(out.size(), 1000u);
}

// Every Down is matched by an Up of the same modifier, in nesting order, whatever
// the text; parsing always ends.
bool Balanced(const std::vector<TKeyAction>& actions)
{
    std::vector<TKeyModifier> held;
    for (const TKeyAction& a : actions) {
        if (a.Kind == TKeyAction::Down) {
            held.push_back(a.Modifier);
        } else if (a.Kind == TKeyAction::Up) {
            if (held.empty() || held.back() != a.Modifier)
                return false;
            held.pop_back();
        }
    }
    return held.empty();
}

TEST(KeySequence, ModifiersAreAlwaysReleased)
{
    std::vector<TKeyAction> out;
    std::string error;
    // Deep nesting is refused, and what was parsed is still balanced.
    const std::string deep = std::string(5000, '+') + "a";
    EXPECT_FALSE(ParseKeySequence(deep, out, error));
    EXPECT_TRUE(Balanced(out));
    EXPECT_FALSE(ParseKeySequence(std::string(5000, '(') + "a", out, error));
    EXPECT_TRUE(ParseKeySequence("^(+{FOO", out, error));   // "{FOO" without "}" is text
    EXPECT_TRUE(Balanced(out));
    EXPECT_FALSE(ParseKeySequence("^(+{FOO}a)", out, error));
    EXPECT_TRUE(Balanced(out));

    std::mt19937 gen(14);
    const std::string alphabet = "+^%(){}~aT 1AB9\x82\xa0";
    for (int n = 0; n < 3000; ++n) {
        std::string text;
        const int len = static_cast<int>(gen() % 24);
        for (int i = 0; i < len; ++i)
            text += alphabet[gen() % alphabet.size()];
        ParseKeySequence(text, out, error);
        ASSERT_TRUE(Balanced(out)) << text;
    }
}

// ---- encrypted files ----

std::string Hex(const std::string& bytes)
{
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

const std::string kSecret = std::string("秘密") + '\0' + "の文";

TEST(EncryptedFile, CommittedVector)
{
    EXPECT_EQ(kFileKey.size(), 29u);
    // Files written by any copy of the run-time must stay readable: the key and the
    // layout are fixed.
    EXPECT_EQ(Hex(EncryptText(kSecret)), "a36d898ed96b6d2f787f499880");
    std::string back;
    ASSERT_TRUE(DecryptText(EncryptText(kSecret), back));
    EXPECT_EQ(back, kSecret);
}

TEST(EncryptedFile, Layout)
{
    const std::string text("abc\0def", 7);
    TCipher plain{EncryptText(text)};
    plain.Scramble(kFileKey);   // the scrambler is its own inverse
    ASSERT_EQ(plain.Bytes.size(), 4 + text.size());
    EXPECT_EQ(plain.Bytes.substr(0, 4), std::string("\x07\x00\x00\x00", 4));
    EXPECT_EQ(plain.Bytes.substr(4), text);
}

TEST(EncryptedFile, RoundTripsAndDamage)
{
    std::string all;
    for (int c = 0; c < 256; ++c)
        all += static_cast<char>(c);
    for (const std::string& text : {all, std::string("漢字とカナ\r\n二行目"), std::string(70000, '\0')}) {
        std::string back;
        ASSERT_TRUE(DecryptText(EncryptText(text), back));
        EXPECT_EQ(back, text);
    }
    EXPECT_EQ(EncryptText(""), "");   // an empty text is an empty file
    std::string back = "old";
    EXPECT_TRUE(DecryptText("", back));
    EXPECT_EQ(back, "");

    const std::string file = EncryptText(kSecret);
    EXPECT_FALSE(DecryptText(file.substr(0, 3), back));
    EXPECT_FALSE(DecryptText(file.substr(0, file.size() - 1), back));   // shorter than its length
    // A file scrambled with another key carries a length that does not fit.
    TCipher other{std::string("\x05\x00\x00\x00"
                              "hello",
                              9)};
    other.Scramble("another key");
    EXPECT_FALSE(DecryptText(other.Bytes, back));
}

}   // namespace
