// The shut-down of every channel on the simulated boards: which vendor calls it makes, in which
// order, with which arguments (the boards' journal), and what it reports and forgets.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "node/vesmarin_manager.h"
#include "platform/loaded_modules.h"
#include "telephony/aculab_cards.h"
#include "telephony/bus_resource_pool.h"
#include "testing/manager_on_boards.h"

namespace ruzd::node {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::IsEmpty;
using ::testing::Not;

class ChannelShutdownTest : public testing::ManagerOnBoardsTest {
protected:
    ChannelShutdownTest() { StartDebugLog(); }

    void Start(const std::string& boards) {
        WriteConfig(boards);
        ManagerOnBoardsTest::Start();
    }

    // The journal's close, drop and release calls from the mark on, without sequence numbers
    // and libraries.
    std::vector<std::string> ClosingCalls() const {
        std::vector<std::string> calls;
        for (const std::string& entry : Journal()) {
            const std::string call = entry.substr(entry.find(' ') + 1);
            for (const char* name : {"dx_close(", "dx_fileclose(", "Close(", "DropCall(",
                                     "ReleaseCallEx(", "ms_close("}) {
                if (call.find(name) != std::string::npos) {
                    calls.push_back(call.substr(0, call.find(" = ")));
                    break;
                }
            }
        }
        return calls;
    }
};

TEST_F(ChannelShutdownTest, EmptyTablesOnlyLogAndStopTheWorkers) {
    Start("ip 0 0\n");
    manager_->SafeCloseAllChannels();
    EXPECT_THAT(ClosingCalls(), IsEmpty());
    EXPECT_THAT(callback_.StatusLines(), IsEmpty());
    EXPECT_THAT(LinesOnceLogged("SafeCloseAllChannels"),
                Contains(EndsWith("SafeCloseAllChannels")));
}

TEST_F(ChannelShutdownTest, WithoutGlobalCallEveryDeviceAndFileIsClosedThroughItsLibrary) {
    Start("ip 0 0\n");
    ASSERT_FALSE(manager_->Hardware()->IsGlobalCallInitialised());
    manager_->Devices().Voice().Set(1, 11);
    manager_->Devices().Voice().Set(2, 12);
    manager_->Devices().Network().Set(21, 31);
    manager_->Devices().Network().Set(22, 32);
    manager_->CallRefs().SetCallRef(22, 3, 777, true);
    manager_->Devices().Station().Set(41, 51);
    // Every open voice file, not only those of the first virtual handles.
    manager_->VirtualFiles().AddVoiceFile(2, 60, "A.VOX");
    manager_->VirtualFiles().AddVoiceFile(1000, 61, "B.VOX");

    manager_->SafeCloseAllChannels();
    EXPECT_THAT(ClosingCalls(),
                ElementsAre("dx_close(11)", "dx_close(12)", "dx_fileclose(60)", "dx_fileclose(61)",
                            "cc_Close(31)", "cc_DropCall(777, 16, 32768)",
                            "cc_ReleaseCallEx(777, 32768)", "cc_Close(32)", "ms_close(51)"));
    EXPECT_THAT(callback_.StatusLines(), ElementsAre("1/1 Closed", "1/2 Closed", "3/21 Closed",
                                                     "3/22 Closed", "5/41 Closed"));

    int32_t handle = 0;
    EXPECT_FALSE(manager_->Devices().Voice().Get(1, &handle));
    EXPECT_FALSE(manager_->Devices().Network().Get(22, &handle));
    EXPECT_FALSE(manager_->Devices().Station().Get(41, &handle));
    EXPECT_THAT(manager_->VirtualFiles().OpenFileNamesUpper(), IsEmpty());
    CRN crn = 0;
    EXPECT_FALSE(manager_->CallRefs().GetCallRef(22, 3, &crn) && crn != 0)
        << "the released call is gone";

    // The simulated boards know none of these handles and the call, so every call fails (-1);
    // the shut-down goes on regardless.
    const auto lines = LinesOnceLogged("ms_close ldev=41 handle=51 RET=-1");
    EXPECT_THAT(lines, Contains(EndsWith("dx_close ldev=1 handle=11 RET=-1")));
    EXPECT_THAT(lines, Contains(EndsWith("dx_fileclose 60) RC=0")));
    EXPECT_THAT(lines,
                Contains(EndsWith("vl_DropCall ldev=22 crn=777 cause=16 mode=32768 RET=-1")));
    EXPECT_THAT(lines, Contains(EndsWith("vl_ReleaseCallEx crn=777 RC=-1")));
    EXPECT_THAT(lines, Contains(EndsWith("vl_close ldev=21 RET=-1")));
    EXPECT_THAT(lines, Contains(EndsWith("ms_close ldev=41 handle=51 RET=-1")));

    // Everything is forgotten: a second shut-down closes nothing.
    manager_->SafeCloseAllChannels();
    EXPECT_EQ(ClosingCalls().size(), 9u);
}

TEST_F(ChannelShutdownTest, WithGlobalCallNetworkAndIpChannelsAreClosedThroughIt) {
    Start("ip 1 4\n");
    ASSERT_TRUE(manager_->Hardware()->IsGlobalCallInitialised());
    ASSERT_TRUE(manager_->Hardware()->HasIntelIPBoards(0));
    manager_->Devices().Network().Set(21, 31);
    manager_->CallRefs().SetCallRef(21, 3, 901, true);
    manager_->Devices().Ip().Set(61, 71);
    manager_->CallRefs().SetCallRef(61, 7, 902, true);
    manager_->Devices().Ip().Set(62, 72);
    // An IP board's own line device stands in the IP table as well; the board list closes it.
    manager_->Devices().Ip().Set(1000001, 73);

    const size_t before = ClosingCalls().size();
    manager_->SafeCloseAllChannels();
    std::vector<std::string> calls = ClosingCalls();
    calls.erase(calls.begin(), calls.begin() + static_cast<long>(before));
    ASSERT_GE(calls.size(), 7u);
    EXPECT_THAT(std::vector<std::string>(calls.begin(), calls.begin() + 7),
                ElementsAre("gc_DropCall(901, 16, 32768)", "gc_ReleaseCallEx(901, 32768)",
                            "gc_Close(31)", "gc_DropCall(902, 16, 32768)",
                            "gc_ReleaseCallEx(902, 32768)", "gc_Close(71)", "gc_Close(72)"));
    EXPECT_THAT(calls, Not(Contains("gc_Close(73)")));
    EXPECT_THAT(callback_.StatusLines(), ElementsAre("3/21 Closed", "7/61 Closed", "7/62 Closed"));
    int32_t handle = 0;
    EXPECT_FALSE(manager_->Devices().Ip().Get(62, &handle));
    EXPECT_FALSE(manager_->Devices().Ip().Get(1000001, &handle));
}

TEST_F(ChannelShutdownTest, TheAculabCardsAreClosedAndTheBusSlotPoolFreed) {
    Start("ip 0 0\n");
    // The simulated Aculab libraries lie in the vendor folder, but the node leaves them alone.
    for (const char* library : {"CL_Lib", "Res_Lib", "SW_Lib", "IpTel_Lib", "TiNG"}) {
        EXPECT_TRUE(std::filesystem::exists(VendorFolder() / (std::string(library) + ".so")));
        EXPECT_FALSE(platform::IsModuleLoaded(VendorFolder() / (std::string(library) + ".so")))
            << library;
    }
    telephony::AculabCards().Append(std::make_unique<telephony::CAculabCard>(0, "SER-A"));
    telephony::BusResources().AppendFree(385, 24, 385);
    manager_->SafeCloseAllChannels();
    EXPECT_EQ(telephony::AculabCards().Size(), 0u);
    EXPECT_EQ(telephony::BusResources().FreeCount(), 0u);
}

}  // namespace
}  // namespace ruzd::node
