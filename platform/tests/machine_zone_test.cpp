// The machine's time zone as the C library reads it, the user's time conventions, and the watch
// that notices steps of the clock and changes of the zone entries of a folder.

#include "platform/machine_zone.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/event.h"
#include "platform/local_time.h"
#include "platform/net_time_command.h"
#include "platform/time_change_watch.h"
#include "platform/user_locale.h"
#include "testing/scoped_environment.h"
#include "testing/temp_root.h"

namespace ruzd::platform {
namespace {

namespace fs = std::filesystem;

// TZ and the locale variables as a test sets them; the zone is read again both ways.
class ZoneEnvironmentTest : public ::testing::Test {
protected:
    ~ZoneEnvironmentTest() override {
        environment_.reset();
        ReloadTimeZone();
    }
    void SetZone(const std::string& tz) {
        environment_->Set("TZ", tz);
        ReloadTimeZone();
    }
    std::unique_ptr<testing::ScopedEnvironment> environment_ =
        std::make_unique<testing::ScopedEnvironment>();
};

using MachineZoneTest = ZoneEnvironmentTest;

TEST_F(MachineZoneTest, AZoneFileNamedByTzGivesItsIdNamesAndFooterRule) {
    for (const std::string tz :
         {"Europe/Berlin", ":Europe/Berlin", ":/usr/share/zoneinfo/posix/Europe/Berlin"}) {
        SetZone(tz);
        const MachineZone zone = ReadMachineZone();
        EXPECT_EQ(zone.key_name, "Europe/Berlin") << tz;
        EXPECT_EQ(zone.standard_name, "CET");
        EXPECT_EQ(zone.daylight_name, "CEST");
        EXPECT_EQ(zone.posix_rule, "CET-1CEST,M3.5.0,M10.5.0/3");
    }
    SetZone("America/New_York");
    EXPECT_EQ(ReadMachineZone().posix_rule, "EST5EDT,M3.2.0,M11.1.0");
}

TEST_F(MachineZoneTest, ARuleInTzIsItsOwnKeyAndRule) {
    SetZone("IST-5:30");
    const MachineZone zone = ReadMachineZone();
    EXPECT_EQ(zone.key_name, "IST-5:30");
    EXPECT_EQ(zone.posix_rule, "IST-5:30");
    EXPECT_EQ(zone.standard_name, "IST");
}

TEST_F(MachineZoneTest, WithoutTzTheSystemLinkNamesTheZone) {
    environment_->Unset("TZ");
    ReloadTimeZone();
    const MachineZone zone = ReadMachineZone();
    EXPECT_FALSE(zone.key_name.empty());
    EXPECT_EQ(zone.key_name.find("zoneinfo"), std::string::npos) << zone.key_name;
}

TEST_F(MachineZoneTest, LocalTimesConvertBackAndTheLastSecondOf1969IsNoFailure) {
    SetZone("Europe/Berlin");
    EXPECT_EQ(LocalTimeToUtcSeconds(2026, 7, 1, 14, 0, 0), 1782907200);
    EXPECT_EQ(LocalTimeToUtcSeconds(2026, 1, 15, 13, 0, 0), 1768478400);
    // A repeated hour gives its first reading, a skipped one is standard time, whatever came
    // before.
    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(LocalTimeToUtcSeconds(2026, 10, 25, 3, 30, 0), 1792895400);
        EXPECT_EQ(LocalTimeToUtcSeconds(2026, 10, 25, 2, 30, 0), 1792888200);
        EXPECT_EQ(LocalTimeToUtcSeconds(2026, 3, 29, 2, 30, 0), 1774747800);
        EXPECT_EQ(LocalTimeToUtcSeconds(2026, 10, 25, 1, 30, 0), 1792884600);
    }
    SetZone("UTC0");
    EXPECT_EQ(LocalTimeToUtcSeconds(1969, 12, 31, 23, 59, 59), -1);
    EXPECT_EQ(LocalTimeToUtcSeconds(100, 1, 1, 0, 0, 0), -59011459200);
}

using UserLocaleTest = ZoneEnvironmentTest;

TEST_F(UserLocaleTest, TheCLocalesPicturesAndNames) {
    environment_->Set("LC_ALL", "C");
    const TimePictures pictures = UserTimePictures();
    EXPECT_EQ(pictures.short_date, "%m/%d/%y");
    EXPECT_EQ(pictures.time, "%H:%M:%S");
    EXPECT_EQ(pictures.time_without_seconds, "%H:%M");
    EXPECT_EQ(FormatUserTime(pictures.long_date, 2026, 7, 1, 14, 0, 0), "Wednesday, 01 July 2026");
    EXPECT_EQ(FormatUserTime(pictures.short_date + " " + pictures.time, 100, 3, 1, 6, 5, 4),
              "03/01/00 06:05:04");
}

TEST_F(UserLocaleTest, TerritoryOfTheFirstLocaleVariableSet) {
    environment_->Set("LC_ALL", "de_DE.UTF-8");
    environment_->Set("LC_CTYPE", "fr_CA@euro");
    EXPECT_EQ(UserTerritory(), "DE");
    environment_->Set("LC_ALL", "");
    EXPECT_EQ(UserTerritory(), "CA");
    environment_->Unset("LC_CTYPE");
    environment_->Set("LANG", "C.UTF-8");
    EXPECT_EQ(UserTerritory(), "");
}

// Counts the changes the watch reports and lets a test wait for the next one.
class ChangeCounter {
public:
    void Changed() {
        count_.fetch_add(1);
        changed_.Set();
    }
    // Waits for a change after the last one waited for.
    bool WaitForChange() { return changed_.Wait(60000) == kWaitObject0; }
    int count() const { return count_.load(); }

private:
    std::atomic<int> count_{0};
    Event changed_{false};
};

using TimeChangeWatchTest = ZoneEnvironmentTest;

TEST_F(TimeChangeWatchTest, ZoneEntriesOfTheWatchedFolderReplacedRemovedOrRewrittenAreChanges) {
    testing::TempDir folder;
    environment_->Set("RUZD_ZONE_WATCH_DIR", folder.path().string());
    ChangeCounter counter;
    TimeChangeWatch watch([&] { counter.Changed(); });
    ASSERT_TRUE(watch.Start());
    EXPECT_TRUE(watch.watches_clock());
    EXPECT_TRUE(watch.watches_zone_folder());

    // A zone link replaced the way "ln -sfn" does it: made under another name, renamed over.
    fs::create_symlink("/usr/share/zoneinfo/Europe/Berlin", folder.path() / "localtime.new");
    fs::rename(folder.path() / "localtime.new", folder.path() / "localtime");
    ASSERT_TRUE(counter.WaitForChange());
    fs::remove(folder.path() / "localtime");
    ASSERT_TRUE(counter.WaitForChange());
    std::ofstream(folder.path() / "timezone") << "Europe/Berlin\n";
    ASSERT_TRUE(counter.WaitForChange());
    EXPECT_GE(counter.count(), 3);
}

TEST_F(TimeChangeWatchTest, AFolderThatCannotBeWatchedLeavesTheClock) {
    testing::TempDir folder;
    environment_->Set("RUZD_ZONE_WATCH_DIR", (folder.path() / "missing").string());
    EXPECT_EQ(ZoneWatchFolder(), folder.path() / "missing");
    TimeChangeWatch watch([] {});
    EXPECT_TRUE(watch.Start());
    EXPECT_TRUE(watch.watches_clock());
    EXPECT_FALSE(watch.watches_zone_folder());
}

// Setting the clock changes the whole machine: only where the environment allows it, and then to
// its own reading.
TEST_F(TimeChangeWatchTest, ASetOfTheClockIsAChange) {
    const NetTimeEnvironment machine = SystemNetTimeEnvironment();
    if (!machine.mayShiftClock) {
        GTEST_SKIP() << "setting the clock needs root and " << kSetClockVariable << "=1";
    }
    ChangeCounter counter;
    TimeChangeWatch watch([&] { counter.Changed(); });
    ASSERT_TRUE(watch.Start());
    std::string error;
    ASSERT_TRUE(machine.shiftClock(SystemClock().Now(), error)) << error;
    EXPECT_TRUE(counter.WaitForChange());
}

}  // namespace
}  // namespace ruzd::platform
