// The manager's workers over the simulated boards: which of them start, that a second start
// starts nothing, how they stop, how a failing file-handling worker is replaced, and that the
// manager may go on a worker's thread.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/thread.h"
#include "platform/thread_priority.h"
#include "testing/manager_on_boards.h"
#include "testing/os_for_tests.h"

namespace ruzd::node {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using Worker = CVesmarinManager::Worker;

class WorkerThreadsTest : public testing::ManagerOnBoardsTest {
protected:
    // No IP boards: with them the manager starts Global Call on its own.
    WorkerThreadsTest() {
        WriteConfig("ip 0 0\n");
        StartDebugLog();
    }

    bool AllRunning(std::initializer_list<Worker> workers) {
        return testing::Eventually([&] {
            for (Worker worker : workers) {
                if (!manager_->IsWorkerRunning(worker)) {
                    return false;
                }
            }
            return true;
        });
    }
};

TEST_F(WorkerThreadsTest, AStartStartsEachAvailableWorkerOnce) {
    CVesmarinManager& manager = Start();
    ASSERT_TRUE(manager.Hardware()->IsAmtelcoAvailable());
    manager.StartAllThreads();
    ASSERT_TRUE(AllRunning({Worker::kISDN, Worker::kAmtelco, Worker::kFileHandling}));
    const uint32_t isdn = manager.WorkerThreadId(Worker::kISDN);
    const uint32_t files = manager.WorkerThreadId(Worker::kFileHandling);

    manager.StartAllThreads();
    EXPECT_EQ(manager.WorkerThreadId(Worker::kISDN), isdn);
    EXPECT_EQ(manager.WorkerThreadId(Worker::kFileHandling), files);
    EXPECT_EQ(CountLogLines("ISDN Thread started", 1), 1u);
    EXPECT_EQ(CountLogLines("Amtelco Thread started", 1), 1u);
    EXPECT_EQ(CountLogLines("FileHandlingThread started", 1), 1u);
    // The Aculab path is never on in the node.
    EXPECT_FALSE(manager.IsWorkerRunning(Worker::kAculab));
    EXPECT_FALSE(manager.IsRelayDigitThreadRunning());
    EXPECT_EQ(CountLogLines("AculabThread started"), 0u);
    // The ISDN worker set its parameter before it waited for events.
    EXPECT_EQ(CountCalls("sr_setparm"), 1u);
}

TEST_F(WorkerThreadsTest, NoAmtelcoWorkerWithoutItsLibrary) {
    ruzd::testing::TempDir vendor;
    for (const auto& entry : fs::directory_iterator(RUZD_TEST_BIN_DIR "/../vendor")) {
        if (entry.path().filename() != "XDSlibsc.so") {
            fs::copy(entry.path(), vendor.path() / entry.path().filename());
        }
    }
    UseVendorFolder(vendor.path());
    CVesmarinManager& manager = Start();
    ASSERT_FALSE(manager.Hardware()->IsAmtelcoAvailable());
    manager.StartAllThreads();
    ASSERT_TRUE(AllRunning({Worker::kISDN, Worker::kFileHandling}));
    EXPECT_FALSE(manager.IsWorkerRunning(Worker::kAmtelco));
    EXPECT_EQ(manager.WorkerThreadId(Worker::kAmtelco), 0u);
}

TEST_F(WorkerThreadsTest, StoppingEndsEveryWorkerAndTheConnection) {
    CVesmarinManager& manager = Start();
    manager.StartAllThreads();
    ASSERT_TRUE(AllRunning({Worker::kISDN, Worker::kAmtelco, Worker::kFileHandling}));
    // The delay has passed: the next command is accepted and puts it to 0.
    auto peer = Connect();
    ASSERT_EQ(manager.StartupDelaySeconds(), 0u);

    manager.StopAllThreads();
    EXPECT_FALSE(manager.IsWorkerRunning(Worker::kISDN));
    EXPECT_FALSE(manager.IsWorkerRunning(Worker::kAmtelco));
    EXPECT_FALSE(manager.IsFileHandlingThreadRunning());
    EXPECT_EQ(CountLogLines("ISDN Thread ended", 1), 1u);
    EXPECT_EQ(CountLogLines("Amtelco Thread ended", 1), 1u);
    EXPECT_EQ(CountLogLines("FileHandlingThread ended", 1), 1u);
    // The ISDN and Amtelco stops forget their threads; the others keep theirs, ended.
    EXPECT_EQ(manager.WorkerThreadId(Worker::kISDN), 0u);
    EXPECT_EQ(manager.WorkerThreadId(Worker::kAmtelco), 0u);
    EXPECT_THAT(callback_.states(), ElementsAre(std::pair{0, 1}, std::pair{0, 0}));
    EXPECT_FALSE(manager.IsConnectedSocket(nullptr));
    EXPECT_EQ(manager.StartupDelaySeconds(), kDefaultStartupDelaySeconds);
    EXPECT_EQ(CountLogLines("ERROR: ISDN thread didn't terminated"), 0u);
}

TEST_F(WorkerThreadsTest, StoppingAndStartingAgainGivesFreshWorkers) {
    CVesmarinManager& manager = Start();
    manager.StartAllThreads();
    ASSERT_TRUE(AllRunning({Worker::kISDN, Worker::kAmtelco, Worker::kFileHandling}));
    manager.StopAllThreads();
    manager.StartAllThreads();
    ASSERT_TRUE(AllRunning({Worker::kISDN, Worker::kAmtelco, Worker::kFileHandling}));
    EXPECT_EQ(CountLogLines("ISDN Thread started", 2), 2u);
    EXPECT_EQ(CountLogLines("Amtelco Thread started", 2), 2u);
    EXPECT_EQ(CountLogLines("FileHandlingThread started", 2), 2u);
    EXPECT_EQ(CountLogLines("ISDN Thread ended", 1), 1u);
}

// The ISDN worker runs at the highest priority where the process may raise one; where it may
// not, the worker runs at normal priority and the refusal is logged once, however often it starts.
TEST_F(WorkerThreadsTest, TheISDNWorkerRunsAtTheHighestPriorityTheProcessMayGive) {
    CVesmarinManager& manager = Start();
    const std::string refused =
        "WARNING: ISDNThread runs at normal priority: the highest "
        "priority was refused (Permission denied)";
    manager.StartAllThreads();
    ASSERT_TRUE(AllRunning({Worker::kISDN, Worker::kFileHandling}));
    const int normal = platform::ProcessNice();
    EXPECT_EQ(platform::ThreadNice(manager.WorkerThreadId(Worker::kISDN)),
              normal - platform::kHighestPriorityNiceSteps);
    EXPECT_EQ(platform::ThreadNice(manager.WorkerThreadId(Worker::kFileHandling)), normal);
    manager.StopAllThreads();

    // Threads inherit the rights of the thread that starts them.
    std::thread([&] {
        ASSERT_TRUE(testing::DropPriorityRightOfThisThread());
        for (int start = 0; start < 2; ++start) {
            manager.StartAllThreads();
            ASSERT_TRUE(AllRunning({Worker::kISDN}));
            EXPECT_EQ(platform::ThreadNice(manager.WorkerThreadId(Worker::kISDN)), normal);
            manager.StopAllThreads();
        }
    }).join();
    EXPECT_EQ(CountLogLines("ISDN Thread started", 3), 3u);
    EXPECT_EQ(CountLogLines(refused), 1u);
}

TEST_F(WorkerThreadsTest, SessionCommandsAreRegisteredAndNeedAnActiveConnection) {
    CVesmarinManager& manager = Start();
    EXPECT_TRUE(manager.HasCommandHandler(14));
    EXPECT_TRUE(manager.HasCommandHandler(15));
    auto peer = Connect();
    peer->Send(15, 2);
    peer->SendInts(12, 3, {3});
    ASSERT_EQ(peer->ReceiveInts(), (std::vector<int32_t>{1, 3}));
    EXPECT_EQ(CountLogLines("command: 15 ignored.", 1), 1u);
    EXPECT_FALSE(manager.IsWorkerRunning(Worker::kISDN));
}

TEST_F(WorkerThreadsTest, AConnectionClosedWhileNothingIsOpenShutsNothingDown) {
    CVesmarinManager& manager = Start();
    const std::string closed = "Currently no connected socket: closing all channels";
    Connect().reset();
    Connect().reset();
    // The lines of one thread are logged in order: the shut-down of the first close would
    // come before the second close's line.
    ASSERT_EQ(CountLogLines(closed, 2), 2u);
    EXPECT_EQ(CountLogLines("SafeCloseAllChannels"), 0u);

    // With workers running there is something to end.
    manager.StartAllThreads();
    ASSERT_TRUE(AllRunning({Worker::kISDN, Worker::kFileHandling}));
    Connect().reset();
    ASSERT_EQ(CountLogLines(closed, 3), 3u);
    EXPECT_EQ(CountLogLines("SafeCloseAllChannels", 1), 1u);
    EXPECT_TRUE(testing::Eventually([&] { return !manager.IsWorkerRunning(Worker::kISDN); }));
}

TEST_F(WorkerThreadsTest, AFailingFileHandlingWorkerIsReplacedOnTheSameQueue) {
    CVesmarinManager& manager = Start();
    std::mutex mutex;
    std::vector<std::pair<int32_t, uint32_t>> worked;  // kind, thread
    manager.SetFileHandlingWork([&](const CFileHandlingParam& record) {
        {
            std::lock_guard lock(mutex);
            worked.emplace_back(record.kind, platform::CurrentThreadId());
        }
        if (record.kind == 99) {
            throw std::runtime_error("disk gone");
        }
    });
    CFileHandlingParam failing;
    failing.kind = 99;
    CFileHandlingParam next;
    next.kind = 1;
    manager.QueueFileHandlingParam(failing);
    manager.QueueFileHandlingParam(next);
    manager.StartAllThreads();

    ASSERT_TRUE(testing::Eventually([&] {
        std::lock_guard lock(mutex);
        return worked.size() == 2;
    }));
    {
        std::lock_guard lock(mutex);
        EXPECT_EQ(worked[0].first, 99);
        EXPECT_EQ(worked[1].first, 1);
        EXPECT_NE(worked[0].second, worked[1].second);
    }
    EXPECT_TRUE(manager.IsFileHandlingThreadRunning());
    EXPECT_EQ(CountLogLines("FileHandlingThread started", 2), 2u);
    EXPECT_TRUE(Logged("RestartFileHandlingThread (ERROR"));
}

TEST_F(WorkerThreadsTest, ARecordOfNoKnownKindIsLoggedAndDropped) {
    CVesmarinManager& manager = Start();
    manager.StartAllThreads();
    CFileHandlingParam record;
    record.kind = 7;
    manager.QueueFileHandlingParam(record);
    EXPECT_EQ(CountLogLines("FileHandlingThread Unknown Command 7", 1), 1u);
    EXPECT_TRUE(manager.IsFileHandlingThreadRunning());
}

TEST_F(WorkerThreadsTest, TheISDNWorkerSleepsOutItsSliceWhenItsWaitFailsAtOnce) {
    CVesmarinManager& manager = Start();
    ASSERT_EQ(Control("fail sr_waitevt -1"), "OK");
    manager.StartAllThreads();
    ASSERT_TRUE(AllRunning({Worker::kISDN}));
    ASSERT_TRUE(testing::Eventually([&] { return CountCalls("sr_waitevt") >= 1; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));
    // About three 500 ms slices; a worker that spun would have called thousands of times.
    EXPECT_LE(CountCalls("sr_waitevt"), 10u);
}

TEST_F(WorkerThreadsTest, AStopEndsTheISDNWorkersEventWaitAtOnce) {
    CVesmarinManager& manager = Start();
    // An event library whose wait returns on its own only after a minute: longer than the stop
    // waits for the worker.
    ASSERT_EQ(Control("waitevt 60000"), "OK");
    manager.StartAllThreads();
    ASSERT_TRUE(AllRunning({Worker::kISDN}));
    ASSERT_TRUE(testing::Eventually([&] { return Control("query calls sr_waitevt") == "OK 1"; }));

    manager.StopAllThreads();
    EXPECT_FALSE(manager.IsWorkerRunning(Worker::kISDN));
    EXPECT_EQ(CountLogLines("ISDN Thread ended", 1), 1u);
    EXPECT_EQ(CountLogLines("ERROR: ISDN thread didn't terminated"), 0u);
    // The wake is the node's own event: the worker drops it instead of forwarding it.
    const std::vector<std::string> lines = LogLines();
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& line) {
                                return line.find("DialogicHandler") != std::string::npos;
                            }),
              0);
}

TEST_F(WorkerThreadsTest, TheManagerMayGoOnAWorkersThread) {
    // The owner goes with its callback once it has let go of the manager: the manager must not
    // report to it on the way out.
    auto owner = std::make_unique<testing::ManagerReports>();
    CVesmarinManager& manager = Start({}, owner.get());
    manager.StartAllThreads();
    ASSERT_TRUE(AllRunning({Worker::kISDN, Worker::kAmtelco, Worker::kFileHandling}));
    manager.EndISDNThread();
    manager.EndAmtelcoThread();
    // The file-handling worker ends itself once the test has let its share go, so that the
    // worker's share is the last one.
    platform::Event released(true);
    manager.SetFileHandlingWork([&manager, &released](const CFileHandlingParam&) {
        released.Wait(60000);
        manager.EndFileHandlingThread();
    });
    manager.QueueFileHandlingParam(CFileHandlingParam{});
    manager_.reset();
    owner.reset();
    released.Set();

    ASSERT_EQ(destroyed_.Wait(60000), platform::kWaitObject0);
    EXPECT_NE(destroyed_on_.load(), platform::CurrentThreadId());
    EXPECT_EQ(CountLogLines("FileHandlingThread ended", 1), 1u);
    EXPECT_EQ(CountLogLines("ERROR: File Handling thread didn't terminated"), 0u);
}

}  // namespace
}  // namespace ruzd::node
