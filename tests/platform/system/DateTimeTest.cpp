#include "platform/system/DateTime.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <ctime>

namespace {

TDateTime at(int y, int mo, int d, int h = 0, int mi = 0, int s = 0)
{
    return EncodeDateTime(TDateParts{y, mo, d, h, mi, s, 0});
}

}  // namespace

TEST(DateTime, SerialNumbersFollowTheDelphiEpoch)
{
    EXPECT_EQ(EncodeDate(1899, 12, 30), 0.0);
    EXPECT_EQ(EncodeDate(1900, 1, 1), 2.0);
    EXPECT_EQ(EncodeDate(2000, 1, 1), 36526.0);
    EXPECT_EQ(EncodeDate(2024, 2, 29), 45351.0);
    EXPECT_THROW(EncodeDate(2023, 2, 29), EConvertError);
    EXPECT_THROW(EncodeTime(24, 0, 0, 0), EConvertError);
    const TDateParts p = DecodeDateTime(at(2024, 2, 29, 23, 59, 58));
    EXPECT_EQ(p.Year, 2024);
    EXPECT_EQ(p.Month, 2);
    EXPECT_EQ(p.Day, 29);
    EXPECT_EQ(p.Hour, 23);
    EXPECT_EQ(p.Minute, 59);
    EXPECT_EQ(p.Second, 58);
    for (int y : {1601, 1900, 1980, 2000, 2100, 2107, 9999}) {
        const TDateParts q = DecodeDateTime(EncodeDate(y, 12, 31));
        EXPECT_EQ(q.Year, y);
        EXPECT_EQ(q.Month, 12);
        EXPECT_EQ(q.Day, 31);
    }
    EXPECT_EQ(DayOfWeek(EncodeDate(2024, 3, 15)), 6);  // a Friday
    // Values that are no date format as the epoch instead of failing.
    EXPECT_EQ(FormatDateTime("ddd yyyy", std::nan("")), "Sat 1899");
    EXPECT_EQ(FormatDateTime("ddd yyyy", 1e300), "Sat 1899");
}

TEST(DateTime, FormatLettersOfTheCaptionVariables)
{
    const TDateTime afternoon = at(2024, 3, 5, 13, 7, 9);
    EXPECT_EQ(FormatDateTime("dd/mm/yy", afternoon), "05/03/24");
    EXPECT_EQ(FormatDateTime("mm/dd/yyyy hh:nn:ss am/pm", afternoon), "03/05/2024 01:07:09 pm");
    EXPECT_EQ(FormatDateTime("mm/dd/yyyy hh:nn:ss AM/PM", at(2024, 3, 5, 0, 0, 0)), "03/05/2024 12:00:00 AM");
    EXPECT_EQ(FormatDateTime("h:n:s a/p", afternoon), "1:7:9 p");
    EXPECT_EQ(FormatDateTime("hh:mm", afternoon), "13:07");  // m after an hour means minutes
    EXPECT_EQ(FormatDateTime("d mmm yyyy", afternoon), "5 Mar 2024");
    EXPECT_EQ(FormatDateTime("dddd d mmmm", afternoon), "Tuesday 5 March");
    EXPECT_EQ(FormatDateTime("'day' dd \"of\" mm", afternoon), "day 05 of 03");
    EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn:ss", at(1999, 12, 31, 23, 59, 59)), "1999-12-31 23:59:59");
}

TEST(DateTime, TextFormRoundTripsAndRejectsNonsense)
{
    const TDateTime t = at(2021, 7, 4, 8, 30, 15);
    EXPECT_EQ(DateTimeToStr(t), "2021-07-04 08:30:15");
    EXPECT_DOUBLE_EQ(StrToDateTime("2021-07-04 08:30:15"), t);
    EXPECT_DOUBLE_EQ(StrToDateTime("04/07/2021 08:30:15"), t);
    EXPECT_DOUBLE_EQ(StrToDateTime("2021-07-04"), EncodeDate(2021, 7, 4));
    for (const char* bad :
         {"", "yesterday", "2021-13-01", "2021-02-30", "2021-07-04 25:00", "2021-07-04 8:30 x", "2021/07-04"})
        EXPECT_THROW(StrToDateTime(bad), EConvertError) << bad;
    try {
        StrToDateTime("soon");
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message, "'soon' is not a valid date and time");
    }
}

TEST(PackedDate, FieldsAndRoundTrip)
{
    const std::int32_t packed = DateTimeToFileDate(at(2024, 3, 15, 13, 45, 31));
    const std::uint32_t expected = (44u << 25) | (3u << 21) | (15u << 16) | (13u << 11) | (45u << 5) | 15u;
    EXPECT_EQ(static_cast<std::uint32_t>(packed), expected);
    // Two-second resolution: 31 s comes back as 30 s.
    EXPECT_DOUBLE_EQ(FileDateToDateTime(packed), at(2024, 3, 15, 13, 45, 30));
}

TEST(PackedDate, TimesOutsideTheRangeClampToItsEnds)
{
    EXPECT_EQ(DateTimeToFileDate(at(1975, 6, 1, 12, 0, 0)), 0x00210000);  // 1980-01-01 00:00:00
    EXPECT_EQ(DateTimeToFileDate(at(1979, 12, 31, 23, 59, 59)), 0x00210000);
    EXPECT_EQ(DateTimeToFileDate(-1000.0), 0x00210000);
    EXPECT_EQ(DateTimeToFileDate(at(1980, 1, 1, 0, 0, 0)), 0x00210000);
    const std::int32_t last = DateTimeToFileDate(at(2200, 1, 1, 0, 0, 0));
    EXPECT_EQ(static_cast<std::uint32_t>(last), 0xFF9FBF7Du);  // 2107-12-31 23:59:58
    EXPECT_LT(last, 0);
    EXPECT_EQ(DateTimeToFileDate(1e300), last);
    EXPECT_EQ(DateTimeToFileDate(EncodeDate(2108, 1, 1) - 1e-10), last);
    EXPECT_EQ(DateTimeToFileDate(std::nan("")), 0x00210000);  // dates from 2044 on are negative as signed numbers
    EXPECT_DOUBLE_EQ(FileDateToDateTime(last), at(2107, 12, 31, 23, 59, 58));
    // A packed value with month 0 is no date.
    EXPECT_THROW(FileDateToDateTime(0), EConvertError);
    EXPECT_THROW(FileDateToDateTime(-1), EConvertError);
}

TEST(PackedDate, UnixTimesGoThroughLocalTime)
{
    setenv("TZ", "UTC", 1);
    tzset();
    EXPECT_EQ(UnixTimeToFileDate(0), 0x00210000);  // 1970 clamps to 1980
    // 2001-09-09 01:46:40 UTC
    EXPECT_EQ(UnixTimeToFileDate(1000000000), DateTimeToFileDate(at(2001, 9, 9, 1, 46, 40)));
    EXPECT_EQ(FileDateToUnixTime(DateTimeToFileDate(at(2001, 9, 9, 1, 46, 40))), 1000000000);
    setenv("TZ", "CET-1", 1);  // one hour east of UTC, no summer time
    tzset();
    EXPECT_EQ(UnixTimeToFileDate(1000000000), DateTimeToFileDate(at(2001, 9, 9, 2, 46, 40)));
    unsetenv("TZ");
    tzset();
}
