#include "platform/listener_process.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/proc_file.h"

namespace ruzd::platform {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kListenState = "0A";

// The inode of a listening socket on the port, from the kernel's table of IPv4 TCP sockets:
// lines of "sl local_address rem_address st ... uid timeout inode", the address as hex
// "0100007F:2352" with the port in host order.
std::optional<uint64_t> ListeningSocketInode(uint16_t port) {
    std::ifstream table("/proc/net/tcp");
    std::string line;
    std::getline(table, line);  // the heading
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string slot, local, remote, state, queues, timer, retransmits, uid, timeout, inode;
        if (!(fields >> slot >> local >> remote >> state >> queues >> timer >> retransmits >> uid >>
              timeout >> inode)) {
            continue;
        }
        const size_t colon = local.find(':');
        if (state != kListenState || colon == std::string::npos) {
            continue;
        }
        try {
            if (std::stoul(local.substr(colon + 1), nullptr, 16) == port) {
                return std::stoull(inode);
            }
        } catch (const std::exception&) {
            continue;
        }
    }
    return std::nullopt;
}

bool HoldsSocket(const fs::path& process, const std::string& link_text) {
    std::error_code error;
    fs::directory_iterator descriptors(process / "fd", error);
    for (; !error && descriptors != fs::directory_iterator(); descriptors.increment(error)) {
        std::error_code ignored;
        if (fs::read_symlink(descriptors->path(), ignored).native() == link_text) {
            return true;
        }
    }
    return false;
}

}  // namespace

std::optional<uint32_t> ListenerProcessId(uint16_t port) {
    const std::optional<uint64_t> inode = ListeningSocketInode(port);
    if (!inode) {
        return std::nullopt;
    }
    const std::string link_text = "socket:[" + std::to_string(*inode) + "]";
    std::error_code error;
    fs::directory_iterator processes("/proc", error);
    for (; !error && processes != fs::directory_iterator(); processes.increment(error)) {
        const std::string name = processes->path().filename().string();
        if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        if (HoldsSocket(processes->path(), link_text)) {
            return static_cast<uint32_t>(std::stoul(name));
        }
    }
    return std::nullopt;
}

std::optional<std::string> ProcessImagePath(uint32_t pid) {
    std::error_code error;
    const fs::path exe = fs::read_symlink(ProcFilePath(pid, "exe"), error);
    if (error || exe.empty()) {
        return std::nullopt;
    }
    std::string path = exe.string();
    // An executable replaced while running reads " (deleted)".
    constexpr std::string_view kDeleted = " (deleted)";
    if (path.size() > kDeleted.size() && path.ends_with(kDeleted)) {
        path.resize(path.size() - kDeleted.size());
    }
    return path;
}

}  // namespace ruzd::platform
