// What names a crash dump: the version our programs carry in their files, and the file name.

#include "watchdog/dump_watcher.h"

#include <gtest/gtest.h>

#include "foundation/version_note.h"
#include "platform/elf_version_note.h"
#include "platform/local_time.h"
#include "platform/text.h"
#include "testing/child_program.h"

namespace ruzd::watchdog {
namespace {

TEST(DumpWatcherTest, OurProgramsCarryTheProjectsVersionOtherProgramsNone) {
    const auto version = platform::ReadVersionNote((testing::ProgramFolder() / "Tormbel").string());
    ASSERT_TRUE(version.has_value());
    const uint16_t* expected = foundation::kProgramVersionNote.version;
    EXPECT_EQ(*version,
              (platform::FileVersion{expected[0], expected[1], expected[2], expected[3]}));
    EXPECT_FALSE(
        platform::ReadVersionNote((testing::ProgramFolder() / "watchdog_crash_helper").string()));
    EXPECT_FALSE(platform::ReadVersionNote("/nonexistent/program"));
}

TEST(DumpWatcherTest, TheDumpsNameJoinsFolderProgramVersionMachineAndLocalTime) {
    const int64_t now = 1780000000;
    const platform::LocalTime local = *platform::ToLocalTime(now);
    const std::string stamp =
        platform::Format("%04d-%02d-%02d_%02d-%02d-%02d", local.year, local.month, local.day,
                         local.hour, local.minute, local.second);
    EXPECT_EQ(DumpFileName(".\\Dumps\\", "Pelwix", "1.2.3.4", "HOST", now, false),
              ".\\Dumps\\Pelwix_1.2.3.4_HOST_" + stamp + ".mdmp");
    EXPECT_EQ(DumpFileName(".\\Dumps", "Glimbor", "", "HOST", now, true),
              ".\\Dumps\\Glimbor__HOST_" + stamp + ".dmp");
}

}  // namespace
}  // namespace ruzd::watchdog
