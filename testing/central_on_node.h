#pragma once

// The node program on the simulated boards with a central server of the test's own as its
// active connection: started, past its start-up delay, its file connection authorised,
// initialised (its clock set from a time server of the test's own) and its workers running.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/sntp_client.h"
#include "testing/command_peer.h"
#include "testing/file_peer.h"
#include "testing/node_program.h"
#include "testing/simulated_boards.h"
#include "testing/sntp_test_server.h"

namespace ruzd::testing {

class CentralOnNodeTest : public OnSimulatedBoards<NodeProgramTest> {
protected:
    static constexpr int32_t kCNPING = 12;
    static constexpr int32_t kCNSTRT = 15;

    CentralOnNodeTest() {
        environment_.Set(platform::kSntpPortVariable, std::to_string(time_server_.port()));
    }

    // Call with ASSERT_NO_FATAL_FAILURE. The command ids 1 to 3 are used.
    void StartAndInitialise(std::vector<std::string> arguments = {"-debug", "-d"}) {
        node_ = StartNode(std::move(arguments));
        peer_ = std::make_unique<CommandPeer>(command_port_);
        ASSERT_TRUE(peer_->IsConnected()) << node_->Stderr();
        ASSERT_TRUE(peer_->AwaitCommandsAccepted([this] { return node_->HasEnded(); }))
            << node_->Stderr();
        files_ = FilePeer::Authorised(file_port_);
        ASSERT_TRUE(files_);
        peer_->SendInit(1);
        ASSERT_TRUE(peer_->ReceiveCode(31).has_value()) << node_->Stderr();
        peer_->SendInts(kCNSTRT, 2, {});
        peer_->SendInts(kCNPING, 3, {78});
        ASSERT_TRUE(peer_->ReceiveCode(1).has_value());
    }

    // A keep-alive answered: every command sent before it has run.
    void Settle(int32_t id = 99) {
        peer_->SendInts(kCNPING, id, {id});
        ASSERT_TRUE(peer_->ReceiveCode(1).has_value()) << node_->Stderr();
    }

    const uint32_t file_port_ = WriteFilePort();
    SntpTestServer time_server_;
    std::unique_ptr<NodeProcess> node_;
    std::unique_ptr<CommandPeer> peer_;
    std::unique_ptr<FilePeer> files_;
};

}  // namespace ruzd::testing
