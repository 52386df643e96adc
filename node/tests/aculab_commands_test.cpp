// The Aculab commands with the Aculab path switched on in the test's own manager, on the
// simulated Aculab cards: a card of other net ports (whose module serves no IP channel), a card
// of IP net ports with two Prosody modules whose IP telephony is configured as the node does
// not want it, and one with a single module. What each command asks of the libraries (the
// journal and the simulator's queries), what reaches the central server and what the manager
// keeps.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "foundation/app_hooks.h"
#include "node/tests/aculab_node_fixture.h"
#include "platform/message_box.h"
#include "telephony/aculab_cards.h"
#include "telephony/vendorapi/aculab.h"
#include "telephony/vmp_configuration.h"
#include "testing/eventually.h"

namespace ruzd::node {
namespace {

using ::testing::AllOf;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using testing::MessagePayload;
using ::testing::Not;
using testing::Payload;
using testing::PortStatus;

using AculabCommandsTest = AculabNodeTest;

TEST_F(AculabCommandsTest, AnIpBoardOpensTheNetPortOfItsHalfOfTheCardAndWarnsOfItsSetUp) {
    OpenBoards();
    Send(kCAOPPO, {3, kIp});
    Send(kCAOPPO, {7, kIp});
    Send(kCAOPPO, {2, 0});
    Sync();
    EXPECT_EQ(Control("query aculab SER-IP1"),
              "OK id=16385 open=1 call=1 switch=1 speech=1 ipt=1 modules=2");
    // Boards 1 and 2 open the first card's net port 0, boards 3 and 4 its net port 1.
    EXPECT_EQ(Control("query acuport 256"), "OK card=16385 index=0 calls=none");
    EXPECT_EQ(Control("query acuport 257"), "OK card=16386 index=0 calls=none");
    EXPECT_EQ(Control("query acuport 258"), "OK card=16385 index=1 calls=none");
    const std::vector<std::string> lines = DebugLines();
    EXPECT_THAT(lines, Contains(EndsWith("call_open_port ldev=1000003 handle=258 rc=0")));
    EXPECT_THAT(lines, Contains(EndsWith("IP board7 not enough cards to open IP board.")));
    EXPECT_THAT(lines, Contains(EndsWith("Not yet implemented for ISDN.")));

    // The board stands in the IP table as an Aculab IP device on its port.
    const int32_t board = HandleOf(1000003);
    EXPECT_EQ(board, AculabHandleTables::kFirstAculabHandle + 2);
    EXPECT_EQ(manager_->AculabTables().GetAculabPortId(board), 258);
    EXPECT_EQ(manager_->AculabTables().GetAculabCardIndex(board), kIpCard);

    // The first card's IP telephony is not as the node wants it, for each of its boards: warning
    // boxes, queued for the threaded message box, which shows them one after another in their
    // order with the program's own title.
    const std::string title = foundation::CurrentApp().ApplicationName() + ": ";
    const std::string tdm = title + "IP Board not Configured as ALaw TDM encoding! 48";
    const std::string fastStart = title + "Aculab IP H323 not Configured without Fast Start! 48";
    ASSERT_TRUE(ruzd::testing::Eventually([this] { return Boxes().size() == 4; }));
    EXPECT_THAT(Boxes(), ::testing::ElementsAre(tdm, fastStart, tdm, fastStart));
    EXPECT_THAT(DebugLines(), Contains(EndsWith("IP Board not Configured as ALaw TDM encoding!")));
    const auto queued = [this] {
        const std::vector<std::string> lines = DebugLines();
        return std::count_if(lines.begin(), lines.end(), [](const std::string& line) {
            return line.find(
                       "GUI: Queuing ThreadedMessageBox to user: Text='IP Board not "
                       "Configured as ALaw TDM encoding!', Type=48=") != std::string::npos;
        });
    };
    EXPECT_TRUE(ruzd::testing::Eventually([&] { return queued() == 2; })) << queued();
}

TEST_F(AculabCommandsTest, ChannelsArePlacedOnTheModulesWithTheirEchoCancellers) {
    OpenBoards();
    OpenChannel(1, 1, 1);
    OpenChannel(31, 1, 2);
    OpenChannel(61, 1, 3);
    OpenChannel(121, 5, 1);
    // Past the modules, and a channel whose module is on another card than its board.
    OpenChannel(181, 1, 4);
    OpenChannel(122, 1, 5);
    OpenChannel(2, 9, 1);

    // Channel 1: stream 64, slots 3 to 6; channel 31: stream 65 of the same module.
    const std::string first = Prosody(kFirstModule);
    EXPECT_THAT(first, HasSubstr(":in:64:4:echo(ref="));
    EXPECT_THAT(first, HasSubstr(",adjust=0+1+2,span=200)"));
    EXPECT_THAT(first, HasSubstr(":in:64:5 "));
    EXPECT_THAT(first, HasSubstr(":out:64:6 "));
    EXPECT_THAT(first, HasSubstr(":in:65:4:echo("));
    EXPECT_THAT(Prosody(kSecondModule), HasSubstr(":in:66:4:echo("));
    EXPECT_THAT(Prosody(301), HasSubstr(":in:64:4:echo("));
    // The module of the card of other net ports serves no channel.
    EXPECT_EQ(Prosody(101), "OK none");
    // The channel's slot hears the canceller's output, the reference hears the channel, and
    // the canceller's input is silent.
    const auto output = [this](int32_t card, int32_t stream, int32_t slot) {
        return Control("query output " + std::to_string(card) + " " + std::to_string(stream) + " " +
                       std::to_string(slot));
    };
    EXPECT_EQ(output(kIpCard, 64, 3), "OK mode=2 input=64:6");
    EXPECT_EQ(output(kIpCard, 64, 5), "OK mode=2 input=64:3");
    EXPECT_EQ(output(kIpCard, 64, 4), "OK mode=1 pattern=0xD5");
    EXPECT_EQ(output(kSecondIpCard, 64, 3), "OK mode=2 input=64:6");

    AculabHandleTables& tables = manager_->AculabTables();
    const int32_t channel = HandleOf(31);
    EXPECT_EQ(tables.GetProsodyStream(channel), 65);
    EXPECT_EQ(tables.GetProsodyTimeslot(channel), 3);
    EXPECT_EQ(tables.GetProsodyModule(channel), kFirstModule);
    EXPECT_EQ(tables.GetAculabCardSerial(channel), "Simulated Aculab card SER-IP1");
    EXPECT_EQ(tables.GetAculabTimeslot(channel), 2);
    EXPECT_NE(tables.GetEchoCancelIn(channel), nullptr);
    EXPECT_EQ(tables.GetProsodyStream(HandleOf(122)), -1);

    const std::vector<std::string> lines = DebugLines();
    EXPECT_THAT(lines,
                Contains(EndsWith("HalfDuplex Routing Echo Cancel Output from 1 -> Isdn=1 0")));
    EXPECT_THAT(lines, Contains(EndsWith("Could not reserve a VMP because not enough Hardware")));
    EXPECT_THAT(lines, Contains(EndsWith("Prepare_port_forVMP : Wrong CardId")));
    EXPECT_THAT(lines,
                Contains(EndsWith("IP Channel2 could not be opened because no board not found.")));
    EXPECT_EQ(manager_->OpenChannelCount(), 6);
    EXPECT_THAT(statuses_.statuses(), Contains(PortStatus{18, 121, "Idle"}));

    // Closing gives the canceller's channels back.
    Send(kCACLTS, {31, kIp});
    Send(kCACLTS, {32, kIp});
    Sync();
    EXPECT_THAT(Prosody(kFirstModule), Not(HasSubstr(":65:")));
    EXPECT_EQ(HandleOf(31), -1);
    EXPECT_EQ(tables.GetProsodyStream(channel), -1);
    EXPECT_EQ(manager_->OpenChannelCount(), 5);
    EXPECT_THAT(statuses_.statuses(), Contains(PortStatus{18, 31, "Closed"}));
    EXPECT_THAT(DebugLines(),
                Contains(EndsWith("IP Channel32 could not be closed because not found.")));
}

TEST_F(AculabCommandsTest, AVmpContextIsReservedOnceAndWhatWasMadeIsDestroyed) {
    OpenBoards();
    OpenChannel(1, 1, 1);
    Send(kSMVMPR, {1});
    EXPECT_EQ(ReplyInts(25), (std::vector<int32_t>{25, 1, 0}));
    const std::string made = Prosody(kFirstModule);
    const int32_t channel = HandleOf(1);
    AculabHandleTables& tables = manager_->AculabTables();
    const std::string receive = Id(tables.GetVMPrxId(channel));
    const std::string fromSlot = Id(tables.GetTDMrxId(channel));
    EXPECT_THAT(made, HasSubstr("vmprx=" + receive + ":running"));
    EXPECT_THAT(made, HasSubstr(":running:from=tdmrx:" + fromSlot));
    EXPECT_THAT(made, HasSubstr("tdmrx=" + fromSlot + ":64:3"));
    EXPECT_THAT(made, HasSubstr(":64:3:from=vmprx:" + receive));

    // Reserved already: answered without a second context.
    Send(kSMVMPR, {1});
    EXPECT_EQ(ReplyInts(25), (std::vector<int32_t>{25, 1, 0}));
    EXPECT_EQ(CountCalls("sm_vmprx_create_iPsVrMtSId_"), 1u);

    // Configured from a far end's description with telephone events, then without.
    telephony::VmpMediaDescription media{"10.1.2.3", 5004, 8, 20, "telephone-event", 101};
    EXPECT_EQ(telephony::ConfigureVMPContext(1, media), 0);
    media.second_encoding = "telephone-events";
    media.packet_time_ms = 0;
    EXPECT_EQ(telephony::ConfigureVMPContext(1, media), 0);
    const std::string configured = Prosody(kFirstModule);
    EXPECT_THAT(configured, HasSubstr(":rtp=10.1.2.3:5004:rtcp=10.1.2.3:5005:codec=0/8/20ms:"));
    EXPECT_THAT(configured, HasSubstr(":codec=0/8:codec=3/101:tones=1/0:codec=0/8:tones=1/0"));
    EXPECT_THAT(configured, HasSubstr("codec=0/8/10ms"));

    Send(kSMVMPD, {1});
    Sync();
    EXPECT_THAT(Prosody(kFirstModule), AllOf(Not(HasSubstr("vmp")), Not(HasSubstr("tdm"))));
    EXPECT_EQ(tables.GetVMPrxId(channel), nullptr);

    // The receive context's ports are asked for, but their failure does not stop the set-up.
    ASSERT_EQ(Control("fail sm_vmprx_get_ports_iPsVriiSIdUi_ -1 1"), "OK");
    Send(kSMVMPR, {1});
    EXPECT_EQ(ReplyInts(25), (std::vector<int32_t>{25, 1, 0}));
    Send(kSMVMPD, {1});
    // A failing creation is answered; what was made before it is destroyed with the rest.
    ASSERT_EQ(Control("fail sm_vmptx_create_iPsVtMt_ -4 1"), "OK");
    Send(kSMVMPR, {1});
    EXPECT_EQ(ReplyInts(25), (std::vector<int32_t>{25, 1, -4}));
    EXPECT_NE(tables.GetVMPrxId(channel), nullptr);
    EXPECT_EQ(tables.GetVMPtxId(channel), nullptr);
    Send(kSMVMPD, {1});
    Sync();
    EXPECT_EQ(CountCalls("sm_vmprx_destroy_iVr"), 3u);
    EXPECT_EQ(CountCalls("sm_vmptx_destroy_iVt"), 2u);
    EXPECT_EQ(Prosody(kFirstModule).find("vmprx"), std::string::npos);

    // Nothing made, nothing to destroy; an unknown channel is answered all the same.
    const size_t before = Journal().size();
    Send(kSMVMPD, {1});
    Send(kSMVMPR, {2});
    EXPECT_EQ(ReplyInts(25), (std::vector<int32_t>{25, 2, -1}));
    EXPECT_EQ(Journal().size(), before);
    const std::vector<std::string> lines = DebugLines();
    EXPECT_THAT(lines, Contains(EndsWith("Error in sm_vmprx_get_ports -1")));
    EXPECT_THAT(lines, Contains(EndsWith("Error in sm_vmptx_create -4")));
    EXPECT_THAT(lines, Contains(EndsWith("DestroyVMPContext ldev=10002 RET=0")));
    EXPECT_THAT(lines, Contains(EndsWith("IP Channel2 could not be reserved because not found.")));
}

TEST_F(AculabCommandsTest, CallControlOnAChannel) {
    OpenBoards();
    OpenChannel(1, 1, 1);
    Send(kSMVMPR, {1});
    EXPECT_EQ(ReplyInts(25), (std::vector<int32_t>{25, 1, 0}));
    const int32_t channel = HandleOf(1);
    const std::string receive = Id(manager_->AculabTables().GetVMPrxId(channel));
    const std::string transmit = Id(manager_->AculabTables().GetVMPtxId(channel));
    const size_t from = Journal().size();

    // A whole record and a piece of one: both wait for a call on the channel's port and slot.
    SendRecord(kCAOPIN, 1, sizeof(CALL_OPEN_IN_PARMS),
               std::vector<uint8_t>(sizeof(CALL_OPEN_IN_PARMS), 0x5A));
    SendRecord(kCAOPIN, 1, 10, std::vector<uint8_t>(10, 0x5A));
    SendRecord(kCAOPIN, 1, -1, {});
    Sync();
    EXPECT_EQ(Control("query acucall 4096"),
              "OK port=256 slot=1 direction=in state=waiting context=10002 vmprx=none vmptx=none "
              "cause=0 dtmf=none");
    EXPECT_THAT(Control("query acucall 4097"), HasSubstr("direction=in state=waiting"));
    EXPECT_EQ(Control("query acucall 4098"), "ERR no Aculab call 4098");
    EXPECT_THAT(DebugLines(), Contains(EndsWith("CAOPIN: command too short")));

    // The x-calls carry the channel's VMP contexts; their call handle comes in the record, which
    // is taken only whole.
    SendRecord(kXCINRI, 1, 10, RecordWithCall(10, 0, kFirstCall));
    SendRecord(kXCINRI, 1, 794, RecordWithCall(sizeof(XCALL_RINGING_PARMS), 20, kFirstCall));
    SendRecord(kXCACCE, 1, 1430, RecordWithCall(sizeof(XCALL_ACCEPT_PARMS), 20, kFirstCall));
    peer_->Send(kIPSDTM, next_id_++, [](net::COutputStreamSocket& w) {
        const std::vector<uint8_t> bytes = RecordWithCall(16, 4, kFirstCall);
        w.WriteInt(1).WriteInt(16).WriteBytes(bytes.data(), 16);
    });
    Sync();
    EXPECT_EQ(Control("query acucall 4096"),
              "OK port=256 slot=1 direction=in state=connected context=10002 vmprx=" + receive +
                  " vmptx=" + transmit +
                  " cause=0 dtmf=" + std::to_string(0xA5A5A5A5 - (1LL << 32)));

    // The cause of a call, before and after it is disconnected, then released.
    Send(kXCGETC, {1, kIp, kFirstCall});
    Send(kCADISC, {1, kIp, kFirstCall, 16, 0x90});
    Send(kXCGETC, {1, kIp, kFirstCall});
    Send(kCARELE, {1, kIp, kFirstCall});
    Sync();
    CALL_GETCAUSE_PARMS cause{};
    cause.size = sizeof cause;
    cause.handle = kFirstCall;
    const auto causeReply = [&] {
        return MessagePayload(22, [&](net::COutputStreamSocket& w) {
            w.WriteInt(1).WriteInt(kIp).WriteInt(0).WriteLong(sizeof cause);
            w.WriteBytes(reinterpret_cast<const uint8_t*>(&cause), sizeof cause);
        });
    };
    EXPECT_EQ(NextMessage(22), causeReply());
    cause.cause = 16;
    cause.raw = 0x90;
    EXPECT_EQ(NextMessage(22), causeReply());
    EXPECT_EQ(Control("query acucall 4096"), "ERR no Aculab call 4096");

    // The other call is rung and accepted by its handle; an outgoing call takes the contexts.
    Send(kCAINRI, {1, kIp, kFirstCall + 1});
    Send(kCAACCE, {1, kIp, kFirstCall + 1});
    Send(kCAINRI, {2, kIp, kFirstCall + 1});
    SendRecord(kCAOPOU, 1, 0, {});
    Send(kCAPOIN, {1, kIp});
    Send(kCAOPIP, {1});
    Send(kCAOPIP, {9, 48});
    Sync();
    EXPECT_THAT(Control("query acucall 4097"), HasSubstr("state=connected"));
    EXPECT_THAT(Control("query acucall 4098"),
                HasSubstr("direction=out state=outgoing context=10002 vmprx=" + receive));
    EXPECT_THAT(statuses_.statuses(), Contains(PortStatus{18, 1, "Busy"}));
    CALL_PORT_INFO_PARMS info{};
    info.size = sizeof info;
    info.port_id = kFirstPort;
    std::strcpy(info.info, "Simulated net port 0 of card SER-IP1");
    EXPECT_EQ(NextMessage(20), MessagePayload(20, [&](net::COutputStreamSocket& w) {
                  w.WriteInt(1).WriteInt(kIp).WriteInt(0).WriteLong(sizeof info);
                  w.WriteBytes(reinterpret_cast<const uint8_t*>(&info), sizeof info);
              }));
    // The board moved to its IP telephony port.
    EXPECT_EQ(Control("query acuport 258"), "OK card=16385 ipt protocol=48 calls=none");
    EXPECT_EQ(manager_->AculabTables().GetAculabPortId(HandleOf(1000001)), 258);

    EXPECT_THAT(
        CallControlCalls(from),
        ElementsAre("call_openin = 0", "call_openin = 0", "xcall_incoming_ringing = -1",
                    "xcall_incoming_ringing = 0", "xcall_accept = 0", "ipt_set_dtmf_handling = 0",
                    "xcall_getcause = 0", "call_disconnect = 0", "xcall_getcause = 0",
                    "call_release = 0", "call_incoming_ringing = 0", "call_accept = 0",
                    "call_openout = 0", "call_port_info = 0", "call_open_iptel_port = 0"));
    const std::vector<std::string> lines = DebugLines();
    EXPECT_THAT(lines, Contains(EndsWith("call_openin ldev=10002 handle=4096 rc=0")));
    EXPECT_THAT(lines, Contains(EndsWith("call_incoming_ringing ldev=UNKNOWN RET=ERROR")));
    EXPECT_THAT(lines, Contains(EndsWith("IP Dev for board9 not found.")));
}

TEST_F(AculabCommandsTest, ADigitReplayIsQueuedForTheRelayWorker) {
    OpenBoards();
    OpenChannel(1, 1, 1);
    const auto replay = [this](const std::vector<int32_t>& before, const std::string& digits,
                               const std::vector<int32_t>& after) {
        peer_->Send(kSMREDI, next_id_++, [&](net::COutputStreamSocket& w) {
            for (const int32_t value : before) {
                w.WriteInt(value);
            }
            w.WriteString(digits);
            for (const int32_t value : after) {
                w.WriteInt(value);
            }
        });
    };
    replay({1, 18}, "123", {});
    replay({5, 18}, "9", {});
    replay({7, 999}, "45#", {3, 2, 1, 18});
    replay({7, 999}, "6", {3, 2, 9, 18});
    Sync();
    WorkQueue<CRelayDigitsParam>& queue = manager_->RelayDigitQueue();
    ASSERT_EQ(queue.Size(), 2u);
    const std::optional<CRelayDigitsParam> channel = queue.TakeOne();
    EXPECT_EQ(channel->device, HandleOf(1));
    EXPECT_EQ(channel->deviceType, 18);
    EXPECT_EQ(channel->digits, "123");
    const std::optional<CRelayDigitsParam> amtelco = queue.TakeOne();
    EXPECT_EQ(amtelco->device, 7);
    EXPECT_EQ(amtelco->digits, "45#");
    EXPECT_EQ(amtelco->amtelcoReceive, 3);
    EXPECT_EQ(amtelco->amtelcoCable, 2);
    EXPECT_EQ(amtelco->cableDevice, HandleOf(1));
    EXPECT_EQ(amtelco->cableDeviceType, 18);
    const std::vector<std::string> lines = DebugLines();
    EXPECT_THAT(
        lines,
        Contains(EndsWith("Error in Replay digits : Device Not found for Channel 5 Type 18")));
    EXPECT_THAT(lines, Contains(EndsWith("AmtelcoRx = 3 AmtelcoCableId = 2 "
                                         "OrigChannelConnectedToAmtelco = 9 "
                                         "OrigChannelTypeConnectedToAmtelco = 18")));
    EXPECT_THAT(lines, Contains(EndsWith("Error in Replay digits : Original Device Connected To "
                                         "Amtelco Not found for Channel 9 Type 18")));
}

TEST_F(AculabCommandsTest, TheChannelInventoryListsTwoBoardsOfThirtyChannelsAModule) {
    Send(kCFAUTO, {2, 100});
    EXPECT_EQ(ReplyInts(35), (std::vector<int32_t>{35, 2, 0}));
    Send(kACOPEN, {});
    Send(kCFAUTO, {2, 100});
    EXPECT_EQ(ReplyInts(35),
              (std::vector<int32_t>{35, 2, 4, 1, 1, 30, 2, 31, 60, 3, 61, 90, 4, 91, 100}));
    Send(kCFAUTO, {2, 1000});
    EXPECT_EQ(ReplyInts(35), (std::vector<int32_t>{35, 2, 6,  1,   1, 30,  2,   31, 60,  3,  61,
                                                   90, 4, 91, 120, 5, 121, 150, 6,  151, 180}));
}

TEST_F(AculabCommandsTest, ASessionOpensUsesAndClosesAnIpChannel) {
    Send(kACOPEN, {});
    Send(kCAOPPO, {1, kIp});
    Send(kCAOPTS, {1, 1, 1, kIp});
    Send(kSMVMPR, {1});
    EXPECT_EQ(ReplyInts(25), (std::vector<int32_t>{25, 1, 0}));
    EXPECT_EQ(Control("query aculab SER-IP1"),
              "OK id=16385 open=1 call=1 switch=1 speech=1 ipt=1 modules=2");
    const std::string opened = Prosody(kFirstModule);
    EXPECT_THAT(opened, HasSubstr(":in:64:4:echo("));
    EXPECT_THAT(opened, HasSubstr(":running:from=tdmrx:"));
    EXPECT_THAT(opened, HasSubstr(":64:3:from=vmprx:"));
    SendRecord(kCAOPIN, 1, 0, {});
    Send(kSMVMPD, {1});
    Send(kCACLTS, {1, kIp});
    Sync();
    EXPECT_EQ(Control("query acuport 256"), "OK card=16385 index=0 calls=4096");
    EXPECT_EQ(Prosody(kFirstModule), "OK none");
    Send(kACCLOS, {});
    Sync();
    EXPECT_EQ(Control("query acuport 256"), "ERR no Aculab port 256");
    EXPECT_EQ(Control("query aculab SER-IP1"),
              "OK id=16385 open=0 call=0 switch=0 speech=0 ipt=0 modules=0");
    EXPECT_EQ(CountCalls("sm_channel_release_iCt"), 3u);
    EXPECT_EQ(CountCalls("sm_tdmtx_destroy_iTt"), 1u);
    EXPECT_EQ(CountCalls("call_close_port"), 1u);
    EXPECT_EQ(telephony::AculabCards().Size(), 0u);
    EXPECT_THAT(statuses_.StatusLines(), ElementsAre("18/1 Idle", "18/1 Closed"));
}

TEST_F(AculabCommandsTest, TheShutDownEndsTheChannelsCallsAndMedia) {
    OpenBoards();
    OpenChannel(1, 1, 1);
    Send(kSMVMPR, {1});
    EXPECT_EQ(ReplyInts(25), (std::vector<int32_t>{25, 1, 0}));
    SendRecord(kCAOPIN, 1, 0, {});
    SendRecord(kCAOPOU, 1, 0, {});
    Sync();
    const size_t from = Journal().size();
    manager_->SafeCloseAllChannels();
    EXPECT_THAT(CallControlCalls(from),
                ElementsAre("call_disconnect = 0", "call_release = 0", "call_disconnect = 0",
                            "call_release = 0", "acu_close_call = 0", "call_close_port = 0",
                            "acu_close_call = 0", "acu_close_ipt = 0", "call_close_port = 0",
                            "acu_close_call = 0", "acu_close_ipt = 0"));
    EXPECT_EQ(CountCalls("sm_vmprx_destroy_iVr"), 1u);
    EXPECT_EQ(CountCalls("sm_channel_release_iCt"), 3u);
    EXPECT_EQ(manager_->Devices().Ip().Size(), 0u);
    EXPECT_EQ(manager_->AculabTables().GetProsodyStream(10002), -1);
    const std::vector<std::string> lines = DebugLines();
    EXPECT_THAT(lines, Contains(EndsWith("call_disconnect ldev=1 Handle=4096 RET=0")));
    EXPECT_THAT(lines, Contains(EndsWith("call_release handle=4097 RC=0")));
}

}  // namespace
}  // namespace ruzd::node
