#include "testing/tormbel_program.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "platform/event_log.h"
#include "testing/child_program.h"
#include "testing/eventually.h"
#include "testing/temp_root.h"

namespace ruzd::testing {
std::vector<uint32_t> StoredEventIds() {
    platform::EventLogReader reader;
    reader.Open();
    std::vector<uint32_t> ids;
    for (const platform::EventRecord& record : reader.records()) {
        ids.push_back(record.event_id);
    }
    return ids;
}

std::optional<int> CountdownOf(const platform::WindowHandle& window) {
    std::string title;
    int seconds = 0;
    if (platform::GetWindowText(window, title) &&
        std::sscanf(title.c_str(), "Tormbel : %ds", &seconds) == 1) {
        return seconds;
    }
    return std::nullopt;
}

bool WaitForCountdownResets(const platform::WindowHandle& window, int count) {
    int resets = 0;
    int last = -1;
    return Eventually([&] {
        if (const std::optional<int> seconds = CountdownOf(window)) {
            resets += last >= 0 && *seconds > last ? 1 : 0;
            last = *seconds;
        }
        return resets >= count;
    });
}

size_t CountOf(const std::string& all, const std::string& text) {
    size_t count = 0;
    for (size_t at = all.find(text); at != std::string::npos; at = all.find(text, at + 1)) {
        ++count;
    }
    return count;
}

TormbelProcess::TormbelProcess(const std::filesystem::path& root,
                               const std::filesystem::path& workdir,
                               std::vector<std::string> arguments,
                               std::vector<std::string> environment,
                               const std::filesystem::path& read_only_folder, size_t max_open_files,
                               std::vector<std::string> launcher,
                               const std::filesystem::path& output_folder)
    : workdir_(workdir),
      stderr_path_((output_folder.empty() ? workdir : output_folder) / "stderr.txt") {
    std::filesystem::create_directories(workdir);
    ProgramStart start;
    start.program = ProgramFolder() / "Tormbel";
    start.arguments = std::move(arguments);
    if (!launcher.empty()) {
        start.arguments.insert(start.arguments.begin(), start.program.string());
        start.arguments.insert(start.arguments.begin(), launcher.begin() + 1, launcher.end());
        start.program = launcher.front();
    }
    start.environment = std::move(environment);
    start.environment.push_back("RUZD_ROOT=" + root.string());
    start.folder = workdir;
    start.stderr_file = stderr_path_;
    start.read_only_folder = read_only_folder;
    start.max_open_files = max_open_files;
    const pid_t pid = StartProgram(start);
    EXPECT_GT(pid, 0) << "the watchdog program did not start";
    if (pid > 0) {
        child_ = std::make_unique<platform::ChildProcess>(pid);
    }
}

TormbelProcess::~TormbelProcess() {
    if (child_ != nullptr && !child_->HasEnded()) {
        KillProgram(child_->pid());
        child_->ended().Wait(10000);
    }
}

pid_t TormbelProcess::pid() const {
    return child_ != nullptr ? child_->pid() : -1;
}

void TormbelProcess::Signal(int number) {
    if (child_ != nullptr && !child_->HasEnded()) {
        SendSignal(child_->pid(), number);
    }
}

void TormbelProcess::Kill() {
    if (child_ != nullptr && !child_->HasEnded()) {
        KillProgram(child_->pid());
        child_->ended().Wait(10000);
    }
}

std::optional<int> TormbelProcess::WaitForExit() {
    if (child_ == nullptr || child_->ended().Wait(60000) != platform::kWaitObject0) {
        return std::nullopt;
    }
    return child_->ExitCode();
}

std::string TormbelProcess::Stderr() const {
    return ReadWholeFile(stderr_path_);
}

bool TormbelProcess::HasLog() const {
    return std::filesystem::exists(workdir_ / "Tormbel.log");
}

std::string TormbelProcess::Log() const {
    return ReadWholeFile(workdir_ / "Tormbel.log");
}

bool TormbelProcess::WaitForLog(const std::string& text, size_t count) const {
    return Eventually([&] { return CountOf(Log(), text) >= count; });
}

}  // namespace ruzd::testing
