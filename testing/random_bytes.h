#pragma once

// Bytes that look like noise but are the same in every run: what a test or a benchmark sends
// where the content must not compress or must not matter.

#include <cstddef>
#include <cstdint>
#include <random>
#include <vector>

namespace ruzd::testing {

inline std::vector<uint8_t> RandomBytes(size_t count, uint32_t seed) {
    std::mt19937 generator(seed);
    std::vector<uint8_t> bytes(count);
    for (uint8_t& byte : bytes) {
        byte = static_cast<uint8_t>(generator());
    }
    return bytes;
}

}  // namespace ruzd::testing
