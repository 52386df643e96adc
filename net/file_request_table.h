#pragma once

// Pairs the file-transfer connection's requests with their answers: a requester takes a new id,
// sends its request and waits; the answer arrives on the connection's thread under the same id
// and wakes it. An answer for an id nobody waits for (any more) is dropped.

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

#include "net/socket_result.h"
#include "platform/event.h"

namespace ruzd::net {

class FileRequestTable {
public:
    // A new id, registered for its answer.
    int32_t NewRequestId();
    // Waits up to `seconds` for the answer to `id` (the application thread keeps handling its
    // messages meanwhile) and forgets the id. False on a time-out or for an id not registered.
    bool WaitForResult(int32_t id, CSocketResult& result, uint32_t seconds);
    // Stores the answer and wakes its waiter; false when nobody waits for `id`.
    bool SetResult(int32_t id, const CSocketResult& result);
    // Whether a requester waits for the answer to `id` (it has none yet).
    bool IsWaiting(int32_t id) const;
    // Forgets a request that will not be waited for.
    void Forget(int32_t id);

    size_t PendingCount() const;

private:
    mutable std::mutex lock_;
    int32_t last_id_ = 0;
    std::map<int32_t, std::shared_ptr<platform::Event>> pending_;
    std::map<int32_t, CSocketResult> answers_;
};

}  // namespace ruzd::net
