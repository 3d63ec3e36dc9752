// Text files as the text commands read and write them: which bytes are taken for
// UTF-8, their conversion to values, the conversion of values to the chosen
// encoding and line ends, characters without a Shift_JIS code on the way, and INI
// files that keep their encoding.
// Narrow literals here are Shift_JIS; UTF-8 bytes are written as u8 literals.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "commands/system/ini_file.h"
#include "core/codec.h"

namespace fs = std::filesystem;

namespace {

std::string U8(const char8_t* s)
{
    return std::string(reinterpret_cast<const char*>(s));
}

// True when the UTF-8 text holds a code point of the private-use area.
bool HasPrivateUse(const std::string& utf8)
{
    for (size_t i = 0; i < utf8.size();) {
        uint32_t cp = 0;
        const size_t len = DecodeUtf8At(utf8, i, cp);
        if (len == 0)
            return true;   // not even UTF-8
        if (cp >= 0xE000 && cp <= 0xF8FF)
            return true;
        i += len;
    }
    return false;
}

TEST(TextFiles, WhichBytesAreUtf8)
{
    EXPECT_TRUE(IsUtf8Text(U8(u8"\uFEFFabc")));   // the mark alone decides
    EXPECT_TRUE(IsUtf8Text(U8(u8"日付,金額")));
    EXPECT_FALSE(IsUtf8Text("plain ascii\r\n"));   // nothing to convert
    EXPECT_FALSE(IsUtf8Text(""));
    EXPECT_FALSE(IsUtf8Text("日付,金額"));   // Shift_JIS
    std::string bytes256;
    for (int b = 0; b < 256; ++b)
        bytes256 += static_cast<char>(b);
    EXPECT_FALSE(IsUtf8Text(bytes256));
    // The start of a longer file may end inside a character.
    const std::string cut = U8(u8"あい").substr(0, 4);
    EXPECT_FALSE(IsUtf8Text(cut));
    EXPECT_TRUE(IsUtf8Text(cut, true));
    EXPECT_FALSE(IsUtf8Text(std::string("\xE3\x81", 2), true));   // no whole character at all
}

TEST(TextFiles, ReadingConvertsUtf8AndLeavesEverythingElse)
{
    EXPECT_EQ(TextFileToSjis(U8(u8"\uFEFF日付,品名\r\n1,りんご\n")), "日付,品名\r\n1,りんご\n");
    // Linux text carries some JIS characters in other code points: they are read as
    // the Shift_JIS character that a script writes itself.
    EXPECT_EQ(TextFileToSjis(U8(u8"10\u301C20\u2212")), "10〜20−");
    const std::string sjis = "日付,品名\r\nｶﾞ\x80";
    EXPECT_EQ(TextFileToSjis(sjis), sjis);
}

TEST(TextFiles, CharactersOutsideShiftJisSurviveAUtf8RoundTrip)
{
    const std::string original = U8(u8"寿司🍣と𠮷野家😀\r\n");
    const std::string value = TextFileToSjis(original);
    EXPECT_EQ(value.substr(0, 4), "寿司");
    std::vector<TLostChar> lost;
    const std::string back = SjisToTextFile(value, TTextEncoding::Utf8, TLineEnd::CrLf, &lost);
    EXPECT_EQ(back, original);
    EXPECT_TRUE(lost.empty());
    EXPECT_FALSE(HasPrivateUse(back));
    // Line ends as chosen.
    EXPECT_EQ(SjisToTextFile(value, TTextEncoding::Utf8, TLineEnd::Lf), U8(u8"寿司🍣と𠮷野家😀\n"));
}

TEST(TextFiles, ShiftJisWritesKeepTheBytesAndNameWhatTheyCannotHold)
{
    // Bytes of an ordinary value go out as they are, half-width kana, a lone CR and
    // bytes that are no character included.
    const std::string plain = "漢字ｶﾅ\r\n\r\x80";
    std::vector<TLostChar> lost;
    EXPECT_EQ(SjisToTextFile(plain, TTextEncoding::Sjis, TLineEnd::CrLf, &lost), plain);
    EXPECT_EQ(SjisToTextFile(plain, TTextEncoding::Sjis, TLineEnd::Lf, &lost), "漢字ｶﾅ\n\r\x80");
    EXPECT_TRUE(lost.empty());

    // A character typed or read that Shift_JIS has no code for: its reference, never
    // its per-process code.
    const std::string value = Utf8ToSjis(U8(u8"a🍣b𠮷"));
    const std::string out = SjisToTextFile(value, TTextEncoding::Sjis, TLineEnd::CrLf, &lost);
    EXPECT_EQ(out, "a&#x1F363;b&#x20BB7;");
    ASSERT_EQ(lost.size(), 2u);
    EXPECT_EQ(lost[0].CodePoint, 0x1F363u);
    EXPECT_EQ(lost[0].WrittenAs, "&#x1F363;");
    EXPECT_EQ(lost[1].CodePoint, 0x20BB7u);

    // WAVE DASH typed on Linux has a JIS character of its own: written as that.
    lost.clear();
    EXPECT_EQ(SjisToTextFile(Utf8ToSjis(U8(u8"\u301C")), TTextEncoding::Sjis, TLineEnd::CrLf, &lost), "〜");
    EXPECT_TRUE(lost.empty());
}

TEST(TextFiles, Utf8WritesReplaceBytesThatAreNoCharacter)
{
    std::vector<TLostChar> lost;
    EXPECT_EQ(SjisToTextFile("a\x80"
                             "b\x82",
                             TTextEncoding::Utf8Bom, TLineEnd::CrLf, &lost),
              U8(u8"a\uFFFDb\uFFFD"));
    ASSERT_EQ(lost.size(), 2u);
    EXPECT_EQ(lost[0].CodePoint, 0xFFFDu);
    EXPECT_EQ(SjisToTextFile("ｱ漢\r\n", TTextEncoding::Utf8, TLineEnd::CrLf), U8(u8"ｱ漢\r\n"));
}

class TextFilesIni : public ::testing::Test {
protected:
    void SetUp() override
    {
        char tmpl[] = "/tmp/poru-textfiles-XXXXXX";
        dir_ = mkdtemp(tmpl);
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    std::string Path(const std::string& name) const { return dir_ + "/" + name; }
    static std::string Read(const std::string& p)
    {
        std::ifstream in(p, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    static void Write(const std::string& p, const std::string& bytes) { std::ofstream(p, std::ios::binary) << bytes; }

    std::string dir_;
};

TEST_F(TextFilesIni, Utf8FileIsReadAndStaysUtf8)
{
    const std::string file = Path("u.ini");
    Write(file, U8(u8"\uFEFF; コメント 〜\n[設定]\n名前 = \"山田\"\n"));
    std::string v;
    bool failed = true;
    EXPECT_TRUE(IniReadFile(file, "設定", "名前", v, failed));
    EXPECT_EQ(v, "山田");
    EXPECT_FALSE(failed);

    std::vector<TLostChar> lost;
    ASSERT_TRUE(
        IniWriteFile(file, "設定", "好物", Utf8ToSjis(U8(u8"寿司🍣")), TTextEncoding::Sjis, TLineEnd::CrLf, &lost));
    EXPECT_EQ(Read(file), U8(u8"\uFEFF; コメント 〜\n[設定]\n名前 = \"山田\"\n好物=寿司🍣\n"));
    EXPECT_TRUE(lost.empty());
    EXPECT_TRUE(IniReadFile(file, "設定", "好物", v, failed));
    EXPECT_EQ(SjisToUtf8(v), U8(u8"寿司🍣"));
}

TEST_F(TextFilesIni, ShiftJisFileStaysShiftJisAndNewFilesTakeTheChoice)
{
    const std::string sjis = Path("s.ini");
    Write(sjis, "[設定]\r\n名前=山田\r\n");
    ASSERT_TRUE(IniWriteFile(sjis, "設定", "名前", "鈴木", TTextEncoding::Utf8, TLineEnd::Lf));
    EXPECT_EQ(Read(sjis), "[設定]\r\n名前=鈴木\r\n");

    const std::string fresh = Path("new.ini");
    ASSERT_TRUE(IniWriteFile(fresh, "設定", "名前", "鈴木", TTextEncoding::Utf8Bom, TLineEnd::Lf));
    EXPECT_EQ(Read(fresh), U8(u8"\uFEFF[設定]\n名前=鈴木\n"));

    std::vector<TLostChar> lost;
    ASSERT_TRUE(IniWriteFile(sjis, "設定", "絵", Utf8ToSjis(U8(u8"🍣")), TTextEncoding::Sjis, TLineEnd::CrLf, &lost));
    EXPECT_EQ(Read(sjis), "[設定]\r\n名前=鈴木\r\n絵=&#x1F363;\r\n");
    ASSERT_EQ(lost.size(), 1u);
    EXPECT_EQ(lost[0].CodePoint, 0x1F363u);
}

}   // namespace
