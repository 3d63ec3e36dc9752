// The run-time bundle of stand-alone programs: ldd's answer, which libraries stay
// the target machine's, and the bundle stream written and unpacked (modes, folders,
// names that would leave the folder, files that exist already, damaged streams).
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "bundle/bundle_archive.h"
#include "bundle/bundle_cache.h"
#include "bundle/bundle_files.h"

namespace fs = std::filesystem;

namespace {

// The bundle's messages are UTF-8 (this file's narrow literals are Shift_JIS).
std::string U8(const char8_t* s)
{
    return reinterpret_cast<const char*>(s);
}

TEST(Bundle, ReadsLddOutput)
{
    const std::string out = "\tlinux-vdso.so.1 (0x00007ffd6a3f1000)\n"
                            "\tlibQt6Core.so.6 => /lib/x86_64-linux-gnu/libQt6Core.so.6 (0x00007f0c1a000000)\n"
                            "\tlibmissing.so.2 => not found\n"
                            "\tlibc.so.6 => /lib/x86_64-linux-gnu/libc.so.6 (0x00007f0c19c00000)\n"
                            "\t/lib64/ld-linux-x86-64.so.2 (0x00007f0c1b2f0000)\n"
                            "\tlib space.so => /opt/my libs/lib space.so (0x1)";
    const std::vector<TLddLine> lines = ParseLddOutput(out);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0].Name, "libQt6Core.so.6");
    EXPECT_EQ(lines[0].Path, "/lib/x86_64-linux-gnu/libQt6Core.so.6");
    EXPECT_EQ(lines[1].Name, "libmissing.so.2");
    EXPECT_EQ(lines[1].Path, "");
    EXPECT_EQ(lines[2].Name, "libc.so.6");
    EXPECT_EQ(lines[3].Path, "/opt/my libs/lib space.so");
}

TEST(Bundle, OnlyTheCLibraryStaysTheTargetsOwn)
{
    for (const char* name : {"libc.so.6", "libm.so.6", "libpthread.so.0", "libdl.so.2", "librt.so.1", "libresolv.so.2",
                             "ld-linux-x86-64.so.2", "libnss_files.so.2", "libmvec.so.1"})
        EXPECT_TRUE(IsSystemCLibrary(name)) << name;
    for (const char* name : {"libQt6Core.so.6", "libstdc++.so.6", "libgcc_s.so.1", "libnss3.so", "libcurl.so.4",
                             "libcrypt.so.1", "libcap.so.2", "libmd.so.0"})
        EXPECT_FALSE(IsSystemCLibrary(name)) << name;
}

TEST(Bundle, SafeNames)
{
    for (const char* name : {"bin/porukana", "lib/libQt6Core.so.6", "plugins/platforms/libqxcb.so", "a"})
        EXPECT_TRUE(IsSafeBundleName(name)) << name;
    for (const char* name : {"", "/etc/passwd", "../x", "lib/../../x", "lib//x", "lib/./x", "lib/", "..", "."})
        EXPECT_FALSE(IsSafeBundleName(name)) << name;
}

class BundleFiles : public ::testing::Test {
protected:
    fs::path dir;
    void SetUp() override
    {
        char tmpl[] = "/tmp/porukana-bundle-test-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        fs::create_directories(dir / "src");
        fs::create_directories(dir / "out");
    }
    void TearDown() override { fs::remove_all(dir); }
    std::string Write(const std::string& name, const std::string& bytes)
    {
        const fs::path p = dir / "src" / name;
        std::ofstream(p, std::ios::binary) << bytes;
        return p.string();
    }
    static std::string Read(const fs::path& p)
    {
        std::ifstream in(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    // Unpacks the whole file `bundle` into out/.
    bool Extract(const std::string& bundle, std::string& error)
    {
        return ExtractBundle(bundle, 0, fs::file_size(bundle), (dir / "out").string() + "/", error);
    }
    // A stream written by hand: the records as given, deflated.
    std::string Handmade(const std::string& plain)
    {
        uLongf size = compressBound(plain.size());
        std::string z(size, '\0');
        compress(reinterpret_cast<Bytef*>(z.data()), &size, reinterpret_cast<const Bytef*>(plain.data()), plain.size());
        z.resize(size);
        return Write("handmade", z);
    }
    static std::string Record(const std::string& name, const std::string& data, uint32_t mode = 0644)
    {
        std::string r;
        r += static_cast<char>(name.size() & 0xFF);
        r += static_cast<char>(name.size() >> 8);
        r += name;
        for (int i = 0; i < 4; ++i)
            r += static_cast<char>((mode >> (8 * i)) & 0xFF);
        for (int i = 0; i < 8; ++i)
            r += static_cast<char>((static_cast<uint64_t>(data.size()) >> (8 * i)) & 0xFF);
        return r + data;
    }
};

TEST_F(BundleFiles, WrittenFilesComeBackWithTheirModesAndFolders)
{
    std::string big(300000, '\0');
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>((i * 7919) >> 5);
    const std::string exe = Write("exe", "#!/bin/sh\necho hi\n");
    const std::string lib = Write("lib", big);
    const std::string empty = Write("empty", "");
    const std::string bundle = (dir / "bundle").string();
    TBundleWriter w;
    ASSERT_TRUE(w.Open(bundle));
    ASSERT_TRUE(w.Add("bin/porukana", exe, 0755));
    ASSERT_TRUE(w.Add("lib/libbig.so.1", lib, 0644));
    ASSERT_TRUE(w.Add("plugins/platforms/empty.so", empty, 04777));   // set-id bits never survive
    EXPECT_FALSE(w.Add("../escape", exe, 0644));
    EXPECT_FALSE(w.Add("bin/missing", (dir / "src" / "none").string(), 0644));
    ASSERT_TRUE(w.Finish()) << w.Error();
    EXPECT_LT(fs::file_size(bundle), big.size());

    std::string error;
    ASSERT_TRUE(Extract(bundle, error)) << error;
    EXPECT_EQ(Read(dir / "out/bin/porukana"), Read(exe));
    EXPECT_EQ(Read(dir / "out/lib/libbig.so.1"), big);
    EXPECT_EQ(fs::file_size(dir / "out/plugins/platforms/empty.so"), 0u);
    struct stat sb {};
    ASSERT_EQ(stat((dir / "out/bin/porukana").c_str(), &sb), 0);
    EXPECT_EQ(sb.st_mode & 07777, 0755u);
    ASSERT_EQ(stat((dir / "out/plugins/platforms/empty.so").c_str(), &sb), 0);
    EXPECT_EQ(sb.st_mode & 07777, 0755u);
    ASSERT_EQ(stat((dir / "out/plugins/platforms").c_str(), &sb), 0);
    EXPECT_EQ(sb.st_mode & 0777, 0700u);
    EXPECT_FALSE(fs::exists(dir / "escape"));

    // A second unpacking into the same folder never writes over what is there.
    EXPECT_FALSE(Extract(bundle, error));
    EXPECT_NE(error.find("bin/porukana"), std::string::npos) << error;
}

TEST_F(BundleFiles, DamagedOrHostileStreamsAreRefused)
{
    const std::string magic("PRKB\x01", 5);
    const std::string end("\0\0", 2);
    struct Case {
        std::string plain;
        std::string what;   // a part of the error
    } cases[] = {
        {"PRKB\x02" + end, U8(u8"壊れています")},
        {magic + Record("../outside", "x") + end, U8(u8"不正な名前")},
        {magic + Record("/tmp/abs", "x") + end, U8(u8"不正な名前")},
        {magic + Record("ok", "abc").substr(0, 10), U8(u8"途中で終わっています")},
        {magic + Record("ok", "abc"), U8(u8"途中で終わっています")},   // no end mark
    };
    for (const Case& c : cases) {
        fs::remove_all(dir / "out");
        fs::create_directories(dir / "out");
        std::string error;
        EXPECT_FALSE(Extract(Handmade(c.plain), error)) << c.what;
        EXPECT_NE(error.find(c.what), std::string::npos) << error;
        EXPECT_FALSE(fs::exists(dir / "outside"));
    }
    // A link planted where a file is to go is not followed.
    fs::remove_all(dir / "out");
    fs::create_directories(dir / "out");
    fs::create_symlink(dir / "src" / "target", dir / "out" / "planted");
    std::string error;
    EXPECT_FALSE(Extract(Handmade(magic + Record("planted", "evil") + end), error));
    EXPECT_FALSE(fs::exists(dir / "src" / "target"));
    // Not a zlib stream at all.
    EXPECT_FALSE(Extract(Write("plain", "not compressed"), error));
    // A stop request is honoured between files.
    const volatile int stop = 1;
    fs::remove_all(dir / "out");
    fs::create_directories(dir / "out");
    const std::string ok = Handmade(magic + Record("a", "1") + end);
    EXPECT_FALSE(ExtractBundle(ok, 0, fs::file_size(ok), (dir / "out").string() + "/", error, &stop));
    EXPECT_FALSE(fs::exists(dir / "out" / "a"));
}

TEST(Bundle, QtConfPointsIntoTheBundle)
{
    const std::string conf = BundleQtConf();
    EXPECT_EQ(conf.rfind("[Paths]\n", 0), 0u);
    for (const char* line : {"Prefix=..\n", "Plugins=plugins\n", "LibraryExecutables=libexec\n", "Data=share/qt6\n"})
        EXPECT_NE(conf.find(line), std::string::npos) << line;
}

}   // namespace

namespace {

// The cache of unpacked bundles, in a scratch folder of its own.
class BundleCache : public ::testing::Test {
protected:
    void SetUp() override
    {
        char tmpl[] = "/tmp/bundle-cache-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        base_ = tmpl;
        chmod(base_.c_str(), 0700);
        root_ = base_ + "/porukana/bundles/";
        ASSERT_TRUE(MakePrivateFolders(root_));
    }
    void TearDown() override { fs::remove_all(base_); }

    // Unpacks by writing one file, counting the calls.
    std::string Get(const std::string& key, bool succeed = true)
    {
        std::string error;
        return CachedBundle(
            root_, key,
            [&](const std::string& dir, std::string& e) {
                ++unpacked_;
                std::ofstream(dir + "bin") << key;
                if (!succeed)
                    e = "broken";
                return succeed;
            },
            error);
    }
    int Leftovers() const
    {
        int n = 0;
        for (const auto& e : fs::directory_iterator(root_))
            n += e.path().filename().string().rfind(".unpack-", 0) == 0;
        return n;
    }

    std::string base_, root_;
    int unpacked_ = 0;
};

TEST_F(BundleCache, UnpacksOncePerVersionIntoAPrivateFolder)
{
    const std::string key = BundleKey(0x1a2b3c4d, 1234);
    EXPECT_EQ(key, "1a2b3c4d-1234");
    const std::string dir = Get(key);
    EXPECT_EQ(dir, root_ + key + "/");
    EXPECT_EQ(unpacked_, 1);
    EXPECT_TRUE(IsPrivateFolder(root_ + key));
    EXPECT_EQ(Get(key), dir);
    EXPECT_EQ(unpacked_, 1);   // the second start finds it ready
    EXPECT_EQ(Get(BundleKey(0x1a2b3c4d, 1235)), root_ + "1a2b3c4d-1235/");
    EXPECT_EQ(unpacked_, 2);   // another version, another folder
    EXPECT_EQ(Leftovers(), 0);
}

TEST_F(BundleCache, IncompleteOrOpenFoldersAreUnpackedAgain)
{
    const std::string key = BundleKey(7, 7);
    fs::create_directories(root_ + key);   // a start that was cut off: no mark
    chmod((root_ + key).c_str(), 0700);
    std::ofstream(root_ + key + "/planted") << "x";
    EXPECT_EQ(Get(key), root_ + key + "/");
    EXPECT_EQ(unpacked_, 1);
    EXPECT_FALSE(fs::exists(root_ + key + "/planted"));
    chmod((root_ + key).c_str(), 0755);   // others may look in: not trusted
    EXPECT_EQ(Get(key), root_ + key + "/");
    EXPECT_EQ(unpacked_, 2);
    EXPECT_TRUE(IsPrivateFolder(root_ + key));
    std::ofstream(root_ + key + "/.complete", std::ios::trunc) << "other-key";   // a mark of another version
    Get(key);
    EXPECT_EQ(unpacked_, 3);
}

TEST_F(BundleCache, AFailedUnpackingLeavesNothing)
{
    EXPECT_EQ(Get(BundleKey(1, 1), false), "");
    EXPECT_FALSE(fs::exists(root_ + BundleKey(1, 1)));
    EXPECT_EQ(Leftovers(), 0);
    // A file in the key's place is not ours to remove.
    std::ofstream(root_ + BundleKey(2, 2)) << "x";
    EXPECT_EQ(Get(BundleKey(2, 2)), "");
    EXPECT_EQ(unpacked_, 1);
}

TEST_F(BundleCache, TheCacheFolderMustBeClosedToOthers)
{
    EXPECT_TRUE(MakePrivateFolders(root_));
    chmod((base_ + "/porukana").c_str(), 0777);   // anyone could swap bundles/
    EXPECT_FALSE(MakePrivateFolders(root_));
    chmod((base_ + "/porukana").c_str(), 0755);
    chmod(root_.c_str(), 0750);
    EXPECT_FALSE(MakePrivateFolders(root_));
}

TEST_F(BundleCache, VersionsUnusedForAMonthGoWhenANewOneComes)
{
    const std::string oldKey = BundleKey(1, 1), recentKey = BundleKey(2, 2), newKey = BundleKey(3, 3);
    Get(oldKey);
    Get(recentKey);
    const std::string cutOff = root_ + ".unpack-abcdef";   // an unpacking that was cut off long ago
    fs::create_directories(cutOff);
    auto age = [](const std::string& path, int64_t seconds) {
        struct timespec times[2] = {{time(nullptr) - seconds, 0}, {time(nullptr) - seconds, 0}};
        utimensat(AT_FDCWD, path.c_str(), times, 0);
    };
    age(root_ + oldKey + "/.complete", kUnusedSeconds + 3600);
    age(root_ + recentKey + "/.complete", kUnusedSeconds - 3600);
    age(cutOff, kUnusedSeconds + 3600);
    Get(newKey);
    EXPECT_FALSE(fs::exists(root_ + oldKey));
    EXPECT_FALSE(fs::exists(cutOff));
    EXPECT_TRUE(fs::exists(root_ + recentKey + "/bin"));
    EXPECT_TRUE(fs::exists(root_ + newKey + "/bin"));
    // Using a version marks it as used: it stays.
    age(root_ + recentKey + "/.complete", kUnusedSeconds + 3600);
    Get(recentKey);
    Get(BundleKey(4, 4));
    EXPECT_TRUE(fs::exists(root_ + recentKey + "/bin"));
}

}   // namespace
