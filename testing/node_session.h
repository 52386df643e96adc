#pragma once

// The node program on the simulated boards with a central server of the test's own: the node
// past its start-up delay, its file connection authorised, initialised for this central server
// (CNINIT, whose clock step asks a time server of the test's own) and its workers started
// (CNSTRT), so that every event reaches the central server. The simulator's control socket
// plays the world outside the boards.

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "testing/command_peer.h"
#include "testing/file_peer.h"
#include "testing/node_ports.h"
#include "testing/node_program.h"
#include "testing/simulated_boards.h"
#include "testing/sntp_test_server.h"

namespace ruzd::testing {

class NodeSessionTest : public OnSimulatedBoards<NodeProgramTest> {
protected:
    // Writes the boards' configuration, which a family of tests names.
    explicit NodeSessionTest(const std::string& boards);

    // Starts the node and runs the session up to the workers; the answer to CNINIT (message
    // 31), none when it failed (the test has failed then).
    std::optional<Payload> StartAndInitialise();

    // The handle of an open simulated device, -1 when none.
    int32_t HandleOf(const std::string& device);

    const uint32_t file_port_ = WriteFilePort();
    SntpTestServer time_server_;
    std::unique_ptr<NodeProcess> node_;
    std::unique_ptr<CommandPeer> peer_;
    std::unique_ptr<FilePeer> files_;
};

}  // namespace ruzd::testing
