#pragma once
// Dates as the program's settings and pages know them: a TDateTime is a
// double counting days since 1899-12-30 (the fraction is the time of day),
// and files carry packed 32-bit DOS dates in local time.

#include "platform/core/Exception.h"

#include <cstdint>
#include <string>

using TDateTime = double;

struct TDateParts {
    int Year = 1899, Month = 12, Day = 30;
    int Hour = 0, Minute = 0, Second = 0, Millisecond = 0;
};

// Raise EConvertError when a part is out of range.
TDateTime EncodeDate(int year, int month, int day);
TDateTime EncodeTime(int hour, int minute, int second, int millisecond);
TDateTime EncodeDateTime(const TDateParts& parts);
TDateParts DecodeDateTime(TDateTime value);
int DayOfWeek(TDateTime value);  // 1 Sunday .. 7 Saturday

TDateTime Now();  // local time, to the millisecond

// Delphi-style format letters: c d dd ddd dddd ddddd dddddd m mm mmm mmmm
// yy yyyy h hh n nn s ss z zzz t tt am/pm a/p ampm / : and 'quoted' "quoted"
// text. An "m" right after an hour means minutes. Names are English; '/' is the
// date separator and ':' the time separator.
std::string FormatDateTime(const std::string& format, TDateTime value);

// The program's own date-time text form, "yyyy-mm-dd hh:nn:ss" (used where a
// date goes out as text and comes back). StrToDateTime also reads a date alone
// and "dd/mm/yyyy[ hh:nn[:ss]]"; anything else raises EConvertError
// "'<text>' is not a valid date and time".
std::string DateTimeToStr(TDateTime value);
TDateTime StrToDateTime(const std::string& text);

// Packed DOS dates: bits 25-31 year-1980, 21-24 month, 16-20 day, 11-15 hour,
// 5-10 minute, 0-4 second/2. Local times before 1980-01-01 00:00:00 pack as
// that moment; times after 2107-12-31 23:59:58 pack as that moment. Odd
// seconds round down.
std::int32_t DateTimeToFileDate(TDateTime value);
// A packed date with impossible fields (month 0 or 13, ...) raises EConvertError.
TDateTime FileDateToDateTime(std::int32_t fileDate);
// Seconds since the epoch, through local time.
std::int32_t UnixTimeToFileDate(std::int64_t unixSeconds);
std::int64_t FileDateToUnixTime(std::int32_t fileDate);
