#pragma once

// The real node program in a test: started as a child process in a platform root and working
// folder of the test's own, on the simulated boards' vendor folder, with its command port (and,
// when the test writes one, its file port) chosen by the test.

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/child_process.h"
#include "testing/node_ports.h"
#include "testing/scoped_environment.h"
#include "testing/temp_root.h"

namespace ruzd::testing {

// The node program, started in `workdir` with the platform root `root`; its output and error
// output are kept in the working folder.
class NodeProcess {
public:
    // `environment` holds "NAME=value" entries beside RUZD_ROOT and RUZD_VENDOR_DIR; a
    // `read_only_folder` is one the program sees read-only (see ProgramStart);
    // `max_open_files`, when not 0, is the program's descriptor limit; `output_folder`, when
    // given, keeps both outputs in place of the working folder (one the test must not write to,
    // as "/"); `tracer`, when given, is strace and its options, which run the program (pid()
    // is then strace's).
    NodeProcess(const std::filesystem::path& root, const std::filesystem::path& workdir,
                std::vector<std::string> arguments, std::vector<std::string> environment = {},
                const std::filesystem::path& read_only_folder = {}, size_t max_open_files = 0,
                const std::filesystem::path& output_folder = {},
                std::vector<std::string> tracer = {});
    // Kills a program that is still running (and the program a tracer runs, which its end
    // would set free).
    ~NodeProcess();
    NodeProcess(const NodeProcess&) = delete;
    NodeProcess& operator=(const NodeProcess&) = delete;

    // Sends the signal to the node program (not to a tracer that runs it).
    void Signal(int number);
    // The exit code, once the program ended within the patience of a test.
    std::optional<int> WaitForExit();
    bool HasEnded() const;
    // The program's process id (a tracer's, when one runs it); -1 when it did not start.
    pid_t pid() const { return child_ ? child_->pid() : -1; }
    std::string Stdout() const;
    std::string Stderr() const;
    // Whether the running program has a file of that name (a library) mapped.
    bool HasMapped(const std::string& file_name) const;
    // The most memory the program held so far ("VmHWM"), in bytes; 0 when unknown.
    size_t PeakResidentBytes() const;

    // Everything the debug files in the working folder's "debug" folder hold.
    std::string DebugLog() const;
    // Waits until the debug files hold `text`; false when time ran out.
    bool WaitForLog(const std::string& text) const;

private:
    std::filesystem::path workdir_;
    std::filesystem::path stdout_path_;
    std::filesystem::path stderr_path_;
    std::unique_ptr<platform::ChildProcess> child_;  // none when the program did not start
    bool traced_ = false;
};

// A test of the node program: a platform root of its own with a free command port in its
// registry, and a folder whose subfolders the programs work in.
class NodeProgramTest : public ::testing::Test {
protected:
    std::unique_ptr<NodeProcess> StartNode(std::vector<std::string> arguments,
                                           const std::string& folder = "node");
    // Has the nodes StartNode starts from now on run under strace with `options` (its output
    // and the node's exit status messages go nowhere): a system call of the node fails on
    // purpose, as "-P <path> -e inject=openat:error=EACCES:when=1" makes it.
    void TraceNode(std::vector<std::string> options);

    std::vector<std::string> node_tracer_;
    TempRoot root_;
    TempDir work_;
    ScopedEnvironment environment_;
    const uint32_t command_port_ = WriteCommandPort();
    const uint32_t gui_port_ = WriteGuiPort();
};

}  // namespace ruzd::testing
