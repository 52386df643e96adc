#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <memory>
#include <thread>
#include <vector>

#include "foundation/debug_function.h"
#include "foundation/peer_log_ledger.h"
#include "foundation/peer_log_limit.h"
#include "foundation/tests/debug_log_fixture.h"
#include "foundation/trace.h"
#include "testing/eventually.h"

namespace ruzd::foundation {
namespace {

constexpr const char* kFile = "Tav12081405.deb";
constexpr const char* kNextFile = "Tav12081410.deb";
constexpr int kThreads = 4;
constexpr int kLinesPerThread = 2000;

class DebugWriterTest : public DebugLogTest {
protected:
    // Starts the threads, each writing its numbered lines; `meanwhile` runs while they do.
    void LogFromThreads(const std::function<void()>& meanwhile, int thread_count = kThreads) {
        std::vector<std::unique_ptr<platform::Thread>> threads;
        for (int t = 0; t < thread_count; ++t) {
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

    // Every numbered line of every thread is in `lines` once, and each thread's in order:
    // `counts[t]` lines of the thread that traces as device t + 1.
    void ExpectAllLinesInOrder(const std::vector<std::string>& lines,
                               const std::vector<int>& counts) {
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
        ASSERT_EQ(next.size(), counts.size());
        for (const auto& [device, count] : next)
            EXPECT_EQ(count, counts[device - 1]) << "thread " << device;
    }
    // A numbered line or one of the log's own, stamped, with nothing missing or added.
    static bool IsWholeLine(const std::string& line) {
        unsigned hour, minute, second, millisecond, thread;
        char end;
        if (std::sscanf(line.c_str(), "%2u:%2u:%2u.%3u:%3x%c", &hour, &minute, &second,
                        &millisecond, &thread, &end) != 6 ||
            end != ':' || line.size() < 16) {
            return false;
        }
        const std::string rest = AfterThread(line);
        int device = 0, number = 0;
        if (std::sscanf(rest.c_str(), ":---------:Vo%04d 1 --- line %d", &device, &number) == 2)
            return rest == platform::Format(":---------:Vo%04d 1 --- line %d", device, number);
        return rest == ":---------:Lo     1 --- Logging turned on" ||
               rest == ":---------:Lo     1 --- Log file closed";
    }
    void ExpectAllLinesInOrder(const std::vector<std::string>& lines, int thread_count = kThreads) {
        ExpectAllLinesInOrder(lines, std::vector<int>(thread_count, kLinesPerThread));
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

TEST_F(DebugWriterTest, ThreadsWithFullQueuesWaitForTheWriterAndLoseNothing) {
    StartDebugLog(kPrefix, 0, true, 0);
    // Every line after a thread's first finds its queue full.
    GetDebugFile()->SetQueueBound(1);
    LogFromThreads([] {}, 8);
    StopDebugLog();
    ExpectAllLinesInOrder(LogLines(kFile), 8);
}

TEST_F(DebugWriterTest, RotationWhileEightThreadsWriteKeepsEveryLineWholeInOneFile) {
    constexpr int kWriters = 8;
    constexpr int kLinesBefore = 500;
    constexpr int kLinesAfterRotation = 200;
    StartDebugLog(kPrefix, 0, true, 0);
    const std::shared_ptr<CDebugFile> log = GetDebugFile();
    const std::string next_path = "C:\\Ruzd\\Debug\\" + std::string(kNextFile);
    std::atomic<int> ready{0};
    std::atomic<bool> boundary_passed{false};
    std::vector<int> counts(kWriters);
    std::vector<std::unique_ptr<platform::Thread>> threads;
    for (int t = 0; t < kWriters; ++t) {
        threads.push_back(std::make_unique<platform::Thread>("logger"));
        threads.back()->Start([&, t] {
            int i = 0;
            while (i < kLinesBefore)
                Trace(kTraceVoice, t + 1, "line %d", i++);
            ready.fetch_add(1);
            while (!boundary_passed.load())
                std::this_thread::yield();
            // The writer opens the next file while the threads go on writing.
            while (log->GetCurrentPath() != next_path)
                Trace(kTraceVoice, t + 1, "line %d", i++);
            for (const int last = i + kLinesAfterRotation; i < last; ++i)
                Trace(kTraceVoice, t + 1, "line %d", i);
            counts[t] = i;
        });
    }
    EXPECT_TRUE(::ruzd::testing::Eventually([&] { return ready.load() == kWriters; }));
    clock_.Advance(std::chrono::minutes(5));
    boundary_passed.store(true);
    for (auto& thread : threads)
        thread->Join();
    StopDebugLog();

    const std::vector<std::string> old_lines = LogLines(kFile);
    const std::vector<std::string> new_lines = LogLines(kNextFile);
    EXPECT_EQ(AfterThread(old_lines.back()), ":---------:Lo     1 --- Log file closed");
    EXPECT_EQ(CountBanners(kNextFile), 1);
    int traced_in_new = 0;
    std::vector<std::string> both = old_lines;
    for (const std::string& line : new_lines) {
        traced_in_new += line.find(" line ") != std::string::npos ? 1 : 0;
        both.push_back(line);
    }
    for (const std::string& line : both)
        ASSERT_TRUE(IsWholeLine(line)) << line;
    EXPECT_GE(traced_in_new, kWriters * kLinesAfterRotation);
    ExpectAllLinesInOrder(both, counts);
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
    for (const char* name : {kFile, kNextFile}) {
        const std::vector<std::string> lines = LogLines(name);
        ASSERT_FALSE(lines.empty()) << name;
        EXPECT_EQ(AfterThread(lines.back()), ":---------:Lo     1 --- Log file closed");
        for (const std::string& line : lines) {
            if (AfterThread(line).substr(0, 13) == ":---------:Vo")
                traced.push_back(line.substr(line.rfind(' ') + 1));
        }
    }
    EXPECT_THAT(traced, ::testing::ElementsAre("first", "second", "third"));
    EXPECT_EQ(CountBanners(kNextFile), 1);
}

// A stranger that spent its budget and went quiet sends no line that would bring its count
// out, nor does anyone else: the writer writes the count once it is due, and the stop writes
// the count that was not due yet.
TEST_F(DebugWriterTest, AStrangersCountIsWrittenWhenDueWithoutAnotherLineAndAtTheStop) {
    StartDebugLog(kPrefix, 0, true, 0);
    PeerLogLimit stranger("127.0.0.2:40000");
    const auto refused_lines = [&stranger](uint32_t count) {
        const ScopedPeerLogLimit limited(&stranger);
        for (uint32_t i = 0; i < count; ++i)
            Trace(kTraceSocket, 0, "stranger's line %u", i);
    };
    refused_lines(PeerLogLedger::kBurstLines + 30);
    Trace(kTraceVoice, 1, "the node's own");
    clock_.Advance(std::chrono::milliseconds(PeerLogLedger::kSummaryEveryMs + 1000));
    EXPECT_TRUE(testing::Eventually([this] {
        return ReadBytes(kFile).find(" 30 more lines from loopback suppressed\r\n") !=
               std::string::npos;
    }));

    // Twelve lines earned in the minute, then seven refused; the log stops a second later.
    refused_lines(12 + 7);
    clock_.Advance(std::chrono::seconds(1));
    StopDebugLog();
    const std::vector<std::string> lines = LogLines(kFile);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_THAT(lines[lines.size() - 2],
                ::testing::EndsWith(" 7 more lines from loopback suppressed"));
    EXPECT_EQ(AfterThread(lines.back()), ":---------:Lo     1 --- Log file closed");
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
