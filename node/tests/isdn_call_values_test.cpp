// Device names, call references and information-element text of the ISDN call-control
// commands.

#include <gtest/gtest.h>

#include <climits>
#include <cstring>

#include "node/isdn_call_values.h"

namespace ruzd::node {
namespace {

TEST(IsdnDeviceNames, BChannelsLieThirtyToATrunk) {
    EXPECT_EQ(TrunkDeviceName(1), "dtiB1T1");
    EXPECT_EQ(TrunkDeviceName(30), "dtiB1T30");
    EXPECT_EQ(TrunkDeviceName(31), "dtiB2T1");
    EXPECT_EQ(TrunkDeviceName(999999), "dtiB33334T9");
}

TEST(IsdnDeviceNames, BoardLineDevicesNameTheWholeTrunk) {
    EXPECT_EQ(TrunkDeviceName(1000000 + 2), "dtiB2");
    EXPECT_EQ(TrunkDeviceName(1000000), "dtiB0");
}

TEST(IsdnDeviceNames, NamesAreCutToThirteenCharacters) {
    EXPECT_EQ(TrunkDeviceName(INT_MAX), "dtiB214648364");
    EXPECT_EQ(TrunkDeviceName(INT_MAX).size(), 13u);
    EXPECT_EQ(TrunkDeviceName(INT_MIN).size(), 13u);
    EXPECT_EQ(BriDeviceName(5, 123456, 7890), "briS123456T78");
}

TEST(IsdnDeviceNames, BriChannelsAndStations) {
    EXPECT_EQ(BriDeviceName(5, 2, 1), "briS2T1");
    EXPECT_EQ(BriDeviceName(1000003, 2, 1), "briS2");
}

TEST(IsdnCrnResolution, SmallValuesStandForTheCurrentCall) {
    EXPECT_EQ(ResolveCrn(0, 4097), 4097);
    EXPECT_EQ(ResolveCrn(499, 4097), 4097);
    EXPECT_FALSE(ResolveCrn(0, std::nullopt).has_value());
    EXPECT_FALSE(ResolveCrn(499, std::nullopt).has_value());
}

TEST(IsdnCrnResolution, OtherValuesAreTheVendorsOwn) {
    EXPECT_EQ(ResolveCrn(500, std::nullopt), 500);
    EXPECT_EQ(ResolveCrn(5000, 4097), 5000);
    EXPECT_EQ(ResolveCrn(-1, 4097), -1);
}

TEST(InfoElementHex, TwoUpperCaseDigitsPerByte) {
    IE_BLK block{};
    block.length = 2;
    block.data[0] = 0x0A;
    block.data[1] = static_cast<char>(0xFF);
    block.data[2] = 0x11;  // beyond the length
    EXPECT_EQ(InfoElementHex(block), "0AFF");
}

TEST(InfoElementHex, ALengthOutsideTheBlockIsKeptInside) {
    IE_BLK block{};
    std::memset(block.data, 0x5C, sizeof block.data);
    block.length = -3;
    EXPECT_EQ(InfoElementHex(block), "");
    block.length = 261;
    EXPECT_EQ(InfoElementHex(block).size(), 520u);
    EXPECT_FALSE(HasValidLength(block));
    block.length = 260;
    EXPECT_TRUE(HasValidLength(block));
    block.length = -1;
    EXPECT_FALSE(HasValidLength(block));
}

TEST(WireCounts, RefusedBelowZeroAndAbove65535) {
    EXPECT_TRUE(IsWireCount(0));
    EXPECT_TRUE(IsWireCount(65535));
    EXPECT_FALSE(IsWireCount(-1));
    EXPECT_FALSE(IsWireCount(65536));
}

}  // namespace
}  // namespace ruzd::node
