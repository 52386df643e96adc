#include "platform/process_lookup.h"

#include <unistd.h>

#include <filesystem>
#include <sstream>

#include "platform/proc_file.h"
#include "platform/process_identity.h"
#include "platform/root.h"
#include "platform/text.h"

namespace ruzd::platform {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kExeSuffix = ".exe";
constexpr const char* kDefaultRoot = "/var/lib/ruzd";

bool IsZombie(uint32_t pid) {
    const std::string stat = ReadProcFile(pid, "stat");
    const size_t close = stat.rfind(')');
    return close == std::string::npos || close + 2 >= stat.size() || stat[close + 2] == 'Z' ||
           stat[close + 2] == 'X';
}

// The platform root the process works in.
fs::path RootOf(uint32_t pid) {
    const std::string environ = ReadProcFile(pid, "environ");
    std::istringstream entries(environ);
    std::string entry;
    while (std::getline(entries, entry, '\0')) {
        if (entry.rfind("RUZD_ROOT=", 0) == 0 && entry.size() > 10) {
            return fs::path(entry.substr(10));
        }
    }
    return fs::path(kDefaultRoot);
}

bool SameFolder(const fs::path& a, const fs::path& b) {
    std::error_code error;
    return fs::equivalent(a, b, error) || a.lexically_normal() == b.lexically_normal();
}

}  // namespace

std::optional<std::string> ProcessExecutableName(uint32_t pid) {
    std::error_code error;
    const fs::path exe = fs::read_symlink(ProcFilePath(pid, "exe"), error);
    if (error) {
        return std::nullopt;
    }
    std::string name = exe.filename().string();
    // An executable replaced while running reads " (deleted)".
    constexpr std::string_view kDeleted = " (deleted)";
    if (name.size() > kDeleted.size() &&
        name.compare(name.size() - kDeleted.size(), kDeleted.size(), kDeleted) == 0) {
        name.resize(name.size() - kDeleted.size());
    }
    return name;
}

std::optional<uint32_t> FindProcessByName(std::string_view windows_name) {
    std::string wanted = AsciiUpper(windows_name);
    const std::string suffix = AsciiUpper(kExeSuffix);
    if (wanted.size() > suffix.size() &&
        wanted.compare(wanted.size() - suffix.size(), suffix.size(), suffix) == 0) {
        wanted.resize(wanted.size() - suffix.size());
    }
    const uint32_t self = static_cast<uint32_t>(::getpid());
    const fs::path our_root = Root();
    std::error_code error;
    for (const auto& entry : fs::directory_iterator("/proc", error)) {
        const std::string name = entry.path().filename().string();
        if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        const uint32_t pid = static_cast<uint32_t>(std::stoul(name));
        if (pid == self) {
            continue;
        }
        const std::optional<std::string> exe = ProcessExecutableName(pid);
        if (!exe || AsciiUpper(*exe) != wanted || IsZombie(pid) || !RunsAsCallingUser(pid) ||
            !SameFolder(RootOf(pid), our_root)) {
            continue;
        }
        return pid;
    }
    return std::nullopt;
}

}  // namespace ruzd::platform
