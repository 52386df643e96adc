// A jump of the wall clock moves the manager's stored moments with it, so that the tick's
// measurements from them do not jump as well.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>

#include "foundation/registry.h"
#include "node/tests/central_peer.h"
#include "node/vesmarin_manager.h"
#include "platform/clock.h"
#include "testing/temp_root.h"

namespace ruzd::node {
namespace {

class TimeShiftTest : public ::testing::Test {
protected:
    int64_t NowSeconds() const {
        return std::chrono::duration_cast<std::chrono::seconds>(clock_.Now().time_since_epoch())
            .count();
    }

    ruzd::testing::TempRoot root_;
    platform::ManualClock clock_{platform::WallTime{} + std::chrono::hours(24 * 365 * 50)};
    platform::ScopedClockOverride clockOverride_{clock_};
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
    ::setenv("RUZD_VENDOR_DIR", RUZD_TEST_BIN_DIR "/../vendor", 1);
    const uint32_t port = testing::FreePort();
    foundation::CRegistry registry(kNodeRegistrySection);
    registry.WriteDword(kLocalTcpPortValue, port);
    registry.WriteDword(kLocalFileSocketTcpPortValue, testing::FreePort());

    auto manager = std::make_shared<CVesmarinManager>(ManagerSettings{});
    manager->Initialise(nullptr);
    const int64_t started = NowSeconds();
    clock_.Advance(std::chrono::seconds(kDefaultStartupDelaySeconds + 6));
    const int64_t pinged = NowSeconds();
    {
        testing::CentralPeer peer(static_cast<int>(port));
        ASSERT_TRUE(peer.IsConnected());
        peer.Send(12, 1, {1});
        ASSERT_TRUE(peer.Receive().has_value());
    }
    ASSERT_EQ(manager->GetStoredMoments().lastCommand, pinged);

    manager->OnTimeShiftDetected(-3600);
    manager->OnTimeShiftDetected(25);

    const CVesmarinManager::StoredMoments moments = manager->GetStoredMoments();
    EXPECT_EQ(moments.lastCommand, pinged - 3575);
    EXPECT_EQ(moments.start, started - 3575);
    EXPECT_EQ(moments.listenerEpoch, started - 3575);
}

}  // namespace
}  // namespace ruzd::node
