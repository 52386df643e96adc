// Pairing of requests with their answers across threads.

#include "net/file_request_table.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace ruzd::net {
namespace {

constexpr uint64_t kConnection = 3;

TEST(FileRequestTable, AnswerWakesItsWaiter) {
    FileRequestTable table;
    const int32_t id = table.NewRequestId(kConnection);
    std::thread answerer([&] { EXPECT_TRUE(table.SetResult(id, kConnection, {7, "done", true})); });
    CSocketResult result;
    EXPECT_TRUE(table.WaitForResult(id, result, 10));
    answerer.join();
    EXPECT_EQ(result.code, 7);
    EXPECT_EQ(result.text, "done");
    EXPECT_TRUE(result.success);
    EXPECT_EQ(table.PendingCount(), 0u);
}

TEST(FileRequestTable, AnswerBeforeTheWaitIsKept) {
    FileRequestTable table;
    const int32_t id = table.NewRequestId(kConnection);
    EXPECT_TRUE(table.SetResult(id, kConnection, {1, "early", false}));
    CSocketResult result;
    EXPECT_TRUE(table.WaitForResult(id, result, 10));
    EXPECT_EQ(result.text, "early");
}

TEST(FileRequestTable, LateAndUnknownAnswersAreDropped) {
    FileRequestTable table;
    EXPECT_FALSE(table.SetResult(42, kConnection, {1, "nobody", true}));
    const int32_t id = table.NewRequestId(kConnection);
    table.Forget(id);
    EXPECT_FALSE(table.SetResult(id, kConnection, {1, "late", true}));
    CSocketResult result;
    EXPECT_FALSE(table.WaitForResult(id, result, 0));
    EXPECT_EQ(table.PendingCount(), 0u);
}

TEST(FileRequestTable, TimedOutWaitForgetsTheId) {
    FileRequestTable table;
    const int32_t id = table.NewRequestId(kConnection);
    CSocketResult result;
    EXPECT_FALSE(table.WaitForResult(id, result, 0));
    EXPECT_EQ(table.PendingCount(), 0u);
    EXPECT_FALSE(table.SetResult(id, kConnection, {1, "late", true}));
}

TEST(FileRequestTable, AnAnswerOnItsWayIsWaitedForPastTheTimeOut) {
    using namespace std::chrono_literals;
    FileRequestTable table;
    const int32_t id = table.NewRequestId(kConnection);
    const auto start = std::chrono::steady_clock::now();
    // A large file's bytes keep coming for more than twice the time-out, then its answer.
    std::thread answerer([&] {
        while (std::chrono::steady_clock::now() - start < 2500ms) {
            table.NoteProgress(id, kConnection);
            std::this_thread::sleep_for(50ms);
        }
        table.SetResult(id, kConnection, {1, "arrived", true});
    });
    CSocketResult result;
    EXPECT_TRUE(table.WaitForResult(id, result, 1));
    answerer.join();
    EXPECT_GE(std::chrono::steady_clock::now() - start, 2500ms);
    EXPECT_EQ(result.text, "arrived");
}

TEST(FileRequestTable, IdsAreNewWhileOthersAreStillWaitedFor) {
    FileRequestTable table;
    const int32_t first = table.NewRequestId(kConnection);
    const int32_t second = table.NewRequestId(kConnection);
    EXPECT_NE(first, second);
    EXPECT_GT(first, 0);
    EXPECT_EQ(table.PendingCount(), 2u);
}

}  // namespace
}  // namespace ruzd::net
