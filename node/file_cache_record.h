#pragma once

// What the file cache remembers of the copy of one central file.

#include <cstdint>

namespace ruzd::node {

struct CFileDateSizeCRC {
    uint32_t crc32 = 0;
    int64_t size = 0;
    // The copy's modification time in nanoseconds, compared for equality only.
    int64_t modified = 0;
    // When the copy was last checked, in seconds of the node's clock.
    int64_t checked = 0;

    // A record of a copy not yet seen: size and time 0, checked now.
    static CFileDateSizeCRC Fresh(int64_t now) { return CFileDateSizeCRC{0, 0, 0, now}; }
};

}  // namespace ruzd::node
