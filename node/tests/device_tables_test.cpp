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
    manager_.AddVoiceDevice(1, 101);
    manager_.AddNetworkDevice(1, 301);
    manager_.AddStationDevice(1, 501);
    manager_.AddIPDevice(1, 701);
    manager_.AddVoiceDevice(1, 102);

    int32_t handle = 0;
    EXPECT_TRUE(manager_.GetVoiceDeviceHandle(1, &handle));
    EXPECT_EQ(handle, 102);
    EXPECT_TRUE(manager_.GetNetworkDeviceHandle(1, &handle));
    EXPECT_EQ(handle, 301);
    EXPECT_TRUE(manager_.GetStationDeviceHandle(1, &handle));
    EXPECT_EQ(handle, 501);
    EXPECT_TRUE(manager_.GetIPDeviceHandle(1, &handle));
    EXPECT_EQ(handle, 701);

    manager_.RemoveNetworkDevice(1);
    manager_.RemoveNetworkDevice(99);  // absent: no error
    EXPECT_FALSE(manager_.GetNetworkDeviceHandle(1, &handle));
    EXPECT_EQ(handle, -1);
    EXPECT_TRUE(manager_.GetVoiceDeviceHandle(1, &handle));

    manager_.RemoveVoiceDevice(1);
    manager_.RemoveStationDevice(1);
    manager_.RemoveIPDevice(1);
    EXPECT_FALSE(manager_.GetVoiceDeviceHandle(1, &handle));
    EXPECT_FALSE(manager_.GetStationDeviceHandle(1, &handle));
    EXPECT_FALSE(manager_.GetIPDeviceHandle(1, &handle));
}

TEST_F(DeviceTablesTest, GetDeviceHandleChoosesTheTableByType) {
    manager_.AddVoiceDevice(4, 14);
    manager_.AddNetworkDevice(4, 34);
    manager_.AddStationDevice(4, 54);
    manager_.AddIPDevice(4, 74);

    const std::vector<std::pair<int32_t, int32_t>> expected = {
        {1, 14}, {3, 34}, {5, 54}, {7, 74}, {18, 74}};
    for (const auto& [type, wanted] : expected) {
        int32_t handle = 0;
        EXPECT_TRUE(manager_.GetDeviceHandle(4, type, &handle)) << type;
        EXPECT_EQ(handle, wanted) << type;
    }
    // An analog line, a conference or an Amtelco position has no table: false, handle untouched.
    for (int32_t type : {2, 8, 16, 245, 999}) {
        int32_t handle = 12345;
        EXPECT_FALSE(manager_.GetDeviceHandle(4, type, &handle)) << type;
        EXPECT_EQ(handle, 12345) << type;
    }
    int32_t handle = 0;
    EXPECT_FALSE(manager_.GetDeviceHandle(5, 1, &handle));
    EXPECT_EQ(handle, -1);
}

TEST_F(DeviceTablesTest, PortTypesAndHandleLdevsAreKeptByHandle) {
    int32_t value = 0;
    EXPECT_FALSE(manager_.GetDevicePortType(77, &value));
    EXPECT_EQ(value, -1);
    EXPECT_FALSE(manager_.GetHandleLdev(77, &value));
    EXPECT_EQ(value, -1);

    manager_.SetDevicePortType(77, 3);
    manager_.SetDevicePortType(77, 7);
    manager_.AddHandleLdev(77, 12);
    manager_.AddHandleLdev(77, 13);
    EXPECT_TRUE(manager_.GetDevicePortType(77, &value));
    EXPECT_EQ(value, 7);
    EXPECT_TRUE(manager_.GetHandleLdev(77, &value));
    EXPECT_EQ(value, 13);

    manager_.RemoveHandleLdev(77);
    EXPECT_FALSE(manager_.GetHandleLdev(77, &value));
    EXPECT_TRUE(manager_.GetDevicePortType(77, &value));
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
    manager_.AddVoiceDevice(1, 11);
    manager_.AddNetworkDevice(2, 22);
    manager_.AddStationDevice(3, 33);
    manager_.AddIPDevice(1000001, 44);
    manager_.SetDevicePortType(22, 3);
    manager_.AddHandleLdev(22, 2);
    manager_.AddAmtelcoBoard(16, 2);
    manager_.Amtelco().SetCableBoard(2, 16);
    manager_.Amtelco().SetCableTimeslotBase(2, 100);
    manager_.VirtualFiles().AddVoiceFile(1, 9, "C:\\VOX\\INDEX.VOX");
    manager_.SetCallRef(2, 3, 555, true);
    DV_DIGIT* digits = manager_.GetOrCreateDigitBuffer(1);
    manager_.SetLastVoiceFunction(1, 129);

    manager_.ForgetDeviceTables();

    int32_t value = 0;
    EXPECT_FALSE(manager_.GetVoiceDeviceHandle(1, &value));
    EXPECT_FALSE(manager_.GetNetworkDeviceHandle(2, &value));
    EXPECT_FALSE(manager_.GetStationDeviceHandle(3, &value));
    EXPECT_FALSE(manager_.GetIPDeviceHandle(1000001, &value));
    EXPECT_FALSE(manager_.GetDevicePortType(22, &value));
    EXPECT_FALSE(manager_.GetHandleLdev(22, &value));
    EXPECT_FALSE(manager_.GetAmtelcoBoardHandle(16, &value));
    EXPECT_FALSE(manager_.VirtualFiles().GetVoiceFileHandle(1, &value));
    EXPECT_THAT(manager_.VirtualFiles().OpenFileNamesUpper(), IsEmpty());
    // The cables, the call references, the digit buffers and the voice functions stay.
    EXPECT_TRUE(manager_.Amtelco().GetCableBoard(2, &value));
    EXPECT_EQ(manager_.GetAmtelcoBusTimeslot(0, 2), 1123);
    CRN crn = 0;
    EXPECT_TRUE(manager_.GetCallRef(2, 3, &crn));
    DV_DIGIT* kept = nullptr;
    EXPECT_TRUE(manager_.GetDigitBuffer(1, &kept));
    EXPECT_EQ(kept, digits);
    EXPECT_EQ(manager_.GetLastVoiceFunction(1), 129);
}

TEST_F(DeviceTablesTest, AFamilyIsWalkedAndEmptiedUnderItsLock) {
    DeviceHandleTables& devices = manager_.Devices();
    devices.Add(Family::kNetwork, 5, 50);
    devices.Add(Family::kNetwork, 2, 20);
    devices.Add(Family::kVoice, 1, 10);

    std::vector<std::pair<int32_t, int32_t>> seen;
    {
        std::lock_guard hold(devices.Lock(Family::kNetwork));
        devices.ForEach(Family::kNetwork,
                        [&](int32_t ldev, int32_t handle) { seen.emplace_back(ldev, handle); });
        devices.Clear(Family::kNetwork);
    }
    EXPECT_THAT(seen, ElementsAre(Pair(2, 20), Pair(5, 50)));
    int32_t handle = 0;
    EXPECT_FALSE(manager_.GetNetworkDeviceHandle(5, &handle));
    EXPECT_THAT(devices.TakeAll(Family::kVoice), ElementsAre(Pair(1, 10)));
    EXPECT_FALSE(manager_.GetVoiceDeviceHandle(1, &handle));
}

TEST_F(DeviceTablesTest, DigitBuffersAreZeroedStableAndFreedTogether) {
    DV_DIGIT* buffer = nullptr;
    EXPECT_FALSE(manager_.GetDigitBuffer(3, &buffer));
    EXPECT_EQ(buffer, nullptr);

    DV_DIGIT* made = manager_.GetOrCreateDigitBuffer(3);
    ASSERT_NE(made, nullptr);
    const DV_DIGIT zero{};
    EXPECT_EQ(std::memcmp(made, &zero, sizeof zero), 0);
    std::strcpy(made->dg_value, "1234");
    // Other channels' buffers do not move it.
    for (int32_t ldev = 10; ldev < 60; ++ldev) {
        manager_.GetOrCreateDigitBuffer(ldev);
    }
    EXPECT_EQ(manager_.GetOrCreateDigitBuffer(3), made);
    EXPECT_TRUE(manager_.GetDigitBuffer(3, &buffer));
    EXPECT_EQ(buffer, made);
    EXPECT_STREQ(buffer->dg_value, "1234");

    manager_.FreeAllDigitBuffers();
    EXPECT_FALSE(manager_.GetDigitBuffer(3, &buffer));
    EXPECT_EQ(buffer, nullptr);
    DV_DIGIT* fresh = manager_.GetOrCreateDigitBuffer(3);
    EXPECT_STREQ(fresh->dg_value, "");
}

TEST_F(DeviceTablesTest, LastVoiceFunctionPerChannel) {
    EXPECT_EQ(manager_.GetLastVoiceFunction(2), -1);
    manager_.SetLastVoiceFunction(2, 129);
    manager_.SetLastVoiceFunction(2, 138);
    manager_.SetLastVoiceFunction(3, 130);
    EXPECT_EQ(manager_.GetLastVoiceFunction(2), 138);
    EXPECT_EQ(manager_.GetLastVoiceFunction(3), 130);
}

}  // namespace
}  // namespace ruzd::node
