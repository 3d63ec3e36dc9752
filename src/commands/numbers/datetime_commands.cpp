// The date and time commands: the current date and time, weekdays, 日付加算 and
// 時間加算, differences, the Japanese era and the millisecond clock.
#include <ctime>

#include "commands/numbers/datetime.h"
#include "core/text.h"
#include "interp/builtins.h"

namespace {

using datetime::TDateTime;

TDateTime ParseOr(TPoruBase& st, const std::string& text, const std::string& message)
{
    TDateTime v;
    if (!datetime::ParseDateTime(text, v))
        st.Error(message);
    return v;
}

// 今: the local time as hh:nn:ss.
void cmdNow(TPoruBase& st)
{
    st.SetSore(datetime::FormatTime(datetime::Now().Ms), "s");
}

// 今日: the local date as yyyy/mm/dd.
void cmdToday(TPoruBase& st)
{
    st.SetSore(datetime::FormatDate(datetime::Now().Days), "s");
}

int WeekdayOf(TPoruBase& st)
{
    std::string text = st.PopText();
    TDateTime v = ParseOr(st, text, ArgErrorText(text, "：年月日の取得に失敗"));
    return datetime::WeekdayNumber(v.Days);
}

// 曜日: 日 ... 土. 曜日を数値で得る: 1 (Sunday) ... 7.
void cmdWeekday(TPoruBase& st)
{
    st.SetSore(datetime::WeekdayName(WeekdayOf(st)), "s");
}

void cmdWeekdayNumber(TPoruBase& st)
{
    st.SetSoreInt(WeekdayOf(st));
}

// 日付加算: a date shifted by "[+|-]Y/M/D"; それ's tag stays.
void cmdAddDate(TPoruBase& st)
{
    std::string offset = Trim(st.PopText());
    std::string base = Trim(st.PopText());
    TDateTime v = ParseOr(st, base, "\"" + base + "\"は、日付として読み取れません。");
    std::string result, error;
    if (!datetime::AddToDate(v.Days, offset, result, error))
        st.Error(error);
    st.SetSoreValue(std::move(result));
}

// 時間加算: a time of day shifted by "[+|-]H:M:S"; それ's tag stays.
void cmdAddTime(TPoruBase& st)
{
    std::string offset = Trim(st.PopText());
    std::string base = Trim(st.PopText());
    TDateTime v = ParseOr(st, base, "\"" + base + "\"は、時刻として読み取れません。");
    std::string result, error;
    if (!datetime::AddToTime(v.Ms, offset, result, error))
        st.Error(error);
    st.SetSoreValue(std::move(result));
}

// 日数差 / 秒差: the first date-time minus the second.
void cmdDayDifference(TPoruBase& st)
{
    std::string second = Trim(st.PopText());
    std::string first = Trim(st.PopText());
    TDateTime a = ParseOr(st, first, "日時の指定が不正です。");
    TDateTime b = ParseOr(st, second, "日時の指定が不正です。");
    st.SetSoreInt(datetime::DayDifference(a, b));
}

void cmdSecondDifference(TPoruBase& st)
{
    std::string second = Trim(st.PopText());
    std::string first = Trim(st.PopText());
    TDateTime a = ParseOr(st, first, "日時の指定が不正です。");
    TDateTime b = ParseOr(st, second, "日時の指定が不正です。");
    int32_t seconds;
    if (!datetime::SecondDifference(a, b, seconds))
        st.Error("秒差が大きすぎて計算できません。");
    st.SetSoreInt(seconds);
}

// システム時間: milliseconds of the monotonic clock, wrapping at 2^32.
void cmdSystemTime(TPoruBase& st)
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    uint64_t ms = static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
    st.SetSoreInt(static_cast<uint32_t>(ms));
}

// 和暦に変換: 平成15年1月12日; the empty text before 1868.
void cmdJapaneseEra(TPoruBase& st)
{
    std::string text = st.PopText();
    TDateTime v;
    if (!datetime::ParseDateTime(text, v))
        st.ArgError("日付に変換出来ません。");
    int64_t y;
    int m, d;
    datetime::DateFromDays(v.Days, y, m, d);
    st.SetSore(datetime::JapaneseEraDate(y, m, d), "s");
}

HandlerRegistrar reg({
    {Cmd::Now, cmdNow},
    {Cmd::Today, cmdToday},
    {Cmd::Weekday, cmdWeekday},
    {Cmd::AddTime, cmdAddTime},
    {Cmd::AddDate, cmdAddDate},
    {Cmd::DayDifference, cmdDayDifference},
    {Cmd::SecondDifference, cmdSecondDifference},
    {Cmd::WeekdayNumber, cmdWeekdayNumber},
    {Cmd::SystemTime, cmdSystemTime},
    {Cmd::JapaneseEra, cmdJapaneseEra},
});

}   // namespace
