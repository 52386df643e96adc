#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>

#include "foundation/debug_file.h"
#include "foundation/debug_interval.h"
#include "foundation/operator_alert.h"
#include "foundation/tests/debug_log_fixture.h"
#include "foundation/trace.h"
#include "platform/event_log.h"
#include "testing/os_for_tests.h"

namespace ruzd::foundation {
namespace {

using std::chrono::milliseconds;
using std::chrono::minutes;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

// The log is used on its own here, without the writer thread, so every line is written (and
// every rotation done) by the time the call that ended it returns.
class DebugFileTest : public DebugLogTest {
protected:
    void Line(CDebugFile& log, const char* text) {
        log.BeginLine(kDebugChannelGeneral, kDebugNone, kDebugNone).Append(text).EndLine();
    }
    // A file last written `age` ago (by the real clock, as the file system keeps it).
    void Touch(const std::string& name, std::chrono::hours age = std::chrono::hours(1)) {
        std::ofstream(folder() / name) << "x";
        std::filesystem::last_write_time(folder() / name,
                                         std::filesystem::file_time_type::clock::now() - age);
    }
};

TEST(DebugInterval, EachCodeFloorsAndNamesItsInterval) {
    const int64_t t = 1796738829;  // 2026-12-08 14:07:09
    const int64_t midnight = 1796688000;
    struct Case {
        uint32_t code;
        const char* name;
        const char* label;
        int64_t next;
    } cases[] = {
        {0, "12081405.deb", "5 min", midnight + 14 * 3600 + 10 * 60},
        {1, "12081400.deb", "15 min", midnight + 14 * 3600 + 15 * 60},
        {2, "120814.deb", "1 hour", midnight + 15 * 3600},
        {3, "120812.deb", "3 hours", midnight + 15 * 3600},
        {4, "120812.deb", "12 hour", midnight + 24 * 3600},
        {5, "1208.deb", "1 day", midnight + 24 * 3600},
    };
    for (const Case& c : cases) {
        const DebugInterval interval = DebugIntervalAt(c.code, t);
        EXPECT_EQ(interval.file_name, c.name) << c.code;
        EXPECT_EQ(interval.label, c.label) << c.code;
        EXPECT_EQ(interval.next_boundary, c.next) << c.code;
    }
    const DebugInterval unknown = DebugIntervalAt(6, t);
    EXPECT_EQ(unknown.file_name, "");
    EXPECT_EQ(unknown.label, "Unknown");
    EXPECT_EQ(unknown.next_boundary, kDebugNoBoundary);
}

TEST_F(DebugFileTest, LineThatSeesTheBoundaryPassedOpensTheNextFile) {
    clock_.SetNow(kLogStart + minutes(2) + milliseconds(50800));  // 14:09:59.842
    CDebugFile log(kPrefix, 0, true, 0);
    Line(log, "before");
    clock_.Advance(milliseconds(300));  // 14:10:00.142
    Line(log, "at the boundary");
    Line(log, "after");
    EXPECT_EQ(log.GetCurrentPath(), "C:\\Ruzd\\Debug\\Tav12081410.deb");

    const std::vector<std::string> old_lines = LogLines("Tav12081405.deb");
    ASSERT_EQ(old_lines.size(), 4u);
    EXPECT_EQ(AfterThread(old_lines[1]), ":---------:**     1 --- before");
    EXPECT_EQ(old_lines[2].substr(0, 12), "14:10:00.142");
    EXPECT_EQ(AfterThread(old_lines[2]), ":---------:**     1 --- at the boundary");
    EXPECT_EQ(AfterThread(old_lines[3]), ":---------:Lo     1 --- Log file closed");
    EXPECT_EQ(CountBanners("Tav12081410.deb"), 1);
    const std::vector<std::string> new_lines = LogLines("Tav12081410.deb");
    ASSERT_EQ(new_lines.size(), 1u);
    EXPECT_EQ(AfterThread(new_lines[0]), ":---------:**     1 --- after");
}

// A FIFO where the interval's file should be would hold the log until a reader came: it is
// refused at once and named on the error output and in the event log, and the next interval's
// file says how many lines were lost.
TEST_F(DebugFileTest, AFifoInPlaceOfTheFileIsRefusedToldAndItsLinesCounted) {
    ASSERT_TRUE(testing::MakeFifo(folder() / "Tav12081405.deb"));
    ::testing::internal::CaptureStderr();
    {
        CDebugFile log(kPrefix, 0, true, 0);
        Line(log, "one");
        Line(log, "two");
        clock_.Advance(minutes(3));  // 14:10:09.042
        Line(log, "sees the boundary");
        Line(log, "in the next file");
    }
    const std::string said = ::testing::internal::GetCapturedStderr();
    const std::string told = "Debug file " + (folder() / "Tav12081405.deb").string() +
                             " cannot be opened (not a regular file): its lines are lost";
    EXPECT_THAT(said, HasSubstr(told));
    EXPECT_EQ(said.find(told), said.rfind(told)) << said;
    platform::EventLogReader events;
    ASSERT_EQ(events.Open(), 0u);
    ASSERT_EQ(events.NumberOfRecords(), 1u);
    EXPECT_EQ(events.records()[0].event_id, kAlertEventId);
    EXPECT_EQ(events.records()[0].type, platform::kEventTypeError);
    EXPECT_EQ(events.records()[0].strings, std::vector<std::string>{told});

    EXPECT_EQ(CountBanners("Tav12081410.deb"), 1);
    const std::vector<std::string> lines = LogLines("Tav12081410.deb");
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_THAT(AfterThread(lines[0]),
                ::testing::MatchesRegex(":---------:Lo     1 --- [0-9]+ debug lines could not be "
                                        "written \\(not a regular file\\) and are lost"));
    // The banner's lines and five others at least.
    EXPECT_GE(std::stoi(lines[0].substr(lines[0].find("--- ") + 4)), 5);
    EXPECT_EQ(AfterThread(lines[1]), ":---------:**     1 --- in the next file");
    EXPECT_EQ(AfterThread(lines[2]), ":---------:Lo     1 --- Log file closed");
}

TEST_F(DebugFileTest, ChangedUtcOffsetReopensTheFileAfterTheNextLine) {
    CDebugFile log(kPrefix, 5, true, 0);
    Line(log, "one");
    setenv("TZ", "CET-1", 1);
    TimeTools::RefreshTimeZone();
    Line(log, "two");
    Line(log, "three");
    EXPECT_EQ(CountBanners("Tav1208.deb"), 1);
    std::vector<std::string> tails;
    for (const std::string& line : LogLines("Tav1208.deb"))
        tails.push_back(AfterThread(line));
    EXPECT_THAT(tails, ElementsAre(":---------:Lo     1 --- Logging turned on",
                                   ":---------:**     1 --- one", ":---------:**     1 --- two",
                                   ":---------:Lo     1 --- Log file closed",
                                   ":---------:**     1 --- three"));
}

TEST_F(DebugFileTest, UnknownIntervalNeverRotatesOnTime) {
    CDebugFile log(kPrefix, 9, true, 0);
    Line(log, "one");
    clock_.Advance(std::chrono::hours(30));
    Line(log, "two");
    Line(log, "three");
    EXPECT_EQ(log.GetCurrentPath(), kPrefix);
    EXPECT_EQ(LogLines("Tav").size(), 4u);
    EXPECT_EQ(CountBanners("Tav"), 1);
}

TEST_F(DebugFileTest, ReconfiguringTheSameFolderReopensWithoutBanner) {
    CDebugFile log(kPrefix, 0, true, 0);
    Line(log, "one");
    log.SetFolder(kPrefix);
    Line(log, "two");
    EXPECT_EQ(CountBanners("Tav12081405.deb"), 1);
    std::vector<std::string> tails;
    for (const std::string& line : LogLines("Tav12081405.deb"))
        tails.push_back(AfterThread(line));
    EXPECT_THAT(
        tails,
        ElementsAre(":---------:Lo     1 --- Logging turned on", ":---------:**     1 --- one",
                    ":---------:Lo     1 --- Log file closed", ":---------:**     1 --- two"));
}

TEST_F(DebugFileTest, DisabledLogWritesNothingAndReenablingKeepsTheFile) {
    CDebugFile log(kPrefix, 0, true, 0);
    log.SetEnabled(false);
    Line(log, "unseen");
    Trace(kTraceVoice, 0, "unseen");
    clock_.Advance(minutes(1));
    log.SetEnabled(true);
    Line(log, "seen");
    EXPECT_EQ(CountBanners("Tav12081405.deb"), 1);
    std::vector<std::string> tails;
    for (const std::string& line : LogLines("Tav12081405.deb"))
        tails.push_back(AfterThread(line));
    EXPECT_THAT(tails, ElementsAre(":---------:Lo     1 --- Logging turned on",
                                   ":---------:Lo     1 --- Logging turned off",
                                   ":---------:Lo     1 --- Log file closed",
                                   ":---------:Lo     1 --- Logging turned on",
                                   ":---------:**     1 --- seen"));
}

TEST_F(DebugFileTest, DepthGoesDownWhileDisabledButNotBelowOne) {
    CDebugFile log(kPrefix, 0, true, 0);
    log.BeginLine(kDebugChannelNone, kDebugNone, kDebugNone, CDebugFile::kEntryLine)
        .Append("F")
        .EndLine();
    log.SetEnabled(false);
    log.WriteExitLine(kDebugChannelNone, kDebugNone, kDebugNone, "F", "(void)");
    log.WriteExitLine(kDebugChannelNone, kDebugNone, kDebugNone, "G", "(void)");
    log.SetEnabled(true);
    Line(log, "top");
    const std::vector<std::string> lines = LogLines("Tav12081405.deb");
    EXPECT_EQ(AfterThread(lines.back()), ":---------:**     1 --- top");
}

TEST_F(DebugFileTest, OldestFilesBeyondTheMaximumAreDeletedAtClose) {
    int age = 10;
    for (const char* name : {"Tav12070000.deb", "tav12070005.DEB", "Tav12070010.deb",
                             "Tav12070015.deb", "Tav12070020.deb"}) {
        Touch(name, std::chrono::hours(age--));
    }
    Touch("Other1.deb", std::chrono::hours(20));
    Touch("Tav0001.txt", std::chrono::hours(20));
    std::filesystem::create_directory(folder() / "TavDir.deb");
    {
        CDebugFile log(kPrefix, 0, true, 3);
        Line(log, "x");
        clock_.Advance(minutes(5));
        Line(log, "y");  // closes the first file (6 of them now), keeps 3, opens a 4th
        EXPECT_THAT(FileNames(),
                    ElementsAre("Other1.deb", "Tav0001.txt", "Tav12070015.deb", "Tav12070020.deb",
                                "Tav12081405.deb", "Tav12081410.deb", "TavDir.deb"));
    }
    // The log's own close trims again.
    EXPECT_THAT(FileNames(), ElementsAre("Other1.deb", "Tav0001.txt", "Tav12070020.deb",
                                         "Tav12081405.deb", "Tav12081410.deb", "TavDir.deb"));
}

TEST_F(DebugFileTest, TheFolderBoundDeletesTheOldestFilesThenStopsTheCurrentOne) {
    int age = 3;
    for (const char* name : {"Tav12070000.deb", "Tav12070005.deb", "Tav12070010.deb"}) {
        std::ofstream(folder() / name) << std::string(40000, 'x');
        std::filesystem::last_write_time(
            folder() / name,
            std::filesystem::file_time_type::clock::now() - std::chrono::hours(age--));
    }
    const uint64_t bound = 100000;
    const auto folder_bytes = [&] {
        uint64_t total = 0;
        for (const auto& entry : std::filesystem::directory_iterator(folder()))
            total += entry.file_size();
        return total;
    };
    CDebugFile log(kPrefix, 0, true, 0);
    log.SetMaxFolderBytes(bound);
    EXPECT_THAT(FileNames(), ElementsAre("Tav12070005.deb", "Tav12070010.deb", "Tav12081405.deb"));
    const std::string text(1000, 'y');
    for (int i = 0; i < 200; ++i) {
        Line(log, text.c_str());
        ASSERT_LE(folder_bytes(), bound) << i;
    }
    // The file being written is never deleted: it holds the bound alone and stops.
    EXPECT_THAT(FileNames(), ElementsAre("Tav12081405.deb"));
    const std::vector<std::string> lines = LogLines("Tav12081405.deb");
    EXPECT_THAT(lines.back(), ::testing::HasSubstr("Debug folder reached its bound of 100000 "
                                                   "bytes: lines are dropped until the next file"));
    // Not readable by everyone: the lines hold callers' numbers.
    const auto permissions = std::filesystem::status(folder() / "Tav12081405.deb").permissions();
    EXPECT_EQ(permissions & std::filesystem::perms::others_all, std::filesystem::perms::none);

    // The next file starts writing again, the full one going first when room is needed.
    clock_.Advance(minutes(5));
    Line(log, "next");
    Line(log, text.c_str());
    EXPECT_THAT(LogLines("Tav12081410.deb").back(), ::testing::EndsWith(text));
}

TEST_F(DebugFileTest, ClockJumpsThatOpenManyFilesNeverDeleteTheFilesOfThePresent) {
    Touch("Tav12070000.deb", std::chrono::hours(2));
    CDebugFile log(kPrefix, 0, true, 2);
    Line(log, "the present");
    // The log's clock jumps ahead again and again (the central server's time shifts): every jump
    // opens a file, and by the count the present's file would be the oldest to go.
    for (int jump = 0; jump < 4; ++jump) {
        clock_.Advance(std::chrono::hours(1));
        Line(log, "jump");
    }
    const std::vector<std::string> names = FileNames();
    EXPECT_THAT(names, ::testing::Contains("Tav12081405.deb"));
    // A file of the past still goes for the count.
    EXPECT_THAT(names, ::testing::Not(::testing::Contains("Tav12070000.deb")));
}

TEST_F(DebugFileTest, MaximumOfZeroKeepsEveryFile) {
    for (int i = 0; i < 5; ++i)
        Touch(platform::Format("Tav1207%04d.deb", i));
    {
        CDebugFile log(kPrefix, 0, true, 0);
        clock_.Advance(minutes(5));
        Line(log, "x");
    }
    EXPECT_EQ(FileNames().size(), 7u);
}

TEST_F(DebugFileTest, MissingFolderDropsLinesUntilAFileOpens) {
    const std::string prefix = "C:\\Ruzd\\Missing\\Tav";
    CDebugFile log(prefix, 0, true, 0);
    Line(log, "lost");
    EXPECT_EQ(log.GetCurrentPath(), "C:\\Ruzd\\Missing\\Tav12081405.deb");
    std::filesystem::create_directories(root_.path() / "drives" / "c" / "Ruzd" / "Missing");
    clock_.Advance(minutes(5));
    Line(log, "also lost");  // seen by the rotation, which opens the next file
    Line(log, "kept");
    std::ifstream in(root_.path() / "drives/c/Ruzd/Missing/Tav12081410.deb");
    std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(content.find("kept"), std::string::npos);
    EXPECT_EQ(content.find("--- lost"), std::string::npos);
    EXPECT_EQ(content.find("also lost"), std::string::npos);
    // What the missing folder cost is told in the file that opened.
    EXPECT_NE(content.find(" debug lines could not be written (No such file or directory) and "
                           "are lost"),
              std::string::npos);
}

}  // namespace
}  // namespace ruzd::foundation
