// The option record and its reader, the command-line builder and the command lines
// every driver builds, byte for byte (the doubled space of the empty user options
// and the final space of the empty user file list included).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "archive/archiver.h"
#include "archive/options.h"
#include "archive_test_support.h"

namespace {

using namespace archive_test;

class ArchiveBuilderFiles : public WorkFolder {};

TArchiverOptions Parsed(const std::string& text)
{
    TArchiverOptions o;
    ParseArchiveOptions(text, o);
    return o;
}

// The switches that are set, as "name=value" joined by spaces.
std::string SetSwitches(const TArchiverOptions& o)
{
    std::string s;
    for (int i = 0; i < swCount; ++i)
        if (o.Sw[i] != -1)
            s += std::string(s.empty() ? "" : " ") + kSwitchNames[i] + "=" + std::to_string(o.Sw[i]);
    return s;
}

TEST(ArchiveOptions, FreshRecord)
{
    TArchiverOptions o;
    EXPECT_EQ(SetSwitches(o), "");
    EXPECT_EQ(o.PackFilter, pfComponent);
    EXPECT_EQ(o.ResFileUsage, ruOnPack | ruOnUnpack | ruOnRemoveItem);
    EXPECT_TRUE(o.Jx.empty() && o.UserOptions.empty() && o.W.empty());
}

TEST(ArchiveOptions, ReaderTable)
{
    const struct {
        const char* text;
        const char* set;
    } rows[] = {
        {"-a1 -r2 -x1 -l1 -jp1 -o2 -ji0", "a=1 l=1 o=2 r=2 x=1 ji=0 jp=1"},
        {"-a1 -r2 -x1 -jp1 -c0 -m1", "a=1 c=0 m=1 r=2 x=1 jp=1"},
        {"-x1 -r2 -gx0 -gw4", "r=2 x=1 gw=4"},   // gx is no switch
        {"-jp1 -gw10", "jp=1"},                  // "gw1" is no switch
        {"  -a1   -x0  ", "a=1 x=0"},            // doubled, leading and trailing spaces
        {"-a1\t -c2", "a=1 c=2"},                // pieces are trimmed
        {"a3 --c1 -m -jsoX -", "a=3"},           // one "-" is removed; no digit, no value
        {"-jso1 -jse1 -jyo9 -gu0", "jse=1 jso=1 jyo=9 gu=0"},
        {"-w1 -jo1 -jx1 -jz1 -gr1", ""},   // text and list fields are not switches
        {"-a1 -a2", "a=2"},                // the last one counts
        {"", ""},
    };
    for (const auto& r : rows)
        EXPECT_EQ(SetSwitches(Parsed(r.text)), r.set) << r.text;
}

TEST(ArchiveOptions, EverySwitchNameIsFound)
{
    for (int i = 0; i < swCount; ++i) {
        TSwitch s;
        ASSERT_TRUE(FindSwitch(kSwitchNames[i], s)) << kSwitchNames[i];
        EXPECT_EQ(s, i);
        EXPECT_EQ(Parsed(std::string("-") + kSwitchNames[i] + "7")[s], 7);
    }
}

TEST(CmdOpt, Operations)
{
    TCmdOpt c;
    c.Add("");
    c.Add("-+");
    c.AddValue("", "");
    c.AddValue("", "a b");
    c.AddValue("w", "C:\\tmp\\");
    c.AddValue(" --name=", "v");
    c.AddNumber("x", -1);
    c.AddNumber("x", 0);
    c.AddNumber("-check-all-path=", 3);
    c.AddSwitch("r", false);
    c.AddSwitch("r", true);
    EXPECT_EQ(c.Text(), "  -+ \"a b\" \"-wC:\\tmp\\\" \"--name=v\" -x0 --check-all-path=3 -r");

    TCmdOpt s;
    s.Style = 1;
    s.AddValue("f", "a.tar");
    s.AddFolder("o", "out");
    s.AddFolder("o", "");
    EXPECT_EQ(s.Text(), " -f \"a.tar\" -o \"out\\\"");
}

TEST(CmdOpt, FolderSeparators)
{
    EXPECT_EQ(FolderWithSeparator("C:\\work"), "C:\\work\\");
    EXPECT_EQ(FolderWithSeparator("C:\\work\\"), "C:\\work\\");
    EXPECT_EQ(FolderWithSeparator("/tmp/out"), "/tmp/out/");
    EXPECT_EQ(FolderWithSeparator("/tmp/out/"), "/tmp/out/");
    EXPECT_EQ(FolderWithSeparator("out"), "out\\");
    EXPECT_EQ(FolderWithSeparator("/tmp/表"), "/tmp/表/");   // the trail byte 0x5C is no separator
    EXPECT_EQ(FolderWithSeparator(""), "");
}

TEST_F(ArchiveBuilderFiles, ResponseFileAndConverter)
{
    TCmdOpt c;
    c.Converter = TZip32::ConvertName;
    const std::string path = (dir / "list.txt").string();
    ASSERT_TRUE(c.AddResponseFile({"-a\\b[1].txt", "c.txt"}, path));
    EXPECT_EQ(c.Text(), " \"@" + path + "\"");
    EXPECT_EQ(ReadBytes(path), "\"[-]a/b[[]1].txt\"\r\n\"c.txt\"\r\n");
    EXPECT_FALSE(c.AddResponseFile({"x"}, (dir / "missing/list.txt").string()));
}

TEST(ZipDriver, NameConverter)
{
    EXPECT_EQ(TZip32::ConvertName("-name\\sub[x]"), "[-]name/sub[[]x]");
    EXPECT_EQ(TZip32::ConvertName("a-b"), "a-b");
    EXPECT_EQ(TZip32::ConvertName("表\\示.txt"), "表/示.txt");   // 表 ends in 0x5C
}

TArchiveOp Op(const std::string& archive, const std::string& folder, std::vector<std::string> files = {})
{
    TArchiveOp op;
    op.Archive = archive;
    op.Folder = folder;
    op.Files = std::move(files);
    return op;
}

// The options 圧縮 hands to the driver: its defaults with x = 1 and jso = 1, after
// the file-list expansion (r = -1, p = 1).
TArchiverOptions PackOptions()
{
    TArchiverOptions o = Parsed("-a1 -r2 -x1 -l1 -jp1 -o2 -ji0");
    o[swX] = 1;
    o[swJso] = 1;
    o[swR] = -1;
    o[swP] = 1;
    return o;
}

TArchiverOptions ExtractOptions()
{
    TArchiverOptions o = Parsed("-a1 -r2 -x1 -jp1 -c0 -m1");
    o[swJse] = 1;
    o[swJso] = 1;
    return o;
}

TEST(LhaDriver, WorkedCommandLines)
{
    TLha32 lha;
    EXPECT_EQ(
        lha.PackLine(PackOptions(), Op("C:\\work\\test.lzh", "C:\\work\\", {"a.txt", "sub\\b.txt"})),
        "u -+ -a1 -l1 -o2 -p1 -x1 -ji0 -jp1 -jso1  \"C:\\work\\test.lzh\" \"C:\\work\\\" \"a.txt\" \"sub\\b.txt\" ");
    EXPECT_EQ(
        lha.LastCommandLine(),
        "u -+ -a1 -l1 -o2 -p1 -x1 -ji0 -jp1 -jso1  \"C:\\work\\test.lzh\" \"C:\\work\\\" \"a.txt\" \"sub\\b.txt\" ");
    EXPECT_EQ(lha.ExtractLine(ExtractOptions(), Op("C:\\work\\test.lzh", "C:\\out")),
              "x -+ -a1 -c0 -m1 -r2 -x1 -jp1 -jse1 -jso1  \"C:\\work\\test.lzh\" \"C:\\out\\\" ");
    TArchiverOptions sfx = Parsed("-x1 -r2 -gx0 -gw4");
    sfx[swJso] = 1;
    EXPECT_EQ(lha.SfxLine(sfx, Op("/tmp/a.lzh", "/tmp/", {"never.txt"})),
              "s -+ -r2 -x1 -jso1 -gw4  \"/tmp/a.lzh\" \"/tmp/\" ");
}

TEST(LhaDriver, EveryFieldInItsPlace)
{
    TArchiverOptions o;
    for (int i = 0; i < swCount; ++i)
        o.Sw[i] = static_cast<int8_t>(i % 10);
    o.W = "w";
    o.Jo = "200101";
    o.Job = "201231";
    o.Jx = {"*.bak", "*.tmp"};
    o.Jz = "z";
    o.Gr = "g";
    o.UserOptions = "-uo";
    o.UserFileList = "extra";
    TLha32 lha;
    EXPECT_EQ(lha.PackLine(o, Op("a.lzh", "b", {"f"})),
              "u -+ -a0 -c1 -e2 -f3 -h4 -i5 -l6 -m7 -n8 -o9 -p0 -r1 -s2 -t3 -u4 \"-ww\\\" -x5 -y6 -z7 -jc8 -jd9"
              " -je0 -jf1 -jh2 -ji3 -jm4 -jn5 \"-jo200101\" \"-job201231\" -jp6 -jr7 -jsb8 -jsc9 -jsd0 -jse1 -jsf2"
              " -jsl3 -jso4 -jss5 -jst6 -jsv7 -jsz8 -jw9 \"-jx*.bak\" \"-jx*.tmp\" -jyc0 -jyd1 -jyk2 -jyn3 -jyo4"
              " \"-jzz\" -ga5 -gd6 -ge7 -gf8 -gj9 -gm0 -gn1 -go2 -gp3 \"-grg\" -gs4 -gu5 -gw6 -uo \"a.lzh\" \"b\\\""
              " \"f\" extra");
    lha.SetOwnerWindow();
    o = TArchiverOptions();
    o[swJso] = 1;
    EXPECT_EQ(lha.PackLine(o, Op("a.lzh", "")), "u -+ -n1 -jso1  \"a.lzh\" ");
}

TEST(LhaDriver, RequiredSwitches)
{
    TLha32 lha;
    TArchiverOptions o;
    try {
        lha.Pack(o, Op("a.lzh", ""));
        FAIL();
    } catch (const EArchiver& e) {
        EXPECT_STREQ(e.what(), "jso オプションが設定されていません。");
    }
    o[swJso] = 1;
    try {
        lha.Extract(o, Op("a.lzh", "out"));
        FAIL();
    } catch (const EArchiver& e) {
        EXPECT_STREQ(e.what(), "jse オプションが設定されていません。");
    }
}

TEST(Drivers, CommandLinesOfEveryFamily)
{
    const TArchiverOptions pack = PackOptions();
    const TArchiverOptions ext = ExtractOptions();
    TZip32 zip;
    EXPECT_EQ(zip.PackLine(pack, Op("a.zip", "C:\\w\\", {"-x\\y.txt"})),
              " -S -D -v  \"a.zip\" \"C:\\w\\\" \"[-]x/y.txt\" ");
    EXPECT_EQ(zip.ExtractLine(ext, Op("a.zip", "out")), "-x  \"a.zip\" \"out\\\" ");
    TArchiverOptions z = ext;
    z[swC] = 1;
    z[swX] = 0;
    z[swN] = 1;
    EXPECT_EQ(zip.ExtractLine(z, Op("a.zip", "out")), "-x -o --i -j  \"a.zip\" \"out\\\" ");
    TArchiverOptions zp;
    for (TSwitch s : {swA, swL, swN, swR, swU, swJc, swJi, swGd})
        zp[s] = 2;
    zp[swX] = 0;
    zp[swJm] = 9;
    EXPECT_EQ(zip.PackLine(zp, Op("a.zip", "")), " -S -v -q -r -o -u -j -FF -k -9 -J  \"a.zip\" ");

    TTar32 tar;
    EXPECT_EQ(tar.ExtractLine(ext, Op("a.tar", "out")), "x -AH --use-directory=1  -f \"a.tar\" -o \"out\\\" ");
    TTgz32 tgz;
    EXPECT_EQ(tgz.PackLine(pack, Op("a.tgz", "/b/", {"f"})),
              "c -AH -g --check-all-path=1 --use-directory=1 -z  -f \"a.tgz\" -o \"/b/\" \"f\" ");
    TArchiverOptions t;
    t[swA] = 0;
    t[swN] = 1;
    t[swJm] = 6;
    TBZ232 bz2;
    EXPECT_EQ(bz2.PackLine(t, Op("a.bz2", "")), "c -I --display-dialog=0 -B6  -f \"a.bz2\" ");

    TRar32 rar;
    EXPECT_EQ(rar.ExtractLine(ext, Op("a.rar", "out")), "-x -u -y  \"a.rar\" \"out\\\" ");
    TArchiverOptions r;
    r[swX] = 0;
    r[swC] = 1;
    r[swP] = 1;
    EXPECT_EQ(rar.ExtractLine(r, Op("a.rar", "out")), "-e -s  \"a.rar\" \"out\\\" ");

    TBGA32 bga;
    EXPECT_EQ(bga.PackLine(pack, Op("a.gza", "b/", {"f"})), "a -a -n  \"a.gza\" \"b/\" \"f\" ");
    TArchiverOptions b;
    b[swC] = 1;
    b[swN] = 1;
    b[swR] = 1;
    b[swX] = 1;
    b[swJm] = 3;
    EXPECT_EQ(bga.ExtractLine(b, Op("a.gza", "o")), "x -o -i -r -l3  \"a.gza\" \"o\\\" ");

    TSevenZip32 sz;
    EXPECT_EQ(sz.ExtractLine(ext, Op("a.7z", "out")), "x -r \"-oout\\\"  \"a.7z\" ");
    TArchiverOptions s;
    s[swX] = 0;
    s[swM] = 2;
    s[swR] = 0;
    s[swY] = 1;
    s[swN] = 1;
    s.W = "/w";
    s.Jx = {"*.o"};
    EXPECT_EQ(sz.ExtractLine(s, Op("a.7z", "out")), "e -aou -hide -r- \"-w/w/\" -y \"-x!*.o\" \"-oout\\\"  \"a.7z\" ");
    s[swM] = -1;
    s[swJn] = 1;
    EXPECT_EQ(sz.PackLine(s, Op("a.7z", "b/", {"f"})), "u -hide -r- \"-w/w/\" -y \"-x!*.o\" \"-ob/\"  \"a.7z\" \"f\" ");
    s[swJn] = -1;
    s[swC] = 1;
    EXPECT_EQ(sz.ExtractLine(s, Op("a.7z", "o/")), "e -aoa -hide -r- \"-w/w/\" -y \"-x!*.o\" \"-oo/\"  \"a.7z\" ");

    TCab32 cab;
    EXPECT_EQ(cab.PackLine(pack, Op("/x/a.cab", "/x/", {"f"})), "-a  \"/x/a.cab\" \"/x/\" \"f\" ");
    TArchiverOptions c;
    c[swC] = 1;
    c[swN] = 1;
    c[swR] = 1;
    c[swX] = 0;
    c[swJi] = 1;
    c.W = "/h";
    EXPECT_EQ(cab.ExtractLine(c, Op("/x/a.cab", "o")), "-x -o -i -r \"-h/h/\" -j -q  \"/x/a.cab\" \"o\\\" ");
    // A relative archive path is made absolute for extraction.
    const std::string line = cab.ExtractLine(c, Op("a.cab", "o"));
    EXPECT_NE(line.find(" \"/"), std::string::npos) << line;
    EXPECT_NE(line.find("/a.cab\""), std::string::npos) << line;
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

TEST(Drivers, BaseOperationsAndMissingLibraries)
{
    TRar32 rar;
    const TArchiverOptions o = PackOptions();
    EXPECT_EQ(MessageOf([&] { rar.Pack(o, Op("a.rar", "")); }),
              "この形式では書庫ファイルの作成をサポートしておりません。");
    EXPECT_EQ(MessageOf([&] { rar.RemoveItems(o, Op("a.rar", "")); }),
              "この形式の書庫ではファイルの削除をサポートしておりません。");
    EXPECT_EQ(MessageOf([&] { rar.Update(o, Op("a.rar", "")); }),
              "この形式の書庫では書庫の更新をサポートしておりません。");
    EXPECT_EQ(MessageOf([&] { rar.MakeSfx(o, Op("a.rar", "")); }),
              "この形式では自己解凍書庫の作成をサポートしておりません。");
    EXPECT_EQ(MessageOf([&] { rar.ExtractMem(o, Op("a.rar", "")); }),
              "この形式ではメモリへの展開をサポートしておりません。");
    EXPECT_EQ(MessageOf([&] { rar.CheckArchive("a.rar"); }), "この形式では書庫チェック機能をサポートしておりません。");
    EXPECT_EQ(rar.OpenArchive("a.rar"), 0);
    EXPECT_EQ(rar.FindFirst("*"), -1);

    TBGA32 bga;
    EXPECT_EQ(MessageOf([&] { bga.Pack(o, Op("a.gza", "b/", {"f"})); }),
              "BGA 形式書庫 を扱うには BGA32.DLL が 必要です。");
    EXPECT_EQ(bga.LastCommandLine(), "a -a -n  \"a.gza\" \"b/\" \"f\" ");   // built before the call fails

    SetLibraryPresenceForTest("UNLHA32.DLL", 0);
    TLha32 lha;
    EXPECT_EQ(MessageOf([&] { lha.Pack(o, Op("a.lzh", "b/", {"f"})); }),
              "LHA 形式書庫 を扱うには UNLHA32.DLL が 必要です。");
    EXPECT_EQ(lha.LastCommandLine(), "u -+ -a1 -l1 -o2 -p1 -x1 -ji0 -jp1 -jso1  \"a.lzh\" \"b/\" \"f\" ");
    SetLibraryPresenceForTest("UNLHA32.DLL", -1);

    SetLibraryPresenceForTest("UNARJ32J.DLL", 0);
    TArj32 arj;
    EXPECT_EQ(MessageOf([&] { arj.Extract(ExtractOptions(), Op("a.arj", "o")); }),
              "ARJ 形式書庫 を扱うには UNARJ32J.DLL が 必要です。");
    EXPECT_EQ(arj.LastCommandLine(), "x -+ -a1 -c0 -m1 -r2 -x1 -jp1 -jse1 -jso1  \"a.arj\" \"o\\\" ");
    SetLibraryPresenceForTest("UNARJ32J.DLL", -1);

    // The ZIP driver checks its libraries before it builds anything.
    SetLibraryPresenceForTest("ZIP32J.DLL", 0);
    SetLibraryPresenceForTest("UNZIP32.DLL", 0);
    TZip32 zip;
    EXPECT_EQ(MessageOf([&] { zip.Pack(o, Op("a.zip", "", {"f"})); }),
              "ZIP 形式書庫の作成には ZIP32J.DLL または LMZIP32.DLL が必要です。");
    EXPECT_EQ(MessageOf([&] { zip.Extract(ExtractOptions(), Op("a.zip", "o")); }),
              "ZIP 形式書庫の解凍には UNZIP32.DLL または LMZIP32.DLL が必要です。");
    EXPECT_EQ(zip.LastCommandLine(), "");
    SetLibraryPresenceForTest("LMZIP32.DLL", 1);   // the other writer's syntax
    TArchiverOptions l = o;
    l[swC] = 1;
    l[swX] = 0;
    EXPECT_EQ(zip.PackLine(l, Op("a.zip", "", {"-f"})), "-ru -o -j  \"a.zip\" \"-f\" ");
    SetLibraryPresenceForTest("LMZIP32.DLL", -1);
    SetLibraryPresenceForTest("ZIP32J.DLL", -1);
    SetLibraryPresenceForTest("UNZIP32.DLL", -1);
}

TEST(Drivers, AbstractBindingAndFactory)
{
    struct TBare : TArchiver {
        int Extract(const TArchiverOptions&, const TArchiveOp&) override { return 0; }
    } bare;
    EXPECT_EQ(MessageOf([&] { bare.EnsureLoaded(); }), "Abstract method 'TArchiver.LoadDLL' was called");
    EXPECT_EQ(MessageOf([&] { bare.FreeDLL(); }), "Abstract method 'TArchiver.FreeDLL' was called");
    for (TArchiverType t : {atLha, atZip, atCab, atArj, atTar, atTgz, atBZ2, atRar, atBga, at7z})
        EXPECT_NE(CreateArchiver(t), nullptr) << int(t);
    for (TArchiverType t : {atYz1, atGCA, atBel, atNone, atAutoDetect})
        EXPECT_EQ(CreateArchiver(t), nullptr) << int(t);
    EXPECT_NE(dynamic_cast<TLha32*>(CreateArchiver(atArj).get()), nullptr);
    EXPECT_NE(dynamic_cast<TTar32*>(CreateArchiver(atBZ2).get()), nullptr);
}

TEST_F(ArchiveBuilderFiles, ResponseFileInTheTail)
{
    TArchiverOptions o = PackOptions();
    o.ResFileName = (dir / "resp.txt").string();
    TArchiveOp op = Op("a.lzh", "", {"x.txt", "y.txt"});
    op.UseResponseFile = true;
    TLha32 lha;
    EXPECT_EQ(lha.PackLine(o, op), "u -+ -a1 -l1 -o2 -p1 -x1 -ji0 -jp1 -jso1  \"a.lzh\" \"@" + o.ResFileName + "\" ");
    EXPECT_EQ(ReadBytes(o.ResFileName), "\"x.txt\"\r\n\"y.txt\"\r\n");
}

}   // namespace
