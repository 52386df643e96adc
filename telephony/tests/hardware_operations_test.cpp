// The facade operations that do more than forward one call: the restart marks, the opened
// station boards and the conference board choice, the clean-up of a station board's conferences,
// the text conversions, the Global Call stop, and what a table kept without its library answers.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "telephony/opened_station_boards.h"
#include "telephony/restart_marks.h"
#include "telephony/tests/facade_fixture.h"
#include "telephony/tests/stubs/stub_arguments.h"
#include "telephony/tests/stubs/stub_value.h"

namespace ruzd::telephony {
namespace {

using stubs::StubNumber;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::SizeIs;

class HardwareOperationsTest : public FacadeTest {
protected:
    HardwareOperationsTest() { StationBoards().Clear(); }
    ~HardwareOperationsTest() override { StationBoards().Clear(); }
};

TEST_F(HardwareOperationsTest, OpenedStationBoardsComeInTheOrderOfTheirLineDevices) {
    OpenedStationBoards boards;
    EXPECT_THAT(boards.Handles(), IsEmpty());
    boards.Add(1000002, 52);
    boards.Add(1000001, 51);
    boards.Add(1000003, 53);
    EXPECT_THAT(boards.Handles(), ElementsAre(51, 52, 53));
    boards.Add(1000001, 61);
    boards.Remove(1000002);
    EXPECT_THAT(boards.Handles(), ElementsAre(61, 53));
    boards.Clear();
    EXPECT_THAT(boards.Handles(), IsEmpty());
    EXPECT_EQ(&StationBoards(), &StationBoards());
}

TEST_F(HardwareOperationsTest, RestartMarksCoverLineDevicesOneTo500) {
    for (int32_t ldev : {1, 250, 500}) {
        EXPECT_FALSE(IsRestarting(ldev));
        SetRestartMark(ldev);
        EXPECT_TRUE(IsRestarting(ldev));
        ClearRestartMark(ldev);
        EXPECT_FALSE(IsRestarting(ldev));
    }
    for (int32_t ldev : {-1, 0, 501, 100000}) {
        SetRestartMark(ldev);
        EXPECT_FALSE(IsRestarting(ldev)) << ldev;
    }
}

TEST_F(HardwareOperationsTest, ARestartRefusesCallOperationsOfThatLineDeviceOnly) {
    InstallRecordingDialogic();
    {
        TestFacade hardware;
        TakeCalls();
        ForgetLines();
        EXPECT_EQ(hardware.cc_Restart(7, 31, 0), StubNumber("cc_Restart"));
        EXPECT_THAT(TakeCalls(), ElementsAre("cc_Restart(31, 0)"));
        EXPECT_TRUE(IsRestarting(7));

        CRN crn = 0;
        EXPECT_EQ(hardware.cc_MakeCall(7, 31, &crn, "123", nullptr, 30, 0), -1);
        EXPECT_THAT(NewTexts(), ElementsAre("*** cc_MakeCall ignored during cc_restart"));
        EXPECT_EQ(hardware.cc_Close(7, 31), StubNumber("cc_Close"));
        EXPECT_EQ(hardware.cc_MakeCall(8, 32, &crn, "123", nullptr, 30, 0),
                  StubNumber("cc_MakeCall"));
        EXPECT_THAT(TakeCalls(),
                    ElementsAre("cc_Close(31)", "cc_MakeCall(32, " + stubs::ArgumentText(&crn) +
                                                    ", \"123\", null, 30, 0)"));

        // Refused, cc_GetCRN hands back no call reference.
        crn = 99;
        EXPECT_EQ(hardware.cc_GetCRN(7, &crn, nullptr), -1);
        EXPECT_EQ(crn, 0);

        // Only the restart-complete event of the device takes the mark down.
        ClearRestartMark(7);
        EXPECT_EQ(hardware.cc_MakeCall(7, 31, &crn, "123", nullptr, 30, 0),
                  StubNumber("cc_MakeCall"));
    }
    // The marks outlive the facade.
    SetRestartMark(9);
    {
        TestFacade hardware;
        EXPECT_EQ(hardware.cc_ReleaseCall(9, 5), -1);
    }
    EXPECT_TRUE(IsRestarting(9));
}

TEST_F(HardwareOperationsTest, ARestartIsMarkedEvenWhenTheVendorFails) {
    // No libraries at all: the vendor call yields 0, the mark is set all the same.
    TestFacade hardware;
    EXPECT_EQ(hardware.cc_Restart(12, 1, 0), 0);
    EXPECT_TRUE(IsRestarting(12));
    EXPECT_EQ(hardware.cc_Restart(0, 1, 0), 0);
    EXPECT_EQ(hardware.cc_Restart(501, 1, 0), 0);
    EXPECT_FALSE(IsRestarting(0));
    EXPECT_FALSE(IsRestarting(501));
}

// A facade whose station boards report chosen numbers of free conference resources.
class StationBoardFacade : public TestFacade {
public:
    std::map<int32_t, int32_t> free_resources;
    std::vector<int32_t> asked;
    std::map<int32_t, int32_t> deletable;  // conference id -> result of ms_delconf
    std::vector<uint32_t> deleted;

    int32_t ms_dsprescount(int32_t dev, int32_t* count) override {
        asked.push_back(dev);
        auto it = free_resources.find(dev);
        if (it == free_resources.end())
            return -1;
        *count = it->second;
        return 0;
    }
    int32_t ms_delconf(int32_t dev, int32_t conf_id) override {
        deleted.push_back(static_cast<uint32_t>(conf_id));
        auto it = deletable.find(conf_id);
        (void)dev;
        return it == deletable.end() ? -1 : it->second;
    }
};

TEST_F(HardwareOperationsTest, ANewConferenceGoesToTheFirstBoardWithEnoughFreeResources) {
    InstallRecordingDialogic();
    StationBoardFacade hardware;
    TakeCalls();
    StationBoards().Add(1000001, 41);
    StationBoards().Add(1000002, 42);
    StationBoards().Add(1000003, 43);
    hardware.free_resources = {{41, 2}, {42, 5}, {43, 9}};
    MS_CDT parties[1] = {};
    int32_t conf_id = 0;
    int32_t board = -1;
    EXPECT_EQ(hardware.ms_estconf(&board, parties, 1, 0, &conf_id), StubNumber("ms_estconf"));
    EXPECT_EQ(board, 42);
    EXPECT_THAT(hardware.asked, ElementsAre(41, 42));
    const std::vector<std::string> calls = TakeCalls();
    ASSERT_THAT(calls, SizeIs(1));
    EXPECT_EQ(calls[0].rfind("ms_estconf(42, ", 0), 0u) << calls[0];
}

TEST_F(HardwareOperationsTest, WithoutABoardWithFourFreeResourcesTheLastBoardIsTried) {
    InstallRecordingDialogic();
    StationBoardFacade hardware;
    StationBoards().Add(1000001, 41);
    StationBoards().Add(1000002, 42);
    hardware.free_resources = {{41, 3}};  // 42 cannot even be asked
    int32_t board = -1;
    int32_t conf_id = 0;
    hardware.ms_estconf(&board, nullptr, 0, 0, &conf_id);
    EXPECT_EQ(board, 42);
    EXPECT_THAT(hardware.asked, ElementsAre(41, 42));
}

TEST_F(HardwareOperationsTest, AChosenBoardOrNoBoardAtAllAsksNothing) {
    InstallRecordingDialogic();
    StationBoardFacade hardware;
    int32_t board = -1;
    int32_t conf_id = 0;
    hardware.ms_estconf(&board, nullptr, 0, 0, &conf_id);
    EXPECT_EQ(board, -1);
    StationBoards().Add(1000001, 41);
    board = 44;
    hardware.ms_estconf(&board, nullptr, 0, 0, &conf_id);
    EXPECT_EQ(board, 44);
    EXPECT_THAT(hardware.asked, IsEmpty());
}

TEST_F(HardwareOperationsTest, DeletingAllConferencesTriesBothRangesOfIds) {
    InstallRecordingDialogic();
    StationBoardFacade hardware;
    hardware.deletable = {{0x150003, 0}, {0x3140100, 0}, {0x150004, 7}};
    ForgetLines();
    EXPECT_EQ(hardware.ms_DeleteAllConferences(9, 1, 2), 0);
    std::vector<uint32_t> expected;
    for (uint32_t id = 0x150001; id < 0x15000F; ++id)
        expected.push_back(id);
    for (uint32_t id = 0x1140100; id < 0xF140100; id += 0x1000000)
        expected.push_back(id);
    EXPECT_EQ(hardware.deleted, expected);
    EXPECT_THAT(expected, SizeIs(28));
    const std::vector<LoggedLine> lines = NewLines();
    ASSERT_THAT(lines, SizeIs(2));
    EXPECT_EQ(lines[0].text, "Dev 9 removed conf 1376259");
    EXPECT_EQ(lines[1].text, "Dev 9 removed conf 51642624");
    EXPECT_EQ(lines[0].kind, 3);
    EXPECT_EQ(lines[0].device, 0);
}

TEST_F(HardwareOperationsTest, DeletingAllConferencesOfAnEmptyBoardLogsNothing) {
    InstallRecordingDialogic();
    TestFacade hardware;
    TakeCalls();
    ForgetLines();
    EXPECT_EQ(hardware.ms_DeleteAllConferences(9, 0, 0), 0);
    EXPECT_THAT(TakeCalls(), SizeIs(28));
    EXPECT_THAT(NewTexts(), IsEmpty());
}

TEST_F(HardwareOperationsTest, TonesAreNeverSwitchedOnDeviceZero) {
    InstallRecordingDialogic();
    TestFacade hardware;
    TakeCalls();
    ForgetLines();
    EXPECT_EQ(hardware.dx_distone(0, 1, 2), -1);
    EXPECT_EQ(hardware.dx_enbtone(0, 1, 2), -1);
    EXPECT_THAT(TakeCalls(), IsEmpty());
    const std::vector<LoggedLine> lines = NewLines();
    ASSERT_THAT(lines, SizeIs(2));
    EXPECT_EQ(lines[0].text, "Error dx_distone, device=0!");
    EXPECT_EQ(lines[1].text, "Error dx_enbtone, device=0!");
    EXPECT_EQ(lines[0].kind, 1);
    EXPECT_EQ(lines[0].device, 0);
}

TEST_F(HardwareOperationsTest, TheDialStringReachesTheVendorAsNarrowText) {
    InstallRecordingDialogic();
    TestFacade hardware;
    TakeCalls();
    const std::string dial = "T0\xC3\xA9";  // "T0é"
    hardware.dx_dial(5, dial, nullptr, 0);
    EXPECT_THAT(TakeCalls(), ElementsAre("dx_dial(5, \"T0\xE9\", null, 0)"));
    EXPECT_EQ(dial, "T0\xC3\xA9");
}

TEST_F(HardwareOperationsTest, DeviceTextsAreConvertedAndEmptyWhenTheVendorHasNone) {
    InstallRecordingDialogic();
    {
        TestFacade hardware;
        EXPECT_EQ(hardware.ATDV_NAMEP(3), "ATDV_NAMEP\xC3\xA9");
        EXPECT_EQ(hardware.ATDV_ERRMSGP(3), "ATDV_ERRMSGP\xC3\xA9");
    }
    Install("stub_libsrlmt", "libsrlmt");  // answers every text with null
    {
        TestFacade hardware;
        EXPECT_EQ(hardware.ATDV_NAMEP(3), "");
        EXPECT_EQ(hardware.ATDV_ERRMSGP(3), "");
    }
}

TEST_F(HardwareOperationsTest, OnlyTheVendorsNoDeviceValuesAreInvalidHandles) {
    TestFacade hardware;
    EXPECT_FALSE(hardware.IsValidHandle(0));
    EXPECT_FALSE(hardware.IsValidHandle(0xFFFF));
    EXPECT_FALSE(hardware.IsValidHandle(-1));
    EXPECT_TRUE(hardware.IsValidHandle(0xFFFE));
    EXPECT_TRUE(hardware.IsValidHandle(1));
    EXPECT_TRUE(hardware.IsValidHandle(0x10000));
}

TEST_F(HardwareOperationsTest, StoppingGlobalCallEndsItsOperationsUntilItStartsAgain) {
    InstallRecordingDialogic();
    TestFacade hardware;
    hardware.SetGlobalCallInitialised(true);
    TakeCalls();
    ForgetLines();
    EXPECT_EQ(hardware.gc_Stop(), StubNumber("gc_Stop"));
    EXPECT_FALSE(hardware.IsGlobalCallInitialised());
    EXPECT_THAT(NewTexts(), ElementsAre("GLOBALCALL stopped"));
    EXPECT_EQ(hardware.gc_Stop(), -1);
    EXPECT_EQ(hardware.gc_Close(3, 11), -1);
    EXPECT_THAT(TakeCalls(), ElementsAre("gc_Stop()"));
    EXPECT_THAT(NewTexts(), ElementsAre("GLOBALCALL stopped", "GLOBALCALL NOT initialised",
                                        "GLOBALCALL NOT initialised"));
}

TEST_F(HardwareOperationsTest, ADeletedParameterBlockIsForgottenByTheCaller) {
    InstallRecordingDialogic();
    TestFacade hardware;
    GC_PARM_BLK block{};
    GC_PARM_BLKP pointer = &block;
    hardware.gc_util_delete_parm_blk(&pointer);
    EXPECT_EQ(pointer, nullptr);
    hardware.gc_util_delete_parm_blk(nullptr);
}

TEST_F(HardwareOperationsTest, ATableKeptWithoutItsLibraryAnswersZeroExceptWhereItRefuses) {
    InstallDialogic();
    std::filesystem::remove(platform::VendorDir() / "libdxxmt.so");
    {
        TestFacade hardware;
        // The voice table is kept without its library, later ones are never made.
        EXPECT_EQ(hardware.dx_open(3, "dxxxB1C1", 0), -1);
        EXPECT_EQ(hardware.dx_close(1), -1);
        EXPECT_EQ(hardware.dx_setparm(1, 2, nullptr), 0);
        EXPECT_EQ(hardware.ms_open(3, "msiB1", 0), -1);
        EXPECT_EQ(hardware.ms_close(1), -1);
    }
    InstallDialogic();
    std::filesystem::remove(platform::VendorDir() / "libdtimt.so");
    {
        TestFacade hardware;
        // The station operations refuse only without a table.
        EXPECT_EQ(hardware.ms_open(3, "msiB1", 0), 0);
        EXPECT_EQ(hardware.ms_close(1), 0);
        EXPECT_EQ(hardware.dt_open(3, "dtiB1T1", 0), -1);
        EXPECT_EQ(hardware.dt_close(1), -1);
        EXPECT_EQ(hardware.cc_Close(3, 1), 0);
    }
}

TEST_F(HardwareOperationsTest, AMissingFunctionAnswersZeroWithoutACall) {
    InstallRecordingDialogic();
    Install("recording_libdxxmt_no_dial", "libdxxmt");
    TestFacade hardware;
    ASSERT_FALSE(hardware.IsIntelAvailable());  // the voice library is incomplete
    TakeCalls();
    ForgetLines();
    EXPECT_EQ(hardware.dx_dial(5, "1", nullptr, 0), 0);
    EXPECT_THAT(TakeCalls(), IsEmpty());
}

TEST_F(HardwareOperationsTest, AConfigurationManagerWithoutTheAddressQueryStillWorks) {
    InstallRecordingDialogic();
    Install("recording_ncmapi_no_default_ip", "NCMAPI");
    TestFacade hardware;
    ASSERT_TRUE(hardware.IsIntelAvailable());
    TakeCalls();
    ForgetLines();
    char address[32] = {};
    EXPECT_EQ(hardware.NCM_GetDefaultIPAddress(nullptr, nullptr, nullptr, address), -1);
    EXPECT_THAT(NewTexts(),
                ElementsAre("Function CHardwareISDN::NCM_GetDefaultIPAddress not loaded."));
    NCM_DLGSRV_STATE state = 0;
    EXPECT_EQ(hardware.NCM_GetDlgSrvStateEx(&state), StubNumber("NCM_GetDlgSrvStateEx"));
    EXPECT_THAT(TakeCalls(), SizeIs(1));
}

TEST_F(HardwareOperationsTest, WithoutTheConfigurationManagerItsOperationsSayWhy) {
    TestFacade hardware;  // nothing installed: the chain stopped at the start
    ForgetLines();
    NCM_DLGSRV_STATE state = 0;
    EXPECT_EQ(hardware.NCM_GetDlgSrvStateEx(&state), -1);
    const std::vector<LoggedLine> lines = NewLines();
    ASSERT_THAT(lines, SizeIs(1));
    EXPECT_EQ(lines[0].text, "Function CHardwareISDN::NCM_GetDlgSrvStateEx not loaded.");
    EXPECT_EQ(lines[0].kind, 0);
    EXPECT_EQ(lines[0].device, 0);
}

// A tick count that answers from a script, one value per reading.
class ScriptedClock : public platform::Clock {
public:
    explicit ScriptedClock(std::vector<uint64_t> ticks) : ticks_(std::move(ticks)) {}
    platform::WallTime Now() const override { return {}; }
    uint64_t TickMs() const override {
        const uint64_t tick = ticks_[std::min(next_, ticks_.size() - 1)];
        ++next_;
        return tick;
    }

private:
    std::vector<uint64_t> ticks_;
    mutable size_t next_ = 0;
};

class AculabOperationsTest : public HardwareOperationsTest {
protected:
    AculabOperationsTest() {
        InstallDialogic();
        InstallAculab();
    }
};

TEST_F(AculabOperationsTest, ACallControlCallSlowerThan500MsIsLogged) {
    TestFacade hardware(CHardware::AculabPath::kSwitchedOnForTests);
    ForgetLines();
    {
        ScriptedClock clock({1000, 1501});
        platform::ScopedClockOverride use(clock);
        EXPECT_EQ(hardware.acu_open_call(nullptr), StubNumber("acu_open_call"));
    }
    {
        ScriptedClock clock({1000, 1500});
        platform::ScopedClockOverride use(clock);
        EXPECT_EQ(hardware.call_disconnect(3, nullptr), StubNumber("call_disconnect"));
    }
    {
        // The tick count's low 32 bits wrap; the difference still holds.
        ScriptedClock clock({0xFFFFFF00u, 0x100000100u});
        platform::ScopedClockOverride use(clock);
        hardware.call_open_iptel_port(nullptr, 0);
    }
    const std::vector<LoggedLine> lines = NewLines();
    ASSERT_THAT(lines, SizeIs(2));
    EXPECT_EQ(lines[0].text,
              "Aculab API call 'acu_open_call' took 501 msecs to compleet (> 500 msecs)");
    EXPECT_EQ(lines[0].kind, 1);
    EXPECT_EQ(lines[0].device, 0);
    EXPECT_EQ(lines[1].text,
              "Aculab API call 'call_open_iptel_port' took 512 msecs to compleet (> 500 msecs)");
}

TEST_F(AculabOperationsTest, OnlyCallControlIsTimed) {
    TestFacade hardware(CHardware::AculabPath::kSwitchedOnForTests);
    ForgetLines();
    ScriptedClock clock({1000, 9000});
    platform::ScopedClockOverride use(clock);
    EXPECT_EQ(hardware.acu_open_card(nullptr), StubNumber("acu_open_card"));
    EXPECT_EQ(hardware.sw_reset_switch(1), StubNumber("sw_reset_switch"));
    EXPECT_THAT(NewTexts(), IsEmpty());
}

TEST_F(AculabOperationsTest, TheMediaLibrarysOlderExportStandsInForAMissingNewerOne) {
    Install("stub_ting_older_condition_adjust", "TiNG");
    TestFacade hardware(CHardware::AculabPath::kSwitchedOnForTests);
    ASSERT_TRUE(hardware.IsAculabAvailable());
    EXPECT_EQ(hardware.sm_condition_adjust(nullptr),
              StubNumber("sm_condition_adjust_iPsCte1_3_i_"));
    EXPECT_EQ(hardware.sm_get_card_info(nullptr),
              StubNumber("sm_get_card_info_iPsCAte1_8_iiUiUiUicr16_"));
}

}  // namespace
}  // namespace ruzd::telephony
