#pragma once

// The manager in the test process with its Aculab path switched on, on the simulated Aculab
// cards: a card of other net ports (whose module serves no IP channel), a card of IP net ports
// with two Prosody modules whose IP telephony is configured as the node does not want it, and
// one with a single module. Message boxes are kept rather than shown.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "foundation/threaded_message_box.h"
#include "node/tests/isdn_node_fixture.h"
#include "platform/message_box.h"
#include "telephony/vendorapi/aculab.h"

namespace ruzd::node {

using testing::Payload;

constexpr int32_t kCAOPPO = 101;
constexpr int32_t kCAPOIN = 102;
constexpr int32_t kCAOPTS = 103;
constexpr int32_t kCAOPIN = 104;
constexpr int32_t kCAOPOU = 105;
constexpr int32_t kCADISC = 106;
constexpr int32_t kCAINRI = 107;
constexpr int32_t kCAACCE = 108;
constexpr int32_t kCARELE = 109;
constexpr int32_t kXCGETC = 110;
constexpr int32_t kCACLTS = 111;
constexpr int32_t kACOPEN = 112;
constexpr int32_t kACCLOS = 113;
constexpr int32_t kXCINRI = 114;
constexpr int32_t kXCACCE = 115;
constexpr int32_t kCAOPIP = 118;
constexpr int32_t kSMVMPR = 119;
constexpr int32_t kSMVMPD = 120;
constexpr int32_t kIPSDTM = 121;
constexpr int32_t kSMREDI = 122;
constexpr int32_t kCFAUTO = 158;
constexpr int32_t kIp = 1;
// The simulator's ids: cards from 0x4000 in their order, modules by card and index, ports from
// 0x100 and calls from 0x1000 in the order opened.
constexpr int32_t kIpCard = 16385;
constexpr int32_t kSecondIpCard = 16386;
constexpr int32_t kFirstModule = 201;
constexpr int32_t kSecondModule = 202;
constexpr int32_t kFirstPort = 256;
constexpr int32_t kFirstCall = 4096;

class AculabNodeTest : public testing::IsdnNodeTest {
protected:
    std::string Boards() const override {
        return "network 1 30\nip 0 0\n"
               "aculab SER-DTI 7 ports=2 porttype=4 modules=1\n"
               "aculab SER-IP1 0xF ports=2 porttype=36 modules=2 tdm=1 faststart=0\n"
               "aculab SER-IP2 0xF ports=1 porttype=36 modules=1\n";
    }

    ManagerSettings Settings() const override {
        ManagerSettings settings;
        settings.aculabPath = telephony::CHardware::AculabPath::kSwitchedOnForTests;
        return settings;
    }

    void SetUp() override {
        platform::SetMessageBoxPresenter(
            [this](const std::string& text, const std::string& caption, uint32_t style) {
                std::lock_guard hold(boxes_lock_);
                boxes_.push_back(caption + ": " + text + " " + std::to_string(style));
                return platform::kIdOk;
            });
        IsdnNodeTest::SetUp();
    }

    void TearDown() override {
        IsdnNodeTest::TearDown();
        // The boxes' worker must not show one more through this fixture's presenter.
        foundation::StopThreadedMessageBox();
        platform::SetMessageBoxPresenter({});
    }

    std::vector<std::string> Boxes() {
        std::lock_guard hold(boxes_lock_);
        return boxes_;
    }

    void Send(int32_t code, const std::vector<int32_t>& values) {
        peer_->SendInts(code, next_id_++, values);
    }

    // A command of a line device, an IP flag and a record's byte count and bytes.
    void SendRecord(int32_t code, int32_t ldev, int32_t count, const std::vector<uint8_t>& bytes) {
        peer_->Send(code, next_id_++, [&](net::COutputStreamSocket& w) {
            w.WriteInt(ldev).WriteInt(kIp).WriteInt(count);
            w.WriteBytes(bytes.data(), static_cast<int>(bytes.size()));
        });
    }

    // A record of `size` bytes holding a call handle at `offset`, the rest a pattern.
    static std::vector<uint8_t> RecordWithCall(size_t size, size_t offset, int32_t call) {
        std::vector<uint8_t> bytes(size, 0xA5);
        std::memcpy(bytes.data() + offset, &call, sizeof call);
        return bytes;
    }

    // The cards opened and IP boards 1 (the first card's first net port) and 5 (the second
    // card's) opened on them.
    void OpenBoards() {
        Send(kACOPEN, {});
        Send(kCAOPPO, {1, kIp});
        Send(kCAOPPO, {5, kIp});
        Sync();
    }

    void OpenChannel(int32_t ldev, int32_t board, int32_t slot) {
        Send(kCAOPTS, {ldev, board, slot, kIp});
        Sync();
    }

    int32_t HandleOf(int32_t ldev) {
        int32_t handle = -1;
        manager_->Devices().Ip().Get(ldev, &handle);
        return handle;
    }

    std::vector<int32_t> ReplyInts(int32_t code) {
        const std::optional<Payload> reply = NextMessage(code);
        return reply ? testing::LeadingInts(*reply) : std::vector<int32_t>{};
    }

    // The calls of the Aculab call-control and IP telephony libraries from `from` on, without
    // their arguments: "<function> = <result>".
    std::vector<std::string> CallControlCalls(size_t from) const {
        std::vector<std::string> calls;
        const std::vector<std::string> journal = Journal();
        for (size_t i = from; i < journal.size(); ++i) {
            for (const char* library : {"CL_Lib ", "IpTel_Lib "}) {
                if (journal[i].starts_with(library)) {
                    const std::string call = journal[i].substr(std::strlen(library));
                    calls.push_back(call.substr(0, call.find('(')) +
                                    call.substr(call.rfind(" = ")));
                }
            }
        }
        return calls;
    }

    std::string Prosody(int32_t module) {
        return Control("query prosody " + std::to_string(module));
    }

    static std::string Id(const void* pointer) { return Address(pointer); }

    int32_t next_id_ = 10;
    std::mutex boxes_lock_;
    std::vector<std::string> boxes_;
};

}  // namespace ruzd::node
