#include "net/file_request_table.h"

#include "foundation/pumping_wait.h"

namespace ruzd::net {

int32_t FileRequestTable::NewRequestId(uint64_t connection, std::string localPath,
                                       std::optional<ExpectedFile> expected) {
    std::lock_guard<std::mutex> guard(lock_);
    // An id whose waiter is still there is skipped rather than shared.
    do {
        last_id_ = last_id_ == INT32_MAX ? 1 : last_id_ + 1;
    } while (pending_.count(last_id_) != 0);
    pending_[last_id_] = Request{std::make_shared<platform::Event>(false), connection,
                                 WaitingFile{std::move(localPath), expected}};
    answers_.erase(last_id_);
    return last_id_;
}

bool FileRequestTable::WaitForResult(int32_t id, CSocketResult& result, uint32_t seconds) {
    std::shared_ptr<platform::Event> event;
    uint64_t progress = 0;
    {
        std::lock_guard<std::mutex> guard(lock_);
        const auto found = pending_.find(id);
        if (found == pending_.end()) {
            return false;
        }
        event = found->second.answered;
        progress = found->second.progress;
    }
    bool signalled = false;
    for (;;) {
        const platform::PumpedWait wait = foundation::WaitPumpingForSeconds(*event, seconds);
        signalled = wait == platform::PumpedWait::kSignaled;
        if (wait != platform::PumpedWait::kTimeout) {
            break;
        }
        std::lock_guard<std::mutex> guard(lock_);
        const auto found = pending_.find(id);
        if (found == pending_.end() || found->second.progress == progress) {
            break;
        }
        progress = found->second.progress;
    }
    std::lock_guard<std::mutex> guard(lock_);
    pending_.erase(id);
    const auto answer = answers_.find(id);
    if (answer != answers_.end()) {
        result = std::move(answer->second);
        answers_.erase(answer);
    }
    return signalled;
}

void FileRequestTable::NoteProgress(int32_t id, uint64_t connection) {
    std::lock_guard<std::mutex> guard(lock_);
    const auto found = pending_.find(id);
    if (found != pending_.end() && found->second.connection == connection) {
        ++found->second.progress;
    }
}

const FileRequestTable::Request* FileRequestTable::WaitingLocked(int32_t id,
                                                                 uint64_t connection) const {
    const auto found = pending_.find(id);
    if (found == pending_.end() || found->second.connection != connection ||
        answers_.count(id) != 0) {
        return nullptr;
    }
    return &found->second;
}

bool FileRequestTable::SetResult(int32_t id, uint64_t connection, const CSocketResult& result) {
    std::lock_guard<std::mutex> guard(lock_);
    const Request* request = WaitingLocked(id, connection);
    if (request == nullptr) {
        return false;
    }
    answers_[id] = result;
    request->answered->Set();
    return true;
}

std::optional<WaitingFile> FileRequestTable::Waiting(int32_t id, uint64_t connection) const {
    std::lock_guard<std::mutex> guard(lock_);
    const Request* request = WaitingLocked(id, connection);
    if (request == nullptr) {
        return std::nullopt;
    }
    return request->file;
}

void FileRequestTable::Forget(int32_t id) {
    std::lock_guard<std::mutex> guard(lock_);
    pending_.erase(id);
    answers_.erase(id);
}

size_t FileRequestTable::PendingCount() const {
    std::lock_guard<std::mutex> guard(lock_);
    return pending_.size();
}

}  // namespace ruzd::net
