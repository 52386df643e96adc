#include "app/view/open_as_text.h"

#include <filesystem>
#include <optional>
#include <system_error>
#include <vector>

#include "foundation/desktop_entry.h"
#include "foundation/file_association.h"
#include "foundation/program_launch.h"
#include "platform/win_error.h"

namespace ruzd::app {

namespace {

// Debian's name for the terminal the user chose; it runs the command that follows "-e".
constexpr const char* kTerminal = "x-terminal-emulator";

std::string CannotOpen(const std::string& host_path, const std::string& reason) {
    return "The debug file \"" + host_path + "\" cannot be opened: " + reason + ".";
}

// The entry's command for the file, in a terminal when the entry says it needs one.
std::vector<std::string> CommandOf(const foundation::DesktopEntry& entry,
                                   const std::string& host_path) {
    std::vector<std::string> command =
        foundation::EntryCommand(entry, host_path, false).value_or(std::vector<std::string>{});
    if (!command.empty() && entry.Value("Desktop Entry", "Terminal") == "true") {
        command.insert(command.begin(), {kTerminal, "-e"});
    }
    return command;
}

}  // namespace

std::string OpenAsText(const std::string& file) {
    if (file.empty()) {
        return "There is no debug file to open: the debug log has not written one yet.";
    }
    // Programs take options, and not every one knows "--": the file goes to them absolute, so
    // that no name reads as an option.
    std::error_code error;
    const std::string host_path = std::filesystem::absolute(file, error).string();
    if (error || !std::filesystem::is_regular_file(host_path, error)) {
        return CannotOpen(host_path, "there is no such file");
    }
    const std::optional<foundation::DesktopEntry> entry =
        foundation::DefaultDesktopEntry(kTextMimeType);
    const std::vector<std::string> command =
        entry ? CommandOf(*entry, host_path) : std::vector<std::string>{};
    if (command.empty()) {
        return CannotOpen(host_path, std::string("the desktop names no program for text files (") +
                                         kTextMimeType + ")");
    }
    const std::string folder = std::filesystem::path(host_path).parent_path().string();
    if (!foundation::StartUserProgram(command, folder)) {
        return CannotOpen(host_path, "\"" + command.front() + "\" did not start (" +
                                         platform::WinErrorText(platform::GetLastError()) + ")");
    }
    return {};
}

}  // namespace ruzd::app
