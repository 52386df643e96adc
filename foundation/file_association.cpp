#include "foundation/file_association.h"

#include <cstdlib>
#include <system_error>

#include "foundation/program_runner.h"
#include "platform/text.h"

namespace ruzd::foundation {
namespace {

// xdg-mime is a script that may ask a helper program; a hung one must not hold the caller.
constexpr uint32_t kQueryTimeoutMs = 30000;

// The first line xdg-mime prints when it succeeds; empty otherwise.
std::string AskXdgMime(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), "xdg-mime");
    std::string output;
    if (ProgramRunner::RunArguments(std::move(arguments), std::string(), output, kQueryTimeoutMs) !=
        0) {
        return {};
    }
    return std::string(
        platform::Trim(std::string_view(output).substr(0, output.find_first_of("\r\n"))));
}

std::string Variable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

std::vector<std::filesystem::path> ApplicationFolders() {
    std::vector<std::filesystem::path> folders;
    std::string home_data = Variable("XDG_DATA_HOME");
    if (home_data.empty() && !Variable("HOME").empty()) {
        home_data = Variable("HOME") + "/.local/share";
    }
    if (!home_data.empty()) {
        folders.push_back(std::filesystem::path(home_data) / "applications");
    }
    std::string data_dirs = Variable("XDG_DATA_DIRS");
    if (data_dirs.empty()) {
        data_dirs = "/usr/local/share:/usr/share";
    }
    size_t start = 0;
    while (start <= data_dirs.size()) {
        size_t end = data_dirs.find(':', start);
        if (end == std::string::npos) {
            end = data_dirs.size();
        }
        if (end > start) {
            folders.push_back(std::filesystem::path(data_dirs.substr(start, end - start)) /
                              "applications");
        }
        start = end + 1;
    }
    return folders;
}

bool IsFile(const std::filesystem::path& path) {
    std::error_code error;
    return std::filesystem::is_regular_file(path, error);
}

// "kde-org.foo.desktop" may lie at "kde/org.foo.desktop": each '-' may be a folder's end.
std::optional<std::filesystem::path> FindInFolder(const std::filesystem::path& folder,
                                                  std::string_view id) {
    if (IsFile(folder / id)) {
        return folder / id;
    }
    for (size_t dash = id.find('-'); dash != std::string_view::npos;
         dash = id.find('-', dash + 1)) {
        if (auto found = FindInFolder(folder / id.substr(0, dash), id.substr(dash + 1))) {
            return found;
        }
    }
    return std::nullopt;
}

}  // namespace

std::string QueryFileType(const std::string& host_path) {
    return AskXdgMime({"query", "filetype", host_path});
}

std::string QueryDefaultApplication(const std::string& mime_type) {
    return AskXdgMime({"query", "default", mime_type});
}

std::optional<std::filesystem::path> FindDesktopFile(std::string_view desktop_id) {
    // An id is a file name; one that climbs or names a folder is nobody's.
    if (desktop_id.empty() || desktop_id.find('/') != std::string_view::npos ||
        desktop_id.starts_with(".")) {
        return std::nullopt;
    }
    for (const std::filesystem::path& folder : ApplicationFolders()) {
        if (auto found = FindInFolder(folder, desktop_id)) {
            return found;
        }
    }
    return std::nullopt;
}

std::optional<DesktopEntry> DefaultDesktopEntry(const std::string& mime_type) {
    // The default may name several desktop files; the first that exists counts.
    const std::string defaults = QueryDefaultApplication(mime_type);
    size_t start = 0;
    while (start < defaults.size()) {
        size_t end = defaults.find(';', start);
        if (end == std::string::npos) {
            end = defaults.size();
        }
        const std::optional<std::filesystem::path> file =
            FindDesktopFile(std::string_view(defaults).substr(start, end - start));
        start = end + 1;
        if (!file) {
            continue;
        }
        if (std::optional<DesktopEntry> entry = DesktopEntry::Load(*file)) {
            return entry;
        }
    }
    return std::nullopt;
}

std::optional<std::vector<std::string>> EntryCommand(const DesktopEntry& entry,
                                                     const std::string& host_path,
                                                     bool edit_verb_only) {
    std::optional<std::string> exec = edit_verb_only ? std::nullopt : entry.Exec("");
    if (!exec) {
        exec = entry.Exec("edit");
    }
    if (!exec) {
        return std::nullopt;
    }
    std::vector<std::string> command = ExpandExecLine(*exec, host_path);
    if (command.empty()) {
        return std::nullopt;
    }
    return command;
}

std::optional<std::vector<std::string>> AssociatedCommand(const std::string& file,
                                                          bool edit_verb_only) {
    // xdg-mime and the registered programs take options, and neither xdg-mime nor every program
    // knows "--": the file goes to them absolute, so that no name reads as an option.
    std::error_code error;
    const std::string host_path = std::filesystem::absolute(file, error).string();
    if (error || host_path.empty()) {
        return std::nullopt;
    }
    const std::string mime_type = QueryFileType(host_path);
    if (mime_type.empty()) {
        return std::nullopt;
    }
    const std::optional<DesktopEntry> entry = DefaultDesktopEntry(mime_type);
    if (!entry) {
        return std::nullopt;
    }
    return EntryCommand(*entry, host_path, edit_verb_only);
}

}  // namespace ruzd::foundation
