#include "net/file_request_table.h"

#include "foundation/pumping_wait.h"

namespace ruzd::net {

int32_t FileRequestTable::NewRequestId(uint64_t connection, std::string localPath) {
    std::lock_guard<std::mutex> guard(lock_);
    // An id whose waiter is still there is skipped rather than shared.
    do {
        last_id_ = last_id_ == INT32_MAX ? 1 : last_id_ + 1;
    } while (pending_.count(last_id_) != 0);
    pending_[last_id_] =
        Request{std::make_shared<platform::Event>(false), connection, std::move(localPath)};
    answers_.erase(last_id_);
    return last_id_;
}

bool FileRequestTable::WaitForResult(int32_t id, CSocketResult& result, uint32_t seconds) {
    std::shared_ptr<platform::Event> event;
    {
        std::lock_guard<std::mutex> guard(lock_);
        const auto found = pending_.find(id);
        if (found == pending_.end()) {
            return false;
        }
        event = found->second.answered;
    }
    const bool signalled = foundation::WaitForSingleObjectPumping(*event, seconds);
    std::lock_guard<std::mutex> guard(lock_);
    pending_.erase(id);
    const auto answer = answers_.find(id);
    if (answer != answers_.end()) {
        result = std::move(answer->second);
        answers_.erase(answer);
    }
    return signalled;
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

std::optional<std::string> FileRequestTable::WaitingPath(int32_t id, uint64_t connection) const {
    std::lock_guard<std::mutex> guard(lock_);
    const Request* request = WaitingLocked(id, connection);
    if (request == nullptr) {
        return std::nullopt;
    }
    return request->localPath;
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
