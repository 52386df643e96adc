// The Aculab commands as the node program ships: its Aculab path switched off, on simulated
// boards that hold an Aculab card all the same. Every command ends with its "no aculab" line,
// the three the central server waits for are answered with -1, and no Aculab library is ever
// loaded.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "testing/command_peer.h"
#include "testing/initialised_node.h"

namespace ruzd::app {
namespace {

using ruzd::testing::MessagePayload;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

constexpr int32_t kIp = 1;

size_t Occurrences(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

class AculabSwitchedOffTest : public testing::InitialisedNodeTest {
protected:
    void SetUp() override {
        UseBoards("network 1 30\nip 0 0\naculab SER-IP1 0xF ports=2 porttype=36 modules=2\n");
        StartAndInitialise();
    }

    void Send(int32_t code, const std::vector<int32_t>& values) {
        peer_->SendInts(code, next_id_++, values);
    }

    // A command of a line device, what comes before its byte count, and an empty byte string.
    void SendWithBytes(int32_t code, const std::vector<int32_t>& values) {
        peer_->Send(code, next_id_++, [&](net::COutputStreamSocket& w) {
            for (const int32_t value : values) {
                w.WriteInt(value);
            }
            const uint8_t none = 0;
            w.WriteInt(0).WriteBytes(&none, 0);
        });
    }

    int32_t next_id_ = 20;
};

TEST_F(AculabSwitchedOffTest, EveryCommandEndsWithItsLineAndTheAnswersCarryMinusOne) {
    Send(101, {1, kIp});  // CAOPPO
    Send(101, {2, 0});
    Send(102, {1, kIp});                                            // CAPOIN
    Send(103, {3, 1, 1, kIp});                                      // CAOPTS
    SendWithBytes(104, {3, kIp});                                   // CAOPIN
    SendWithBytes(105, {3, kIp});                                   // CAOPOU
    Send(106, {3, kIp, 4096, 16, 0});                               // CADISC
    Send(107, {3, kIp, 4096});                                      // CAINRI
    Send(108, {3, kIp, 4096});                                      // CAACCE
    Send(109, {3, kIp, 4096});                                      // CARELE
    Send(110, {5, kIp, 4096});                                      // XCGETC
    Send(111, {3, kIp});                                            // CACLTS
    Send(112, {});                                                  // ACOPEN
    Send(113, {});                                                  // ACCLOS
    SendWithBytes(114, {3, kIp});                                   // XCINRI
    SendWithBytes(115, {3, kIp});                                   // XCACCE
    Send(118, {1});                                                 // CAOPIP
    Send(119, {5});                                                 // SMVMPR
    Send(120, {5});                                                 // SMVMPD
    SendWithBytes(121, {5});                                        // IPSDTM
    peer_->Send(122, next_id_++, [](net::COutputStreamSocket& w) {  // SMREDI
        w.WriteInt(5).WriteInt(18).WriteString("123");
    });
    Send(158, {2, 100});  // CFAUTO of the IP boards

    // The answers, in the order of their commands.
    EXPECT_EQ(peer_->ReceiveCode(20), MessagePayload(20, [](net::COutputStreamSocket& w) {
                  w.WriteInt(1).WriteInt(kIp).WriteInt(-1);
              }));
    EXPECT_EQ(peer_->ReceiveCode(22), MessagePayload(22, [](net::COutputStreamSocket& w) {
                  w.WriteInt(5).WriteInt(kIp).WriteInt(-1);
              }));
    EXPECT_EQ(peer_->ReceiveCode(25),
              MessagePayload(25, [](net::COutputStreamSocket& w) { w.WriteInt(5).WriteInt(-1); }));
    EXPECT_EQ(peer_->ReceiveCode(35),
              MessagePayload(35, [](net::COutputStreamSocket& w) { w.WriteInt(2).WriteInt(0); }));

    // The log is written by a thread of its own, in the order of its lines.
    ASSERT_TRUE(node_->WaitForLog("SocketCmdCFAUTO"));
    ASSERT_TRUE(node_->WaitForLog("FileHandlingThread started"));
    const std::string log = node_->DebugLog();
    for (const char* word : {"CAOPPO", "CAPOIN", "CAOPTS", "CAOPIN", "CAOPOU", "CADISC", "CAINRI",
                             "CAACCE", "CARELE", "XCGETC", "CACLTS", "ACOPEN", "ACCLOS", "XCINRI",
                             "XCACCE", "CAOPIP", "SMVMPR", "SMVMPD", "IPSDTM", "SMREDI"}) {
        EXPECT_THAT(log, HasSubstr(std::string("SocketCmd") + word)) << word;
    }
    EXPECT_THAT(log, HasSubstr("IP board1 could not be opened because no aculab installed."));
    EXPECT_THAT(log, HasSubstr("Not yet implemented for ISDN."));
    EXPECT_THAT(log, HasSubstr("IP Channel3 could not be opened because no aculab installed."));
    EXPECT_THAT(log, HasSubstr("IP Channel3 could not be closed because no aculab installed."));
    EXPECT_THAT(log, HasSubstr("IP Channel5 could not be reserved because no aculab installed."));
    EXPECT_THAT(log, HasSubstr("IP Channel5 could not be destroyed because no aculab installed."));
    // CAPOIN, CAOPIN, CAOPOU, CADISC, CAINRI, CAACCE, CARELE, XCGETC, ACOPEN, ACCLOS, XCINRI,
    // XCACCE, CAOPIP, IPSDTM and SMREDI.
    EXPECT_EQ(Occurrences(log, "No aculab installed."), 15u);
    // CNSTRT started neither Aculab worker.
    EXPECT_THAT(log, Not(HasSubstr("AculabThread started")));
    EXPECT_THAT(log, Not(HasSubstr("RelayDigitThread started")));

    // The Aculab libraries lie beside the others, but the node leaves them alone.
    EXPECT_TRUE(node_->HasMapped("libdxxmt.so"));
    for (const char* library :
         {"CL_Lib.so", "Res_Lib.so", "SW_Lib.so", "IpTel_Lib.so", "TiNG.so"}) {
        EXPECT_FALSE(node_->HasMapped(library)) << library;
    }
    std::vector<std::string> aculabCalls;
    for (const std::string& line : Journal()) {
        for (const char* library : {"CL_Lib ", "Res_Lib ", "SW_Lib ", "IpTel_Lib ", "TiNG "}) {
            if (line.starts_with(library)) {
                aculabCalls.push_back(line);
            }
        }
    }
    EXPECT_THAT(aculabCalls, IsEmpty());
}

}  // namespace
}  // namespace ruzd::app
