// The file-list expansion before packing: folders, masks, recursion, hidden files,
// date bounds, exclusions, and names relative to the base folder.
#include <gtest/gtest.h>
#include <utime.h>

#include "archive/file_list.h"
#include "archive_test_support.h"
#include "core/codec.h"

namespace {

using namespace archive_test;

class ArchiveFileList : public WorkFolder {
protected:
    std::string base;
    void SetUp() override
    {
        WorkFolder::SetUp();
        base = FromNativePath(dir.string()) + "/";
        for (const char* f : {"a.txt", "b.log", ".hid.txt", "sub/c.txt", "sub/a.txt", "sub/deep/d.txt", "other/e.log"})
            WriteBytes(dir / f, f);
        WriteBytes(dir / SjisToUtf8("日本/名前.txt"), "n");
    }
    std::string Expand(std::vector<std::string> list, const char* options, TArchiverOptions* after = nullptr)
    {
        TArchiverOptions o;
        ParseArchiveOptions(options, o);
        if (after)
            o = *after;
        const TFileListResult r = ExpandFileList(o, list, base);
        EXPECT_EQ(o[swR], -1);
        EXPECT_EQ(o[swP], 1);
        EXPECT_TRUE(o.Jo.empty() && o.Job.empty());
        std::string s;
        for (const std::string& n : r.Names)
            s += (s.empty() ? "" : " ") + n;
        return s;
    }
    void SetTime(const char* file, time_t t)
    {
        utimbuf u{t, t};
        utime((dir / file).c_str(), &u);
    }
};

TEST_F(ArchiveFileList, FoldersMasksAndRecursion)
{
    // r2: a folder is taken whole; plain names and masks are searched in subfolders too.
    EXPECT_EQ(Expand({"sub"}, "-r2 -a1"), "sub/a.txt sub/c.txt sub/deep/d.txt");
    EXPECT_EQ(Expand({"a.txt"}, "-r2"), "a.txt sub/a.txt");
    EXPECT_EQ(Expand({"*.log"}, "-r2"), "b.log other/e.log");
    // p1 limits the subfolder search to masks.
    EXPECT_EQ(Expand({"a.txt"}, "-r2 -p1"), "a.txt");
    EXPECT_EQ(Expand({"*.log"}, "-r1 -p1"), "b.log other/e.log");
    // r0: nothing below; a folder alone is no file.
    EXPECT_EQ(Expand({"*.txt"}, "-r0"), "a.txt");
    EXPECT_EQ(Expand({"sub"}, "-r0"), "");
    EXPECT_EQ(Expand({"sub/*.txt"}, ""), "sub/a.txt sub/c.txt");
    // Hidden files only with a > 0; an empty list is the whole base folder.
    EXPECT_EQ(Expand({"*.txt"}, "-r0 -a1"), ".hid.txt a.txt");
    EXPECT_EQ(Expand({}, "-r0"), "a.txt b.log");
    // Results are sorted and taken once; missing names give nothing.
    EXPECT_EQ(Expand({"b.log", "a.txt", "*.txt", "missing.txt"}, "-r0"), "a.txt b.log");
    // Shift_JIS names in and out; an absolute name keeps its folder.
    EXPECT_EQ(Expand({"日本"}, "-r2"), "日本/名前.txt");
    EXPECT_EQ(Expand({base + "other/e.log"}, ""), base + "other/e.log");
    // With jf = -2 a name below the base folder is made relative to it.
    EXPECT_EQ(Expand({base + "other/e.log"}, "-jf0"), base + "other/e.log");
    TArchiverOptions rel;
    rel[swJf] = -2;
    EXPECT_EQ(Expand({base + "other/e.log"}, "", &rel), "other/e.log");
    // "." is the base folder itself.
    EXPECT_EQ(Expand({"."}, "-r2"), "a.txt b.log other/e.log sub/a.txt sub/c.txt sub/deep/d.txt 日本/名前.txt");
}

TEST_F(ArchiveFileList, ExclusionsAndDates)
{
    TArchiverOptions o;
    ParseArchiveOptions("-r2", o);
    o.Jx = {"*.log", "sub/a.txt"};
    EXPECT_EQ(Expand({"*.*"}, "", &o), "a.txt sub/c.txt sub/deep/d.txt 日本/名前.txt");

    std::tm tm{};
    tm.tm_year = 2020 - 1900;
    tm.tm_mon = 4;
    tm.tm_mday = 17;
    tm.tm_hour = 12;
    tm.tm_isdst = -1;
    const time_t noon = mktime(&tm);
    SetTime("a.txt", noon);
    SetTime("b.log", noon - 86400);       // the day before
    SetTime("sub/c.txt", noon + 86400);   // the day after
    TArchiverOptions d;
    ParseArchiveOptions("-r2 -p1", d);
    d.Jo = "200517";
    d.Job = "l20200517";
    EXPECT_EQ(Expand({"*.*"}, "", &d), "a.txt");
    d.Job.clear();
    d.Jo = "20200517120001";   // a second after noon: a.txt is too old
    EXPECT_EQ(Expand({"a.txt", "sub/c.txt"}, "", &d), "sub/c.txt");
    d.Jo = "2005";   // not a date: no bound
    EXPECT_EQ(Expand({"a.txt"}, "", &d), "a.txt");
}

TEST_F(ArchiveFileList, Cancelling)
{
    TArchiverOptions o;
    ParseArchiveOptions("-r2", o);
    int seen = 0;
    const TFileListResult r = ExpandFileList(o, {"*.*"}, base, [&](const std::string&) { return ++seen < 2; });
    EXPECT_TRUE(r.Cancelled);
    EXPECT_EQ(seen, 2);
}

TEST(ArchiveDates, Forms)
{
    auto at = [](const std::string& text, const char* def, int year) {
        time_t t;
        if (!ParseArchiveDate(text, def, year, t))
            return std::string("none");
        std::tm tm{};
        localtime_r(&t, &tm);
        char buf[32];
        strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &tm);
        return std::string(buf);
    };
    EXPECT_EQ(at("200517", "000000", 2024), "2020-05-17 00:00:00");
    EXPECT_EQ(at("l200517", "235959", 2024), "2020-05-17 23:59:59");
    EXPECT_EQ(at("200517123456", "000000", 2024), "2020-05-17 12:34:56");
    EXPECT_EQ(at("19990101", "235959", 2024), "1999-01-01 23:59:59");
    EXPECT_EQ(at("19990101010203", "000000", 2024), "1999-01-01 01:02:03");
    // Two-digit years lie in the hundred years from 50 years back.
    EXPECT_EQ(at("740101", "000000", 2024), "1974-01-01 00:00:00");
    EXPECT_EQ(at("730101", "000000", 2024), "2073-01-01 00:00:00");
    EXPECT_EQ(at("990101", "000000", 2060), "2099-01-01 00:00:00");
    EXPECT_EQ(at("100101", "000000", 2060), "2010-01-01 00:00:00");
    EXPECT_EQ(at("090101", "000000", 2060), "2109-01-01 00:00:00");
    EXPECT_EQ(at("2001", "000000", 2024), "none");
    EXPECT_EQ(at("20x517", "000000", 2024), "none");
    EXPECT_EQ(at("", "000000", 2024), "none");
}

}   // namespace
