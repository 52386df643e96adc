// The small texts around the file-transfer connection: time stamps, setup versions, the
// update service's command and names that must stay inside the file cache.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "net/cache_path.h"
#include "net/peer_time.h"
#include "net/setup_version.h"
#include "net/updater_command.h"
#include "platform/win_path.h"
#include "testing/temp_root.h"

namespace ruzd::net {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

platform::WallTime At(int y, unsigned m, unsigned d, std::chrono::seconds time) {
    return std::chrono::sys_days(std::chrono::year(y) / m / d) + time;
}

TEST(PeerTime, TimeTextCarriesUtcAndTheOffsetOfUtcMinusLocal) {
    const platform::WallTime utc = At(2026, 12, 8, 8h + 5min + 10s) + 700ms;
    // One hour east of UTC.
    EXPECT_EQ(FormatIsoLocalTime(utc, -60), "2026-12-08T08:05:10-01:00");
    EXPECT_EQ(FormatIsoLocalTime(utc, 330), "2026-12-08T08:05:10+05:30");
    EXPECT_EQ(FormatIsoLocalTime(utc, 0), "2026-12-08T08:05:10+00:00");
}

TEST(PeerTime, TimeTextReadsBackByPosition) {
    const std::optional<PeerTime> time = ParseIsoTime("2026-12-08T08:05:10-01:30");
    ASSERT_TRUE(time);
    EXPECT_EQ(time->utc, At(2026, 12, 8, 8h + 5min + 10s));
    EXPECT_EQ(time->utcMinusLocalMinutes, -90);
    EXPECT_FALSE(ParseIsoTime("2026-12-08T08:05:10"));
    EXPECT_FALSE(ParseIsoTime("2026-13-08T08:05:10+00:00"));
    EXPECT_FALSE(ParseIsoTime("2026-12-08T08:x5:10+00:00"));
    EXPECT_FALSE(ParseIsoTime("1300-01-31T00:01:33+06:00"));
    EXPECT_FALSE(ParseIsoTime("2262-04-12T00:00:00+00:00"));
    const std::optional<PeerTime> utc = ParseIsoTime("2026-12-08T08:05:10+00:00");
    ASSERT_TRUE(utc);
    EXPECT_EQ(utc->utcMinusLocalMinutes, 0);
    EXPECT_EQ(ParseIsoTime(FormatIsoLocalTime(time->utc, 330))->utcMinusLocalMinutes, 330);
}

TEST(PeerTime, HeartbeatStampIsTheFileTimeInTwoTenDigitHalves) {
    // 1 January 1970 is 116444736000000000 in file time.
    const uint64_t epoch = ToFileTime(platform::WallTime{});
    EXPECT_EQ(epoch, 116444736000000000ULL);
    const std::string stamp = FormatHeartbeatStamp(epoch);
    EXPECT_EQ(stamp, "00271119023577643008");
    EXPECT_EQ(ParseHeartbeatStamp(stamp), epoch);
    EXPECT_FALSE(ParseHeartbeatStamp("0027111902357764300"));
    EXPECT_FALSE(ParseHeartbeatStamp("0027111902357764300x"));
    EXPECT_FALSE(ParseHeartbeatStamp("99999999990000000000"));
}

TEST(SetupVersion, OnlyAHigherOfferOfTheSameShapeIsNewer) {
    EXPECT_TRUE(IsOfferedSetupNewer("10.6.0.0", "10.6.1.0"));
    EXPECT_TRUE(IsOfferedSetupNewer("10.6.0.0", "11.0.0.0"));
    EXPECT_FALSE(IsOfferedSetupNewer("10.6.0.0", "10.5.9.9"));
    EXPECT_FALSE(IsOfferedSetupNewer("10.6.0.0", "10.6.1"));
    EXPECT_FALSE(IsOfferedSetupNewer("10.6.0.0", "10.6.0.0"));
    EXPECT_FALSE(IsOfferedSetupNewer("10.6.0.0", ""));
    EXPECT_FALSE(IsOfferedSetupNewer("", "10.6.1.0"));
}

TEST(UpdaterCommand, TwoLinesOfFormFeedSeparatedFields) {
    UpdaterCommand command;
    command.updaterPath = "P";
    command.updateArgument = "A";
    command.restartPath = "R";
    command.deleteUpdater = true;
    command.waitForUpdater = true;
    command.sessionId = 1;
    EXPECT_EQ(BuildUpdaterCommand(command),
              "P\fS\fD\fL\fA\f/sessionid:1/delete/wait/user:system/log\r"
              "R\fU\fR\fL\f \f/sessionid:1\r");
}

TEST(UpdaterCommand, WithoutRestartOrSessionOrFlags) {
    UpdaterCommand command;
    command.updaterPath = "/tmp/Sobrink.exe";
    command.updateArgument = "Setup 1";
    EXPECT_EQ(BuildUpdaterCommand(command),
              "/tmp/Sobrink.exe\fS\f-\fL\fSetup 1\f/user:system/log\r");
    command.restartPath = "R";
    command.restartArguments = "\"-service\"";
    EXPECT_EQ(BuildUpdaterCommand(command),
              "/tmp/Sobrink.exe\fS\f-\fL\fSetup 1\f/user:system/log\rR\fU\fR\fL\f\"-service\"\f\r");
}

TEST(CachePath, OnlyNamesInsideTheCacheFolderMap) {
    testing::TempRoot root;
    testing::TempDir work;
    const fs::path previous = fs::current_path();
    fs::current_path(work.path());
    fs::create_directories(work.path() / "FileCache" / "C" / "VOX");

    const auto mapped = MapPathInsideFolder(".\\FileCache", ".\\FileCache\\C\\VOX\\A.VOX");
    ASSERT_TRUE(mapped);
    EXPECT_EQ(*mapped, work.path() / "FileCache" / "C" / "VOX" / "A.VOX");
    // Case and separators do not matter for the folder part.
    EXPECT_EQ(MapPathInsideFolder(".\\FileCache", "filecache/c/vox/A.VOX"), mapped);

    EXPECT_FALSE(MapPathInsideFolder(".\\FileCache", ".\\FileCache\\..\\evil.exe"));
    EXPECT_FALSE(MapPathInsideFolder(".\\FileCache", ".\\FileCache\\C:\\evil.exe"));
    EXPECT_FALSE(MapPathInsideFolder(".\\FileCache", ".\\FileCacheX\\a.vox"));
    EXPECT_FALSE(MapPathInsideFolder(".\\FileCache", ".\\FileCache\\"));
    EXPECT_FALSE(MapPathInsideFolder(".\\FileCache", "C:\\Windows\\a.vox"));
    EXPECT_FALSE(MapPathInsideFolder(".\\FileCache", "\\\\srv\\share\\a.vox"));
    fs::current_path(previous);
}

TEST(CachePath, ContainedNames) {
    EXPECT_TRUE(IsContainedName("C\\VOX\\A.VOX"));
    EXPECT_TRUE(IsContainedName("a..b.vox"));
    EXPECT_FALSE(IsContainedName(""));
    EXPECT_FALSE(IsContainedName("..\\a.vox"));
    EXPECT_FALSE(IsContainedName("C\\..\\..\\a.vox"));
    EXPECT_FALSE(IsContainedName("C:\\a.vox"));
    EXPECT_FALSE(IsContainedName("\\a.vox"));
    EXPECT_FALSE(IsContainedName("/a.vox"));
}

TEST(CachePath, CentralPathsAndTheirCopiesBothWays) {
    EXPECT_EQ(CachePathOfCentralPath("c:\\vox\\a.vox"), ".\\FileCache\\C\\VOX\\A.VOX");
    EXPECT_EQ(CachePathOfCentralPath("\\\\srv\\share\\a.vox"), ".\\FileCache\\SRV\\SHARE\\A.VOX");
    EXPECT_FALSE(CachePathOfCentralPath("C:\\VOX\\..\\..\\A.VOX"));
    EXPECT_FALSE(CachePathOfCentralPath("\\A.VOX"));
    EXPECT_EQ(CentralPathOfCacheName("C\\VOX\\A.VOX"), "C:\\VOX\\A.VOX");
    EXPECT_EQ(CentralPathOfCacheName("SRV\\SHARE\\A.VOX"), "\\\\SRV\\SHARE\\A.VOX");
    EXPECT_EQ(CentralPathOfCacheName("AB"), "\\\\AB");
}

}  // namespace
}  // namespace ruzd::net
