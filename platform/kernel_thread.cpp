#include "platform/kernel_thread.h"

#include <string>

#include "platform/proc_file.h"

namespace ruzd::platform {

bool IsKernelThreadRunning(uint32_t thread_id) {
    if (thread_id == 0) {
        return false;
    }
    // /proc/<tid> answers for the thread of any process, listed there or not. The state letter
    // follows the command name, which is in parentheses and may hold any character.
    const std::string stat = ReadProcFile(thread_id, "stat");
    const size_t name_end = stat.rfind(')');
    if (name_end == std::string::npos || name_end + 2 >= stat.size()) {
        return false;
    }
    const char state = stat[name_end + 2];
    return state != 'Z' && state != 'X' && state != 'x';
}

}  // namespace ruzd::platform
