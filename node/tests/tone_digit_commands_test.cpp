// Digits, dialling and tones on the simulated boards, whose media clock runs a thousand times
// faster than the wall clock: digit collection failing and ended by digits pressed, dialling
// with and without call progress, a generated tone, the tone builders before any channel is
// open and the channel's own tones.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/input_stream_socket.h"
#include "node/tests/isdn_node_fixture.h"
#include "telephony/vendorapi/voice.h"
#include "testing/eventually.h"

namespace ruzd::node {
namespace {

using ::testing::Contains;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using testing::LeadingInts;
using testing::MessagePayload;
using testing::Payload;

constexpr int32_t kCNSTRT = 15;
constexpr int32_t kDXATON = 26;
constexpr int32_t kDXBDDT = 27;
constexpr int32_t kDXBDST = 28;
constexpr int32_t kDXBDTC = 29;
constexpr int32_t kDXBSTC = 30;
constexpr int32_t kDXCDUR = 31;
constexpr int32_t kDXCRPC = 35;
constexpr int32_t kDXDIAL = 36;
constexpr int32_t kDXEBTO = 39;
constexpr int32_t kDXGDIG = 43;
constexpr int32_t kDXOPEN = 45;
constexpr int32_t kDXPLTO = 54;
constexpr int32_t kChannel = 7;

class ToneDigitCommandsTest : public testing::IsdnNodeTest {
protected:
    std::string Boards() const override { return "voice 1 4\nnetwork 1 30\nip 0 0\nspeed 1000\n"; }

    void OpenChannel() {
        peer_->SendInts(kCNSTRT, 9, {});
        ASSERT_TRUE(ruzd::testing::Eventually(
            [this] { return manager_->IsWorkerRunning(CVesmarinManager::Worker::kISDN); }));
        peer_->SendInts(kDXOPEN, 10, {kChannel, 1, 2});
        ASSERT_TRUE(NextMessage(8).has_value());
    }

    // DXGDIG with one termination entry.
    void CollectDigits(uint16_t number, uint16_t length) {
        peer_->Send(kDXGDIG, 20, [&](net::COutputStreamSocket& w) {
            w.WriteUInt(kChannel).WriteInt(IO_EOT).WriteInt(number).WriteInt(length);
            w.WriteInt(0).WriteInt(0);
        });
    }

    void Dial(const std::string& digits, uint16_t mode, size_t block) {
        peer_->Send(kDXDIAL, 30, [&](net::COutputStreamSocket& w) {
            w.WriteUInt(kChannel).WriteString(digits).WriteInt(mode);
            const std::vector<uint8_t> parameters(block, 1);
            w.WriteBytes(parameters.data(), static_cast<int>(parameters.size()));
        });
    }

    static Payload DigitsMessage(const std::string& digits, const std::string& types,
                                 int32_t mask) {
        return MessagePayload(10, [&](auto& w) {
            w.WriteInt(kChannel).WriteString(digits).WriteString(types).WriteInt(mask).WriteInt(0);
        });
    }

    std::vector<std::string> JournalCallsOf(const std::string& function) const {
        std::vector<std::string> lines;
        for (const std::string& line : Journal()) {
            if (line.find(" " + function + "(") != std::string::npos) {
                lines.push_back(line.substr(line.find(function)));
            }
        }
        return lines;
    }
};

TEST_F(ToneDigitCommandsTest, DigitsFailThenArriveIntoTheSameBuffer) {
    OpenChannel();
    ASSERT_EQ(Control("fail dx_getdig -1 1"), "OK");
    CollectDigits(DX_MAXDTMF, 3);
    EXPECT_EQ(NextMessage(10), DigitsMessage("X", "", 0));

    CollectDigits(DX_DIGMASK, 0x1000);  // ends on '#'
    Sync();
    ASSERT_EQ(Control("digits dxxxB1C2 12#"), "OK events=3");
    EXPECT_EQ(NextMessage(10), DigitsMessage("12#", "000", TM_DIGIT));

    CollectDigits(DX_MAXDTMF, 2);
    Sync();
    ASSERT_EQ(Control("digits dxxxB1C2 45"), "OK events=2");
    EXPECT_EQ(NextMessage(10), DigitsMessage("45", "00", TM_MAXDTMF));
    const std::vector<std::string> calls = JournalCallsOf("dx_getdig");
    ASSERT_EQ(calls.size(), 3u);
    // One buffer for the channel, made by its first collection.
    EXPECT_EQ(calls[1].substr(0, calls[1].rfind(',')), calls[2].substr(0, calls[2].rfind(',')));
}

TEST_F(ToneDigitCommandsTest, AFailedDialAnswersOnlyWithCallProgress) {
    OpenChannel();
    ASSERT_EQ(Control("fail dx_dial -1 2"), "OK");
    Dial("123", 1, 112);
    const std::optional<Payload> progress = NextMessage(23);
    ASSERT_TRUE(progress);
    EXPECT_EQ(LeadingInts(*progress, 2), (std::vector<int32_t>{23, kChannel}));
    EXPECT_EQ(NextMessage(4), MessagePayload(4, [](auto& w) {
                  w.WriteInt(kChannel).WriteInt(TDX_DIAL).WriteInt(-1);
              }));
    Dial("123", 0, 112);
    Sync();
    EXPECT_TRUE(Replies().empty());
}

TEST_F(ToneDigitCommandsTest, DiallingEndsWithEachCallProgressOutcome) {
    OpenChannel();
    // Parameters of another size: the library's defaults.
    Dial("55", 0, 100);
    EXPECT_EQ(NextMessage(4),
              MessagePayload(4, [](auto& w) { w.WriteInt(kChannel).WriteInt(TDX_DIAL); }));
    EXPECT_THAT(JournalCallsOf("dx_dial"), Contains(HasSubstr("\"55\", NULL, 32768)")));
    const std::vector<std::pair<std::string, int32_t>> outcomes = {
        {"connect", CR_CNCT},          {"busy", CR_BUSY},
        {"noanswer", CR_NOANS},        {"noringback", CR_NORB},
        {"nodialtone", CR_NODIALTONE}, {"fax", CR_FAXTONE}};
    for (const auto& [outcome, cpterm] : outcomes) {
        ASSERT_EQ(Control("callprogress * " + outcome), "OK");
        Dial("9", 1, 112);
        const std::optional<Payload> progress = NextMessage(23);
        ASSERT_TRUE(progress) << outcome;
        EXPECT_EQ(LeadingInts(*progress, 3), (std::vector<int32_t>{23, kChannel, cpterm}))
            << outcome;
    }
}

TEST_F(ToneDigitCommandsTest, AToneEndsByItsDurationAndAnEnabledToneIsHeard) {
    OpenChannel();
    peer_->Send(kDXPLTO, 40, [](net::COutputStreamSocket& w) {
        w.WriteUInt(kChannel).WriteInt(0).WriteInt(425).WriteInt(0).WriteInt(-10).WriteInt(0);
        w.WriteInt(50);                                                      // 500 ms
        w.WriteInt(IO_EOT).WriteInt(0).WriteInt(0).WriteInt(0).WriteInt(0);  // no table
    });
    EXPECT_EQ(NextMessage(6), MessagePayload(6, [](auto& w) {
                  w.WriteInt(kChannel).WriteInt(TM_MAXTIME).WriteInt(TDX_PLAYTONE);
              }));
    EXPECT_THAT(JournalCallsOf("dx_playtone"), Contains(HasSubstr(", NULL, 32768)")));

    // A tone built, added to the channel and enabled: heard, and the error text logged.
    peer_->SendInts(kDXBDST, 41, {301, 425, 25, 0});
    peer_->Send(kDXATON, 42,
                [](net::COutputStreamSocket& w) { w.WriteInt(kChannel).WriteInt(65).WriteInt(1); });
    peer_->SendInts(kDXEBTO, 43, {kChannel, 301, 1});
    Sync();
    EXPECT_EQ(Control("tone dxxxB1C2 301"), "OK");
    EXPECT_THAT(DebugLines(), Contains(HasSubstr("dx_enbtone dev=")));
    EXPECT_THAT(DebugLines(),
                Contains(EndsWith(" tone=301 mask=1 RC=0 - " +
                                  std::string(manager_->Hardware()->ATDV_ERRMSGP(1)))));
}

TEST_F(ToneDigitCommandsTest, BuildersAndToneChangesNeedNoChannel) {
    peer_->SendInts(kDXBDTC, 50, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
    peer_->SendInts(kDXBDDT, 51, {11, 12, -13, 14, 15, 16});
    peer_->SendInts(kDXBSTC, 52, {21, 22, 23, 24, 25, 26, 27, 28});
    peer_->SendInts(kDXCDUR, 53, {31, 32, 33, 34, 35});
    peer_->SendInts(kDXCRPC, 54, {41, 42});
    Sync();
    EXPECT_EQ(JournalCallsOf("dx_blddtcad"),
              (std::vector<std::string>{"dx_blddtcad(1, 2, 3, 4, 5, 6, 7, 8, 9, 10) = 0"}));
    EXPECT_EQ(JournalCallsOf("dx_blddt"),
              (std::vector<std::string>{"dx_blddt(11, 12, 0, 14, 15, 16) = 0"}));
    EXPECT_EQ(JournalCallsOf("dx_bldstcad"),
              (std::vector<std::string>{"dx_bldstcad(21, 22, 23, 24, 25, 26, 27, 28) = 0"}));
    EXPECT_EQ(JournalCallsOf("dx_chgdur"),
              (std::vector<std::string>{"dx_chgdur(31, 32, 33, 34, 35) = 0"}));
    EXPECT_EQ(JournalCallsOf("dx_chgrepcnt"),
              (std::vector<std::string>{"dx_chgrepcnt(41, 42) = 0"}));
    EXPECT_THAT(DebugLines(), Contains(EndsWith("dx_blddtcad 1 2 3 4 5 6 7 8 9 10  RC=0")));
}

}  // namespace
}  // namespace ruzd::node
