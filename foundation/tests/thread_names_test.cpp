#include "foundation/thread_names.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "foundation/utilities.h"
#include "platform/thread.h"

namespace ruzd::foundation {
namespace {

std::string SystemNameOf(uint32_t thread_id) {
    std::ifstream comm("/proc/self/task/" + std::to_string(thread_id) + "/comm");
    std::string name;
    std::getline(comm, name);
    return name;
}

class ThreadNamesTest : public ::testing::Test {
protected:
    void TearDown() override { CUtilities::ClearThreadNames(); }
};

TEST_F(ThreadNamesTest, AnUnnamedThreadShowsItsIdOnly) {
    EXPECT_EQ(CUtilities::GetThreadDisplayName(1234), "Thread ID 1234");
    EXPECT_EQ(CUtilities::GetThreadDisplayName(4294967295u), "Thread ID 4294967295");
}

TEST_F(ThreadNamesTest, ANamedThreadShowsNameAndId) {
    CUtilities::SetThreadName(1234, "Worker %d of %s", 2, "pool");
    EXPECT_EQ(CUtilities::GetThreadDisplayName(1234), "Worker 2 of pool (Thread ID 1234)");
    CUtilities::SetThreadName(1234, "Renamed");
    EXPECT_EQ(CUtilities::GetThreadDisplayName(1234), "Renamed (Thread ID 1234)");
    EXPECT_EQ(CUtilities::GetThreadDisplayName(1235), "Thread ID 1235");
}

TEST_F(ThreadNamesTest, AnEmptyNameRemovesTheEntry) {
    CUtilities::SetThreadName(77, "Named");
    CUtilities::SetThreadName(77, "%s", "");
    EXPECT_EQ(CUtilities::GetThreadDisplayName(77), "Thread ID 77");
    CUtilities::SetThreadName(78, "Named");
    CUtilities::RemoveThreadName(78);
    EXPECT_EQ(ThreadNames::Get(78), "");
}

TEST_F(ThreadNamesTest, NamingTwiceWithTheSameTextAnnouncesOnce) {
    const uint64_t before = ThreadNames::AnnouncementCount();
    CUtilities::SetThreadName(500, "Same");
    CUtilities::SetThreadName(500, "Same");
    EXPECT_EQ(ThreadNames::AnnouncementCount(), before + 1);
    CUtilities::SetThreadName(500, "Other");
    EXPECT_EQ(ThreadNames::AnnouncementCount(), before + 2);
    // Removing is no announcement; naming again afterwards is.
    CUtilities::RemoveThreadName(500);
    EXPECT_EQ(ThreadNames::AnnouncementCount(), before + 2);
    CUtilities::SetThreadName(500, "Other");
    EXPECT_EQ(ThreadNames::AnnouncementCount(), before + 3);
}

TEST_F(ThreadNamesTest, ClearForgetsEveryName) {
    CUtilities::SetThreadName(1, "one");
    CUtilities::SetThreadName(2, "two");
    CUtilities::ClearThreadNames();
    EXPECT_EQ(CUtilities::GetThreadDisplayName(1), "Thread ID 1");
    EXPECT_EQ(CUtilities::GetThreadDisplayName(2), "Thread ID 2");
}

TEST_F(ThreadNamesTest, NamingTheCallingThreadNamesItForTheSystemToo) {
    platform::Thread worker("before");
    std::string seen;
    ASSERT_TRUE(worker.Start([&] {
        const uint32_t self = platform::CurrentThreadId();
        CUtilities::SetThreadName(self, "Collector %d", 7);
        seen = SystemNameOf(self);
    }));
    worker.Join();
    // The system keeps 15 characters.
    EXPECT_EQ(seen, "Collector 7");
}

TEST_F(ThreadNamesTest, NamingAnotherThreadLeavesItsSystemNameAlone) {
    platform::Event named(true);
    platform::Event checked(true);
    platform::Thread worker("untouched");
    ASSERT_TRUE(worker.Start([&] {
        named.Wait(platform::kInfinite);
        checked.Set();
    }));
    CUtilities::SetThreadName(worker.id(), "Renamed from outside");
    EXPECT_EQ(SystemNameOf(worker.id()), "untouched");
    named.Set();
    checked.Wait(platform::kInfinite);
    worker.Join();
}

}  // namespace
}  // namespace ruzd::foundation
