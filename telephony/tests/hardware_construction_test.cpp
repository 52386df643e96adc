// The facade's loading chain: the order of the libraries, what each failure shows, logs and
// switches off, the fatal end without any vendor path, the Aculab path that stays off, and
// the process-wide facade pointer.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "platform/loaded_modules.h"
#include "platform/root.h"
#include "telephony/tests/facade_fixture.h"

namespace ruzd::telephony {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

class HardwareConstructionTest : public FacadeTest {
protected:
    // Whether each library the node loads is in the process, in chain order.
    static std::vector<bool> LoadedLibraries() {
        std::vector<bool> loaded;
        for (const char* library : {"libgc", "libsrlmt", "libipm", "libdxxmt", "libdtimt",
                                    "libecmt", "XDSlibsc", "NCMAPI"})
            loaded.push_back(LoadedInProcess(library));
        return loaded;
    }

    // The lines the chain itself wrote: without the build line and the binding's own lines.
    std::vector<std::string> ChainTexts() {
        std::vector<std::string> texts;
        for (const std::string& text : Texts()) {
            if (text.rfind("Built against", 0) != 0 &&
                text.find(" not loaded") == std::string::npos)
                texts.push_back(text);
        }
        return texts;
    }
};

TEST_F(HardwareConstructionTest, EveryLibraryPresentMakesBothPathsAvailableWithoutAWord) {
    InstallDialogic();
    TestFacade hardware;
    EXPECT_TRUE(hardware.IsIntelAvailable());
    EXPECT_TRUE(hardware.IsAmtelcoAvailable());
    EXPECT_FALSE(hardware.IsAculabAvailable());
    EXPECT_FALSE(hardware.IsGlobalCallInitialised());
    EXPECT_FALSE(hardware.IsGlobalCallOnlyMode());
    EXPECT_EQ(hardware.GetCreatorThreadId(), TestFacade::kCreatorThread);
    EXPECT_THAT(LoadedLibraries(), Not(Contains(false)));
    EXPECT_THAT(Boxes(), IsEmpty());
    EXPECT_THAT(ChainTexts(), IsEmpty());
    EXPECT_EQ(CloseRequests(), 0);
}

TEST_F(HardwareConstructionTest, TheBuildLineNamesTheLibraryTheProgramWasBuiltAgainst) {
    InstallDialogic();
    TestFacade hardware;
    const std::vector<LoggedLine> lines = Lines();
    ASSERT_FALSE(lines.empty());
    EXPECT_THAT(lines.front().text, HasSubstr("libstdc++"));
    EXPECT_EQ(lines.front().kind, 0);
    EXPECT_EQ(lines.front().device, 0);
}

TEST_F(HardwareConstructionTest, WithoutGlobalCallNothingElseLoadsAndTheNodeEndsWithError30) {
    InstallDialogic();
    std::filesystem::remove(platform::VendorDir() / "libgc.so");
    TestFacade hardware;
    EXPECT_THAT(BoxTexts(), ElementsAre("Could not load libgc.dll", "Error 30"));
    for (const ShownBox& box : Boxes()) {
        EXPECT_EQ(box.caption, "Pelwix");
        EXPECT_EQ(box.style, platform::kMbOk);
    }
    EXPECT_EQ(CloseRequests(), 1);
    EXPECT_FALSE(hardware.IsIntelAvailable());
    EXPECT_FALSE(hardware.IsAmtelcoAvailable());
    EXPECT_THAT(LoadedLibraries(), Not(Contains(true)));
    EXPECT_THAT(ChainTexts(), IsEmpty());
}

TEST_F(HardwareConstructionTest, AGlobalCallLibraryLackingAnExportOnlySwitchesGlobalCallOff) {
    InstallDialogic();
    Install("stub_libgc_no_start", "libgc");
    TestFacade hardware;
    EXPECT_THAT(ChainTexts(),
                ElementsAre("WARNING Could not load one of the functions declared in libgc.dll. "
                            "No Dialogic VOIP possible."));
    EXPECT_THAT(Boxes(), IsEmpty());
    EXPECT_TRUE(hardware.IsIntelAvailable());
    EXPECT_TRUE(hardware.IsAmtelcoAvailable());
    EXPECT_THAT(LoadedLibraries(), ElementsAre(false, true, true, true, true, true, true, true));
    // Without its table Global Call answers nothing, even once marked started.
    hardware.SetGlobalCallInitialised(true);
    EXPECT_EQ(hardware.gc_Start(nullptr), 0);
}

TEST_F(HardwareConstructionTest, WithoutTheEventLibraryTheChainStopsThere) {
    InstallDialogic();
    std::filesystem::remove(platform::VendorDir() / "libsrlmt.so");
    TestFacade hardware;
    EXPECT_THAT(BoxTexts(), ElementsAre("Could not load libsrlmt.dll", "Error 30"));
    EXPECT_THAT(ChainTexts(), ElementsAre("Could not load intel/dialogic libsrlmt.dll"));
    EXPECT_FALSE(hardware.IsIntelAvailable());
    EXPECT_THAT(LoadedLibraries(),
                ElementsAre(true, false, false, false, false, false, false, false));
}

TEST_F(HardwareConstructionTest, AnIncompleteEventLibraryStopsTheChainWithABox) {
    InstallDialogic();
    Install("stub_libsrlmt_no_getevtdev", "libsrlmt");
    TestFacade hardware;
    EXPECT_THAT(BoxTexts(), ElementsAre("Could not load one of the functions declared in "
                                        "libsrlmt.dll",
                                        "Error 30"));
    EXPECT_THAT(ChainTexts(), IsEmpty());
    EXPECT_FALSE(hardware.IsIntelAvailable());
    EXPECT_THAT(LoadedLibraries(),
                ElementsAre(true, true, false, false, false, false, false, false));
}

// The four libraries after the event library: a missing or incomplete one shows its box, ends
// the Dialogic path and keeps every later library unloaded.
TEST_F(HardwareConstructionTest, EachRequiredLibraryStopsTheChainWhenMissingOrIncomplete) {
    const std::vector<std::tuple<std::string, std::string, size_t>> rows = {
        {"libipm", "stub_libipm_no_reset", 2},
        {"libdxxmt", "stub_libdxxmt_no_dial", 3},
        {"libdtimt", "stub_libdtimt_no_dt_open", 4},
        {"libecmt", "stub_libecmt_no_stream", 5},
    };
    for (const auto& [library, incomplete_stub, position] : rows) {
        for (bool incomplete : {false, true}) {
            SCOPED_TRACE(library + (incomplete ? " incomplete" : " missing"));
            InstallDialogic();
            if (incomplete) {
                Install(incomplete_stub, library);
            } else {
                std::filesystem::remove(platform::VendorDir() / (library + ".so"));
            }
            ForgetBoxes();
            {
                TestFacade hardware;
                const std::string box =
                    (incomplete ? "Could not load one of the functions declared in "
                                : "Could not load ") +
                    library + ".dll";
                EXPECT_THAT(BoxTexts(), ElementsAre(box, "Error 30"));
                EXPECT_FALSE(hardware.IsIntelAvailable());
                EXPECT_FALSE(hardware.IsAmtelcoAvailable());
                std::vector<bool> expected(8, false);
                for (size_t i = 0; i < position; ++i)
                    expected[i] = true;
                expected[position] = incomplete;
                EXPECT_EQ(LoadedLibraries(), expected);
            }
            EXPECT_THAT(LoadedLibraries(), Not(Contains(true)));
        }
    }
    EXPECT_EQ(CloseRequests(), 8);
}

TEST_F(HardwareConstructionTest, WithoutTheAmtelcoLibraryOnlyAmtelcoIsOff) {
    InstallDialogic();
    std::filesystem::remove(platform::VendorDir() / "XDSlibsc.so");
    TestFacade hardware;
    EXPECT_THAT(ChainTexts(),
                ElementsAre("Could not load XDSlibsc.dll\nAmtelco traffic is disabled"));
    EXPECT_THAT(Boxes(), IsEmpty());
    EXPECT_TRUE(hardware.IsIntelAvailable());
    EXPECT_FALSE(hardware.IsAmtelcoAvailable());
    EXPECT_TRUE(LoadedInProcess("NCMAPI"));
    EXPECT_EQ(hardware.xds_board_reset(1), -1);
}

TEST_F(HardwareConstructionTest, AnIncompleteAmtelcoLibraryIsShownAndLetGo) {
    InstallDialogic();
    Install("stub_xdslibsc_no_id", "XDSlibsc");
    TestFacade hardware;
    EXPECT_THAT(BoxTexts(), ElementsAre("Could not load one of the functions declared in "
                                        "XDSlibsc.dll\nAmtelco traffic is disabled"));
    EXPECT_TRUE(hardware.IsIntelAvailable());
    EXPECT_FALSE(hardware.IsAmtelcoAvailable());
    EXPECT_FALSE(LoadedInProcess("XDSlibsc"));
    EXPECT_TRUE(LoadedInProcess("NCMAPI"));
    EXPECT_EQ(CloseRequests(), 0);
}

TEST_F(HardwareConstructionTest, TheConfigurationManagerIsJudgedByItsMinimalSet) {
    InstallDialogic();
    std::filesystem::remove(platform::VendorDir() / "NCMAPI.so");
    {
        TestFacade hardware;
        EXPECT_THAT(BoxTexts(), ElementsAre("Could not load NCMAPI.dll", "Error 30"));
        EXPECT_FALSE(hardware.IsIntelAvailable());
        // The tables before it stay; Amtelco was loaded before the chain broke.
        EXPECT_TRUE(hardware.IsAmtelcoAvailable());
    }
    ForgetBoxes();
    Install("stub_ncmapi_no_dealloc", "NCMAPI");
    {
        TestFacade hardware;
        EXPECT_THAT(BoxTexts(), ElementsAre("Could not load one of the minimal required functions "
                                            "declared in NCMAPI.dll",
                                            "Error 30"));
        EXPECT_FALSE(hardware.IsIntelAvailable());
    }
    ForgetBoxes();
    Install("stub_ncmapi_no_default_ip", "NCMAPI");
    {
        TestFacade hardware;
        EXPECT_THAT(Boxes(), IsEmpty());
        EXPECT_TRUE(hardware.IsIntelAvailable());
    }
}

TEST_F(HardwareConstructionTest, DestroyingTheFacadeFreesEveryLibrary) {
    InstallDialogic();
    {
        TestFacade hardware;
        EXPECT_THAT(LoadedLibraries(), Not(Contains(false)));
    }
    EXPECT_THAT(LoadedLibraries(), Not(Contains(true)));
}

TEST_F(HardwareConstructionTest, TheAculabLibrariesAreNeverLoadedInTheNode) {
    InstallDialogic();
    InstallAculab();
    TestFacade hardware;
    EXPECT_FALSE(hardware.IsAculabAvailable());
    for (const char* library : {"CL_Lib", "Res_Lib", "SW_Lib", "IpTel_Lib", "TiNG"})
        EXPECT_FALSE(LoadedInProcess(library)) << library;
    hardware.SetAculabTrace(true);  // nothing to switch
    EXPECT_THAT(Boxes(), IsEmpty());
}

TEST_F(HardwareConstructionTest, SwitchedOnTheAculabPathLoadsItsFiveLibrariesAndTheTraceHook) {
    InstallDialogic();
    InstallAculab();
    TestFacade hardware(CHardware::AculabPath::kSwitchedOnForTests);
    EXPECT_TRUE(hardware.IsAculabAvailable());
    EXPECT_TRUE(hardware.IsIntelAvailable());
    for (const char* library : {"CL_Lib", "Res_Lib", "SW_Lib", "IpTel_Lib", "TiNG"})
        EXPECT_TRUE(LoadedInProcess(library)) << library;
    EXPECT_THAT(Boxes(), IsEmpty());

    ASSERT_TRUE(platform::IsModuleLoaded(platform::VendorDir() / "TiNG.so"));
    auto* level = static_cast<int*>(
        platform::ExportOfLoadedModule(platform::VendorDir() / "TiNG.so", "TiNGtrace"));
    ASSERT_NE(level, nullptr);
    hardware.SetAculabTrace(true);
    EXPECT_EQ(*level, 3);
    hardware.SetAculabTrace(false);
    EXPECT_EQ(*level, 0);
}

TEST_F(HardwareConstructionTest, AMissingAculabLibraryIsOnlyLoggedWhileDialogicWorks) {
    InstallDialogic();
    InstallAculab();
    std::filesystem::remove(platform::VendorDir() / "SW_Lib.so");
    TestFacade hardware(CHardware::AculabPath::kSwitchedOnForTests);
    EXPECT_FALSE(hardware.IsAculabAvailable());
    EXPECT_TRUE(hardware.IsIntelAvailable());
    EXPECT_THAT(Boxes(), IsEmpty());
    EXPECT_THAT(ChainTexts(), ElementsAre("Could not load Aculab SW_Lib.dll"));
    // The chain stopped at the switch library.
    EXPECT_TRUE(LoadedInProcess("Res_Lib"));
    EXPECT_FALSE(LoadedInProcess("IpTel_Lib"));
    EXPECT_FALSE(LoadedInProcess("TiNG"));
}

TEST_F(HardwareConstructionTest, WithoutEitherPathTheAculabFailureIsShownToo) {
    InstallAculab();
    std::filesystem::remove(platform::VendorDir() / "CL_Lib.so");
    TestFacade hardware(CHardware::AculabPath::kSwitchedOnForTests);
    EXPECT_THAT(BoxTexts(),
                ElementsAre("Could not load libgc.dll", "Could not load CL_Lib.dll", "Error 30"));
    EXPECT_THAT(ChainTexts(), ElementsAre("Could not load Aculab CL_Lib.dll"));
    EXPECT_FALSE(hardware.IsAculabAvailable());
    EXPECT_EQ(CloseRequests(), 1);
}

TEST_F(HardwareConstructionTest, AnIncompleteAculabLibraryIsShown) {
    InstallDialogic();
    InstallAculab();
    Install("stub_res_lib_no_open_card", "Res_Lib");
    TestFacade hardware(CHardware::AculabPath::kSwitchedOnForTests);
    EXPECT_THAT(BoxTexts(), ElementsAre("Could not load one of the functions declared in "
                                        "Res_Lib.dll"));
    EXPECT_FALSE(hardware.IsAculabAvailable());
    EXPECT_FALSE(LoadedInProcess("SW_Lib"));
    EXPECT_EQ(CloseRequests(), 0);
}

TEST_F(HardwareConstructionTest, AculabAloneKeepsTheNodeAlive) {
    InstallAculab();
    TestFacade hardware(CHardware::AculabPath::kSwitchedOnForTests);
    EXPECT_THAT(BoxTexts(), ElementsAre("Could not load libgc.dll"));
    EXPECT_FALSE(hardware.IsIntelAvailable());
    EXPECT_TRUE(hardware.IsAculabAvailable());
    EXPECT_EQ(CloseRequests(), 0);
}

TEST_F(HardwareConstructionTest, GlobalCallOnlyLoadsNothingElse) {
    InstallDialogic();
    {
        TestFacade hardware(CHardware::AculabPath::kSwitchedOff, true);
        EXPECT_TRUE(hardware.IsGlobalCallOnlyMode());
        EXPECT_TRUE(hardware.IsIntelAvailable());
        EXPECT_THAT(LoadedLibraries(),
                    ElementsAre(true, false, false, false, false, false, false, false));
        EXPECT_THAT(ChainTexts(), IsEmpty());
    }
    std::filesystem::remove(platform::VendorDir() / "libgc.so");
    {
        TestFacade hardware(CHardware::AculabPath::kSwitchedOff, true);
        EXPECT_THAT(
            ChainTexts(),
            ElementsAre("WARNING Could not load libgc.dll. Using my_gc_util imlementations"));
        EXPECT_TRUE(hardware.IsIntelAvailable());
        EXPECT_THAT(Boxes(), IsEmpty());
    }
}

TEST_F(HardwareConstructionTest, TheFacadeIsPublishedForTheWholeProcess) {
    EXPECT_EQ(PublishedHardware(), nullptr);
    InstallDialogic();
    TestFacade hardware;
    PublishHardware(&hardware);
    EXPECT_EQ(PublishedHardware(), &hardware);
    PublishHardware(nullptr);
    EXPECT_EQ(PublishedHardware(), nullptr);
}

}  // namespace
}  // namespace ruzd::telephony
