#include "platform/thread_priority.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace ruzd::platform {
namespace {

constexpr int kHighestNice = -20;

}  // namespace

// On Linux a nice value belongs to the thread, named by its kernel id; the process's id names
// its first thread.
int ThreadNice(uint32_t thread_id) {
    return ::getpriority(PRIO_PROCESS, static_cast<id_t>(thread_id));
}

int ProcessNice() {
    return ThreadNice(static_cast<uint32_t>(::getpid()));
}

int RaiseCurrentThreadToHighestPriority() {
    // Counted from the process's priority, not the thread's own: a thread started by a raised
    // one would otherwise climb further.
    const int wanted = std::max(kHighestNice, ProcessNice() - kHighestPriorityNiceSteps);
    if (::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), wanted) != 0) {
        return errno;
    }
    return 0;
}

std::string SystemErrorText(int error) {
    char buffer[256];
    // The GNU form: the text may be a static one rather than the buffer.
    return ::strerror_r(error, buffer, sizeof buffer);
}

}  // namespace ruzd::platform
