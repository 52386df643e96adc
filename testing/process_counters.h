#pragma once

// Counters of the process's open descriptors and threads, for tests that check that what a
// socket or thread took is given back.

#include <cstddef>
#include <filesystem>

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

}  // namespace ruzd::testing
