// The manager's device tables as the command handlers and the channel shut-down use them:
// per-family ldev -> handle tables, the reverse tables by handle, the digit buffers, the last
// voice functions, and what CNINIT forgets.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <mutex>
#include <utility>
#include <vector>

#include "foundation/debug_channel.h"
#include "node/vesmarin_manager.h"
#include "testing/temp_root.h"

namespace ruzd::node {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::Pair;
using Family = DeviceHandleTables::Family;

class DeviceTablesTest : public ::testing::Test {
protected:
    ruzd::testing::TempRoot root_;
    CVesmarinManager manager_{ManagerSettings{}};
};

TEST_F(DeviceTablesTest, EachFamilyKeepsItsOwnDevicesAndAddingAgainReplaces) {
    manager_.Devices().Voice().Set(1, 101);
    manager_.Devices().Network().Set(1, 301);
    manager_.Devices().Station().Set(1, 501);
    manager_.Devices().Ip().Set(1, 701);
    manager_.Devices().Voice().Set(1, 102);

    int32_t handle = 0;
    EXPECT_TRUE(manager_.Devices().Voice().Get(1, &handle));
    EXPECT_EQ(handle, 102);
    EXPECT_TRUE(manager_.Devices().Network().Get(1, &handle));
    EXPECT_EQ(handle, 301);
    EXPECT_TRUE(manager_.Devices().Station().Get(1, &handle));
    EXPECT_EQ(handle, 501);
    EXPECT_TRUE(manager_.Devices().Ip().Get(1, &handle));
    EXPECT_EQ(handle, 701);

    manager_.Devices().Network().Erase(1);
    manager_.Devices().Network().Erase(99);  // absent: no error
    EXPECT_FALSE(manager_.Devices().Network().Get(1, &handle));
    EXPECT_EQ(handle, -1);
    EXPECT_TRUE(manager_.Devices().Voice().Get(1, &handle));

    manager_.Devices().Voice().Erase(1);
    manager_.Devices().Station().Erase(1);
    manager_.Devices().Ip().Erase(1);
    EXPECT_FALSE(manager_.Devices().Voice().Get(1, &handle));
    EXPECT_FALSE(manager_.Devices().Station().Get(1, &handle));
    EXPECT_FALSE(manager_.Devices().Ip().Get(1, &handle));
}

TEST_F(DeviceTablesTest, GetDeviceHandleChoosesTheTableByType) {
    manager_.Devices().Voice().Set(4, 14);
    manager_.Devices().Network().Set(4, 34);
    manager_.Devices().Station().Set(4, 54);
    manager_.Devices().Ip().Set(4, 74);

    const std::vector<std::pair<int32_t, int32_t>> expected = {
        {1, 14}, {3, 34}, {5, 54}, {7, 74}, {18, 74}};
    for (const auto& [type, wanted] : expected) {
        int32_t handle = 0;
        EXPECT_TRUE(manager_.Devices().GetDeviceHandle(4, type, &handle)) << type;
        EXPECT_EQ(handle, wanted) << type;
    }
    // An analog line, a conference or an Amtelco position has no table: false, handle untouched.
    for (int32_t type : {2, 8, 16, 245, 999}) {
        int32_t handle = 12345;
        EXPECT_FALSE(manager_.Devices().GetDeviceHandle(4, type, &handle)) << type;
        EXPECT_EQ(handle, 12345) << type;
    }
    int32_t handle = 0;
    EXPECT_FALSE(manager_.Devices().GetDeviceHandle(5, 1, &handle));
    EXPECT_EQ(handle, -1);
}

TEST_F(DeviceTablesTest, PortTypesAndHandleLdevsAreKeptByHandle) {
    int32_t value = 0;
    EXPECT_FALSE(manager_.Devices().PortTypes().Get(77, &value));
    EXPECT_EQ(value, -1);
    EXPECT_FALSE(manager_.Devices().HandleLdevs().Get(77, &value));
    EXPECT_EQ(value, -1);

    manager_.Devices().PortTypes().Set(77, 3);
    manager_.Devices().PortTypes().Set(77, 7);
    manager_.Devices().HandleLdevs().Set(77, 12);
    manager_.Devices().HandleLdevs().Set(77, 13);
    EXPECT_TRUE(manager_.Devices().PortTypes().Get(77, &value));
    EXPECT_EQ(value, 7);
    EXPECT_TRUE(manager_.Devices().HandleLdevs().Get(77, &value));
    EXPECT_EQ(value, 13);

    manager_.Devices().HandleLdevs().Erase(77);
    EXPECT_FALSE(manager_.Devices().HandleLdevs().Get(77, &value));
    EXPECT_TRUE(manager_.Devices().PortTypes().Get(77, &value));
}

TEST_F(DeviceTablesTest, LogChannelOfEachPortType) {
    EXPECT_EQ(CVesmarinManager::PortTypeToLogChannel(1), foundation::kDebugChannelVoice);
    EXPECT_EQ(CVesmarinManager::PortTypeToLogChannel(3), foundation::kDebugChannelDti);
    EXPECT_EQ(CVesmarinManager::PortTypeToLogChannel(5), foundation::kDebugChannelMsi);
    EXPECT_EQ(CVesmarinManager::PortTypeToLogChannel(7), foundation::kDebugChannelIp);
    EXPECT_EQ(CVesmarinManager::PortTypeToLogChannel(18), foundation::kDebugChannelIp);
    for (int32_t type : {0, 2, 8, 16, 17, 245, 999, -1}) {
        EXPECT_EQ(CVesmarinManager::PortTypeToLogChannel(type), 0) << type;
    }
}

TEST_F(DeviceTablesTest, ForgettingTheTablesClosesNothingAndKeepsTheRest) {
    manager_.Devices().Voice().Set(1, 11);
    manager_.Devices().Network().Set(2, 22);
    manager_.Devices().Station().Set(3, 33);
    manager_.Devices().Ip().Set(1000001, 44);
    manager_.Devices().PortTypes().Set(22, 3);
    manager_.Devices().HandleLdevs().Set(22, 2);
    manager_.Amtelco().AddAmtelcoBoard(16, 2);
    manager_.Amtelco().SetCableBoard(2, 16);
    manager_.Amtelco().SetCableTimeslotBase(2, 100);
    manager_.VirtualFiles().AddVoiceFile(1, 9, "C:\\VOX\\INDEX.VOX");
    manager_.CallRefs().SetCallRef(2, 3, 555, true);
    DV_DIGIT* digits = manager_.Digits().GetOrCreate(1);
    manager_.LastVoiceFunctions().Set(1, 129);

    manager_.ForgetDeviceTables();

    int32_t value = 0;
    EXPECT_FALSE(manager_.Devices().Voice().Get(1, &value));
    EXPECT_FALSE(manager_.Devices().Network().Get(2, &value));
    EXPECT_FALSE(manager_.Devices().Station().Get(3, &value));
    EXPECT_FALSE(manager_.Devices().Ip().Get(1000001, &value));
    EXPECT_FALSE(manager_.Devices().PortTypes().Get(22, &value));
    EXPECT_FALSE(manager_.Devices().HandleLdevs().Get(22, &value));
    EXPECT_FALSE(manager_.Amtelco().GetAmtelcoBoardHandle(16, &value));
    EXPECT_FALSE(manager_.VirtualFiles().GetVoiceFileHandle(1, &value));
    EXPECT_THAT(manager_.VirtualFiles().OpenFileNamesUpper(), IsEmpty());
    // The cables, the call references, the digit buffers and the voice functions stay.
    EXPECT_TRUE(manager_.Amtelco().GetCableBoard(2, &value));
    EXPECT_EQ(manager_.Amtelco().GetAmtelcoBusTimeslot(0, 2), 1123);
    CRN crn = 0;
    EXPECT_TRUE(manager_.CallRefs().GetCallRef(2, 3, &crn));
    DV_DIGIT* kept = nullptr;
    EXPECT_TRUE(manager_.Digits().Get(1, &kept));
    EXPECT_EQ(kept, digits);
    EXPECT_EQ(manager_.LastVoiceFunctions().Find(1).value_or(-1), 129);
}

TEST_F(DeviceTablesTest, AFamilyIsWalkedAndEmptiedUnderItsLock) {
    DeviceHandleTables& devices = manager_.Devices();
    devices.Network().Set(5, 50);
    devices.Network().Set(2, 20);
    devices.Voice().Set(1, 10);

    std::vector<std::pair<int32_t, int32_t>> seen;
    {
        std::lock_guard hold(devices.Lock(Family::kNetwork));
        devices.Of(Family::kNetwork).ForEach([&](int32_t ldev, int32_t handle) {
            seen.emplace_back(ldev, handle);
        });
        devices.Network().Clear();
    }
    EXPECT_THAT(seen, ElementsAre(Pair(2, 20), Pair(5, 50)));
    int32_t handle = 0;
    EXPECT_FALSE(manager_.Devices().Network().Get(5, &handle));
    EXPECT_THAT(devices.Voice().TakeAll(), ElementsAre(Pair(1, 10)));
    EXPECT_FALSE(manager_.Devices().Voice().Get(1, &handle));
}

TEST_F(DeviceTablesTest, DigitBuffersAreZeroedStableAndFreedTogether) {
    DV_DIGIT* buffer = nullptr;
    EXPECT_FALSE(manager_.Digits().Get(3, &buffer));
    EXPECT_EQ(buffer, nullptr);

    DV_DIGIT* made = manager_.Digits().GetOrCreate(3);
    ASSERT_NE(made, nullptr);
    const DV_DIGIT zero{};
    EXPECT_EQ(std::memcmp(made, &zero, sizeof zero), 0);
    std::strcpy(made->dg_value, "1234");
    // Other channels' buffers do not move it.
    for (int32_t ldev = 10; ldev < 60; ++ldev) {
        manager_.Digits().GetOrCreate(ldev);
    }
    EXPECT_EQ(manager_.Digits().GetOrCreate(3), made);
    EXPECT_TRUE(manager_.Digits().Get(3, &buffer));
    EXPECT_EQ(buffer, made);
    EXPECT_STREQ(buffer->dg_value, "1234");

    manager_.Digits().FreeAll();
    EXPECT_FALSE(manager_.Digits().Get(3, &buffer));
    EXPECT_EQ(buffer, nullptr);
    DV_DIGIT* fresh = manager_.Digits().GetOrCreate(3);
    EXPECT_STREQ(fresh->dg_value, "");
}

TEST_F(DeviceTablesTest, LastVoiceFunctionPerChannel) {
    EXPECT_EQ(manager_.LastVoiceFunctions().Find(2).value_or(-1), -1);
    manager_.LastVoiceFunctions().Set(2, 129);
    manager_.LastVoiceFunctions().Set(2, 138);
    manager_.LastVoiceFunctions().Set(3, 130);
    EXPECT_EQ(manager_.LastVoiceFunctions().Find(2).value_or(-1), 138);
    EXPECT_EQ(manager_.LastVoiceFunctions().Find(3).value_or(-1), 130);
}

}  // namespace
}  // namespace ruzd::node
