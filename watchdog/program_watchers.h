#pragma once

// The crash-dump watchers of the programs the watchdog looks after: the central program, the
// node and the Glimbor program, each found by its executable's name on every heartbeat.

#include <string>

#include "watchdog/dump_watcher.h"
#include "watchdog/frame_parts.h"
#include "watchdog/watchdog_options.h"

namespace ruzd::watchdog {

class ProgramWatchers : public DumpWatchers {
public:
    explicit ProgramWatchers(const WatchdogOptions& options) : options_(options) {}
    void WatchAll(const std::string& dialogic_release) override;

private:
    // Starts `watcher` on the first program of `names` that runs, unless it runs already.
    void Watch(DumpWatcher& watcher, std::initializer_list<const char*> names);

    const WatchdogOptions& options_;
    DumpWatcher central_;
    DumpWatcher node_;
    DumpWatcher glimbor_;
};

}  // namespace ruzd::watchdog
