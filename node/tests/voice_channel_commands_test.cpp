// The voice channel commands that open, close and set up voice channels, on the simulated
// boards: what each asks of the voice library (the simulator's journal), what it answers on the
// command connection (byte for byte), what it keeps in the manager's tables and what it logs.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
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
using ::testing::StartsWith;

constexpr int32_t kDXADSV = 25;
constexpr int32_t kDXCLDB = 33;
constexpr int32_t kDXCLOS = 34;
constexpr int32_t kDXICAP = 44;
constexpr int32_t kDXOPEN = 45;
constexpr int32_t kDXSDIG = 49;
constexpr int32_t kDXSEVM = 50;
constexpr int32_t kDXSHOO = 51;
constexpr int32_t kDXSPAR = 52;
constexpr int32_t kDXSTCH = 53;
constexpr int32_t kSRSPAR = 76;
constexpr int32_t kDXGQUA = 116;
constexpr int32_t kDXSQUA = 117;

constexpr int32_t kChannel = 5;
constexpr int32_t kUnknown = 77;

class VoiceChannelCommandsTest : public testing::IsdnNodeTest {
protected:
    std::string Boards() const override { return "voice 2 4\nnetwork 1 30\nip 0 0\n"; }

    // Opens board 1's channel 4 as `ldev` and returns its voice-device handle; the reply is
    // taken.
    int32_t OpenChannel(int32_t ldev = kChannel) {
        peer_->SendInts(kDXOPEN, 10, {ldev, 1, 4});
        Sync();
        EXPECT_EQ(Replies().size(), 1u);
        int32_t handle = -1;
        EXPECT_TRUE(manager_->Devices().Voice().Get(ldev, &handle));
        statuses_.Take();
        return handle;
    }

    // The voice library's calls the commands made, without their sequence numbers; `from`
    // skips those listed before.
    std::vector<std::string> VoiceJournal(size_t from = 0) const {
        std::vector<std::string> lines;
        std::ifstream in(JournalPath());
        for (std::string line; std::getline(in, line);) {
            const std::string entry = line.substr(line.find(' ') + 1);
            if (entry.starts_with("libdxxmt ")) {
                lines.push_back(entry.substr(std::string("libdxxmt ").size()));
            }
        }
        lines.erase(lines.begin(), lines.begin() + static_cast<long>(std::min(from, lines.size())));
        return lines;
    }

    // Every journal line that names `function`, whatever its library.
    std::vector<std::string> JournalCallsOf(const std::string& function) const {
        std::vector<std::string> lines;
        std::ifstream in(JournalPath());
        for (std::string line; std::getline(in, line);) {
            if (line.find(" " + function + "(") != std::string::npos) {
                lines.push_back(line);
            }
        }
        return lines;
    }

    static Payload OpenReply(int32_t ldev, int32_t play, int32_t record) {
        return MessagePayload(8,
                              [=](auto& w) { w.WriteInt(ldev).WriteInt(play).WriteInt(record); });
    }

    // A command on a channel named by an unsigned ldev, with words after it.
    void SendWords(int32_t code, uint32_t ldev, const std::vector<int32_t>& words) {
        peer_->Send(code, 40, [&](net::COutputStreamSocket& writer) {
            writer.WriteUInt(ldev);
            for (int32_t word : words) {
                writer.WriteInt(word);
            }
        });
    }

    void SendTemplate(uint32_t ldev, int32_t templateId, const std::vector<uint8_t>& block) {
        peer_->Send(kDXSQUA, 50, [&](net::COutputStreamSocket& writer) {
            writer.WriteUInt(ldev).WriteInt(templateId);
            writer.WriteBytes(block.data(), static_cast<int>(block.size()));
        });
        Sync();
    }
};

TEST_F(VoiceChannelCommandsTest, EveryCommandOfTheFamilyIsRegistered) {
    for (int32_t code : {kDXADSV, kDXCLDB, kDXCLOS, kDXICAP, kDXOPEN, kDXSDIG, kDXSEVM, kDXSHOO,
                         kDXSPAR, kDXSTCH, kSRSPAR, kDXGQUA, kDXSQUA}) {
        EXPECT_TRUE(manager_->HasCommandHandler(code)) << code;
    }
}

TEST_F(VoiceChannelCommandsTest, OpensAChannelByBoardAndChannelAndRepliesItsFeatures) {
    const size_t mark = VoiceJournal().size();
    peer_->SendInts(kDXOPEN, 10, {kChannel, 1, 4});
    Sync();

    int32_t handle = -1;
    ASSERT_TRUE(manager_->Devices().Voice().Get(kChannel, &handle));
    const std::string h = std::to_string(handle);
    EXPECT_THAT(VoiceJournal(mark), ElementsAre("dx_open(\"dxxxB1C4\", 0) = " + h,
                                                AllOf(StartsWith("dx_getfeaturelist(" + h + ", 0x"),
                                                      EndsWith(" = 0"))));
    // The simulated channels play and record what the default feature table says.
    EXPECT_THAT(Replies(), ElementsAre(OpenReply(kChannel, 0x1F, 0x1F)));

    int32_t ldev = 0;
    int32_t type = 0;
    EXPECT_TRUE(manager_->Devices().HandleLdevs().Get(handle, &ldev));
    EXPECT_EQ(ldev, kChannel);
    EXPECT_TRUE(manager_->Devices().PortTypes().Get(handle, &type));
    EXPECT_EQ(type, 1);
    EXPECT_EQ(manager_->OpenChannelCount(), 1);
    EXPECT_THAT(statuses_.Take(), ElementsAre(PortStatus{1, kChannel, "Idle"}));
    const std::vector<std::string> lines = DebugLines();
    EXPECT_THAT(lines, Contains(EndsWith("dx_open name=dxxxB1C4 RC=" + h)));
    EXPECT_THAT(lines, Contains(EndsWith("dx_getfeaturelist play=31 record=31 RC=0")));
}

TEST_F(VoiceChannelCommandsTest, OpensABoardByItsNumberWithoutItsFeatures) {
    const size_t mark = VoiceJournal().size();
    peer_->SendInts(kDXOPEN, 10, {1000000 + 2, 7, 9});
    Sync();

    int32_t handle = -1;
    ASSERT_TRUE(manager_->Devices().Voice().Get(1000000 + 2, &handle));
    EXPECT_THAT(VoiceJournal(mark),
                ElementsAre("dx_open(\"dxxxB2\", 0) = " + std::to_string(handle)));
    EXPECT_THAT(Replies(), ElementsAre(OpenReply(1000000 + 2, 0, 0)));
    EXPECT_EQ(manager_->OpenChannelCount(), 1);
    EXPECT_THAT(statuses_.Take(), ElementsAre(PortStatus{1, 1000000 + 2, "Idle"}));
}

TEST_F(VoiceChannelCommandsTest, AFailedOpenRepliesMinusOneAndKeepsNothing) {
    ASSERT_EQ(Control("fail dx_open -1 1"), "OK");
    const size_t mark = VoiceJournal().size();
    peer_->SendInts(kDXOPEN, 10, {kChannel, 1, 4});
    Sync();

    EXPECT_THAT(VoiceJournal(mark), ElementsAre("dx_open(\"dxxxB1C4\", 0) = -1"));
    EXPECT_THAT(Replies(), ElementsAre(OpenReply(kChannel, -1, -1)));
    int32_t handle = 0;
    EXPECT_FALSE(manager_->Devices().Voice().Get(kChannel, &handle));
    int32_t ldev = 0;
    EXPECT_FALSE(manager_->Devices().HandleLdevs().Get(-1, &ldev));
    EXPECT_EQ(manager_->OpenChannelCount(), 0);
    EXPECT_THAT(statuses_.Take(), IsEmpty());
    EXPECT_THAT(DebugLines(), Not(Contains(HasSubstr("dx_open name="))));
}

TEST_F(VoiceChannelCommandsTest, AFailedFeatureListRepliesMinusOneButTheChannelStaysOpen) {
    ASSERT_EQ(Control("fail dx_getfeaturelist -1 1"), "OK");
    peer_->SendInts(kDXOPEN, 10, {kChannel, 1, 4});
    Sync();

    EXPECT_THAT(Replies(), ElementsAre(OpenReply(kChannel, -1, -1)));
    int32_t handle = -1;
    EXPECT_TRUE(manager_->Devices().Voice().Get(kChannel, &handle));
    EXPECT_EQ(manager_->OpenChannelCount(), 1);
    EXPECT_THAT(DebugLines(), Contains(EndsWith("dx_getfeaturelist play=0 record=0 RC=-1")));
}

TEST_F(VoiceChannelCommandsTest, ClosesAnIdleChannelWithoutStoppingIt) {
    const int32_t handle = OpenChannel();
    const std::string h = std::to_string(handle);
    const size_t mark = VoiceJournal().size();
    peer_->SendInts(kDXCLOS, 11, {kChannel});
    Sync();

    EXPECT_THAT(VoiceJournal(mark),
                ElementsAre("ATDX_STATE(" + h + ") = 1", "dx_close(" + h + ") = 0"));
    EXPECT_THAT(Replies(), IsEmpty());
    int32_t found = 0;
    EXPECT_FALSE(manager_->Devices().Voice().Get(kChannel, &found));
    // The handle's own entries stay until a new open of the handle replaces them.
    int32_t ldev = 0;
    EXPECT_TRUE(manager_->Devices().HandleLdevs().Get(handle, &ldev));
    EXPECT_EQ(manager_->OpenChannelCount(), 0);
    EXPECT_THAT(statuses_.Take(), ElementsAre(PortStatus{1, kChannel, "Closed"}));
    const std::vector<std::string> lines = DebugLines();
    EXPECT_THAT(lines, Contains(EndsWith("dx_close dev=" + h + " RC=0")));
    EXPECT_THAT(lines, Not(Contains(HasSubstr("dx_close first calling dx_stopch"))));
}

TEST_F(VoiceChannelCommandsTest, OpeningAnOpenChannelAgainClosesItsFirstHandle) {
    const int32_t first = OpenChannel();
    const std::string h = std::to_string(first);
    const size_t mark = VoiceJournal().size();
    const int32_t second = OpenChannel();
    ASSERT_NE(second, first);
    EXPECT_THAT(VoiceJournal(mark),
                ElementsAre("ATDX_STATE(" + h + ") = 1", "dx_close(" + h + ") = 0",
                            StartsWith("dx_open(\"dxxxB1C4\", 0) = "),
                            StartsWith("dx_getfeaturelist(" + std::to_string(second) + ", ")));
    EXPECT_THAT(Control("query device #" + h), EndsWith("open=0"));
    EXPECT_EQ(manager_->OpenChannelCount(), 1);
}

TEST_F(VoiceChannelCommandsTest, ClosingABusyChannelStopsItAsynchronouslyFirst) {
    const int32_t handle = OpenChannel();
    const std::string h = std::to_string(handle);
    ASSERT_EQ(Control("fail ATDX_STATE 3 1"), "OK");
    const size_t mark = VoiceJournal().size();
    peer_->SendInts(kDXCLOS, 11, {kChannel});
    Sync();

    EXPECT_THAT(VoiceJournal(mark),
                ElementsAre("ATDX_STATE(" + h + ") = 3", "dx_stopch(" + h + ", 32768) = 0",
                            "dx_close(" + h + ") = 0"));
    EXPECT_THAT(DebugLines(), Contains(EndsWith("dx_close first calling dx_stopch")));
    EXPECT_EQ(manager_->OpenChannelCount(), 0);
}

TEST_F(VoiceChannelCommandsTest, AFailedCloseForgetsTheChannelButKeepsItsCountAndState) {
    const int32_t handle = OpenChannel();
    ASSERT_EQ(Control("fail dx_close -1 1"), "OK");
    peer_->SendInts(kDXCLOS, 11, {kChannel});
    Sync();

    int32_t found = 0;
    EXPECT_FALSE(manager_->Devices().Voice().Get(kChannel, &found));
    EXPECT_EQ(manager_->OpenChannelCount(), 1);
    EXPECT_THAT(statuses_.Take(), IsEmpty());
    EXPECT_THAT(DebugLines(),
                Contains(EndsWith("dx_close dev=" + std::to_string(handle) + " RC=-1")));
}

TEST_F(VoiceChannelCommandsTest, SettingsReachTheLibraryWithTheChannelsHandle) {
    const int32_t handle = OpenChannel();
    const std::string h = std::to_string(handle);
    const size_t mark = VoiceJournal().size();
    peer_->SendInts(kDXSEVM, 20, {kChannel, 0x1F});
    peer_->Send(kDXSPAR, 21, [](net::COutputStreamSocket& w) {
        w.WriteInt(kChannel).WriteUInt(0x402).WriteInt(-7);
    });
    peer_->SendInts(kDXSHOO, 22, {kChannel, 1, 0});
    SendWords(kDXSTCH, kChannel, {0});
    SendWords(kDXCLDB, kChannel, {});
    SendWords(kDXICAP, kChannel, {});
    SendWords(kDXADSV, kChannel, {1, 2, 3});
    SendWords(kDXSDIG, kChannel, {0x11});
    Sync();

    EXPECT_THAT(VoiceJournal(mark),
                ElementsAre("dx_setevtmsk(" + h + ", 31) = 0",
                            AllOf(StartsWith("dx_setparm(" + h + ", 1026, 0x"), EndsWith(" = 0")),
                            "dx_sethook(" + h + ", 1, 0) = 0", "dx_stopch(" + h + ", 32768) = 0",
                            "dx_clrdigbuf(" + h + ") = 0", "dx_initcallp(" + h + ") = 0",
                            "dx_adjsv(" + h + ", 1, 2, 3) = 0", "dx_setdigtyp(" + h + ", 17) = 0"));
    EXPECT_THAT(Replies(), IsEmpty());
    const std::vector<std::string> lines = DebugLines();
    for (const std::string& line : {
             "dx_setevtmsk dev=" + h + " mask=31 RET=0",
             "dx_setparm dev=" + h + " parm=1026 val=-7 RET=0",
             std::string("dx_sethook state=1 mode=0"),
             "dx_stopch handle=" + h + " RC=0",
             "dx_clrdigbuf handle=" + h + " RC=0",
             "dx_initcallp handle=" + h + " RC=0",
             "dx_adjsv handle=" + h + " tabletype=1 action=2 size=3 RC=0",
             "dx_setdigtyp handle=" + h + " mask=17 RC=0",
         }) {
        // On the voice channel of the log, under the channel's line number.
        EXPECT_THAT(lines, Contains(AllOf(HasSubstr(":Vo0005 "), EndsWith(line)))) << line;
    }
}

TEST_F(VoiceChannelCommandsTest, StoppingIsAsynchronousWhateverTheModeSent) {
    const int32_t handle = OpenChannel();
    const size_t mark = VoiceJournal().size();
    SendWords(kDXSTCH, kChannel, {1});
    Sync();
    EXPECT_THAT(VoiceJournal(mark),
                ElementsAre("dx_stopch(" + std::to_string(handle) + ", 32768) = 0"));
}

TEST_F(VoiceChannelCommandsTest, UnknownChannelsAreLoggedAndNeverReachTheLibrary) {
    OpenChannel();
    const size_t mark = VoiceJournal().size();
    peer_->SendInts(kDXCLOS, 11, {kUnknown});
    peer_->SendInts(kDXSEVM, 20, {kUnknown, 1});
    peer_->SendInts(kDXSPAR, 21, {kUnknown, 1, 1});
    peer_->SendInts(kDXSHOO, 22, {kUnknown, 1, 0});
    SendWords(kDXSTCH, kUnknown, {0});
    SendWords(kDXCLDB, kUnknown, {});
    SendWords(kDXICAP, kUnknown, {});
    SendWords(kDXADSV, kUnknown, {1, 2, 3});
    SendWords(kDXSDIG, kUnknown, {1});
    SendWords(kDXGQUA, kUnknown, {4});
    SendTemplate(kUnknown, 4, std::vector<uint8_t>(32, 0x55));
    Sync();

    EXPECT_THAT(VoiceJournal(mark), IsEmpty());
    // Only the template query answers, without a template.
    EXPECT_THAT(Replies(), ElementsAre(MessagePayload(
                               24, [](auto& w) { w.WriteUInt(kUnknown).WriteInt(-1); })));
    const std::vector<std::string> lines = DebugLines();
    for (const char* call :
         {"dx_close", "dx_setevtmsk", "dx_setparm", "dx_sethook", "dx_stopch", "dx_clrdigbuf",
          "dx_initcallp", "dx_adjsv", "dx_setdigtyp", "dx_getqualtmplate", "dx_setqualtmplate"}) {
        EXPECT_THAT(lines, Contains(EndsWith(std::string(call) + " ldev=UNKNOWN RET=ERROR")))
            << call;
    }
    EXPECT_EQ(manager_->OpenChannelCount(), 1);
}

// A command whose frame ends before its values, or whose value its read refuses, logs one line
// and reaches nothing: a close without its ldev would close ldev 0, a stop of ldev -7 would stop
// ldev 0's channel.
TEST_F(VoiceChannelCommandsTest, AShortFrameIsRefusedWithOneLineAndNoCall) {
    OpenChannel(0);
    const size_t mark = VoiceJournal().size();
    peer_->SendInts(kDXCLOS, 91, {});
    peer_->SendInts(kDXSEVM, 92, {0, -1});
    peer_->SendInts(kDXSTCH, 93, {-7, 0});
    peer_->SendInts(kDXSHOO, 94, {0, 1});
    peer_->SendInts(kDXSQUA, 95, {0, 6});
    Sync();

    EXPECT_THAT(VoiceJournal(mark), IsEmpty());
    EXPECT_THAT(Replies(), IsEmpty());
    const std::vector<std::string> lines = DebugLines();
    const auto linesOf = [&lines](int32_t id) {
        std::vector<std::string> found;
        for (const std::string& line : lines) {
            if (line.find(":0000000" + std::to_string(id) + ":") != std::string::npos) {
                found.push_back(line);
            }
        }
        return found;
    };
    EXPECT_THAT(linesOf(91),
                ElementsAre(AllOf(HasSubstr(":Vo"), EndsWith("DXCLOS: command too short"))));
    EXPECT_THAT(linesOf(92), ElementsAre(EndsWith("DXSEVM: command too short")));
    EXPECT_THAT(linesOf(93), ElementsAre(EndsWith("DXSTCH: command too short")));
    EXPECT_THAT(linesOf(94), ElementsAre(EndsWith("DXSHOO: command too short")));
    EXPECT_THAT(linesOf(95), ElementsAre(EndsWith("DXSQUA: command too short")));
    EXPECT_EQ(manager_->OpenChannelCount(), 1);
}

TEST_F(VoiceChannelCommandsTest, ReadsAToneTemplateIntoItsReply) {
    const int32_t handle = OpenChannel();
    const std::string h = std::to_string(handle);
    const size_t mark = VoiceJournal().size();
    SendWords(kDXGQUA, kChannel, {6});
    Sync();

    EXPECT_THAT(VoiceJournal(mark),
                ElementsAre(AllOf(StartsWith("dx_getextqualtmplate(" + h + ", 6, 32, 0x"),
                                  EndsWith(" = 0"))));
    const std::vector<uint8_t> block(32, 0);
    EXPECT_THAT(Replies(), ElementsAre(MessagePayload(24, [&](auto& w) {
                    w.WriteUInt(kChannel).WriteInt(0).WriteBytes(block.data(), 32);
                })));
    EXPECT_THAT(DebugLines(), Contains(EndsWith("dx_getqualtmplate handle=" + h + " RC=0")));
}

TEST_F(VoiceChannelCommandsTest, ATemplateOfTheLibrarysSizeIsSet) {
    const int32_t handle = OpenChannel();
    const std::string h = std::to_string(handle);
    const size_t mark = VoiceJournal().size();
    SendTemplate(kChannel, 6, std::vector<uint8_t>(32, 0x55));

    EXPECT_THAT(VoiceJournal(mark),
                ElementsAre(AllOf(StartsWith("dx_setextqualtmplate(" + h + ", 6, 32, 0x"),
                                  EndsWith(" = 0"))));
    EXPECT_THAT(Replies(), IsEmpty());
    EXPECT_THAT(DebugLines(), Contains(EndsWith("dx_setqualtmplate handle=" + h + " RC=0")));
}

TEST_F(VoiceChannelCommandsTest, ATemplateOfAnotherSizeIsRefusedWithoutCallingTheLibrary) {
    const int32_t handle = OpenChannel();
    const size_t mark = VoiceJournal().size();
    SendTemplate(kChannel, 6, std::vector<uint8_t>(31, 0x55));

    EXPECT_THAT(VoiceJournal(mark), IsEmpty());
    const std::vector<std::string> lines = DebugLines();
    EXPECT_THAT(lines, Contains(EndsWith("Pulling 'TN_QLT' structure failed (sizeof(TN_QLT)=32)")));
    EXPECT_THAT(
        lines, Contains(EndsWith("dx_setqualtmplate handle=" + std::to_string(handle) + " RC=-1")));
}

TEST_F(VoiceChannelCommandsTest, RuntimeParametersAreOnlyLogged) {
    peer_->Send(kSRSPAR, 60, [](net::COutputStreamSocket& w) { w.WriteLong(5).WriteLong(300); });
    peer_->Send(kSRSPAR, 61, [](net::COutputStreamSocket& w) { w.WriteLong(9).WriteLong(-2); });
    Sync();

    EXPECT_THAT(JournalCallsOf("sr_setparm"), IsEmpty());
    EXPECT_THAT(Replies(), IsEmpty());
    const std::vector<std::string> lines = DebugLines();
    // On the network channel of the log, without a line number.
    EXPECT_THAT(lines, Contains(AllOf(HasSubstr(":Dt     "),
                                      EndsWith("sr_setparm parno=5 value=300 RET=not executed on "
                                               "Vesmarins"))));
    EXPECT_THAT(lines,
                Contains(AllOf(HasSubstr(":Dt     "),
                               EndsWith("sr_setparm dev=UNKNOWN parno=9 value=-2 RET=ERROR"))));
}

}  // namespace
}  // namespace ruzd::node
