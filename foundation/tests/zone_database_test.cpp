// The database of named zones: numbering from the zone file, reloads, the mapping of Windows
// zone names, and conversions between UTC and the zones, with and without the server's shift.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <boost/date_time/posix_time/posix_time.hpp>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>

#include "foundation/time_tools.h"
#include "platform/win_path.h"
#include "testing/scoped_environment.h"
#include "testing/temp_root.h"

namespace ruzd::foundation {

void PrintTo(const OleDate& date, std::ostream* out) {
    *out << "status " << static_cast<int>(date.status()) << " "
         << TimeTools::FormatDateTime(date, 0, kFormatIso);
}

namespace {

using std::chrono::seconds;

const std::string kHeader =
    "\"ID\",\"STD ABBR\",\"STD NAME\",\"DST ABBR\",\"DST NAME\",\"GMT offset\",\"DST adjustment\","
    "\"DST Start Date rule\",\"Start time\",\"DST End date rule\",\"End time\"\r\n";
const std::string kNewYork =
    "\"America/New_York\",\"EST\",\"Eastern Standard Time\",\"EDT\",\"Eastern Daylight Time\","
    "\"-05:00:00\",\"+01:00:00\",\"2;0;3\",\"+02:00:00\",\"1;0;11\",\"+02:00:00\"\r\n";
const std::string kBerlin =
    "\"Europe/Berlin\",\"CET\",\"CET\",\"CEST\",\"CEST\",\"+01:00:00\",\"+01:00:00\",\"-1;0;3\","
    "\"+02:00:00\",\"-1;0;10\",\"+03:00:00\"\r\n";
const std::string kAbidjan =
    "\"Africa/Abidjan\",\"GMT\",\"GMT\",\"\",\"\",\"+00:00:00\",\"+00:00:00\",\"\",\"\",\"\","
    "\"+00:00:00\"\r\n";
// Unquoted; and one whose id boost reads otherwise than the numbering does (it takes the
// backslash for an escape), so that the database lacks the numbered id.
const std::string kKolkata = "Asia/Kolkata,IST,IST,,,+05:30:00,+00:00:00,,,,+00:00:00\n";
const std::string kEscaped =
    "\"Test/Odd\\\"ly\",\"X\",\"X\",\"\",\"\",\"+02:00:00\",\"+00:00:00\",\"\",\"\",\"\","
    "\"+00:00:00\"\n";

OleDate At(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
    return OleDate::FromFields(year, month, day, hour, minute, second);
}

class ZoneDatabaseTest : public ::testing::Test {
protected:
    ZoneDatabaseTest() {
        TimeTools::ResetServerTimeShift();
        environment_.Unset("LC_ALL");
        environment_.Unset("LC_CTYPE");
        environment_.Unset("LANG");
    }
    ~ZoneDatabaseTest() override {
        TimeTools::ResetServerTimeShift();
        environment_.Unset("TZ");
        TimeTools::RefreshTimeZone();
    }

    // Writes a file on drive C: of the root and gives its Windows path.
    std::string Write(const std::string& name, const std::string& text) {
        const std::string path = "C:\\zones\\" + name;
        const std::filesystem::path file = platform::MapWindowsPath(path);
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << text;
        return path;
    }
    void LoadThree() {
        ASSERT_TRUE(TimeTools::LoadZoneDatabase(
            Write("three.csv", kHeader + kNewYork + kBerlin + kAbidjan)));
    }
    void SetZone(const std::string& tz) {
        environment_.Set("TZ", tz);
        TimeTools::RefreshTimeZone();
    }

    testing::TempRoot root_;
    testing::ScopedEnvironment environment_;
    // 2026-07-01 12:00 UTC.
    platform::ManualClock clock_{platform::WallTime(seconds(1782907200))};
    platform::ScopedClockOverride use_clock_{clock_};
};

TEST_F(ZoneDatabaseTest, IdsAreNumberedInByteOrderAndFoundInAnyCase) {
    LoadThree();
    EXPECT_EQ(TimeTools::GetZoneIndex("America/New_York"), 2);
    EXPECT_EQ(TimeTools::GetZoneIndex("Europe/Berlin"), 3);
    EXPECT_EQ(TimeTools::GetZoneIndex("Africa/Abidjan"), 1);
    EXPECT_EQ(TimeTools::GetZoneIndex("europe/BERLIN"), 3);
    EXPECT_EQ(TimeTools::GetZoneIndex("Europe/Paris"), -1);
    EXPECT_EQ(TimeTools::GetZoneId(3), "Europe/Berlin");
    EXPECT_EQ(TimeTools::GetZoneId(4), "");
    EXPECT_EQ(TimeTools::GetZoneList(),
              (std::map<int32_t, std::string>{
                  {1, "Africa/Abidjan"}, {2, "America/New_York"}, {3, "Europe/Berlin"}}));
    EXPECT_TRUE(TimeTools::IsValidZoneIndex(1));
    EXPECT_FALSE(TimeTools::IsValidZoneIndex(0));
    EXPECT_FALSE(TimeTools::IsValidZoneIndex(4));
    EXPECT_TRUE(TimeTools::IsUsableZoneIndex(0, true));
    EXPECT_FALSE(TimeTools::IsUsableZoneIndex(0, false));
    EXPECT_FALSE(TimeTools::IsUsableZoneIndex(-1, true));
    EXPECT_TRUE(TimeTools::IsUsableZoneIndex(3, false));
    ASSERT_NE(TimeTools::GetZone(3), nullptr);
    EXPECT_EQ(TimeTools::GetZone(3)->std_zone_abbrev(), "CET");
    EXPECT_EQ(TimeTools::GetZone(3), TimeTools::GetZone(3));
    EXPECT_EQ(TimeTools::GetZone(0), nullptr);
}

TEST_F(ZoneDatabaseTest, AReloadRenumbersAndForgetsTheOldZonesAndARefusedFileChangesNothing) {
    LoadThree();
    ASSERT_EQ(TimeTools::GetZone(2)->std_zone_abbrev(), "EST");
    ASSERT_TRUE(
        TimeTools::LoadZoneDatabase(Write("other.csv", kHeader + kBerlin + kKolkata + kAbidjan)));
    EXPECT_EQ(TimeTools::GetZoneIndex("Asia/Kolkata"), 2);
    EXPECT_EQ(TimeTools::GetZoneIndex("America/New_York"), -1);
    ASSERT_NE(TimeTools::GetZone(2), nullptr);
    EXPECT_EQ(TimeTools::GetZone(2)->std_zone_abbrev(), "IST");
    EXPECT_EQ(TimeTools::UtcToZoneTime(At(2026, 7, 1, 12), 2, false), At(2026, 7, 1, 17, 30));

    // A line of the wrong shape, a missing file: false, and the zones stay.
    EXPECT_FALSE(
        TimeTools::LoadZoneDatabase(Write("bad.csv", kHeader + kNewYork + "\"Broken\",\"X\"\n")));
    EXPECT_FALSE(TimeTools::LoadZoneDatabase("C:\\zones\\missing.csv"));
    EXPECT_EQ(TimeTools::GetZoneId(2), "Asia/Kolkata");
    EXPECT_EQ(TimeTools::GetZoneIndex("America/New_York"), -1);
}

TEST_F(ZoneDatabaseTest, AZoneTheDatabaseLacksIsNullAndEveryOperationOnItFails) {
    ASSERT_TRUE(TimeTools::LoadZoneDatabase(Write("odd.csv", kHeader + kBerlin + kEscaped)));
    const int32_t odd = TimeTools::GetZoneIndex("Test/Odd\\");
    ASSERT_EQ(odd, 2);
    EXPECT_EQ(TimeTools::GetZone(odd), nullptr);
    EXPECT_EQ(TimeTools::GetZone(odd), nullptr);
    EXPECT_EQ(TimeTools::GetZoneUtcOffsetSeconds(odd), 0);
    EXPECT_EQ(TimeTools::GetZoneOleDateTime(odd), kInvalidOleDate);
    EXPECT_FALSE(TimeTools::IsDaylightSavingTime(odd));
    EXPECT_EQ(TimeTools::UtcToZoneTime(At(2026, 7, 1), odd, false), kInvalidOleDate);
    EXPECT_EQ(TimeTools::UtcToZoneTime(At(2026, 7, 1), odd, true), At(2026, 7, 1));
    EXPECT_EQ(TimeTools::ZoneTimeToUtc(kNullOleDate, odd, true), kNullOleDate);
    EXPECT_EQ(TimeTools::UtcToZoneTime(At(2026, 7, 1), -1, false), kInvalidOleDate);
    EXPECT_EQ(TimeTools::GetZoneOleDateTime(7), kInvalidOleDate);
}

TEST_F(ZoneDatabaseTest, BerlinInSummerWinterGapAndOverlap) {
    LoadThree();
    const int32_t berlin = TimeTools::GetZoneIndex("Europe/Berlin");
    const int32_t new_york = TimeTools::GetZoneIndex("America/New_York");
    EXPECT_EQ(TimeTools::UtcToZoneTime(At(2026, 7, 1, 12), berlin, false), At(2026, 7, 1, 14));
    EXPECT_EQ(TimeTools::UtcToZoneTime(At(2026, 1, 15, 12), berlin, false), At(2026, 1, 15, 13));
    EXPECT_EQ(TimeTools::ZoneTimeToUtc(At(2026, 7, 1, 14), berlin, false), At(2026, 7, 1, 12));
    EXPECT_EQ(TimeTools::UtcToZoneTime(At(2026, 7, 1, 12), new_york, false), At(2026, 7, 1, 8));
    // A local time the zone skips or repeats has no one UTC time.
    EXPECT_EQ(TimeTools::ZoneTimeToUtc(At(2026, 3, 29, 2, 30), berlin, false), kInvalidOleDate);
    EXPECT_EQ(TimeTools::ZoneTimeToUtc(At(2026, 10, 25, 2, 30), berlin, true),
              At(2026, 10, 25, 2, 30));
    EXPECT_EQ(TimeTools::UtcToZoneTime(At(2026, 10, 25, 0, 30), berlin, false),
              At(2026, 10, 25, 2, 30));
    EXPECT_EQ(TimeTools::UtcToZoneTime(At(2026, 10, 25, 1, 30), berlin, false),
              At(2026, 10, 25, 2, 30));

    EXPECT_EQ(TimeTools::ConvertBetweenZones(At(2026, 7, 1, 8), new_york, berlin, false),
              At(2026, 7, 1, 14));
    EXPECT_EQ(TimeTools::ConvertBetweenZones(At(2026, 3, 29, 2, 30), berlin, berlin, false),
              At(2026, 3, 29, 2, 30));
    // A step that fails fails the whole, rather than passing its input on as a UTC time.
    EXPECT_EQ(TimeTools::ConvertBetweenZones(At(2026, 3, 29, 2, 30), berlin, new_york, false),
              kInvalidOleDate);
    SetZone("Asia/Tokyo");
    EXPECT_EQ(TimeTools::ConvertBetweenZones(At(2026, 7, 1, 21), 0, berlin, false),
              At(2026, 7, 1, 14));
    EXPECT_EQ(TimeTools::ConvertBetweenZones(At(2026, 7, 1, 14), berlin, 0, false),
              At(2026, 7, 1, 21));

    EXPECT_EQ(TimeTools::GetZoneOleDateTime(berlin), At(2026, 7, 1, 14));
    EXPECT_EQ(TimeTools::GetZoneUtcOffsetSeconds(berlin), 7200);
    EXPECT_TRUE(TimeTools::IsDaylightSavingTime(berlin));
    EXPECT_FALSE(TimeTools::IsDaylightSavingTime(TimeTools::GetZoneIndex("Africa/Abidjan")));
    EXPECT_FALSE(TimeTools::IsDaylightSavingTime(0));
    EXPECT_EQ(TimeTools::GetZoneUtcOffsetSeconds(0), 9 * 3600);
    EXPECT_EQ(TimeTools::GetZoneUtcOffsetSeconds(-1), TimeTools::GetZoneUtcOffsetSeconds(0));
}

TEST_F(ZoneDatabaseTest, EachPartKeepsTheDirectionOfTheShift) {
    LoadThree();
    SetZone("Asia/Tokyo");
    const int32_t berlin = TimeTools::GetZoneIndex("Europe/Berlin");
    // The node 90 seconds ahead of the server.
    clock_.Advance(seconds(90));
    TimeTools::ApplyServerTime("2026-07-01T12:00:00");
    ASSERT_EQ(TimeTools::GetServerTimeShift(), 90);
    EXPECT_EQ(TimeTools::GetZoneUtcOffsetSeconds(berlin), 7200 - 90);
    EXPECT_EQ(TimeTools::GetZoneUtcOffsetSeconds(0), 9 * 3600 + 90);
    EXPECT_EQ(TimeTools::GetZoneUtcOffsetSeconds(-1), 9 * 3600 + 90);
    EXPECT_EQ(TimeTools::GetZoneOleDateTime(berlin), At(2026, 7, 1, 14));
    EXPECT_EQ(TimeTools::UtcToZoneTime(At(2026, 7, 1, 12), berlin, false),
              At(2026, 7, 1, 14, 1, 30));
    EXPECT_EQ(TimeTools::ZoneTimeToUtc(At(2026, 7, 1, 14), berlin, false),
              At(2026, 7, 1, 11, 58, 30));
    EXPECT_EQ(TimeTools::ConvertBetweenZones(At(2026, 7, 1, 14), berlin, 0, false),
              At(2026, 7, 1, 21));
}

TEST_F(ZoneDatabaseTest, WindowsNamesMapByTerritoryOrTheWorldAndTheMachineFindsItsZone) {
    LoadThree();
    EXPECT_TRUE(TimeTools::LoadZoneMapping(Write("map.txt",
                                                 "W. Europe Standard Time\t001\tEurope/Berlin\r\n"
                                                 "W. Europe Standard Time\tDE\tEurope/Berlin\r\n"
                                                 "\r\n"
                                                 "Eastern Standard Time\tUS\tAmerica/New_York\n"
                                                 "Two Fields\tXX\n"
                                                 "Four Fields\tXX\tEurope/Berlin\textra\n"
                                                 "Greenwich Standard Time\t\tAfrica/Abidjan\n"
                                                 "Unknown Zone\t001\tMars/Olympus\n")));
    EXPECT_TRUE(TimeTools::LoadZoneMapping("C:\\zones\\missing.txt"));
    EXPECT_EQ(TimeTools::GetZoneIndexForRegion("W. Europe Standard Time", "DE"), 3);
    EXPECT_EQ(TimeTools::GetZoneIndexForRegion("W. Europe Standard Time", "FR"), 3);
    EXPECT_EQ(TimeTools::GetZoneIndexForRegion("Eastern Standard Time", "US"), 2);
    EXPECT_EQ(TimeTools::GetZoneIndexForRegion("Eastern Standard Time", "CA"), -1);
    EXPECT_EQ(TimeTools::GetZoneIndexForRegion("Greenwich Standard Time", ""), 1);
    EXPECT_EQ(TimeTools::GetZoneIndexForRegion("Two Fields", "XX"), -1);
    EXPECT_EQ(TimeTools::GetZoneIndexForRegion("Four Fields", "XX"), -1);
    EXPECT_EQ(TimeTools::GetZoneIndexForRegion("Unknown Zone", "001"), -1);

    // The machine's zone is named by its IANA id, which the mapping lacks.
    SetZone("Europe/Berlin");
    EXPECT_EQ(TimeTools::GetMachineZoneIndex(), 3);
    // An id mapped like a Windows name goes through the mapping, with the user's territory.
    ASSERT_TRUE(TimeTools::LoadZoneMapping(
        Write("ids.txt",
              "America/New_York\tUS\tAmerica/New_York\nAmerica/New_York\tCA\tEurope/Berlin\n")));
    SetZone("America/New_York");
    environment_.Set("LANG", "en_US.UTF-8");
    EXPECT_EQ(TimeTools::GetMachineZoneIndex(), 2);
    environment_.Set("LC_ALL", "fr_CA.UTF-8");
    EXPECT_EQ(TimeTools::GetMachineZoneIndex(), 3);
}

TEST_F(ZoneDatabaseTest, BoostTimesAndOleDatesKeepTheirMilliseconds) {
    using boost::posix_time::ptime;
    using boost::posix_time::time_from_string;
    const ptime time = time_from_string("2026-07-01 14:05:09.123");
    const OleDate date = TimeTools::PtimeToDate(time);
    EXPECT_EQ(TimeTools::FormatDateTime(date, 0, kFormatIso), "2026-07-01T14:05:09.123");
    EXPECT_EQ(TimeTools::DateToPtime(date), time);
    EXPECT_EQ(TimeTools::DateToPtime(OleDate(-1.25, OleDateStatus::kValid)),
              time_from_string("1899-12-29 06:00:00"));
    EXPECT_EQ(TimeTools::PtimeToDate(ptime(boost::posix_time::not_a_date_time)), kInvalidOleDate);
    EXPECT_TRUE(TimeTools::DateToPtime(kNullOleDate).is_not_a_date_time());

    SystemTime record;
    record.day_of_week = 6;
    TimeTools::PtimeToSystemTime(time, &record);
    EXPECT_EQ(record.year, 2026);
    EXPECT_EQ(record.second, 9);
    EXPECT_EQ(record.milliseconds, 123);
    EXPECT_EQ(record.day_of_week, 6);
    EXPECT_EQ(TimeTools::SystemTimeToPtime(record), time);
    record.month = 13;
    EXPECT_TRUE(TimeTools::SystemTimeToPtime(record).is_not_a_date_time());
}

}  // namespace
}  // namespace ruzd::foundation
