#include "node/worker_priority.h"

#include <atomic>
#include <string>

#include "foundation/debug_channel.h"
#include "node/manager_log.h"
#include "platform/thread_priority.h"

namespace ruzd::node {

void RaiseWorkerToHighestPriority(std::string_view worker) {
    static std::atomic<bool> refusal_logged{false};
    const int error = platform::RaiseCurrentThreadToHighestPriority();
    if (error == 0 || refusal_logged.exchange(true)) {
        return;
    }
    ManagerLog(foundation::kDebugChannelGeneral, foundation::kDebugNone,
               "WARNING: " + std::string(worker) +
                   " runs at normal priority: the highest priority was refused (" +
                   platform::SystemErrorText(error) + ")");
}

}  // namespace ruzd::node
