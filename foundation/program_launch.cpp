#include "foundation/program_launch.h"

#include <algorithm>
#include <string_view>

#include "foundation/stand_in_programs.h"
#include "platform/command_line.h"
#include "platform/win_error.h"
#include "platform/win_path.h"

namespace ruzd::foundation {
namespace {

constexpr const char* kExplorerTemplate = "Explorer /e,/select,%s";
constexpr std::string_view kPlaceholder = "%s";

}  // namespace

std::unique_ptr<platform::ChildProcess> StartUserProgram(std::vector<std::string> arguments,
                                                         const std::string& host_folder) {
    if (arguments.empty() || arguments.front().empty()) {
        platform::SetLastError(platform::kErrorFileNotFound);
        return nullptr;
    }
    if (std::optional<std::string> stand_in = StandInProgram(arguments.front())) {
        arguments.front() = std::move(*stand_in);
    }
    platform::ChildStart start;
    start.arguments = std::move(arguments);
    start.working_folder = host_folder;
    start.own_session = true;
    start.null_input = true;
    return platform::ChildProcess::Start(start);
}

bool LaunchWithTemplate(const std::string& command_template, const std::string& argument) {
    // The template is split first and the argument put into the words as it is: no quoting
    // to get right, so that no blank, tab or quote in it can make two arguments of it.
    std::vector<std::string> command = platform::SplitCommandLine(command_template);
    const auto holder = std::find_if(command.begin(), command.end(), [](const std::string& word) {
        return word.find(kPlaceholder) != std::string::npos;
    });
    if (holder != command.end()) {
        holder->replace(holder->find(kPlaceholder), kPlaceholder.size(), argument);
        if (holder->empty()) {
            command.erase(holder);  // an empty argument in the placeholder's word makes no word
        }
    } else if (!argument.empty()) {
        command.push_back(argument);
    } else {
        return platform::FailWithError(platform::kErrorInvalidParameter);
    }
    return StartUserProgram(std::move(command), std::string()) != nullptr;
}

bool ShowInExplorer(const std::string& path) {
    return LaunchWithTemplate(kExplorerTemplate, path);
}

bool RunDetachedInJob(const std::string& command_line, const std::string& working_folder) {
    std::string host_folder;
    if (!working_folder.empty()) {
        host_folder = platform::MapWindowsPath(working_folder).string();
        if (host_folder.empty()) {
            return platform::FailWithError(platform::kErrorPathNotFound);
        }
    }
    return StartUserProgram(platform::SplitCommandLine(command_line), host_folder) != nullptr;
}

}  // namespace ruzd::foundation
