// OLE dates and their conversions and formats: negative dates, the status rule, the machine's
// zone in summer, winter, gap and overlap, rounding, millisecond breakdown, texts and periods.

#include <gtest/gtest.h>

#include <chrono>
#include <ostream>
#include <string>
#include <vector>

#include "foundation/time_tools.h"
#include "testing/german_locale.h"
#include "testing/scoped_environment.h"

namespace ruzd::foundation {
namespace {

using std::chrono::seconds;

OleDate At(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
    return OleDate::FromFields(year, month, day, hour, minute, second);
}

OleDate WithMs(const OleDate& date, double milliseconds) {
    return date + OleDateSpan(milliseconds / 86400000.0);
}

}  // namespace

// Dates in failure messages as their status and ISO text.
void PrintTo(const OleDate& date, std::ostream* out) {
    *out << "status " << static_cast<int>(date.status()) << " value " << date.value() << " "
         << TimeTools::FormatDateTime(date, 0, kFormatIso);
}

namespace {

std::string Text(const OleDate& date) {
    return TimeTools::FormatDateTime(date, 0, kFormatIso | kFormatNullText | kFormatErrorText);
}

// The machine's zone, the locale and the clock as a test sets them, all put back afterwards.
class DateConversionsTest : public ::testing::Test {
protected:
    DateConversionsTest() {
        environment_.Set("LC_ALL", "C");
        SetZone("Europe/Berlin");
        TimeTools::ResetServerTimeShift();
    }
    ~DateConversionsTest() override {
        TimeTools::ResetServerTimeShift();
        environment_.Unset("TZ");
        TimeTools::RefreshTimeZone();
    }
    void SetZone(const std::string& tz) {
        environment_.Set("TZ", tz);
        TimeTools::RefreshTimeZone();
    }

    testing::ScopedEnvironment environment_;
    // 2026-07-01 12:00 UTC.
    platform::ManualClock clock_{platform::WallTime(seconds(1782907200))};
    platform::ScopedClockOverride use_clock_{clock_};
};

TEST_F(DateConversionsTest, DatesBeforeTheEpochDayCountTheirTimeForward) {
    EXPECT_EQ(At(1899, 12, 29, 6).value(), -1.25);
    EXPECT_EQ(At(1899, 12, 29, 18).value(), -1.75);
    EXPECT_EQ(At(1899, 12, 30, 6).value(), 0.25);
    EXPECT_EQ(At(1899, 12, 29, 6) + OleDateSpan(0.5), At(1899, 12, 29, 18));
    EXPECT_EQ(At(1899, 12, 29, 18) + OleDateSpan(0.5), At(1899, 12, 30, 6));
    EXPECT_DOUBLE_EQ((At(1899, 12, 30, 6) - At(1899, 12, 29, 18)).days(), 0.5);
    EXPECT_EQ(Text(OleDate(-1.25, OleDateStatus::kValid)), "1899-12-29T06:00:00.000");

    EXPECT_EQ(TimeTools::GetDatePart(At(1899, 12, 29, 6)).value(), -1.0);
    EXPECT_EQ(TimeTools::GetTimePart(At(1899, 12, 29, 6)).value(), 0.25);
    EXPECT_EQ(TimeTools::CombineDateAndTime(At(1899, 12, 29, 6), At(2026, 7, 1, 18)),
              At(1899, 12, 29, 18));
    EXPECT_EQ(TimeTools::CombineDateAndTime(At(2026, 7, 1, 6), At(1899, 12, 29, 18)),
              At(2026, 7, 1, 18));

    // The years 100 to 9999, to the last second that does not round into the year 10000.
    EXPECT_TRUE(At(100, 1, 1).IsValid());
    EXPECT_FALSE(At(99, 12, 31).IsValid());
    EXPECT_FALSE(At(2026, 2, 29).IsValid());
    EXPECT_TRUE(WithMs(At(9999, 12, 31, 23, 59, 59), 400).ToSystemTime().has_value());
    EXPECT_FALSE(WithMs(At(9999, 12, 31, 23, 59, 59), 600).ToSystemTime().has_value());
    EXPECT_FALSE((At(100, 1, 1) - OleDateSpan(1.0)).IsValid());
}

TEST_F(DateConversionsTest, FailuresFollowTheStatusRule) {
    const OleDate bad(12.5, OleDateStatus::kInvalid);
    for (bool keep : {false, true}) {
        EXPECT_EQ(TimeTools::AddSeconds(kNullOleDate, 60, keep), kNullOleDate);
        EXPECT_EQ(TimeTools::SubtractSeconds(kNullOleDate, 60, keep), kNullOleDate);
        EXPECT_EQ(TimeTools::UtcToLocalTime(kNullOleDate, keep), kNullOleDate);
        EXPECT_EQ(TimeTools::LocalTimeToUtc(bad, keep), keep ? bad : kInvalidOleDate);
        EXPECT_EQ(TimeTools::AddSeconds(bad, 60, keep), keep ? bad : kInvalidOleDate);
        // A sum out of range fails like any other conversion.
        EXPECT_EQ(TimeTools::SubtractSeconds(At(100, 1, 1), 1, keep),
                  keep ? At(100, 1, 1) : kInvalidOleDate);
    }
    EXPECT_EQ(TimeTools::AddSeconds(At(2026, 7, 1, 23, 59, 30), 45, false),
              At(2026, 7, 2, 0, 0, 15));
    EXPECT_EQ(TimeTools::SubtractSeconds(At(1899, 12, 30, 0, 0, 30), 45, false),
              At(1899, 12, 29, 23, 59, 45));
    EXPECT_EQ(TimeTools::ToLocalTime(bad), bad);
    EXPECT_EQ(TimeTools::ToUtcTime(kNullOleDate), kNullOleDate);
}

TEST_F(DateConversionsTest, TheMachineZoneInSummerWinterGapAndOverlap) {
    EXPECT_EQ(TimeTools::UtcToLocalTime(At(2026, 7, 1, 12), false), At(2026, 7, 1, 14));
    EXPECT_EQ(TimeTools::UtcToLocalTime(At(2026, 1, 15, 12), false), At(2026, 1, 15, 13));
    EXPECT_EQ(TimeTools::LocalTimeToUtc(At(2026, 7, 1, 14), false), At(2026, 7, 1, 12));
    EXPECT_EQ(TimeTools::ToUtcTime(At(2026, 1, 15, 13)), At(2026, 1, 15, 12));
    // A time in the gap is read as standard time, one in the overlap as its first occurrence.
    EXPECT_EQ(TimeTools::LocalTimeToUtc(At(2026, 3, 29, 2, 30), false), At(2026, 3, 29, 1, 30));
    EXPECT_EQ(TimeTools::LocalTimeToUtc(At(2026, 10, 25, 2, 30), false), At(2026, 10, 25, 0, 30));
    EXPECT_EQ(TimeTools::UtcToLocalTime(At(2026, 10, 25, 1, 30), false), At(2026, 10, 25, 2, 30));
    // Before 1970 (Berlin's mean solar time until 1893) and far ahead.
    EXPECT_EQ(TimeTools::UtcToLocalTime(At(1899, 12, 29, 6), false), At(1899, 12, 29, 7));
    EXPECT_EQ(TimeTools::UtcToLocalTime(At(1890, 1, 1, 6), false), At(1890, 1, 1, 6, 53, 28));
    EXPECT_EQ(TimeTools::UtcToLocalTime(At(9999, 12, 31, 22), false), At(9999, 12, 31, 23));

    // The node 90 seconds ahead of the server: its UTC is the server's plus 90.
    clock_.Advance(seconds(90));
    TimeTools::ApplyServerTime("2026-07-01T12:00:00");
    ASSERT_EQ(TimeTools::GetServerTimeShift(), 90);
    EXPECT_EQ(TimeTools::UtcToLocalTime(At(2026, 7, 1, 12), false), At(2026, 7, 1, 14, 1, 30));
    EXPECT_EQ(TimeTools::LocalTimeToUtc(At(2026, 7, 1, 14, 1, 30), false), At(2026, 7, 1, 12));
}

TEST_F(DateConversionsTest, RoundingDecidesOnTheFieldsAsSplitAndCarriesUpward) {
    const OleDate ten_29_59_6 = WithMs(At(2026, 7, 1, 10, 29, 59), 600);
    EXPECT_EQ(Text(TimeTools::RoundDateTime(ten_29_59_6, 2)), "2026-07-01T10:30:00.000");
    EXPECT_EQ(Text(TimeTools::RoundDateTime(WithMs(At(2026, 7, 1, 10, 29, 29), 600), 2)),
              "2026-07-01T10:29:00.000");
    // The carry makes the minute 30, yet the hour's rounding was decided on 29.
    EXPECT_EQ(Text(TimeTools::RoundDateTime(ten_29_59_6, 1)), "2026-07-01T10:00:00.000");
    EXPECT_EQ(Text(TimeTools::RoundDateTime(ten_29_59_6, 3)), "2026-07-01T10:30:00.000");
    EXPECT_EQ(Text(TimeTools::RoundDateTime(ten_29_59_6, 4)), "2026-07-01T10:29:59.600");
    // A month's and a year's last day carry into the next.
    EXPECT_EQ(Text(TimeTools::RoundDateTime(At(2026, 12, 31, 12), 0)), "2027-01-01T00:00:00.000");
    EXPECT_EQ(Text(TimeTools::RoundDateTime(At(2024, 2, 28, 18), 0)), "2024-02-29T00:00:00.000");
    EXPECT_EQ(Text(TimeTools::RoundDateTime(WithMs(At(2026, 4, 30, 23, 59, 59), 700), 3)),
              "2026-05-01T00:00:00.000");
    EXPECT_EQ(Text(TimeTools::RoundDateTime(At(2026, 4, 30, 11, 59, 59), 0)),
              "2026-04-30T00:00:00.000");
    EXPECT_EQ(TimeTools::RoundDateTime(At(9999, 12, 31, 12), 0), kInvalidOleDate);
    EXPECT_EQ(TimeTools::RoundDateTime(kNullOleDate, 0), kNullOleDate);
}

TEST_F(DateConversionsTest, MillisecondsSplitExactlyAndCarryIntoTheSecond) {
    const std::optional<SystemTime> t =
        TimeTools::DateToSystemTimeMs(WithMs(At(2026, 7, 1, 10), 123));
    ASSERT_TRUE(t.has_value());
    EXPECT_EQ(t->hour, 10);
    EXPECT_EQ(t->second, 0);
    EXPECT_EQ(t->milliseconds, 123);
    EXPECT_EQ(t->day_of_week, 3);
    EXPECT_EQ(TimeTools::SystemTimeToDateMs(*t), WithMs(At(2026, 7, 1, 10), 123));

    const std::optional<SystemTime> carried =
        TimeTools::DateToSystemTimeMs(WithMs(At(2026, 7, 1, 10, 0, 5), 999.6));
    ASSERT_TRUE(carried.has_value());
    EXPECT_EQ(carried->second, 6);
    EXPECT_EQ(carried->milliseconds, 0);
    const std::optional<SystemTime> negative =
        TimeTools::DateToSystemTimeMs(WithMs(At(1899, 12, 29, 6), 250));
    ASSERT_TRUE(negative.has_value());
    EXPECT_EQ(negative->day, 29);
    EXPECT_EQ(negative->milliseconds, 250);

    SystemTime bad = *t;
    bad.month = 13;
    EXPECT_FALSE(TimeTools::SystemTimeToDateMs(bad).has_value());
    EXPECT_FALSE(TimeTools::DateToSystemTimeMs(kInvalidOleDate).has_value());

    const TimeRecord record = TimeTools::SystemTimeToTimeRecord(*t);
    EXPECT_EQ(record.nanoseconds, 123000000u);
    const SystemTime back = TimeTools::TimeRecordToSystemTime(record);
    EXPECT_EQ(back.milliseconds, 123);
    EXPECT_EQ(back.day_of_week, 0);

    EXPECT_DOUBLE_EQ(TimeTools::RoundToDigits(2.375, 2), 2.38);
    EXPECT_DOUBLE_EQ(TimeTools::RoundToDigits(1234.5, -2), 1200.0);
    EXPECT_DOUBLE_EQ(TimeTools::RoundToDigits(-2.5, 0), -2.0);
}

TEST_F(DateConversionsTest, TextsInIsoFormAndInTheUsersConventions) {
    const OleDate date = At(2026, 7, 1, 14);
    EXPECT_EQ(TimeTools::FormatDateTime(date, 3600, kFormatIso | kFormatOffset),
              "2026-07-01T15:00:00.000+01:00");
    EXPECT_EQ(TimeTools::FormatDateTime(date, -5400, kFormatIso | kFormatOffset),
              "2026-07-01T12:30:00.000-01:30");
    // Half an hour west of UTC is west: the sign is the offset's, not its hours'.
    EXPECT_EQ(TimeTools::FormatDateTime(date, -1800, kFormatIso), "2026-07-01T13:30:00.000-00:30");
    EXPECT_EQ(TimeTools::FormatDateTime(date, 0, kFormatIso), "2026-07-01T14:00:00.000");
    // Cut, not rounded: the last millisecond stays on its day.
    EXPECT_EQ(Text(WithMs(At(2026, 7, 1, 23, 59, 59), 999.7)), "2026-07-01T23:59:59.999");
    EXPECT_EQ(Text(kNullOleDate), "(null)");
    EXPECT_EQ(Text(kInvalidOleDate), "(error)");
    EXPECT_EQ(TimeTools::FormatDateTime(kNullOleDate, 0, kFormatIso), "");

    EXPECT_EQ(TimeTools::FormatDateTime(date, 0, kFormatDate), "07/01/26");
    EXPECT_EQ(TimeTools::FormatDateTime(date, 0, kFormatDate | kFormatTime), "07/01/26 14:00");
    EXPECT_EQ(TimeTools::FormatDateTime(
                  date, -1800, kFormatLongDate | kFormatDate | kFormatTime | kFormatOffset),
              "Wednesday, 01 July 2026 13:30:00 (UTC -00:30)");
    EXPECT_EQ(TimeTools::FormatDateTime(date, 7200, kFormatTime | kFormatOffset), "16:00+02:00");
    // The local date now (the clock's) is today's: only the time is left.
    EXPECT_EQ(TimeTools::FormatDateTime(date, 0, kFormatDate | kFormatTime | kFormatNoDateToday),
              "14:00");
    EXPECT_EQ(TimeTools::FormatDateTime(At(2026, 7, 2, 14), 0,
                                        kFormatDate | kFormatTime | kFormatNoDateToday),
              "07/02/26 14:00");
    EXPECT_EQ(TimeTools::PtimeToString(TimeTools::DateToPtime(date)), "07/01/26 14:00:00");
    EXPECT_EQ(TimeTools::PtimeToString(TimeTools::DateToPtime(At(2026, 7, 1))), "07/01/26");
}

TEST_F(DateConversionsTest, TheUsersLocaleNamesTheDays) {
    testing::GermanLocale german;
    ASSERT_TRUE(german.available()) << german.problem();
    environment_.Set("LC_ALL", testing::GermanLocale::kName);
    const OleDate date = At(2026, 7, 1, 14, 5, 9);
    EXPECT_EQ(TimeTools::FormatDateTime(date, 0, kFormatDate | kFormatTime), "01.07.2026 14:05");
    EXPECT_EQ(TimeTools::FormatDateTime(date, 0, kFormatLongDate | kFormatDate | kFormatTime),
              "Mittwoch, 01 Juli 2026 14:05:09");
}

TEST_F(DateConversionsTest, OffsetPeriodsChangeWhereTheZoneDoes) {
    std::vector<OffsetPeriod> periods;
    TimeTools::GetOffsetPeriods(At(2026, 6, 1), At(2026, 6, 3, 12), &periods);
    EXPECT_EQ(periods, (std::vector<OffsetPeriod>{{At(2026, 6, 1), At(2026, 6, 3, 12), 120}}));

    // Hour by hour from midnight: 02:00 lies in the gap and still counts as standard time.
    periods.clear();
    TimeTools::GetOffsetPeriods(At(2026, 3, 28), At(2026, 3, 31), &periods);
    EXPECT_EQ(periods, (std::vector<OffsetPeriod>{{At(2026, 3, 28), At(2026, 3, 29, 3), 60},
                                                  {At(2026, 3, 29, 3), At(2026, 3, 31), 120}}));
    // A tail shorter than a day after the last change gets no record.
    periods.clear();
    TimeTools::GetOffsetPeriods(At(2026, 10, 24), At(2026, 10, 25, 20), &periods);
    EXPECT_EQ(periods, (std::vector<OffsetPeriod>{{At(2026, 10, 24), At(2026, 10, 25, 3), 120}}));

    // West of UTC the minutes are whole too.
    SetZone("America/New_York");
    periods.clear();
    TimeTools::GetOffsetPeriods(At(2026, 1, 10), At(2026, 1, 10, 5), &periods);
    EXPECT_EQ(periods, (std::vector<OffsetPeriod>{{At(2026, 1, 10), At(2026, 1, 10, 5), -300}}));
}

}  // namespace
}  // namespace ruzd::foundation
