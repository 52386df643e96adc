// What names a crash dump: the version our programs carry in their files, and the file name;
// whose programs a watcher may attach to; and a watcher started on a process that has ended
// meanwhile.

#include "watchdog/dump_watcher.h"

#include <gtest/gtest.h>

#include "foundation/version_note.h"
#include "platform/elf_version_note.h"
#include "platform/local_time.h"
#include "platform/text.h"
#include "testing/child_program.h"
#include "testing/eventually.h"
#include "testing/os_for_tests.h"
#include "testing/temp_root.h"
#include "testing/tormbel_program.h"
#include "watchdog/tormbel_log.h"

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

TEST(DumpWatcherTest, AProcessThatEndedBeforeTheAttachIsNoError) {
    testing::TempWorkFolder work;
    testing::ChildProgram helper("watchdog_crash_helper", {});
    ASSERT_EQ(helper.ReadLine(), "ready");
    helper.CloseStdin();
    // Ended, and not yet reaped by its parent.
    const std::string stat = "/proc/" + std::to_string(helper.pid()) + "/stat";
    ASSERT_TRUE(testing::Eventually([&] {
        const std::string text = testing::ReadWholeFile(stat);
        return text.find(") Z ") != std::string::npos;
    }));
    DumpWatcher watcher;
    EXPECT_FALSE(watcher.Start(static_cast<uint32_t>(helper.pid()), kDumpFolder, false, false));
    EXPECT_EQ(testing::ReadWholeFile(kLogFileName).find("ERROR"), std::string::npos)
        << testing::ReadWholeFile(kLogFileName);
    EXPECT_EQ(helper.Wait(), 0);
}

TEST(DumpWatcherTest, AProgramOfAnotherUserIsNotAttachedToEvenByRoot) {
    if (!testing::RunningAsRoot()) {
        GTEST_SKIP() << "only root starts a program as another user";
    }
    namespace fs = std::filesystem;
    testing::TempWorkFolder work;
    // A copy the other user reaches.
    fs::permissions(work.path(), fs::perms::others_exec, fs::perm_options::add);
    const fs::path helper = work.path() / "Glimbor";
    fs::copy_file(testing::ProgramFolder() / "watchdog_crash_helper", helper);
    testing::ChildProgram stranger(
        "/usr/bin/setpriv", {"--reuid=65534", "--regid=65534", "--clear-groups", helper.string()});
    ASSERT_EQ(stranger.ReadLine(), "ready");

    DumpWatcher watcher;
    EXPECT_FALSE(watcher.Start(static_cast<uint32_t>(stranger.pid()), kDumpFolder, false, false));
    EXPECT_FALSE(watcher.IsRunning());
    EXPECT_NE(testing::ReadWholeFile(work.path() / "Tormbel.log")
                  .find("DebugThread: ERROR DebugActiveProcess failed, Error=5\r\n"),
              std::string::npos);
    const std::string status =
        testing::ReadWholeFile("/proc/" + std::to_string(stranger.pid()) + "/status");
    EXPECT_NE(status.find("TracerPid:\t0\n"), std::string::npos) << status;
}

}  // namespace
}  // namespace ruzd::watchdog
