#pragma once

// Counters of the process's open descriptors, threads and memory, for tests that check that
// what a socket or thread took is given back, or that a process holds no more than it should.

#include <cstddef>
#include <filesystem>
#include <fstream>
#include <string>

#include "testing/eventually.h"

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

// The names of the process's threads, "name (id)" each, one a line.
inline std::string ProcessThreadNames() {
    std::string names;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) {
        std::string name;
        std::getline(std::ifstream(entry.path() / "comm"), name);
        names += name + " (" + entry.path().filename().string() + ")\n";
    }
    return names;
}

// Waits until the process runs no more than `count` threads; "" when it does, else the threads
// it runs still. A thread that was joined may be listed for a moment after the join returned:
// the kernel wakes the joiner before it takes the thread's entry away, and a loaded machine
// can make that moment long. A thread still there after the whole wait really outlived its
// owner.
inline std::string ThreadsBeyond(size_t count) {
    if (Eventually([&] { return ProcessThreads() <= count; })) {
        return "";
    }
    return ProcessThreadNames();
}

// The same for descriptors: a socket another thread closes may still be open for a moment.
inline bool DescriptorsComeBackTo(size_t count) {
    return Eventually([&] { return OpenDescriptors() <= count; });
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
