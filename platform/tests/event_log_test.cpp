#include "platform/event_log.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/root.h"
#include "platform/time_scale.h"
#include "testing/child_program.h"
#include "testing/eventually.h"
#include "testing/os_for_tests.h"
#include "testing/temp_root.h"

namespace ruzd::platform {
namespace {

TEST(EventLogTest, RecordsAreNumberedOnAndReadBackInBothDirections) {
    testing::TempRoot root;
    EventLogWriter first;
    EventLogWriter second;
    ASSERT_EQ(first.Open("Tormbel"), 0u);
    ASSERT_EQ(second.Open("Other"), 0u);
    EXPECT_EQ(first.Report(kEventTypeSuccess, 1, 1001), 0u);
    EXPECT_EQ(second.Report(kEventTypeError, 2, 7, {"a\tb%c\r\n", ""}, std::string("\0\xFF", 2),
                            "\x01\x05"),
              0u);
    EXPECT_EQ(first.Report(kEventTypeWarning, 1, 1002), 0u);

    EventLogReader reader;
    ASSERT_EQ(reader.Open(), 0u);
    EXPECT_EQ(reader.NumberOfRecords(), 3u);
    EXPECT_EQ(reader.OldestRecord(), 1u);
    EventRecord record;
    ASSERT_TRUE(reader.ReadNext(record));
    EXPECT_EQ(record.source, "Tormbel");
    EXPECT_EQ(record.event_id, 1001u);
    ASSERT_TRUE(reader.ReadNext(record));
    EXPECT_EQ(record.record_number, 2u);
    EXPECT_EQ(record.type, kEventTypeError);
    EXPECT_EQ(record.category, 2);
    EXPECT_EQ(record.strings, (std::vector<std::string>{"a\tb%c\r\n", ""}));
    EXPECT_EQ(record.data, std::string("\0\xFF", 2));
    EXPECT_EQ(record.user_sid, "\x01\x05");
    EXPECT_GT(record.time_written, 0);
    ASSERT_TRUE(reader.ReadPrevious(record));
    EXPECT_EQ(record.record_number, 3u);
    EXPECT_EQ(record.event_id, 1002u);

    // One line a record, its texts escaped so that a TAB or line end stays inside its field.
    std::ifstream store(root.path() / "eventlog" / "Application.events");
    std::string line;
    int lines = 0;
    while (std::getline(store, line)) {
        ++lines;
    }
    EXPECT_EQ(lines, 3);
}

// A record the disk took only part of is taken back under the lock: the report fails, and the
// next one stands on a line of its own that readers read.
TEST(EventLogTest, ARecordWrittenInPartIsTakenBackAndTheNextOneIsRead) {
    testing::TempRoot root;
    EventLogWriter writer;
    ASSERT_EQ(writer.Open("Tormbel"), 0u);
    ASSERT_EQ(writer.Report(kEventTypeSuccess, 1, 1001), 0u);
    const std::filesystem::path store = EventLogStorePath("Application");
    const uintmax_t before = std::filesystem::file_size(store);
    {
        // Room for a few bytes more: the write is cut short there, as on a full disk.
        ruzd::testing::FileSizeLimit limit(before + 10);
        ASSERT_TRUE(limit.valid());
        EXPECT_NE(writer.Report(kEventTypeError, 1, 1002, {std::string(200, 'x')}), 0u);
    }
    EXPECT_EQ(std::filesystem::file_size(store), before);
    EXPECT_EQ(writer.Report(kEventTypeWarning, 1, 1003, {"after"}), 0u);

    EventLogReader reader;
    ASSERT_EQ(reader.Open(), 0u);
    ASSERT_EQ(reader.NumberOfRecords(), 2u);
    EXPECT_EQ(reader.records()[1].record_number, 2u);
    EXPECT_EQ(reader.records()[1].event_id, 1003u);
    EXPECT_EQ(reader.records()[1].strings, std::vector<std::string>{"after"});
}

// The store is open to every account to read; its writers' lock is not, so no other account can
// hold every report up. A reader passes over a last line still being written.
TEST(EventLogTest, AnotherAccountCanReadTheStoreButHoldsNoReportUp) {
    ASSERT_TRUE(ruzd::testing::RunningAsRoot()) << "only root may act as another account";
    testing::TempRoot root;
    std::filesystem::permissions(root.path(), std::filesystem::perms::others_exec,
                                 std::filesystem::perm_options::add);
    EventLogWriter writer;
    ASSERT_EQ(writer.Open("Tormbel"), 0u);
    ASSERT_EQ(writer.Report(kEventTypeSuccess, 1, 1001), 0u);
    const std::filesystem::path store = EventLogStorePath("Application");
    EXPECT_EQ(ruzd::testing::RunAsAnotherAccount({"/usr/bin/cat", store.string()}), 0);
    EXPECT_NE(ruzd::testing::RunAsAnotherAccount(
                  {"/usr/bin/flock", "-n", "-s", store.string() + ".lock", "/usr/bin/true"}),
              0);
    // A lock on the store itself, which every account may take, stops no report.
    const pid_t holder = ruzd::testing::StartAsAnotherAccount(
        {"/usr/bin/flock", "-o", "-s", store.string(), "/usr/bin/sleep", "120"});
    ASSERT_GT(holder, 0);
    ASSERT_TRUE(ruzd::testing::Eventually([&] {
        ruzd::testing::ProgramStart probe;
        probe.program = "/usr/bin/flock";
        probe.arguments = {"-n", "-x", store.string(), "/usr/bin/true"};
        return ruzd::testing::RunProgram(probe) != 0;
    }));
    EXPECT_EQ(writer.Report(kEventTypeWarning, 1, 1002), 0u)
        << "the report waited for a lock of another account's";
    ruzd::testing::KillProgram(holder);
    ruzd::testing::WaitForExitCode(holder);

    std::ofstream(store, std::ios::app) << "3\t17";  // a record half written
    EventLogReader reader;
    ASSERT_EQ(reader.Open(), 0u);
    EXPECT_EQ(reader.NumberOfRecords(), 2u);
}

TEST(EventLogTest, AStoreThatCannotBeOpenedGivesTheSystemsError) {
    testing::TempRoot root;
    std::filesystem::create_directories(root.path() / "eventlog" / "Application.events");
    EventLogWriter writer;
    EXPECT_EQ(writer.Open("Tormbel"), 5u);
    EventLogReader reader;
    EXPECT_EQ(reader.Open("Missing"), 2u);
}

TEST(TimeScaleTest, OnlyWholeNumbersFromOneToTwentyCount) {
    EXPECT_EQ(ParseTimeScale("10"), 10u);
    EXPECT_EQ(ParseTimeScale("1"), 1u);
    EXPECT_EQ(ParseTimeScale("20"), 20u);
    EXPECT_FALSE(ParseTimeScale("0"));
    EXPECT_FALSE(ParseTimeScale("21"));
    EXPECT_FALSE(ParseTimeScale("2x"));
    EXPECT_FALSE(ParseTimeScale(""));
}

}  // namespace
}  // namespace ruzd::platform
