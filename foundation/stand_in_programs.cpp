#include "foundation/stand_in_programs.h"

#include <cstdlib>
#include <filesystem>

#include "platform/running_program.h"
#include "platform/text.h"

namespace ruzd::foundation {
namespace {

struct StandIn {
    const char* windowsName;
    const char* ours;
    bool onPath;  // the system's program of that name, searched on PATH
};

constexpr StandIn kStandIns[] = {
    {"net.exe", "ruzd-net", false},
    {"ffmpeg.exe", "ffmpeg", true},
    // Command templates name Explorer without extension, which Windows adds; no program of
    // that name exists here to be shadowed.
    {"explorer.exe", "ruzd-explorer", false},
    {"explorer", "ruzd-explorer", false},
};

std::filesystem::path ToolsDir() {
    if (const char* dir = std::getenv(kToolsDirVariable); dir != nullptr && *dir != '\0') {
        return dir;
    }
    return platform::RunningProgramPath().parent_path();
}

}  // namespace

std::optional<std::string> StandInProgram(std::string_view program) {
    const size_t slash = program.find_last_of("\\/");
    const std::string_view name =
        slash == std::string_view::npos ? program : program.substr(slash + 1);
    for (const StandIn& standIn : kStandIns) {
        if (platform::EqualsIgnoreCase(name, standIn.windowsName)) {
            return standIn.onPath ? std::string(standIn.ours)
                                  : (ToolsDir() / standIn.ours).string();
        }
    }
    return std::nullopt;
}

}  // namespace ruzd::foundation
