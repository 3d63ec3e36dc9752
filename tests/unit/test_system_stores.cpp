// The stores of the system commands: the registry store, the INI engine, named
// shared memory, and the starting and reaping of programs.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "commands/system/ini_file.h"
#include "commands/system/process_spawn.h"
#include "commands/system/registry.h"
#include "commands/system/shared_memory.h"

namespace fs = std::filesystem;

namespace {

class TempFolder {
public:
    TempFolder()
    {
        char tmpl[] = "/tmp/poru-system-XXXXXX";
        path_ = mkdtemp(tmpl);
    }
    ~TempFolder()
    {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

std::string ReadBytes(const std::string& p)
{
    std::ifstream in(p, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& p, const std::string& bytes)
{
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out << bytes;
}

// ---- registry ----

constexpr int kUser = 1;

std::string ReadString(const TRegistryStore& s, const std::string& path, const std::string& name)
{
    TRegValue v;
    return s.ReadValue(kUser, path, name, v) ? v.Data : std::string("<none>");
}

TEST(RegistryStore, ValuesRoundTripThroughTheFile)
{
    TempFolder dir;
    {
        TRegistryStore s(dir / "reg");
        ASSERT_TRUE(s.CreateKey(kUser, "Software\\Poru\\Test"));
        ASSERT_TRUE(s.WriteValue(kUser, "Software\\Poru\\Test", {"名前", TRegType::String, "値 with spaces"}));
        ASSERT_TRUE(s.WriteValue(kUser, "Software\\Poru\\Test", {"", TRegType::String, "default"}));
        ASSERT_TRUE(
            s.WriteValue(kUser, "Software\\Poru\\Test", {"bin", TRegType::Binary, std::string("\0\x01\xff%@\\", 6)}));
        ASSERT_TRUE(s.WriteValue(kUser, "Software\\Poru\\Test", {"dw", TRegType::DWord, DWordData(0xFFFFFFFEu)}));
        // 表 ends in the byte of "\": it is a name character, not a separator.
        ASSERT_TRUE(s.WriteValue(kUser, "Software\\表\\ソ", {"表", TRegType::String, "x"}));
    }
    TRegistryStore s(dir / "reg");   // a new store reads the files afresh
    EXPECT_EQ(ReadString(s, "Software\\Poru\\Test", "名前"), "値 with spaces");
    EXPECT_EQ(ReadString(s, "Software\\Poru\\Test", ""), "default");
    EXPECT_EQ(ReadString(s, "Software\\Poru\\Test", "bin"), std::string("\0\x01\xff%@\\", 6));
    TRegValue v;
    ASSERT_TRUE(s.ReadValue(kUser, "Software\\Poru\\Test", "dw", v));
    EXPECT_EQ(v.Type, TRegType::DWord);
    EXPECT_EQ(DWordValue(v.Data), 0xFFFFFFFEu);
    EXPECT_EQ(ReadString(s, "Software\\表\\ソ", "表"), "x");
    std::vector<std::string> names;
    ASSERT_TRUE(s.SubkeyNames(kUser, "Software", names));
    EXPECT_EQ(names, (std::vector<std::string>{"Poru", "表"}));
    EXPECT_TRUE(fs::exists(dir / "reg/HKEY_CURRENT_USER.reg"));
    EXPECT_FALSE(s.KeyExists(0, "Software"));   // roots are separate
}

TEST(RegistryStore, NamesIgnoreCaseAndKeepIt)
{
    TempFolder dir;
    TRegistryStore s(dir.Path());
    ASSERT_TRUE(s.WriteValue(kUser, "\\Software\\MyApp", {"Width", TRegType::String, "1"}));
    ASSERT_TRUE(s.WriteValue(kUser, "SOFTWARE\\myapp\\", {"WIDTH", TRegType::String, "2"}));
    EXPECT_EQ(ReadString(s, "software\\MYAPP", "width"), "2");
    TRegKey tree;
    ASSERT_TRUE(ParseRegistry(ReadBytes(dir / "HKEY_CURRENT_USER.reg"), tree));
    ASSERT_EQ(tree.Subkeys.size(), 1u);
    EXPECT_EQ(tree.Subkeys[0]->Name, "Software");
    ASSERT_EQ(tree.Subkeys[0]->Subkeys[0]->Values.size(), 1u);
    EXPECT_EQ(tree.Subkeys[0]->Subkeys[0]->Values[0].Name, "Width");   // first spelling kept
    EXPECT_TRUE(SameRegName("abcＡ", "ABCＡ"));
    EXPECT_FALSE(SameRegName("ア", "ァ"));
}

TEST(RegistryStore, DeletionRules)
{
    TempFolder dir;
    TRegistryStore s(dir.Path());
    ASSERT_TRUE(s.CreateKey(kUser, "A\\B\\C"));
    ASSERT_TRUE(s.WriteValue(kUser, "A", {"v", TRegType::String, "1"}));
    using R = TRegistryStore::TResult;
    EXPECT_EQ(s.DeleteKey(kUser, "A\\B", false), R::HasSubkeys);   // never recursive by itself
    EXPECT_TRUE(s.KeyExists(kUser, "A\\B\\C"));
    EXPECT_EQ(s.DeleteKey(kUser, "a\\b\\c", false), R::Ok);
    EXPECT_EQ(s.DeleteKey(kUser, "A\\B\\C", false), R::Missing);
    EXPECT_EQ(s.DeleteKey(kUser, "A\\B", false), R::Ok);
    EXPECT_EQ(s.DeleteValue(kUser, "A", "V"), R::Ok);
    EXPECT_EQ(s.DeleteValue(kUser, "A", "v"), R::Missing);
    EXPECT_EQ(s.DeleteValue(kUser, "Nowhere", "v"), R::Missing);
    ASSERT_TRUE(s.CreateKey(kUser, "X\\Y\\Z"));
    EXPECT_EQ(s.DeleteKey(kUser, "X", true), R::Ok);
    EXPECT_FALSE(s.KeyExists(kUser, "X\\Y"));
    EXPECT_EQ(s.DeleteKey(kUser, "\\", false), R::Failed);   // the root stays
}

TEST(RegistryStore, AFileItCannotReadIsNeverOverwritten)
{
    TempFolder dir;
    const std::string file = dir / "HKEY_CURRENT_USER.reg";
    WriteBytes(file, "something else\n");
    TRegistryStore s(dir.Path());
    EXPECT_FALSE(s.WriteValue(kUser, "A", {"v", TRegType::String, "1"}));
    EXPECT_EQ(ReadBytes(file), "something else\n");
    TRegKey tree;
    EXPECT_FALSE(ParseRegistry("porukana-registry 1\nK \\A\nV 9 x 00\n", tree));
    EXPECT_FALSE(ParseRegistry("porukana-registry 1\nV 1 x 0\n", tree));   // odd hex
    EXPECT_TRUE(tree.Subkeys.empty());
}

TEST(RegistryStore, ConcurrentWritersKeepEachOthersValues)
{
    TempFolder dir;
    constexpr int kWriters = 4, kEach = 25;
    std::vector<pid_t> children;
    for (int w = 0; w < kWriters; ++w) {
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            TRegistryStore s(dir.Path());
            bool ok = true;
            for (int i = 0; i < kEach; ++i)
                ok = s.WriteValue(kUser, "K", {std::to_string(w) + "-" + std::to_string(i), TRegType::String, "x"}) &&
                     ok;
            _exit(ok ? 0 : 1);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    TRegKey tree;
    ASSERT_TRUE(ParseRegistry(ReadBytes(dir / "HKEY_CURRENT_USER.reg"), tree));
    ASSERT_NE(tree.Walk({"K"}), nullptr);
    EXPECT_EQ(tree.Walk({"K"})->Values.size(), static_cast<size_t>(kWriters * kEach));
}

TEST(RegistryStore, RootNamesAndFolder)
{
    EXPECT_STREQ(TRegistryStore::RootName(0), "HKEY_CLASSES_ROOT");
    EXPECT_STREQ(TRegistryStore::RootName(3), "HKEY_USERS");
    EXPECT_EQ(TRegistryStore::RootName(7), nullptr);
    EXPECT_EQ(TRegistryStore::RootName(-1), nullptr);
    const char* old = std::getenv("XDG_CONFIG_HOME");
    const std::string saved = old ? old : "";
    setenv("XDG_CONFIG_HOME", "/tmp/cfg-test", 1);
    EXPECT_EQ(TRegistryStore::DefaultFolder(), "/tmp/cfg-test/porukana/registry/");
    if (old)
        setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
    else
        unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(SplitKeyPath("\\a\\\\b\\"), (std::vector<std::string>{"a", "b"}));
}

// ---- INI ----

// Written the Windows way: CR LF, a comment, a duplicate section, a line without
// "=", blanks around names and values, quoted values.
const char* const kHandWritten = "; settings\r\n"
                                 "[Main]\r\n"
                                 "  Name = 太郎 \r\n"
                                 "Quoted=\"  spaced  \"\r\n"
                                 "Single='x'\r\n"
                                 "Half=\"open\r\n"
                                 "no equals sign here\r\n"
                                 "Empty=\r\n"
                                 "\r\n"
                                 "[ main ]\r\n"
                                 "Name=second\r\n"
                                 "Other=only in the second\r\n"
                                 "[表示]\r\n"
                                 "Size=12";

TEST(IniText, ReadsHandWrittenFilesTheWindowsWay)
{
    const TIniText ini(kHandWritten);
    std::string v;
    EXPECT_TRUE(ini.Read("main", "name", v));
    EXPECT_EQ(v, "太郎");   // trimmed, first section wins
    EXPECT_TRUE(ini.Read("MAIN", "Quoted", v));
    EXPECT_EQ(v, "  spaced  ");   // quotes stripped, inside kept
    EXPECT_TRUE(ini.Read("Main", "Single", v));
    EXPECT_EQ(v, "x");
    EXPECT_TRUE(ini.Read("Main", "Half", v));
    EXPECT_EQ(v, "\"open");
    EXPECT_TRUE(ini.Read("Main", "Empty", v));
    EXPECT_EQ(v, "");
    EXPECT_FALSE(ini.Read("Main", "Other", v));   // only the first [Main] is searched
    EXPECT_FALSE(ini.Read("Main", "no equals sign here", v));
    EXPECT_FALSE(ini.Read("Nowhere", "Name", v));
    EXPECT_TRUE(ini.Read("表示", "size", v));
    EXPECT_EQ(v, "12");
    EXPECT_EQ(ini.Keys("Main"), (std::vector<std::string>{"Name", "Quoted", "Single", "Half", "Empty"}));
    EXPECT_EQ(ini.Bytes(), kHandWritten);   // unchanged bytes
}

TEST(IniText, WritesChangeOnlyTheirLine)
{
    TIniText ini(kHandWritten);
    ini.Write("MAIN", "NAME", "花子");
    ini.Write("Main", "New", "1");
    ini.Write("表示", "Font", "ＭＳ");
    ini.Write("Added", "k", "v");
    const std::string expected = "; settings\r\n"
                                 "[Main]\r\n"
                                 "  Name=花子\r\n"
                                 "Quoted=\"  spaced  \"\r\n"
                                 "Single='x'\r\n"
                                 "Half=\"open\r\n"
                                 "no equals sign here\r\n"
                                 "Empty=\r\n"
                                 "New=1\r\n"
                                 "\r\n"
                                 "[ main ]\r\n"
                                 "Name=second\r\n"
                                 "Other=only in the second\r\n"
                                 "[表示]\r\n"
                                 "Size=12\r\n"
                                 "Font=ＭＳ\r\n"
                                 "[Added]\r\n"
                                 "k=v\r\n";
    EXPECT_EQ(ini.Bytes(), expected);

    TIniText lf("[a]\nx=1\n");
    lf.Write("a", "y", "2");
    lf.Write("b", "z", "3");
    EXPECT_EQ(lf.Bytes(), "[a]\nx=1\ny=2\n[b]\nz=3\n");   // a LF file stays LF
    TIniText empty;
    empty.Write("s", "k", "v");
    EXPECT_EQ(empty.Bytes(), "[s]\r\nk=v\r\n");
}

TEST(IniFile, CreatedAtTheFirstWriteAndReplacedWhole)
{
    TempFolder dir;
    const std::string file = dir / "設定.ini";
    std::string v;
    bool failed = true;
    EXPECT_FALSE(IniReadFile(file, "s", "k", v, failed));
    EXPECT_FALSE(failed);   // a missing file is no failure
    EXPECT_FALSE(fs::exists(file));
    ASSERT_TRUE(IniWriteFile(file, "s", "k", "値"));
    ASSERT_TRUE(IniWriteFile(file, "s", "k2", "v2"));
    EXPECT_EQ(ReadBytes(file), "[s]\r\nk=値\r\nk2=v2\r\n");
    EXPECT_TRUE(IniReadFile(file, "S", "K", v, failed));
    EXPECT_EQ(v, "値");

    chmod(file.c_str(), 0640);
    ASSERT_TRUE(IniWriteFile(file, "s", "k", "new"));
    struct stat sb {};
    ASSERT_EQ(stat(file.c_str(), &sb), 0);
    EXPECT_EQ(sb.st_mode & 0777, 0640u);   // permissions kept
    // A link is followed: the file it names changes, the link stays.
    const std::string link = dir / "link.ini";
    ASSERT_EQ(symlink(file.c_str(), link.c_str()), 0);
    ASSERT_TRUE(IniWriteFile(link, "s", "k", "via link"));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_TRUE(IniReadFile(file, "s", "k", v, failed));
    EXPECT_EQ(v, "via link");

    // What cannot be one line is refused and the file left alone.
    const std::string before = ReadBytes(file);
    EXPECT_FALSE(IniWriteFile(file, "s", "k", "two\r\nlines=injected"));
    EXPECT_FALSE(IniWriteFile(file, "s", "a=b", "v"));
    EXPECT_FALSE(IniWriteFile(file, "s]x", "k", "v"));
    EXPECT_FALSE(IniWriteFile(file, "", "k", "v"));
    EXPECT_EQ(ReadBytes(file), before);
    EXPECT_FALSE(IniWriteFile(dir / "no/such/folder.ini", "s", "k", "v"));
    EXPECT_FALSE(IniReadFile(dir.Path(), "s", "k", v, failed));   // a folder cannot be read
    EXPECT_TRUE(failed);
}

// ---- shared memory ----

bool ObjectExists(const std::string& name)
{
    const int fd = shm_open(SharedObjectName(name).c_str(), O_RDONLY, 0);
    if (fd < 0)
        return false;
    close(fd);
    return true;
}

std::string UniqueName(const char* base)
{
    return std::string(base) + std::to_string(getpid()) + "-" +
           std::to_string(std::chrono::steady_clock::now().time_since_epoch().count());
}

TEST(SharedMemory, StoreAndReadBack)
{
    const std::string name = UniqueName("共有テスト");
    std::string out = "old";
    EXPECT_FALSE(ReadSharedBlock(name, out));
    EXPECT_EQ(out, "");
    EXPECT_FALSE(ObjectExists(name));   // reading never creates a block
    {
        TSharedBlocks blocks;
        ASSERT_TRUE(blocks.Store(name, std::string(300, 'x')));
        ASSERT_TRUE(ReadSharedBlock(name, out));
        EXPECT_EQ(out, std::string(256, 'x'));   // cut to 256 bytes
        ASSERT_TRUE(blocks.Store(name, std::string("ab\0cd", 5)));
        ASSERT_TRUE(ReadSharedBlock(name, out));
        EXPECT_EQ(out, "ab");   // up to the first zero byte; the rest was cleared
    }
    EXPECT_FALSE(ObjectExists(name));   // the last holder removed it
}

TEST(SharedMemory, TheBlockLivesWhileAnyHolderLives)
{
    const std::string name = UniqueName("held");
    int toChild[2], fromChild[2];
    ASSERT_EQ(pipe(toChild), 0);
    ASSERT_EQ(pipe(fromChild), 0);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {   // a second holder: stores, reports, waits for the word to go
        TSharedBlocks blocks;
        const bool ok = blocks.Store(name, "child");
        char c = ok ? 'y' : 'n';
        [[maybe_unused]] ssize_t w = write(fromChild[1], &c, 1);
        [[maybe_unused]] ssize_t r = read(toChild[0], &c, 1);
        blocks.ReleaseAll();
        _exit(0);
    }
    char c = 0;
    ASSERT_EQ(read(fromChild[0], &c, 1), 1);
    ASSERT_EQ(c, 'y');
    {
        TSharedBlocks blocks;
        ASSERT_TRUE(blocks.Store(name, "parent"));
    }
    std::string out;
    EXPECT_TRUE(ReadSharedBlock(name, out));   // the child still holds it
    EXPECT_EQ(out, "parent");
    ASSERT_EQ(write(toChild[1], "x", 1), 1);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_FALSE(ObjectExists(name));
    for (int fd : {toChild[0], toChild[1], fromChild[0], fromChild[1]})
        close(fd);
}

TEST(SharedMemory, ObjectNames)
{
    const std::string shortName = SharedObjectName("a/b");
    EXPECT_EQ(shortName.find('/', 1), std::string::npos);
    const std::string longName = SharedObjectName(std::string(1000, 'z'));
    EXPECT_LE(longName.size(), 255u);
    EXPECT_EQ(longName.find('/', 1), std::string::npos);
    EXPECT_NE(SharedObjectName(std::string(1000, 'z')), SharedObjectName(std::string(999, 'z') + "y"));
    EXPECT_NE(SharedObjectName("A"), SharedObjectName("a"));   // names keep their case
}

// ---- programs ----

bool IsZombieOrGone(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    if (text.empty())
        return true;
    const size_t paren = text.rfind(')');
    return paren != std::string::npos && text.size() > paren + 2 && text[paren + 2] == 'Z';
}

TEST(ProcessSpawn, WaitedAndDetachedChildren)
{
    const std::string sh = FindExecutable("sh");
    ASSERT_FALSE(sh.empty());
    EXPECT_TRUE(IsExecutableFile(sh));
    EXPECT_EQ(FindExecutable("surely-no-such-program-here"), "");
    EXPECT_EQ(FindExecutable("/etc/passwd"), "");   // not executable

    TempFolder dir;
    const std::string out = dir / "out.txt";
    // Arguments reach the program as they are: no shell in between.
    const pid_t waited =
        SpawnProgram(sh, {"sh", "-c", "printf '%s|' \"$@\" > \"$0\"", out, "a b", "$HOME", ";"}, false);
    ASSERT_GT(waited, 0);
    for (int i = 0; i < 200 && !ChildHasEnded(waited); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(ReadBytes(out), "a b|$HOME|;|");

    const pid_t detached = SpawnProgram(sh, {"sh", "-c", "exit 0"}, true);
    ASSERT_GT(detached, 0);
    for (int i = 0; i < 200 && PendingReapCount() > 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(PendingReapCount(), 0);
    EXPECT_TRUE(IsZombieOrGone(detached));
    EXPECT_EQ(access(("/proc/" + std::to_string(detached)).c_str(), F_OK), -1);   // reaped, not a zombie

    EXPECT_EQ(SpawnProgram(dir / "missing", {"missing"}, false), -1);
}

}   // namespace
