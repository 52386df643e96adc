#include "platform/named_mutex.h"

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "platform/win_error.h"
#include "testing/child_program.h"
#include "testing/eventually.h"
#include "testing/os_for_tests.h"
#include "testing/temp_root.h"

namespace ruzd::platform {
namespace {

using Acquire = NamedMutex::Acquire;

// The helper program named_mutex_child, with a pipe to its stdin and one from its stdout.
class Child : public ruzd::testing::ChildProgram {
public:
    Child(const char* mode, const std::string& name)
        : ChildProgram("platform_named_mutex_child", {mode, name}) {}
};

int Probe(const std::string& name) {
    return Child("probe", name).Wait();
}

constexpr int kProbeAcquired = 0;
constexpr int kProbeHeld = 1;

TEST(NamedMutexFileName, PrefixAndCaseDoNotMatter) {
    EXPECT_EQ(NamedMutex::LockFileName("Global\\Vesmarin"), "vesmarin.lock");
    EXPECT_EQ(NamedMutex::LockFileName("Local\\VESMARIN"), "vesmarin.lock");
    EXPECT_EQ(NamedMutex::LockFileName("global\\vesmarin"), "vesmarin.lock");
    EXPECT_EQ(NamedMutex::LockFileName("Vesmarin"), "vesmarin.lock");
    EXPECT_EQ(NamedMutex::LockFileName("\xC3\x89t\xC3\xA9"),
              NamedMutex::LockFileName("\xC3\xA9T\xC3\x89"));
}

TEST(NamedMutexFileName, OtherCharactersBecomeSafeAndDistinct) {
    EXPECT_EQ(NamedMutex::LockFileName("Global\\a/b\\..c d"), "a%2Fb%5C..c%20d.lock");
    EXPECT_EQ(NamedMutex::LockFileName(".."), "%2E..lock");
    EXPECT_EQ(NamedMutex::LockFileName("100%"), "100%25.lock");
    EXPECT_NE(NamedMutex::LockFileName("a b"), NamedMutex::LockFileName("a_b"));
    EXPECT_NE(NamedMutex::LockFileName("a%20b"), NamedMutex::LockFileName("a b"));
}

TEST(NamedMutexFileName, EmptyAndOverlongNamesAreRefused) {
    EXPECT_EQ(NamedMutex::LockFileName(""), std::nullopt);
    EXPECT_EQ(NamedMutex::LockFileName("Global\\"), std::nullopt);
    EXPECT_NE(NamedMutex::LockFileName(std::string(250, 'a')), std::nullopt);
    EXPECT_EQ(NamedMutex::LockFileName(std::string(251, 'a')), std::nullopt);
    EXPECT_EQ(NamedMutex::LockFileName(std::string(100, '/')), std::nullopt);
}

TEST(NamedMutex, TwoObjectsInOneProcessExcludeEachOther) {
    ruzd::testing::TempRoot root;
    NamedMutex first("Global\\Vesmarin");
    NamedMutex second("Local\\vesmarin");
    ASSERT_EQ(first.TryAcquire(), Acquire::kAcquired);
    EXPECT_TRUE(std::filesystem::exists(root.path() / "run" / "vesmarin.lock"));
    EXPECT_EQ(first.TryAcquire(), Acquire::kAcquired);  // again: still ours
    EXPECT_EQ(second.TryAcquire(), Acquire::kHeldElsewhere);
    EXPECT_EQ(GetLastError(), kErrorAlreadyExists);
    EXPECT_FALSE(second.held());
    first.Release();
    EXPECT_EQ(second.TryAcquire(), Acquire::kAcquired);
}

TEST(NamedMutex, TheDestructorReleases) {
    ruzd::testing::TempRoot root;
    {
        NamedMutex scoped("Global\\Tormbel");
        ASSERT_EQ(scoped.TryAcquire(), Acquire::kAcquired);
    }
    NamedMutex next("Global\\Tormbel");
    EXPECT_EQ(next.TryAcquire(), Acquire::kAcquired);
}

TEST(NamedMutex, BadNamesAndUnusableRootsFail) {
    ruzd::testing::TempRoot root;
    NamedMutex empty("Global\\");
    EXPECT_EQ(empty.TryAcquire(), Acquire::kFailed);
    EXPECT_EQ(GetLastError(), kErrorInvalidName);

    ruzd::testing::TempDir dir;
    const std::filesystem::path not_a_folder = dir.path() / "file";
    std::ofstream(not_a_folder) << "x";
    ::setenv("RUZD_ROOT", not_a_folder.c_str(), 1);
    NamedMutex mutex("Global\\Vesmarin");
    EXPECT_EQ(mutex.TryAcquire(), Acquire::kFailed);
    EXPECT_EQ(GetLastError(), kErrorPathNotFound);
}

TEST(NamedMutexAcrossProcesses, AHolderInThisProcessIsSeenByAnother) {
    ruzd::testing::TempRoot root;
    NamedMutex mutex("Global\\Vesmarin");
    ASSERT_EQ(mutex.TryAcquire(), Acquire::kAcquired);
    EXPECT_EQ(Probe("GLOBAL\\VESMARIN"), kProbeHeld);
    EXPECT_EQ(Probe("Global\\Other"), kProbeAcquired);
    mutex.Release();
    EXPECT_EQ(Probe("Global\\Vesmarin"), kProbeAcquired);
}

TEST(NamedMutexAcrossProcesses, AHolderInAnotherProcessIsSeenHere) {
    ruzd::testing::TempRoot root;
    Child holder("hold", "Global\\Vesmarin");
    ASSERT_EQ(holder.ReadLine(ruzd::testing::kPatience), "held");
    NamedMutex mutex("Global\\Vesmarin");
    EXPECT_EQ(mutex.TryAcquire(), Acquire::kHeldElsewhere);
    holder.CloseStdin();
    EXPECT_EQ(holder.Wait(), 0);
    EXPECT_EQ(mutex.TryAcquire(), Acquire::kAcquired);
}

TEST(NamedMutexAcrossProcesses, AKilledHolderLeavesTheMutexFree) {
    ruzd::testing::TempRoot root;
    Child holder("hold", "Global\\Vesmarin");
    ASSERT_EQ(holder.ReadLine(ruzd::testing::kPatience), "held");
    EXPECT_EQ(Probe("Global\\Vesmarin"), kProbeHeld);
    holder.Kill();
    EXPECT_EQ(holder.Wait(), 128 + SIGKILL);
    NamedMutex mutex("Global\\Vesmarin");
    EXPECT_EQ(mutex.TryAcquire(), Acquire::kAcquired);
}

// A program the holder starts (the updater, say) must not keep the mutex once the holder lets
// it go.
TEST(NamedMutexAcrossProcesses, StartedProgramsDoNotInheritTheLock) {
    ruzd::testing::TempRoot root;
    NamedMutex mutex("Global\\Vesmarin");
    ASSERT_EQ(mutex.TryAcquire(), Acquire::kAcquired);
    Child started("hold", "Global\\SomethingElse");
    ASSERT_EQ(started.ReadLine(ruzd::testing::kPatience), "held");
    mutex.Release();
    EXPECT_EQ(Probe("Global\\Vesmarin"), kProbeAcquired);
}

// Another account of the machine could otherwise hold the lock for ever and keep the node (or
// the watchdog) from starting: the lock file is its owner's alone, an older one open to others
// included.
TEST(NamedMutexAcrossProcesses, AnotherAccountCannotHoldTheLock) {
    ASSERT_TRUE(ruzd::testing::RunningAsRoot()) << "only root may act as another account";
    ruzd::testing::TempRoot root;
    const std::filesystem::path run = root.path() / "run";
    std::filesystem::create_directories(run);
    std::filesystem::permissions(root.path(), std::filesystem::perms::others_exec,
                                 std::filesystem::perm_options::add);
    // The other account reaches the folder: a lock file open to it, it can hold.
    const std::filesystem::path open_to_all = run / "someone-elses.lock";
    std::ofstream(open_to_all).put('\n');
    std::filesystem::permissions(open_to_all, std::filesystem::perms(0644));
    ASSERT_EQ(ruzd::testing::RunAsAnotherAccount(
                  {"/usr/bin/flock", "-n", open_to_all.string(), "/usr/bin/true"}),
              0);

    const std::filesystem::path older = run / "vesmarin.lock";
    std::ofstream(older).put('\n');
    std::filesystem::permissions(older, std::filesystem::perms(0644));
    NamedMutex mutex("Global\\Vesmarin");
    ASSERT_EQ(mutex.TryAcquire(), Acquire::kAcquired);
    EXPECT_EQ(std::filesystem::status(older).permissions() & std::filesystem::perms::all,
              std::filesystem::perms(0600));
    mutex.Release();
    EXPECT_NE(ruzd::testing::RunAsAnotherAccount(
                  {"/usr/bin/flock", "-n", older.string(), "/usr/bin/true"}),
              0);
    NamedMutex other("Global\\Tormbel");
    ASSERT_EQ(other.TryAcquire(), Acquire::kAcquired);
    EXPECT_EQ(
        std::filesystem::status(run / "tormbel.lock").permissions() & std::filesystem::perms::all,
        std::filesystem::perms(0600));
}

}  // namespace
}  // namespace ruzd::platform
