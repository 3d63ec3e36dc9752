// The date-time parser and the date arithmetic: text, a zero byte, an offset.
#include "commands/numbers/datetime.h"
#include "fuzz_target.h"

void FuzzSetUp() {}

void FuzzOne(const uint8_t* data, size_t size)
{
    using namespace datetime;
    std::string_view text, offset;
    fuzz::SplitTwo(std::string_view(reinterpret_cast<const char*>(data), size), text, offset);
    TDateTime t;
    if (!ParseDateTime(text, t, 2003))
        return;
    fuzz::Check(t.Ms >= 0 && t.Ms < 86400000, "time of day out of range");
    int64_t y;
    int m, d;
    DateFromDays(t.Days, y, m, d);
    fuzz::Check(m >= 1 && m <= 12 && d >= 1 && d <= DaysInMonth(y, m), "date out of range");
    fuzz::Check(DaysFromDate(y, m, d) == t.Days, "day number round trip");
    (void)FormatDate(t.Days);
    (void)FormatTime(t.Ms);
    (void)WeekdayName(WeekdayNumber(t.Days));
    (void)JapaneseEraDate(y, m, d);
    std::string result, error;
    (void)AddToDate(t.Days, offset, result, error);
    (void)AddToTime(t.Ms, offset, result, error);
    TDateTime u;
    if (ParseDateTime(offset, u, 2003)) {
        (void)DayDifference(t, u);
        int32_t s;
        (void)SecondDifference(t, u, s);
    }
}
