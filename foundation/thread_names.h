#pragma once

// Readable names for threads, by the kernel's thread id, for log lines and diagnostics. One map
// per process, guarded by a lock of its own that is held only for single map operations.

#include <cstdint>
#include <string>

namespace ruzd::foundation {

class ThreadNames {
public:
    // Names the thread; an empty name removes its entry. A name that differs from the stored
    // one is announced: counted, and, when the thread is the calling one, given to the system
    // as the thread's name (which shows in ps, top and the debugger). Naming a thread again with
    // the same text announces nothing.
    static void Set(uint32_t thread_id, const std::string& name);

    // "Thread ID <id>" for a thread without a name, else "<name> (Thread ID <id>)".
    static std::string DisplayName(uint32_t thread_id);

    // The stored name, empty when there is none.
    static std::string Get(uint32_t thread_id);

    static void Clear();

    // How many namings were announced since the process started.
    static uint64_t AnnouncementCount();
};

}  // namespace ruzd::foundation
