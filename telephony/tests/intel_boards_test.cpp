// The Intel IP board list on the simulated boards: what the enumeration logs and finds, when
// Global Call is started for the boards, how each board is opened and configured (the
// simulator's journal and the blocks it kept), the channel and board lookups, and SIP
// registration and removal through every IP call-control board.

#include "telephony/intel_boards.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "boardsim/core/command_words.h"
#include "foundation/registry.h"
#include "platform/computer_name.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "platform/win_error.h"
#include "telephony/tests/facade_fixture.h"

namespace ruzd::telephony {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::IsSupersetOf;
using ::testing::Not;
using ::testing::SizeIs;

struct Parameter {
    unsigned set_id;
    unsigned parm_id;
    std::vector<uint8_t> value;
};

// The parameters of a kept request, from "query request <id>".
std::vector<Parameter> ParametersOf(const std::string& answer) {
    std::vector<Parameter> parameters;
    std::istringstream words(answer);
    for (std::string word; words >> word;) {
        unsigned set_id = 0;
        unsigned parm_id = 0;
        int consumed = 0;
        if (std::sscanf(word.c_str(), "0x%x/0x%x=%n", &set_id, &parm_id, &consumed) != 2 ||
            consumed == 0)
            continue;
        const auto bytes = boardsim::HexBytes(word.substr(static_cast<size_t>(consumed)));
        if (bytes)
            parameters.push_back({set_id, parm_id, *bytes});
    }
    return parameters;
}

std::string Text(const std::vector<uint8_t>& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

std::optional<Parameter> Find(const std::vector<Parameter>& parameters, unsigned set_id,
                              unsigned parm_id) {
    for (const Parameter& parameter : parameters) {
        if (parameter.set_id == set_id && parameter.parm_id == parm_id)
            return parameter;
    }
    return std::nullopt;
}

// Pointers differ from run to run: each shows as P.
std::string WithoutAddresses(const std::string& line) {
    std::string shown;
    for (size_t i = 0; i < line.size();) {
        if (line.compare(i, 2, "0x") == 0 && i + 2 < line.size() &&
            std::isxdigit(static_cast<unsigned char>(line[i + 2]))) {
            i += 2;
            while (i < line.size() && std::isxdigit(static_cast<unsigned char>(line[i])))
                ++i;
            shown += 'P';
        } else {
            shown += line[i++];
        }
    }
    return shown;
}

// What the vendor's installation records about the active release.
void InstallRelease(const std::string& version, const std::string& build) {
    const std::string information = "Software\\Dialogic\\System Information";
    const auto set = [](const std::string& path, const std::string& name, const std::string& text) {
        platform::RegistryKey key;
        ASSERT_EQ(platform::RegistryKey::LocalMachine().CreateSubKey(
                      path, platform::RegAccess::kAllAccess, &key),
                  platform::kErrorSuccess);
        const std::string bytes = platform::Utf8ToUtf16leBytes(text) + std::string(2, '\0');
        ASSERT_EQ(
            key.SetValue(name, platform::kRegSz, bytes.data(), static_cast<uint32_t>(bytes.size())),
            platform::kErrorSuccess);
    };
    set(information, "ActiveSystemRelease", "HMP");
    set(information + "\\HMP", "Product Version", version);
    set(information + "\\HMP", "Build Number", build);
}

class IntelBoardsTest : public FacadeBoardsimTest {
protected:
    ~IntelBoardsTest() override {
        // The boards close through the facade, so they go first.
        boards_.reset();
        IntelBoards().Close();
        PublishHardware(nullptr);
        hardware_.reset();
    }

    // Loads the simulated boards (with the configuration written so far) behind a published
    // facade.
    TestFacade& Start() {
        hardware_ = std::make_unique<TestFacade>();
        PublishHardware(hardware_.get());
        ForgetLines();
        return *hardware_;
    }

    // The handle of an open device, -1 when the simulator has none open under the name.
    int32_t HandleOf(const std::string& name) {
        const std::string answer = Control("query device " + name);
        int32_t handle = -1;
        if (std::sscanf(answer.c_str(), "OK handle=%d", &handle) != 1)
            return -1;
        return answer.find(" open=1") != std::string::npos ? handle : -1;
    }

    int Calls(const std::string& function) {
        return std::stoi(Control("query calls " + function).substr(3));
    }

    // The journal lines of the parameter helpers and the calls that consume the blocks,
    // without addresses.
    std::vector<std::string> BlockCalls() {
        std::vector<std::string> lines;
        for (const std::string& line : Journal()) {
            const std::string call = line.substr(line.find(' ') + 1);
            if (call.rfind("gc_util_", 0) == 0 || call.rfind("gc_SetConfigData", 0) == 0 ||
                call.rfind("gc_SetAuthenticationInfo", 0) == 0 ||
                call.rfind("gc_ReqService", 0) == 0 || call.rfind("gc_OpenEx", 0) == 0 ||
                call.rfind("gc_Close", 0) == 0)
                lines.push_back(WithoutAddresses(call));
        }
        return lines;
    }

    std::unique_ptr<TestFacade> hardware_;
    std::unique_ptr<CIntelBoards> boards_ = std::make_unique<CIntelBoards>();
};

// --- Enumeration ---

TEST_F(IntelBoardsTest, EnumerationLogsEveryFamilyAndDevice) {
    WriteConfig(
        "family HMP_Software HMP_Software #0\n"
        "family DM3 DMV1200BTEP #1; DMV600BTEP #2\n"
        "address 10.1.2.3\n");
    Start();
    boards_->PrintInstalledBoards();
    EXPECT_THAT(NewTexts(),
                ElementsAre("Dialogic Installed Boards:", "\tFamilie HMP_Software:",
                            "\t\tDevice HMP_Software #0", "\t\t\tDefault IP 10.1.2.3",
                            "\tFamilie DM3:", "\t\tDevice DMV1200BTEP #1",
                            "\t\tDevice DMV600BTEP #2", "End Dialogic Installed Boards"));
    for (const LoggedLine& line : NewLines()) {
        EXPECT_EQ(line.kind, 0);
        EXPECT_EQ(line.device, 0);
    }
    EXPECT_TRUE(boards_->HasDMVBoards());
    EXPECT_EQ(boards_->GetDefaultAddress(), "10.1.2.3");
    // Both device lists and the family list are handed back.
    EXPECT_EQ(Calls("NCM_Dealloc"), 3);
    // The address is asked for the host media device, by its model name.
    EXPECT_EQ(Calls("NCM_GetDefaultIPAddress"), 1);
}

TEST_F(IntelBoardsTest, OnlyNamesThatBeginWithTheTextCount) {
    WriteConfig("family Other my DMV board; hmp lower case; Board HMP\n");
    Start();
    boards_->PrintInstalledBoards();
    EXPECT_FALSE(boards_->HasDMVBoards());
    EXPECT_EQ(Calls("NCM_GetDefaultIPAddress"), 0);
    EXPECT_EQ(boards_->GetDefaultAddress(), "");
}

TEST_F(IntelBoardsTest, EnumerationErrorsAreLoggedAndTheRestGoesOn) {
    WriteConfig("family A HMP_Software #0\nfamily B DMV1200BTEP #1\n");
    Start();
    Control("fail NCM_GetInstalledDevices 2 1");
    boards_->PrintInstalledBoards();
    EXPECT_THAT(NewTexts(), ElementsAre("Dialogic Installed Boards:", "\tFamilie A:",
                                        "CIntelBoards::PrintInstalledBoards Error 2 during "
                                        "NCM_GetInstalledDevices",
                                        "\tFamilie B:", "\t\tDevice DMV1200BTEP #1",
                                        "End Dialogic Installed Boards"));
    EXPECT_TRUE(boards_->HasDMVBoards());

    ForgetLines();
    Control("fail NCM_GetInstalledFamilies 7 1");
    boards_->PrintInstalledBoards();
    EXPECT_THAT(NewTexts(), ElementsAre("CIntelBoards::PrintInstalledBoards Error 7 during "
                                        "NCM_GetInstalledFamilies"));
}

TEST_F(IntelBoardsTest, AFailedAddressQueryLeavesTheDefaultAddressEmpty) {
    WriteConfig("family HMP_Software HMP_Software #0\naddress 10.9.9.9\n");
    Start();
    boards_->PrintInstalledBoards();
    ASSERT_EQ(boards_->GetDefaultAddress(), "10.9.9.9");
    Control("fail NCM_GetDefaultIPAddress 1");
    ForgetLines();
    boards_->PrintInstalledBoards();
    EXPECT_EQ(boards_->GetDefaultAddress(), "");
    EXPECT_THAT(NewTexts(), Not(Contains(HasSubstr("Default IP"))));
}

// --- Global Call and the boards ---

TEST_F(IntelBoardsTest, DmvDevicesStartGlobalCallBeforeAnyBoardOpens) {
    WriteConfig("family DM3 DMV1200BTEP #1\nip 1 4\n");
    TestFacade& hardware = Start();
    boards_->SetIPCallCapacity(50);
    ASSERT_TRUE(boards_->Init());
    EXPECT_TRUE(hardware.IsGlobalCallInitialised());
    EXPECT_THAT(NewTexts(),
                Contains("Switch to GlobalCall automatic because there are DMV boards."));
    EXPECT_THAT(NewTexts(),
                Not(Contains("Switch to GlobalCall automatic because there are IP boards.")));
    // Started once, with no calls for the IP board and before the first open.
    EXPECT_THAT(Control("query globalcall"), HasSubstr(" max_calls=0 "));
    std::vector<std::string> starts_and_opens;
    for (const std::string& line : Journal()) {
        if (line.find(" gc_Start(") != std::string::npos ||
            line.find(" gc_OpenEx(") != std::string::npos)
            starts_and_opens.push_back(line.substr(line.find(' ') + 1, 9));
    }
    EXPECT_THAT(starts_and_opens, ElementsAre("gc_Start(", "gc_OpenEx", "gc_OpenEx"));
}

TEST_F(IntelBoardsTest, IpBoardsStartGlobalCallWithTheCapacityAndTheDefaultAddress) {
    WriteConfig("ip 1 4\naddress 10.0.0.7\n");
    TestFacade& hardware = Start();
    boards_->SetIPCallCapacity(40);
    ASSERT_TRUE(boards_->Init());
    EXPECT_TRUE(hardware.IsGlobalCallInitialised());
    EXPECT_THAT(Control("query globalcall"), HasSubstr(" max_calls=40 "));
    EXPECT_THAT(NewTexts(),
                IsSupersetOf({"Switch to GlobalCall automatic because there are IP boards.",
                              "Number of Intel IPT Boards detected: 1, Using default address: "
                              "10.0.0.7",
                              "Number of Intel IPM Boards detected: 1"}));
    EXPECT_EQ(boards_->GetIPTBoardName(1), "10.0.0.7");
}

TEST_F(IntelBoardsTest, TheRegistryAddressAndPortOfGlobalCallNameTheBoards) {
    foundation::CRegistry registry("Orvanthella");
    registry.WriteString("HMP1_IPAddress", "127.0.0.2");
    registry.WriteDword("HMP1_Port", 5070);
    Start();
    ASSERT_TRUE(boards_->Init());
    EXPECT_EQ(boards_->GetDefaultAddress(), "127.0.0.2:5070");
    EXPECT_EQ(boards_->GetIPTBoardName(1), "127.0.0.2:5070");
}

TEST_F(IntelBoardsTest, GlobalCallAlreadyRunningIsNotStartedAgain) {
    TestFacade& hardware = Start();
    ASSERT_EQ(hardware.InitGlobalCall(0, nullptr), 1);
    ForgetLines();
    ASSERT_TRUE(boards_->Init());
    EXPECT_THAT(NewTexts(), Not(Contains(HasSubstr("Switch to GlobalCall automatic"))));
    EXPECT_EQ(Calls("gc_Start"), 1);
}

TEST_F(IntelBoardsTest, BoardsOpenUnderTheirDeviceNamesAndCountTheirChannels) {
    WriteConfig("ip 2 30\n");
    Start();
    ASSERT_TRUE(boards_->Init());
    EXPECT_EQ(boards_->GetBoardCount(CIntelBoard::kIPT), 2);
    EXPECT_EQ(boards_->GetBoardCount(CIntelBoard::kIPM), 2);
    EXPECT_EQ(boards_->GetBoardCount(2), 0);
    EXPECT_EQ(boards_->GetBoardCount(-1), 0);
    for (const char* name : {":P_IP:N_iptB1", ":P_IP:N_iptB2", ":M_ipmB1", ":M_ipmB2"})
        EXPECT_GT(HandleOf(name), 0) << name;
    EXPECT_THAT(BlockCalls(),
                Contains(HasSubstr("gc_OpenEx(P, \":P_IP:N_iptB1\", 32768, NULL) = 0")));
    EXPECT_THAT(NewTexts(), IsSupersetOf({"30 Channels on IPT Board :P_IP:N_iptB1 detected",
                                          "30 Channels on IPT Board :P_IP:N_iptB2 detected",
                                          "30 Channels on IPM Board :M_ipmB1 detected",
                                          "30 Channels on IPM Board :M_ipmB2 detected"}));
    EXPECT_EQ(boards_->GetIPTBoardHandle(1), HandleOf(":P_IP:N_iptB1"));
    EXPECT_EQ(boards_->GetIPTBoardHandle(2), HandleOf(":P_IP:N_iptB2"));
    EXPECT_EQ(boards_->GetIPTBoardHandle(3), -1);
    EXPECT_EQ(boards_->GetIPTBoardHandle(0), -1);
    EXPECT_EQ(boards_->GetIPTBoardName(3), "");
}

TEST_F(IntelBoardsTest, ChannelsAreNumberedAcrossTheBoardsOfAType) {
    WriteConfig("ip 2 30\nipm 3 10\n");
    Start();
    ASSERT_TRUE(boards_->Init());
    int32_t board = 0;
    int32_t channel = 0;
    const auto find = [&](int32_t type, int32_t number) {
        board = channel = -7;
        return boards_->FindChannel(type, number, &board, &channel);
    };
    ASSERT_TRUE(find(CIntelBoard::kIPT, 1));
    EXPECT_EQ(board, 1);
    EXPECT_EQ(channel, 1);
    ASSERT_TRUE(find(CIntelBoard::kIPT, 30));
    EXPECT_EQ(board, 1);
    EXPECT_EQ(channel, 30);
    ASSERT_TRUE(find(CIntelBoard::kIPT, 31));
    EXPECT_EQ(board, 2);
    EXPECT_EQ(channel, 1);
    ASSERT_TRUE(find(CIntelBoard::kIPT, 60));
    EXPECT_EQ(board, 2);
    EXPECT_EQ(channel, 30);
    EXPECT_FALSE(find(CIntelBoard::kIPT, 61));
    // The media boards have channels of their own.
    ASSERT_TRUE(find(CIntelBoard::kIPM, 25));
    EXPECT_EQ(board, 3);
    EXPECT_EQ(channel, 5);
    EXPECT_FALSE(find(CIntelBoard::kIPM, 31));
    // Nothing holds channel 0 or below, and other types have no channels.
    EXPECT_FALSE(find(CIntelBoard::kIPT, 0));
    EXPECT_FALSE(find(CIntelBoard::kIPT, -5));
    EXPECT_FALSE(find(2, 1));
    EXPECT_TRUE(boards_->FindChannel(CIntelBoard::kIPT, 2, nullptr, nullptr));
}

TEST_F(IntelBoardsTest, TheBoardIsConfiguredForTheSipFieldsTheNodeReads) {
    InstallRelease("3.0", "357");
    Start();
    ASSERT_TRUE(boards_->Init());
    const int32_t handle = HandleOf(":P_IP:N_iptB1");
    const std::string handle_text = std::to_string(handle);
    // In this order, after the open.
    const std::vector<std::string> calls = BlockCalls();
    std::vector<std::string> expected = {
        "gc_OpenEx(P, \":P_IP:N_iptB1\", 32768, NULL) = 0",
        "gc_util_insert_parm_val(P, 12302, 1, 1, 6) = 0",
        "gc_util_insert_parm_val(P, 12311, 2, 2, 184) = 0",
        "gc_util_insert_parm_val(P, 12313, 2, 4, 4) = 0",
        "gc_util_insert_parm_ref(P, 12313, 4, 7, P) = 0",
        "gc_util_insert_parm_ref(P, 12313, 4, 14, P) = 0",
        "gc_util_insert_parm_ref(P, 12313, 4, 8, P) = 0",
        "gc_util_insert_parm_ref(P, 12313, 4, 8, P) = 0",
        "gc_util_insert_parm_val(P, 12313, 34, 4, 1) = 0",
        "gc_SetConfigData(9, " + handle_text + ", P, 0, 0, P, 32768) = 0",
        "gc_util_delete_parm_blk(P) = void"};
    ASSERT_GE(calls.size(), expected.size());
    EXPECT_EQ(std::vector<std::string>(calls.begin(), calls.begin() + expected.size()), expected);

    // The library got the header names with their terminating zeros.
    const std::vector<Parameter> parameters = ParametersOf(Control("query request 1"));
    std::vector<std::string> headers;
    for (const Parameter& parameter : parameters) {
        if (parameter.set_id == 0x3019 && parameter.parm_id == 4)
            headers.push_back(Text(parameter.value));
    }
    EXPECT_THAT(headers, ElementsAre(std::string("Reason\0", 7), std::string("Reason-Phrase\0", 14),
                                     std::string("Call-ID\0", 8), std::string("Warning\0", 8)));
    EXPECT_THAT(Control("query request 1"), HasSubstr(" device=:P_IP:N_iptB1 target=9 "));
}

TEST_F(IntelBoardsTest, OlderReleasesDoNotDeferPendingReinvites) {
    InstallRelease("3.0", "356");
    Start();
    ASSERT_TRUE(boards_->Init());
    EXPECT_THAT(NewTexts(),
                Contains("Warning: CIPTBoard::Init -> Skipped enabling "
                         "IPPARM_DEFER_PENDING_REINVITE on :P_IP:N_iptB1, because dialogic < "
                         "HMP 3.0 SU357"));
    EXPECT_THAT(BlockCalls(), Not(Contains(HasSubstr("12313, 34,"))));
    EXPECT_FALSE(Find(ParametersOf(Control("query request 1")), 0x3019, 0x22));
    // The board is configured all the same.
    EXPECT_GT(boards_->GetIPTBoardHandle(1), 0);
}

TEST_F(IntelBoardsTest, LaterReleasesDeferWhateverTheirBuild) {
    InstallRelease("4.1", "12");
    Start();
    ASSERT_TRUE(boards_->Init());
    const std::optional<Parameter> defer =
        Find(ParametersOf(Control("query request 1")), 0x3019, 0x22);
    ASSERT_TRUE(defer);
    EXPECT_EQ(defer->value, (std::vector<uint8_t>{1, 0, 0, 0}));
}

TEST_F(IntelBoardsTest, NoReleaseInstalledSkipsTheDeferral) {
    Start();
    ASSERT_TRUE(boards_->Init());
    EXPECT_THAT(NewTexts(), Contains(HasSubstr("Skipped enabling IPPARM_DEFER_PENDING_REINVITE")));
}

TEST_F(IntelBoardsTest, AFailedConfigurationClosesTheBoardButKeepsItsNumber) {
    WriteConfig("ip 2 30\n");
    Start();
    Control("fail gc_util_insert_parm_ref -1 1");
    ASSERT_TRUE(boards_->Init());
    EXPECT_THAT(NewTexts(), Contains("Error: CIPTBoard::Init -> gc_util_insert_parm_val failed on "
                                     ":P_IP:N_iptB1 (4)"));
    EXPECT_THAT(NewTexts(), Not(Contains(HasSubstr("Channels on IPT Board :P_IP:N_iptB1"))));
    // Closed again, held without a handle or channels: board 2 keeps its number.
    EXPECT_EQ(HandleOf(":P_IP:N_iptB1"), -1);
    EXPECT_EQ(Calls("gc_Close"), 1);
    EXPECT_EQ(boards_->GetBoardCount(CIntelBoard::kIPT), 2);
    EXPECT_EQ(boards_->GetIPTBoardHandle(1), 0);
    EXPECT_EQ(boards_->GetIPTBoardHandle(2), HandleOf(":P_IP:N_iptB2"));
    int32_t board = 0;
    int32_t channel = 0;
    ASSERT_TRUE(boards_->FindChannel(CIntelBoard::kIPT, 1, &board, &channel));
    EXPECT_EQ(board, 2);
    EXPECT_EQ(channel, 1);
    // Both boards' blocks were deleted, the failed one's too.
    EXPECT_EQ(Calls("gc_util_delete_parm_blk"), 2);
}

TEST_F(IntelBoardsTest, EachFailingStepOfTheConfigurationIsNamed) {
    InstallRelease("3.0", "357");
    // The commands make one insert fail after so many good ones.
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"fail gc_util_insert_parm_val -1 1 0", ""},
        {"fail gc_util_insert_parm_val -1 1 1", " (2)"},
        {"fail gc_util_insert_parm_val -1 1 2", " (3)"},
        {"fail gc_util_insert_parm_ref -1 1 1", " (5)"},
        {"fail gc_util_insert_parm_ref -1 1 2", " (6)"},
        {"fail gc_util_insert_parm_ref -1 1 3", " (7)"},
        {"fail gc_util_insert_parm_val -1 1 3", " (8)"},
    };
    for (const auto& [command, suffix] : cases) {
        SCOPED_TRACE(command);
        Start();
        ASSERT_EQ(hardware_->InitGlobalCall(0, nullptr), 1);
        ASSERT_EQ(Control(command), "OK");
        CIntelBoards boards;
        ASSERT_TRUE(boards.Init());
        const std::string message =
            "Error: CIPTBoard::Init -> gc_util_insert_parm_val failed on :P_IP:N_iptB1" + suffix;
        EXPECT_THAT(NewTexts(), Contains(message));
        for (const LoggedLine& line : NewLines()) {
            if (line.text == message) {
                EXPECT_EQ(line.kind, 6);
            }
        }
        EXPECT_EQ(boards.GetIPTBoardHandle(1), 0);
        EXPECT_EQ(Calls("gc_SetConfigData"), 0);
        EXPECT_EQ(Calls("gc_Close"), 1);
        boards.Close();
        PublishHardware(nullptr);
        hardware_.reset();
    }
}

TEST_F(IntelBoardsTest, AFailedConfigDataClosesTheBoard) {
    Start();
    Control("fail gc_SetConfigData -1 1");
    ASSERT_TRUE(boards_->Init());
    EXPECT_THAT(NewTexts(),
                Contains("Error: CIPTBoard::Init -> gc_SetConfigData failed on :P_IP:N_iptB1"));
    EXPECT_EQ(boards_->GetIPTBoardHandle(1), 0);
    EXPECT_EQ(HandleOf(":P_IP:N_iptB1"), -1);
    EXPECT_EQ(Calls("gc_util_delete_parm_blk"), 1);
}

TEST_F(IntelBoardsTest, AFailedOpenIsLoggedAndTheBoardHeldWithoutAHandle) {
    Start();
    ASSERT_EQ(hardware_->InitGlobalCall(0, nullptr), 1);
    Control("fail gc_OpenEx -1 2");
    ASSERT_TRUE(boards_->Init());
    EXPECT_THAT(NewTexts(),
                IsSupersetOf({"Error: CIPTBoard::Init -> gc_OpenEx failed to get IPT board handle "
                              "for :P_IP:N_iptB1",
                              "Error: CIPMBoard::Init -> gc_OpenEx failed to get IPM board handle "
                              "for :M_ipmB1"}));
    EXPECT_EQ(Calls("gc_util_insert_parm_val"), 0);
    EXPECT_EQ(boards_->GetBoardCount(CIntelBoard::kIPT), 1);
    EXPECT_EQ(boards_->GetBoardCount(CIntelBoard::kIPM), 1);
    EXPECT_EQ(boards_->GetIPTBoardHandle(1), 0);
    EXPECT_FALSE(boards_->FindChannel(CIntelBoard::kIPM, 1, nullptr, nullptr));
    // Nothing to close.
    boards_->Close();
    EXPECT_EQ(Calls("gc_Close"), 0);
}

TEST_F(IntelBoardsTest, BoardCountErrorsLeaveNoBoards) {
    Start();
    Control("fail sr_getboardcnt 5");
    EXPECT_TRUE(boards_->Init());
    EXPECT_THAT(NewTexts(), IsSupersetOf({"CIntelBoards::Init() Error 5 in GetIPTBoardCount",
                                          "CIntelBoards::Init() Error 5 in GetIPMBoardCount"}));
    EXPECT_EQ(boards_->GetBoardCount(CIntelBoard::kIPT), 0);
    EXPECT_EQ(boards_->GetBoardCount(CIntelBoard::kIPM), 0);
    EXPECT_FALSE(hardware_->IsGlobalCallInitialised());
}

TEST_F(IntelBoardsTest, ASecondInitOnlyAddsWhatIsNotHeldAndCloseEmptiesTheList) {
    Start();
    ASSERT_TRUE(boards_->Init());
    ASSERT_TRUE(boards_->Init());
    EXPECT_EQ(Calls("gc_OpenEx"), 2);
    EXPECT_EQ(boards_->GetBoardCount(CIntelBoard::kIPT), 1);

    boards_->Close();
    EXPECT_EQ(boards_->GetBoardCount(CIntelBoard::kIPT), 0);
    EXPECT_EQ(boards_->GetBoardCount(CIntelBoard::kIPM), 0);
    EXPECT_EQ(HandleOf(":P_IP:N_iptB1"), -1);
    EXPECT_EQ(HandleOf(":M_ipmB1"), -1);
    EXPECT_EQ(Calls("gc_Close"), 2);

    ASSERT_TRUE(boards_->Init());
    EXPECT_EQ(Calls("gc_OpenEx"), 4);
    EXPECT_GT(HandleOf(":P_IP:N_iptB1"), 0);
}

TEST_F(IntelBoardsTest, WithoutAFacadeThereIsNothingToOpen) {
    EXPECT_FALSE(boards_->Init());
    EXPECT_THAT(NewTexts(),
                ElementsAre("CIntelBoards::Init() failed because dialogic is not loaded."));
}

TEST_F(IntelBoardsTest, WithoutTheDialogicLibrariesInitFailsAfterTheEnumerationAttempt) {
    const ::ruzd::testing::TempDir empty;
    UseVendorFolder(empty.path());
    TestFacade& hardware = Start();
    ASSERT_FALSE(hardware.IsIntelAvailable());
    EXPECT_FALSE(boards_->Init());
    EXPECT_THAT(NewTexts(),
                IsSupersetOf({"CIntelBoards::PrintInstalledBoards Error -1 during "
                              "NCM_GetInstalledFamilies",
                              "CIntelBoards::Init() failed because dialogic is not loaded."}));
    EXPECT_THAT(NewTexts(), Not(Contains(HasSubstr("Switch to GlobalCall"))));
    EXPECT_EQ(boards_->GetBoardCount(CIntelBoard::kIPT), 0);
}

// --- The facade's operations over the process-wide list ---

TEST_F(IntelBoardsTest, TheFacadeKnowsWhetherBothKindsOfBoardAreThere) {
    TestFacade& hardware = Start();
    EXPECT_FALSE(hardware.HasIntelIPBoards(0));
    ASSERT_TRUE(IntelBoards().Init());
    EXPECT_TRUE(hardware.HasIntelIPBoards(0));
    IntelBoards().Close();
    EXPECT_FALSE(hardware.HasIntelIPBoards(0));
}

TEST_F(IntelBoardsTest, CallControlBoardsWithoutMediaBoardsAreNotEnough) {
    WriteConfig("ip 1 4\nipm 0 0\n");
    TestFacade& hardware = Start();
    ASSERT_TRUE(IntelBoards().Init());
    EXPECT_EQ(IntelBoards().GetBoardCount(CIntelBoard::kIPT), 1);
    EXPECT_FALSE(hardware.HasIntelIPBoards(0));
}

// --- SIP registration ---

class SipRegistrationTest : public IntelBoardsTest {
protected:
    void SetUp() override {
        WriteConfig("ip 2 4\n");
        Start();
        ASSERT_TRUE(IntelBoards().Init());
    }

    std::vector<uint32_t> Register(const std::string& user, const std::string* local_host,
                                   const std::string& domain = "example.com") {
        const std::string server = "registrar.example";
        const std::string password = "secret";
        std::vector<uint32_t> results = {77};
        hardware_->SipRegister(&results, &server, &domain, &user, &password, local_host, 3600);
        return results;
    }

    IP_REGISTER_ADDRESS RegistrationOf(uint32_t id) {
        IP_REGISTER_ADDRESS registration{};
        const std::optional<Parameter> parameter =
            Find(ParametersOf(Control("query request " + std::to_string(id))), 0x3016, 3);
        EXPECT_TRUE(parameter);
        if (parameter && parameter->value.size() == sizeof registration)
            std::memcpy(&registration, parameter->value.data(), sizeof registration);
        return registration;
    }

    std::string AliasOf(uint32_t id) {
        const std::optional<Parameter> parameter =
            Find(ParametersOf(Control("query request " + std::to_string(id))), 0x3001, 0);
        return parameter ? Text(parameter->value) : "<none>";
    }
};

TEST_F(SipRegistrationTest, AUserWithAColonRegistersItsUserPartInTheDomain) {
    const std::string local_host = "pbx.local";
    const std::vector<uint32_t> results = Register("alice:1001", &local_host);
    ASSERT_THAT(results, SizeIs(2));
    EXPECT_NE(results[0], 0u);
    EXPECT_NE(results[1], 0u);
    EXPECT_NE(results[0], results[1]);

    const std::string request = Control("query request " + std::to_string(results[0]));
    EXPECT_THAT(request, HasSubstr(" function=gc_ReqService device=:P_IP:N_iptB1 target=9 "));
    const std::vector<Parameter> parameters = ParametersOf(request);
    ASSERT_THAT(parameters, SizeIs(6));
    EXPECT_EQ(parameters[0].set_id, 0x1006u);
    EXPECT_EQ(parameters[0].parm_id, 2u);
    EXPECT_EQ(parameters[0].value, std::vector<uint8_t>{1});
    EXPECT_EQ(parameters[1].parm_id, 3u);
    EXPECT_EQ(parameters[2].set_id, 0x3018u);
    EXPECT_EQ(parameters[3].set_id, 0x3016u);
    EXPECT_EQ(parameters[3].parm_id, 1u);
    EXPECT_EQ(parameters[3].value, std::vector<uint8_t>{1});

    const IP_REGISTER_ADDRESS registration = RegistrationOf(results[0]);
    EXPECT_STREQ(registration.reg_client, "sip:1001@example.com:5060");
    EXPECT_STREQ(registration.reg_server, "example.com");
    EXPECT_EQ(registration.time_to_live, 3600);
    EXPECT_EQ(registration.max_hops, 70);
    EXPECT_EQ(AliasOf(results[0]), std::string("sip:alice@pbx.local:5060\0", 25));

    // The authentication name is the part before the colon, the realm the server.
    EXPECT_EQ(Control("query auth :P_IP:N_iptB1"),
              "OK realm=registrar.example identity= user=alice password=secret");
    EXPECT_EQ(Control("query auth :P_IP:N_iptB2"),
              "OK realm=registrar.example identity= user=alice password=secret");
    EXPECT_THAT(Control("query request " + std::to_string(results[1])),
                HasSubstr(" device=:P_IP:N_iptB2 "));
}

TEST_F(SipRegistrationTest, AUserWithoutAColonRegistersAtTheServer) {
    const std::string local_host = "pbx.local";
    const std::vector<uint32_t> results = Register("bob", &local_host);
    ASSERT_THAT(results, SizeIs(2));
    EXPECT_STREQ(RegistrationOf(results[0]).reg_client, "sip:bob@registrar.example:5060");
    EXPECT_STREQ(RegistrationOf(results[0]).reg_server, "example.com");
    EXPECT_EQ(AliasOf(results[0]), std::string("sip:bob@pbx.local:5060\0", 23));
    EXPECT_EQ(Control("query auth :P_IP:N_iptB1"),
              "OK realm=registrar.example identity= user=bob password=secret");
}

TEST_F(SipRegistrationTest, WithoutALocalHostTheContactNamesThisMachine) {
    const std::optional<std::string> host = platform::HostName();
    ASSERT_TRUE(host);
    const std::string expected = "sip:bob@" + *host + ":5060";
    const std::string empty;
    EXPECT_EQ(AliasOf(Register("bob", &empty)[0]), expected + '\0');
    EXPECT_EQ(AliasOf(Register("bob", nullptr)[0]), expected + '\0');
}

TEST_F(SipRegistrationTest, LongTextsAreCutToTheRecordsFields) {
    const std::string local_host(300, 'h');
    const std::string domain(100, 'd');
    const uint32_t id = Register("bob:" + std::string(200, 'u'), &local_host, domain)[0];
    const IP_REGISTER_ADDRESS registration = RegistrationOf(id);
    EXPECT_EQ(std::string(registration.reg_client, strnlen(registration.reg_client, 128)),
              ("sip:" + std::string(200, 'u')).substr(0, 127));
    EXPECT_EQ(std::string(registration.reg_server, strnlen(registration.reg_server, 64)),
              std::string(63, 'd'));
    const std::string alias = AliasOf(id);
    EXPECT_EQ(alias, ("sip:bob@" + std::string(300, 'h')).substr(0, 127) + '\0');
}

TEST_F(SipRegistrationTest, AMissingTextLeavesTheListAsItIs) {
    const std::string text = "x";
    std::vector<uint32_t> results = {5, 6};
    hardware_->SipRegister(&results, nullptr, &text, &text, &text, &text, 60);
    hardware_->SipRegister(&results, &text, nullptr, &text, &text, &text, 60);
    hardware_->SipRegister(&results, &text, &text, nullptr, &text, &text, 60);
    hardware_->SipRegister(&results, &text, &text, &text, nullptr, &text, 60);
    EXPECT_THAT(results, ElementsAre(5u, 6u));
    EXPECT_EQ(Calls("gc_ReqService"), 0);
    EXPECT_EQ(Calls("gc_SetAuthenticationInfo"), 0);
}

TEST_F(SipRegistrationTest, WithoutGlobalCallNothingIsSent) {
    ASSERT_EQ(hardware_->gc_Stop(), 0);
    ForgetLines();
    const std::string empty;
    EXPECT_THAT(Register("bob", &empty), ElementsAre(0u, 0u));
    EXPECT_THAT(NewTexts(),
                ElementsAre("SipRegister not succeeded because Global Call is not initialised.",
                            "SipRegister not succeeded because Global Call is not initialised."));
    EXPECT_EQ(Calls("gc_SetAuthenticationInfo"), 0);

    ForgetLines();
    hardware_->SipUnregisterAll();
    EXPECT_THAT(NewTexts(), Contains("SipUnregisterAll not succeeded because Global Call is not "
                                     "initialised."));
    EXPECT_TRUE(IntelBoards().IsPendingRequest(0));
}

TEST_F(SipRegistrationTest, AFailingBoardGivesNoRequestAndTheNextGoesOn) {
    const std::string local_host = "pbx";
    Control("fail gc_SetAuthenticationInfo -1 1");
    std::vector<uint32_t> results = Register("bob", &local_host);
    ASSERT_THAT(results, SizeIs(2));
    EXPECT_EQ(results[0], 0u);
    EXPECT_NE(results[1], 0u);
    EXPECT_THAT(NewTexts(), Contains("Error Set Auth Info"));

    ForgetLines();
    Control("fail gc_ReqService -1 1");
    results = Register("bob", &local_host);
    EXPECT_EQ(results[0], 0u);
    EXPECT_NE(results[1], 0u);
    EXPECT_THAT(NewTexts(), Contains("CIntelIPTBoard::SipRegister error ReqService"));

    ForgetLines();
    Control("fail gc_util_insert_parm_val -1 1");
    results = Register("bob", &local_host);
    EXPECT_EQ(results[0], 0u);
    EXPECT_THAT(NewTexts(), Contains("CIntelIPTBoard::SipRegister error insert reqtype"));

    ForgetLines();
    Control("fail gc_util_insert_parm_ref -1 1 1");  // the address record after the authentication
    results = Register("bob", &local_host);
    EXPECT_EQ(results[0], 0u);
    EXPECT_NE(results[1], 0u);
    EXPECT_THAT(NewTexts(), Contains("CIntelIPTBoard::SipRegister error insert reg adress"));
}

TEST_F(SipRegistrationTest, UnregisteringRemembersThePendingRequests) {
    hardware_->SipUnregisterAll();
    std::vector<uint32_t> first;
    for (uint32_t id = 1; id < 100; ++id) {
        if (IntelBoards().IsPendingRequest(id))
            first.push_back(id);
    }
    ASSERT_THAT(first, SizeIs(2));
    const std::vector<Parameter> parameters =
        ParametersOf(Control("query request " + std::to_string(first[0])));
    ASSERT_THAT(parameters, SizeIs(4));
    EXPECT_EQ(parameters[3].set_id, 0x3016u);
    EXPECT_EQ(parameters[3].parm_id, 2u);
    EXPECT_EQ(parameters[3].value, std::vector<uint8_t>{5});

    // The next removal replaces them.
    hardware_->SipUnregisterAll();
    EXPECT_FALSE(IntelBoards().IsPendingRequest(first[0]));
    EXPECT_FALSE(IntelBoards().IsPendingRequest(first[1]));
    EXPECT_TRUE(IntelBoards().IsPendingRequest(first[1] + 1));
    EXPECT_TRUE(IntelBoards().IsPendingRequest(first[1] + 2));
}

}  // namespace
}  // namespace ruzd::telephony
