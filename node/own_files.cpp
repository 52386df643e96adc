#include "node/own_files.h"

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "foundation/debug_file.h"
#include "foundation/debug_log.h"
#include "net/cache_path.h"
#include "node/vesmarin_manager.h"
#include "platform/registry_store.h"
#include "platform/win_path.h"

namespace ruzd::node {
namespace {

namespace fs = std::filesystem;

// The path as the file system resolves it, its letters folded.
std::string Resolved(const fs::path& path) {
    std::error_code error;
    fs::path resolved = fs::weakly_canonical(path, error);
    if (error) {
        resolved = fs::absolute(path, error).lexically_normal();
    }
    return platform::FoldWindowsNameCase(resolved.generic_string());
}

bool IsAtOrBelow(const std::string& path, const std::string& place) {
    return path.compare(0, place.size(), place) == 0 &&
           (path.size() == place.size() || path[place.size()] == '/');
}

// Folded, as the paths compared with it.
constexpr std::string_view kDebugFileExtension = ".DEB";

std::vector<std::string> OwnPlaces() {
    std::vector<std::string> places = {
        Resolved(platform::MapWindowsPath(kMoveFileQueuePath)),
        Resolved(platform::MapWindowsPath(net::kFileCacheIncomingFolder))};
    const fs::path registry = platform::RegistryStore::StorePath();
    places.push_back(Resolved(registry));
    places.push_back(Resolved(fs::path(registry.string() + ".lock")));
    return places;
}

// The move queue's family beside it: its scratch files ("MoveFileQueue.txt.XXXXXX") and the
// queues set aside ("MoveFileQueue.unread-1.txt"), which hold moves as the queue does.
bool IsMoveQueueFile(const std::string& path) {
    const fs::path queue(Resolved(platform::MapWindowsPath(kMoveFileQueuePath)));
    const fs::path candidate(path);
    const std::string family = queue.stem().string() + ".";
    const std::string name = candidate.filename().string();
    return candidate.parent_path() == queue.parent_path() &&
           name.compare(0, family.size(), family) == 0;
}

// The debug folder of the running log; empty without one.
std::string DebugFolder() {
    const std::shared_ptr<foundation::CDebugFile> log = foundation::GetDebugFile();
    if (!log) {
        return {};
    }
    const std::string folder = platform::WindowsFolder(log->MakeFileName());
    return folder.empty() ? std::string() : Resolved(platform::MapWindowsPath(folder));
}

// Inside the debug folder; when the working folder lies inside it too (the files of the
// working folder are not the log's), only the log's files themselves.
bool IsDebugFile(const std::string& path) {
    const std::string folder = DebugFolder();
    if (folder.empty() || !IsAtOrBelow(path, folder)) {
        return false;
    }
    std::error_code error;
    if (!IsAtOrBelow(Resolved(fs::current_path(error)), folder)) {
        return true;
    }
    return fs::path(path).parent_path().generic_string() == folder &&
           path.size() >= kDebugFileExtension.size() &&
           path.compare(path.size() - kDebugFileExtension.size(), kDebugFileExtension.size(),
                        kDebugFileExtension) == 0;
}

}  // namespace

bool ReachesNodeOwnFiles(std::string_view windowsPath) {
    const fs::path host = platform::MapWindowsPath(windowsPath);
    if (host.empty()) {
        return false;
    }
    const std::string path = Resolved(host);
    for (const std::string& place : OwnPlaces()) {
        if (IsAtOrBelow(path, place)) {
            return true;
        }
    }
    return IsMoveQueueFile(path) || IsDebugFile(path);
}

}  // namespace ruzd::node
