// Date-time texts and date arithmetic (see datetime.h).
#include "commands/numbers/datetime.h"

#include <climits>
#include <cstdio>
#include <ctime>

#include "commands/strings/kana.h"

namespace datetime {

namespace {

constexpr int64_t kMsPerDay = 86400000;
// 1899-12-30 counted from 1970-01-01.
constexpr int64_t kEpochShift = -25569;

struct Reader {
    std::string_view s;
    size_t i = 0;

    bool AtEnd() const { return i >= s.size(); }
    bool Peek(std::string_view lit) const { return s.substr(i, lit.size()) == lit; }
    bool Take(std::string_view lit)
    {
        if (!Peek(lit))
            return false;
        i += lit.size();
        return true;
    }
    bool SkipBlanks()
    {
        size_t start = i;
        while (i < s.size() && (s[i] == ' ' || s[i] == '\t'))
            ++i;
        return i > start;
    }
    // A run of 1 to 9 decimal digits.
    bool Number(int64_t& v, int& digits)
    {
        size_t start = i;
        v = 0;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9' && i - start < 9)
            v = v * 10 + (s[i++] - '0');
        digits = static_cast<int>(i - start);
        if (digits == 0)
            return false;
        if (i < s.size() && s[i] >= '0' && s[i] <= '9')
            return false;   // too long
        return true;
    }
};

int64_t WidenYear(int64_t y, int digits)
{
    if (digits > 2)
        return y;
    return y < 50 ? 2000 + y : 1900 + y;
}

bool ValidDate(int64_t y, int64_t m, int64_t d)
{
    return y >= 1 && y <= 9999 && m >= 1 && m <= 12 && d >= 1 && d <= DaysInMonth(y, static_cast<int>(m));
}

// A date at the reader; on success the reader stands after it.
bool ReadDate(Reader& r, int64_t currentYear, int64_t& days)
{
    size_t start = r.i;
    int64_t a, b, c;
    int da, db, dc;
    if (!r.Number(a, da))
        return false;
    int64_t y, m, d;
    if (r.Take("年")) {
        if (!r.Number(b, db) || !r.Take("月") || !r.Number(c, dc)) {
            r.i = start;
            return false;
        }
        r.Take("日");
        y = WidenYear(a, da), m = b, d = c;
    } else if (r.Take("月")) {
        if (!r.Number(b, db)) {
            r.i = start;
            return false;
        }
        r.Take("日");
        y = currentYear, m = a, d = b;
    } else if (!r.AtEnd() && (r.s[r.i] == '/' || r.s[r.i] == '-' || r.s[r.i] == '.')) {
        char sep = r.s[r.i++];
        if (!r.Number(b, db)) {
            r.i = start;
            return false;
        }
        if (!r.AtEnd() && r.s[r.i] == sep) {
            ++r.i;
            if (!r.Number(c, dc)) {
                r.i = start;
                return false;
            }
            y = WidenYear(a, da), m = b, d = c;
        } else {
            if (sep == '.') {
                r.i = start;
                return false;
            }
            y = currentYear, m = a, d = b;
        }
    } else {
        r.i = start;
        return false;
    }
    if (!ValidDate(y, m, d)) {
        r.i = start;
        return false;
    }
    days = DaysFromDate(y, static_cast<int>(m), static_cast<int>(d));
    return true;
}

bool ReadTime(Reader& r, int32_t& ms)
{
    int half = 0;   // 1 for a morning, 2 for an afternoon mark
    if (r.Take("午前"))
        half = 1;
    else if (r.Take("午後"))
        half = 2;
    r.SkipBlanks();
    int64_t h, m = 0, sec = 0, frac = 0;
    int dh, dm, ds, df = 0;
    if (!r.Number(h, dh))
        return false;
    if (r.Take(":")) {
        if (!r.Number(m, dm))
            return false;
        if (r.Take(":")) {
            if (!r.Number(sec, ds))
                return false;
            if (r.Take(".")) {
                if (!r.Number(frac, df) || df > 3)
                    return false;
                for (int k = df; k < 3; ++k)
                    frac *= 10;
            }
        }
    } else if (r.Take("時")) {
        if (!r.Number(m, dm) || !r.Take("分"))
            return false;
        size_t save = r.i;
        if (r.Number(sec, ds)) {
            if (!r.Take("秒")) {
                r.i = save;
                sec = 0;
            }
        }
    } else {
        return false;
    }
    size_t beforeMark = r.i;
    r.SkipBlanks();
    if (half == 0) {
        if (r.Take("AM") || r.Take("am"))
            half = 1;
        else if (r.Take("PM") || r.Take("pm"))
            half = 2;
        else
            r.i = beforeMark;
    }
    if (half) {
        if (h > 12)
            return false;
        h = h % 12 + (half == 2 ? 12 : 0);
    }
    if (h > 23 || m > 59 || sec > 59)
        return false;
    ms = static_cast<int32_t>(((h * 60 + m) * 60 + sec) * 1000 + frac);
    return true;
}

// A part of an offset: a decimal whole number, 0 when empty or not a number.
bool OffsetPart(std::string_view part, int64_t& v, std::string& error, const char* what)
{
    size_t b = 0, e = part.size();
    while (b < e && static_cast<unsigned char>(part[b]) <= 32)
        ++b;
    while (e > b && static_cast<unsigned char>(part[e - 1]) <= 32)
        --e;
    std::string_view t = part.substr(b, e - b);
    v = 0;
    size_t i = 0;
    bool neg = false;
    if (i < t.size() && (t[i] == '+' || t[i] == '-'))
        neg = t[i++] == '-';
    if (i >= t.size())
        return true;
    int64_t n = 0;
    for (size_t k = i; k < t.size(); ++k) {
        if (t[k] < '0' || t[k] > '9')
            return true;   // not a number: 0
        if (n < 1000000)
            n = n * 10 + (t[k] - '0');
    }
    v = neg ? -n : n;
    if (v < 0 || v > 65535) {
        error = std::string(what) + "\"" + std::string(t) + "\"は、0から65535までの数で指定してください。";
        return false;
    }
    return true;
}

// Splits "[+|-]A<sep>B<sep>C" into its three parts (missing parts are empty).
bool SplitOffset(std::string_view offset, char sep, bool& backward, int64_t parts[3], std::string& error,
                 const char* what)
{
    backward = false;
    if (!offset.empty() && (offset[0] == '+' || offset[0] == '-')) {
        backward = offset[0] == '-';
        offset.remove_prefix(1);
    }
    std::string_view rest = offset;
    for (int k = 0; k < 3; ++k) {
        std::string_view part = rest;
        if (k < 2) {
            size_t at = rest.find(sep);
            if (at == std::string_view::npos) {
                part = rest;
                rest = std::string_view();
            } else {
                part = rest.substr(0, at);
                rest = rest.substr(at + 1);
            }
        }
        if (!OffsetPart(part, parts[k], error, what))
            return false;
    }
    return true;
}

std::string TwoDigits(int64_t v)
{
    char b[24];
    std::snprintf(b, sizeof b, "%02lld", static_cast<long long>(v));
    return b;
}

}   // namespace

bool IsLeapYear(int64_t y)
{
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int DaysInMonth(int64_t y, int m)
{
    static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (m == 2 && IsLeapYear(y))
        return 29;
    return kDays[m - 1];
}

int64_t DaysFromDate(int64_t y, int m, int d)
{
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468 - kEpochShift;
}

void DateFromDays(int64_t days, int64_t& y, int& m, int& d)
{
    int64_t z = days + kEpochShift + 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = yoe + era * 400 + (m <= 2);
}

bool ParseDateTime(std::string_view text, TDateTime& out, int64_t currentYear)
{
    std::string half = ToHalfWidth(text);
    std::string_view s = half;
    while (!s.empty() && static_cast<unsigned char>(s.front()) <= 32)
        s.remove_prefix(1);
    while (!s.empty() && static_cast<unsigned char>(s.back()) <= 32)
        s.remove_suffix(1);
    Reader r{s};
    TDateTime v;
    if (ReadDate(r, currentYear, v.Days)) {
        bool blank = r.SkipBlanks();
        if (!r.AtEnd()) {
            bool kanjiDate = r.i >= 2 && (s.substr(0, r.i).find("日") != std::string_view::npos);
            if (!blank && !kanjiDate)
                return false;
            if (!ReadTime(r, v.Ms))
                return false;
        }
    } else {
        r.i = 0;
        if (!ReadTime(r, v.Ms))
            return false;
    }
    r.SkipBlanks();
    if (!r.AtEnd())
        return false;
    out = v;
    return true;
}

bool ParseDateTime(std::string_view text, TDateTime& out)
{
    int64_t y;
    int m, d;
    DateFromDays(Now().Days, y, m, d);
    return ParseDateTime(text, out, y);
}

std::string FormatDate(int64_t days)
{
    int64_t y;
    int m, d;
    DateFromDays(days, y, m, d);
    char b[48];
    std::snprintf(b, sizeof b, "%04lld/%02d/%02d", static_cast<long long>(y), m, d);
    return b;
}

std::string FormatTime(int32_t ms)
{
    int32_t s = ms / 1000;
    return TwoDigits(s / 3600) + ":" + TwoDigits(s / 60 % 60) + ":" + TwoDigits(s % 60);
}

int WeekdayNumber(int64_t days)
{
    return static_cast<int>(((days - 1) % 7 + 7) % 7) + 1;
}

std::string WeekdayName(int number)
{
    static const char* const kNames[7] = {"日", "月", "火", "水", "木", "金", "土"};
    return kNames[(number - 1) % 7];
}

bool AddToDate(int64_t days, std::string_view offset, std::string& result, std::string& error)
{
    bool backward;
    int64_t p[3];
    if (!SplitOffset(offset, '/', backward, p, error, "日付加算の値"))
        return false;
    int64_t y;
    int mm, dd;
    DateFromDays(days, y, mm, dd);
    int64_t m = mm, d = dd;
    if (!backward) {
        y += p[0];
        m += p[1];
        y += (m - 1) / 12;
        m = (m - 1) % 12 + 1;
        if (d > DaysInMonth(y, static_cast<int>(m)))
            d = DaysInMonth(y, static_cast<int>(m));
        d += p[2];
        while (d > DaysInMonth(y, static_cast<int>(m))) {
            d -= DaysInMonth(y, static_cast<int>(m));
            if (++m > 12)
                m = 1, ++y;
        }
    } else {
        y -= p[0];
        m -= p[1];
        while (m < 1)
            m += 12, --y;
        if (y < 1900) {
            error = "1900年以下は計算できません。";
            return false;
        }
        if (d > DaysInMonth(y, static_cast<int>(m)))
            d = DaysInMonth(y, static_cast<int>(m));
        d -= p[2];
        while (d <= 0) {
            if (--m < 1)
                m = 12, --y;
            d += DaysInMonth(y, static_cast<int>(m));
        }
    }
    if (y > 9999) {
        error = "9999年より後は計算できません。";
        return false;
    }
    result = FormatDate(DaysFromDate(y, static_cast<int>(m), static_cast<int>(d)));
    return true;
}

bool AddToTime(int32_t ms, std::string_view offset, std::string& result, std::string& error)
{
    bool backward;
    int64_t p[3];
    if (!SplitOffset(offset, ':', backward, p, error, "時間加算の値"))
        return false;
    int64_t total = ms / 1000;
    int64_t h = total / 3600, m = total / 60 % 60, s = total % 60;
    if (!backward) {
        h += p[0], m += p[1], s += p[2];
        m += s / 60, s %= 60;
        h += m / 60, m %= 60;
        h %= 24;
    } else {
        h -= p[0], m -= p[1], s -= p[2];
        if (s < 0) {
            int64_t borrow = (-s + 59) / 60;
            m -= borrow, s += borrow * 60;
        }
        if (m < 0) {
            int64_t borrow = (-m + 59) / 60;
            h -= borrow, m += borrow * 60;
        }
        h = (h % 24 + 24) % 24;
    }
    result = TwoDigits(h) + ":" + TwoDigits(m) + ":" + TwoDigits(s);
    return true;
}

int64_t DayDifference(const TDateTime& a, const TDateTime& b)
{
    int64_t ms = (a.Days - b.Days) * kMsPerDay + (a.Ms - b.Ms);
    return ms / kMsPerDay;   // truncates toward zero
}

bool SecondDifference(const TDateTime& a, const TDateTime& b, int32_t& seconds)
{
    int64_t ms = (a.Days - b.Days) * kMsPerDay + (a.Ms - b.Ms);
    int64_t q = ms / 1000, r = ms % 1000;
    // round to the nearest second, an exact half to the even neighbour
    if (r > 500 || (r == 500 && (q & 1)))
        ++q;
    else if (r < -500 || (r == -500 && (q & 1)))
        --q;
    if (q < INT32_MIN || q > INT32_MAX)
        return false;
    seconds = static_cast<int32_t>(q);
    return true;
}

std::string JapaneseEraDate(int64_t y, int m, int d)
{
    // The older eras are chosen by calendar year alone (every day of 1989 is 平成);
    // 令和 begins on its real first day, so early 2019 stays 平成31年.
    struct Era {
        int64_t first;
        int firstMonth, firstDay;
        const char* name;
    };
    static const Era kEras[] = {
        {2019, 5, 1, "令和"}, {1989, 1, 1, "平成"}, {1926, 1, 1, "昭和"}, {1912, 1, 1, "大正"}, {1868, 1, 1, "明治"}};
    for (const Era& e : kEras) {
        if (y < e.first)
            continue;
        if (y == e.first && (m < e.firstMonth || (m == e.firstMonth && d < e.firstDay)))
            continue;
        int64_t n = y - e.first + 1;
        std::string out = e.name;
        out += n == 1 ? std::string("元") : std::to_string(n);
        out += "年" + std::to_string(m) + "月" + std::to_string(d) + "日";
        return out;
    }
    return std::string();
}

TDateTime Now()
{
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    time_t t = ts.tv_sec;
    tm lt{};
    localtime_r(&t, &lt);
    TDateTime v;
    v.Days = DaysFromDate(lt.tm_year + 1900, lt.tm_mon + 1, lt.tm_mday);
    int sec = lt.tm_sec > 59 ? 59 : lt.tm_sec;   // a leap second stays in its minute
    v.Ms = static_cast<int32_t>(((lt.tm_hour * 60 + lt.tm_min) * 60 + sec) * 1000 + ts.tv_nsec / 1000000);
    return v;
}

}   // namespace datetime
