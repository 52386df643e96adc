// The queue of moves to the central server on its own: the retries, the pass's budget, the
// nested timer, the queue kept across a restart, a kept queue that cannot be read or written,
// and moves given up or that could not read their recording.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "node/move_file_queue.h"
#include "platform/clock.h"
#include "platform/syslog_sender.h"
#include "testing/event_store.h"
#include "testing/os_for_tests.h"
#include "testing/small_tmpfs.h"
#include "testing/temp_root.h"

namespace ruzd::node {
namespace {

constexpr int64_t kStart = 1000000;

namespace fs = std::filesystem;
using MoveResult = MoveFileQueue::MoveResult;

std::string ReadAll(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

MoveResult Failing(const CMoveFileToCentral&, std::string&) {
    return MoveResult::kFailed;
}

class MoveFileQueueTest : public ::testing::Test {
protected:
    fs::path Queue() const { return work_.path() / "MoveFileQueue.txt"; }
    fs::path SetAside(int number) const {
        return work_.path() / ("MoveFileQueue.unread-" + std::to_string(number) + ".txt");
    }

    ruzd::testing::TempWorkFolder work_;
    platform::ManualClock clock_;
    platform::ScopedClockOverride clock_override_{clock_};
    MoveFileQueue queue_{".\\MoveFileQueue.txt"};
};

TEST_F(MoveFileQueueTest, ASourceIsQueuedOnce) {
    queue_.QueueMoveFile(1, ".\\FileCache\\A.VOX", "C:\\A.VOX", 3, kStart);
    queue_.QueueMoveFile(2, ".\\FileCache\\A.VOX", "C:\\B.VOX", 3, kStart);
    queue_.QueueMoveFile(3, ".\\FileCache\\a.vox", "C:\\A.VOX", 3, kStart);
    ASSERT_EQ(queue_.Size(), 2u) << "compared exactly";
    EXPECT_EQ(queue_.Snapshot()[0].target, "C:\\A.VOX");
    EXPECT_EQ(queue_.Snapshot()[0].nextTry, kStart + 3);
}

TEST_F(MoveFileQueueTest, LineTextEscapesTabsSemicolonsAndEmptyPaths) {
    const CMoveFileToCentral move{-5, "a\tb;c", "", 2, 0};
    EXPECT_EQ(move.LineText(),
              "a\x0C"
              "b\x07"
              "c\t\x08\t2\t-5");
    EXPECT_EQ(move.DisplayText(), "'a\tb;c' to '', Retries = 2");
    const auto back = CMoveFileToCentral::FromLineText(move.LineText(), 77);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->source, move.source);
    EXPECT_EQ(back->target, "");
    EXPECT_EQ(back->retriesLeft, 2);
    EXPECT_EQ(back->channelId, -5);
    EXPECT_EQ(back->nextTry, 77);
}

TEST_F(MoveFileQueueTest, AFailingMoveIsTriedFourTimesThenDropped) {
    queue_.QueueMoveFile(0, ".\\FileCache\\GONE.VOX", "C:\\GONE.VOX", 3, kStart);
    int tries = 0;
    const MoveFileQueue::Mover missing = [&](const CMoveFileToCentral&, std::string& error) {
        EXPECT_EQ(error, "File not found");
        ++tries;
        return MoveResult::kSourceMissing;
    };
    queue_.ProcessPass(kStart + 3, missing);
    EXPECT_EQ(tries, 0) << "due only after its next try";
    for (int64_t now = kStart + 5; now <= kStart + 40; now += 5) {
        queue_.ProcessPass(now, missing);
    }
    EXPECT_EQ(tries, 4);
    EXPECT_EQ(queue_.Size(), 0u);
}

TEST_F(MoveFileQueueTest, APassStopsAfterItsBudgetAndANestedPassReturnsAtOnce) {
    for (int i = 0; i < 100; ++i) {
        queue_.QueueMoveFile(i, ".\\FileCache\\" + std::to_string(i), "C:\\X", 3, kStart);
    }
    int moved = 0;
    queue_.ProcessPass(kStart + 10, [&](const CMoveFileToCentral&, std::string&) {
        // The upload's wait dispatches the five-second timer again.
        queue_.ProcessPass(kStart + 10, [&](const CMoveFileToCentral&, std::string&) {
            ADD_FAILURE() << "nested pass tried a move";
            return MoveResult::kMoved;
        });
        clock_.Advance(std::chrono::milliseconds(100));
        ++moved;
        return MoveResult::kMoved;
    });
    EXPECT_EQ(moved, 30);
    EXPECT_EQ(queue_.Size(), 70u);
    EXPECT_EQ(queue_.Snapshot().front().channelId, 30);
}

TEST_F(MoveFileQueueTest, TheQueueIsReadBackDueAtOnce) {
    queue_.QueueMoveFile(4, ".\\FileCache\\C\\REC\\\xC3\xA9T\xC3\xA9.VOX", "C:\\REC\\a;b.VOX", 3,
                         kStart);
    queue_.QueueMoveFile(9, ".\\FileCache\\B.VOX", "C:\\B.VOX", 3, kStart);
    queue_.ProcessPass(kStart + 4, Failing);

    MoveFileQueue restarted(".\\MoveFileQueue.txt");
    restarted.Load(kStart + 100);
    const std::vector<CMoveFileToCentral> moves = restarted.Snapshot();
    ASSERT_EQ(moves.size(), 2u);
    EXPECT_EQ(moves[0].source, ".\\FileCache\\C\\REC\\\xC3\xA9T\xC3\xA9.VOX");
    EXPECT_EQ(moves[0].target, "C:\\REC\\a;b.VOX");
    EXPECT_EQ(moves[0].retriesLeft, 2);
    EXPECT_EQ(moves[0].channelId, 4);
    EXPECT_EQ(moves[0].nextTry, kStart + 100);
    EXPECT_EQ(moves[1].channelId, 9);
}

// A kept queue that cannot be read (a FIFO or a folder in its place) is never written over:
// it is set aside under a name of its own, the queue is kept anew without it, and nothing may be
// cleaned up until the set-aside queue reads; then its moves are taken in, after those queued
// meanwhile, and it goes.
TEST_F(MoveFileQueueTest, AQueueThatCannotBeReadIsSetAsideAndTakenInOnceItReads) {
    for (const bool fifo : {true, false}) {
        fs::remove_all(Queue());
        fs::remove_all(SetAside(1));
        if (fifo) {
            ASSERT_TRUE(ruzd::testing::MakeFifo(Queue()));
        } else {
            fs::create_directory(Queue());
        }
        MoveFileQueue queue(".\\MoveFileQueue.txt");
        queue.Load(kStart);
        EXPECT_EQ(fifo ? fs::is_fifo(SetAside(1)) : fs::is_directory(SetAside(1)), true);
        EXPECT_EQ(queue.IncompleteReason(),
                  "the queue set aside as .\\MoveFileQueue.unread-1.txt could not be read yet");
        queue.QueueMoveFile(1, ".\\FileCache\\NEW.VOX", "C:\\NEW.VOX", 3, kStart);
        EXPECT_EQ(ReadAll(Queue()), ".\\FileCache\\NEW.VOX\tC:\\NEW.VOX\t3\t1\r\n");
        queue.ProcessPass(kStart + 4, Failing);
        queue.KeepOnDisk(kStart + 4);
        EXPECT_FALSE(queue.IncompleteReason().empty());

        // It reads now: its moves join the queue, which is written, and it goes.
        fs::remove_all(SetAside(1));
        std::ofstream(SetAside(1), std::ios::binary)
            << ".\\FileCache\\OLD.VOX\tC:\\OLD.VOX\t3\t7\r\n.\\FileCache\\NEW.VOX\tC:\\NEW."
               "VOX\t3\t1\r\n";
        queue.KeepOnDisk(kStart + 5);
        EXPECT_EQ(queue.IncompleteReason(), "");
        EXPECT_FALSE(fs::exists(SetAside(1)));
        EXPECT_EQ(ReadAll(Queue()),
                  ".\\FileCache\\NEW.VOX\tC:\\NEW.VOX\t2\t1\r\n"
                  ".\\FileCache\\OLD.VOX\tC:\\OLD.VOX\t3\t7\r\n");
    }
    MoveFileQueue missing(".\\Missing.txt");
    missing.Load(kStart);
    EXPECT_EQ(missing.IncompleteReason(), "") << "a missing queue is an empty one";
}

// Set-aside queues that outlived a run are found at the next start, each under the next free
// number, and taken in by the queue that reads.
TEST_F(MoveFileQueueTest, SetAsideQueuesOfEarlierRunsAreTakenInAtTheStart) {
    ASSERT_TRUE(ruzd::testing::MakeFifo(Queue()));
    std::ofstream(SetAside(1), std::ios::binary) << ".\\FileCache\\ONE.VOX\tC:\\ONE.VOX\t3\t1\r\n";
    {
        MoveFileQueue queue(".\\MoveFileQueue.txt");
        queue.Load(kStart);
        EXPECT_TRUE(fs::is_fifo(SetAside(2))) << "the first free number";
        EXPECT_FALSE(fs::exists(SetAside(1)));
        EXPECT_EQ(queue.Size(), 1u);
    }
    fs::remove(SetAside(2));
    std::ofstream(SetAside(2), std::ios::binary) << ".\\FileCache\\TWO.VOX\tC:\\TWO.VOX\t3\t2\r\n";
    MoveFileQueue restarted(".\\MoveFileQueue.txt");
    restarted.Load(kStart);
    ASSERT_EQ(restarted.Size(), 2u);
    EXPECT_EQ(restarted.IncompleteReason(), "");
    EXPECT_EQ(ReadAll(Queue()),
              ".\\FileCache\\ONE.VOX\tC:\\ONE.VOX\t3\t1\r\n"
              ".\\FileCache\\TWO.VOX\tC:\\TWO.VOX\t3\t2\r\n");
    EXPECT_FALSE(fs::exists(SetAside(2)));
}

// A kept queue on a full disk (a small tmpfs, filled up): the write that fails is remembered,
// said once where an operator looks however many passes meet the full disk, and the queue is
// written at the first pass, or the stop, that finds room.
TEST_F(MoveFileQueueTest, AWriteThatFailsIsTriedAgainAtEveryPassUntilTheQueueIsKept) {
    ASSERT_TRUE(ruzd::testing::RunningAsRoot()) << "only root may mount a tmpfs";
    ruzd::testing::TempRoot root;
    ruzd::testing::SmallTmpfs disk(work_.path() / "full", 1024 * 1024);
    ASSERT_TRUE(disk.mounted());
    MoveFileQueue queue(".\\full\\MoveFileQueue.txt");
    queue.Load(kStart);
    disk.FillUp();
    for (int i = 0; i < 5; ++i) {
        queue.QueueMoveFile(i, ".\\FileCache\\" + std::to_string(i) + ".VOX", "C:\\X", 3, kStart);
    }
    EXPECT_FALSE(fs::exists(work_.path() / "full" / "MoveFileQueue.txt"));
    EXPECT_EQ(queue.IncompleteReason(),
              "the queue in .\\full\\MoveFileQueue.txt could not be written since it changed");
    // The passes find the recordings unreadable too, which spends no retry.
    for (int64_t now = kStart + 5; now < kStart + 60; now += 5) {
        queue.KeepOnDisk(now);
        queue.ProcessPass(
            now, [](const CMoveFileToCentral&, std::string&) { return MoveResult::kNotRead; });
    }
    size_t alerts = 0;
    for (const auto& [id, text] : ruzd::testing::StoredEventsOf(platform::ProgramSyslogIdent())) {
        alerts += text.find("MoveFileQueue.txt cannot be written (") != std::string::npos ? 1 : 0;
    }
    EXPECT_EQ(alerts, 1u) << "said once while it lasts";

    disk.MakeRoom();
    queue.KeepOnDisk(kStart + 61);
    EXPECT_EQ(queue.IncompleteReason(), "");
    const std::string kept = ReadAll(work_.path() / "full" / "MoveFileQueue.txt");
    for (int i = 0; i < 5; ++i) {
        EXPECT_NE(kept.find(".\\FileCache\\" + std::to_string(i) + ".VOX\tC:\\X\t3\t"),
                  std::string::npos)
            << kept;
    }
}

// A move whose recording cannot be read (the node's own trouble) spends no retry however often
// it is tried; one the central server refuses until its retries are spent is given up but
// kept, for its recording, until the recording is gone or a new one of its name is queued.
TEST_F(MoveFileQueueTest, AnUnreadRecordingCostsNoTryAndARefusedOneIsGivenUpButKept) {
    fs::create_directories(work_.path() / "FileCache");
    std::ofstream(work_.path() / "FileCache" / "REFUSED.VOX") << "r";
    queue_.QueueMoveFile(1, ".\\FileCache\\UNREAD.VOX", "C:\\UNREAD.VOX", 3, kStart);
    queue_.QueueMoveFile(2, ".\\FileCache\\REFUSED.VOX", "C:\\REFUSED.VOX", 3, kStart);
    int unreadTries = 0;
    const MoveFileQueue::Mover mover = [&](const CMoveFileToCentral& move, std::string& error) {
        if (move.source == ".\\FileCache\\UNREAD.VOX") {
            ++unreadTries;
            error = "An input/output error occurred on the device";
            return MoveResult::kNotRead;
        }
        error = "refused";
        return MoveResult::kFailed;
    };
    for (int64_t now = kStart + 5; now <= kStart + 100; now += 5) {
        queue_.ProcessPass(now, mover);
    }
    EXPECT_EQ(unreadTries, 20);
    ASSERT_EQ(queue_.Size(), 2u);
    EXPECT_EQ(queue_.Snapshot()[0].retriesLeft, 3);
    EXPECT_TRUE(queue_.Snapshot()[1].GivenUp());
    EXPECT_EQ(queue_.Sources().count(".\\FileCache\\REFUSED.VOX"), 1u);
    EXPECT_EQ(ReadAll(Queue()),
              ".\\FileCache\\UNREAD.VOX\tC:\\UNREAD.VOX\t3\t1\r\n"
              ".\\FileCache\\REFUSED.VOX\tC:\\REFUSED.VOX\t-1\t2\r\n");

    // Read back, it stays given up; a new recording of its name is moved afresh.
    MoveFileQueue restarted(".\\MoveFileQueue.txt");
    restarted.Load(kStart + 200);
    EXPECT_TRUE(restarted.Snapshot()[1].GivenUp());
    restarted.QueueMoveFile(5, ".\\FileCache\\REFUSED.VOX", "C:\\REFUSED.VOX", 3, kStart + 200);
    ASSERT_EQ(restarted.Size(), 2u);
    EXPECT_EQ(restarted.Snapshot()[1].retriesLeft, 3);
    EXPECT_EQ(restarted.Snapshot()[1].channelId, 5);

    // Given up again, it leaves the queue once its recording is gone.
    for (int64_t now = kStart + 205; now <= kStart + 240; now += 5) {
        restarted.ProcessPass(now, mover);
    }
    EXPECT_TRUE(restarted.Snapshot()[1].GivenUp());
    fs::remove(work_.path() / "FileCache" / "REFUSED.VOX");
    restarted.ProcessPass(kStart + 245, mover);
    EXPECT_EQ(restarted.Size(), 1u);
    EXPECT_EQ(restarted.Sources().count(".\\FileCache\\REFUSED.VOX"), 0u);
}

// Lines that are no moves are written back after the moves, as they were.
TEST_F(MoveFileQueueTest, LinesThatAreNoMovesAreKept) {
    std::ofstream(work_.path() / "MoveFileQueue.txt", std::ios::binary)
        << "broken\tline\r\n.\\FileCache\\A.VOX\tC:\\A.VOX\t3\t7\r\n\xE9t\xE9\r\n";
    queue_.Load(kStart);
    ASSERT_EQ(queue_.Size(), 1u);
    queue_.QueueMoveFile(2, ".\\FileCache\\B.VOX", "C:\\B.VOX", 3, kStart);
    EXPECT_EQ(ReadAll(Queue()),
              ".\\FileCache\\A.VOX\tC:\\A.VOX\t3\t7\r\n.\\FileCache\\B.VOX\tC:\\B.VOX\t3\t2\r\n"
              "broken\tline\r\n\xE9t\xE9\r\n");
}

}  // namespace
}  // namespace ruzd::node
