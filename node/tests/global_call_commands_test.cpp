// The Global Call commands on the simulated boards, with two IP boards of four channels each
// beside the network boards: what each asks of Global Call (the simulator's journal and what it
// kept), what reaches the central server (byte for byte) and what the manager keeps.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "node/tests/isdn_node_fixture.h"
#include "platform/win_path.h"
#include "telephony/vendorapi/globalcall.h"

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
using ::testing::StartsWith;

constexpr int32_t kCNSTRT = 15;
constexpr int32_t kGCOPEN = 127;
constexpr int32_t kGCRESL = 129;
constexpr int32_t kGCWCAL = 130;
constexpr int32_t kGCCLOS = 131;
constexpr int32_t kGCGLDS = 132;
constexpr int32_t kGCMKCA = 133;
constexpr int32_t kGCACCA = 135;
constexpr int32_t kGCCAAC = 137;
constexpr int32_t kGCGINF = 138;
constexpr int32_t kGCSTAT = 140;
constexpr int32_t kGCSTOT = 141;
constexpr int32_t kGCSUIN = 155;
constexpr int32_t kGCSANA = 156;
constexpr int32_t kIMRESE = 157;
constexpr int32_t kGCAMOC = 159;
constexpr int32_t kGCEXTE = 165;
constexpr int32_t kNetwork = 3;
constexpr int32_t kIp = 7;

class GlobalCallCommandsTest : public testing::IsdnNodeTest {
protected:
    std::string Boards() const override { return "network 2 30\nip 2 4\n"; }

    int32_t Open(int32_t type, int32_t ldev) {
        peer_->SendInts(kGCOPEN, 10, {type, ldev});
        Sync();
        int32_t handle = -1;
        EXPECT_TRUE(manager_->Devices().GetDeviceHandle(ldev, type, &handle));
        return handle;
    }

    // A make-call of "700" with Global Call's block (and `extension` bytes) when `gclib` is not
    // 0, and the call-control library's block when `makecall` is not 0.
    void MakeCall(int32_t type, int32_t ldev, int32_t gclib, const std::vector<uint8_t>& extension,
                  int32_t makecall) {
        peer_->Send(kGCMKCA, 20, [&](net::COutputStreamSocket& w) {
            w.WriteInt(type).WriteInt(ldev).WriteLong(0).WriteString("700").WriteInt(30);
            w.WriteInt(gclib);
            if (gclib != 0) {
                std::vector<uint8_t> block(static_cast<size_t>(gclib), 0);
                std::memcpy(block.data(), "dest", 4);
                w.WriteBytes(block.data(), gclib);
                w.WriteInt(static_cast<int32_t>(extension.size()));
                if (!extension.empty()) {
                    w.WriteBytes(extension.data(), static_cast<int>(extension.size()));
                }
            }
            w.WriteInt(makecall);
            if (makecall != 0) {
                const std::vector<uint8_t> block(static_cast<size_t>(makecall), 0x4D);
                w.WriteBytes(block.data(), makecall);
            }
        });
        Sync();
    }

    // A command with a counted byte block after its integers.
    void SendWithBytes(int32_t code, const std::vector<int32_t>& values,
                       const std::vector<uint8_t>& bytes) {
        peer_->Send(code, 30, [&](net::COutputStreamSocket& w) {
            for (int32_t value : values) {
                w.WriteInt(value);
            }
            w.WriteInt(static_cast<int32_t>(bytes.size()));
            if (!bytes.empty()) {
                w.WriteBytes(bytes.data(), static_cast<int>(bytes.size()));
            }
        });
        Sync();
    }

    int32_t IpHandle(int32_t ldev) {
        int32_t handle = -1;
        manager_->Devices().Ip().Get(ldev, &handle);
        return handle;
    }

    // The next device event of the code; those of other codes that come first are dropped.
    Payload AwaitEvent(int32_t code) {
        for (;;) {
            const std::optional<Payload> event = NextMessage(12);
            EXPECT_TRUE(event.has_value()) << "no event " << code;
            if (!event || testing::LeadingInts(*event, 5)[4] == code) {
                return event.value_or(Payload{});
            }
        }
    }

    // The workers forward the boards' events from here on.
    void StartWorkers() {
        peer_->SendInts(kCNSTRT, 5, {});
        Sync();
    }
};

TEST_F(GlobalCallCommandsTest, EveryCommandOfBothFamiliesIsRegistered) {
    for (int32_t code = 127; code <= 146; ++code) {
        EXPECT_TRUE(manager_->HasCommandHandler(code)) << code;
    }
    for (int32_t code : {155, 156, 157, 159, 165}) {
        EXPECT_TRUE(manager_->HasCommandHandler(code)) << code;
    }
}

TEST_F(GlobalCallCommandsTest, OpensNetworkLinesTrunkBoardsAndIpChannelsFromThePool) {
    size_t mark = GlobalCallJournal().size();
    const int32_t line = Open(kNetwork, 31);
    EXPECT_THAT(
        GlobalCallJournal(mark),
        ElementsAre(AllOf(StartsWith("gc_Open(0x"), EndsWith(", \":N_dtiB2T1:P_isdn\", 0) = 0")),
                    "gc_SetParm(" + std::to_string(line) + ", 30874, {...}) = 0"));
    EXPECT_THAT(Control("query line #" + std::to_string(line)), HasSubstr(" parm=30874:20"));
    // A type other than 7 is recorded as a network line.
    peer_->SendInts(kGCOPEN, 10, {1, 32});
    Sync();
    int32_t other = -1;
    int32_t type = 0;
    EXPECT_TRUE(manager_->Devices().Network().Get(32, &other));
    EXPECT_TRUE(manager_->Devices().PortTypes().Get(other, &type));
    EXPECT_EQ(type, kNetwork);

    peer_->SendInts(kGCOPEN, 11, {kNetwork, 1000001});
    Sync();
    int32_t board = -1;
    ASSERT_TRUE(manager_->Devices().Network().Get(1000001, &board));
    Control("fail gc_Open -1 1");
    peer_->SendInts(kGCOPEN, 12, {kNetwork, 1000002});
    Sync();
    EXPECT_THAT(Replies(), ElementsAre(MessagePayload(12,
                                                      [&](auto& w) {
                                                          w.WriteInt(1000001).WriteInt(3);
                                                          w.WriteInt(board).WriteInt(0x82E);
                                                          w.WriteInt(0).WriteInt(1);
                                                      }),
                                       MessagePayload(12, [&](auto& w) {
                                           w.WriteInt(1000002).WriteInt(3).WriteInt(-1);
                                           w.WriteInt(0x2049).WriteInt(0).WriteInt(1);
                                       })));

    // Channel 5 is the first of the second boards.
    mark = GlobalCallJournal().size();
    const int32_t ip = Open(kIp, 5);
    EXPECT_THAT(GlobalCallJournal(mark),
                ElementsAre(AllOf(StartsWith("gc_OpenEx(0x"),
                                  EndsWith(", \":N_iptB2T1:P_IP:M_ipmB2C1\", 32768, NULL) = 0"))));
    EXPECT_THAT(Replies(), ElementsAre(MessagePayload(36, [](auto& w) {
                    w.WriteInt(kIp).WriteInt(5).WriteString("127.0.0.1");
                })));
    EXPECT_TRUE(manager_->Devices().PortTypes().Get(ip, &type));
    EXPECT_EQ(type, kIp);
    EXPECT_EQ(manager_->OpenChannelCount(), 3);
    EXPECT_THAT(statuses_.Take(), ElementsAre(PortStatus{3, 31, "Idle"}, PortStatus{3, 32, "Idle"},
                                              PortStatus{7, 5, "Idle"}));

    mark = GlobalCallJournal().size();
    peer_->SendInts(kGCOPEN, 13, {kIp, 9});
    Sync();
    EXPECT_THAT(GlobalCallJournal(mark), IsEmpty());
    EXPECT_THAT(DebugLines(),
                Contains(EndsWith("Not enough Hardware or Intel Licenses for opening.")));
    EXPECT_THAT(DebugLines(), Contains(EndsWith("gc_Openex ldev=" + std::to_string(ip) +
                                                " devname=:N_iptB2T1:P_IP:M_ipmB2C1 RET=0")));
}

TEST_F(GlobalCallCommandsTest, AnIncomingCallOnANetworkLineIsNamedFromTheIsdnTable) {
    StartWorkers();
    const int32_t line = Open(kNetwork, 1);
    peer_->SendInts(kGCWCAL, 11, {kNetwork, 1});
    Sync();
    ASSERT_EQ(Control("call dtiB1T1 123 456"), "OK crn=4097");
    EXPECT_THAT(testing::LeadingInts(AwaitEvent(CCEV_OFFERED), 6),
                ElementsAre(12, 1, kNetwork, line, CCEV_OFFERED, 4097));

    const size_t mark = GlobalCallJournal().size();
    peer_->SendInts(kGCACCA, 12, {kNetwork, 1, 0, 2, 0});
    Sync();
    EXPECT_THAT(GlobalCallJournal(mark), ElementsAre("gc_AcceptCall(4097, 2, 32768) = 0"));
    CRN kept = 0;
    EXPECT_TRUE(manager_->CallRefs().GetCallRef(1, kNetwork, &kept));
    EXPECT_FALSE(manager_->CallRefs().GetCallRef(1, kIp, &kept));
}

TEST_F(GlobalCallCommandsTest, MakeCallBlocksReachTheLibraryAsSent) {
    const int32_t line = Open(kNetwork, 2);
    CRN* slot = manager_->CallRefs().GetCallRefSlot(2, kNetwork);
    size_t mark = GlobalCallJournal().size();
    MakeCall(kNetwork, 2, 0, {}, 0);
    ASSERT_EQ(Control("settle"), "OK");
    EXPECT_THAT(GlobalCallJournal(mark),
                ElementsAre(AllOf(StartsWith("gc_MakeCall(" + std::to_string(line) + ", " +
                                             Address(slot) + ", \"700\", 0x"),
                                  EndsWith(", 30, 32768) = 0"))));
    EXPECT_THAT(Control("query call 4097"), EndsWith(" destination= ext= makecall="));
    EXPECT_THAT(statuses_.Take(), Contains(PortStatus{3, 2, "Busy"}));
    Control("hangup dtiB1T2");

    const int32_t second = Open(kNetwork, 3);
    MakeCall(kNetwork, 3, 524, {0xAA, 0xBB, 0xCC}, 127);
    EXPECT_THAT(Control("query call 4098"),
                AllOf(HasSubstr(" destination=dest ext=0300AABBCCFFFF makecall=4D4D"),
                      HasSubstr("direction=out")));
    // The reference the entry holds as the call is logged may already be the new call's.
    EXPECT_THAT(DebugLines(),
                Contains(AllOf(HasSubstr("gc_MakeCall ldev=" + std::to_string(second) + " crn="),
                               EndsWith(" phonenum=700 gcphonenum=dest timeout=30 RC=0"))));

    mark = GlobalCallJournal().size();
    MakeCall(kNetwork, 3, 100, {}, 0);
    EXPECT_THAT(GlobalCallJournal(mark), IsEmpty());
    EXPECT_THAT(DebugLines(), Contains(EndsWith("Invalid GCLIB_MAKECALL_BLK!")));
    MakeCall(kNetwork, 3, 0, {}, 126);
    EXPECT_THAT(GlobalCallJournal(mark), IsEmpty());
    EXPECT_THAT(DebugLines(), Contains(EndsWith("Invalid MAKECALL_BLK!")));
}

TEST_F(GlobalCallCommandsTest, AFailedMakeCallTellsTheErrorAndReleasesTheChannel) {
    const int32_t line = Open(kNetwork, 4);
    Replies();
    Control("fail gc_MakeCall -1 1");
    MakeCall(kNetwork, 4, 0, {}, 0);
    const std::vector<Payload> replies = Replies();
    ASSERT_EQ(replies.size(), 2u);
    EXPECT_THAT(testing::LeadingInts(replies[0], 2), ElementsAre(38, 4));
    EXPECT_EQ(replies[1], MessagePayload(12, [&](auto& w) {
                  w.WriteInt(4).WriteInt(kNetwork).WriteInt(line).WriteInt(0x801).WriteInt(0);
              }));
    EXPECT_THAT(
        DebugLines(),
        Contains(EndsWith("gc_MakeCall failed: Generate Task Fail event to release the channel")));

    // A line device without a call-reference entry makes no call, but is released all the same.
    manager_->Devices().Network().Set(600, line);
    const size_t mark = GlobalCallJournal().size();
    MakeCall(kNetwork, 600, 0, {}, 0);
    EXPECT_THAT(GlobalCallJournal(mark), IsEmpty());
    EXPECT_THAT(Replies(), ElementsAre(MessagePayload(12, [&](auto& w) {
                    w.WriteInt(600).WriteInt(kNetwork).WriteInt(line).WriteInt(0x801).WriteInt(0);
                })));
}

TEST_F(GlobalCallCommandsTest, QueriesOnAnUnknownLineDeviceStillAnswer) {
    peer_->SendInts(kGCGLDS, 40, {kIp, 3, 1});
    peer_->SendInts(kGCGINF, 41, {kIp, 3});
    Sync();
    EXPECT_THAT(
        Replies(),
        ElementsAre(MessagePayload(32, [](auto& w) { w.WriteInt(3).WriteInt(1).WriteInt(-1); }),
                    MessagePayload(11, [](auto& w) { w.WriteString("").WriteInt(-1); })));

    Open(kNetwork, 6);
    peer_->SendInts(kGCGLDS, 42, {kNetwork, 6, 1});
    Sync();
    EXPECT_THAT(Replies(), ElementsAre(MessagePayload(
                               32, [](auto& w) { w.WriteInt(6).WriteInt(1).WriteInt(1); })));
}

TEST_F(GlobalCallCommandsTest, CallAcknowledgementNeedsTheWholeBlockAndAStoredCall) {
    Open(kNetwork, 7);
    const size_t mark = GlobalCallJournal().size();
    const std::vector<uint8_t> shortBlock(20, 0);
    SendWithBytes(kGCCAAC, {kNetwork, 7, 0}, shortBlock);
    SendWithBytes(kGCCAAC, {kNetwork, 7, 0}, std::vector<uint8_t>(24, 0));
    EXPECT_THAT(GlobalCallJournal(mark), IsEmpty());
    EXPECT_THAT(DebugLines(), Contains(EndsWith("gc_CallAck incompatible GC_CALLACK_BLK")));
    EXPECT_THAT(DebugLines(), Contains(EndsWith("gc_CallAck crn not found")));
}

TEST_F(GlobalCallCommandsTest, AFailedResetLogsTheGlobalCallError) {
    Open(kNetwork, 8);
    manager_->CallRefs().SetCallRef(8, kNetwork, 4500, true);
    Control("fail gc_ResetLineDev -1 1");
    peer_->SendInts(kGCRESL, 50, {kNetwork, 8, 0});
    Sync();
    CRN kept = 0;
    EXPECT_FALSE(manager_->CallRefs().GetCallRef(8, kNetwork, &kept));
    EXPECT_THAT(DebugLines(), Contains(HasSubstr("gc_ResetLineDev GC Error = ")));
}

TEST_F(GlobalCallCommandsTest, ATraceGoesIntoTheFileTheCentralServerNames) {
    StartWorkers();
    const int32_t line = Open(kNetwork, 9);
    // The file map gives the path in capitals.
    std::filesystem::create_directories(platform::MapWindowsPath("C:\\TRACES"));
    peer_->Send(kGCSTAT, 60, [](net::COutputStreamSocket& w) {
        w.WriteInt(9).WriteString("C:\\Traces\\line9.txt");
    });
    Sync();
    const std::filesystem::path file = platform::MapWindowsPath("C:\\TRACES\\LINE9.TXT");
    ASSERT_TRUE(std::filesystem::exists(file));
    peer_->SendInts(kGCWCAL, 61, {kNetwork, 9});
    Sync();
    ASSERT_EQ(Control("call dtiB1T9 1 2"), "OK crn=4097");
    AwaitEvent(CCEV_OFFERED);
    peer_->SendInts(kGCSTOT, 62, {9});
    Sync();
    std::ifstream in(file);
    std::string traced((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_THAT(traced, HasSubstr("type=0x824 crn=4097"));
    EXPECT_THAT(DebugLines(), Contains(EndsWith("gc_StartTrace ldev=" + std::to_string(line) +
                                                " file=C:\\TRACES\\LINE9.TXT RET=0")));
    EXPECT_THAT(DebugLines(),
                Contains(EndsWith("gc_StopTrace ldev=" + std::to_string(line) + " RET=0")));
}

TEST_F(GlobalCallCommandsTest, ClosingAnIpChannelLeavesTheNetworkLineOfTheSameNumber) {
    const int32_t line = Open(kNetwork, 5);
    const int32_t ip = Open(kIp, 5);
    statuses_.Take();
    peer_->SendInts(kGCCLOS, 70, {kIp, 5});
    Sync();
    int32_t handle = -1;
    EXPECT_FALSE(manager_->Devices().Ip().Get(5, &handle));
    EXPECT_TRUE(manager_->Devices().Network().Get(5, &handle));
    EXPECT_EQ(handle, line);
    EXPECT_THAT(statuses_.Take(), ElementsAre(PortStatus{7, 5, "Closed"}));
    EXPECT_EQ(manager_->OpenChannelCount(), 1);
    EXPECT_THAT(Control("query device #" + std::to_string(ip)), EndsWith(" open=0"));
}

TEST_F(GlobalCallCommandsTest, UserInformationAsABlockOrNone) {
    const int32_t line = Open(kIp, 1);
    SendWithBytes(kGCSUIN, {kIp, 1, 12, line, 5}, {});
    EXPECT_THAT(Control("query userinfo iptB1T1"), EndsWith(" block= duration=5"));
    SendWithBytes(kGCSUIN, {kIp, 1, 12, line, 6}, {0x01, 0x02, 0x03});
    EXPECT_THAT(Control("query userinfo iptB1T1"), EndsWith(" block=0300010203 duration=6"));

    // A count the wire cannot mean is refused before anything is read or allocated.
    peer_->SendInts(kGCSUIN, 31, {kIp, 1, 12, line, 8, -1});
    Sync();
    EXPECT_THAT(Control("query userinfo iptB1T1"), EndsWith(" duration=6"));
    EXPECT_THAT(DebugLines(), Contains(EndsWith("Invalid parameter block!")));

    // A call as target needs the channel's call.
    const size_t mark = GlobalCallJournal().size();
    SendWithBytes(kGCSUIN, {kIp, 1, 16, 0, 7}, {0x01});
    EXPECT_THAT(GlobalCallJournal(mark), IsEmpty());
    EXPECT_THAT(DebugLines(), Contains(EndsWith("gc_SetUserInfo ldev=UNKNOWN RET=ERROR")));
    EXPECT_THAT(DebugLines(), Contains(EndsWith("gc_SetUserInfo ldev=1 target_type=12 target_id=" +
                                                std::to_string(line) + " RET=0")));
}

TEST_F(GlobalCallCommandsTest, AMediaAlarmReachesTheCentralServerOnceNotificationIsOn) {
    StartWorkers();
    const int32_t line = Open(kIp, 2);
    Open(kNetwork, 10);
    Replies();
    ASSERT_THAT(Control("alarm ipmB1C2 5"), StartsWith("ERR"));

    peer_->SendInts(kGCSANA, 80, {kNetwork, 10, 1, 1});
    peer_->SendInts(kGCSANA, 81, {kIp, 2, 2, 1});
    peer_->SendInts(kGCSANA, 82, {18, 2, 2, 1});
    Sync();
    ASSERT_EQ(Control("alarm ipmB1C2 5 source=44"), "OK");
    const std::optional<Payload> alarm = AwaitEvent(CCEV_ALARM);
    const int32_t media = std::stoi(Control("query device ipmB1C2").substr(10));
    std::vector<uint8_t> list(388, 0);
    list[0] = 1;
    list[4] = 5;
    list[8] = 1;
    EXPECT_EQ(*alarm, MessagePayload(12, [&](auto& w) {
        w.WriteInt(2).WriteInt(kIp).WriteInt(media).WriteInt(CCEV_ALARM).WriteInt(0);
        w.WriteUInt(44).WriteInt(5).WriteLong(388).WriteBytes(list.data(), 388);
    }));
    EXPECT_THAT(DebugLines(),
                Contains(EndsWith("gc_SetAlarmNotifyAll ldev=" + std::to_string(line) + " RET=0")));
    EXPECT_THAT(DebugLines(), Contains(EndsWith("gc_SetAlarmNotifyAll Non IP Device RET=ERROR")));

    Control("fail gc_SetAlarmNotifyAll -1 2");
    peer_->SendInts(kGCSANA, 83, {kNetwork, 10, 1, 1});
    peer_->SendInts(kGCSANA, 84, {kIp, 2, 2, 1});
    Control("fail gc_GetResourceH -1 1");
    peer_->SendInts(kGCSANA, 85, {kIp, 2, 2, 1});
    peer_->SendInts(kGCSANA, 86, {kIp, 3, 2, 1});
    Sync();
    const std::vector<std::string> log = DebugLines();
    EXPECT_THAT(log, Contains(EndsWith("gc_SetAlarmNotifyAll SetAlarmNotifyAll for DTI failed")));
    EXPECT_THAT(log, Contains(EndsWith("gc_SetAlarmNotifyAll SetAlarmNotifyAll for media failed")));
    EXPECT_THAT(log, Contains(EndsWith("gc_SetAlarmNotifyAll GetResourceH for media failed")));
    EXPECT_THAT(log, Contains(EndsWith("gc_SetAlarmNotifyAll ldev=UNKNOWN RET=ERROR")));
}

TEST_F(GlobalCallCommandsTest, TheQosResetRecordOfAnIpChannelsMedia) {
    Open(kIp, 3);
    Open(kNetwork, 11);
    peer_->SendInts(kIMRESE, 90, {kIp, 3});
    peer_->SendInts(kIMRESE, 91, {kNetwork, 11});
    Sync();
    EXPECT_EQ(Control("query qos ipmB1C3"), "OK count=4 2:0 3:0 5:0 6:0");
    EXPECT_THAT(DebugLines(),
                Contains(EndsWith("ipm_ResetQoSAlarmStatus Non IP Device RET=ERROR")));
}

TEST_F(GlobalCallCommandsTest, AcceptingAModificationThatIsOrIsNotPending) {
    StartWorkers();
    Open(kIp, 4);
    peer_->SendInts(kGCWCAL, 100, {kIp, 4});
    Sync();
    ASSERT_EQ(Control("call iptB1T4 1 2"), "OK crn=4097");
    AwaitEvent(CCEV_OFFERED);

    SendWithBytes(kGCAMOC, {kIp, 4, 4097, 0x8000}, {});
    const std::optional<Payload> text = NextMessage(38);
    ASSERT_TRUE(text.has_value());
    EXPECT_EQ(*text, MessagePayload(38, [](auto& w) {
        w.WriteInt(30).WriteString(
            "gc_AcceptModifyCall GC Error = 105 - Function not valid in the current "
            "call state, CCLib = -1 - GC_LIB, CC Error = 0 - No error");
    }));

    ASSERT_EQ(Control("modify iptB1T4 0102"), "OK crn=4097");
    const uint8_t parameters[] = {0x02, 0x00, 0x01, 0x02};
    EXPECT_EQ(AwaitEvent(CCEV_MODIFY_CALL), MessagePayload(12, [&](auto& w) {
                  w.WriteInt(4).WriteInt(kIp).WriteInt(IpHandle(4)).WriteInt(CCEV_MODIFY_CALL);
                  w.WriteInt(4097).WriteInt(2).WriteBytes(parameters + 2, 2);
              }));
    SendWithBytes(kGCAMOC, {kIp, 4, 4097, 0x8000}, {0x01});
    EXPECT_THAT(DebugLines(), Contains(EndsWith("gc_AcceptModifyCall RC=0")));
    peer_->SendInts(kGCAMOC, 101, {kIp, 9, 4097});
    Sync();
    EXPECT_THAT(DebugLines(), Contains(EndsWith("Unknown device")));
}

TEST_F(GlobalCallCommandsTest, ExtensionsOnALineDeviceOrItsCall) {
    StartWorkers();
    const int32_t line = Open(kIp, 6);
    Replies();
    peer_->Send(kGCEXTE, 110, [&](net::COutputStreamSocket& w) {
        const uint8_t data[] = {0x0A, 0x0B};
        w.WriteInt(12).WriteInt(kIp).WriteUInt(6).WriteInt(33).WriteInt(2).WriteBytes(data, 2);
    });
    Sync();
    EXPECT_EQ(AwaitEvent(CCEV_EXTENSION), MessagePayload(12, [&](auto& w) {
                  const uint8_t data[] = {0x0A, 0x0B};
                  w.WriteInt(6).WriteInt(kIp).WriteInt(line).WriteInt(CCEV_EXTENSION).WriteInt(0);
                  w.WriteInt(33).WriteInt(2).WriteBytes(data, 2);
              }));

    const size_t mark = GlobalCallJournal().size();
    for (int32_t target : {16, 9}) {
        peer_->Send(kGCEXTE, 111, [&](net::COutputStreamSocket& w) {
            w.WriteInt(target).WriteInt(kIp).WriteUInt(6).WriteInt(1).WriteInt(0);
        });
    }
    Sync();
    EXPECT_THAT(GlobalCallJournal(mark), IsEmpty());
    EXPECT_THAT(DebugLines(), Contains(EndsWith("gc_Extension ldev=UNKNOWN RET=ERROR")));
    EXPECT_THAT(DebugLines(), Contains(EndsWith("gc_Extension: target_type 9")));
}

// Without IP boards, an IP channel opens nothing; a network line starts Global Call itself.
class GlobalCallWithoutIpBoardsTest : public GlobalCallCommandsTest {
protected:
    std::string Boards() const override { return kBoards; }
};

TEST_F(GlobalCallWithoutIpBoardsTest, OpeningStartsGlobalCallForNetworkLinesOnly) {
    ASSERT_THAT(Control("query globalcall"), StartsWith("OK started=0"));
    const size_t mark = GlobalCallJournal().size();
    peer_->SendInts(kGCOPEN, 10, {kIp, 1});
    Sync();
    EXPECT_THAT(GlobalCallJournal(mark), IsEmpty());
    EXPECT_THAT(DebugLines(), Not(Contains(EndsWith("Not enough Hardware or Intel Licenses for "
                                                    "opening."))));

    Open(kNetwork, 1);
    EXPECT_THAT(Control("query globalcall"), StartsWith("OK started=1"));
    EXPECT_THAT(GlobalCallJournal(mark), Contains(HasSubstr("\":N_dtiB1T1:P_isdn\", 0) = 0")));
}

}  // namespace
}  // namespace ruzd::node
