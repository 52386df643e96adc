#pragma once

// Counters of the process's open descriptors, threads and memory, for tests that check that
// what a socket or thread took is given back, or that a process holds no more than it should.

#include <cstddef>
#include <filesystem>
#include <fstream>
#include <string>

namespace ruzd::testing {

inline size_t CountEntries(const char* folder) {
    size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder)) {
        ++count;
    }
    return count;
}

inline size_t OpenDescriptors() {
    return CountEntries("/proc/self/fd");
}

inline size_t ProcessThreads() {
    return CountEntries("/proc/self/task");
}

// A memory figure of a process ("self", or a process id) in bytes: "VmRSS:" what it holds now,
// "VmHWM:" the most it held; 0 when it cannot be read.
inline size_t MemoryBytes(const std::string& field, const std::string& process = "self") {
    std::ifstream status("/proc/" + process + "/status");
    for (std::string word; status >> word;) {
        if (word == field) {
            size_t kilobytes = 0;
            status >> kilobytes;
            return kilobytes * 1024;
        }
    }
    return 0;
}

// Starts "VmHWM:" of this process again from what it holds now, so that a test can tell the
// most that one step of its own took.
inline void ResetPeakMemory() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

}  // namespace ruzd::testing
