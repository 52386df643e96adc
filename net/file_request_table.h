#pragma once

// Pairs the file-transfer connection's requests with their answers: a requester takes a new id,
// sends its request on one connection and waits; the answer arrives on that connection's thread
// under the same id and wakes it. An answer for an id nobody waits for (any more), or one that
// comes on another connection than its request went out on, is dropped.

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "net/socket_result.h"
#include "platform/event.h"

namespace ruzd::net {

// What the central server said of a file the node asks it for.
struct ExpectedFile {
    uint64_t size = 0;
    uint32_t crc32 = 0;
};

// A file request while it waits for its answer.
struct WaitingFile {
    // The one path its answer may write.
    std::string localPath;
    std::optional<ExpectedFile> expected;
};

class FileRequestTable {
public:
    // A new id, registered for its answer, which only the connection with the serial
    // `connection` may give. `localPath`: the one path a file request's answer may write;
    // `expected`: what the file should be.
    int32_t NewRequestId(uint64_t connection, std::string localPath = {},
                         std::optional<ExpectedFile> expected = std::nullopt);
    // Waits for the answer to `id` until `seconds` pass in which it made no progress (the
    // application thread keeps handling its messages meanwhile) and forgets the id. False on a
    // time-out or for an id not registered.
    bool WaitForResult(int32_t id, CSocketResult& result, uint32_t seconds);
    // Records that the answer to `id` is on its way from `connection` (a large file's bytes
    // keep coming): its waiter waits on.
    void NoteProgress(int32_t id, uint64_t connection);
    // Stores the answer that came on `connection` and wakes its waiter; false when nobody
    // waits for `id` from that connection.
    bool SetResult(int32_t id, uint64_t connection, const CSocketResult& result);
    // The file request `id` while it waits for its answer from `connection`; none otherwise.
    std::optional<WaitingFile> Waiting(int32_t id, uint64_t connection) const;
    // Forgets a request that will not be waited for.
    void Forget(int32_t id);

    size_t PendingCount() const;

private:
    struct Request {
        std::shared_ptr<platform::Event> answered;
        uint64_t connection = 0;
        WaitingFile file;
        uint64_t progress = 0;
    };
    // The request `id` while it waits for its answer from `connection`; under the lock.
    const Request* WaitingLocked(int32_t id, uint64_t connection) const;

    mutable std::mutex lock_;
    int32_t last_id_ = 0;
    std::map<int32_t, Request> pending_;
    std::map<int32_t, CSocketResult> answers_;
};

}  // namespace ruzd::net
