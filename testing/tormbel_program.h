#pragma once

// The watchdog program in a test: started as a child process in a platform root and working
// folder of the test's own. Its message boxes go to its error output, kept in the working folder.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/child_process.h"
#include "platform/window_message.h"

namespace ruzd::testing {

class TormbelProcess {
public:
    // `environment` holds "NAME=value" entries beside RUZD_ROOT; a `read_only_folder` is one the
    // program sees read-only (see ProgramStart); `max_open_files`, when not 0, is the program's
    // descriptor limit; a `launcher` (a program's full path and its arguments: strace, setpriv)
    // runs the watchdog, whose pid() is then the launcher's; `output_folder`, when given, keeps
    // the error output in place of the working folder (one on a disk the test fills up).
    TormbelProcess(const std::filesystem::path& root, const std::filesystem::path& workdir,
                   std::vector<std::string> arguments, std::vector<std::string> environment = {},
                   const std::filesystem::path& read_only_folder = {}, size_t max_open_files = 0,
                   std::vector<std::string> launcher = {},
                   const std::filesystem::path& output_folder = {});
    // Kills a program that is still running.
    ~TormbelProcess();
    TormbelProcess(const TormbelProcess&) = delete;
    TormbelProcess& operator=(const TormbelProcess&) = delete;

    pid_t pid() const;
    void Signal(int number);
    void Kill();
    // The exit code, once the program ended within the patience of a test.
    std::optional<int> WaitForExit();
    std::string Stderr() const;

    const std::filesystem::path& workdir() const { return workdir_; }
    // "Tormbel.log" in the working folder; empty while there is none.
    std::string Log() const;
    bool HasLog() const;
    // Waits until the log holds `text` (`count` times); false when time ran out.
    bool WaitForLog(const std::string& text, size_t count = 1) const;

private:
    std::filesystem::path workdir_;
    std::filesystem::path stderr_path_;
    std::unique_ptr<platform::ChildProcess> child_;
};

// The seconds the watchdog's window shows in its title ("Tormbel : 42s"); none when it cannot
// be read.
std::optional<int> CountdownOf(const platform::WindowHandle& window);

// Waits until the countdown that the watchdog's window shows in its title ("Tormbel : 42s") has
// gone back up `count` times, as each heartbeat sets it back; false when time ran out.
bool WaitForCountdownResets(const platform::WindowHandle& window, int count);

// The event ids in the Application log of the test's root, in their order.
std::vector<uint32_t> StoredEventIds();

// How often `text` occurs in `all`.
size_t CountOf(const std::string& all, const std::string& text);

}  // namespace ruzd::testing
