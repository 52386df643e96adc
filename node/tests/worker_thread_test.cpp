// One worker thread on its own: its run flag, its refusal of a second loop, its stop with the
// time-out, its survival of a failing loop, and the loop over a queue.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "foundation/debug_log.h"
#include "node/queue_worker_loop.h"
#include "node/work_queue.h"
#include "node/worker_thread.h"
#include "platform/event.h"
#include "testing/debug_files.h"
#include "testing/temp_root.h"

namespace ruzd::node {
namespace {

namespace fs = std::filesystem;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::Not;

constexpr uint32_t kPatienceMs = 60000;

WorkerTexts TestTexts() {
    return {"TestThread",          foundation::kDebugChannelDti,
            "Test Thread started", "Test Thread ended",
            "EndTestThread",       "ERROR: Test thread didn't end"};
}

bool Eventually(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

class WorkerThreadTest : public ::testing::Test {
protected:
    WorkerThreadTest() {
        fs::create_directories(folder());
        foundation::StartDebugLog("C:\\Ruzd\\Debug\\Tav", 5, true, 0);
    }
    ~WorkerThreadTest() override { foundation::StopDebugLog(); }

    fs::path folder() const { return root_.path() / "drives" / "c" / "Ruzd" / "Debug"; }
    std::vector<std::string> Lines() const { return ruzd::testing::DebugLines(folder()); }
    // How many lines end with `ending`, once at least `awaited` do (the log is written by a
    // thread of its own) or the patience ran out.
    size_t Count(const std::string& ending, size_t awaited = 0) const {
        const auto count = [&] {
            size_t found = 0;
            for (const std::string& line : Lines()) {
                if (line.size() >= ending.size() &&
                    line.compare(line.size() - ending.size(), ending.size(), ending) == 0) {
                    ++found;
                }
            }
            return found;
        };
        Eventually([&] { return count() >= awaited; });
        return count();
    }

    // Starts a thread whose body runs `loop` and records the body's result.
    void StartBody(WorkerThread& worker, WorkerThread::Loop loop) {
        worker.Start([&worker, this, loop = std::move(loop)] {
            const uint32_t result = worker.RunBody(loop);
            std::lock_guard lock(mutex_);
            results_.push_back(result);
        });
    }
    std::vector<uint32_t> Results() {
        std::lock_guard lock(mutex_);
        return results_;
    }

    ruzd::testing::TempRoot root_;
    std::mutex mutex_;
    std::vector<uint32_t> results_;
};

// A loop that runs until its run is ended.
void UntilStopped(const WorkerRun& run) {
    while (run.ShouldRun()) {
        run.Sleep(kPatienceMs);
    }
}

TEST_F(WorkerThreadTest, BodySetsTheFlagLogsItsLinesAndClearsTheFlagAtItsEnd) {
    WorkerThread worker(TestTexts());
    EXPECT_EQ(worker.RunFlag(), 0);
    StartBody(worker, UntilStopped);
    ASSERT_TRUE(Eventually([&] { return worker.IsRunning(); }));
    EXPECT_EQ(worker.RunFlag(), 1);

    worker.Stop(false);
    EXPECT_EQ(worker.RunFlag(), 0);
    EXPECT_TRUE(worker.ThreadEnded());
    EXPECT_THAT(Results(), ElementsAre(0u));
    EXPECT_EQ(Count("Test Thread started", 1), 1u);
    EXPECT_EQ(Count("Test Thread ended", 1), 1u);
    EXPECT_THAT(Lines(), Not(Contains(EndsWith("ERROR: Test thread didn't end"))));
}

TEST_F(WorkerThreadTest, ASecondBodyWhileTheFirstRunsIsRefused) {
    WorkerThread worker(TestTexts());
    StartBody(worker, UntilStopped);
    ASSERT_TRUE(Eventually([&] { return worker.IsRunning(); }));
    // Started although the flag is set: the new thread's body refuses and ends at once.
    StartBody(worker, UntilStopped);
    ASSERT_TRUE(Eventually([&] { return Results().size() == 1; }));
    EXPECT_THAT(Results(), ElementsAre(1u));
    EXPECT_TRUE(worker.IsRunning());

    // The stop waits for the thread that runs the loop, not for the one that refused.
    worker.Stop(false);
    EXPECT_THAT(Results(), ElementsAre(1u, 0u));
    EXPECT_EQ(Count("Test Thread started", 1), 1u);
}

TEST_F(WorkerThreadTest, TwoStartsBeforeEitherSetTheFlagLeaveOneRunning) {
    WorkerThread worker(TestTexts());
    platform::Event go(true);
    for (int i = 0; i < 2; ++i) {
        worker.Start([&worker, &go, this] {
            go.Wait(kPatienceMs);
            const uint32_t result = worker.RunBody(UntilStopped);
            std::lock_guard lock(mutex_);
            results_.push_back(result);
        });
    }
    go.Set();
    ASSERT_TRUE(Eventually([&] { return Results().size() == 1; }));
    EXPECT_THAT(Results(), ElementsAre(1u));
    worker.Stop(false);
    EXPECT_THAT(Results(), ElementsAre(1u, 0u));
    EXPECT_EQ(Count("Test Thread started", 1), 1u);
}

TEST_F(WorkerThreadTest, AStopBeforeTheThreadSetsTheFlagEndsTheRunItsBodyWouldBegin) {
    WorkerThread worker(TestTexts());
    platform::Event go(true);
    worker.Start([&worker, &go, this] {
        go.Wait(kPatienceMs);
        const uint32_t result = worker.RunBody(UntilStopped);
        std::lock_guard lock(mutex_);
        results_.push_back(result);
    });
    // Not yet looked at by its thread, the worker is started all the same for whoever stops
    // every worker.
    EXPECT_FALSE(worker.IsRunning());
    ASSERT_TRUE(worker.IsStartedOrRunning());
    std::thread stopper([&] { worker.Stop(false); });
    ASSERT_TRUE(Eventually([&] { return !worker.IsStartedOrRunning(); }));
    go.Set();
    stopper.join();
    EXPECT_THAT(Results(), ElementsAre(1u));
    EXPECT_EQ(worker.RunFlag(), 0);
    EXPECT_EQ(Count("Test Thread started"), 0u);
    EXPECT_THAT(Lines(), Not(Contains(EndsWith("ERROR: Test thread didn't end"))));
}

TEST_F(WorkerThreadTest, AStopThatTimesOutIsLoggedAndTheThreadEndsLaterByItself) {
    WorkerThread worker(TestTexts(), 50);
    platform::Event release(true);
    std::atomic<bool> looked{false};
    StartBody(worker, [&](const WorkerRun& run) {
        // Busy with something that does not look at the flag.
        release.Wait(kPatienceMs);
        looked = true;
        UntilStopped(run);
    });
    ASSERT_TRUE(Eventually([&] { return worker.IsRunning(); }));

    worker.Stop(true);
    EXPECT_EQ(worker.RunFlag(), 0);
    EXPECT_EQ(Count("ERROR: Test thread didn't end", 1), 1u);
    // Forgotten: nothing left to wait for, nothing joinable left behind.
    EXPECT_EQ(worker.ThreadId(), 0u);
    EXPECT_TRUE(Results().empty());

    release.Set();
    ASSERT_TRUE(Eventually([&] { return Results().size() == 1; }));
    EXPECT_TRUE(looked);
    EXPECT_THAT(Results(), ElementsAre(0u));
    EXPECT_EQ(worker.RunFlag(), 0);
}

TEST_F(WorkerThreadTest, ALateThreadDoesNotComeBackWhenANewOneSetsTheFlag) {
    WorkerThread worker(TestTexts(), 50);
    platform::Event release(true);
    std::atomic<int> oldTurnsAfterRelease{0};
    StartBody(worker, [&](const WorkerRun& run) {
        release.Wait(kPatienceMs);
        while (run.ShouldRun()) {
            ++oldTurnsAfterRelease;
            run.Sleep(1);
        }
    });
    ASSERT_TRUE(Eventually([&] { return worker.IsRunning(); }));
    worker.Stop(false);
    ASSERT_EQ(Count("ERROR: Test thread didn't end", 1), 1u);

    // A successor takes the flag while the old thread is still busy.
    StartBody(worker, UntilStopped);
    ASSERT_TRUE(Eventually([&] { return worker.IsRunning(); }));
    release.Set();
    ASSERT_TRUE(Eventually([&] { return Results().size() == 1; }));
    EXPECT_EQ(oldTurnsAfterRelease.load(), 0);
    // The old thread's end left the successor's flag alone.
    EXPECT_TRUE(worker.IsRunning());
    worker.Stop(false);
    EXPECT_THAT(Results(), ElementsAre(0u, 0u));
}

TEST_F(WorkerThreadTest, AFailingLoopClearsTheFlagSoTheWorkerCanStartAgain) {
    WorkerThread worker(TestTexts());
    std::atomic<bool> caught{false};
    worker.Start([&] {
        try {
            worker.RunBody([](const WorkerRun&) { throw std::runtime_error("broken"); });
        } catch (const std::runtime_error&) {
            caught = true;
        }
    });
    ASSERT_TRUE(Eventually([&] { return caught.load(); }));
    EXPECT_EQ(worker.RunFlag(), 0);
    EXPECT_EQ(Count("Test Thread ended"), 0u);

    StartBody(worker, UntilStopped);
    ASSERT_TRUE(Eventually([&] { return worker.IsRunning(); }));
    worker.Stop(false);
    EXPECT_EQ(Count("Test Thread started", 2), 2u);
}

TEST_F(WorkerThreadTest, AStopOnTheWorkersOwnThreadDoesNotWaitForItself) {
    WorkerThread worker(TestTexts(), 50);
    StartBody(worker, [&worker](const WorkerRun& run) {
        worker.Stop(false);
        EXPECT_FALSE(run.ShouldRun());
    });
    ASSERT_TRUE(Eventually([&] { return Results().size() == 1; }));
    EXPECT_EQ(Count("ERROR: Test thread didn't end"), 0u);
}

TEST_F(WorkerThreadTest, AWorkerDestroyedOnItsOwnThreadLetsTheThreadEnd) {
    auto worker = std::make_shared<WorkerThread>(TestTexts());
    platform::Event ended(true);
    std::weak_ptr<WorkerThread> weak = worker;
    worker->Start([share = worker, &ended]() mutable {
        share->RunBody([](const WorkerRun&) {});
        // The last share goes here, on the worker's own thread.
        share.reset();
        ended.Set();
    });
    worker.reset();
    EXPECT_EQ(ended.Wait(kPatienceMs), platform::kWaitObject0);
    EXPECT_TRUE(Eventually([&] { return weak.expired(); }));
}

TEST(QueueWorkerLoop, WorksRecordsInOrderAndDropsWhatIsLeftAtTheEnd) {
    WorkQueue<int> queue;
    WorkerThread worker(TestTexts());
    std::mutex mutex;
    std::vector<int> worked;
    platform::Event firstWorked(true);
    platform::Event release(true);
    worker.Start([&] {
        worker.RunBody([&](const WorkerRun& run) {
            RunQueueLoop<int>(run, queue, 500, QueueTurn::kOneRecord, [&](int& record) {
                {
                    std::lock_guard lock(mutex);
                    worked.push_back(record);
                }
                if (record == 1) {
                    firstWorked.Set();
                    release.Wait(kPatienceMs);
                }
            });
        });
    });
    queue.Push(1);
    ASSERT_EQ(firstWorked.Wait(kPatienceMs), platform::kWaitObject0);
    queue.Push(2);
    queue.Push(3);
    // Ask for the end while the first record is being worked: the loop looks at the flag
    // before the next record and drops the two left.
    std::thread stopper([&] { worker.Stop(false); });
    ASSERT_TRUE(Eventually([&] { return !worker.IsRunning(); }));
    release.Set();
    stopper.join();
    EXPECT_TRUE(queue.IsEmpty());
    std::lock_guard lock(mutex);
    EXPECT_THAT(worked, ElementsAre(1));
}

TEST(QueueWorkerLoop, AWholeQueueTurnWorksEveryRecordAndCallsIdleOnlyWhenEmpty) {
    WorkQueue<int> queue;
    WorkerThread worker(TestTexts());
    std::mutex mutex;
    std::vector<int> worked;
    std::atomic<int> idles{0};
    queue.Push(1);
    queue.Push(2);
    queue.Push(3);
    worker.Start([&] {
        worker.RunBody([&](const WorkerRun& run) {
            RunQueueLoop<int>(
                run, queue, 20, QueueTurn::kWholeQueue,
                [&](int& record) {
                    std::lock_guard lock(mutex);
                    worked.push_back(record);
                },
                [&] { ++idles; });
        });
    });
    ASSERT_TRUE(Eventually([&] { return idles.load() >= 2; }));
    worker.Stop(false);
    std::lock_guard lock(mutex);
    EXPECT_THAT(worked, ElementsAre(1, 2, 3));
}

}  // namespace
}  // namespace ruzd::node
