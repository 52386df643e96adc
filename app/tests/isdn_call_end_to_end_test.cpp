// A call from end to end: the node program on the simulated boards in a platform root of its
// own, a central server of the test's own that authorises its file connection, initialises
// the node and starts its workers, and the simulator's control socket as the far end. Every
// event of the call reaches the central server as a device event (message 12), byte for byte.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <fstream>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/tests/node_process.h"
#include "boardsim/control/control_client.h"
#include "foundation/registry.h"
#include "net/tests/central_peer.h"
#include "node/tests/command_peer.h"
#include "node/vesmarin_manager.h"
#include "platform/sntp_client.h"
#include "telephony/vendorapi/isdn.h"
#include "testing/sntp_test_server.h"
#include "testing/temp_root.h"

namespace ruzd::app::testing {
namespace {

using node::testing::CommandPeer;
using node::testing::MessagePayload;
using node::testing::Payload;
using ::testing::AllOf;
using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::StartsWith;

constexpr int32_t kCNINIT = 11;
constexpr int32_t kCNPING = 12;
constexpr int32_t kCNSTRT = 15;
constexpr int32_t kCCDRCA = 8;
constexpr int32_t kCCACCA = 77;
constexpr int32_t kCCANCA = 78;
constexpr int32_t kCCCLOS = 82;
constexpr int32_t kCCMKCA = 84;
constexpr int32_t kCCOPEN = 85;
constexpr int32_t kCCRLCA = 87;
constexpr int32_t kCCWCAL = 91;
constexpr int32_t kNetworkLine = 3;
constexpr int32_t kAsync = 0x8000;

class IsdnCallEndToEndTest : public ::testing::Test {
protected:
    IsdnCallEndToEndTest() : control_((simulator_.path() / "control").string()) {}

    void SetUp() override {
        SetEnv("BOARDSIM_CONTROL", (simulator_.path() / "control").string());
        SetEnv("BOARDSIM_JOURNAL", (simulator_.path() / "journal").string());
        // No IP boards: Global Call stays stopped and calls run on the ISDN functions.
        std::ofstream(simulator_.path() / "boards.conf") << "network 1 30\nip 0 0\n";
        SetEnv("BOARDSIM_CONFIG", (simulator_.path() / "boards.conf").string());
        // CNINIT sets the node's clock from the central host's time server: one of the test's
        // own.
        SetEnv(platform::kSntpPortVariable, std::to_string(timeServer_.port()));

        commandPort_ = FreePort();
        filePort_ = FreePort();
        foundation::CRegistry registry(node::kNodeRegistrySection);
        ASSERT_TRUE(registry.WriteDword(node::kLocalTcpPortValue, commandPort_));
        ASSERT_TRUE(registry.WriteDword(node::kLocalFileSocketTcpPortValue, filePort_));
    }

    void TearDown() override {
        peer_.reset();
        files_.reset();
        node_.reset();
        for (const auto& [name, value] : saved_) {
            if (value) {
                ::setenv(name.c_str(), value->c_str(), 1);
            } else {
                ::unsetenv(name.c_str());
            }
        }
    }

    // The node started, its start-up delay over, its file connection authorised, initialised
    // for this central server and its workers running.
    void StartAndInitialise() {
        node_ = std::make_unique<NodeProcess>(root_.path(), work_.path() / "node",
                                              std::vector<std::string>{"-debug", "-d"});
        peer_ = std::make_unique<CommandPeer>(static_cast<int>(commandPort_));
        ASSERT_TRUE(peer_->IsConnected()) << node_->Stderr();

        // Keep-alives are dropped without a word until the start-up delay has passed.
        const auto deadline = Clock::now() + kPatience;
        bool answered = false;
        while (!answered && Clock::now() < deadline && !node_->HasEnded()) {
            peer_->SendInts(kCNPING, 1, {77});
            answered = peer_->ReceiveCode(1, std::chrono::milliseconds(500)).has_value();
        }
        ASSERT_TRUE(answered) << node_->Stderr();

        files_ = net::filetest::CentralPeer::ConnectWhenListening(static_cast<uint16_t>(filePort_));
        ASSERT_TRUE(files_->Connected());
        ASSERT_TRUE(files_->Handshake(false));
        files_->SendText("STARTS 2\r");
        ASSERT_EQ(files_->ReadLine(), "STARTS 1");

        peer_->Send(kCNINIT, 2, [](net::COutputStreamSocket& writer) {
            writer.WriteInt(0).WriteString("127.0.0.1").WriteInt(12);
        });
        ASSERT_TRUE(peer_->ReceiveCode(31).has_value()) << node_->Stderr();
        peer_->SendInts(kCNSTRT, 3, {});
        // The first keep-alive of the active connection also brings message 2; both come after
        // the workers started.
        peer_->SendInts(kCNPING, 4, {78});
        ASSERT_TRUE(peer_->ReceiveCode(1).has_value());
        ASSERT_TRUE(peer_->ReceiveCode(2).has_value());
    }

    // The next device event; fails the test when none comes.
    Payload NextDeviceEvent() {
        std::optional<Payload> event = peer_->ReceiveCode(12, std::chrono::seconds(20));
        EXPECT_TRUE(event.has_value()) << "no device event came";
        return event.value_or(Payload{});
    }

    // A device event without a tail.
    static Payload Event(int32_t handle, int32_t code, int32_t crn) {
        return MessagePayload(12, [=](auto& w) {
            w.WriteInt(1).WriteInt(kNetworkLine).WriteInt(handle).WriteInt(code).WriteInt(crn);
        });
    }

    int32_t HandleOf(const std::string& device) {
        const std::string answer = Control("query device " + device);
        const size_t at = answer.find("handle=");
        return at == std::string::npos ? -1 : std::stoi(answer.substr(at + 7));
    }

    std::string Control(const std::string& command) { return control_.Send(command); }

    // The ISDN call-control calls of the journal that commands made, without their sequence
    // numbers: the queries with which the node describes each event are left out.
    std::vector<std::string> CommandCalls() const {
        static const std::vector<std::string> kEventQueries = {
            "cc_GetCRN(",      "cc_GetDNIS(",    "cc_GetANI(",     "cc_CallState(",
            "cc_ResultValue(", "cc_GetSigInfo(", "cc_GetCallInfo("};
        std::vector<std::string> lines;
        std::ifstream in(simulator_.path() / "journal");
        for (std::string line; std::getline(in, line);) {
            const std::string entry = line.substr(line.find(' ') + 1);
            if (!entry.starts_with("libdtimt cc_")) {
                continue;
            }
            const std::string call = entry.substr(std::string("libdtimt ").size());
            bool query = false;
            for (const std::string& prefix : kEventQueries) {
                query = query || call.starts_with(prefix);
            }
            if (!query) {
                lines.push_back(call);
            }
        }
        return lines;
    }

    ruzd::testing::TempRoot root_;
    ruzd::testing::TempDir work_;
    ruzd::testing::TempDir simulator_;
    ruzd::testing::SntpTestServer timeServer_;
    uint32_t commandPort_ = 0;
    uint32_t filePort_ = 0;
    std::unique_ptr<NodeProcess> node_;
    std::unique_ptr<CommandPeer> peer_;
    std::unique_ptr<net::filetest::CentralPeer> files_;

private:
    void SetEnv(const std::string& name, const std::string& value) {
        const char* old = ::getenv(name.c_str());
        saved_.emplace_back(name, old != nullptr ? std::optional<std::string>(old) : std::nullopt);
        ::setenv(name.c_str(), value.c_str(), 1);
    }

    boardsim::ControlClient control_;
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST_F(IsdnCallEndToEndTest, AnIncomingCallFromOfferToClose) {
    StartAndInitialise();
    peer_->SendInts(kCCOPEN, 10, {1});
    peer_->SendInts(kCCWCAL, 11, {1});
    peer_->SendInts(kCNPING, 12, {79});
    ASSERT_TRUE(peer_->ReceiveCode(1).has_value());
    const int32_t handle = HandleOf("dtiB1T1");
    ASSERT_GT(handle, 0);

    ASSERT_EQ(Control("call dtiB1T1 5551000 5552000 ie=1c02aabb"), "OK crn=4097");
    IE_BLK elements{};
    elements.length = 4;
    elements.data[0] = 0x1C;
    elements.data[1] = 0x02;
    elements.data[2] = static_cast<char>(0xAA);
    elements.data[3] = static_cast<char>(0xBB);
    EXPECT_EQ(NextDeviceEvent(), MessagePayload(12, [&](auto& w) {
                  w.WriteInt(1).WriteInt(kNetworkLine).WriteInt(handle).WriteInt(CCEV_OFFERED);
                  w.WriteInt(4097).WriteInt(CCST_OFFERED).WriteString("5551000");
                  w.WriteString("5552000").WriteInt(0).WriteLong(sizeof elements);
                  w.WriteBytes(reinterpret_cast<const uint8_t*>(&elements), sizeof elements);
                  w.WriteInt(0);
              }));

    // From here on the call is named by 0, the line device's current call.
    peer_->SendInts(kCCACCA, 13, {1, 0, 2, 0});
    EXPECT_EQ(NextDeviceEvent(), Event(handle, CCEV_ACCEPT, 4097));
    peer_->SendInts(kCCANCA, 14, {1, 0, 0, 0});
    EXPECT_EQ(NextDeviceEvent(), Event(handle, CCEV_ANSWERED, 4097));

    ASSERT_EQ(Control("hangup dtiB1T1"), "OK crn=4097");
    EXPECT_EQ(NextDeviceEvent(), MessagePayload(12, [&](auto& w) {
                  w.WriteInt(1).WriteInt(kNetworkLine).WriteInt(handle).WriteInt(CCEV_DISCONNECTED);
                  w.WriteInt(4097).WriteInt(CAUSE_NORMAL_CLEARING).WriteInt(0);
              }));
    peer_->SendInts(kCCDRCA, 15, {1, 0, CAUSE_NORMAL_CLEARING, kAsync});
    EXPECT_EQ(NextDeviceEvent(), Event(handle, CCEV_DROPCALL, 4097));
    peer_->SendInts(kCCRLCA, 16, {1, 0});
    EXPECT_EQ(NextDeviceEvent(), Event(handle, CCEV_RELEASECALL, 4097));
    peer_->SendInts(kCCCLOS, 17, {1});
    peer_->SendInts(kCNPING, 18, {80});
    ASSERT_TRUE(peer_->ReceiveCode(1).has_value());

    const std::string line = std::to_string(handle);
    EXPECT_THAT(
        CommandCalls(),
        ElementsAre(StartsWith("cc_Open(0x"), "cc_SetParm(" + line + ", 30874, 20) = 0",
                    StartsWith("cc_WaitCall(" + line + ", 0x"), "cc_AcceptCall(4097, 2, 32768) = 0",
                    "cc_AnswerCall(4097, 0, 32768) = 0", "cc_DropCall(4097, 16, 32768) = 0",
                    "cc_ReleaseCallEx(4097, 32768) = 0", "cc_Close(" + line + ") = 0"));
    EXPECT_TRUE(node_->WaitForLog("cc_Close ldev=" + line + " RET=0"));
}

TEST_F(IsdnCallEndToEndTest, AnOutgoingCallThatConnects) {
    StartAndInitialise();
    peer_->SendInts(kCCOPEN, 10, {1});
    peer_->SendInts(kCNPING, 11, {79});
    ASSERT_TRUE(peer_->ReceiveCode(1).has_value());
    const int32_t handle = HandleOf("dtiB1T1");
    ASSERT_GT(handle, 0);

    peer_->Send(kCCMKCA, 12, [](net::COutputStreamSocket& writer) {
        const std::vector<uint8_t> block(sizeof(MAKECALL_BLK), 0);
        writer.WriteInt(1).WriteLong(0).WriteString("0301234567").WriteInt(30);
        writer.WriteBytes(block.data(), static_cast<int>(block.size()));
    });
    EXPECT_EQ(NextDeviceEvent(), Event(handle, CCEV_PROCEEDING, 4097));
    EXPECT_EQ(NextDeviceEvent(), MessagePayload(12, [&](auto& w) {
                  w.WriteInt(1).WriteInt(kNetworkLine).WriteInt(handle).WriteInt(CCEV_ALERTING);
                  w.WriteInt(4097).WriteInt(0);
              }));
    EXPECT_EQ(NextDeviceEvent(), Event(handle, CCEV_CONNECTED, 4097));

    // The call made is the line device's current call: 0 drops and releases it.
    peer_->SendInts(kCCDRCA, 13, {1, 0, CAUSE_NORMAL_CLEARING, kAsync});
    EXPECT_EQ(NextDeviceEvent(), Event(handle, CCEV_DROPCALL, 4097));
    peer_->SendInts(kCCRLCA, 14, {1, 0});
    EXPECT_EQ(NextDeviceEvent(), Event(handle, CCEV_RELEASECALL, 4097));
    const std::string line = std::to_string(handle);
    EXPECT_THAT(
        CommandCalls(),
        ElementsAre(StartsWith("cc_Open(0x"), "cc_SetParm(" + line + ", 30874, 20) = 0",
                    AllOf(StartsWith("cc_MakeCall(" + line + ", 0x"),
                          HasSubstr(", \"0301234567\", 0x"), EndsWith(", 30, 32768) = 0")),
                    "cc_DropCall(4097, 16, 32768) = 0", "cc_ReleaseCallEx(4097, 32768) = 0"));
}

}  // namespace
}  // namespace ruzd::app::testing
