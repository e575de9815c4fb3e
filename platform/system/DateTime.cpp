#include "platform/system/DateTime.h"
#include "platform/core/AsciiCase.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <sys/time.h>

namespace {

constexpr double MillisecondsPerDay = 86400000.0;

bool isLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int daysInMonth(int year, int month)
{
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29 : days[month - 1];
}

// Days from 0001-01-01 (day 1) to the given date, proleptic Gregorian.
std::int64_t dayNumber(int year, int month, int day)
{
    std::int64_t y = year - 1;
    std::int64_t n = y * 365 + y / 4 - y / 100 + y / 400;
    for (int m = 1; m < month; ++m) n += daysInMonth(year, m);
    return n + day;
}

const std::int64_t DayNumberOfEpoch = dayNumber(1899, 12, 30);

const char* const ShortDayNames[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char* const LongDayNames[7] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
const char* const ShortMonthNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
const char* const LongMonthNames[12] = {"January", "February", "March",     "April",   "May",      "June",
                                        "July",    "August",   "September", "October", "November", "December"};

std::string twoDigits(int v)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d", v);
    return buf;
}

bool startsWithNoCase(const std::string& s, std::size_t pos, const char* word)
{
    for (std::size_t i = 0; word[i]; ++i) {
        if (pos + i >= s.size()) return false;
        if (AsciiLower(s[pos + i]) != AsciiLower(word[i])) return false;
    }
    return true;
}

char lower(char c) { return AsciiLower(c); }

void formatInto(std::string& out, const std::string& f, const TDateParts& p, TDateTime value, int depth);

// Hours show on a 12-hour clock when an am/pm marker follows anywhere later.
bool hasAmPm(const std::string& f, std::size_t from)
{
    for (std::size_t i = from; i < f.size(); ++i) {
        if (f[i] == '\'' || f[i] == '"') {
            const char q = f[i];
            for (++i; i < f.size() && f[i] != q; ++i) {
            }
            continue;
        }
        if (startsWithNoCase(f, i, "am/pm") || startsWithNoCase(f, i, "a/p") || startsWithNoCase(f, i, "ampm"))
            return true;
    }
    return false;
}

void formatInto(std::string& out, const std::string& f, const TDateParts& p, TDateTime value, int depth)
{
    if (depth > 2) return;
    bool lastWasHour = false;
    std::size_t i = 0;
    while (i < f.size()) {
        const char c = f[i];
        const char lc = lower(c);
        std::size_t run = 1;
        while (i + run < f.size() && lower(f[i + run]) == lc) ++run;
        if (c == '\'' || c == '"') {
            std::size_t end = f.find(c, i + 1);
            if (end == std::string::npos) end = f.size();
            out += f.substr(i + 1, end - i - 1);
            i = end + 1;
            continue;
        }
        if (startsWithNoCase(f, i, "am/pm")) {
            const bool pm = p.Hour >= 12;
            const bool upper = f[i] == 'A';
            out += pm ? (upper ? "PM" : "pm") : (upper ? "AM" : "am");
            i += 5;
            continue;
        }
        if (startsWithNoCase(f, i, "a/p")) {
            const bool pm = p.Hour >= 12;
            out += pm ? (f[i] == 'A' ? 'P' : 'p') : (f[i] == 'A' ? 'A' : 'a');
            i += 3;
            continue;
        }
        if (startsWithNoCase(f, i, "ampm")) {
            out += p.Hour >= 12 ? "PM" : "AM";
            i += 4;
            continue;
        }
        switch (lc) {
        case 'y':
            if (run <= 2)
                out += twoDigits(p.Year % 100);
            else
                out += std::to_string(p.Year);
            i += run;
            lastWasHour = false;
            continue;
        case 'm':
            if (lastWasHour && run <= 2) {
                out += run == 1 ? std::to_string(p.Minute) : twoDigits(p.Minute);
            } else if (run == 1) {
                out += std::to_string(p.Month);
            } else if (run == 2) {
                out += twoDigits(p.Month);
            } else if (run == 3) {
                out += ShortMonthNames[p.Month - 1];
            } else {
                out += LongMonthNames[p.Month - 1];
            }
            i += run;
            lastWasHour = false;
            continue;
        case 'd':
            if (run == 1)
                out += std::to_string(p.Day);
            else if (run == 2)
                out += twoDigits(p.Day);
            else if (run == 3)
                out += ShortDayNames[DayOfWeek(value) - 1];
            else if (run == 4)
                out += LongDayNames[DayOfWeek(value) - 1];
            else if (run == 5)
                formatInto(out, "dd/mm/yyyy", p, value, depth + 1);
            else
                formatInto(out, "dddd, mmmm d, yyyy", p, value, depth + 1);
            i += run;
            lastWasHour = false;
            continue;
        case 'h': {
            int hour = p.Hour;
            if (hasAmPm(f, i + run)) {
                hour %= 12;
                if (hour == 0) hour = 12;
            }
            out += run == 1 ? std::to_string(hour) : twoDigits(hour);
            i += std::min<std::size_t>(run, 2);
            lastWasHour = true;
            continue;
        }
        case 'n':
            out += run == 1 ? std::to_string(p.Minute) : twoDigits(p.Minute);
            i += std::min<std::size_t>(run, 2);
            lastWasHour = false;
            continue;
        case 's':
            out += run == 1 ? std::to_string(p.Second) : twoDigits(p.Second);
            i += std::min<std::size_t>(run, 2);
            lastWasHour = false;
            continue;
        case 'z': {
            char buf[8];
            if (run >= 3)
                std::snprintf(buf, sizeof buf, "%03d", p.Millisecond);
            else
                std::snprintf(buf, sizeof buf, "%d", p.Millisecond);
            out += buf;
            i += run >= 3 ? 3 : 1;
            lastWasHour = false;
            continue;
        }
        case 't':
            formatInto(out, run >= 2 ? "hh:nn:ss" : "hh:nn", p, value, depth + 1);
            i += std::min<std::size_t>(run, 2);
            continue;
        case 'c':
            formatInto(out, "dd/mm/yyyy hh:nn:ss", p, value, depth + 1);
            i += 1;
            continue;
        default:
            // Separators and any other character pass through; a space keeps
            // "hh mm" meaning minutes as in "hh:mm".
            out += c;
            i += 1;
            continue;
        }
    }
}

}  // namespace

TDateTime EncodeDate(int year, int month, int day)
{
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month))
        throw EConvertError("Invalid argument to date encode");
    return static_cast<double>(dayNumber(year, month, day) - DayNumberOfEpoch);
}

TDateTime EncodeTime(int hour, int minute, int second, int millisecond)
{
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 || millisecond < 0 ||
        millisecond > 999)
        throw EConvertError("Invalid argument to time encode");
    return ((hour * 3600.0 + minute * 60.0 + second) * 1000.0 + millisecond) / MillisecondsPerDay;
}

TDateTime EncodeDateTime(const TDateParts& p)
{
    const double date = EncodeDate(p.Year, p.Month, p.Day);
    const double time = EncodeTime(p.Hour, p.Minute, p.Second, p.Millisecond);
    // Before the epoch the time of day counts away from zero.
    return date < 0 ? date - time : date + time;
}

TDateParts DecodeDateTime(TDateTime value)
{
    TDateParts p;
    if (!std::isfinite(value) || value < -693593.0 || value > 2958466.0) return p;
    double days = std::trunc(value);
    double fraction = std::fabs(value - days);
    std::int64_t ms = static_cast<std::int64_t>(std::llround(fraction * MillisecondsPerDay));
    if (ms >= 86400000) {
        ms -= 86400000;
        days += value < 0 ? -1 : 1;
    }
    std::int64_t n = static_cast<std::int64_t>(days) + DayNumberOfEpoch;  // day number from 0001-01-01 = 1
    // Walk years by 400/100/4/1-year cycles.
    std::int64_t d = n - 1;
    int year = 1;
    year += static_cast<int>(d / 146097) * 400;
    d %= 146097;
    std::int64_t c = d / 36524;
    if (c == 4) c = 3;
    year += static_cast<int>(c) * 100;
    d -= c * 36524;
    year += static_cast<int>(d / 1461) * 4;
    d %= 1461;
    std::int64_t y = d / 365;
    if (y == 4) y = 3;
    year += static_cast<int>(y);
    d -= y * 365;
    int month = 1;
    while (d >= daysInMonth(year, month)) {
        d -= daysInMonth(year, month);
        ++month;
    }
    p.Year = year;
    p.Month = month;
    p.Day = static_cast<int>(d) + 1;
    p.Hour = static_cast<int>(ms / 3600000);
    p.Minute = static_cast<int>(ms / 60000 % 60);
    p.Second = static_cast<int>(ms / 1000 % 60);
    p.Millisecond = static_cast<int>(ms % 1000);
    return p;
}

int DayOfWeek(TDateTime value)
{
    // 1899-12-30 was a Saturday (7). Values no date can have count as that day.
    if (!std::isfinite(value) || value < -693593.0 || value > 2958466.0) value = 0.0;
    std::int64_t days = static_cast<std::int64_t>(std::floor(value));
    int w = static_cast<int>(((days + 6) % 7 + 7) % 7);  // 0 Sunday
    return w + 1;
}

TDateTime Now()
{
    struct timeval tv {};
    ::gettimeofday(&tv, nullptr);
    std::time_t t = tv.tv_sec;
    std::tm local{};
    ::localtime_r(&t, &local);
    TDateParts p{local.tm_year + 1900,
                 local.tm_mon + 1,
                 local.tm_mday,
                 local.tm_hour,
                 local.tm_min,
                 std::min(local.tm_sec, 59),
                 static_cast<int>(tv.tv_usec / 1000)};
    return EncodeDateTime(p);
}

std::string FormatDateTime(const std::string& format, TDateTime value)
{
    const TDateParts p = DecodeDateTime(value);
    std::string out;
    formatInto(out, format.empty() ? std::string("c") : format, p, value, 0);
    return out;
}

std::string DateTimeToStr(TDateTime value) { return FormatDateTime("yyyy-mm-dd hh:nn:ss", value); }

TDateTime StrToDateTime(const std::string& text)
{
    const auto fail = [&]() -> TDateTime { throw EConvertError("'" + text + "' is not a valid date and time"); };
    int a = 0, b = 0, c = 0, h = 0, n = 0, s = 0;
    char sep1 = 0, sep2 = 0;
    int consumed = 0;
    const char* str = text.c_str();
    if (std::sscanf(str, "%d%c%d%c%d%n", &a, &sep1, &b, &sep2, &c, &consumed) != 5 || sep1 != sep2 ||
        (sep1 != '-' && sep1 != '/'))
        return fail();
    int year, month, day;
    if (sep1 == '-') {
        year = a;
        month = b;
        day = c;
    } else {
        day = a;
        month = b;
        year = c;
    }
    const char* rest = str + consumed;
    while (*rest == ' ') ++rest;
    if (*rest) {
        int used = 0;
        const int got = std::sscanf(rest, "%d:%d%n", &h, &n, &used);
        if (got != 2) return fail();
        rest += used;
        if (*rest == ':') {
            int used2 = 0;
            if (std::sscanf(rest, ":%d%n", &s, &used2) != 1) return fail();
            rest += used2;
        }
        while (*rest == ' ') ++rest;
        if (*rest) return fail();
    }
    try {
        return EncodeDateTime(TDateParts{year, month, day, h, n, s, 0});
    } catch (const EConvertError&) {
        return fail();
    }
}

std::int32_t DateTimeToFileDate(TDateTime value)
{
    static const double first = EncodeDate(1980, 1, 1);
    static const double pastLast = EncodeDate(2108, 1, 1);
    TDateParts p;
    if (std::isnan(value) || value < first)
        p = TDateParts{1980, 1, 1, 0, 0, 0, 0};
    else if (value >= pastLast)
        p = TDateParts{2107, 12, 31, 23, 59, 58, 0};
    else
        p = DecodeDateTime(value);
    if (p.Year > 2107)  // the last millisecond of 2107 rounds into 2108
        p = TDateParts{2107, 12, 31, 23, 59, 58, 0};
    const std::uint32_t date = (static_cast<std::uint32_t>(p.Year - 1980) << 9) | (p.Month << 5) | p.Day;
    const std::uint32_t time = (p.Hour << 11) | (p.Minute << 5) | (p.Second / 2);
    return static_cast<std::int32_t>((date << 16) | time);
}

TDateTime FileDateToDateTime(std::int32_t fileDate)
{
    const std::uint32_t v = static_cast<std::uint32_t>(fileDate);
    const int year = static_cast<int>(v >> 25) + 1980;
    const int month = static_cast<int>((v >> 21) & 15);
    const int day = static_cast<int>((v >> 16) & 31);
    const int hour = static_cast<int>((v >> 11) & 31);
    const int minute = static_cast<int>((v >> 5) & 63);
    const int second = static_cast<int>(v & 31) * 2;
    return EncodeDateTime(TDateParts{year, month, day, hour, minute, second, 0});
}

std::int32_t UnixTimeToFileDate(std::int64_t unixSeconds)
{
    std::time_t t = static_cast<std::time_t>(unixSeconds);
    std::tm local{};
    if (!::localtime_r(&t, &local)) return DateTimeToFileDate(unixSeconds < 0 ? 0.0 : 1e6);
    TDateParts p{local.tm_year + 1900,
                 local.tm_mon + 1,
                 local.tm_mday,
                 local.tm_hour,
                 local.tm_min,
                 std::min(local.tm_sec, 59),
                 0};
    if (p.Year < 1) return DateTimeToFileDate(0.0);
    if (p.Year > 9999) return DateTimeToFileDate(1e6);
    return DateTimeToFileDate(EncodeDateTime(p));
}

std::int64_t FileDateToUnixTime(std::int32_t fileDate)
{
    const TDateParts p = DecodeDateTime(FileDateToDateTime(fileDate));
    std::tm local{};
    local.tm_year = p.Year - 1900;
    local.tm_mon = p.Month - 1;
    local.tm_mday = p.Day;
    local.tm_hour = p.Hour;
    local.tm_min = p.Minute;
    local.tm_sec = p.Second;
    local.tm_isdst = -1;
    return static_cast<std::int64_t>(std::mktime(&local));
}
