#pragma once

// What a stub export returns: a number made from the export's name, so that a test can tell
// which export a table called; null for pointers, nothing for functions without a result.

#include <cstdint>
#include <type_traits>

namespace ruzd::telephony::stubs {

inline int32_t StubNumber(const char* name) {
    uint32_t hash = 2166136261u;
    for (const char* p = name; *p != '\0'; ++p)
        hash = (hash ^ static_cast<unsigned char>(*p)) * 16777619u;
    return static_cast<int32_t>(hash & 0x7FFFFFFF);
}

template <typename Result>
Result StubResult(const char* name) {
    if constexpr (std::is_void_v<Result>) {
        return;
    } else if constexpr (std::is_pointer_v<Result>) {
        return nullptr;
    } else {
        return static_cast<Result>(StubNumber(name));
    }
}

}  // namespace ruzd::telephony::stubs
