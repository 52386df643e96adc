#include "watchdog/program_watchers.h"

#include "platform/process_lookup.h"

namespace ruzd::watchdog {

void ProgramWatchers::Watch(DumpWatcher& watcher, std::initializer_list<const char*> names) {
    if (watcher.IsRunning()) {
        return;
    }
    for (const char* name : names) {
        if (const auto pid = platform::FindProcessByName(name)) {
            watcher.Start(*pid, kDumpFolder, options_.midi_dump, options_.first_chance_log);
            return;
        }
    }
}

void ProgramWatchers::WatchAll(const std::string& dialogic_release) {
    // Under the 5.1 release the central program and the node are left alone.
    if (dialogic_release.empty() || dialogic_release.find("5.1") == std::string::npos) {
        Watch(central_, {"CentralOrvanthella.exe", "Orvanthella.exe"});
        Watch(node_, {"Vesmarin.exe", "Pelwix.exe"});
    }
    Watch(glimbor_, {"Glimbor.exe", "GlimborU.exe", "GlimborFRU.exe"});
}

}  // namespace ruzd::watchdog
