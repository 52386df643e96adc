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
    // The kept queue catches up whether or not a central server is there.
    move_queue_.KeepOnDisk(now);
    // Nothing is tried, and no retry spent, while the central server is not there to take it.
    if (!file_listener_ || !file_listener_->HasCentralSocket()) {
        return;
    }
    move_queue_.ProcessPass(now, [this](const CMoveFileToCentral& move, std::string& error) {
        using MoveResult = MoveFileQueue::MoveResult;
        const fs::path source = platform::MapWindowsPath(move.source);
        std::error_code status;
        if (source.empty() || !fs::exists(source, status)) {
            if (!source.empty() && status) {
                // Whether it is there cannot even be told: the node's own trouble.
                error = status.message();
                return MoveResult::kNotRead;
            }
            return MoveResult::kSourceMissing;
        }
        MakeFileReadWrite(move.source);
        net::UploadFailure failure = net::UploadFailure::kNone;
        if (file_listener_->UploadFile(move.channelId, move.source, move.target, error, true,
                                       &failure)) {
            return MoveResult::kMoved;
        }
        return failure == net::UploadFailure::kNotRead ? MoveResult::kNotRead : MoveResult::kFailed;
    });
}

}  // namespace ruzd::node
