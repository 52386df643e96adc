// The tables that bind differently from the plain rule: the event functions bound twice, the
// configuration manager's completeness byte, the silent Global Call and IP media cases, and
// the Prosody media library's name pairs and trace hook.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <type_traits>

#include "foundation/trace.h"
#include "platform/loaded_modules.h"
#include "platform/root.h"
#include "telephony/lib_gc.h"
#include "telephony/lib_ipm.h"
#include "telephony/lib_ncmapi.h"
#include "telephony/lib_srlmt.h"
#include "telephony/lib_ting.h"
#include "telephony/tests/stubs/stub_value.h"
#include "telephony/tests/vendor_stub_fixture.h"
#include "telephony/vendor_call.h"

namespace ruzd::telephony {
namespace {

using stubs::StubNumber;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr const char* kNewerCardInfo = "sm_get_card_info_iPsCAte1_8_iiUiUiUicr16_";
constexpr const char* kOlderCardInfo = "sm_get_card_info_iPsCAte1_7_iiUiUiUicr16_";
constexpr const char* kNewerAdjust = "sm_condition_adjust_iPsCte1_4_i_";
constexpr const char* kOlderAdjust = "sm_condition_adjust_iPsCte1_3_i_";

class BindingSpecialCasesTest : public VendorStubTest {};

TEST_F(BindingSpecialCasesTest, TheEventFunctionsAreBoundTwiceToTheSameExport) {
    // Both copies have the export's one signature: a call through another type is undefined.
    EXPECT_TRUE(
        (std::is_same_v<decltype(CLibSRLMT::sr_getevtdev_0), decltype(CLibSRLMT::sr_getevtdev_1)>));
    EXPECT_TRUE((std::is_same_v<decltype(CLibSRLMT::sr_getevttype_0),
                                decltype(CLibSRLMT::sr_getevttype_1)>));
    EXPECT_TRUE((std::is_same_v<decltype(CLibSRLMT::sr_getevtdatap_0),
                                decltype(CLibSRLMT::sr_getevtdatap_1)>));
    Install("stub_libsrlmt", "libsrlmt");
    CLibSRLMT srl;
    ASSERT_TRUE(srl.AllFunctionsLoaded());
    EXPECT_EQ(reinterpret_cast<void*>(srl.sr_getevtdev_0),
              reinterpret_cast<void*>(srl.sr_getevtdev_1));
    EXPECT_EQ(reinterpret_cast<void*>(srl.sr_getevttype_0),
              reinterpret_cast<void*>(srl.sr_getevttype_1));
    EXPECT_EQ(reinterpret_cast<void*>(srl.sr_getevtdatap_0),
              reinterpret_cast<void*>(srl.sr_getevtdatap_1));
    EXPECT_EQ(VendorCall(&srl, &CLibSRLMT::sr_getevttype_1, 7), StubNumber("sr_getevttype"));
}

TEST_F(BindingSpecialCasesTest, AMissingTwinIsLoggedWithEachCopyNumber) {
    Install("stub_libsrlmt_no_getevtdev", "libsrlmt");
    CLibSRLMT srl;
    EXPECT_TRUE(srl.IsLoaded());
    EXPECT_FALSE(srl.AllFunctionsLoaded());
    EXPECT_THAT(Texts(), ElementsAre("sr_getevtdev 0 not loaded", "sr_getevtdev 1 not loaded"));
    EXPECT_EQ(srl.sr_getevtdev_0, nullptr);
    EXPECT_EQ(srl.sr_getevtdev_1, nullptr);
    EXPECT_NE(srl.sr_getevttype_0, nullptr);
    EXPECT_EQ(VendorCall(&srl, &CLibSRLMT::sr_getevtdev_0, 0), 0);
    EXPECT_EQ(VendorCall(&srl, &CLibSRLMT::sr_waitevt, 10), StubNumber("sr_waitevt"));
}

TEST_F(BindingSpecialCasesTest, TheOptionalConfigurationExportLeavesTheManagerComplete) {
    Install("stub_ncmapi_no_default_ip", "NCMAPI");
    CLibNCMAPI ncm;
    EXPECT_TRUE(ncm.IsLoaded());
    EXPECT_FALSE(ncm.AllFunctionsLoaded());
    EXPECT_TRUE(ncm.IsComplete());
    EXPECT_THAT(Texts(), ElementsAre("NCM_GetDefaultIPAddress not loaded"));
    EXPECT_EQ(VendorCall(&ncm, &CLibNCMAPI::NCM_GetDlgSrvStateEx, nullptr),
              StubNumber("NCM_GetDlgSrvStateEx"));
}

TEST_F(BindingSpecialCasesTest, AMissingMinimalConfigurationExportLeavesTheManagerIncomplete) {
    Install("stub_ncmapi_no_dealloc", "NCMAPI");
    CLibNCMAPI ncm;
    EXPECT_TRUE(ncm.IsLoaded());
    EXPECT_FALSE(ncm.IsComplete());
    EXPECT_FALSE(ncm.AllFunctionsLoaded());
    EXPECT_NE(ncm.NCM_GetDefaultIPAddress, nullptr);
    EXPECT_THAT(Texts(), ElementsAre("NCM_Dealloc not loaded"));
}

TEST_F(BindingSpecialCasesTest, AMissingAlarmConfigurationSetterIsNotLogged) {
    Install("stub_libgc_no_set_alarm_configuration", "libgc");
    CLibGc gc;
    EXPECT_FALSE(gc.AllFunctionsLoaded());
    EXPECT_EQ(gc.gc_SetAlarmConfiguration, nullptr);
    EXPECT_NE(gc.gc_SetAuthenticationInfo, nullptr);
    EXPECT_THAT(Texts(), IsEmpty());
}

TEST_F(BindingSpecialCasesTest, AnyOtherMissingGlobalCallExportIsLogged) {
    Install("stub_libgc_no_start", "libgc");
    CLibGc gc;
    EXPECT_FALSE(gc.AllFunctionsLoaded());
    EXPECT_THAT(Texts(), ElementsAre("gc_Start not loaded"));
}

TEST_F(BindingSpecialCasesTest, IpMediaLogsNothing) {
    Install("stub_libipm_no_reset", "libipm");
    CLibIPM ipm;
    EXPECT_TRUE(ipm.IsLoaded());
    EXPECT_FALSE(ipm.AllFunctionsLoaded());
    EXPECT_EQ(ipm.ipm_ResetQoSAlarmStatus, nullptr);
    EXPECT_NE(ipm.ipm_GetQoSAlarmStatus, nullptr);
    EXPECT_THAT(Texts(), IsEmpty());
}

TEST_F(BindingSpecialCasesTest, TheNewerNameOfAPairIsBoundAloneWhenPresent) {
    Install("stub_ting", "TiNG");
    CLibTiNG ting("TiNG.dll");
    EXPECT_TRUE(ting.AllFunctionsLoaded());
    EXPECT_NE(ting.sm_get_card_info_iPsCAte1_8_iiUiUiUicr16_, nullptr);
    EXPECT_EQ(ting.sm_get_card_info_iPsCAte1_7_iiUiUiUicr16_, nullptr);
    EXPECT_EQ(ting.CallGetCardInfo(nullptr), StubNumber(kNewerCardInfo));
    EXPECT_EQ(ting.CallConditionAdjust(nullptr), StubNumber(kNewerAdjust));
}

TEST_F(BindingSpecialCasesTest, TheOlderNameStandsInForAMissingNewerOne) {
    Install("stub_ting_older_card_info", "TiNG");
    CLibTiNG ting("TiNG.dll");
    EXPECT_TRUE(ting.AllFunctionsLoaded()) << "the flag is cleared again for the older name";
    EXPECT_EQ(ting.sm_get_card_info_iPsCAte1_8_iiUiUiUicr16_, nullptr);
    EXPECT_NE(ting.sm_get_card_info_iPsCAte1_7_iiUiUiUicr16_, nullptr);
    EXPECT_THAT(Texts(), ElementsAre(std::string(kNewerCardInfo) + " not loaded"));
    EXPECT_EQ(ting.CallGetCardInfo(nullptr), StubNumber(kOlderCardInfo));
    EXPECT_EQ(ting.CallConditionAdjust(nullptr), StubNumber(kNewerAdjust));
}

TEST_F(BindingSpecialCasesTest, TheOlderConditionAdjustStandsInAsWell) {
    Install("stub_ting_older_condition_adjust", "TiNG");
    CLibTiNG ting("TiNG.dll");
    EXPECT_TRUE(ting.AllFunctionsLoaded());
    EXPECT_EQ(ting.CallConditionAdjust(nullptr), StubNumber(kOlderAdjust));
}

TEST_F(BindingSpecialCasesTest, BothNamesOfAPairMissingLeaveTheTableIncomplete) {
    Install("stub_ting_no_card_info", "TiNG");
    CLibTiNG ting("TiNG.dll");
    EXPECT_FALSE(ting.AllFunctionsLoaded());
    EXPECT_THAT(Texts(), ElementsAre(std::string(kNewerCardInfo) + " not loaded",
                                     std::string(kOlderCardInfo) + " not loaded"));
    EXPECT_EQ(ting.CallGetCardInfo(nullptr), 0);
    EXPECT_EQ(ting.sm_condition_adjust_iPsCte1_4_i_, nullptr) << "a later pair is skipped";
    EXPECT_EQ(ting.sm_condition_adjust_iPsCte1_3_i_, nullptr);
    EXPECT_NE(ting.sm_condition_reinit_iCt, nullptr);
}

TEST_F(BindingSpecialCasesTest, AnEarlierMissingExportLeavesBothPairsUnbound) {
    Install("stub_ting_no_channel_release", "TiNG");
    CLibTiNG ting("TiNG.dll");
    EXPECT_FALSE(ting.AllFunctionsLoaded());
    EXPECT_THAT(Texts(), ElementsAre("sm_channel_release_iCt not loaded"));
    EXPECT_EQ(ting.sm_get_card_info_iPsCAte1_8_iiUiUiUicr16_, nullptr);
    EXPECT_EQ(ting.sm_get_card_info_iPsCAte1_7_iiUiUiUicr16_, nullptr);
    EXPECT_EQ(ting.sm_condition_adjust_iPsCte1_4_i_, nullptr);
    EXPECT_EQ(ting.sm_condition_adjust_iPsCte1_3_i_, nullptr);
    EXPECT_NE(ting.sm_open_module_iPsCAtUiMt_, nullptr);
    EXPECT_EQ(ting.CallGetCardInfo(nullptr), 0);
    EXPECT_EQ(ting.CallConditionAdjust(nullptr), 0);
}

class TiNGTraceTest : public VendorStubTest {
protected:
    ~TiNGTraceTest() override { foundation::g_nTraceLevel = 2; }

    template <typename T>
    static T* LibrarySymbol(const char* name) {
        EXPECT_TRUE(LoadedInProcess("TiNG"));
        return static_cast<T*>(
            platform::ExportOfLoadedModule(platform::VendorDir() / "TiNG.so", name));
    }
};

TEST_F(TiNGTraceTest, SetTraceWritesTheLevelAndTheNodesTraceFunction) {
    Install("stub_ting", "TiNG");
    CLibTiNG ting("TiNG.dll");
    int* level = LibrarySymbol<int>("TiNGtrace");
    auto* show_trace = LibrarySymbol<TiNG_SHOWTRACE>("TiNG_showtrace");
    ting.SetTrace(true);
    EXPECT_EQ(*level, 3);
    EXPECT_EQ(*show_trace, &TiNGShowTrace);
    ting.SetTrace(false);
    EXPECT_EQ(*level, 0);
    EXPECT_EQ(*show_trace, &TiNGShowTrace);
}

TEST_F(TiNGTraceTest, SetTraceDoesNothingWithoutTheTraceExports) {
    Install("stub_ting_no_trace", "TiNG");
    CLibTiNG ting("TiNG.dll");
    ting.SetTrace(true);
    EXPECT_EQ(LibrarySymbol<int>("TiNGtrace"), nullptr);
}

TEST_F(TiNGTraceTest, TheTraceFunctionLogsOnlyFromLevelFour) {
    foundation::g_nTraceLevel = 3;
    EXPECT_EQ(TiNGShowTrace("card %1!d! ready", 2), 0);
    EXPECT_THAT(Lines(), IsEmpty());
    foundation::g_nTraceLevel = 4;
    EXPECT_EQ(TiNGShowTrace("card %1!d! is %2", 2, "ready"), 0);
    ASSERT_EQ(Lines().size(), 1u);
    EXPECT_EQ(Lines()[0].kind, 0);
    EXPECT_EQ(Lines()[0].device, 666);
    EXPECT_EQ(Lines()[0].text, "card 2 is ready");
}

TEST_F(TiNGTraceTest, TheLibrarysTextIsNeverUsedAsAFormat) {
    foundation::g_nTraceLevel = 4;
    TiNGShowTrace("%1 %%s %2!s!", "100%d", "\xE9t\xE9");
    ASSERT_EQ(Lines().size(), 1u);
    EXPECT_EQ(Lines()[0].text, "100%d %s \xC3\xA9t\xC3\xA9") << "code page text becomes UTF-8";
}

}  // namespace
}  // namespace ruzd::telephony
