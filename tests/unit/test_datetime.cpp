// Day serials, date-time texts and the date arithmetic of the date commands.
#include <gtest/gtest.h>

#include <string>

#include "commands/numbers/datetime.h"

using namespace datetime;

namespace {

TDateTime At(int64_t y, int m, int d, int h = 0, int mi = 0, int s = 0, int ms = 0)
{
    TDateTime v;
    v.Days = DaysFromDate(y, m, d);
    v.Ms = ((h * 60 + mi) * 60 + s) * 1000 + ms;
    return v;
}

}   // namespace

TEST(DateTime, SerialsAndCalendar)
{
    struct Case {
        int64_t y;
        int m, d;
        int64_t serial;
        int weekday;   // 1 Sunday ... 7 Saturday
    };
    const Case cases[] = {
        {1899, 12, 30, 0, 7},    {1899, 12, 31, 1, 1},      {1900, 1, 1, 2, 2},    {1900, 3, 1, 61, 5},
        {2003, 1, 12, 37633, 1}, {1868, 10, 23, -11390, 6}, {1, 1, 1, -693593, 2}, {9999, 12, 31, 2958465, 6},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DaysFromDate(c.y, c.m, c.d), c.serial) << c.y << "/" << c.m << "/" << c.d;
        EXPECT_EQ(WeekdayNumber(c.serial), c.weekday) << c.serial;
        int64_t y;
        int m, d;
        DateFromDays(c.serial, y, m, d);
        EXPECT_EQ(y, c.y);
        EXPECT_EQ(m, c.m);
        EXPECT_EQ(d, c.d);
    }
    for (int64_t y : {1600, 2000, 2004, 2400})
        EXPECT_TRUE(IsLeapYear(y)) << y;
    for (int64_t y : {1700, 1800, 1900, 2003, 2100})
        EXPECT_FALSE(IsLeapYear(y)) << y;
    EXPECT_EQ(WeekdayName(1), "日");
    EXPECT_EQ(WeekdayName(7), "土");

    // walking day by day from 1800 to 2200 agrees with the month lengths
    int64_t serial = DaysFromDate(1800, 1, 1);
    for (int64_t y = 1800; y < 2200; ++y)
        for (int m = 1; m <= 12; ++m)
            for (int d = 1; d <= DaysInMonth(y, m); ++d, ++serial) {
                ASSERT_EQ(DaysFromDate(y, m, d), serial) << y << "/" << m << "/" << d;
                int64_t yy;
                int mm, dd;
                DateFromDays(serial, yy, mm, dd);
                ASSERT_TRUE(yy == y && mm == m && dd == d) << serial;
            }
}

TEST(DateTime, ParsingTheAcceptedForms)
{
    struct Case {
        const char* text;
        bool ok;
        int64_t days;
        int32_t ms;
    };
    const int64_t d2003 = DaysFromDate(2003, 1, 12);
    const Case cases[] = {
        {"2003/1/12", true, d2003, 0},
        {"2003-01-12", true, d2003, 0},
        {"2003.01.12", true, d2003, 0},
        {"  2003/1/12  ", true, d2003, 0},
        {"２００３／１／１２", true, d2003, 0},
        {"2003年1月12日", true, d2003, 0},
        {"2003/1/12 10:20:30", true, d2003, (10 * 3600 + 20 * 60 + 30) * 1000},
        {"2003年1月12日10時20分", true, d2003, (10 * 3600 + 20 * 60) * 1000},
        {"10:20", true, 0, (10 * 3600 + 20 * 60) * 1000},
        {"10:20:30", true, 0, (10 * 3600 + 20 * 60 + 30) * 1000},
        {"10:20:30.250", true, 0, (10 * 3600 + 20 * 60 + 30) * 1000 + 250},
        {"1:05 PM", true, 0, (13 * 3600 + 5 * 60) * 1000},
        {"午前12:00", true, 0, 0},
        {"03/1/12", true, d2003, 0},                       // two-digit years: 2000-2049
        {"99/1/12", true, DaysFromDate(1999, 1, 12), 0},   // and 1950-1999
        {"1/12", true, DaysFromDate(2010, 1, 12), 0},      // month/day in the current year
        {"2003/2/29", false, 0, 0},
        {"2004/2/29", true, DaysFromDate(2004, 2, 29), 0},
        {"2003/13/1", false, 0, 0},
        {"2003/1/12 25:00", false, 0, 0},
        {"10:60", false, 0, 0},
        {"2003/1/12x", false, 0, 0},
        {"2003/1-12", false, 0, 0},
        {"abc", false, 0, 0},
        {"", false, 0, 0},
        {"12", false, 0, 0},
        {"10.5", false, 0, 0},
    };
    for (const Case& c : cases) {
        TDateTime v;
        EXPECT_EQ(ParseDateTime(c.text, v, 2010), c.ok) << c.text;
        if (!c.ok)
            continue;
        EXPECT_EQ(v.Days, c.days) << c.text;
        EXPECT_EQ(v.Ms, c.ms) << c.text;
    }
}

TEST(DateTime, Formatting)
{
    EXPECT_EQ(FormatDate(DaysFromDate(2003, 1, 2)), "2003/01/02");
    EXPECT_EQ(FormatDate(DaysFromDate(987, 11, 30)), "0987/11/30");
    EXPECT_EQ(FormatTime(0), "00:00:00");
    EXPECT_EQ(FormatTime((23 * 3600 + 59 * 60 + 59) * 1000 + 999), "23:59:59");
    EXPECT_EQ(FormatTime((7 * 3600 + 5) * 1000), "07:00:05");
}

TEST(DateTime, AddingToDates)
{
    struct Case {
        int64_t y;
        int m, d;
        const char* offset;
        const char* expected;   // or the error message
        bool ok;
    };
    const Case cases[] = {
        {2003, 1, 31, "0/1/0", "2003/02/28", true},     // month end lowered
        {2004, 1, 31, "0/1/0", "2004/02/29", true},     // leap year
        {2003, 12, 15, "0/12/0", "2004/12/15", true},   // twelve months carry into a year
        {2003, 11, 30, "0/3/0", "2004/02/29", true},
        {2003, 1, 12, "3", "2006/01/12", true},   // a lone number is years
        {2003, 1, 12, "0/0/3", "2003/01/15", true},
        {2003, 12, 30, "0/0/3", "2004/01/02", true},
        {2003, 1, 1, "0/0/365", "2004/01/01", true},
        {2004, 1, 1, "+0/0/366", "2005/01/01", true},
        {1900, 2, 28, "0/0/1", "1900/03/01", true},   // 1900 is no leap year
        {2004, 2, 29, "1", "2005/02/28", true},
        {2003, 1, 12, "-0/0/3", "2003/01/09", true},
        {2003, 3, 1, "-0/0/1", "2003/02/28", true},
        {2004, 3, 31, "-0/1/0", "2004/02/29", true},
        {2003, 1, 31, "-0/13/0", "2001/12/31", true},
        {2003, 1, 1, "-0/0/1", "2002/12/31", true},
        {1900, 3, 1, "-0/0/1", "1900/02/28", true},
        {1900, 1, 5, "-0/0/10", "1899/12/26", true},   // only the month step checks 1900
        {2003, 1, 12, "-200/0/0", "1900年以下は計算できません。", false},
        {1900, 1, 12, "-0/1/0", "1900年以下は計算できません。", false},
        {2003, 1, 12, " 0 / 1 / 0 ", "2003/02/12", true},
        {2003, 1, 12, "x/1/y", "2003/02/12", true},   // parts that are not numbers are 0
        {2003, 1, 12, "0/0/65535", "2182/06/17", true},
        {2003, 1, 12, "0/0/65536", "日付加算の値\"65536\"は、0から65535までの数で指定してください。", false},
        {2003, 1, 12, "0/-1/0", "日付加算の値\"-1\"は、0から65535までの数で指定してください。", false},
        {2003, 1, 12, "8000", "9999年より後は計算できません。", false},
    };
    for (const Case& c : cases) {
        std::string result, error;
        bool ok = AddToDate(DaysFromDate(c.y, c.m, c.d), c.offset, result, error);
        EXPECT_EQ(ok, c.ok) << c.offset;
        EXPECT_EQ(ok ? result : error, c.expected) << c.y << "/" << c.m << "/" << c.d << " " << c.offset;
    }
}

TEST(DateTime, AddingToTimes)
{
    struct Case {
        int h, m, s;
        const char* offset;
        const char* expected;
    };
    const Case cases[] = {
        {23, 59, 30, "0:0:45", "00:00:15"}, {10, 0, 30, "-3:0:0", "07:00:30"},   {0, 10, 0, "-0:20:0", "23:50:00"},
        {0, 0, 0, "-0:0:1", "23:59:59"},    {12, 0, 0, "25", "13:00:00"},   // a lone number is hours
        {12, 0, 0, "0:0:3600", "13:00:00"}, {12, 0, 0, "-0:0:7261", "09:58:59"}, {1, 2, 3, "0:0:0", "01:02:03"},
        {23, 0, 0, "+2:0:0", "01:00:00"},
    };
    for (const Case& c : cases) {
        std::string result, error;
        EXPECT_TRUE(AddToTime(((c.h * 60 + c.m) * 60 + c.s) * 1000, c.offset, result, error)) << c.offset;
        EXPECT_EQ(result, c.expected) << c.offset;
    }
    std::string result, error;
    EXPECT_FALSE(AddToTime(0, "70000:0:0", result, error));
    EXPECT_EQ(error, "時間加算の値\"70000\"は、0から65535までの数で指定してください。");
}

TEST(DateTime, Differences)
{
    EXPECT_EQ(DayDifference(At(2003, 1, 10), At(2003, 1, 1)), 9);
    EXPECT_EQ(DayDifference(At(2003, 1, 1), At(2003, 1, 10)), -9);
    EXPECT_EQ(DayDifference(At(2003, 1, 1, 12), At(2003, 1, 1)), 0);   // half a day
    EXPECT_EQ(DayDifference(At(2003, 1, 2, 11), At(2003, 1, 1, 12)), 0);
    EXPECT_EQ(DayDifference(At(2004, 3, 1), At(2004, 2, 28)), 2);
    EXPECT_EQ(DayDifference(At(1900, 3, 1), At(1900, 2, 28)), 1);
    EXPECT_EQ(DayDifference(At(1899, 12, 29, 6), At(1899, 12, 31)), -1);

    struct Sec {
        TDateTime a, b;
        int32_t expected;
    };
    const Sec secs[] = {
        {At(2003, 1, 1, 0, 0, 10), At(2003, 1, 1), 10},     {At(2003, 1, 2), At(2003, 1, 1), 86400},
        {At(2003, 1, 1, 0, 0, 0, 500), At(2003, 1, 1), 0},   // halves to even
        {At(2003, 1, 1, 0, 0, 1, 500), At(2003, 1, 1), 2},  {At(2003, 1, 1, 0, 0, 1, 501), At(2003, 1, 1), 2},
        {At(2003, 1, 1), At(2003, 1, 1, 0, 0, 2, 500), -2}, {At(2003, 1, 1), At(2003, 1, 1, 0, 0, 3, 500), -4},
    };
    for (const Sec& s : secs) {
        int32_t v = 0;
        EXPECT_TRUE(SecondDifference(s.a, s.b, v));
        EXPECT_EQ(v, s.expected);
    }
    int32_t v;
    EXPECT_TRUE(SecondDifference(At(2038, 1, 19, 3, 14, 7), At(1970, 1, 1), v));
    EXPECT_EQ(v, 2147483647);
    EXPECT_FALSE(SecondDifference(At(2038, 1, 19, 3, 14, 8), At(1970, 1, 1), v));
}

TEST(DateTime, JapaneseEras)
{
    struct Case {
        int64_t y;
        int m, d;
        const char* expected;
    };
    const Case cases[] = {
        {1867, 12, 31, ""},
        {1868, 10, 23, "明治元年10月23日"},
        {1868, 1, 1, "明治元年1月1日"},
        {1869, 1, 1, "明治2年1月1日"},
        {1911, 12, 31, "明治44年12月31日"},
        {1912, 1, 1, "大正元年1月1日"},
        {1925, 12, 31, "大正14年12月31日"},
        {1926, 1, 1, "昭和元年1月1日"},
        {1988, 12, 31, "昭和63年12月31日"},
        {1989, 1, 1, "平成元年1月1日"},
        {1989, 5, 1, "平成元年5月1日"},
        {2003, 1, 12, "平成15年1月12日"},
        {2019, 4, 30, "平成31年4月30日"},
        {2019, 5, 1, "令和元年5月1日"},
        {2019, 12, 31, "令和元年12月31日"},
        {2020, 1, 1, "令和2年1月1日"},
        {2024, 12, 9, "令和6年12月9日"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(JapaneseEraDate(c.y, c.m, c.d), c.expected) << c.y;
}

TEST(DateTime, NowHasTheShapeOfADate)
{
    TDateTime now = Now();
    EXPECT_GE(now.Ms, 0);
    EXPECT_LT(now.Ms, 86400000);
    int64_t y;
    int m, d;
    DateFromDays(now.Days, y, m, d);
    EXPECT_GE(y, 2020);
    EXPECT_LE(y, 9999);
}
