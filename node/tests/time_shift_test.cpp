// A jump of the wall clock moves the manager's stored moments with it, so that the tick's
// measurements from them do not jump as well.

#include <gtest/gtest.h>

#include <chrono>

#include "node/vesmarin_manager.h"
#include "testing/manager_on_boards.h"

namespace ruzd::node {
namespace {

class TimeShiftTest : public testing::ManagerOnBoardsTest {
protected:
    int64_t NowSeconds() const {
        return std::chrono::duration_cast<std::chrono::seconds>(clock_.Now().time_since_epoch())
            .count();
    }
};

TEST_F(TimeShiftTest, UnsetMomentsStayUnset) {
    CVesmarinManager manager{ManagerSettings{}};
    const int64_t epoch = NowSeconds();
    ASSERT_EQ(manager.GetStoredMoments().listenerEpoch, epoch);

    manager.OnTimeShiftDetected(-3600);

    const CVesmarinManager::StoredMoments moments = manager.GetStoredMoments();
    EXPECT_EQ(moments.listenerEpoch, epoch - 3600);
    EXPECT_EQ(moments.lastCommand, 0);
    EXPECT_EQ(moments.start, 0);
}

TEST_F(TimeShiftTest, EverySetMomentMovesByTheShift) {
    const int64_t started = NowSeconds();
    CVesmarinManager& manager = Start();
    clock_.Advance(std::chrono::seconds(6));
    const int64_t pinged = NowSeconds();
    ConnectCentral();
    ASSERT_EQ(manager.GetStoredMoments().lastCommand, pinged);

    manager.OnTimeShiftDetected(-3600);
    manager.OnTimeShiftDetected(25);

    const CVesmarinManager::StoredMoments moments = manager.GetStoredMoments();
    EXPECT_EQ(moments.lastCommand, pinged - 3575);
    EXPECT_EQ(moments.start, started - 3575);
    // The central server's CNINIT began the listener's epoch anew.
    EXPECT_EQ(moments.listenerEpoch, pinged - 3575);
}

}  // namespace
}  // namespace ruzd::node
