#pragma once

// The manager in the test process on the simulated boards, with a central server of the test's
// own that has made its connection the active one (file connection authorised, CNINIT
// answered), so that every command family is accepted. The simulator's control socket plays
// the far end of calls; its journal lists every vendor call the node made.

#include <gtest/gtest.h>

#include <chrono>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "foundation/debug_log.h"
#include "platform/sntp_client.h"
#include "testing/command_peer.h"
#include "testing/debug_files.h"
#include "testing/file_peer.h"
#include "testing/manager_on_boards.h"
#include "testing/sntp_test_server.h"

namespace ruzd::node::testing {

using ruzd::testing::LeadingInts;
using ruzd::testing::MessagePayload;
using ruzd::testing::Payload;
using ruzd::testing::PortStatus;

class IsdnNodeTest : public ruzd::testing::ManagerOnBoardsTest {
protected:
    // Network boards enough for line devices 1 to 60, and no IP boards, so that Global Call
    // stays stopped and every call runs on the ISDN functions.
    static constexpr const char* kBoards = "network 2 30\nip 0 0\n";

    // The simulated boards' configuration; a family of tests that needs other boards says so.
    virtual std::string Boards() const { return kBoards; }
    // The manager's settings; a family of tests that needs others says so.
    virtual ManagerSettings Settings() const { return {}; }

    void SetUp() override {
        WriteConfig(Boards());
        // CNINIT sets the clock from the central host's time server: one of the test's own.
        environment_.Set(platform::kSntpPortVariable, std::to_string(time_server_.port()));
        StartDebugLog();
        // Every line is in its file once written, for the test to read at any time.
        foundation::StopDebugMessageThread();
        Start(Settings());
        ActivateConnection();
    }

    void TearDown() override {
        peer_.reset();
        file_peer_.reset();
    }

    // The file connection authorised, then CNINIT on the command connection, answered with
    // message 31.
    void ActivateConnection() {
        file_peer_ = ruzd::testing::FilePeer::Authorised(file_port_);
        ASSERT_TRUE(file_peer_);
        peer_ = std::make_unique<ruzd::testing::CommandPeer>(command_port_);
        ASSERT_TRUE(peer_->IsConnected());
        peer_->SendInit(1);
        ASSERT_TRUE(peer_->ReceiveCode(31).has_value());
        ASSERT_TRUE(manager_->IsConnectedSocket(nullptr));
        // The first keep-alive of the connection also tells that the client socket is ready.
        peer_->SendInts(12, 2, {0});
        ASSERT_TRUE(peer_->ReceiveCode(1).has_value());
        ASSERT_TRUE(peer_->ReceiveCode(2).has_value());
    }

    // Waits until every command sent so far has run: a keep-alive's echo comes after them.
    void Sync() {
        static int32_t serial = 1000;
        const int32_t value = ++serial;
        peer_->SendInts(12, value, {value});
        for (;;) {
            const std::optional<Payload> payload = peer_->Receive();
            ASSERT_TRUE(payload.has_value()) << "no echo of the keep-alive";
            if (*payload == MessagePayload(1, [value](auto& w) { w.WriteInt(value); })) {
                return;
            }
            early_.push_back(*payload);
        }
    }

    // The replies that came before the last keep-alive's echo, and then those that come
    // within `patience`.
    std::vector<Payload> Replies(
        std::chrono::milliseconds patience = std::chrono::milliseconds(0)) {
        std::vector<Payload> replies = std::exchange(early_, {});
        while (std::optional<Payload> payload = peer_->Receive(patience)) {
            replies.push_back(*payload);
        }
        return replies;
    }

    // The next message of `code`, whether it came before the last keep-alive's echo or comes
    // later; messages of other codes that come meanwhile are dropped.
    std::optional<Payload> NextMessage(int32_t code) {
        for (auto it = early_.begin(); it != early_.end(); ++it) {
            if (LeadingInts(*it, 1) == std::vector<int32_t>{code}) {
                Payload payload = std::move(*it);
                early_.erase(it);
                return payload;
            }
        }
        return peer_->ReceiveCode(code, std::chrono::seconds(20));
    }

    // The log is written by a thread of its own: it is made to write what it holds first.
    std::vector<std::string> DebugLines() const {
        foundation::StopDebugMessageThread();
        foundation::StartDebugMessageThread();
        return LogLines();
    }

    // How the journal shows a pointer.
    static std::string Address(const void* pointer) {
        char text[32];
        std::snprintf(text, sizeof text, "0x%" PRIxPTR, reinterpret_cast<uintptr_t>(pointer));
        return text;
    }

    // What the manager reported about its ports.
    ruzd::testing::ManagerReports& statuses_ = callback_;
    ruzd::testing::SntpTestServer time_server_;
    std::unique_ptr<ruzd::testing::FilePeer> file_peer_;
    std::unique_ptr<ruzd::testing::CommandPeer> peer_;

private:
    std::vector<Payload> early_;
};

}  // namespace ruzd::node::testing
