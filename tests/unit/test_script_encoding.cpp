// Script file encodings: the UTF-8 classification and checked conversion of the
// codec, the decoding of script bytes (detection, -sjis / -utf8, errors naming the
// line and the character) and the start-up options that choose it.
// Narrow literals here are Shift_JIS; UTF-8 input is written as u8 literals.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/codec.h"
#include "interp/interp.h"
#include "interp/startup.h"
#include "loader/script_encoding.h"

namespace fs = std::filesystem;

namespace {

std::string U8(const char8_t* s)
{
    return std::string(reinterpret_cast<const char*>(s));
}

const std::string kMark = "\xEF\xBB\xBF";

TEST(ScriptEncoding, ClassifiesUtf8Strictly)
{
    struct Case {
        std::string bytes;
        TUtf8Kind kind;
    } cases[] = {
        {"", TUtf8Kind::Ascii},
        {"abc\r\n", TUtf8Kind::Ascii},
        {U8(u8"「あ」を表示"), TUtf8Kind::MultiByte},
        {U8(u8"x😀"), TUtf8Kind::MultiByte},
        {"「あ」を表示", TUtf8Kind::Invalid},            // Shift_JIS
        {"\xC0\xAF", TUtf8Kind::Invalid},                // overlong "/"
        {"\xED\xA0\x80", TUtf8Kind::Invalid},            // a surrogate
        {"\xF4\x90\x80\x80", TUtf8Kind::Invalid},        // above U+10FFFF
        {U8(u8"あ").substr(0, 2), TUtf8Kind::Invalid},   // cut short
    };
    for (const Case& c : cases)
        EXPECT_EQ(ClassifyUtf8(c.bytes), c.kind) << c.bytes;
}

TEST(ScriptEncoding, StrictConversionStopsAtTheFirstCharacterWithoutACode)
{
    struct Case {
        std::string utf8;
        size_t bad;         // npos: converted throughout
        std::string sjis;   // the conversion (of the text before `bad`)
    } cases[] = {
        {U8(u8"「表示」と①髙ｱ"), std::string::npos, "「表示」と①髙ｱ"},
        // The JIS forms of CP932 characters are taken as those characters.
        {U8(u8"〜−—‖¢£¬"), std::string::npos, "～－―∥￠￡￢"},
        {U8(u8"ab¥"), 2, "ab"},   // would turn into "\"
        {U8(u8"あ‾"), 3, "あ"},   // would turn into "~"
        {U8(u8"あ😀い"), 3, "あ"},
        {U8(u8"한"), 0, ""},
        {"a\xFF"
         "b",
         1, "a"},
    };
    for (const Case& c : cases) {
        std::string out;
        EXPECT_EQ(Utf8ToSjisStrict(c.utf8, out), c.bad) << c.utf8;
        EXPECT_EQ(out, c.sjis) << c.utf8;
    }
}

TEST(ScriptEncoding, DecodesByDetectionOrByTheForcedEncoding)
{
    const std::string sjis = "「あ」を表示\r\n";
    const std::string utf8 = U8(u8"「あ」を表示\r\n");
    struct Case {
        std::string bytes;
        TScriptEncoding encoding;
        std::string text;
    } cases[] = {
        {utf8, TScriptEncoding::Auto, sjis},         {kMark + utf8, TScriptEncoding::Auto, sjis},
        {sjis, TScriptEncoding::Auto, sjis},         {"abc", TScriptEncoding::Auto, "abc"},
        {kMark, TScriptEncoding::Auto, ""},          {utf8, TScriptEncoding::Utf8, sjis},
        {kMark + utf8, TScriptEncoding::Utf8, sjis}, {utf8, TScriptEncoding::Sjis, utf8},   // taken as it is
        {sjis, TScriptEncoding::Sjis, sjis},
    };
    for (const Case& c : cases) {
        const TScriptText r = DecodeScriptBytes(c.bytes, c.encoding);
        EXPECT_TRUE(r.Ok) << c.bytes << " " << r.Message;
        EXPECT_EQ(r.Text, c.text) << c.bytes;
    }
}

TEST(ScriptEncoding, FailuresNameTheLineAndTheCharacter)
{
    struct Case {
        std::string bytes;
        TScriptEncoding encoding;
        int line;
        std::string utf8Message;
    } cases[] = {
        {U8(u8"「あ」\r\n「😀」\r\n"), TScriptEncoding::Auto, 2, U8(u8"文字「😀」(U+1F600)はShift_JISで表せません。")},
        // CR LF, CR and LF each end a line.
        {U8(u8"a\r\nb\rc\nd\n\n¥"), TScriptEncoding::Auto, 6, U8(u8"文字「¥」(U+00A5)はShift_JISで表せません。")},
        {kMark + U8(u8"あ\n한"), TScriptEncoding::Auto, 2, U8(u8"文字「한」(U+D55C)はShift_JISで表せません。")},
        // A mark declares UTF-8, so a broken byte after it is an error.
        {kMark + "a\n\n\x82\xA0", TScriptEncoding::Auto, 3, U8(u8"UTF-8として正しくないバイト(0x82)があります。")},
        {"a\r\n「あ」", TScriptEncoding::Utf8, 2, U8(u8"UTF-8として正しくないバイト(0x81)があります。")},
    };
    for (const Case& c : cases) {
        const TScriptText r = DecodeScriptBytes(c.bytes, c.encoding);
        ASSERT_FALSE(r.Ok) << c.bytes;
        EXPECT_EQ(r.Line, c.line) << c.bytes;
        EXPECT_EQ(SjisToUtf8(r.Message), c.utf8Message);
        EXPECT_TRUE(r.Text.empty());
    }
    TScriptText r;
    r.Line = 4;
    r.Message = "メッセージ";
    EXPECT_EQ(ScriptTextFailure("/a/b/c.prk", r), "c.prk(4行目): メッセージ");
}

class ScriptEncodingStart : public ::testing::Test {
protected:
    fs::path dir;
    fs::path savedCwd;
    void SetUp() override
    {
        char tmpl[] = "/tmp/porukana-enc-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        savedCwd = fs::current_path();
    }
    void TearDown() override
    {
        fs::current_path(savedCwd);
        fs::remove_all(dir);
    }
    std::string Write(const char* name, const std::string& bytes)
    {
        std::ofstream(dir / name, std::ios::binary) << bytes;
        return FromNativePath((dir / name).string());
    }
};

TEST_F(ScriptEncodingStart, OptionsChooseTheEncodingOfTheStartFile)
{
    const std::string utf8 = Write("u.prk", U8(u8"「あ」を表示\n"));
    const std::string sjis = Write("s.prk", "「あ」を表示\n");
    const std::string exe = FromNativePath((dir / "rt").string());
    struct Case {
        std::vector<std::string> params;
        bool ok;
        std::string source;      // when ok
        std::string errorText;   // otherwise
        TScriptEncoding chosen;
    } cases[] = {
        {{"rt", utf8}, true, "「あ」を表示\r\n", "", TScriptEncoding::Auto},
        {{"rt", "-utf8", utf8}, true, "「あ」を表示\r\n", "", TScriptEncoding::Utf8},
        {{"rt", "-sjis", utf8}, true, U8(u8"「あ」を表示\r\n"), "", TScriptEncoding::Sjis},
        {{"rt", sjis}, true, "「あ」を表示\r\n", "", TScriptEncoding::Auto},
        {{"rt", sjis, "-utf8"},
         false,
         "",
         "s.prk(1行目): UTF-8として正しくないバイト(0x81)があります。",
         TScriptEncoding::Utf8},
    };
    for (const Case& c : cases) {
        TPoruBase st;
        const TStartResult r = PrepareStart(st, c.params, exe);
        EXPECT_EQ(r.HasProgram, c.ok) << c.params.back();
        if (c.ok)
            EXPECT_EQ(st.Source, c.source);
        else
            EXPECT_EQ(r.ErrorText, c.errorText);
        EXPECT_EQ(RunScriptEncoding(st), c.chosen);
        fs::current_path(savedCwd);
    }
}

}   // namespace
