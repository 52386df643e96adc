#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <vector>

#include "foundation/debug_function.h"
#include "foundation/tests/debug_log_fixture.h"
#include "foundation/trace.h"

namespace ruzd::foundation {
namespace {

constexpr const char* kFile = "Tav12081405.deb";
constexpr int kThreads = 4;
constexpr int kLinesPerThread = 2000;

class DebugWriterTest : public DebugLogTest {
protected:
    // Starts the threads, each writing its numbered lines; `meanwhile` runs while they do.
    void LogFromThreads(const std::function<void()>& meanwhile) {
        std::vector<std::unique_ptr<platform::Thread>> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.push_back(std::make_unique<platform::Thread>("logger"));
            threads.back()->Start([t] {
                for (int i = 0; i < kLinesPerThread; ++i)
                    Trace(kTraceVoice, t + 1, "line %d", i);
            });
        }
        meanwhile();
        for (auto& thread : threads)
            thread->Join();
    }

    // Every numbered line of every thread is in the file once, and each thread's in order.
    void ExpectAllLinesInOrder(const std::vector<std::string>& lines) {
        std::map<int, int> next;
        for (const std::string& line : lines) {
            int device = 0, number = 0;
            if (std::sscanf(AfterThread(line).c_str(), ":---------:Vo%04d 1 --- line %d", &device,
                            &number) != 2) {
                continue;
            }
            ASSERT_EQ(number, next[device]) << "thread " << device;
            ++next[device];
        }
        ASSERT_EQ(next.size(), static_cast<size_t>(kThreads));
        for (const auto& [device, count] : next)
            EXPECT_EQ(count, kLinesPerThread) << "thread " << device;
    }
};

TEST_F(DebugWriterTest, QueuedLinesAreAllWrittenBeforeTheWriterEnds) {
    StartDebugLog(kPrefix, 0, true, 0);
    LogFromThreads([] {});
    StopDebugLog();
    const std::vector<std::string> lines = LogLines(kFile);
    ExpectAllLinesInOrder(lines);
    EXPECT_EQ(AfterThread(lines.back()), ":---------:Lo     1 --- Log file closed");
}

TEST_F(DebugWriterTest, LinesEndedWhileTheWriterStopsAreNotLost) {
    StartDebugLog(kPrefix, 0, true, 0);
    LogFromThreads([] {
        StopDebugMessageThread();
        StartDebugMessageThread();
        StopDebugMessageThread();
    });
    StopDebugLog();
    ExpectAllLinesInOrder(LogLines(kFile));
}

TEST_F(DebugWriterTest, WriterOpensTheNextFileWhenTheIntervalEnds) {
    StartDebugLog(kPrefix, 0, true, 0);
    Trace(kTraceVoice, 1, "first");
    clock_.Advance(std::chrono::minutes(5));
    Trace(kTraceVoice, 1, "second");
    Trace(kTraceVoice, 1, "third");
    StopDebugLog();
    // Which lines made it into the old file depends on when the writer woke; none is lost,
    // and the old file is closed before the new one is written.
    std::vector<std::string> traced;
    for (const char* name : {kFile, "Tav12081410.deb"}) {
        const std::vector<std::string> lines = LogLines(name);
        ASSERT_FALSE(lines.empty()) << name;
        EXPECT_EQ(AfterThread(lines.back()), ":---------:Lo     1 --- Log file closed");
        for (const std::string& line : lines) {
            if (AfterThread(line).substr(0, 13) == ":---------:Vo")
                traced.push_back(line.substr(line.rfind(' ') + 1));
        }
    }
    EXPECT_THAT(traced, ::testing::ElementsAre("first", "second", "third"));
    EXPECT_EQ(CountBanners("Tav12081410.deb"), 1);
}

TEST_F(DebugWriterTest, RestartingReconfiguresTheRunningLog) {
    StartDebugLog(kPrefix, 0, true, 0);
    Trace(kTraceVoice, 1, "five minutes");
    std::filesystem::create_directories(root_.path() / "drives/c/Other");
    StartDebugLog("C:\\Other\\Tav", 5, false, 2);
    auto log = GetDebugFile();
    EXPECT_TRUE(log->IsEnabled());
    EXPECT_EQ(log->GetCurrentPath(), "C:\\Other\\Tav1208.deb");
    Trace(kTraceVoice, 1, "one day");
    log.reset();
    StopDebugLog();
    EXPECT_EQ(AfterThread(LogLines(kFile).back()), ":---------:Lo     1 --- Log file closed");
    std::ifstream in(root_.path() / "drives/c/Other/Tav1208.deb", std::ios::binary);
    const std::string other((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(other.find("interval=1 day\r\n"), std::string::npos);
    EXPECT_NE(other.find("one day\r\n"), std::string::npos);
}

TEST_F(DebugWriterTest, RecordsOfEndedThreadsAreFreed) {
    StartDebugLog(kPrefix, 0, true, 0);
    Trace(kTraceVoice, 0, "main thread");
    const size_t before = CDebugFile::LiveThreadRecords();
    for (int round = 0; round < 3; ++round) {
        std::vector<std::unique_ptr<platform::Thread>> threads;
        for (int t = 0; t < 8; ++t) {
            threads.push_back(std::make_unique<platform::Thread>("short"));
            threads.back()->Start([] {
                CDebugFunction call;
                call.Enter("Short", kDebugNone, kDebugChannelVoice, 1)->EndLine();
            });
        }
        for (auto& thread : threads)
            thread->Join();
    }
    EXPECT_EQ(CDebugFile::LiveThreadRecords(), before);
}

}  // namespace
}  // namespace ruzd::foundation
