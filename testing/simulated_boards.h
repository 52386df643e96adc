#pragma once

// The simulated boards as the node meets them: the vendor libraries load from the build's vendor
// folder by their vendor names. Each test gets its own control socket, journal and (when it
// writes one) board configuration; they are read when the first table loads the core library,
// and the machine goes when the last table is destroyed. The control socket plays the world
// outside the boards, as the far end of calls.

#include <gtest/gtest.h>

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

#include "boardsim/control/control_client.h"
#include "testing/scoped_environment.h"
#include "testing/temp_root.h"

namespace ruzd::testing {

class SimulatedBoards {
public:
    SimulatedBoards();

    // The build's vendor folder: the simulated boards' libraries under the vendors' file names.
    static std::filesystem::path VendorFolder();
    // Loads the vendor libraries from `folder` instead.
    void UseVendorFolder(const std::filesystem::path& folder);

    // The board configuration that the next load of the core reads.
    void WriteConfig(const std::string& text);

    // One command line to the control socket and its answer.
    std::string Control(const std::string& command) { return control_.Send(command); }

    // The journal lists every vendor call made, one a line: "<sequence> <library> <call>".
    std::filesystem::path JournalPath() const { return folder_.path() / "journal"; }
    // The journal's lines without their sequence numbers.
    std::vector<std::string> Journal() const;
    // How many calls of `function` the journal shows so far.
    size_t CountCalls(const std::string& function) const;
    // The ISDN call-control calls that commands made, without sequence numbers and library;
    // `from` skips those listed before. The queries with which the node describes each event
    // are left out.
    std::vector<std::string> CallControlJournal(size_t from = 0) const;
    // The same of Global Call (libgc): what commands asked of it.
    std::vector<std::string> GlobalCallJournal(size_t from = 0) const;

    // Whether the core library is loaded in the process: the machine lives.
    static bool CoreLoaded();

private:
    std::vector<std::string> LibraryJournal(const std::string& library, const std::string& prefix,
                                            const std::vector<std::string>& queries,
                                            size_t from) const;

    TempDir folder_;
    ScopedEnvironment boards_environment_;
    boardsim::ControlClient control_;
};

// A test over the simulated boards; `Base` is the fixture it extends.
template <typename Base = ::testing::Test>
class OnSimulatedBoards : public Base, protected SimulatedBoards {};

using BoardsimTest = OnSimulatedBoards<>;

}  // namespace ruzd::testing
