#pragma once

// The node program on the simulated boards in a platform root of its own, with a central
// server's connections to it, for programs that are no gtest test (the benchmarks): failures are
// told on the error output and answered with false instead of failing a test.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "testing/command_peer.h"
#include "testing/file_peer.h"
#include "testing/node_program.h"
#include "testing/scoped_environment.h"
#include "testing/simulated_boards.h"
#include "testing/sntp_test_server.h"
#include "testing/temp_root.h"

namespace ruzd::testing {

class NodeOnBoards {
public:
    // How the node is started beside its boards and arguments.
    struct Setup {
        // Runs with the node's platform root (registry values, a watchdog beside the node)
        // before the node starts.
        std::function<void(const std::filesystem::path& root)> prepare{};
        // The node's descriptor limit; the starting process's own when 0.
        size_t max_open_files = 0;
    };

    // Starts the node on `boards` (a board configuration) headless with `arguments`, without
    // the boards' journal (a real library keeps none), and connects a central server's command
    // connection once the node accepts commands (ready()).
    NodeOnBoards(const std::string& boards, std::vector<std::string> arguments, Setup setup);
    NodeOnBoards(const std::string& boards, std::vector<std::string> arguments)
        : NodeOnBoards(boards, std::move(arguments), Setup{}) {}

    bool ready() const { return ready_; }
    unsigned command_port() const { return command_port_; }
    unsigned file_port() const { return file_port_; }
    const std::filesystem::path& root() const { return root_.path(); }
    // The node's working folder (its "debug" folder and file cache are inside).
    std::filesystem::path folder() const { return work_.path() / "node"; }
    NodeProcess& process() { return *node_; }
    CommandPeer& peer() { return *peer_; }
    // The authorised file connection, once StartSession made it.
    FilePeer& files() { return *files_; }
    std::string Control(const std::string& command) { return boards_.Control(command); }

    // The active connection's session as a central server starts it: the file connection
    // authorised (once), CNINIT answered, the workers started and a keep-alive answered.
    bool StartSession() { return Init() && StartWorkers(); }
    // The file connection authorised (once), then CNINIT answered.
    bool Init();
    // CNSTRT, and a keep-alive answered after it.
    bool StartWorkers();
    // A keep-alive, answered once everything sent before it has run.
    bool Ping();
    // The active connection closed and a new one made; the new one is not yet the active one.
    void Reconnect();

    int32_t NextId() { return next_id_++; }

private:
    TempRoot root_;
    TempDir work_;
    SimulatedBoards boards_;
    ScopedEnvironment environment_;
    SntpTestServer time_server_;
    const uint32_t command_port_ = WriteCommandPort();
    const uint32_t file_port_ = WriteFilePort();
    const uint32_t gui_port_ = WriteGuiPort();
    std::unique_ptr<NodeProcess> node_;
    std::unique_ptr<CommandPeer> peer_;
    std::unique_ptr<FilePeer> files_;
    bool ready_ = false;
    int32_t next_id_ = 1;
};

}  // namespace ruzd::testing
