// The ISDN call-control commands on the simulated boards: what each asks of the library (the
// simulator's journal), what it answers on the command connection (byte for byte), what it
// keeps in the manager's tables and what it reports as the port's state.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "node/tests/isdn_node_fixture.h"

namespace ruzd::node {
namespace {

using ::testing::AllOf;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using testing::MessagePayload;
using ::testing::Not;
using testing::Payload;
using testing::PortStatus;

constexpr int32_t kCCDRCA = 8;
constexpr int32_t kCCSTAT = 9;
constexpr int32_t kCCSTOT = 10;
constexpr int32_t kCCACCA = 77;
constexpr int32_t kCCANCA = 78;
constexpr int32_t kCCBLOC = 79;
constexpr int32_t kCCCAAC = 80;
constexpr int32_t kCCCAPR = 81;
constexpr int32_t kCCCLOS = 82;
constexpr int32_t kCCGINF = 83;
constexpr int32_t kCCMKCA = 84;
constexpr int32_t kCCOPEN = 85;
constexpr int32_t kCCREST = 86;
constexpr int32_t kCCRLCA = 87;
constexpr int32_t kCCSCHS = 88;
constexpr int32_t kCCSEVM = 89;
constexpr int32_t kCCUNBL = 90;
constexpr int32_t kCCWCAL = 91;
constexpr int32_t kCCGDCS = 92;
constexpr int32_t kCCGBCS = 93;
constexpr int32_t kCCSDCC = 94;
constexpr int32_t kCCOPEB = 95;
constexpr int32_t kCCCAVA = 96;
constexpr int32_t kCCGMDI = 97;
constexpr int32_t kCCSMSG = 98;
constexpr int32_t kCCSIEL = 125;

constexpr int32_t kAsync = 0x8000;

class IsdnCallControlTest : public testing::IsdnNodeTest {
protected:
    // Opens a B channel and returns its vendor handle.
    int32_t Open(int32_t ldev) {
        peer_->SendInts(kCCOPEN, 10, {ldev});
        Sync();
        int32_t handle = -1;
        EXPECT_TRUE(manager_->Devices().Network().Get(ldev, &handle));
        return handle;
    }

    // A make-call of `number` with a MAKECALL block of `blockSize` bytes.
    void MakeCall(int32_t ldev, const std::string& number, size_t blockSize = 127) {
        peer_->Send(kCCMKCA, 20, [&](net::COutputStreamSocket& writer) {
            const std::vector<uint8_t> block(blockSize, 0x4D);
            writer.WriteInt(ldev).WriteLong(0).WriteString(number).WriteInt(30);
            writer.WriteBytes(block.data(), static_cast<int>(block.size()));
        });
        Sync();
    }

    void SendCrnCommand(int32_t code, std::vector<int32_t> values) {
        peer_->SendInts(code, 30, values);
        Sync();
    }
};

TEST_F(IsdnCallControlTest, EveryCommandOfTheFamilyIsRegistered) {
    for (int32_t code :
         {kCCDRCA, kCCSTAT, kCCSTOT, kCCACCA, kCCANCA, kCCBLOC, kCCCAAC, kCCCAPR, kCCCLOS,
          kCCGINF, kCCMKCA, kCCOPEN, kCCREST, kCCRLCA, kCCSCHS, kCCSEVM, kCCUNBL, kCCWCAL,
          kCCGDCS, kCCGBCS, kCCSDCC, kCCOPEB, kCCCAVA, kCCGMDI, kCCSMSG, kCCSIEL}) {
        EXPECT_TRUE(manager_->HasCommandHandler(code)) << code;
    }
}

TEST_F(IsdnCallControlTest, OpensBChannelsByBoardAndTimeSlot) {
    const size_t mark = CallControlJournal().size();
    peer_->SendInts(kCCOPEN, 10, {31});
    peer_->SendInts(kCCOPEN, 11, {30});
    Sync();

    int32_t handle31 = -1;
    int32_t handle30 = -1;
    ASSERT_TRUE(manager_->Devices().Network().Get(31, &handle31));
    ASSERT_TRUE(manager_->Devices().Network().Get(30, &handle30));
    EXPECT_THAT(CallControlJournal(mark),
                ElementsAre(HasSubstr("cc_Open(0x"),
                            "cc_SetParm(" + std::to_string(handle31) + ", 30874, 20) = 0",
                            HasSubstr("cc_Open(0x"),
                            "cc_SetParm(" + std::to_string(handle30) + ", 30874, 20) = 0"));
    EXPECT_THAT(CallControlJournal(mark)[0], HasSubstr("\"dtiB2T1\", 0) = 0"));
    EXPECT_THAT(CallControlJournal(mark)[2], HasSubstr("\"dtiB1T30\", 0) = 0"));
    EXPECT_EQ(Control("query device #" + std::to_string(handle31)),
              "OK handle=" + std::to_string(handle31) + " name=dtiB2T1 subdevices=0 open=1");

    int32_t ldev = 0;
    int32_t type = 0;
    EXPECT_TRUE(manager_->Devices().HandleLdevs().Get(handle31, &ldev));
    EXPECT_EQ(ldev, 31);
    EXPECT_TRUE(manager_->Devices().PortTypes().Get(handle31, &type));
    EXPECT_EQ(type, 3);
    EXPECT_EQ(manager_->OpenChannelCount(), 2);
    EXPECT_THAT(statuses_.Take(),
                ElementsAre(PortStatus{3, 31, "Idle"}, PortStatus{3, 30, "Idle"}));
    EXPECT_THAT(Replies(), IsEmpty());
    EXPECT_THAT(DebugLines(), Contains(EndsWith("cc_Open ldev=" + std::to_string(handle31) +
                                                " devname=dtiB2T1 RET=0")));
    EXPECT_THAT(DebugLines(), Contains(EndsWith("cc_SetParm RET=0")));
}

TEST_F(IsdnCallControlTest, ABoardThatOpensCountsNoChannelAndSendsNothing) {
    const size_t mark = CallControlJournal().size();
    peer_->SendInts(kCCOPEN, 10, {1000000 + 2});
    Sync();

    int32_t handle = -1;
    ASSERT_TRUE(manager_->Devices().Network().Get(1000002, &handle));
    ASSERT_THAT(CallControlJournal(mark), ElementsAre(HasSubstr("\"dtiB2\", 0) = 0")));
    EXPECT_EQ(manager_->OpenChannelCount(), 0);
    EXPECT_THAT(statuses_.Take(), IsEmpty());
    EXPECT_THAT(Replies(std::chrono::milliseconds(200)), IsEmpty());
}

TEST_F(IsdnCallControlTest, ABoardThatFailsToOpenIsReportedAsItsOwnEventAndStaysUnknown) {
    Control("fail cc_Open -1 1");
    peer_->SendInts(kCCOPEN, 10, {1000000 + 2});
    Sync();

    // The board's event goes through the listener, which sends it to this connection too.
    EXPECT_THAT(
        Replies(), ElementsAre(MessagePayload(12, [](auto& w) {
            w.WriteInt(1000002).WriteInt(3).WriteInt(-1).WriteInt(0x2049).WriteInt(0).WriteInt(1);
        })));
    int32_t handle = 0;
    EXPECT_FALSE(manager_->Devices().Network().Get(1000002, &handle) && handle != -1);

    const size_t mark = CallControlJournal().size();
    peer_->SendInts(kCCWCAL, 11, {1000002});
    Sync();
    EXPECT_THAT(CallControlJournal(mark), IsEmpty());
    EXPECT_THAT(DebugLines(), Contains(EndsWith("cc_WaitCall ldev=UNKNOWN RET=ERROR")));
}

TEST_F(IsdnCallControlTest, AChannelThatFailsToOpenIsNeitherCountedNorReachable) {
    Control("fail cc_Open -1 1");
    peer_->SendInts(kCCOPEN, 10, {5});
    Sync();

    EXPECT_EQ(manager_->OpenChannelCount(), 0);
    EXPECT_THAT(statuses_.Take(), IsEmpty());
    const size_t mark = CallControlJournal().size();
    peer_->SendInts(kCCBLOC, 11, {5});
    Sync();
    EXPECT_THAT(CallControlJournal(mark), IsEmpty());
    EXPECT_THAT(DebugLines(), Contains(EndsWith("cc_BlockTs ldev=UNKNOWN RET=ERROR")));
}

TEST_F(IsdnCallControlTest, AnIncomingCallFromWaitToClose) {
    const int32_t handle = Open(1);
    const std::string line = std::to_string(handle);
    CRN* slot = manager_->CallRefs().GetCallRefSlot(1, 3);
    ASSERT_NE(slot, nullptr);
    statuses_.Take();
    size_t mark = CallControlJournal().size();

    peer_->SendInts(kCCWCAL, 11, {1});
    Sync();
    EXPECT_THAT(CallControlJournal(mark), ElementsAre("cc_WaitCall(" + line + ", " + Address(slot) +
                                                      ", NULL, -1, 32768) = 0"));
    mark = CallControlJournal().size();

    ASSERT_EQ(Control("call dtiB1T1 5551000 5552000"), "OK crn=4097");
    ASSERT_EQ(Control("settle"), "OK");
    // The library wrote the offered call's reference into the line device's entry.
    EXPECT_EQ(*slot, 4097);

    SendCrnCommand(kCCACCA, {1, 4097, 2, 0});
    SendCrnCommand(kCCANCA, {1, 4097, 0, 0});
    ASSERT_EQ(Control("hangup dtiB1T1"), "OK crn=4097");
    ASSERT_EQ(Control("settle"), "OK");
    SendCrnCommand(kCCDRCA, {1, 4097, 16, kAsync});
    SendCrnCommand(kCCRLCA, {1, 4097});
    ASSERT_EQ(Control("settle"), "OK");
    peer_->SendInts(kCCCLOS, 31, {1});
    Sync();

    // Accept and answer are started asynchronously whatever mode was sent; the drop keeps its
    // mode.
    EXPECT_THAT(CallControlJournal(mark),
                ElementsAre("cc_AcceptCall(4097, 2, 32768) = 0",
                            "cc_AnswerCall(4097, 0, 32768) = 0", "cc_DropCall(4097, 16, 32768) = 0",
                            "cc_ReleaseCallEx(4097, 32768) = 0", "cc_Close(" + line + ") = 0"));
    EXPECT_EQ(Control("query events"), "OK 6");
    EXPECT_EQ(manager_->OpenChannelCount(), 0);
    EXPECT_THAT(statuses_.Take(), ElementsAre(PortStatus{3, 1, "Closed"}));
    int32_t closed = 0;
    EXPECT_FALSE(manager_->Devices().Network().Get(1, &closed));
    int32_t ldev = 0;
    EXPECT_FALSE(manager_->Devices().HandleLdevs().Get(handle, &ldev));
    EXPECT_THAT(Replies(), IsEmpty());

    const std::vector<std::string> log = DebugLines();
    EXPECT_THAT(log, Contains(EndsWith("cc_WaitCall ldev=" + line + " RET=0")));
    EXPECT_THAT(
        log, Contains(EndsWith("cc_AcceptCall ldev=" + line + " crn=4097 rings=2 mode=0 RET=0")));
    EXPECT_THAT(log, Contains(EndsWith("cc_DropCall ldev=" + line +
                                       " crn=4097 cause=16 mode=32768 RET=0 - No error")));
    EXPECT_THAT(log, Contains(EndsWith("cc_ReleaseCallEx crn=4097 RC=0")));
    EXPECT_THAT(log, Contains(EndsWith("cc_Close ldev=" + line + " RET=0")));
    EXPECT_THAT(log, Contains(AllOf(HasSubstr("SocketCmdCCACCA (1, 4097, 2, 0)"),
                                    HasSubstr(":000000030:Dt"))));
}

TEST_F(IsdnCallControlTest, ACrnBelow500StandsForTheLineDevicesCurrentCall) {
    Open(2);
    size_t mark = CallControlJournal().size();
    // No call kept: the command ends after its entry line.
    SendCrnCommand(kCCACCA, {2, 0, 1, 0});
    SendCrnCommand(kCCRLCA, {2, 499});
    SendCrnCommand(kCCCAAC, {2, 7000, 3});
    EXPECT_THAT(CallControlJournal(mark), IsEmpty());

    manager_->CallRefs().SetCallRef(2, 3, 4500, true);
    SendCrnCommand(kCCACCA, {2, 0, 1, 0});
    SendCrnCommand(kCCCAAC, {2, 7000, 3});
    SendCrnCommand(kCCCAPR, {2, 12, 1, -5});
    // A vendor's own reference is passed on as it came.
    SendCrnCommand(kCCACCA, {2, 5000, 1, 0});
    EXPECT_THAT(CallControlJournal(mark),
                ElementsAre("cc_AcceptCall(4500, 1, 32768) = -1", "cc_CallAck(4500, NULL, 3) = 0",
                            "cc_CallProgress(4500, 1) = 0", "cc_AcceptCall(5000, 1, 32768) = -1"));
    EXPECT_THAT(DebugLines(), Contains(EndsWith("cc_CallAck crn=4500 msgid=3 RC=0")));
    EXPECT_THAT(DebugLines(),
                Contains(EndsWith("cc_CallProgress crn=4500 ind=1 fromscen=-5 RC=0")));
}

TEST_F(IsdnCallControlTest, OutgoingCallsOfEveryOutcome) {
    const std::vector<std::pair<std::string, std::string>> outcomes = {
        {"connect", "OK 3"}, {"busy", "OK 2"}, {"noanswer", "OK 3"}, {"fail", "OK 1"}};
    int32_t ldev = 10;
    CRN expected = 4097;
    for (const auto& [outcome, events] : outcomes) {
        SCOPED_TRACE(outcome);
        ASSERT_EQ(Control("dialout * " + outcome), "OK");
        const int32_t handle = Open(ldev);
        CRN* slot = manager_->CallRefs().GetCallRefSlot(ldev, 3);
        statuses_.Take();
        const size_t mark = CallControlJournal().size();
        const size_t before = std::stoul(Control("query events").substr(3));

        MakeCall(ldev, "0301234567");
        ASSERT_EQ(Control("settle"), "OK");
        EXPECT_THAT(CallControlJournal(mark),
                    ElementsAre(AllOf(HasSubstr("cc_MakeCall(" + std::to_string(handle) + ", " +
                                                Address(slot) + ", \"0301234567\", 0x"),
                                      EndsWith(", 30, 32768) = 0"))));
        // The reference came into the line device's entry, which now names the current call.
        CRN current = 0;
        EXPECT_TRUE(manager_->CallRefs().GetCallRef(ldev, 3, &current));
        EXPECT_EQ(current, expected);
        EXPECT_EQ(std::stoul(Control("query events").substr(3)) - before,
                  std::stoul(events.substr(3)));
        EXPECT_THAT(statuses_.Take(), ElementsAre(PortStatus{3, ldev, "Busy"}));
        EXPECT_THAT(DebugLines(), Contains(EndsWith("cc_MakeCall ldev=" + std::to_string(handle) +
                                                    " crn=lCRN phonenum=0301234567 timeout=30 "
                                                    "RC=0")));
        ++ldev;
        ++expected;
    }
}

TEST_F(IsdnCallControlTest, AnOutgoingCallTheFarEndSettlesLater) {
    ASSERT_EQ(Control("dialout dtiB1T3 pending"), "OK");
    Open(3);
    MakeCall(3, "777");
    ASSERT_EQ(Control("settle"), "OK");
    EXPECT_EQ(Control("query events"), "OK 1");
    ASSERT_EQ(Control("farend dtiB1T3 busy"), "OK crn=4097");
    ASSERT_EQ(Control("settle"), "OK");
    EXPECT_EQ(Control("query events"), "OK 2");

    // The call is the line device's: a drop and release by 0 reach it.
    const size_t mark = CallControlJournal().size();
    SendCrnCommand(kCCDRCA, {3, 0, 17, 0});
    SendCrnCommand(kCCRLCA, {3, 0});
    EXPECT_THAT(CallControlJournal(mark),
                ElementsAre("cc_DropCall(4097, 17, 0) = 0", "cc_ReleaseCallEx(4097, 32768) = 0"));
}

TEST_F(IsdnCallControlTest, AMakeCallWithAWrongBlockOrNumberMakesNoCallOrDialsNothing) {
    Open(4);
    size_t mark = CallControlJournal().size();
    MakeCall(4, "123", 126);
    EXPECT_THAT(CallControlJournal(mark), IsEmpty());
    EXPECT_THAT(DebugLines(), Contains(EndsWith("Invalid MAKECALL_BLK!")));

    // Fifty digits do not fit the number's buffer: the call goes out without a number.
    MakeCall(4, std::string(50, '9'));
    EXPECT_THAT(CallControlJournal(mark), ElementsAre(HasSubstr(", \"\", 0x")));
}

TEST_F(IsdnCallControlTest, CommandsOnAnUnknownLineDeviceCallNothing) {
    const size_t mark = CallControlJournal().size();
    peer_->SendInts(kCCWCAL, 41, {9});
    peer_->SendInts(kCCCLOS, 42, {9});
    peer_->SendInts(kCCSCHS, 43, {9, 1, 0, 0, 0});
    peer_->SendInts(kCCACCA, 44, {9, 4097, 1, 0});
    peer_->SendInts(kCCGBCS, 45, {9});
    peer_->SendInts(kCCGDCS, 46, {9});
    peer_->SendInts(kCCGINF, 47, {9});
    Sync();

    EXPECT_THAT(CallControlJournal(mark), IsEmpty());
    // Only the information-element query answers: an empty text and -1.
    EXPECT_THAT(Replies(),
                ElementsAre(MessagePayload(11, [](auto& w) { w.WriteString("").WriteInt(-1); })));
    const std::vector<std::string> log = DebugLines();
    EXPECT_THAT(log, Contains(AllOf(HasSubstr(":000000041:Dt"),
                                    EndsWith("cc_WaitCall ldev=UNKNOWN RET=ERROR"))));
    EXPECT_THAT(log, Contains(EndsWith("cc_Close dev=UNKNOWN RET=ERROR")));
    EXPECT_THAT(log, Contains(EndsWith("cc_SetChanState ldev=UNKNOWN RET=ERROR")));
    EXPECT_THAT(log, Contains(EndsWith("cc_AcceptCall ldev=UNKNOWN RET=ERROR")));
    EXPECT_THAT(log, Not(Contains(HasSubstr("cc_GetBChanState"))));
}

// A command whose frame ends before its text or its block logs one line and calls nothing.
TEST_F(IsdnCallControlTest, AShortFrameIsRefusedWithOneLineAndNoCall) {
    Open(3);
    const size_t mark = CallControlJournal().size();
    peer_->SendInts(kCCSTAT, 96, {3});
    peer_->SendInts(kCCSIEL, 97, {3});
    peer_->Send(kCCMKCA, 98, [](net::COutputStreamSocket& writer) {
        writer.WriteInt(3).WriteLong(0).WriteString("42").WriteInt(30);
    });
    Sync();

    EXPECT_THAT(CallControlJournal(mark), IsEmpty());
    const std::vector<std::string> log = DebugLines();
    EXPECT_THAT(log,
                Contains(AllOf(HasSubstr(":000000096:Dt"), EndsWith("CCSTAT: command too short"))));
    EXPECT_THAT(log, Contains(EndsWith("CCSIEL: command too short")));
    EXPECT_THAT(log, Contains(EndsWith("CCMKCA: command too short")));
    EXPECT_THAT(log, Not(Contains(HasSubstr("SocketCmdCCSTAT"))));
    EXPECT_THAT(log, Not(Contains(EndsWith("Invalid IE_BLK!"))));
    EXPECT_THAT(log, Not(Contains(EndsWith("Invalid MAKECALL_BLK!"))));
}

TEST_F(IsdnCallControlTest, ChannelStatesAreAnsweredOnTheCommandsConnection) {
    const int32_t handle = Open(6);
    peer_->SendInts(kCCSCHS, 50, {6, 2, 0, 7, 8});
    Sync();
    ASSERT_EQ(Control("settle"), "OK");
    peer_->SendInts(kCCGBCS, 51, {6});
    peer_->SendInts(kCCGDCS, 52, {6});
    Sync();
    EXPECT_THAT(Replies(),
                ElementsAre(MessagePayload(14, [](auto& w) { w.WriteInt(6).WriteInt(2); }),
                            MessagePayload(15, [](auto& w) { w.WriteInt(6).WriteInt(1); })));
    EXPECT_THAT(DebugLines(), Contains(EndsWith("cc_SetChanState ldev=" + std::to_string(handle) +
                                                " chanstate=2 mode=0 nrpra=7 reset=8 RET=0")));

    // A state that cannot be read is answered as -1.
    Control("fail cc_GetBChanState -1 1");
    peer_->SendInts(kCCGBCS, 53, {6});
    Sync();
    EXPECT_THAT(Replies(),
                ElementsAre(MessagePayload(14, [](auto& w) { w.WriteInt(6).WriteInt(-1); })));
}

TEST_F(IsdnCallControlTest, InformationElementsOfTheLastOfferedCallAreAnsweredAsHex) {
    Open(7);
    peer_->SendInts(kCCWCAL, 60, {7});
    Sync();
    ASSERT_EQ(Control("call dtiB1T7 1 2 ie=0aff"), "OK crn=4097");
    ASSERT_EQ(Control("settle"), "OK");
    peer_->SendInts(kCCGINF, 61, {7});
    Sync();
    EXPECT_THAT(Replies(), ElementsAre(MessagePayload(
                               11, [](auto& w) { w.WriteString("0AFF").WriteInt(0); })));
    EXPECT_THAT(DebugLines(), Contains(EndsWith("cc_GetInfoElement str=0AFF RC=0")));
}

TEST_F(IsdnCallControlTest, InformationElementsToSendAreCheckedBeforeTheLibrarySeesThem) {
    const int32_t handle = Open(8);
    IE_BLK block{};
    block.length = 3;
    block.data[0] = 0x70;
    block.data[1] = 0x01;
    block.data[2] = 0x33;
    const auto send = [&](const IE_BLK& elements, int size) {
        peer_->Send(kCCSIEL, 70, [&](net::COutputStreamSocket& writer) {
            writer.WriteInt(8).WriteBytes(reinterpret_cast<const uint8_t*>(&elements), size);
        });
        Sync();
    };
    const size_t mark = CallControlJournal().size();
    send(block, sizeof block);
    send(block, sizeof block - 1);
    IE_BLK overlong = block;
    overlong.length = 300;
    send(overlong, sizeof overlong);
    EXPECT_THAT(CallControlJournal(mark),
                ElementsAre(HasSubstr("cc_SetInfoElem(" + std::to_string(handle) + ", 0x")));
    EXPECT_THAT(DebugLines(),
                Contains(EndsWith("cc_SetInfoElem ldev=" + std::to_string(handle) + " RC=0")));
    EXPECT_THAT(DebugLines(), Contains(EndsWith("Invalid IE_BLK!")));

    // The elements go out with the next call.
    MakeCall(8, "42");
    ASSERT_EQ(Control("settle"), "OK");
    EXPECT_THAT(Control("query call 4097"), HasSubstr("ies=700133"));
}

TEST_F(IsdnCallControlTest, MessagesAndDigitsOfTheCurrentCall) {
    Open(9);
    manager_->CallRefs().SetCallRef(9, 3, 4600, true);
    const size_t mark = CallControlJournal().size();
    IE_BLK block{};
    block.length = 1;
    block.data[0] = 0x1C;
    peer_->Send(kCCSMSG, 80, [&](net::COutputStreamSocket& writer) {
        writer.WriteInt(9).WriteLong(0).WriteInt(0x62);
        writer.WriteBytes(reinterpret_cast<const uint8_t*>(&block), sizeof block);
    });
    // A block of the wrong size is sent empty, as is one whose length runs past its end.
    peer_->Send(kCCSMSG, 81, [&](net::COutputStreamSocket& writer) {
        writer.WriteInt(9).WriteLong(0).WriteInt(0x62);
        writer.WriteBytes(reinterpret_cast<const uint8_t*>(&block), 10);
    });
    peer_->SendInts(kCCGMDI, 82, {9, 0, 4, 5000, 0});
    peer_->SendInts(kCCGMDI, 83, {9, 0, -1, 5000, kAsync});
    peer_->SendInts(kCCGMDI, 84, {9, 0, 70000, 5000, kAsync});
    peer_->SendInts(kCCGMDI, 85, {9, 0, 4, 5000, kAsync});
    Sync();
    EXPECT_THAT(
        CallControlJournal(mark),
        ElementsAre(HasSubstr("cc_SndMsg(4600, 98, 0x"), HasSubstr("cc_SndMsg(4600, 98, 0x"),
                    "cc_GetMoreDigits(4600, 4, 5000, 32768) = 0"));
    const std::vector<std::string> log = DebugLines();
    EXPECT_THAT(log, Contains(EndsWith("cc_SndMsg crn=4600 msg_type=98 RET=0")));
    EXPECT_THAT(log, Contains(EndsWith("Not implemented for EV_SYNC!")));
    EXPECT_THAT(log, Contains(EndsWith("Invalid digit count!")));
    EXPECT_THAT(log,
                Contains(EndsWith("cc_GetMoreDigits crn=4600 NumDig=4 Timeout=5000 crn=RET=0")));
}

TEST_F(IsdnCallControlTest, LineDeviceCommandsPassTheHandle) {
    const int32_t handle = Open(11);
    const std::string line = std::to_string(handle);
    const size_t mark = CallControlJournal().size();
    peer_->SendInts(kCCSEVM, 90, {11, 0x30, 1});
    peer_->SendInts(kCCBLOC, 91, {11});
    peer_->SendInts(kCCUNBL, 92, {11});
    peer_->SendInts(kCCCAVA, 93, {11});
    peer_->Send(kCCSTAT, 94, [](net::COutputStreamSocket& writer) {
        writer.WriteInt(11).WriteString("C:\\Ruzd\\Trace\\line11.log");
    });
    peer_->SendInts(kCCSTOT, 95, {11});
    const std::vector<uint8_t> config(82, 0x11);
    peer_->Send(kCCSDCC, 96, [&](net::COutputStreamSocket& writer) {
        writer.WriteInt(11).WriteBytes(config.data(), 82);
    });
    peer_->Send(kCCSDCC, 97, [&](net::COutputStreamSocket& writer) {
        writer.WriteInt(11).WriteBytes(config.data(), 81);
    });
    Sync();
    EXPECT_THAT(
        CallControlJournal(mark),
        ElementsAre("cc_SetEvtMsk(" + line + ", 48, 1) = 0", "cc_BlockTs(" + line + ") = 0",
                    "cc_UnBlockTs(" + line + ") = 0", "cc_CauseValue(" + line + ") = 0",
                    "cc_StartTrace(" + line + ", \"C:\\\\RUZD\\\\TRACE\\\\LINE11.LOG\") = 0",
                    "cc_StopTrace(" + line + ") = 0",
                    HasSubstr("cc_SetDChanCfg(" + line + ", 0x")));
    const std::vector<std::string> log = DebugLines();
    EXPECT_THAT(log, Contains(EndsWith("cc_SetEvtMsk ldev=" + line + " mask=48 action=1 RET=0")));
    EXPECT_THAT(log, Contains(EndsWith("cc_CauseValue ldev=" + line + " RET=0")));
    // The path as the file map gives it.
    EXPECT_THAT(log, Contains(EndsWith("cc_StartTrace ldev=" + line +
                                       " file=C:\\RUZD\\TRACE\\LINE11.LOG RET=0")));
    EXPECT_THAT(log, Contains(EndsWith("cc_SetDChanCfg ldev=" + line + " RET=0")));
}

TEST_F(IsdnCallControlTest, ARestartEndsTheCallAndItsReference) {
    Open(12);
    manager_->CallRefs().SetCallRef(12, 3, 4700, true);
    peer_->SendInts(kCCREST, 100, {12, kAsync});
    Sync();
    CRN crn = 0;
    EXPECT_FALSE(manager_->CallRefs().GetCallRef(12, 3, &crn));
    EXPECT_THAT(CallControlJournal(), Contains(HasSubstr("cc_Restart(")));
    EXPECT_THAT(DebugLines(), Contains(HasSubstr(" mode=32768 RET=0")));
}

TEST_F(IsdnCallControlTest, ClosingAFailedCloseStillForgetsTheLineButKeepsTheCount) {
    const int32_t handle = Open(13);
    statuses_.Take();
    Control("fail cc_Close -1 1");
    peer_->SendInts(kCCCLOS, 110, {13});
    Sync();
    int32_t found = 0;
    EXPECT_FALSE(manager_->Devices().Network().Get(13, &found));
    EXPECT_EQ(manager_->OpenChannelCount(), 1);
    EXPECT_THAT(statuses_.Take(), IsEmpty());
    EXPECT_THAT(DebugLines(),
                Contains(EndsWith("cc_Close ldev=" + std::to_string(handle) + " RET=-1")));
}

TEST_F(IsdnCallControlTest, BriChannelsAndStationsOpenByStationAndTimeSlot) {
    const size_t mark = CallControlJournal().size();
    peer_->SendInts(kCCOPEB, 120, {14, 2, 1});
    Sync();
    // The simulated boards have no BRI stations: the open fails and the line stays unknown.
    EXPECT_THAT(CallControlJournal(mark), ElementsAre(HasSubstr("\"briS2T1\", 0) = -1")));
    EXPECT_EQ(manager_->OpenChannelCount(), 0);
    EXPECT_THAT(DebugLines(), Contains(EndsWith("cc_Open (bri) ldev=-1 devname=briS2T1 RET=-1")));
    peer_->SendInts(kCCOPEB, 121, {1000003, 2, 1});
    Sync();
    EXPECT_THAT(CallControlJournal(mark), Contains(HasSubstr("\"briS2\", 0) = -1")));
}

TEST_F(IsdnCallControlTest, OpeningAnOpenLineDeviceAgainClosesItsFirstHandle) {
    const int32_t first = Open(15);
    const size_t mark = CallControlJournal().size();
    const int32_t second = Open(15);
    ASSERT_NE(second, first);
    const std::string h = std::to_string(second);
    EXPECT_THAT(CallControlJournal(mark), ElementsAre("cc_Close(" + std::to_string(first) + ") = 0",
                                                      HasSubstr("\"dtiB1T15\", 0) = 0"),
                                                      "cc_SetParm(" + h + ", 30874, 20) = 0"));
    EXPECT_THAT(Control("query device #" + std::to_string(first)), EndsWith("open=0"));
    int32_t ldev = 0;
    EXPECT_FALSE(manager_->Devices().HandleLdevs().Get(first, &ldev));
    EXPECT_EQ(manager_->OpenChannelCount(), 1);
    EXPECT_THAT(statuses_.Take(),
                ElementsAre(PortStatus{3, 15, "Idle"}, PortStatus{3, 15, "Closed"},
                            PortStatus{3, 15, "Idle"}));

    // A BRI open of the same line device closes it too, although the open itself fails.
    peer_->SendInts(kCCOPEB, 122, {15, 2, 1});
    Sync();
    EXPECT_THAT(CallControlJournal(mark), Contains("cc_Close(" + h + ") = 0"));
    EXPECT_THAT(Control("query device #" + h), EndsWith("open=0"));
    EXPECT_EQ(manager_->OpenChannelCount(), 0);
}

// With the workers running, the library's events reach the central server as device events.
class IsdnCallEventsTest : public IsdnCallControlTest {
protected:
    void SetUp() override {
        IsdnCallControlTest::SetUp();
        peer_->SendInts(15, 3, {});
        Sync();
    }

    // A device event of a network line without a tail.
    static Payload Event(int32_t ldev, int32_t handle, int32_t code, int32_t crn) {
        return MessagePayload(12, [=](auto& w) {
            w.WriteInt(ldev).WriteInt(3).WriteInt(handle).WriteInt(code).WriteInt(crn);
        });
    }
    // One with a tail of integers.
    static Payload Event(int32_t ldev, int32_t handle, int32_t code, int32_t crn,
                         std::vector<int32_t> tail) {
        return MessagePayload(12, [=](auto& w) {
            w.WriteInt(ldev).WriteInt(3).WriteInt(handle).WriteInt(code).WriteInt(crn);
            for (int32_t value : tail) {
                w.WriteInt(value);
            }
        });
    }
};

TEST_F(IsdnCallEventsTest, ARestartRefusesAMakeCallUntilItsCompletionEvent) {
    const int32_t handle = Open(12);
    const std::string line = std::to_string(handle);
    // The simulator holds the restart's completion back until the test lets it go.
    ASSERT_EQ(Control("worker hold"), "OK");
    peer_->SendInts(kCCREST, 100, {12, kAsync});
    Sync();
    const size_t mark = CallControlJournal().size();
    MakeCall(12, "555");
    EXPECT_THAT(CallControlJournal(mark), IsEmpty());
    EXPECT_THAT(DebugLines(), Contains(HasSubstr("*** cc_MakeCall ignored during cc_restart")));
    EXPECT_THAT(DebugLines(), Contains(EndsWith("cc_MakeCall ldev=" + line +
                                                " crn=lCRN phonenum=555 timeout=30 RC=-1")));
    EXPECT_THAT(statuses_.Take(), ElementsAre(PortStatus{3, 12, "Idle"}));

    ASSERT_EQ(Control("worker run"), "OK");
    EXPECT_EQ(NextMessage(12), Event(12, handle, CCEV_RESTART, 0));
    MakeCall(12, "555");
    EXPECT_THAT(CallControlJournal(mark), ElementsAre(HasSubstr("cc_MakeCall(" + line + ", 0x")));
    EXPECT_THAT(statuses_.Take(), ElementsAre(PortStatus{3, 12, "Busy"}));
}

TEST_F(IsdnCallEventsTest, StopEndsTheEventWorkerWhileItHasEventsToSend) {
    Open(12);
    // Enough events that the worker is still writing them while the stop is handled.
    ASSERT_EQ(Control("digits dtiB1T12 " + std::string(300, '5')), "OK events=300");
    peer_->SendInts(14, 200, {});
    Sync();
    const std::vector<std::string> lines = DebugLines();
    EXPECT_THAT(lines, Contains(EndsWith("ISDN Thread ended")));
    EXPECT_FALSE(std::any_of(lines.begin(), lines.end(), [](const std::string& line) {
        return line.ends_with("ERROR: ISDN thread didn't terminated");
    }));
    EXPECT_FALSE(manager_->IsWorkerRunning(CVesmarinManager::Worker::kISDN));
}

struct Outcome {
    const char* name;
    std::vector<std::pair<int32_t, std::vector<int32_t>>> events;  // code and tail
};

class IsdnOutgoingCallTest : public IsdnCallEventsTest,
                             public ::testing::WithParamInterface<Outcome> {};

TEST_P(IsdnOutgoingCallTest, EveryEventOfTheCallReachesTheCentralServer) {
    const Outcome& outcome = GetParam();
    ASSERT_EQ(Control(std::string("dialout dtiB1T5 ") + outcome.name), "OK");
    const int32_t handle = Open(5);
    MakeCall(5, "0301234567");
    for (const auto& [code, tail] : outcome.events) {
        EXPECT_EQ(NextMessage(12), Event(5, handle, code, 4097, tail)) << std::hex << code;
    }
    // The call is the line device's current one: 0 drops and releases it.
    SendCrnCommand(kCCDRCA, {5, 0, 16, kAsync});
    EXPECT_EQ(NextMessage(12), Event(5, handle, CCEV_DROPCALL, 4097));
    SendCrnCommand(kCCRLCA, {5, 0});
    EXPECT_EQ(NextMessage(12), Event(5, handle, CCEV_RELEASECALL, 4097));
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, IsdnOutgoingCallTest,
    ::testing::Values(
        Outcome{"connect", {{CCEV_PROCEEDING, {}}, {CCEV_ALERTING, {0}}, {CCEV_CONNECTED, {}}}},
        Outcome{"busy", {{CCEV_PROCEEDING, {}}, {CCEV_DISCONNECTED, {17, 0}}}},
        Outcome{"noanswer",
                {{CCEV_PROCEEDING, {}}, {CCEV_ALERTING, {0}}, {CCEV_DISCONNECTED, {19, 0}}}},
        Outcome{"fail", {{CCEV_TASKFAIL, {}}}}),
    [](const ::testing::TestParamInfo<Outcome>& info) { return std::string(info.param.name); });

TEST_F(IsdnCallEventsTest, AnIncomingCallIsNamedByZeroOnceOffered) {
    const int32_t handle = Open(6);
    peer_->SendInts(kCCWCAL, 120, {6});
    Sync();
    ASSERT_EQ(Control("call dtiB1T6 100 200"), "OK crn=4097");
    const std::optional<Payload> offered = NextMessage(12);
    ASSERT_TRUE(offered.has_value());
    EXPECT_EQ(testing::LeadingInts(*offered, 6),
              (std::vector<int32_t>{12, 6, 3, handle, CCEV_OFFERED, 4097}));

    SendCrnCommand(kCCACCA, {6, 0, 1, 0});
    EXPECT_EQ(NextMessage(12), Event(6, handle, CCEV_ACCEPT, 4097));
    SendCrnCommand(kCCANCA, {6, 0, 1, 0});
    EXPECT_EQ(NextMessage(12), Event(6, handle, CCEV_ANSWERED, 4097));
    ASSERT_EQ(Control("hangup dtiB1T6 31"), "OK crn=4097");
    EXPECT_EQ(NextMessage(12), Event(6, handle, CCEV_DISCONNECTED, 4097, {31, 0}));
    SendCrnCommand(kCCDRCA, {6, 0, 16, kAsync});
    EXPECT_EQ(NextMessage(12), Event(6, handle, CCEV_DROPCALL, 4097));
    SendCrnCommand(kCCRLCA, {6, 0});
    EXPECT_EQ(NextMessage(12), Event(6, handle, CCEV_RELEASECALL, 4097));
    EXPECT_THAT(statuses_.Take(), ElementsAre(PortStatus{3, 6, "Idle"}, PortStatus{3, 6, "Busy"},
                                              PortStatus{3, 6, "Idle"}));
}

}  // namespace
}  // namespace ruzd::node
