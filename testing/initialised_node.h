#pragma once

// The node program on the simulated boards with a central server of the test's own that has
// made its connection the active one: the start-up delay waited out, the file connection
// authorised, CNINIT answered (the node's clock set from a time server of the test's own), the
// workers started with CNSTRT and the first keep-alive answered.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "testing/command_peer.h"
#include "testing/file_peer.h"
#include "testing/node_program.h"
#include "testing/simulated_boards.h"
#include "testing/sntp_test_server.h"

namespace ruzd::testing {

class InitialisedNodeTest : public OnSimulatedBoards<NodeProgramTest> {
protected:
    // The boards the node will find; call before the node starts.
    void UseBoards(const std::string& boards);

    // Starts the node with `arguments` and initialises it, the command ids counting from
    // `first_id`. A node started before is replaced.
    void StartAndInitialise(std::vector<std::string> arguments = {"-debug", "-d"},
                            int32_t first_id = 2);
    // The same for the node started already: node_, or a node that is no child of the test
    // (a service) when node_ is none.
    void Initialise(int32_t first_id = 2);

    // Every command sent before it has run once this keep-alive is answered.
    void Settle(int32_t id = 99);

    // The handle of an open simulated device, -1 when none.
    int32_t HandleOf(const std::string& device);

    // What the node said on its error output; nothing for a node that is no child of the test.
    std::string NodeErrors() const;

    SntpTestServer time_server_;
    const uint32_t file_port_ = WriteFilePort();
    std::unique_ptr<NodeProcess> node_;
    std::unique_ptr<CommandPeer> peer_;
    std::unique_ptr<FilePeer> files_;
    // The node's answer to CNINIT (message 31).
    std::optional<Payload> init_answer_;
    // Run by Initialise once the node takes commands, before the file connection is authorised:
    // connections of the test's own that the node must have taken before the central server's.
    std::function<void()> on_commands_accepted_;
};

}  // namespace ruzd::testing
