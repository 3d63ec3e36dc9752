// Dates and times as day counts from 1899-12-30 (day 0) with the time of day in
// milliseconds, the text forms the date commands read and write, and the date
// arithmetic of 日付加算, 時間加算 and the differences.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace datetime {

struct TDateTime {
    int64_t Days = 0;   // whole days since 1899-12-30, negative before it
    int32_t Ms = 0;     // time of day, 0 ... 86399999
};

bool IsLeapYear(int64_t y);
int DaysInMonth(int64_t y, int m);
// Proleptic Gregorian calendar <-> day number (1899-12-30 is 0).
int64_t DaysFromDate(int64_t y, int m, int d);
void DateFromDays(int64_t days, int64_t& y, int& m, int& d);

// Reads a date-time text. Accepted forms (digits may be full-width, blanks around
// are ignored):
//   dates  Y/M/D, Y-M-D, Y.M.D, Y年M月D日, and M/D (or M-D, M月D日) in `currentYear`;
//          a year of one or two digits is 2000+Y below 50 and 1900+Y otherwise
//   times  H:M, H:M:S, H:M:S.mmm, H時M分, H時M分S秒, each with an optional AM/PM
//          suffix or 午前/午後 prefix
//   a date, optionally followed by blanks and a time; or a time alone, which is
//   on day 0.
// Years run from 1 to 9999. Returns false for anything else.
bool ParseDateTime(std::string_view text, TDateTime& out, int64_t currentYear);
// As above with the current local year.
bool ParseDateTime(std::string_view text, TDateTime& out);

std::string FormatDate(int64_t days);   // yyyy/mm/dd
std::string FormatTime(int32_t ms);     // hh:nn:ss (seconds truncated)
// 1 for Sunday ... 7 for Saturday.
int WeekdayNumber(int64_t days);
// 日 月 火 水 木 金 土 for 1 ... 7.
std::string WeekdayName(int number);

// 日付加算 and 時間加算 over texts already trimmed. On failure they return false
// and put the message in `error`.
bool AddToDate(int64_t days, std::string_view offset, std::string& result, std::string& error);
bool AddToTime(int32_t ms, std::string_view offset, std::string& result, std::string& error);

// 日数差: whole days of a - b, truncated toward zero.
int64_t DayDifference(const TDateTime& a, const TDateTime& b);
// 秒差: seconds of a - b rounded to the nearest (halves to even); false when the
// result does not fit a signed 32-bit integer.
bool SecondDifference(const TDateTime& a, const TDateTime& b, int32_t& seconds);

// 和暦に変換: 平成15年1月12日, 平成元年5月1日; the empty text before 1868.
std::string JapaneseEraDate(int64_t y, int m, int d);

// The local date and time now.
TDateTime Now();

}   // namespace datetime
