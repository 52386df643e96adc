// The queue of moves to the central server on its own: the retries, the pass's budget, the
// nested timer and the queue kept across a restart.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "node/move_file_queue.h"
#include "platform/clock.h"
#include "testing/os_for_tests.h"
#include "testing/temp_root.h"

namespace ruzd::node {
namespace {

constexpr int64_t kStart = 1000000;

class MoveFileQueueTest : public ::testing::Test {
protected:
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
    const MoveFileQueue::Mover missing = [&](const CMoveFileToCentral&, std::string& error,
                                             bool& sourceMissing) {
        EXPECT_EQ(error, "File not found");
        sourceMissing = true;
        ++tries;
        return false;
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
    queue_.ProcessPass(kStart + 10, [&](const CMoveFileToCentral&, std::string&, bool&) {
        // The upload's wait dispatches the five-second timer again.
        queue_.ProcessPass(kStart + 10, [&](const CMoveFileToCentral&, std::string&, bool&) {
            ADD_FAILURE() << "nested pass tried a move";
            return true;
        });
        clock_.Advance(std::chrono::milliseconds(100));
        ++moved;
        return true;
    });
    EXPECT_EQ(moved, 30);
    EXPECT_EQ(queue_.Size(), 70u);
    EXPECT_EQ(queue_.Snapshot().front().channelId, 30);
}

TEST_F(MoveFileQueueTest, TheQueueIsReadBackDueAtOnce) {
    queue_.QueueMoveFile(4, ".\\FileCache\\C\\REC\\\xC3\xA9T\xC3\xA9.VOX", "C:\\REC\\a;b.VOX", 3,
                         kStart);
    queue_.QueueMoveFile(9, ".\\FileCache\\B.VOX", "C:\\B.VOX", 3, kStart);
    queue_.ProcessPass(kStart + 4,
                       [](const CMoveFileToCentral&, std::string&, bool&) { return false; });

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
// the moves queued since are kept in memory, and the queue says it was not read.
TEST_F(MoveFileQueueTest, AQueueThatCannotBeReadIsLeftAsItIs) {
    for (const bool fifo : {true, false}) {
        const std::filesystem::path path = work_.path() / "MoveFileQueue.txt";
        std::filesystem::remove_all(path);
        if (fifo) {
            ASSERT_TRUE(ruzd::testing::MakeFifo(path));
        } else {
            std::filesystem::create_directory(path);
        }
        MoveFileQueue queue(".\\MoveFileQueue.txt");
        queue.Load(kStart);
        EXPECT_TRUE(queue.Unread());
        queue.QueueMoveFile(1, ".\\FileCache\\NEW.VOX", "C:\\NEW.VOX", 3, kStart);
        queue.ProcessPass(kStart + 4,
                          [](const CMoveFileToCentral&, std::string&, bool&) { return false; });
        EXPECT_EQ(queue.Size(), 1u);
        EXPECT_EQ(fifo ? std::filesystem::is_fifo(path) : std::filesystem::is_directory(path),
                  true);
    }
    MoveFileQueue missing(".\\Missing.txt");
    missing.Load(kStart);
    EXPECT_FALSE(missing.Unread()) << "a missing queue is an empty one";
}

// Lines that are no moves are written back after the moves, as they were.
TEST_F(MoveFileQueueTest, LinesThatAreNoMovesAreKept) {
    std::ofstream(work_.path() / "MoveFileQueue.txt", std::ios::binary)
        << "broken\tline\r\n.\\FileCache\\A.VOX\tC:\\A.VOX\t3\t7\r\n\xE9t\xE9\r\n";
    queue_.Load(kStart);
    ASSERT_EQ(queue_.Size(), 1u);
    queue_.QueueMoveFile(2, ".\\FileCache\\B.VOX", "C:\\B.VOX", 3, kStart);
    std::ifstream file(work_.path() / "MoveFileQueue.txt", std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    EXPECT_EQ(text,
              ".\\FileCache\\A.VOX\tC:\\A.VOX\t3\t7\r\n.\\FileCache\\B.VOX\tC:\\B.VOX\t3\t2\r\n"
              "broken\tline\r\n\xE9t\xE9\r\n");
}

}  // namespace
}  // namespace ruzd::node
