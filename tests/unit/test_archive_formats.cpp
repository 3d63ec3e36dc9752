// Formats by name and by contents, pack and unpack through every driver, the
// committed fixtures, entry names, and the refusals of unsafe archives.
#include <archive.h>
#include <archive_entry.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

#include "archive/archive_file.h"
#include "archive/backend.h"
#include "archive/probes.h"
#include "archive/safe_extract.h"
#include "archive_test_support.h"
#include "commands/files/security.h"
#include "core/codec.h"
#include "interp/interp.h"

namespace {

using namespace archive_test;

std::string S(const fs::path& p)
{
    return FromNativePath(p.string());
}

// A native (UTF-8) name from a name written in this file (Shift_JIS).
std::string N(const std::string& sjis)
{
    return SjisToUtf8(sjis);
}

// Trees compared by their names, so that a failure lists names, not contents.
void ExpectSameTree(const std::map<std::string, std::string>& got, const std::map<std::string, std::string>& want)
{
    for (const auto& [name, data] : want) {
        auto it = got.find(name);
        if (it == got.end())
            ADD_FAILURE() << "missing " << name;
        else
            EXPECT_TRUE(it->second == data) << "contents of " << name;
    }
    for (const auto& [name, data] : got)
        if (!want.count(name))
            ADD_FAILURE() << "unexpected " << name;
}

std::string MessageOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const EArchiver& e) {
        return e.what();
    }
    return "(no error)";
}

TArchiverOptions PackDefaults()
{
    TArchiverOptions o;
    ParseArchiveOptions("-a1 -r2 -x1 -l1 -jp1 -o2 -ji0", o);
    o[swX] = 1;
    o[swJso] = 1;
    return o;
}

TArchiverOptions ExtractDefaults()
{
    TArchiverOptions o;
    ParseArchiveOptions("-a1 -r2 -x1 -jp1 -c0 -m1", o);
    o[swJse] = 1;
    o[swJso] = 1;
    return o;
}

class ArchiveFormats : public WorkFolder {
protected:
    void MakeTree(const fs::path& root)
    {
        WriteBytes(root / "a.txt", "alpha\n");
        WriteBytes(root / "empty.dat", "");
        WriteBytes(root / "big.txt", Text(200000));
        WriteBytes(root / "noise.bin", Noise(30000));
        WriteBytes(root / N("sub/日本語.txt"), "日本\n");
        WriteBytes(root / "sub/deeper/x [1].txt", "bracket\n");
        WriteBytes(root / ".hidden", "dot\n");
    }
    void Pack(const fs::path& archive, const fs::path& base, const std::vector<std::string>& files,
              const TArchiverOptions& o)
    {
        TArchiveFile af;
        af.SetFileName(S(archive));
        af.Options = o;
        af.Pack(nullptr, nullptr, files, S(base) + "/");
        lastLine = af.LastCommandLine();
    }
    void Extract(const fs::path& archive, const fs::path& dest, const TArchiverOptions& o)
    {
        TArchiveFile af;
        af.SetFileName(S(archive));
        af.Options = o;
        af.Extract(nullptr, nullptr, {}, S(dest));
        lastLine = af.LastCommandLine();
    }
    std::string lastLine;
};

TEST(ArchiveNames, FormatByExtension)
{
    const struct {
        const char* name;
        TArchiverType type;
    } rows[] = {
        {"a.lzh", atLha},          {"A.LZH", atLha}, {"a.zip", atZip},        {"a.JAR", atZip},  {"a.cab", atCab},
        {"a.arj", atArj},          {"a.rar", atRar}, {"a.a", atTar},          {"a.lib", atTar},  {"a.tar", atTar},
        {"a.deb", atTar},          {"a.rpm", atTar}, {"a.cpio", atTar},       {"a.Z", atTgz},    {"a.gz", atTgz},
        {"a.tgz", atTgz},          {"a.taz", atTgz}, {"a.bz2", atBZ2},        {"a.gza", atBga},  {"a.bza", atBga},
        {"a.gca", atGCA},          {"a.7z", at7z},   {"a.exe", atAutoDetect}, {"a.txt", atNone}, {"lzh", atNone},
        {"dir.lzh\\file", atNone},
    };
    for (const auto& r : rows)
        EXPECT_EQ(FormatByExtension(r.name), r.type) << r.name;
}

TEST(ArchiveNames, SelectingTheFormat)
{
    TArchiveFile af;
    af.SetFileName("x.unknown");
    EXPECT_EQ(af.ArchiverType(), atAutoDetect);
    EXPECT_EQ(af.Driver(), nullptr);
    af.SetFileName("x.zip");
    EXPECT_EQ(af.ArchiverType(), atZip);
    af.SetFileName("x.unknown");   // an unknown name keeps the format
    EXPECT_EQ(af.ArchiverType(), atZip);
    EXPECT_NE(dynamic_cast<TZip32*>(af.Driver()), nullptr);
    EXPECT_EQ(MessageOf([&] { af.SetFileName("x.gca"); }), "書庫の形式を特定できませんでした。");
    TArchiveFile fresh;
    EXPECT_EQ(MessageOf([&] { fresh.Pack(nullptr, nullptr, {"a"}, ""); }), "書庫の形式を判別できません。");
    EXPECT_EQ(MessageOf([&] { fresh.Extract(nullptr, nullptr, {}, "o"); }), "書庫の形式を判別できません。");
    EXPECT_EQ(MessageOf([&] { fresh.MakeSfx(nullptr, nullptr, "o"); }), "書庫の形式を判別できません。");
    EXPECT_EQ(fresh.LastCommandLine(), "");
}

TEST_F(ArchiveFormats, ProbesOnFixtures)
{
    const struct {
        const char* file;
        TArchiverType type;
    } rows[] = {
        {"rar4_stored.rar", atRar},
        {"rar5_stored.rar", atRar},
        {"sjis_names.zip", atZip},
        {"level0.lzh", atLha},
        {"sample.arj", ArjToolPresent() ? atArj : atNone},
    };
    for (const auto& r : rows) {
        // Copied to ".exe" so that the name says nothing.
        const fs::path p = dir / (std::string(r.file) + ".exe");
        fs::copy_file(Fixture(r.file), p);
        EXPECT_EQ(SelectByContents(S(p)), r.type) << r.file;
        TArchiveFile af;
        af.SetFileName(S(p));
        EXPECT_EQ(af.ArchiverType(), r.type == atNone ? atAutoDetect : r.type) << r.file;
    }
    WriteBytes(dir / "plain.exe", Text(5000));
    EXPECT_EQ(SelectByContents(S(dir / "plain.exe")), atNone);
    EXPECT_EQ(SelectByContents(S(dir / "missing.exe")), atNone);
}

TEST_F(ArchiveFormats, ProbeOrderDecides)
{
    MakeTree(dir / "src");
    const fs::path tar = dir / "t.tar", tgz = dir / "t.tgz", bz2 = dir / "t.bz2", zip = dir / "t.zip",
                   lzh = dir / "t.lzh", cab = dir / "t.cab";
    for (const fs::path& p : {tar, tgz, bz2, zip, lzh, cab})
        Pack(p, dir / "src", {"a.txt"}, PackDefaults());
    EXPECT_EQ(ProbeTar(S(tar)), atTar);
    EXPECT_EQ(ProbeTar(S(tgz)), atTgz);
    EXPECT_EQ(ProbeTar(S(bz2)), atBZ2);
    EXPECT_EQ(ProbeTar(S(zip)), atNone);
    EXPECT_TRUE(ProbeZip(S(zip)));
    EXPECT_TRUE(ProbeLha(S(lzh)));
    EXPECT_EQ(SelectByContents(S(cab)), CabWriterPresent() ? atCab : atNone);
    EXPECT_FALSE(ProbeLha(S(zip)));
    // A file that is two archives at once: an LHA archive followed by a ZIP archive
    // (whose directory sits at the end) is both; LHA comes later in the order.
    WriteBytes(dir / "both.exe", ReadBytes(lzh) + ReadBytes(zip));
    EXPECT_TRUE(ProbeZip(S(dir / "both.exe")));
    EXPECT_EQ(SelectByContents(S(dir / "both.exe")), atLha);
    // A tar followed by a ZIP: the ZIP probe replaces the tar verdict.
    WriteBytes(dir / "tarzip.exe", ReadBytes(tar) + ReadBytes(zip));
    EXPECT_EQ(ProbeTar(S(dir / "tarzip.exe")), atTar);
    EXPECT_EQ(SelectByContents(S(dir / "tarzip.exe")), atZip);
    // A missing library makes its probe decline.
    SetLibraryPresenceForTest("UNLHA32.DLL", 0);
    EXPECT_EQ(SelectByContents(S(dir / "both.exe")), atZip);
    SetLibraryPresenceForTest("UNLHA32.DLL", -1);
}

TEST_F(ArchiveFormats, PackAndUnpackEveryWritableFormat)
{
    MakeTree(dir / "src");
    std::vector<std::string> exts = {"lzh", "zip", "7z", "tar", "tgz", "bz2"};
    if (CabWriterPresent())
        exts.push_back("cab");
    if (ArjToolPresent())
        exts.push_back("arj");
    auto want = Tree(dir / "src");
    for (const std::string& ext : exts) {
        SCOPED_TRACE(ext);
        const fs::path arc = dir / ("out." + ext);
        Pack(arc, dir, {"src"}, PackDefaults());
        ASSERT_TRUE(fs::exists(arc));
        Extract(arc, dir / ("x_" + ext), ExtractDefaults());
        ExpectSameTree(Tree(dir / ("x_" + ext) / "src"), want);
        // No staging folder is left behind.
        for (const auto& e : fs::directory_iterator(dir))
            EXPECT_EQ(e.path().filename().string().find(".porukana-"), std::string::npos);
    }
}

TEST_F(ArchiveFormats, PackCommandLineAndNames)
{
    MakeTree(dir / "src");
    Pack(dir / "n.lzh", dir / "src", {"a.txt", "sub/日本語.txt"}, PackDefaults());
    EXPECT_EQ(lastLine, "u -+ -a1 -l1 -o2 -p1 -x1 -ji0 -jp1 -jso1  \"" + S(dir / "n.lzh") + "\" \"" + S(dir / "src") +
                            "/\" \"a.txt\" \"sub/日本語.txt\" ");
    // x = 0 stores names without folders; hidden files need a > 0.
    TArchiverOptions o = PackDefaults();
    o[swX] = 0;
    o[swA] = 0;
    Pack(dir / "flat.zip", dir, {"src"}, o);
    Extract(dir / "flat.zip", dir / "flat", ExtractDefaults());
    auto t = Tree(dir / "flat");
    EXPECT_EQ(t.count(N("日本語.txt")), 1u);
    EXPECT_EQ(t.count("a.txt"), 1u);
    EXPECT_EQ(t.count(".hidden"), 0u);
    EXPECT_EQ(t.size(), 6u);
    EXPECT_EQ(MessageOf([&] { Pack(dir / "none.zip", dir, {"nothing*.txt"}, PackDefaults()); }),
              "圧縮するファイルが見つかりませんでした。");
    EXPECT_FALSE(fs::exists(dir / "none.zip"));
}

TEST_F(ArchiveFormats, FixturesUnpackWithTheirNames)
{
    const std::string hello = "Hello, archive\n";
    const std::string nihon = "日本のデータ\n";
    struct {
        const char* file;
        std::map<std::string, std::string> tree;
    } rows[] = {
        {"rar4_stored.rar", {{"hello.txt", hello}, {"dir/日本.txt", nihon}}},
        {"rar5_stored.rar", {{"hello.txt", hello}, {"dir/日本.txt", nihon}}},
        {"sjis_names.zip", {{"フォルダ/データ.txt", hello}, {"utf8_名前.txt", nihon}}},
        {"level0.lzh", {{"DIR/ファイル.TXT", hello}}},
    };
    for (auto& r : rows) {
        SCOPED_TRACE(r.file);
        const fs::path out = dir / (std::string(r.file) + ".out");
        Extract(Fixture(r.file), out, ExtractDefaults());
        // The expected names are written in this file's Shift_JIS; the disk has UTF-8.
        std::map<std::string, std::string> want;
        for (auto& [k, v] : r.tree)
            want[SjisToUtf8(k)] = SjisToUtf8(v);
        if (std::string(r.file) != "sjis_names.zip")
            want = [&] {
                std::map<std::string, std::string> w;
                for (auto& [k, v] : r.tree)
                    w[SjisToUtf8(k)] = v == nihon ? SjisToUtf8(v) : v;
                return w;
            }();
        auto got = Tree(out);
        for (auto& [k, v] : want) {
            ASSERT_TRUE(got.count(k)) << k;
            EXPECT_EQ(got[k].size(), v.size()) << k;
        }
        EXPECT_EQ(got.size(), want.size());
    }
    if (ArjToolPresent()) {
        Extract(Fixture("sample.arj"), dir / "arj", ExtractDefaults());
        EXPECT_EQ(Tree(dir / "arj"),
                  (std::map<std::string, std::string>{{"hello.txt", hello}, {"dir/data.txt", "ARJ data\n"}}));
    }
}

TEST(ArchiveEntryNames, DecodingAndChecks)
{
    EXPECT_EQ(EntryNameToUtf8("plain/name.txt", true), "plain/name.txt");
    EXPECT_EQ(EntryNameToUtf8(Utf8ToSjis("\xe8\xa1\xa8\\a.txt"), true),
              "\xe8\xa1\xa8/a.txt");                                            // 表\a.txt: 0x5C trail byte kept
    EXPECT_EQ(EntryNameToUtf8("\xe6\x97\xa5.txt", true), "\xe6\x97\xa5.txt");   // UTF-8 stays
    EXPECT_EQ(EntryNameToUtf8("a\\b", false), "a\\b");
    EXPECT_FALSE(IsValidUtf8("\x82\xa0"));
    EXPECT_FALSE(IsValidUtf8("\xc0\xaf"));   // overlong "/"
    EXPECT_TRUE(IsValidUtf8("ok \xe3\x81\x82"));

    const struct {
        const char* name;
        bool safe;
        const char* norm;
    } rows[] = {
        {"a/b.txt", true, "a/b.txt"}, {"./a//b/", true, "a/b"}, {"", true, ""},
        {"../a", false, ""},          {"a/../../b", false, ""}, {"a/..", false, ""},
        {"/etc/passwd", false, ""},   {"C:/x", false, ""},      {"c:x", false, ""},
        {"..a/b..", true, "..a/b.."}, {"ab:c", true, "ab:c"},
    };
    for (const auto& r : rows) {
        std::string norm;
        EXPECT_EQ(SafeRelativeName(r.name, norm), r.safe) << r.name;
        if (r.safe) {
            EXPECT_EQ(norm, r.norm) << r.name;
        }
    }
    EXPECT_TRUE(SafeLinkTarget("a/link", "b/c"));
    EXPECT_TRUE(SafeLinkTarget("a/link", "../c"));
    EXPECT_FALSE(SafeLinkTarget("a/link", "../../c"));
    EXPECT_FALSE(SafeLinkTarget("link", "/etc"));
    EXPECT_FALSE(SafeLinkTarget("link", ""));
    EXPECT_TRUE(SafeLinkTarget("x/y/link", "./../../z"));
}

// A tar archive with exactly the given entries (type 'l' for a symbolic link with
// its target, 'h' for a hard link, 'f' for a file with data).
void WriteTar(const fs::path& path, const std::vector<std::tuple<char, std::string, std::string>>& entries)
{
    archive* a = archive_write_new();
    archive_write_set_format_pax_restricted(a);
    archive_write_open_filename(a, path.c_str());
    for (const auto& [kind, name, value] : entries) {
        archive_entry* e = archive_entry_new();
        archive_entry_set_pathname(e, name.c_str());
        archive_entry_set_perm(e, 0644);
        if (kind == 'l') {
            archive_entry_set_filetype(e, AE_IFLNK);
            archive_entry_set_symlink(e, value.c_str());
        } else if (kind == 'h') {
            archive_entry_set_filetype(e, AE_IFREG);
            archive_entry_set_hardlink(e, value.c_str());
        } else {
            archive_entry_set_filetype(e, AE_IFREG);
            archive_entry_set_size(e, static_cast<la_int64_t>(value.size()));
        }
        archive_write_header(a, e);
        if (kind == 'f')
            archive_write_data(a, value.data(), value.size());
        archive_entry_free(e);
    }
    archive_write_close(a);
    archive_write_free(a);
}

TEST_F(ArchiveFormats, UnsafeEntriesAreRefused)
{
    WriteBytes(dir / "outside/keep.txt", "mine\n");
    const struct {
        const char* what;
        std::vector<std::tuple<char, std::string, std::string>> entries;
        const char* message;
    } rows[] = {
        {"dotdot",
         {{'f', "ok.txt", "1"}, {'f', "../outside/evil.txt", "x"}},
         "書庫の中の\"../outside/evil.txt\"は解凍先の外を指しているため、解凍しません。"},
        {"absolute", {{'f', (dir / "outside/abs.txt").string(), "x"}}, nullptr},
        {"link out", {{'l', "l", (dir / "outside").string()}}, nullptr},
        {"link up", {{'l', "l", "../outside"}}, nullptr},
        {"hard link out", {{'h', "h", "../outside/keep.txt"}}, nullptr},
        // A link that is inside on its own, but points at a folder above the
        // destination after a second link: refused by the check on link targets.
        {"link chain", {{'l', "a", "."}, {'l', "a/b", "../.."}}, nullptr},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        const fs::path tar = dir / "evil.tar";
        WriteTar(tar, r.entries);
        const fs::path dest = dir / "dest";
        const std::string msg = MessageOf([&] { Extract(tar, dest, ExtractDefaults()); });
        if (r.message)
            EXPECT_EQ(msg, r.message);
        else
            EXPECT_NE(msg, "(no error)");
        EXPECT_EQ(Tree(dir / "outside"), (std::map<std::string, std::string>{{"keep.txt", "mine\n"}}));
        fs::remove_all(dest);
    }
    // A link inside the destination followed by a file written through it.
    fs::create_directories(dir / "dest");
    fs::create_directory_symlink(dir / "outside", dir / "dest/inner");
    WriteTar(dir / "through.tar", {{'f', "inner/evil.txt", "x"}});
    EXPECT_NE(MessageOf([&] { Extract(dir / "through.tar", dir / "dest", ExtractDefaults()); }), "(no error)");
    EXPECT_FALSE(fs::exists(dir / "outside/evil.txt"));
    // A harmless link stays a link.
    WriteTar(dir / "fine.tar", {{'f', "d/f.txt", "data"}, {'l', "d/l", "f.txt"}});
    Extract(dir / "fine.tar", dir / "fine", ExtractDefaults());
    EXPECT_TRUE(fs::is_symlink(dir / "fine/d/l"));
}

TEST_F(ArchiveFormats, DamagedAndForeignFiles)
{
    WriteBytes(dir / "src/t.txt", Text(50000));
    Pack(dir / "a.lzh", dir / "src", {"t.txt"}, PackDefaults());
    std::string bytes = ReadBytes(dir / "a.lzh");
    bytes[bytes.size() / 2] ^= 0x21;
    WriteBytes(dir / "bad.lzh", bytes);
    const std::string msg = MessageOf([&] { Extract(dir / "bad.lzh", dir / "o1", ExtractDefaults()); });
    EXPECT_EQ(msg.rfind("書庫\"" + S(dir / "bad.lzh") + "\"の\"t.txt\"が壊れています", 0), 0u) << msg;
    EXPECT_FALSE(fs::exists(dir / "o1/t.txt"));   // the partial file is gone
    WriteBytes(dir / "cut.zip", ReadBytes(Fixture("sjis_names.zip")).substr(0, 60));
    EXPECT_NE(MessageOf([&] { Extract(dir / "cut.zip", dir / "o2", ExtractDefaults()); }), "(no error)");
    WriteBytes(dir / "text.zip", Text(3000));
    EXPECT_EQ(MessageOf([&] {
                  Extract(dir / "text.zip", dir / "o3", ExtractDefaults());
              }).rfind("書庫\"" + S(dir / "text.zip") + "\"を開けませんでした", 0),
              0u);
    WriteBytes(dir / "empty.tgz", "");
    EXPECT_NE(MessageOf([&] { Extract(dir / "empty.tgz", dir / "o4", ExtractDefaults()); }), "(no error)");
    EXPECT_NE(MessageOf([&] { Extract(dir / "missing.zip", dir / "o5", ExtractDefaults()); }), "(no error)");
    // A lone gzip file is one entry named after the archive.
    WriteBytes(dir / "notes.txt", "gzip me\n");
    ASSERT_EQ(system(("gzip -k " + (dir / "notes.txt").string()).c_str()), 0);
    Extract(dir / "notes.txt.gz", dir / "o6", ExtractDefaults());
    EXPECT_EQ(ReadBytes(dir / "o6/notes.txt"), "gzip me\n");
}

TEST_F(ArchiveFormats, ExistingFiles)
{
    WriteBytes(dir / "src/f.txt", "archived\n");
    utimbuf old{1000000000, 1000000000};
    utime((dir / "src/f.txt").c_str(), &old);
    Pack(dir / "a.zip", dir / "src", {"f.txt"}, PackDefaults());
    auto unpackWith = [&](const char* opts) {
        WriteBytes(dir / "dest/f.txt", "mine\n");   // newer than the entry
        TArchiverOptions o;
        ParseArchiveOptions(opts, o);
        Extract(dir / "a.zip", dir / "dest", o);
        return Tree(dir / "dest");
    };
    using M = std::map<std::string, std::string>;
    EXPECT_EQ(unpackWith("-c0"), (M{{"f.txt", "mine\n"}}));   // only newer entries replace
    EXPECT_EQ(unpackWith("-c1"), (M{{"f.txt", "archived\n"}}));
    EXPECT_EQ(unpackWith("-c1 -jn1"), (M{{"f.txt", "mine\n"}}));   // keep existing files
    EXPECT_EQ(unpackWith("-c1 -m2"), (M{{"f.txt", "mine\n"}, {"f_1.txt", "archived\n"}}));
    fs::remove_all(dir / "dest");
    fs::create_directories(dir / "dest/f.txt");
    EXPECT_EQ(MessageOf([&] { Extract(dir / "a.zip", dir / "dest", ExtractDefaults()); }),
              "解凍先に\"f.txt\"と同じ名前のファイルかフォルダがあるため、解凍できません。");
    // security.ini is written only when the gate allows it; without a state it never is.
    WriteBytes(dir / "ini/security.ini", "[security]\n");
    Pack(dir / "ini.zip", dir / "ini", {"security.ini"}, PackDefaults());
    Extract(dir / "ini.zip", dir / "iniout", ExtractDefaults());
    EXPECT_FALSE(fs::exists(dir / "iniout/security.ini"));
}

TEST_F(ArchiveFormats, SelfExtractingArchive)
{
    WriteBytes(dir / "src/a.txt", "self\n");
    WriteBytes(dir / "src/d/b.txt", Text(10000));
    Pack(dir / "p.lzh", dir / "src", {"a.txt", "d/b.txt"}, PackDefaults());
    TArchiveFile af;
    af.SetFileName(S(dir / "p.lzh"));
    ParseArchiveOptions("-x1 -r2 -gx0 -gw4", af.Options);
    af.Options[swJso] = 1;
    fs::create_directories(dir / "out");
    af.MakeSfx(nullptr, nullptr, S(dir / "out") + "/");
    EXPECT_EQ(af.LastCommandLine(),
              "s -+ -r2 -x1 -jso1 -gw4  \"" + S(dir / "p.lzh") + "\" \"" + S(dir / "out") + "/\" ");
    const fs::path exe = dir / "out/p.exe";
    ASSERT_TRUE(fs::exists(exe));
    EXPECT_NE(fs::status(exe).permissions() & fs::perms::owner_exec, fs::perms::none);
    // The run-time reads it back as an LHA archive.
    EXPECT_EQ(SelectByContents(S(exe)), atLha);
    Extract(exe, dir / "back", ExtractDefaults());
    ExpectSameTree(Tree(dir / "back"), Tree(dir / "src"));
    // So does the program itself.
    const std::string cmd = exe.string() + " -d " + (dir / "run").string() + " < /dev/null 2> /dev/null";
    ASSERT_EQ(system(cmd.c_str()), 0);
    ExpectSameTree(Tree(dir / "run"), Tree(dir / "src"));
    // The name: the first 8 bytes of the base name, a character never cut.
    WriteBytes(dir / N("日本語の書庫です.lzh"), ReadBytes(dir / "p.lzh"));
    const std::string made = WriteSfx((dir / N("日本語の書庫です.lzh")).string(), (dir / "out").string());
    EXPECT_EQ(fs::path(made).filename().string(), N("日本語の.exe"));
    WriteBytes(dir / "abcdefghij.lzh", ReadBytes(dir / "p.lzh"));
    EXPECT_EQ(fs::path(WriteSfx((dir / "abcdefghij.lzh").string(), (dir / "out").string())).filename(), "abcdefgh.exe");
    WriteBytes(dir / N("a日本語の書庫.lzh"), ReadBytes(dir / "p.lzh"));
    EXPECT_EQ(fs::path(WriteSfx((dir / N("a日本語の書庫.lzh")).string(), (dir / "out").string())).filename().string(),
              N("a日本語.exe"));
}

TEST_F(ArchiveFormats, ProtectedNamesAskTheGate)
{
    // An entry named security.ini goes through the gate, which never lets a script
    // write such a file; the other entries are unpacked.
    TPoruBase st;
    const fs::path script = dir / "proj";
    fs::create_directories(script);
    st.StartFolder = S(script) + "/";
    st.ScriptPath = S(script / "main.prk");
    std::vector<std::string> warned;
    SetGateQuestion([&](TPoruBase&, const std::string&) { return TGateAnswer::Yes; });
    SetGateWarning([&](TPoruBase&, const std::string&, const std::string& text) { warned.push_back(text); });
    WriteBytes(dir / "ini/SECURITY.INI", "[main.prk]\nsecurity=low\n");
    WriteBytes(dir / "ini/other.txt", "other\n");
    Pack(dir / "ini.zip", dir / "ini", {"SECURITY.INI", "other.txt"}, PackDefaults());
    for (const fs::path& dest : {script, dir / "elsewhere"}) {
        TArchiveFile af;
        af.State = &st;
        af.SetFileName(S(dir / "ini.zip"));
        af.Options = ExtractDefaults();
        af.Extract(nullptr, nullptr, {}, S(dest));
        EXPECT_FALSE(fs::exists(dest / "SECURITY.INI")) << dest;
        EXPECT_TRUE(fs::exists(dest / "other.txt")) << dest;
    }
    EXPECT_EQ(warned.size(), 2u);
    EXPECT_EQ(st.SecurityLevel, 1);
    SetGateQuestion(nullptr);
    SetGateWarning(nullptr);
}

}   // namespace
