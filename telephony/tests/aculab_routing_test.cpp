// The Aculab half of the bus routing on the simulated Aculab libraries, with the path switched
// on in the test: the card inventory, the pool of bus slots of each bus mode, borrowing and
// giving back, the switch records of listening, the checks against the Dialogic bus set-up and
// reserved slots, and the detailed Aculab trace.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <stdexcept>
#include <string>
#include <thread>

#include "foundation/trace.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "platform/win_error.h"
#include "platform/win_path.h"
#include "telephony/aculab_cards.h"
#include "telephony/aculab_trace.h"
#include "telephony/bus_resource_pool.h"
#include "telephony/tdm_routing.h"
#include "telephony/tdm_time_slots.h"
#include "telephony/tests/routing_fixture.h"
#include "telephony/vmp_contexts.h"

namespace ruzd::telephony {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::MatchesRegex;
using ::testing::Not;

constexpr int32_t kIpHandle = 10001;
constexpr int32_t kDtiHandle = 10002;
// The simulated library's id of the first card in its configuration.
constexpr int32_t kFirstCardId = 0x4000;

class AculabRoutingTest : public RoutingTest {
protected:
    ~AculabRoutingTest() override {
        CloseAllAculabCards();
        FreeBusResources();
        foundation::g_nTraceLevel = 2;
    }

    // The boards with Aculab cards (and the Dialogic bus of `bus`), the cards opened and the
    // pool built as the manager does it.
    void OpenCards(const std::string& cards, const std::string& bus = "bus H.100 ALaw\n") {
        Load("voice 1 1\nnetwork 1 1\nstation 1 1\nip 0 0\n" + bus + cards,
             CHardware::AculabPath::kSwitchedOnForTests);
        ASSERT_TRUE(hardware_->IsAculabAvailable());
        ASSERT_TRUE(SystemSnapShot());
        PrepareBusResourcesForAculabRouting();
        store_->channels[kIpHandle] = {2, 3, kFirstCardId, nullptr};
        store_->channels[kDtiHandle] = {5, 6, kFirstCardId, nullptr};
    }

    std::string Output(int32_t stream, int32_t slot) {
        return Control("query output " + std::to_string(kFirstCardId) + " " +
                       std::to_string(stream) + " " + std::to_string(slot));
    }

    bool LoggedContaining(const std::string& part) {
        for (const std::string& text : NewTexts()) {
            if (text.find(part) != std::string::npos)
                return true;
        }
        return false;
    }

    // The Dialogic configuration folder and its reserved-slot file.
    void ReserveDialogicSlots(const std::string& lines) {
        platform::RegistryKey key;
        ASSERT_EQ(platform::RegistryKey::LocalMachine().CreateSubKey(
                      "Software\\Dialogic\\Configuration", platform::RegAccess::kAllAccess, &key),
                  platform::kErrorSuccess);
        const std::string bytes =
            platform::Utf8ToUtf16leBytes("C:\\Dialogic\\cfg\\") + std::string(2, '\0');
        ASSERT_EQ(key.SetValue("DLCFGPATH", platform::kRegSz, bytes.data(),
                               static_cast<uint32_t>(bytes.size())),
                  platform::kErrorSuccess);
        const std::filesystem::path file =
            platform::MapWindowsPath("C:\\Dialogic\\cfg\\sctscfg.sav");
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file) << lines;
    }
};

TEST_F(AculabRoutingTest, TheSnapshotOpensEveryCardWithTheCapabilitiesItReports) {
    OpenCards("aculab SER-A 0xF ports=2 porttype=36 modules=2\naculab SER-B 4 modules=1\n");
    AculabCardList& cards = AculabCards();
    ASSERT_EQ(cards.Size(), 2u);
    const CAculabCard& first = cards.At(0);
    EXPECT_EQ(first.GetCardId(), kFirstCardId);
    EXPECT_EQ(first.GetCardInfoText(), "Simulated Aculab card SER-A");
    EXPECT_EQ(first.IsSwitchOpen() + first.IsCallOpen() + first.IsSpeechOpen() +
                  first.IsIPTelephonyOpen(),
              4);
    EXPECT_EQ(first.GetNetPortCount(), 2);
    EXPECT_EQ(first.GetNetPortType(), 36);
    EXPECT_NE(first.GetProsodyModule(1), 0);
    EXPECT_EQ(Control("query aculab SER-A"),
              "OK id=16384 open=1 call=1 switch=1 speech=1 ipt=1 modules=2");

    // A card with Prosody alone: no switch reset, no net ports.
    const CAculabCard& second = cards.At(1);
    EXPECT_EQ(second.IsSpeechOpen(), 1);
    EXPECT_EQ(second.IsSwitchOpen() + second.IsCallOpen(), 0);
    EXPECT_EQ(second.GetNetPortCount(), 0);
    EXPECT_EQ(CountCalls("sw_reset_switch"), 1u);
    EXPECT_THROW(cards.At(2), std::invalid_argument);
    EXPECT_EQ(FindAculabCardId("SER-B"), &cards.At(1));
    EXPECT_EQ(FindAculabCardId("SER"), nullptr);

    // Another snapshot finds the same cards again.
    ASSERT_TRUE(SystemSnapShot());
    EXPECT_EQ(cards.Size(), 2u);

    CloseAllAculabCards();
    EXPECT_EQ(cards.Size(), 0u);
    EXPECT_EQ(Control("query aculab SER-A"),
              "OK id=16384 open=0 call=0 switch=0 speech=0 ipt=0 modules=0");
    EXPECT_EQ(Control("query aculab SER-B"),
              "OK id=16385 open=0 call=0 switch=0 speech=0 ipt=0 modules=0");
}

TEST_F(AculabRoutingTest, ASnapshotOfMoreThanTwentyCardsOpensTheFirstTwenty) {
    std::string cards;
    for (int i = 0; i < 21; ++i)
        cards += "aculab " + std::string(30, static_cast<char>('A' + i)) + " 4\n";
    OpenCards(cards);
    EXPECT_EQ(AculabCards().Size(), 20u);
    EXPECT_EQ(AculabCards().At(19).GetSerialNumber(), std::string(30, 'T'));
    EXPECT_THAT(Texts(), Contains("Aculab SystemSnapShot reports 21 cards; only the first 20 are "
                                  "opened"));
}

TEST_F(AculabRoutingTest, CapabilitiesThatFailToOpenAreLoggedAndTheOthersGoOn) {
    Load("aculab SER-A 0xF ports=1 modules=2\n", CHardware::AculabPath::kSwitchedOnForTests);
    ASSERT_EQ(Control("fail acu_open_switch -3 1"), "OK");
    ASSERT_EQ(Control("fail sm_open_module_iPsCAtUiMt_ -1 1"), "OK");
    ASSERT_TRUE(SystemSnapShot());
    const CAculabCard& card = AculabCards().At(0);
    EXPECT_EQ(card.IsSwitchOpen(), 0);
    EXPECT_EQ(CountCalls("sw_reset_switch"), 1u) << "reset whatever the open did";
    EXPECT_EQ(card.GetProsodyModule(0), 0);
    EXPECT_NE(card.GetProsodyModule(1), 0);
    EXPECT_EQ(card.GetProsodyModule(5), 0);
    EXPECT_THAT(Texts(), Contains("Could not open card's SWITCH capabilities."));
    EXPECT_THAT(Texts(), Contains("Error -1 opening prosody module 0"));
    EXPECT_EQ(card.IsIPTelephonyOpen(), 1);

    std::string serial = "stale";
    int32_t index = 7;
    EXPECT_FALSE(FindAculabNetPort(12345, &serial, &index));
    EXPECT_EQ(serial, "");
    EXPECT_EQ(index, 0);
}

TEST_F(AculabRoutingTest, ClosingSkipsCardsThatAreNotOpenAndWaitsOnlySoLongForTheList) {
    OpenCards("aculab SER-A 4 modules=1\naculab SER-B 4 modules=1\n");
    AculabCards().At(1).SetCardId(0);

    // While another thread holds the list, closing gives up and changes nothing.
    std::promise<void> held;
    std::promise<void> release;
    std::thread holder([&] {
        std::lock_guard hold(AculabCards().Lock());
        held.set_value();
        release.get_future().wait();
    });
    held.get_future().wait();
    CloseAllAculabCards(std::chrono::milliseconds(0));
    release.set_value();
    holder.join();
    EXPECT_THAT(Texts(), Contains("ERROR Could not get lock on CloseAllAculabCards."));
    EXPECT_EQ(AculabCards().Size(), 2u);

    CloseAllAculabCards();
    EXPECT_EQ(AculabCards().Size(), 0u);
    EXPECT_EQ(CountCalls("acu_close_card"), 1u) << "the card without an id makes no call";
    EXPECT_EQ(Control("query aculab SER-B"),
              "OK id=16385 open=1 call=0 switch=0 speech=1 ipt=0 modules=1");
}

TEST_F(AculabRoutingTest, AnH100PoolHoldsSlots1024To4094InStreamsOf128) {
    OpenCards("aculab SER-A 0xF bus=0x04\n");
    BusResourcePool& pool = BusResources();
    EXPECT_TRUE(pool.IsH100());
    ASSERT_EQ(pool.FreeCount(), 3071u);
    EXPECT_EQ(pool.FreeAt(0)->time_slot(), 1024);
    EXPECT_EQ(pool.FreeAt(0)->stream(), 8);
    EXPECT_EQ(pool.FreeAt(0)->slot_in_stream(), 0);
    EXPECT_EQ(pool.FreeAt(3070)->time_slot(), 4094);
    EXPECT_EQ(pool.FreeAt(3070)->stream(), 31);
    EXPECT_EQ(pool.FreeAt(3070)->slot_in_stream(), 126);
    EXPECT_THAT(pool.FreeTimeSlots(), Not(Contains(4095)));

    // Preparing again builds the pool anew instead of adding to it.
    PrepareBusResourcesForAculabRouting();
    EXPECT_EQ(pool.FreeCount(), 3071u);
}

TEST_F(AculabRoutingTest, AnScbusPoolHoldsSlots385To511OnStream24) {
    OpenCards("aculab SER-A 0xF bus=0x02\n", "bus SCbus ALaw\n");
    BusResourcePool& pool = BusResources();
    EXPECT_FALSE(pool.IsH100());
    ASSERT_EQ(pool.FreeCount(), 127u);
    EXPECT_EQ(pool.FreeTimeSlots().front(), 385);
    EXPECT_EQ(pool.FreeTimeSlots().back(), 511);
    EXPECT_EQ(pool.FreeAt(126)->stream(), 24);
    EXPECT_EQ(pool.FreeAt(126)->slot_in_stream(), 511);
    EXPECT_THAT(Boxes(), IsEmpty());
}

TEST_F(AculabRoutingTest, ABorrowedSlotIsKeptUntilGivenBackAndThePoolHandsSlotsOutInTurn) {
    OpenCards("aculab SER-A 0xF bus=0x04\n");
    const size_t mark = Journal().size();
    int32_t slot = -1;
    SC_TSINFO info{1, &slot};
    EXPECT_EQ(GetXTimeSlot(kIpHandle, kBusTypeAculabIp, &info), 1024);
    EXPECT_EQ(slot, 1024);
    EXPECT_EQ(Output(8, 0), "OK mode=2 input=2:3") << "bus slot 1024 carries the Prosody output";
    EXPECT_EQ(GetXTimeSlot(kIpHandle, kBusTypeAculabIp, nullptr), 1024);
    EXPECT_THAT(BusCalls(mark), ElementsAre("sw_set_output")) << "the same slot, no new switch";

    EXPECT_EQ(ReleaseXTimeSlot(kIpHandle, kBusTypeAculabIp), 0);
    EXPECT_EQ(BusResources().FreeTimeSlots().back(), 1024);
    EXPECT_EQ(GetXTimeSlot(kDtiHandle, kBusTypeAculabDti, &info), 1025);
    EXPECT_EQ(ReleaseXTimeSlot(kIpHandle, kBusTypeAculabIp), 0) << "holding nothing is no error";
    EXPECT_EQ(BusResources().LentCount(), 1u);
}

TEST_F(AculabRoutingTest, WithGlobalCallAloneAnAculabDeviceIsItsOwnSlot) {
    Load("", CHardware::AculabPath::kSwitchedOff, true);
    ASSERT_TRUE(hardware_->IsGlobalCallOnlyMode());
    int32_t slot = -1;
    SC_TSINFO info{1, &slot};
    EXPECT_EQ(GetXTimeSlot(kIpHandle, kBusTypeAculabIp, &info), kIpHandle);
    EXPECT_EQ(slot, kIpHandle);
    EXPECT_EQ(BusResources().LentCount(), 0u);
    EXPECT_EQ(CountCalls("sw_set_output"), 0u);
}

TEST_F(AculabRoutingTest, RefusedBorrowersLeaveThePoolAsItWas) {
    OpenCards("aculab SER-A 0xF bus=0x04\n");
    ForgetLines();
    EXPECT_EQ(GetXTimeSlot(12, kBusTypeProsody, nullptr), -1);
    EXPECT_EQ(GetXTimeSlot(241, kBusTypeProsody, nullptr), -1);
    EXPECT_EQ(GetXTimeSlot(kIpHandle + 50, kBusTypeAculabIp, nullptr), -1)
        << "unknown to the manager";
    ASSERT_EQ(Control("fail sw_set_output -4 1"), "OK");
    EXPECT_EQ(GetXTimeSlot(kIpHandle, kBusTypeAculabIp, nullptr), -1);
    EXPECT_THAT(NewTexts(),
                ElementsAre("Aculab device not supported in GetXTimeSlot.",
                            "GetXTimeSlot Invalid Prosody dev=241",
                            "GetXTimeSlot no Prosody stream, slot or card for dev=10051 devtype=18",
                            "GetXTimeSlot Error in sw_set_output for dev=10001 devtype=18"));
    EXPECT_EQ(BusResources().FreeCount(), 3071u);
    EXPECT_EQ(BusResources().FreeTimeSlots().front(), 1024);
    int32_t slot = 300;
    const SC_TSINFO info{1, &slot};
    EXPECT_EQ(ListenXTimeSlot(kIpHandle + 50, kBusTypeAculabIp, &info), -1);
}

TEST_F(AculabRoutingTest, AnEmptyPoolLendsNothing) {
    OpenCards("aculab SER-A 0xF bus=0x01\n");
    EXPECT_THAT(Texts(), Contains("PrepareBusResourcesForAculabRouting Unknown BusType."));
    ForgetLines();
    EXPECT_EQ(GetXTimeSlot(kIpHandle, kBusTypeAculabIp, nullptr), -1);
    EXPECT_THAT(NewTexts(),
                ElementsAre("GetXTimeSlot No more Free Timeslots for dev=10001 devtype=18"));
}

TEST_F(AculabRoutingTest, ListeningConnectsTheProsodyInputToTheBusSlotOfEachBusMode) {
    OpenCards("aculab SER-A 0xF bus=0x02\n", "bus SCbus ALaw\n");
    int32_t slot = 300;
    SC_TSINFO info{1, &slot};
    EXPECT_EQ(ListenXTimeSlot(kDtiHandle, kBusTypeAculabDti, &info), 0);
    EXPECT_EQ(Output(5, 6), "OK mode=2 input=24:300");

    // An IP channel with an echo canceller is heard through the canceller's slot.
    store_->channels[kIpHandle].echo_in = reinterpret_cast<tSMChannelId_struct*>(0x10);
    EXPECT_EQ(ListenXTimeSlot(kIpHandle, kBusTypeAculabIp, &info), 0);
    EXPECT_EQ(Output(2, 4), "OK mode=2 input=24:300");
    EXPECT_EQ(UnListenXTimeSlot(kIpHandle, kBusTypeAculabIp), 0);
    EXPECT_EQ(Output(2, 4), "OK mode=1 pattern=0xD5");

    // A switch that cannot tell its bus mode builds no pool.
    CloseAllAculabCards();
    ASSERT_TRUE(SystemSnapShot());
    ASSERT_EQ(Control("fail sw_mode_switch -1 1"), "OK");
    PrepareBusResourcesForAculabRouting();
    EXPECT_THAT(Texts(), Contains("PrepareBusResourcesForAculabRouting Failed"));
}

TEST_F(AculabRoutingTest, OnH100TheBusSlotIsAStreamOf128AndAFailedSwitchFailsTheRoute) {
    OpenCards("aculab SER-A 0xF bus=0x20\n");
    int32_t slot = 1300;
    SC_TSINFO info{1, &slot};
    EXPECT_EQ(ListenXTimeSlot(kDtiHandle, kBusTypeAculabDti, &info), 0);
    EXPECT_EQ(Output(5, 6), "OK mode=2 input=10:20");

    // The switch's own failure is the listen's result, and no success for the route.
    ASSERT_EQ(Control("fail sw_set_output -4 1 1"), "OK");
    ForgetLines();
    EXPECT_EQ(Route(kIpHandle, kBusTypeAculabIp, kDtiHandle, kBusTypeAculabDti, kHalfDuplex), -1);
    EXPECT_THAT(NewTexts(),
                ElementsAre("ListenXTimeSlot sw_set_output error for dev=10002 devtype=17 to "
                            "ts=1024"));
    ASSERT_EQ(Control("fail sw_set_output -4 1"), "OK");
    EXPECT_EQ(UnListenXTimeSlot(kDtiHandle, kBusTypeAculabDti), -4);
}

TEST_F(AculabRoutingTest, TheDialogicBusIsCheckedOnItsFirstFourCharacters) {
    OpenCards("aculab SER-A 0xF bus=0x04\n", "bus SCbus muLaw\n");
    EXPECT_THAT(BoxTexts(), ElementsAre("ERROR Dialogic configured as SCBus and Aculab as H.100!",
                                        "ERROR Dialogic Media Type not configured as ALaw!"));
}

TEST_F(AculabRoutingTest, AnH100DialogicBusBesideAnScbusCardIsReported) {
    OpenCards("aculab SER-A 0xF bus=0x02\n", "bus H.10x NotApplicable\n");
    EXPECT_THAT(BoxTexts(), ElementsAre("ERROR Dialogic configured as H.100 and Aculab as SCBus!"));
    EXPECT_THAT(Texts(), Contains("Warning could not determine Dialogic Configuration Directory"));
}

TEST_F(AculabRoutingTest, TheDialogicReservedSlotsAreCountedAgainstTheLimit) {
    ReserveDialogicSlots("12 dtiB1\nlonely\n1012 dxxxB1 and more\n");
    OpenCards("aculab SER-A 0xF bus=0x04\n");
    EXPECT_THAT(BoxTexts(),
                ElementsAre("ERROR Dialogic uses 1024 TimeSlots which is more than allowed in "
                            "this configuration (1023)"));
    EXPECT_EQ(BusResources().FreeCount(), 3071u) << "the pool stays built";
}

TEST_F(AculabRoutingTest, TheAculabTraceWritesFromLevelFour) {
    OpenCards("");
    foundation::g_nTraceLevel = 3;
    ForgetLines();
    TraceAculabCall("sw_set_output", "card=%d", 7);
    TraceAculabResult("sw_set_output", -2, false);
    EXPECT_THAT(NewTexts(), IsEmpty());

    foundation::g_nTraceLevel = 4;
    TraceAculabCall("sw_set_output", "card=%d", 7);
    TraceAculabCall("call_details", "%s", std::string(600, 'x').c_str());
    TraceAculabResult("sw_set_output", -2, false);
    TraceAculabResult("call_openout", 5, false);
    TraceAculabResult("call_openin", 5, true);
    const std::vector<LoggedLine> lines = NewLines();
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_THAT(lines[0].text,
                MatchesRegex("\\*\\*\\* ACULAB: tid=0x[0-9a-f]+ sw_set_output\\(card=7\\)"));
    EXPECT_EQ(lines[0].kind, 1);
    EXPECT_THAT(lines[1].text, HasSubstr("call_details(" + std::string(510, 'x') + ")"));
    EXPECT_THAT(lines[2].text, MatchesRegex(".*    sw_set_output\\(\\) = -2"));
    EXPECT_THAT(lines[3].text,
                MatchesRegex(".*    sw_set_output\\(\\) Error = -2 Msg = No such card"));
    EXPECT_THAT(lines[4].text, MatchesRegex(".*    call_openout\\(\\) = 5"));
    EXPECT_THAT(lines[5].text, MatchesRegex(".*    call_openin\\(\\) = 5"));
    EXPECT_THAT(lines[6].text,
                MatchesRegex(".*    call_openin\\(\\) Error = 5 Msg = Unknown error"));
}

// The media of an IP channel is reached through the manager's published tables; without them
// every operation gives up before it calls anything, the facade's too.
TEST_F(AculabRoutingTest, TheVmpOperationsGiveUpWithoutTheManagersTables) {
    OpenCards("aculab SER-A 0xF ports=2 porttype=36 modules=1\n");
    ForgetLines();
    EXPECT_EQ(Prepare_port_forVMP(1), -1);
    EXPECT_EQ(hardware_->ReserveVMP(1), -1);
    EXPECT_EQ(hardware_->DestroyVMP(1), -1);
    EXPECT_EQ(ReleaseEchoCancel(1), -1);
    EXPECT_EQ(GetVMPPorts(1), -1);
    EXPECT_THAT(NewTexts(),
                ElementsAre("spVesmarin == NULL!", "reserve vmp context", "spVesmarin == NULL!",
                            "Destroy vmp context", "spVesmarin == NULL!", "spVesmarin == NULL!",
                            "spVesmarin == NULL!"));
    EXPECT_EQ(CountCalls("sm_channel_alloc_placed_iPsCte1_4_Mti_"), 0u);
    EXPECT_EQ(CountCalls("sm_vmprx_create_iPsVrMtSId_"), 0u);
}

}  // namespace
}  // namespace ruzd::telephony
