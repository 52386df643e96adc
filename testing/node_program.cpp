#include "testing/node_program.h"

#include <fstream>
#include <string>

#include "testing/child_program.h"
#include "testing/eventually.h"
#include "testing/process_counters.h"
#include "testing/simulated_boards.h"

namespace ruzd::testing {
NodeProcess::NodeProcess(const std::filesystem::path& root, const std::filesystem::path& workdir,
                         std::vector<std::string> arguments, std::vector<std::string> environment,
                         const std::filesystem::path& read_only_folder, size_t max_open_files,
                         const std::filesystem::path& output_folder,
                         std::vector<std::string> tracer)
    : workdir_(workdir),
      stdout_path_((output_folder.empty() ? workdir : output_folder) / "stdout.txt"),
      stderr_path_((output_folder.empty() ? workdir : output_folder) / "stderr.txt"),
      traced_(!tracer.empty()) {
    std::filesystem::create_directories(stderr_path_.parent_path());
    std::filesystem::create_directories(workdir);
    ProgramStart start;
    start.program = ProgramFolder() / "Pelwix";
    start.arguments = std::move(arguments);
    start.environment = std::move(environment);
    start.environment.push_back("RUZD_ROOT=" + root.string());
    start.environment.push_back("RUZD_VENDOR_DIR=" + SimulatedBoards::VendorFolder().string());
    start.folder = workdir;
    start.stdout_file = stdout_path_;
    start.stderr_file = stderr_path_;
    start.read_only_folder = read_only_folder;
    start.max_open_files = max_open_files;
    start.runner = std::move(tracer);
    const pid_t pid = StartProgram(start);
    EXPECT_GT(pid, 0) << "the node program did not start";
    if (pid > 0) {
        child_ = std::make_unique<platform::ChildProcess>(pid);
    }
}

NodeProcess::~NodeProcess() {
    if (!HasEnded()) {
        // A traced program outlives its tracer, stopped and set free.
        const std::string self = std::to_string(child_->pid());
        std::ifstream children("/proc/" + self + "/task/" + self + "/children");
        for (pid_t traced = 0; children >> traced;) {
            KillProgram(traced);
        }
        KillProgram(child_->pid());
        child_->ended().Wait(10000);
    }
}

bool NodeProcess::HasEnded() const {
    return child_ == nullptr || child_->HasEnded();
}

void NodeProcess::Signal(int number) {
    if (child_ == nullptr) {
        return;
    }
    if (traced_) {
        // The tracer's child is the program.
        const std::string self = std::to_string(child_->pid());
        std::ifstream children("/proc/" + self + "/task/" + self + "/children");
        pid_t traced = 0;
        if (children >> traced) {
            SendSignal(traced, number);
        }
        return;
    }
    SendSignal(child_->pid(), number);
}

std::optional<int> NodeProcess::WaitForExit() {
    if (child_ == nullptr || child_->ended().Wait(60000) != platform::kWaitObject0) {
        return std::nullopt;
    }
    return child_->ExitCode();
}

size_t NodeProcess::PeakResidentBytes() const {
    return child_ == nullptr ? 0 : MemoryBytes("VmHWM:", std::to_string(child_->pid()));
}

std::string NodeProcess::Stdout() const {
    return ReadWholeFile(stdout_path_);
}

std::string NodeProcess::Stderr() const {
    return ReadWholeFile(stderr_path_);
}

bool NodeProcess::HasMapped(const std::string& file_name) const {
    if (HasEnded()) {
        return false;
    }
    std::ifstream maps("/proc/" + std::to_string(child_->pid()) + "/maps");
    std::string line;
    while (std::getline(maps, line)) {
        const size_t path = line.find('/');
        if (path != std::string::npos &&
            std::filesystem::path(line.substr(path)).filename() == file_name) {
            return true;
        }
    }
    return false;
}

std::string NodeProcess::DebugLog() const {
    std::string all;
    const auto folder = workdir_ / "debug";
    if (!std::filesystem::is_directory(folder)) {
        return all;
    }
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().extension() == ".deb") {
            all += ReadWholeFile(entry.path());
        }
    }
    return all;
}

bool NodeProcess::WaitForLog(const std::string& text) const {
    return Eventually([&] { return DebugLog().find(text) != std::string::npos; });
}

std::unique_ptr<NodeProcess> NodeProgramTest::StartNode(std::vector<std::string> arguments,
                                                        const std::string& folder) {
    return std::make_unique<NodeProcess>(root_.path(), work_.path() / folder, std::move(arguments),
                                         std::vector<std::string>{}, std::filesystem::path{}, 0,
                                         std::filesystem::path{}, node_tracer_);
}

void NodeProgramTest::TraceNode(std::vector<std::string> options) {
    node_tracer_ = {"/usr/bin/strace", "-f", "-qq", "--seccomp-bpf", "-o", "/dev/null"};
    node_tracer_.insert(node_tracer_.end(), options.begin(), options.end());
    node_tracer_.push_back("--");
}

}  // namespace ruzd::testing
