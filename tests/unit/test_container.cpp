// The packed container, its scrambler, the search for a container appended to an
// executable and the start-up that takes a program from one.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <csignal>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "core/codec.h"
#include "interp/builtins.h"
#include "interp/interp.h"
#include "interp/startup.h"
#include "loader/cipher.h"
#include "loader/container.h"
#include "loader/container_temp.h"
#include "loader/elf.h"

namespace fs = std::filesystem;

namespace {

std::string ReadBytes(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteBytes(const fs::path& p, const std::string& bytes)
{
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

uint32_t Le32(const std::string& b, size_t off)
{
    return static_cast<unsigned char>(b[off]) | static_cast<unsigned char>(b[off + 1]) << 8 |
           static_cast<unsigned char>(b[off + 2]) << 16 |
           static_cast<uint32_t>(static_cast<unsigned char>(b[off + 3])) << 24;
}

std::string AllBytes()
{
    std::string s;
    for (int i = 0; i < 256; ++i)
        s += static_cast<char>(i);
    return s;
}

class ContainerTest : public ::testing::Test {
protected:
    fs::path dir;
    fs::path savedCwd;
    void SetUp() override
    {
        char tmpl[] = "/tmp/poru-container-XXXXXX";
        dir = mkdtemp(tmpl);
        savedCwd = fs::current_path();
    }
    void TearDown() override
    {
        fs::current_path(savedCwd);
        fs::remove_all(dir);
    }
    // Writes a container with the given (name, bytes, flag) entries.
    fs::path MakeContainer(const std::vector<std::tuple<std::string, std::string, int>>& entries,
                           const std::string& file = "c.mix")
    {
        TFileMixWriter w;
        int i = 0;
        for (const auto& [name, bytes, flag] : entries) {
            fs::path src = dir / ("src" + std::to_string(i++));
            WriteBytes(src, bytes);
            w.Entries.push_back(FromNativePath(src.string()) + "=" + name + "=" + std::to_string(flag));
        }
        EXPECT_TRUE(w.Save((dir / file).string()));
        return dir / file;
    }
    // A copy of this test executable, optionally with bytes appended.
    fs::path CopyOfSelf(const std::string& appended, const std::string& name = "prog")
    {
        fs::path self = fs::read_symlink("/proc/self/exe");
        std::string image = ReadBytes(self);
        fs::path out = dir / name;
        WriteBytes(out, image + appended);
        chmod(out.c_str(), 0755);
        return out;
    }
};

// ---- scrambler ----

TEST(Cipher, KeysAreTheFixedShiftJisTexts)
{
    EXPECT_EQ(kEntryKey.size(), 16u);
    EXPECT_EQ(kDefaultKey.size(), 17u);
    EXPECT_EQ(std::string(kEntryKey), "\x3c\x82\xcb\x82\xb1\x23\x82\xdd\x82\xa9\x81\x5b\x3f\x3e\x3e\x3e");
    EXPECT_EQ(std::string(kDefaultKey), "\x83\x5e\x62\x83\x6b\x83\x4c\x64\x34\x35\x82\xcb\x36\x59\x23\x82\xe0");
}

// Regression values of the generator with this system's seeding (computed by an
// independent implementation of the algorithm).
TEST(Cipher, GeneratorAndScrambleRegression)
{
    SeedCipherGenerator(kCipherSeed);
    const uint32_t words[] = {0x3e7a7284, 0x84b920bb, 0x1fb81a76, 0x29fe7be1,
                              0xce1b8e95, 0xc835a323, 0x78ead63a, 0xc515b8cf};
    for (uint32_t w : words)
        EXPECT_EQ(NextCipherWord(), w);

    struct Case {
        std::string_view key;
        std::string expected;
    } cases[] = {
        {kEntryKey, "\x02\x06\xd4\xab\x7f\xeb\xfa\x18"}, {"", "\xbd\xda\x7d\xaa\xa5\x4b\x34\xa1"},   // the default key
    };
    for (const Case& c : cases) {
        TCipher cipher(std::string(8, '\0'));
        cipher.Scramble(c.key);
        EXPECT_EQ(cipher.Bytes, c.expected);
    }
}

TEST(Cipher, ScrambleTwiceRestoresAndEveryCipherRestartsTheStream)
{
    const std::string original = AllBytes() + "漢字テキスト";
    for (std::string_view key : {std::string_view(), kEntryKey, std::string_view("k")}) {
        TCipher a(original);
        a.Scramble(key);
        EXPECT_NE(a.Bytes, original);
        TCipher b(a.Bytes);   // a new cipher re-seeds the generator
        b.Scramble(key);
        EXPECT_EQ(b.Bytes, original);
    }
}

TEST(Cipher, MemoryStreamWritesAndReadsAtItsPosition)
{
    TMemoryStream m;
    m.Write("abcdef", 6);
    m.Position = 2;
    m.Write("XYZWVU", 6);
    EXPECT_EQ(m.Bytes, "abXYZWVU");
    m.Position = 6;
    char buf[8] = {};
    EXPECT_EQ(m.Read(buf, 8), 2u);
    EXPECT_EQ(std::string(buf, 2), "VU");
    EXPECT_EQ(m.Read(buf, 8), 0u);
}

// ---- container ----

TEST(ContainerNames, UpperCasingLeavesDoubleByteCharactersAlone)
{
    struct {
        std::string in, out;
    } cases[] = {
        {"a.txt", "A.TXT"},
        {"ビa", "ビA"},   // ビ is 83 72: its second byte is "r"
        {"ソ\\x.txt", "ソ\\X.TXT"},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(UpperSjis(c.in), c.out) << c.in;
}

TEST_F(ContainerTest, RoundTripKeepsEveryByteAndFollowsTheLayout)
{
    const std::string plain = AllBytes();
    const std::string secret = "「秘密」のスクリプト\r\n" + AllBytes();
    fs::path c = MakeContainer({{"plain.bin", plain, 0}, {"dir\\Secret.prk", secret, 1}});
    const std::string file = ReadBytes(c);

    // Header: magic, version, count, total size.
    ASSERT_GE(file.size(), kMixHeaderSize + 2 * kMixRecordSize);
    EXPECT_EQ(file.substr(0, 4), "fMix");
    EXPECT_EQ(file[4], 1);
    EXPECT_EQ(static_cast<unsigned char>(file[5]) | static_cast<unsigned char>(file[6]) << 8, 2);
    EXPECT_EQ(Le32(file, 7), file.size());
    // Records: upper-cased names, offsets back to back after the directory.
    const size_t data0 = kMixHeaderSize + 2 * kMixRecordSize;
    EXPECT_EQ(std::string(file.c_str() + 11), "PLAIN.BIN");
    EXPECT_EQ(Le32(file, 11 + 256), data0);
    EXPECT_EQ(Le32(file, 11 + 260), plain.size());
    EXPECT_EQ(file[11 + 264], 0);
    EXPECT_EQ(std::string(file.c_str() + 11 + 265), "DIR\\SECRET.PRK");
    EXPECT_EQ(Le32(file, 11 + 265 + 256), data0 + plain.size());
    EXPECT_EQ(file[11 + 265 + 264], 1);
    // The plain entry is stored as is, the scrambled one is not.
    EXPECT_EQ(file.substr(data0, plain.size()), plain);
    EXPECT_NE(file.substr(data0 + plain.size()), secret);
    EXPECT_EQ(file.substr(data0 + plain.size()).size(), secret.size());

    TFileMixReader r(c.string());
    EXPECT_EQ(r.Index().Count, 2);
    std::string out;
    ASSERT_TRUE(r.ExtractEntry("plain.bin", out));
    EXPECT_EQ(out, plain);
    ASSERT_TRUE(r.ExtractEntry("dir\\secret.prk", out));
    EXPECT_EQ(out, secret);
    std::string text;
    ASSERT_TRUE(r.ReadEntryText("PLAIN.BIN", text));
    EXPECT_EQ(text, "");   // the zero byte at its start ends the text
    ASSERT_TRUE(r.ExtractEntryToFile("Plain.Bin", (dir / "out.bin").string()));
    EXPECT_EQ(ReadBytes(dir / "out.bin"), plain);
    ASSERT_TRUE(r.CopyContainer((dir / "copy.mix").string()));
    EXPECT_EQ(ReadBytes(dir / "copy.mix"), file);
}

TEST_F(ContainerTest, NamesAreFoundWithoutRegardToCaseAndTheLaterDuplicateWins)
{
    fs::path c = MakeContainer({{"a.txt", "first", 0}, {"A.TXT", "second", 0}, {"b.txt", "bee", 1}});
    TFileMixReader r(c.string());
    struct {
        const char* name;
        bool found;
        const char* bytes;
    } cases[] = {
        {"a.txt", true, "second"}, {"A.TXT", true, "second"}, {"A.txt", true, "second"},
        {"B.TXT", true, "bee"},    {"c.txt", false, ""},      {"", false, ""},
    };
    for (const auto& c2 : cases) {
        std::string out;
        EXPECT_EQ(r.ExtractEntry(c2.name, out), c2.found) << c2.name;
        if (c2.found) {
            EXPECT_EQ(out, c2.bytes);
        }
    }
}

TEST_F(ContainerTest, WrongMagicAndBadFlagsFailWithTheirMessages)
{
    WriteBytes(dir / "bad.mix", "fMiX\x01\x00\x00\x0b\x00\x00\x00");
    try {
        TFileMixReader r((dir / "bad.mix").string());
        FAIL() << "no error";
    } catch (const EContainer& e) {
        EXPECT_EQ(std::string(e.what()), "\"" + FromNativePath((dir / "bad.mix").string()) +
                                             "\"は、TFileMixHeaderでは形式が違うため読めません。");
    }
    WriteBytes(dir / "short.mix", "fM");
    EXPECT_THROW(TFileMixReader((dir / "short.mix").string()), EContainer);

    WriteBytes(dir / "x", "x");
    TFileMixWriter w;
    w.Entries.push_back(FromNativePath((dir / "x").string()) + "=x=256");
    EXPECT_THROW(w.Save((dir / "f.mix").string()), EContainer);
    TFileMixWriter missing;
    missing.Entries.push_back(FromNativePath((dir / "nothing").string()) + "=x=0");
    EXPECT_THROW(missing.Save((dir / "g.mix").string()), EContainer);
}

TEST_F(ContainerTest, EntryPointingPastTheEndIsAReadFailureNotACrash)
{
    fs::path c = MakeContainer({{"a", "abc", 0}});
    std::string bytes = ReadBytes(c);
    bytes[11 + 260] = 100;   // size 100, only 3 bytes there
    WriteBytes(c, bytes);
    TFileMixReader r(c.string());
    std::string out;
    EXPECT_FALSE(r.ExtractEntry("a", out));
}

TEST_F(ContainerTest, ADamagedEntryLeavesTheOthersAndAShortDirectoryIsNoContainer)
{
    fs::path c = MakeContainer({{"a", "abc", 0}, {"b", "defg", 1}});
    std::string bytes = ReadBytes(c);
    for (int i = 0; i < 4; ++i)   // entry "a": 0x7FFFFFF0 bytes, almost 2 GiB
        bytes[11 + 260 + i] = "\xF0\xFF\xFF\x7F"[i];
    WriteBytes(c, bytes);
    TFileMixReader r(c.string());
    std::string out;
    EXPECT_FALSE(r.ReadEntryText("a", out));
    ASSERT_TRUE(r.ExtractEntry("b", out));
    EXPECT_EQ(out, "defg");

    // A directory of 65535 records in a file of a few bytes is no container.
    std::string header = bytes.substr(0, 11);
    header[5] = header[6] = '\xFF';
    WriteBytes(dir / "short.mix", header + "x");
    try {
        TFileMixReader shortOne((dir / "short.mix").string());
        ADD_FAILURE() << "a directory longer than its file was read";
    } catch (const EContainer& e) {
        EXPECT_NE(std::string(e.what()).find("TFileMixHeader"), std::string::npos) << e.what();
    }
}

TEST_F(ContainerTest, SpecialFilesAreNoContainers)
{
    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
    for (const std::string& path : {(dir / "fifo").string(), dir.string(), std::string("/dev/null")}) {
        try {
            TFileMixReader r(path);
            ADD_FAILURE() << path << " opened as a container";
        } catch (const EContainer& e) {
            EXPECT_NE(std::string(e.what()).find("を開けません。"), std::string::npos) << path;
        }
        uint64_t offset = 0, size = 0;
        EXPECT_FALSE(LocateAppendedAt(path, offset, size)) << path;
        EXPECT_FALSE(IsElfFile(path)) << path;
    }
}

TEST_F(ContainerTest, HugeDeclaredEntryIsRefusedBeforeAnythingIsAllocated)
{
    fs::path c = MakeContainer({{"a", "abc", 0}});
    std::string bytes = ReadBytes(c);
    bytes[11 + 260] = 0;   // size 0x7FFFFF00: about 2 GB in a file of a few hundred bytes
    bytes[11 + 261] = '\xff';
    bytes[11 + 262] = '\xff';
    bytes[11 + 263] = 0x7f;
    WriteBytes(c, bytes);
    TFileMixReader r(c.string());
    // With an address-space limit below 2 GB an allocation first would throw.
    rlimit saved;
    getrlimit(RLIMIT_AS, &saved);
#ifndef __SANITIZE_ADDRESS__
    rlimit low{rlim_t(1) << 30, saved.rlim_max};
    setrlimit(RLIMIT_AS, &low);
#endif
    std::string out;
    bool extracted = true;
    EXPECT_NO_THROW(extracted = r.ExtractEntry("a", out));
    setrlimit(RLIMIT_AS, &saved);
    EXPECT_FALSE(extracted);
}

// ---- the end of an executable ----

TEST_F(ContainerTest, ElfEndOfARealExecutableIsItsSizeAndAppendedDataIsFound)
{
    fs::path self = fs::read_symlink("/proc/self/exe");
    uint64_t end = 0;
    ASSERT_TRUE(ElfImageEnd(self.string(), end));
    EXPECT_EQ(end, fs::file_size(self));
    EXPECT_TRUE(IsElfFile(self.string()));

    TMemoryStream m;
    fs::path bare = CopyOfSelf("");
    EXPECT_FALSE(LocateAppended(bare.string(), m));

    fs::path c = MakeContainer({{"porukana.prk", "表示\r\n", 1}});
    const std::string container = ReadBytes(c);
    fs::path packed = CopyOfSelf(container, "packed");
    ASSERT_TRUE(LocateAppended(packed.string(), m));
    EXPECT_EQ(m.Bytes, container);
    EXPECT_EQ(m.Position, 0u);
    uint64_t offset = 0, size = 0;
    ASSERT_TRUE(LocateAppendedAt(packed.string(), offset, size));
    EXPECT_EQ(offset, fs::file_size(self));
    EXPECT_EQ(size, container.size());
    TFileMixReader r(packed.string(), offset);
    std::string text;
    ASSERT_TRUE(r.ReadEntryText("porukana.prk", text));
    EXPECT_EQ(text, "表示\r\n");

    // Appended bytes without an "f" are no container.
    EXPECT_FALSE(LocateAppended(CopyOfSelf("xxxx", "nof").string(), m));
}

TEST_F(ContainerTest, MalformedFilesHaveNoContainer)
{
    const std::string image = ReadBytes(fs::read_symlink("/proc/self/exe"));
    struct {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"text", "fMix is only text"},
        {"empty", ""},
        {"truncated", image.substr(0, 200) + "fMix"},   // headers point past the end
        {"elfmagic", std::string("\x7f"
                                 "ELF",
                                 4) +
                         "fMix"},
        {"mz", "MZ" + std::string(100, 'f')},
    };
    TMemoryStream m;
    for (const auto& c : cases) {
        WriteBytes(dir / c.name, c.bytes);
        EXPECT_FALSE(LocateAppended((dir / c.name).string(), m)) << c.name;
    }
    uint64_t end;
    EXPECT_FALSE(ElfImageEnd((dir / "truncated").string(), end));
}

TEST(PeImage, EndOfTheLastSection)
{
    // MZ header with the PE header at 0x80; two sections, the last one raw at
    // 0x400 with 0x200 bytes.
    std::string head(0x400, '\0');
    head[0] = 'M';
    head[1] = 'Z';
    head[60] = static_cast<char>(0x80);
    head[0x80 + 6] = 2;
    const size_t last = 0x80 + 248 + 40;
    head[last + 16] = 0x00;
    head[last + 17] = 0x02;   // raw size 0x200
    head[last + 21] = 0x04;   // raw offset 0x400
    uint64_t end = 0;
    ASSERT_TRUE(PeImageEndOf(head, 0x700, end));
    EXPECT_EQ(end, 0x600u);
    EXPECT_FALSE(PeImageEndOf(head, 0x500, end));   // file shorter than its image
    head[0] = 'X';
    EXPECT_FALSE(PeImageEndOf(head, 0x700, end));
}

// ---- start-up ----

TEST(StartupText, LinesAreJoinedWithCrLfAfterEveryLine)
{
    struct {
        std::string in, out;
    } cases[] = {
        {"", ""},
        {"a", "a\r\n"},
        {"a\r\nb\r\n", "a\r\nb\r\n"},
        {"a\nb", "a\r\nb\r\n"},
        {"a\rb\r", "a\r\nb\r\n"},
        {"a\r\n\r\nb", "a\r\n\r\nb\r\n"},
        {"\n", "\r\n"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(JoinScriptLines(c.in), c.out) << c.in;
}

TEST(StartupText, DefaultStartFileIsTheExecutableWithPrk)
{
    struct {
        std::string exe, prk;
    } cases[] = {
        {"/usr/bin/porukana", "/usr/bin/porukana.prk"},
        {"/opt/app/prog.exe", "/opt/app/prog.prk"},
        {"/a.b/prog", "/a.b/prog.prk"},
        {"/x/.hidden", "/x/.hidden.prk"},
        {"prog.bin", "prog.prk"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DefaultStartFile(c.exe), c.prk) << c.exe;
}

TEST_F(ContainerTest, CommandLineOptionsSetTheState)
{
    WriteBytes(dir / "main.prk", "「あ」を表示\n");
    const std::string exe = FromNativePath((dir / "nothing-here").string());
    const std::string prk = FromNativePath((dir / "main.prk").string());
    struct Case {
        std::vector<std::string> params;
        bool debug, lineStop;
        int level;
    } cases[] = {
        {{"exe", prk}, false, false, 1},
        {{"exe", "-debug", prk}, true, false, 1},
        {{"exe", prk, "-linestop"}, false, true, 1},
        {{"exe", "-security", "HIGH", prk}, false, false, 2},
        {{"exe", "-security", "low", prk}, false, false, 0},
        {{"exe", "-security", "bogus", prk}, false, false, 1},
        {{"exe", "-Debug", "-x", prk}, false, false, 1},   // names are case-sensitive
    };
    for (const Case& c : cases) {
        TPoruBase st;
        TStartResult r = PrepareStart(st, c.params, exe);
        ASSERT_TRUE(r.HasProgram);
        EXPECT_EQ(st.DebugMode, c.debug);
        EXPECT_EQ(st.LineStop, c.lineStop);
        EXPECT_EQ(st.SecurityLevel, c.level);
        EXPECT_EQ(st.FileName, prk);
        EXPECT_EQ(st.Source, "「あ」を表示\r\n");
        EXPECT_FALSE(st.FromContainer);
        EXPECT_FALSE(st.DefaultStart);
        EXPECT_EQ(fs::current_path(), dir);
        fs::current_path(savedCwd);
    }
}

// Options before the script are start-up's business: the script's arguments begin
// with the script itself, so コマンドライン引数#1 is the first argument after it.
TEST_F(ContainerTest, OptionsBeforeTheScriptAreNotItsArguments)
{
    WriteBytes(dir / "main.prk", "「あ」を表示\n");
    const std::string exe = FromNativePath((dir / "nothing-here").string());
    const std::string prk = FromNativePath((dir / "main.prk").string());
    const std::vector<std::string> cases[] = {
        {"exe", prk, "in.csv", "-x"},
        {"exe", "-security", "low", prk, "in.csv", "-x"},
        {"exe", "-debug", "-linestop", prk, "in.csv", "-x"},
        {"exe", "-run", prk, "in.csv", "-x"},
    };
    for (const auto& params : cases) {
        TPoruBase st;
        ASSERT_TRUE(PrepareStart(st, params, exe).HasProgram);
        EXPECT_EQ(CommandLineText(st), prk + "\r\nin.csv\r\n-x") << params[1];
        EXPECT_EQ(st.ScriptPath, prk) << params[1];
        EXPECT_EQ(st.StartFolder, FromNativePath(dir.string()) + "/") << params[1];
        fs::current_path(savedCwd);
    }
}

TEST_F(ContainerTest, StartFailuresAreReportedWithTheirTexts)
{
    const std::string exe = FromNativePath((dir / "rt").string());
    {
        TPoruBase st;
        TStartResult r = PrepareStart(st, {"rt", FromNativePath((dir / "none.prk").string())}, exe);
        EXPECT_FALSE(r.HasProgram);
        EXPECT_EQ(r.MessageText, "起動ファイル「" + FromNativePath((dir / "none.prk").string()) + "」が読込めません。");
        EXPECT_EQ(r.ExitCode(), 2);
    }
    {
        TPoruBase st;
        TStartResult r = PrepareStart(st, {"rt"}, exe);   // no default start file either
        EXPECT_FALSE(r.HasProgram);
        EXPECT_TRUE(r.MessageText.empty());
    }
    {
        WriteBytes(dir / "plain.bin", "no program in here");
        TPoruBase st;
        TStartResult r = PrepareStart(st, {"rt", "-runtime", FromNativePath((dir / "plain.bin").string())}, exe);
        EXPECT_FALSE(r.HasProgram);
        EXPECT_EQ(r.WarningCaption, "プログラムの実行エラー");
        EXPECT_EQ(r.WarningText, "指定されたプログラムファイルは壊れています。");
    }
    {
        WriteBytes(dir / "main.prk", "a\n");
        WriteBytes(dir / "bad.res", "not a container");
        TPoruBase st;
        TStartResult r = PrepareStart(st,
                                      {"rt", "-resource", FromNativePath((dir / "bad.res").string()),
                                       FromNativePath((dir / "main.prk").string())},
                                      exe);
        EXPECT_FALSE(r.HasProgram);
        EXPECT_EQ(r.ErrorText, "リソースファイルの取り込みに失敗しました。");
    }
    {
        // An executable named as the start file is not read as a script.
        TPoruBase st;
        fs::path bin = CopyOfSelf("", "tool");
        TStartResult r = PrepareStart(st, {"rt", FromNativePath(bin.string())}, exe);
        EXPECT_FALSE(r.HasProgram);
        EXPECT_TRUE(r.MessageText.empty());
        EXPECT_TRUE(st.Source.empty());
    }
}

TEST_F(ContainerTest, SpecialFilesAsTheStartFileAreUnreadable)
{
    // A folder, a FIFO without a writer, a device and a file under /proc that fails
    // to read: the start-file message and exit status 2, without waiting or throwing.
    ASSERT_EQ(mkfifo((dir / "pipe.prk").c_str(), 0600), 0);
    fs::create_directory(dir / "folder.prk");
    const std::string exe = FromNativePath((dir / "rt").string());
    for (const std::string& native : {(dir / "folder.prk").string(), (dir / "pipe.prk").string(),
                                      std::string("/dev/zero"), std::string("/proc/self/mem")}) {
        const std::string path = FromNativePath(native);
        TPoruBase st;
        TStartResult r;
        EXPECT_NO_THROW(r = PrepareStart(st, {"rt", path}, exe)) << native;
        EXPECT_FALSE(r.HasProgram) << native;
        EXPECT_EQ(r.MessageText, "起動ファイル「" + path + "」が読込めません。");
        EXPECT_EQ(r.ExitCode(), 2);
        EXPECT_TRUE(st.Source.empty());
        fs::current_path(savedCwd);
    }
    {
        TPoruBase st;
        TStartResult r = PrepareStart(st, {"rt", "-runtime", FromNativePath((dir / "pipe.prk").string())}, exe);
        EXPECT_EQ(r.WarningText, "指定されたプログラムファイルは壊れています。");
    }
    {
        WriteBytes(dir / "main.prk", "a\n");
        TPoruBase st;
        TStartResult r = PrepareStart(st,
                                      {"rt", "-resource", FromNativePath((dir / "pipe.prk").string()),
                                       FromNativePath((dir / "main.prk").string())},
                                      exe);
        EXPECT_EQ(r.ErrorText, "リソースファイルの取り込みに失敗しました。");
    }
}

TEST_F(ContainerTest, DefaultStartFileRunsWithoutParameters)
{
    WriteBytes(dir / "rt.prk", "x\n");
    const std::string exe = FromNativePath((dir / "rt").string());
    TPoruBase st;
    TStartResult r = PrepareStart(st, {"rt"}, exe);
    ASSERT_TRUE(r.HasProgram);
    EXPECT_TRUE(st.DefaultStart);
    EXPECT_EQ(st.Source, "x\r\n");
    // Options alone still fall back to it.
    TPoruBase st2;
    ASSERT_TRUE(PrepareStart(st2, {"rt", "-debug"}, exe).HasProgram);
    EXPECT_TRUE(st2.DefaultStart);
    EXPECT_TRUE(st2.DebugMode);
}

TEST_F(ContainerTest, PackedProgramRunsWhateverTheCommandLineSaysUnlessRun)
{
    WriteBytes(dir / "other.prk", "other\n");
    for (int flag : {0, 1}) {
        fs::path c = MakeContainer({{"porukana.prk", "「包」を表示\r\n", flag}, {"data.txt", "d", 0}});
        fs::path prog = CopyOfSelf(ReadBytes(c), "prog" + std::to_string(flag));
        const std::string exe = FromNativePath(prog.string());
        const std::string other = FromNativePath((dir / "other.prk").string());

        TPoruBase st;
        TStartResult r = PrepareStart(st, {exe, "-debug", other}, exe);
        ASSERT_TRUE(r.HasProgram);
        EXPECT_TRUE(st.FromContainer);
        EXPECT_FALSE(st.DebugMode);   // options of a packed program are not read
        EXPECT_EQ(st.FileName, "porukana.prk");
        EXPECT_EQ(st.Source, "「包」を表示\r\n");
        ASSERT_TRUE(st.Ext<TPackedState>().Reader);
        EXPECT_TRUE(st.Ext<TPackedState>().Reader->Find("DATA.TXT"));

        TPoruBase st2;
        ASSERT_TRUE(PrepareStart(st2, {exe, "-run", other}, exe).HasProgram);
        EXPECT_FALSE(st2.FromContainer);
        EXPECT_EQ(st2.Source, "other\r\n");
        fs::current_path(savedCwd);

        // The same program given to another run-time with -runtime.
        TPoruBase st3;
        const std::string rt = FromNativePath((dir / "rt").string());
        ASSERT_TRUE(PrepareStart(st3, {rt, "-runtime", exe, "arg"}, rt).HasProgram);
        EXPECT_TRUE(st3.RuntimeMode);
        EXPECT_TRUE(st3.FromContainer);
        EXPECT_EQ(st3.Source, "「包」を表示\r\n");
    }
}

TEST_F(ContainerTest, ContainerWithoutTheScriptEntryIsNoProgramButStaysTheResource)
{
    fs::path c = MakeContainer({{"other.prk", "x", 1}});
    fs::path prog = CopyOfSelf(ReadBytes(c), "prog");
    const std::string exe = FromNativePath(prog.string());
    TPoruBase st;
    TStartResult r = PrepareStart(st, {exe}, exe);
    EXPECT_FALSE(r.HasProgram);
    EXPECT_FALSE(st.FromContainer);
    EXPECT_TRUE(st.Ext<TPackedState>().Reader);
}

// ---- the private temporary folder ----

TEST(PrivateTemp, ExclusiveCreationOfPlainNamesOnly)
{
    const std::string dir = PrivateTempDir();
    ASSERT_FALSE(dir.empty());
    EXPECT_EQ(dir.back(), '/');
    const std::string path = CreatePrivateTempFile("once.tmp", "abc");
    ASSERT_EQ(path, dir + "once.tmp");
    EXPECT_EQ(ReadBytes(path), "abc");
    EXPECT_EQ(CreatePrivateTempFile("once.tmp", "other"), "");   // never reused
    EXPECT_EQ(ReadBytes(path), "abc");
    for (const char* bad : {"", ".", "..", "a/b", "../escape"})
        EXPECT_EQ(CreatePrivateTempFile(bad, "x"), "") << bad;
    fs::remove(path);
}

// A process ended by SIGTERM removes its folder; folders of processes that are
// gone are removed when a new one is made.
TEST(PrivateTemp, RemovedOnTerminationAndStaleFoldersCleared)
{
    char tmpl[] = "/tmp/poru-tmproot-XXXXXX";
    const fs::path root = mkdtemp(tmpl);
    const fs::path stale = root / "porukana-999999999-abcdef";   // no such process
    fs::create_directories(stale / "inner");
    WriteBytes(stale / "inner" / "f", "old");
    const fs::path foreign = root / "porukana-notapid";
    fs::create_directories(foreign);

    int pipeFd[2];
    ASSERT_EQ(pipe(pipeFd), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        setenv("TMPDIR", root.c_str(), 1);
        signal(SIGTERM, SIG_DFL);
        const std::string dir = PrivateTempDir();
        CreatePrivateTempFile("extracted.bin", "data");
        [[maybe_unused]] ssize_t n = write(pipeFd[1], dir.data(), dir.size());
        close(pipeFd[1]);
        raise(SIGTERM);
        _exit(3);   // not reached
    }
    close(pipeFd[1]);
    char buf[4096];
    const ssize_t n = read(pipeFd[0], buf, sizeof buf);
    close(pipeFd[0]);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_GT(n, 0);
    const std::string dir(buf, static_cast<size_t>(n));
    EXPECT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGTERM);
    EXPECT_EQ(dir.rfind(root.string() + "/porukana-", 0), 0u) << dir;
    EXPECT_FALSE(fs::exists(dir));
    EXPECT_FALSE(fs::exists(stale));
    EXPECT_TRUE(fs::exists(foreign));
    fs::remove_all(root);
}

}   // namespace
