// The files of received mail: attachment names from strangers made safe, saving
// without ever replacing or following a link, the numbered mail files, the text.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "core/codec.h"
#include "net/mail_files.h"

namespace fs = std::filesystem;

namespace {

std::string ReadBytes(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

class MailFolder : public ::testing::Test {
protected:
    fs::path dir;
    int fd = -1;
    void SetUp() override
    {
        char tmpl[] = "/tmp/poru-mail-XXXXXX";
        dir = mkdtemp(tmpl);
        fs::create_directory(dir / "in");
        fd = open((dir / "in").c_str(), O_RDONLY | O_DIRECTORY);
    }
    void TearDown() override
    {
        close(fd);
        fs::remove_all(dir);
    }
};

}   // namespace

TEST(AttachmentNames, StrangersNamesStayInsideTheFolder)
{
    struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"report.pdf", "report.pdf"},
        {"../../.bashrc", "bashrc"},
        {"..\\..\\win.ini", "win.ini"},
        {"/etc/passwd", "passwd"},
        {"C:evil.exe", "evil.exe"},
        {"dir/", "添付ファイル"},
        {"..", "添付ファイル"},
        {"", "添付ファイル"},
        {"...", "添付ファイル"},
        {"a\x01"
         "b\x7f"
         "c\td.txt",
         "abcd.txt"},
        {"Re: 資料.txt", "資料.txt"},   // the text after the first space
        {"x  y z.txt", "y z.txt"},
        {"表.txt", "表.txt"},   // 0x95 0x5C: the trail byte is no separator
        {"能力\\ソ.txt", "ソ.txt"},
        {"security.ini", "_security.ini"},
        {"SECURITY.INI", "_SECURITY.INI"},
        {". .hidden ", "hidden"},
        {"\x81/../evil.txt", "evil.txt"},   // no trail byte: the "/" is a separator
        {"a\x81", "a_"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(AttachmentFileName(c.in), c.out) << c.in;
}

TEST(AttachmentNames, LongNamesFitAndKeepTheirExtension)
{
    std::string longName;
    for (int i = 0; i < 150; ++i)
        longName += "資";
    const std::string name = AttachmentFileName(longName + ".pdf");
    EXPECT_LE(ToNativePath(name).size(), 200u);
    EXPECT_GT(ToNativePath(name).size(), 190u);
    EXPECT_EQ(name.substr(name.size() - 4), ".pdf");
    EXPECT_EQ(name.substr(0, 2), "資");
    EXPECT_EQ(name.size() % 2, 0u) << "cut at a character boundary";
}

TEST(AttachmentNames, HugeNamesAreCutWithoutConvertingPerCharacter)
{
    std::string huge;
    for (int i = 0; i < 50000; ++i)
        huge += "資";
    const auto start = std::chrono::steady_clock::now();
    const std::string name = AttachmentFileName(huge + ".txt");
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(seconds, 2.0);
    EXPECT_LE(ToNativePath(name).size(), 200u);
    EXPECT_GT(ToNativePath(name).size(), 190u);
    EXPECT_EQ(name.substr(name.size() - 4), ".txt");
}

TEST(MailTextFile, ItemsInOrder)
{
    TParsedMail m;
    m.From = "a@x";
    m.To = "b@x";
    m.Date = "2024/12/03 09:05:00";
    m.Subject = "件名";
    m.Body = "本文\r\n";
    EXPECT_EQ(MailText(m, "添付ファイル:a.txt\r\n"),
              "送信者:a@x\r\n受信者:b@x\r\n日時:2024/12/03 "
              "09:05:00\r\n件名:件名\r\n添付ファイル:a.txt\r\n本文:\r\n\r\n本文\r\n");
    m.ReplyTo = "r@x";
    EXPECT_EQ(MailText(m, "").rfind("返信先:r@x\r\n送信者:a@x\r\n", 0), 0u);
}

TEST_F(MailFolder, AttachmentsNeverReplaceAndNeverFollowLinks)
{
    std::ofstream(dir / "in" / "a.txt") << "old";
    EXPECT_EQ(SaveAttachment(fd, "a.txt", "new1"), "_a.txt");
    EXPECT_EQ(SaveAttachment(fd, "a.txt", "new2"), "__a.txt");
    EXPECT_EQ(ReadBytes(dir / "in" / "a.txt"), "old");
    EXPECT_EQ(ReadBytes(dir / "in" / "__a.txt"), "new2");

    // a link in the folder that points outside is taken, not written through
    fs::create_symlink(dir / "outside.txt", dir / "in" / "link.txt");
    EXPECT_EQ(SaveAttachment(fd, "link.txt", "data"), "_link.txt");
    EXPECT_FALSE(fs::exists(dir / "outside.txt"));

    // the "_" loop ends
    std::string name = "b.txt";
    for (int i = 0; i <= kMaxPrefixes; ++i, name = "_" + name)
        std::ofstream(dir / "in" / name) << "x";
    EXPECT_EQ(SaveAttachment(fd, "b.txt", "data"), "");

    // Shift_JIS names are written as native names
    EXPECT_EQ(SaveAttachment(fd, "資料.txt", "j"), ToNativePath("資料.txt"));
    EXPECT_EQ(ReadBytes(dir / "in" / ToNativePath("資料.txt")), "j");
}

TEST_F(MailFolder, NumberedMailsSkipTakenNumbers)
{
    EXPECT_EQ(SaveNumberedMail(fd, 1, "t1", "r1"), 1);
    std::ofstream(dir / "in" / "2.txt") << "mine";
    std::ofstream(dir / "in" / "3.eml") << "mine too";
    EXPECT_EQ(SaveNumberedMail(fd, 1, "t4", "r4"), 4);
    EXPECT_EQ(SaveNumberedMail(fd, 5, "t5", "r5"), 5);
    EXPECT_EQ(ReadBytes(dir / "in" / "1.txt"), "t1");
    EXPECT_EQ(ReadBytes(dir / "in" / "4.eml"), "r4");
    EXPECT_EQ(ReadBytes(dir / "in" / "2.txt"), "mine");
    EXPECT_EQ(ReadBytes(dir / "in" / "3.eml"), "mine too");
    EXPECT_FALSE(fs::exists(dir / "in" / "3.txt"));
}
