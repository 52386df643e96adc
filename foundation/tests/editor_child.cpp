// The editor of the launching tests, named by the test's desktop file:
//   editor_child MODE FILE
// appends "editor MODE FILE cwd=<folder> pid=<pid>" to the file that RUZD_RECORD_FILE names and
// writes "ready" on its output, then by MODE:
//   change        appends a line to FILE and ends
//   keep          ends, leaving FILE alone
//   wait          waits (five minutes at most) to be ended
//   ignore-term   the same, and ignores SIGTERM

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>

#include "platform/stop_signals.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        return 2;
    }
    const std::string mode = argv[1];
    const std::string file = argv[2];
    std::error_code error;
    // Taken before any thread starts, so that every thread of the program leaves SIGTERM alone.
    std::optional<ruzd::platform::StopSignals> ignored;
    if (mode == "ignore-term") {
        ignored.emplace(std::initializer_list<ruzd::platform::StopSignal>{
            ruzd::platform::StopSignal::kTerminate});
        ignored->WatchEach([](ruzd::platform::StopSignal) {});
    }
    if (const char* record = std::getenv("RUZD_RECORD_FILE")) {
        std::ofstream(record, std::ios::app)
            << "editor " << mode << " " << file
            << " cwd=" << std::filesystem::current_path(error).string()
            << " pid=" << std::filesystem::read_symlink("/proc/self", error).string() << "\n";
    }
    std::printf("ready\n");
    std::fflush(stdout);
    if (mode == "change") {
        std::ofstream(file, std::ios::app) << "edited\n";
    } else if (mode == "wait" || mode == "ignore-term") {
        std::this_thread::sleep_for(std::chrono::minutes(5));
    }
    return 0;
}
