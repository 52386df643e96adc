// The forwarding of Dialogic events, end to end: events raised on the simulated boards are taken
// by the manager's ISDN worker and reach a central server connected to the command port as the
// messages it expects, byte for byte.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "net/callback_output_stream.h"
#include "net/frame_cutter.h"
#include "telephony/restart_marks.h"
#include "telephony/vendorapi/globalcall.h"
#include "telephony/vendorapi/isdn.h"
#include "telephony/vendorapi/voice.h"
#include "testing/manager_on_boards.h"

namespace ruzd::node {
namespace {

using ::testing::ElementsAre;
using Status = testing::PortStatus;

constexpr int32_t kVoiceLdev = 7;
constexpr int32_t kLineLdev = 12;
constexpr int32_t kStationLdev = 30;

// The payload of one message as the node's writer frames it.
std::vector<uint8_t> Payload(const std::function<void(net::COutputStreamSocket&)>& write) {
    std::vector<uint8_t> payload;
    net::CFrameCutter cutter(net::CFrameCutter::Side::kClient);
    net::CCallbackOutputStream writer([&](const uint8_t* frame, int length, const std::string&,
                                          unsigned) {
        cutter.Append(frame, static_cast<size_t>(length),
                      [&](const uint8_t* bytes, int size) { payload.assign(bytes, bytes + size); });
    });
    write(writer);
    return payload;
}

class DialogicHandlerTest : public testing::ManagerOnBoardsTest {
protected:
    // No IP boards: with them the manager starts Global Call on its own, and the events would
    // come the Global Call way.
    void SetUp() override { StartOnBoards("ip 0 0\n"); }

    void StartOnBoards(const std::string& boards) {
        WriteConfig(boards);
        StartDebugLog();
        Start();
        manager_->StartAllThreads();
        // Every worker started runs before the test goes on, so that the stop at its end finds
        // them all.
        ASSERT_TRUE(testing::Eventually([this] {
            using Worker = CVesmarinManager::Worker;
            return manager_->IsWorkerRunning(Worker::kISDN) &&
                   manager_->IsWorkerRunning(Worker::kFileHandling) &&
                   (!Hardware().IsAmtelcoAvailable() ||
                    manager_->IsWorkerRunning(Worker::kAmtelco));
        }));
        peer_ = Connect();
    }

    telephony::CHardwareISDN& Hardware() { return *manager_->Hardware(); }

    // Opens a device as its command would, and makes it known to the forwarding.
    int32_t OpenVoice(const char* name, int32_t ldev) {
        const int32_t handle = Hardware().dx_open(ldev, name, 0);
        Know(handle, ldev, 1);
        return handle;
    }
    int32_t OpenLine(const char* name, int32_t ldev) {
        LINEDEV line = 0;
        EXPECT_EQ(Hardware().cc_Open(ldev, &line, name, 0), 0);
        Know(line, ldev, 3);
        return line;
    }
    void Know(int32_t handle, int32_t ldev, int32_t type) {
        EXPECT_GT(handle, 0);
        manager_->Devices().HandleLdevs().Set(handle, ldev);
        manager_->Devices().PortTypes().Set(handle, type);
    }

    void Raise(const std::string& device, int32_t type, const std::string& data = "") {
        const std::string answer = Control("event " + device + " " + std::to_string(type) +
                                           (data.empty() ? "" : " ") + data);
        ASSERT_THAT(answer, ::testing::StartsWith("OK"));
    }

    std::vector<int32_t> Next() {
        auto message = peer_->ReceiveInts();
        EXPECT_TRUE(message.has_value());
        return message.value_or(std::vector<int32_t>{});
    }
    std::vector<uint8_t> NextPayload() {
        auto message = peer_->Receive();
        EXPECT_TRUE(message.has_value());
        return message.value_or(std::vector<uint8_t>{});
    }

    std::unique_ptr<testing::CommandPeer> peer_;
};

TEST_F(DialogicHandlerTest, AnEventOfAnUnknownDeviceSendsNothing) {
    const int32_t stranger = Hardware().dx_open(0, "dxxxB1C2", 0);
    const int32_t voice = OpenVoice("dxxxB1C1", kVoiceLdev);
    Raise("dxxxB1C2", TDX_PLAY);
    Raise("dxxxB1C1", TDX_DIAL);
    // The first message is the known device's.
    EXPECT_EQ(Next(), (std::vector<int32_t>{4, kVoiceLdev, TDX_DIAL}));
    EXPECT_TRUE(Logged("Event: port=UNKNOWN dev=" + std::to_string(stranger) + " type=0x81 <"));
    EXPECT_NE(stranger, voice);
}

TEST_F(DialogicHandlerTest, TheEndsOfVoiceFunctionsCarryTheirResults) {
    OpenVoice("dxxxB1C1", kVoiceLdev);
    ASSERT_EQ(Control("fail ATDX_TERMMSK 2"), "OK");
    ASSERT_EQ(Control("fail ATDX_TRCOUNT 4096"), "OK");
    ASSERT_EQ(Control("fail ATDX_CPTERM 10"), "OK");
    ASSERT_EQ(Control("fail ATDX_SIZEHI 77"), "OK");
    Raise("dxxxB1C1", TDX_PLAY);
    Raise("dxxxB1C1", TDX_RECORD);
    Raise("dxxxB1C1", TDX_PLAYTONE);
    Raise("dxxxB1C1", TDX_CALLP);
    EXPECT_EQ(Next(), (std::vector<int32_t>{5, kVoiceLdev, 2, 4096}));
    EXPECT_EQ(Next(), (std::vector<int32_t>{13, kVoiceLdev, 2, 4096}));
    EXPECT_EQ(Next(), (std::vector<int32_t>{6, kVoiceLdev, 2, TDX_PLAYTONE}));
    EXPECT_EQ(Next(), (std::vector<int32_t>{23, kVoiceLdev, 10, 0, 0, 0, 77}));
    EXPECT_EQ(Next(), (std::vector<int32_t>{4, kVoiceLdev, TDX_DIAL, 0}));
    EXPECT_TRUE(Logged("EndPlay TermMsk=2 TrCount=4096"));
}

TEST_F(DialogicHandlerTest, AnErrorWithoutALastFunctionMakesUpEveryKindOfEnd) {
    const int32_t voice = OpenVoice("dxxxB1C1", kVoiceLdev);
    const int32_t error = Hardware().ATDV_LASTERR(voice);
    Raise("dxxxB1C1", TDX_ERROR);
    EXPECT_EQ(Next(), (std::vector<int32_t>{5, kVoiceLdev, 0x2B67, error}));
    EXPECT_EQ(Next(), (std::vector<int32_t>{13, kVoiceLdev, 0x2B67, error}));
    EXPECT_EQ(NextPayload(), Payload([](net::COutputStreamSocket& writer) {
                  writer.BeginMessage(10).WriteInt(kVoiceLdev).WriteString("X").WriteString("");
                  writer.WriteInt(0).WriteInt(0).Flush();
              }));
    EXPECT_EQ(Next(), (std::vector<int32_t>{6, kVoiceLdev, 0, TDX_ERROR}));
}

TEST_F(DialogicHandlerTest, AnErrorAfterAPlayMakesUpOnlyTheEndOfThePlay) {
    const int32_t voice = OpenVoice("dxxxB1C1", kVoiceLdev);
    const int32_t error = Hardware().ATDV_LASTERR(voice);
    manager_->LastVoiceFunctions().Set(kVoiceLdev, TDX_PLAY);
    Raise("dxxxB1C1", TDX_ERROR);
    Raise("dxxxB1C1", TDX_DIAL);
    EXPECT_EQ(Next(), (std::vector<int32_t>{5, kVoiceLdev, 0x2B67, error}));
    EXPECT_EQ(Next(), (std::vector<int32_t>{4, kVoiceLdev, TDX_DIAL}));
    EXPECT_TRUE(Logged("Simulate EndPlay LastError=" + std::to_string(error)));
}

TEST_F(DialogicHandlerTest, AnErrorOnALineSendsNothing) {
    OpenLine("dtiB1T1", kLineLdev);
    OpenVoice("dxxxB1C1", kVoiceLdev);
    Raise("dtiB1T1", TDX_ERROR);
    Raise("dxxxB1C1", TDX_DIAL);
    EXPECT_EQ(Next(), (std::vector<int32_t>{4, kVoiceLdev, TDX_DIAL}));
}

TEST_F(DialogicHandlerTest, DigitsWithoutABufferAreEmptyAndLeaveABufferBehind) {
    OpenVoice("dxxxB1C1", kVoiceLdev);
    DV_DIGIT* buffer = nullptr;
    ASSERT_FALSE(manager_->Digits().Get(kVoiceLdev, &buffer));
    Raise("dxxxB1C1", TDX_GETDIG);
    const auto empty = [](net::COutputStreamSocket& writer) {
        writer.BeginMessage(10).WriteInt(kVoiceLdev).WriteString("").WriteString("");
        writer.WriteInt(0).WriteInt(0).Flush();
    };
    EXPECT_EQ(NextPayload(), Payload(empty));
    EXPECT_TRUE(manager_->Digits().Get(kVoiceLdev, &buffer));

    // What the library wrote into it goes with the types shown as digits; the buffer keeps
    // what the library wrote.
    std::memcpy(buffer->dg_value, "12#", 3);
    buffer->dg_type[2] = 1;
    Raise("dxxxB1C1", TDX_GETDIG);
    EXPECT_EQ(NextPayload(), Payload([](net::COutputStreamSocket& writer) {
                  writer.BeginMessage(10).WriteInt(kVoiceLdev).WriteString("12#");
                  writer.WriteString("001").WriteInt(0).WriteInt(0).Flush();
              }));
    EXPECT_EQ(buffer->dg_type[2], 1);
}

TEST_F(DialogicHandlerTest, AnOfferedCallOnANetworkLineSendsItsWholeTail) {
    const int32_t line = OpenLine("dtiB1T1", kLineLdev);
    CRN* slot = manager_->CallRefs().GetCallRefSlot(kLineLdev, 3);
    ASSERT_EQ(Hardware().cc_WaitCall(kLineLdev, line, slot, nullptr, 0, 0x8000), 0);
    const std::string answer = Control("call dtiB1T1 5551234 5559876 ie=0401AB");
    ASSERT_THAT(answer, ::testing::StartsWith("OK crn="));
    const CRN crn = std::stoi(answer.substr(7));

    std::vector<uint8_t> elements(sizeof(IE_BLK), 0);
    elements[0] = 3;  // the length, low byte first
    elements[2] = 0x04;
    elements[3] = 0x01;
    elements[4] = 0xAB;
    EXPECT_EQ(NextPayload(), Payload([&](net::COutputStreamSocket& writer) {
                  writer.BeginMessage(12)
                      .WriteInt(kLineLdev)
                      .WriteInt(3)
                      .WriteInt(line)
                      .WriteInt(CCEV_OFFERED)
                      .WriteInt(crn)
                      .WriteInt(CCST_OFFERED)
                      .WriteString("5551234")
                      .WriteString("5559876")
                      .WriteInt(0)
                      .WriteLong(static_cast<int32_t>(elements.size()))
                      .WriteBytes(elements.data(), static_cast<int>(elements.size()))
                      .WriteInt(0)
                      .Flush();
              }));
    CRN kept = 0;
    EXPECT_TRUE(manager_->CallRefs().GetCallRef(kLineLdev, 3, &kept));
    EXPECT_EQ(kept, crn);
    EXPECT_THAT(callback_.statuses(), ElementsAre(Status{3, kLineLdev, "Busy"}));
    EXPECT_TRUE(Logged("OFFERED did=5551234 cli=5559876 callstate=8"));

    ASSERT_THAT(Control("hangup dtiB1T1 16"), ::testing::StartsWith("OK"));
    EXPECT_EQ(Next(),
              (std::vector<int32_t>{12, kLineLdev, 3, line, CCEV_DISCONNECTED, crn, 16, 0}));
    EXPECT_THAT(callback_.statuses(),
                ElementsAre(Status{3, kLineLdev, "Busy"}, Status{3, kLineLdev, "Idle"}));
}

TEST_F(DialogicHandlerTest, ARestartClearsTheMarkAndTheCallOfItsLineDevice) {
    const int32_t line = OpenLine("dtiB1T1", kLineLdev);
    const int32_t high = OpenLine("dtiB1T2", 501);
    telephony::SetRestartMark(kLineLdev);
    manager_->CallRefs().SetCallRef(kLineLdev, 3, 4242, true);
    Raise("dtiB1T1", CCEV_RESTART);
    Raise("dtiB1T2", CCEV_RESTART);
    EXPECT_EQ(Next(), (std::vector<int32_t>{12, kLineLdev, 3, line, CCEV_RESTART, 0}));
    EXPECT_EQ(Next(), (std::vector<int32_t>{12, 501, 3, high, CCEV_RESTART, 0}));
    EXPECT_FALSE(telephony::IsRestarting(kLineLdev));
    CRN crn = 0;
    EXPECT_FALSE(manager_->CallRefs().GetCallRef(kLineLdev, 3, &crn));
}

TEST_F(DialogicHandlerTest, BlockingEventsCarryTheirEventData) {
    const int32_t line = OpenLine("dtiB1T1", kLineLdev);
    Raise("dtiB1T1", CCEV_BLOCKED, "0d000000");
    EXPECT_EQ(Next(), (std::vector<int32_t>{12, kLineLdev, 3, line, CCEV_BLOCKED, 0, 13}));
    EXPECT_TRUE(Logged(" evtdata=13"));
}

TEST_F(DialogicHandlerTest, StationsReportTheirHookWordAndState) {
    const int32_t station = Hardware().ms_open(kStationLdev, "msiB1C1", 0);
    Know(station, kStationLdev, 5);
    Raise("msiB1C1", 0x204D, "1100");
    Raise("msiB1C1", 0x204D, "1001");
    Raise("msiB1C1", 0x204D, "0100");
    Raise("msiB1C1", 0x2050, "78563412");
    EXPECT_EQ(Next(), (std::vector<int32_t>{12, kStationLdev, 5, station, 0x204D, 0, 0x11}));
    EXPECT_EQ(Next(), (std::vector<int32_t>{12, kStationLdev, 5, station, 0x204D, 0, 0x110}));
    EXPECT_EQ(Next(), (std::vector<int32_t>{12, kStationLdev, 5, station, 0x204D, 0, 0x1}));
    EXPECT_EQ(Next(), (std::vector<int32_t>{12, kStationLdev, 5, station, 0x2050, 0, 0x12345678}));
    EXPECT_THAT(callback_.statuses(), ElementsAre(Status{5, kStationLdev, "Off Hook"},
                                                  Status{5, kStationLdev, "On Hook"}));
}

TEST_F(DialogicHandlerTest, EventDataShorterThanItsWordReadsAsNoData) {
    const int32_t line = OpenLine("dtiB1T1", kLineLdev);
    const int32_t station = Hardware().ms_open(kStationLdev, "msiB1C1", 0);
    Know(station, kStationLdev, 5);
    Raise("dtiB1T1", CCEV_BLOCKED, "0d");
    Raise("msiB1C1", 0x204D, "11");
    Raise("msiB1C1", 0x2050, "785634");
    EXPECT_EQ(Next(), (std::vector<int32_t>{12, kLineLdev, 3, line, CCEV_BLOCKED, 0, 0}));
    EXPECT_EQ(Next(), (std::vector<int32_t>{12, kStationLdev, 5, station, 0x204D, 0, 0}));
    EXPECT_EQ(Next(), (std::vector<int32_t>{12, kStationLdev, 5, station, 0x2050, 0, 0}));
    EXPECT_THAT(callback_.statuses(), ::testing::IsEmpty());
}

// With IP boards the manager starts Global Call, and the events come through its meta record.
class DialogicHandlerGlobalCallTest : public DialogicHandlerTest {
protected:
    void SetUp() override { StartOnBoards("ip 1 4\n"); }
};

TEST_F(DialogicHandlerGlobalCallTest, AnAlarmSendsTheAlarmListOfItsLine) {
    ASSERT_TRUE(Hardware().IsGlobalCallInitialised());
    const int32_t line = OpenLine("dtiB1T1", kLineLdev);
    ASSERT_EQ(Control("alarm dtiB1T1 0x2A"), "OK");
    // No source was given; the list holds the one alarm the line raised, not notified.
    std::vector<uint8_t> alarms(sizeof(ALARM_LIST), 0);
    alarms[0] = 1;
    alarms[4] = 0x2A;
    EXPECT_EQ(NextPayload(), Payload([&](net::COutputStreamSocket& writer) {
                  writer.BeginMessage(12)
                      .WriteInt(kLineLdev)
                      .WriteInt(3)
                      .WriteInt(line)
                      .WriteInt(CCEV_ALARM)
                      .WriteInt(0)
                      .WriteUInt(0)
                      .WriteInt(0x2A)
                      .WriteLong(static_cast<int32_t>(alarms.size()))
                      .WriteBytes(alarms.data(), static_cast<int>(alarms.size()))
                      .Flush();
              }));
    EXPECT_EQ(CountCalls("gc_GetAlarmConfiguration"), 1u);
}

}  // namespace
}  // namespace ruzd::node
