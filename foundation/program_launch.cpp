#include "foundation/program_launch.h"

#include "foundation/stand_in_programs.h"
#include "platform/command_line.h"
#include "platform/win_error.h"
#include "platform/win_path.h"

namespace ruzd::foundation {
namespace {

constexpr const char* kExplorerTemplate = "Explorer /e,/select,%s";

// PathQuoteSpaces: a text with a blank goes in quotes, unless it is in quotes already.
std::string QuoteSpaces(const std::string& text) {
    const bool quoted = text.size() >= 2 && text.front() == '"' && text.back() == '"';
    if (quoted || text.find(' ') == std::string::npos) {
        return text;
    }
    return "\"" + text + "\"";
}

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
    const std::string quoted = QuoteSpaces(argument);
    std::string command = command_template;
    if (const size_t place = command.find("%s"); place != std::string::npos) {
        command.replace(place, 2, quoted);
    } else if (!argument.empty()) {
        command += " " + quoted;
    } else {
        return platform::FailWithError(platform::kErrorInvalidParameter);
    }
    return StartUserProgram(platform::SplitCommandLine(command), std::string()) != nullptr;
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
