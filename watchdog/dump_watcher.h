#pragma once

// A crash-dump debugger for one watched process. Its thread attaches to the process as its
// tracer; a crash the process handles itself is only logged (a first chance), one it does not
// handle (a second chance) is written to a dump in the dump folder before the process is let go
// to die as it would have. A watcher ends with the process, a dump or a stop.

#include <cstdint>
#include <memory>
#include <string>

#include "platform/event.h"
#include "platform/thread.h"

namespace ruzd::watchdog {

inline constexpr const char* kDumpFolder = ".\\Dumps";
inline constexpr uint32_t kDebugWaitMs = 500;
inline constexpr uint32_t kAttachSettleMs = 200;

class DumpWatcher {
public:
    DumpWatcher() = default;
    // Stops a running watcher.
    ~DumpWatcher();
    DumpWatcher(const DumpWatcher&) = delete;
    DumpWatcher& operator=(const DumpWatcher&) = delete;

    bool IsRunning() const;
    // Watches the process; true when its thread still runs a moment after it began (attaching
    // failed otherwise). Running for this process already: nothing to do.
    bool Start(uint32_t process_id, const std::string& dump_folder, bool midi,
               bool first_chance_log);
    // Lets the process go and waits for the thread to end.
    void Stop();

private:
    uint32_t process_id_ = 0;
    std::shared_ptr<platform::Event> stop_;
    std::unique_ptr<platform::Thread> thread_;
};

// The dump's file name: "<folder>\<exe>_<version>_<computer>_<date>_<time>.<mdmp|dmp>".
std::string DumpFileName(const std::string& dump_folder, const std::string& executable,
                         const std::string& version, const std::string& computer, int64_t now,
                         bool midi);

}  // namespace ruzd::watchdog
