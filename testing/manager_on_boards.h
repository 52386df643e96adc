#pragma once

// A node's manager in the test process over the simulated boards: a platform root of its own
// with free command and file ports in its registry, the boards' control socket and journal, a
// clock whose wall time the test moves past the start-up delay, a receiver of everything the
// manager reports, and a debug log to read back.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "node/vesmarin_manager.h"
#include "platform/clock.h"
#include "platform/event.h"
#include "testing/command_peer.h"
#include "testing/eventually.h"
#include "testing/file_peer.h"
#include "testing/node_ports.h"
#include "testing/scoped_environment.h"
#include "testing/simulated_boards.h"
#include "testing/sntp_test_server.h"
#include "testing/stepped_wall_clock.h"
#include "testing/temp_root.h"

namespace ruzd::testing {

// A port status the manager reported.
struct PortStatus {
    int32_t type;
    int32_t ldev;
    std::string text;
    bool operator==(const PortStatus&) const = default;
};

// Records everything the manager reports.
class ManagerReports : public node::CVesmarinManagerCallback {
public:
    using State = std::pair<int32_t, int32_t>;  // connected, starting

    void OnVesmarinManagerStop() override;
    void OnVesmarinStatus(int32_t type, int32_t ldev, const std::string& text, int32_t) override;
    void OnVesmarinConnectionState(int32_t connected, int32_t starting) override;
    void OnVesmarinStatusText(const std::string& text) override;
    void OnVesmarinClearView() override {}

    int stops() const;
    std::vector<State> states() const;
    std::vector<PortStatus> statuses() const;
    // The port statuses not taken before.
    std::vector<PortStatus> Take();
    // The port statuses as "<type>/<ldev> <text>".
    std::vector<std::string> StatusLines() const;
    // The status-bar texts not taken before, and the last of them.
    std::vector<std::string> TakeTexts();
    std::optional<std::string> LastText() const;

private:
    mutable std::mutex mutex_;
    int stops_ = 0;
    std::vector<State> states_;
    std::vector<PortStatus> statuses_;
    std::vector<std::string> texts_;
};

// The fixture of the node's tests in the test process. A test that needs managers of its own
// (several, or one it destroys itself) builds them; Start() makes the fixture's.
class ManagerOnBoardsTest : public ::testing::Test, protected SimulatedBoards {
protected:
    ManagerOnBoardsTest() = default;
    ~ManagerOnBoardsTest() override;

    // Starts the debug log in the root's C:\Ruzd\Debug, as "Tav" files.
    void StartDebugLog();

    // Starts the manager (the vendor libraries load here) and lets the start-up delay pass.
    // The manager reports to `callback`, or to the fixture's recorder.
    node::CVesmarinManager& Start(node::ManagerSettings settings = {},
                                  node::CVesmarinManagerCallback* callback = nullptr);
    // Stops the workers, which hold shares of the manager, and waits until the last share is
    // gone, whichever thread let it go.
    void Release();

    // A central server connected to the command port, past the start-up delay: its keep-alive
    // has been answered, so the listener sends it every event.
    std::unique_ptr<CommandPeer> Connect();
    // The same for the central server's connection: its file connection authorised (kept in
    // central_files_), it sent CNINIT first, which the manager took (its clock asked of a time
    // server of the test's own), so that it is the active connection and its commands count as
    // the central server's.
    std::unique_ptr<CommandPeer> ConnectCentral();

    std::filesystem::path DebugFolder() const;
    // The debug log's lines so far.
    std::vector<std::string> LogLines() const;
    // How many lines of the log end with `text`, once at least `awaited` do (the log is written
    // by a thread of its own) or the patience ran out.
    size_t CountLogLines(const std::string& text, size_t awaited = 0) const;
    // Whether a line of the log holds `text`, waiting for it at most the patience.
    bool Logged(const std::string& text) const;
    // The log's lines once one of them ends with `text`; a failure when none does in time.
    std::vector<std::string> LinesOnceLogged(const std::string& text) const;

    TempRoot root_;
    SteppedWallClock clock_{platform::WallTime{} + std::chrono::hours(24 * 365 * 50)};
    platform::ScopedClockOverride clock_override_{clock_};
    ManagerReports callback_;
    ScopedEnvironment environment_;
    const uint32_t command_port_ = WriteCommandPort();
    const uint32_t file_port_ = WriteFilePort();
    std::shared_ptr<node::CVesmarinManager> manager_;
    // The file connection of the last ConnectCentral, and the time server its CNINIT asks.
    std::unique_ptr<FilePeer> central_files_;
    std::unique_ptr<SntpTestServer> central_time_;
    platform::Event destroyed_{true};
    std::atomic<uint32_t> destroyed_on_{0};  // the thread that let the last share go

private:
    bool log_started_ = false;
};

}  // namespace ruzd::testing
