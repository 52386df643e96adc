#pragma once

// Plain blocking TCP ends on 127.0.0.1 for the socket tests (testing/loopback_socket.h), and
// counters of the process's descriptors and threads.

#include <cstddef>
#include <filesystem>

#include "testing/eventually.h"
#include "testing/loopback_socket.h"

namespace ruzd::net::testing {

using ruzd::testing::Eventually;
using ruzd::testing::FreePort;
using ruzd::testing::kPatience;
using ruzd::testing::RawConnection;
using ruzd::testing::RawListener;

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

}  // namespace ruzd::net::testing
