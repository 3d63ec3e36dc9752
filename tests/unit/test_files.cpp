// The shared file operations: path parts, name masks, listings, the read-path
// search, packed-file extraction, the trash, recursive removal, attributes.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "commands/files/files.h"
#include "core/codec.h"
#include "interp/interp.h"
#include "loader/container.h"
#include "loader/container_temp.h"

namespace fs = std::filesystem;

namespace {

void WriteBytes(const fs::path& p, const std::string& bytes)
{
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadBytes(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

class FilesTest : public ::testing::Test {
protected:
    fs::path dir;
    fs::path savedCwd;
    void SetUp() override
    {
        char tmpl[] = "/tmp/poru-files-XXXXXX";
        dir = mkdtemp(tmpl);
        savedCwd = fs::current_path();
    }
    void TearDown() override
    {
        fs::current_path(savedCwd);
        std::error_code ec;
        fs::permissions(dir, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(dir);
    }
    std::string P(const fs::path& p) { return FromNativePath(p.string()); }
};

TEST(PathParts, SplitsWalkDoubleByteCharacters)
{
    struct Case {
        std::string path, folder, name, ext;
    } cases[] = {
        {"C:\\ソ\\x.txt", "C:\\ソ\\", "x.txt", ".txt"},
        {"C:\\a.b\\file", "C:\\a.b\\", "file", ""},
        {"/home/a/b.txt", "/home/a/", "b.txt", ".txt"},
        {"表.dat", "", "表.dat", ".dat"},   // 表 is 95 5C
        {"dir\\表", "dir\\", "表", ""},
        {"C:name.x.y", "C:", "name.x.y", ".y"},
        {"a/", "a/", "", ""},
        {"", "", "", ""},
        {"能\\十\\ソ", "能\\十\\", "ソ", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PathFolderPart(c.path), c.folder) << c.path;
        EXPECT_EQ(PathNamePart(c.path), c.name) << c.path;
        EXPECT_EQ(PathExtPart(c.path), c.ext) << c.path;
    }
    struct {
        std::string path, ext, out;
    } changes[] = {
        {"a.txt", ".csv", "a.csv"},
        {"dir.d/file", ".lnk", "dir.d/file.lnk"},
        {"ソ", ".x", "ソ.x"},
        {"a.b.c", "", "a.b"},
    };
    for (const auto& c : changes)
        EXPECT_EQ(ChangePathExt(c.path, c.ext), c.out) << c.path;
}

TEST(Masks, WindowsStyleMatching)
{
    struct {
        const char* mask;
        const char* name;
        bool match;
    } cases[] = {
        {"*", "anything", true},
        {"*.*", "noext", true},
        {"*.txt", "A.TXT", true},
        {"*.TXT", "a.txt", true},
        {"*.txt", "a.txt.bak", false},
        {"a?c", "abc", true},
        {"a?c", "ac", false},
        {"a?c", "aあc", true},
        {"*.c*", "x.csv", true},
        {"x.*", "x", true},
        {"x.*", "xy", false},
        {"*a*b*", "zzazzbzz", true},
        {"*a*b", "ab_a", false},
        {"security.ini", "SECURITY.INI", true},
        {"データ*.txt", "データ1.txt", true},
    };
    // Native names are UTF-8.
    for (const auto& c : cases)
        EXPECT_EQ(MatchFileMask(SjisToUtf8(c.mask), SjisToUtf8(c.name)), c.match) << c.mask << " " << c.name;
}

TEST_F(FilesTest, ListingIsSortedAndSkipsOnlyDotAndDotDot)
{
    for (const char* n : {"b.txt", "a.txt", "c.csv", ".hidden.txt"})
        WriteBytes(dir / n, "x");
    fs::create_directories(dir / "zdir");
    fs::create_directories(dir / ".config");
    fs::create_symlink(dir / "zdir", dir / "link");
    std::vector<TDirEntry> all = ListPattern((dir / "").string());
    std::vector<std::string> names;
    for (const TDirEntry& e : all)
        names.push_back(e.Name + (e.Folder ? "/" : "") + (e.Link ? "@" : ""));
    EXPECT_EQ(names,
              (std::vector<std::string>{".config/", ".hidden.txt", "a.txt", "b.txt", "c.csv", "link/@", "zdir/"}));

    std::vector<TDirEntry> txt = ListPattern((dir / "*.TXT").string());
    ASSERT_EQ(txt.size(), 3u);
    EXPECT_EQ(txt[1].Name, "a.txt");
    EXPECT_TRUE(ListPattern((dir / "missing" / "*").string()).empty());
}

TEST_F(FilesTest, ReadPathSearchOrderAndCaseBlindFallback)
{
    fs::create_directories(dir / "cwd");
    fs::create_directories(dir / "script");
    fs::create_directories(dir / "bin");
    fs::create_directories(dir / "share" / "porukana");
    WriteBytes(dir / "cwd" / "both.txt", "cwd");
    WriteBytes(dir / "script" / "both.txt", "script");
    WriteBytes(dir / "script" / "only.txt", "script");
    WriteBytes(dir / "bin" / "exe.txt", "bin");
    WriteBytes(dir / "share" / "porukana" / "data.txt", "share");
    fs::create_directories(dir / "script" / "Sub");
    WriteBytes(dir / "script" / "Sub" / "Mixed.TXT", "mixed");
    fs::current_path(dir / "cwd");

    TPoruBase st;
    st.StartFolder = P(dir / "script") + "/";
    st.ExePath = P(dir / "bin" / "porukana");
    struct Case {
        std::string name, expected;
    } cases[] = {
        {"both.txt", P(dir / "cwd") + "/both.txt"},
        {"only.txt", P(dir / "script") + "/only.txt"},
        {"exe.txt", P(dir / "bin") + "/exe.txt"},
        {"data.txt", P(dir / "share" / "porukana") + "/data.txt"},
        {"sub\\mixed.txt", P(dir / "script" / "Sub" / "Mixed.TXT")},
        {"nowhere.txt", "nowhere.txt"},
        {"C:\\x.txt", "C:\\x.txt"},   // a drive: as it is
        {P(dir / "cwd" / "both.txt"), P(dir / "cwd" / "both.txt")},
        {P(dir / "SCRIPT" / "ONLY.TXT"), P(dir / "script" / "only.txt")},
        {"Sub", "Sub"},   // a folder is no file
    };
    for (const Case& c : cases)
        EXPECT_EQ(FindReadPath(st, c.name), c.expected) << c.name;
}

TEST(PackedNames, EntryNamesCannotLeaveTheTemporaryFolder)
{
    struct {
        std::string entry, file;
    } cases[] = {
        {"data.txt", "DATA.TXT"},
        {"img\\a.png", "IMG__A.PNG"},
        {"..\\..\\etc\\passwd", "..__..__ETC__PASSWD"},
        {"../x", "..__X"},
        {"/etc/passwd", "__ETC__PASSWD"},
        {"C:\\x", "C____X"},
        {"..", "_.."},
        {".", "_."},
        {"", "_"},
        {"表\\ソ.txt", "表__ソ.TXT"},   // trail bytes 5C are no separators
    };
    for (const auto& c : cases) {
        const std::string name = PackedTempName(c.entry);
        EXPECT_EQ(name, c.file) << c.entry;
        const std::string native = SjisToUtf8(name);
        EXPECT_EQ(native.find('/'), std::string::npos);
        EXPECT_NE(native, "..");
    }
}

TEST_F(FilesTest, PackedFilesAreExtractedOnceByteForByteIntoThePrivateFolder)
{
    std::string bytes;
    for (int i = 0; i < 256; ++i)
        bytes += static_cast<char>(i);
    WriteBytes(dir / "a.bin", bytes);
    WriteBytes(dir / "s.txt", "scrambled 表");
    TFileMixWriter w;
    w.Entries = {P(dir / "a.bin") + "=sub\\a.bin=0", P(dir / "s.txt") + "=..\\s.txt=1"};
    ASSERT_TRUE(w.Save((dir / "c.mix").string()));

    TPoruBase st;
    st.Ext<TPackedState>().Reader = std::make_shared<TFileMixReader>((dir / "c.mix").string());
    const std::string tmp = PrivateTempDir();
    ASSERT_FALSE(tmp.empty());
    struct stat sb {};
    ASSERT_EQ(stat(tmp.c_str(), &sb), 0);
    EXPECT_EQ(sb.st_mode & 0777, 0700u);

    const std::string first = ExtractPacked(st, "SUB/A.BIN");
    EXPECT_EQ(first, FromNativePath(tmp + "SUB__A.BIN"));
    EXPECT_EQ(ReadBytes(ToNativePath(first)), bytes);
    EXPECT_EQ(ExtractPacked(st, "sub\\a.bin"), first);   // the same file again
    EXPECT_EQ(st.ExtractedFiles.size(), 1u);

    const std::string second = ExtractPacked(st, "..\\S.TXT");
    EXPECT_EQ(PathFolderPart(second), FromNativePath(tmp));
    EXPECT_EQ(ReadBytes(ToNativePath(second)), "scrambled 表");

    EXPECT_EQ(ExtractPacked(st, "absent.txt"), "absent.txt");
    TPoruBase none;
    EXPECT_EQ(ExtractPacked(none, "sub\\a.bin"), "sub\\a.bin");
}

TEST_F(FilesTest, TrashKeepsTheFileAndRecordsWhereItCameFrom)
{
    const char* saved = std::getenv("XDG_DATA_HOME");
    const std::string savedValue = saved ? saved : "";
    setenv("XDG_DATA_HOME", (dir / "data").c_str(), 1);
    WriteBytes(dir / "doomed file.txt", "keep me");
    WriteBytes(dir / "twin.txt", "1");
    fs::create_directories(dir / "folder" / "inner");
    WriteBytes(dir / "folder" / "inner" / "f", "f");

    EXPECT_TRUE(MoveToTrash((dir / "doomed file.txt").string()));
    EXPECT_FALSE(fs::exists(dir / "doomed file.txt"));
    const fs::path trash = dir / "data" / "Trash";
    EXPECT_EQ(ReadBytes(trash / "files" / "doomed file.txt"), "keep me");
    const std::string info = ReadBytes(trash / "info" / "doomed file.txt.trashinfo");
    EXPECT_EQ(info.rfind("[Trash Info]\nPath=", 0), 0u);
    EXPECT_NE(info.find("/doomed%20file.txt\n"), std::string::npos);
    EXPECT_NE(info.find("DeletionDate="), std::string::npos);

    // A second file of the same name gets a name of its own; folders go whole.
    EXPECT_TRUE(MoveToTrash((dir / "twin.txt").string()));
    WriteBytes(dir / "twin.txt", "2");
    EXPECT_TRUE(MoveToTrash((dir / "twin.txt").string()));
    EXPECT_EQ(ReadBytes(trash / "files" / "twin.txt"), "1");
    EXPECT_EQ(ReadBytes(trash / "files" / "twin.txt.2"), "2");
    EXPECT_TRUE(MoveToTrash((dir / "folder").string()));
    EXPECT_EQ(ReadBytes(trash / "files" / "folder" / "inner" / "f"), "f");

    // Nothing is ever deleted for good: a missing file or the trash itself stay false.
    EXPECT_FALSE(MoveToTrash((dir / "missing").string()));
    EXPECT_FALSE(MoveToTrash((trash / "files" / "twin.txt").string()));
    EXPECT_TRUE(fs::exists(trash / "files" / "twin.txt"));
    // A trash that cannot be made leaves the file where it is.
    WriteBytes(dir / "blocker", "");
    setenv("XDG_DATA_HOME", (dir / "blocker").c_str(), 1);
    WriteBytes(dir / "survivor", "s");
    EXPECT_FALSE(MoveToTrash((dir / "survivor").string()));
    EXPECT_EQ(ReadBytes(dir / "survivor"), "s");

    if (saved)
        setenv("XDG_DATA_HOME", savedValue.c_str(), 1);
    else
        unsetenv("XDG_DATA_HOME");
}

TEST_F(FilesTest, RemoveTreeNeverFollowsLinksAndKeepsReadOnlyFiles)
{
    fs::create_directories(dir / "keep");
    WriteBytes(dir / "keep" / "precious", "p");
    fs::create_directories(dir / "tree" / "a" / "b");
    WriteBytes(dir / "tree" / "a" / "b" / "f", "f");
    WriteBytes(dir / "tree" / ".dot", "d");
    fs::create_symlink(dir / "keep", dir / "tree" / "a" / "link");
    RemoveTree((dir / "tree").string());
    EXPECT_FALSE(fs::exists(dir / "tree"));
    EXPECT_EQ(ReadBytes(dir / "keep" / "precious"), "p");

    fs::create_directories(dir / "ro" / "inner");
    WriteBytes(dir / "ro" / "inner" / "locked", "l");
    WriteBytes(dir / "ro" / "free", "f");
    fs::permissions(dir / "ro" / "inner" / "locked", fs::perms::owner_read);
    RemoveTree((dir / "ro").string());
    EXPECT_TRUE(fs::exists(dir / "ro" / "inner" / "locked"));
    EXPECT_FALSE(fs::exists(dir / "ro" / "free"));
}

TEST_F(FilesTest, AttributesFollowThePermissionBitsAndNames)
{
    WriteBytes(dir / "plain", "");
    WriteBytes(dir / ".hidden", "");
    WriteBytes(dir / "ro", "");
    fs::permissions(dir / "ro", fs::perms::owner_read);
    fs::create_directories(dir / "folder");
    struct {
        const char* name;
        int attr;
    } cases[] = {{"plain", 32}, {".hidden", 34}, {"ro", 33}, {"folder", 16}, {"folder/", 16}, {"missing", -1}};
    for (const auto& c : cases)
        EXPECT_EQ(FileAttributes((dir / c.name).string()), c.attr) << c.name;
}

TEST_F(FilesTest, DriveTypes)
{
    EXPECT_EQ(DriveTypeName((dir / "missing").string()), "存在しない");
    EXPECT_EQ(DriveTypeName("/proc/self"), "固定");
    if (fs::is_directory("/dev/shm")) {
        EXPECT_EQ(DriveTypeName("/dev/shm"), "RAMディスク");
    }
}

TEST(Clipboard, InProcessStoreAndHostHooks)
{
    SetClipboardText("一");
    EXPECT_EQ(ClipboardText(), "一");
    std::string host = "ホスト";
    SetClipboardHooks([&] { return host; }, [&](const std::string& t) { host = t; });
    EXPECT_EQ(ClipboardText(), "ホスト");
    SetClipboardText("二");
    EXPECT_EQ(host, "二");
    SetClipboardHooks(nullptr, nullptr);
    EXPECT_EQ(ClipboardText(), "一");
}

}   // namespace
