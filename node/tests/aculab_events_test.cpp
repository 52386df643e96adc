// The Aculab worker and the relay-digit worker, started by CNSTRT with the Aculab path switched
// on: the calls' events, the system and IP card notifications the simulated cards report, and
// digits played into the relay time slot for a voice channel and for a position behind the
// Amtelco switchboard.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "node/tests/aculab_node_fixture.h"
#include "testing/eventually.h"

namespace ruzd::node {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using testing::LeadingInts;
using ::testing::Not;
using testing::PortStatus;
using Worker = CVesmarinManager::Worker;

constexpr int32_t kAMOPEN = 1;
constexpr int32_t kCNSTRT = 15;
constexpr int32_t kDXOPEN = 45;
constexpr int32_t kVoice = 1;
constexpr int32_t kAmtelcoPosition = 999;

class AculabEventsTest : public AculabNodeTest {
protected:
    std::string Boards() const override { return AculabNodeTest::Boards() + "amtelco 2\n"; }

    // The workers started, and the relay's channel set up on the first IP card's first module
    // (the cards open).
    void StartWorkers() {
        Send(kCNSTRT, {});
        ASSERT_TRUE(ruzd::testing::Eventually([this] {
            return manager_->IsWorkerRunning(Worker::kAculab) &&
                   manager_->IsWorkerRunning(Worker::kRelayDigit) &&
                   Prosody(kFirstModule).find(":out:64:121") != std::string::npos;
        }));
    }

    // The cards and IP board 1 open, channel 1 on it with its VMP context, waiting for a call.
    void OpenWaitingChannel() {
        OpenBoards();
        OpenChannel(1, 1, 1);
        Send(kSMVMPR, {1});
        ASSERT_EQ(ReplyInts(25), (std::vector<int32_t>{25, 1, 0}));
        SendRecord(kCAOPIN, 1, 0, {});
        Sync();
        ASSERT_THAT(Control("query acucall 4096"), HasSubstr("state=waiting"));
    }

    void Replay(const std::vector<int32_t>& before, const std::string& digits,
                const std::vector<int32_t>& after = {}) {
        peer_->Send(kSMREDI, next_id_++, [&](net::COutputStreamSocket& w) {
            for (const int32_t value : before) {
                w.WriteInt(value);
            }
            w.WriteString(digits);
            for (const int32_t value : after) {
                w.WriteInt(value);
            }
        });
    }

    // The functions the Aculab worker polls with, in the order called.
    std::vector<std::string> Polls() const {
        std::vector<std::string> polls;
        for (const std::string& line : Journal()) {
            for (const char* function : {"call_event(", "acu_get_system_notification("}) {
                if (line.find(function) != std::string::npos) {
                    polls.push_back(function);
                }
            }
        }
        return polls;
    }
};

TEST_F(AculabEventsTest, CallEventsReachTheCentralServer) {
    OpenWaitingChannel();
    StartWorkers();
    const int32_t channel = HandleOf(1);
    AculabHandleTables& tables = manager_->AculabTables();
    const size_t outputsBefore = CountCalls("sw_set_output");

    // A call comes in on another Prosody slot: the channel's transmit slot follows it.
    ASSERT_EQ(Control("acuevent 4096 2 stream=64 slot=7"), "OK");
    std::optional<testing::Payload> event = NextMessage(21);
    ASSERT_TRUE(event);
    DETAIL_XPARMS details{};
    details.size = sizeof details;
    details.handle = 4096;
    details.valid = 1;
    details.stream = 64;
    details.ts = 7;
    EXPECT_EQ(*event, testing::MessagePayload(21, [&](net::COutputStreamSocket& w) {
        w.WriteInt(1).WriteInt(18).WriteInt(0).WriteInt(2).WriteInt(4096);
        w.WriteLong(sizeof details);
        w.WriteBytes(reinterpret_cast<const uint8_t*>(&details), sizeof details);
    }));
    EXPECT_THAT(statuses_.statuses(), Contains(PortStatus{18, 1, "Busy"}));
    EXPECT_EQ(tables.GetProsodyStream(channel), 64);
    EXPECT_EQ(tables.GetProsodyTimeslot(channel), 7);
    EXPECT_GT(CountCalls("sw_set_output"), outputsBefore);

    // A value; a state the node only passes on; the details of the same place change nothing.
    ASSERT_EQ(Control("acuevent 4096 0x200000 value=77"), "OK");
    event = NextMessage(21);
    ASSERT_TRUE(event);
    EXPECT_EQ(LeadingInts(*event), (std::vector<int32_t>{21, 1, 18, 0, 0x200000, 4096, 77}));
    ASSERT_EQ(Control("acuevent 4096 0x40"), "OK");
    event = NextMessage(21);
    ASSERT_TRUE(event);
    EXPECT_EQ(LeadingInts(*event), (std::vector<int32_t>{21, 1, 18, 0, 0x40, 4096}));
    const size_t outputs = CountCalls("sw_set_output");
    ASSERT_EQ(Control("acuevent 4096 4 stream=64 slot=7"), "OK");
    ASSERT_TRUE(NextMessage(21));
    EXPECT_EQ(CountCalls("sw_set_output"), outputs);
    // Details that cannot be read go all the same, empty.
    ASSERT_EQ(Control("fail call_details -1 1"), "OK");
    ASSERT_EQ(Control("acuevent 4096 0x20 stream=65 slot=9"), "OK");
    event = NextMessage(21);
    ASSERT_TRUE(event);
    EXPECT_EQ(LeadingInts(*event, 7), (std::vector<int32_t>{21, 1, 18, 0, 0x20, 4096, 3140}));
    EXPECT_EQ(tables.GetProsodyStream(channel), 64);

    // Each call gone, the handle of its direction is forgotten.
    SendRecord(kCAOPOU, 1, 0, {});
    Sync();
    ASSERT_EQ(Control("acuevent 4097 1"), "OK");
    ASSERT_TRUE(NextMessage(21));
    int32_t call = -1;
    tables.GetAculabCallHandle(channel, AculabHandleTables::kOutgoingCall, &call);
    EXPECT_EQ(call, 0);
    tables.GetAculabCallHandle(channel, AculabHandleTables::kIncomingCall, &call);
    EXPECT_EQ(call, 4096);
    ASSERT_EQ(Control("acuevent 4096 8"), "OK");
    ASSERT_TRUE(NextMessage(21));
    tables.GetAculabCallHandle(channel, AculabHandleTables::kIncomingCall, &call);
    EXPECT_EQ(call, 0);

    // A call of a channel the node no longer knows is dropped.
    Send(kCACLTS, {1, kIp});
    Sync();
    ASSERT_EQ(Control("acuevent 4096 2"), "OK");
    ASSERT_TRUE(ruzd::testing::Eventually([this] {
        const std::vector<std::string> lines = DebugLines();
        return std::find_if(lines.begin(), lines.end(), [](const std::string& line) {
                   return line.ends_with("ERROR Port or Type unknown!");
               }) != lines.end();
    }));
    Sync();
    EXPECT_THAT(Replies(), Not(Contains(::testing::Truly([](const testing::Payload& payload) {
                    return LeadingInts(payload, 1) == std::vector<int32_t>{21};
                }))));
}

TEST_F(AculabEventsTest, EveryFifthIdlePollLooksAtTheNotifications) {
    OpenBoards();
    // A failing poll is no idle one.
    ASSERT_EQ(Control("fail call_event -1 2"), "OK");
    StartWorkers();
    ASSERT_TRUE(ruzd::testing::Eventually(
        [this] { return CountCalls("acu_get_system_notification") >= 2; }));
    std::vector<std::string> polls = Polls();
    polls.resize(14);
    const std::string event = "call_event(";
    const std::string system = "acu_get_system_notification(";
    EXPECT_THAT(polls, ElementsAre(event, event, event, event, event, event, event, system, event,
                                   event, event, event, event, system));

    // The resource manager concerns no port; an IP card's notice goes to each of its ports.
    ASSERT_EQ(Control("acusys 3"), "OK");
    std::optional<testing::Payload> notice = NextMessage(29);
    ASSERT_TRUE(notice);
    EXPECT_EQ(LeadingInts(*notice, 3), (std::vector<int32_t>{29, 0, 100}));
    ASSERT_EQ(Control("iptnotify SER-IP2 9"), "OK");
    notice = NextMessage(27);
    ASSERT_TRUE(notice);
    // The first card's two modules own ports 1 to 4, the second card's one module 5 and 6.
    EXPECT_EQ(LeadingInts(*notice, 4), (std::vector<int32_t>{27, 5, 9, 424}));
    notice = NextMessage(27);
    ASSERT_TRUE(notice);
    EXPECT_EQ(LeadingInts(*notice, 2), (std::vector<int32_t>{27, 6}));
    EXPECT_THAT(DebugLines(), Contains(EndsWith("Aculab system event resource manager running")));
}

TEST_F(AculabEventsTest, ACardAddedBackIsReopenedAndTheFirstRestartsTheRelay) {
    OpenBoards();
    StartWorkers();
    const auto ports = [this](size_t count) {
        std::vector<int32_t> numbers;
        for (size_t i = 0; i < count; ++i) {
            const std::optional<testing::Payload> notice = NextMessage(29);
            numbers.push_back(notice ? LeadingInts(*notice, 2)[1] : -1);
        }
        return numbers;
    };
    ASSERT_EQ(Control("acusys 2 SER-IP2"), "OK");
    EXPECT_EQ(ports(1), (std::vector<int32_t>{0}));
    ASSERT_EQ(Control("acusys 1 SER-IP2"), "OK");
    EXPECT_EQ(ports(2), (std::vector<int32_t>{5, 6}));
    ASSERT_EQ(Control("acusys 2 SER-IP1"), "OK");
    ASSERT_EQ(Control("acusys 1 SER-IP1"), "OK");
    EXPECT_EQ(ports(5), (std::vector<int32_t>{0, 1, 2, 3, 4}));
    const auto relayStarts = [this] {
        const std::vector<std::string> lines = DebugLines();
        return std::count_if(lines.begin(), lines.end(), [](const std::string& line) {
            return line.ends_with("RelayDigitThread started");
        });
    };
    ASSERT_TRUE(ruzd::testing::Eventually([&] { return relayStarts() == 2; }));
    const std::vector<std::string> lines = DebugLines();
    EXPECT_THAT(lines, Contains(EndsWith("Aculab card SER-IP2 reinitializing.")));
    EXPECT_THAT(lines, Contains(EndsWith("Aculab card SER-IP1 reinitializing.")));
    EXPECT_EQ(CountCalls("acu_open_card"), 3u + 2u);
}

TEST_F(AculabEventsTest, DigitsArePlayedIntoTheRelaySlot) {
    OpenBoards();
    OpenChannel(1, 1, 1);
    peer_->SendInts(kDXOPEN, next_id_++, {5, 1, 1});
    peer_->SendInts(kAMOPEN, next_id_++, {1, 2, 0, 77, 1, 0x42, 1});
    Sync();
    StartWorkers();
    // The relay channel sends on the first card's stream 64, slot 121, which its switch puts on
    // the relay slot.
    EXPECT_EQ(Control("query output 16385 31 127"), "OK mode=2 input=64:121");

    // A voice channel hears the relay slot while the digits play; 40 digits are cut to 32.
    Replay({5, kVoice}, "123#");
    EXPECT_EQ(LeadingInts(*NextMessage(26)), (std::vector<int32_t>{26, 0}));
    Replay({5, kVoice}, std::string(40, '7'));
    EXPECT_EQ(LeadingInts(*NextMessage(26)), (std::vector<int32_t>{26, 0}));
    EXPECT_THAT(Prosody(kFirstModule), HasSubstr(":out:64:121:digits=123#" + std::string(32, '7')));
    EXPECT_THAT(Control("query routes"), HasSubstr("=4095:"));

    // Behind the switchboard: an unknown cable is answered with -1 and nothing is sent; a known
    // one is connected to the relay slot (bus stream 31, slot 127) and back.
    Replay({7, kAmtelcoPosition}, "9", {3, 5, 1, 18});
    EXPECT_EQ(LeadingInts(*NextMessage(26)), (std::vector<int32_t>{26, -1}));
    Replay({7, kAmtelcoPosition}, "45", {3, 2, 1, 18});
    EXPECT_EQ(LeadingInts(*NextMessage(26)), (std::vector<int32_t>{26, 0}));
    std::string sent;
    ASSERT_TRUE(ruzd::testing::Eventually([&] {
        sent = Control("query amtelco 1");
        return sent.find("|XC0778", sent.find("|XC07781F7F00070003")) != std::string::npos;
    })) << sent;
    EXPECT_THAT(Prosody(kFirstModule), EndsWith("digits=123#" + std::string(32, '7') + "45"));
    EXPECT_THAT(DebugLines(),
                Contains(EndsWith("RelayDigitThread tx=7 rx=3 cable=5 CABLE NOT FOUND")));

    // The worker's end gives its channel back.
    manager_->EndRelayDigitThread();
    EXPECT_THAT(Prosody(kFirstModule), Not(HasSubstr(":64:121")));
}

TEST_F(AculabEventsTest, ASessionHearsItsCallPlaysDigitsAndEndsWithItsConnection) {
    OpenWaitingChannel();
    peer_->SendInts(kDXOPEN, next_id_++, {5, 1, 1});
    StartWorkers();

    ASSERT_EQ(Control("acuevent 4096 2 stream=64 slot=3"), "OK");
    const std::optional<testing::Payload> call = NextMessage(21);
    ASSERT_TRUE(call);
    EXPECT_EQ(LeadingInts(*call, 6), (std::vector<int32_t>{21, 1, 18, 0, 2, 4096}));
    EXPECT_THAT(statuses_.statuses(), Contains(PortStatus{18, 1, "Busy"}));
    Replay({5, kVoice}, "123#");
    EXPECT_EQ(LeadingInts(*NextMessage(26)), (std::vector<int32_t>{26, 0}));
    EXPECT_THAT(Prosody(kFirstModule), EndsWith(":out:64:121:digits=123#"));
    ASSERT_EQ(Control("acusys 3"), "OK");
    const std::optional<testing::Payload> notice = NextMessage(29);
    ASSERT_TRUE(notice);
    EXPECT_EQ(LeadingInts(*notice, 2), (std::vector<int32_t>{29, 0}));

    // The central server goes: its call is ended and the cards closed.
    peer_.reset();
    ASSERT_TRUE(ruzd::testing::Eventually([this] {
        return Control("query aculab SER-IP1") ==
               "OK id=16385 open=0 call=0 switch=0 speech=0 ipt=0 modules=0";
    }));
    EXPECT_EQ(CountCalls("call_disconnect"), 1u);
    EXPECT_EQ(CountCalls("call_release"), 1u);
    EXPECT_EQ(Control("query acucall 4096"), "ERR no Aculab call 4096");
    EXPECT_EQ(Prosody(kFirstModule), "OK none");
    EXPECT_FALSE(manager_->IsWorkerRunning(Worker::kAculab));
}

// Aculab IP channels beside the Global Call IP channels of Intel IP boards.
class AculabBesideGlobalCallTest : public AculabNodeTest {
protected:
    std::string Boards() const override {
        return "network 1 30\nip 2 4\naculab SER-IP1 0xF ports=2 porttype=36 modules=2\n";
    }
};

TEST_F(AculabBesideGlobalCallTest, TheShutDownEndsBothCallsOfAnAculabChannel) {
    constexpr int32_t kGCOPEN = 127;
    constexpr int32_t kGlobalCallIp = 7;
    Send(kACOPEN, {});
    Send(kCAOPPO, {1, kIp});
    OpenChannel(1, 1, 1);
    Send(kSMVMPR, {1});
    ASSERT_EQ(ReplyInts(25), (std::vector<int32_t>{25, 1, 0}));
    SendRecord(kCAOPIN, 1, 0, {});
    SendRecord(kCAOPOU, 1, 0, {});
    Send(kGCOPEN, {kGlobalCallIp, 5});
    Sync();
    int32_t handle = -1;
    ASSERT_TRUE(manager_->Devices().GetDeviceHandle(5, kGlobalCallIp, &handle));

    manager_->SafeCloseAllChannels();
    EXPECT_EQ(CountCalls("call_disconnect"), 2u);
    EXPECT_EQ(CountCalls("call_release"), 2u);
    EXPECT_EQ(CountCalls("sm_vmprx_destroy_iVr"), 1u);
    EXPECT_EQ(manager_->Devices().Ip().Size(), 0u);
    const std::vector<std::string> lines = DebugLines();
    EXPECT_THAT(lines, Contains(EndsWith("call_disconnect ldev=1 Handle=4096 RET=0")));
    EXPECT_THAT(lines, Contains(EndsWith("call_release handle=4097 RC=0")));
    EXPECT_THAT(lines, Contains(EndsWith("vl_close ldev=5 RET=0")));
    EXPECT_THAT(statuses_.StatusLines(), ::testing::IsSupersetOf({"18/1 Closed", "7/5 Closed"}));
}

class AculabRelayWithoutProsodyTest : public AculabNodeTest {
protected:
    std::string Boards() const override {
        return "network 1 30\nip 0 0\naculab SER-DTI 7 ports=2 porttype=4 modules=1\n";
    }
};

TEST_F(AculabRelayWithoutProsodyTest, TheRelayWorkerEndsAtOnce) {
    Send(kACOPEN, {});
    Send(kCNSTRT, {});
    ASSERT_TRUE(
        ruzd::testing::Eventually([this] { return manager_->IsWorkerRunning(Worker::kAculab); }));
    ASSERT_TRUE(ruzd::testing::Eventually([this] {
        const std::vector<std::string> lines = DebugLines();
        return std::find_if(lines.begin(), lines.end(), [](const std::string& line) {
                   return line.ends_with("RelayDigitThread ended");
               }) != lines.end();
    }));
    EXPECT_FALSE(manager_->IsWorkerRunning(Worker::kRelayDigit));
    EXPECT_THAT(DebugLines(), Contains(EndsWith("RelayDigitsThread: No Prosody X boards found")));
    EXPECT_EQ(CountCalls("sm_channel_alloc_placed_iPsCte1_4_Mti_"), 0u);
}

}  // namespace
}  // namespace ruzd::node
