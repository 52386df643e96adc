// The manager's side of the move-to-central queue: the file cache queues the copies the node
// wrote, the application's five-second timer has them uploaded over the file-transfer
// connection.

#include <filesystem>
#include <string>
#include <system_error>

#include "node/file_access.h"
#include "node/vesmarin_manager.h"
#include "platform/win_path.h"

namespace ruzd::node {

namespace fs = std::filesystem;

void CVesmarinManager::QueueMoveFile(int32_t channelId, const std::string& source,
                                     const std::string& target, int32_t retries) {
    move_queue_.QueueMoveFile(channelId, source, target, retries, NowSeconds());
}

void CVesmarinManager::ProcessMoveFileQueue() {
    const int64_t now = NowSeconds();
    // Nothing is tried, and no retry spent, while the central server is not there to take it.
    if (!file_listener_ || !file_listener_->HasCentralSocket()) {
        return;
    }
    move_queue_.ProcessPass(now, [this](const CMoveFileToCentral& move, std::string& error,
                                        bool& sourceMissing) {
        const fs::path source = platform::MapWindowsPath(move.source);
        std::error_code status;
        if (source.empty() || !fs::exists(source, status)) {
            sourceMissing = true;
            return false;
        }
        MakeFileReadWrite(move.source);
        return file_listener_->UploadFile(move.channelId, move.source, move.target, error, true);
    });
}

}  // namespace ruzd::node
