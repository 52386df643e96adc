#pragma once

// Lets something happen once per key within an interval: a line logged once per peer address per
// minute, however often the peer knocks. Keys whose interval has passed are forgotten, and no more
// than a bounded number are kept, so that knocks from ever new addresses cannot grow it without
// end; a new key that finds it full is held back until old keys run out.

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

namespace ruzd::foundation {

class OncePerInterval {
public:
    static constexpr size_t kDefaultMaxKeys = 1024;

    explicit OncePerInterval(uint64_t interval_ms, size_t max_keys = kDefaultMaxKeys)
        : interval_ms_(interval_ms), max_keys_(max_keys) {}

    // True, and the key's interval starts, when `key` was not let through within the interval
    // before `now_ms` (a tick that never goes back).
    bool Due(const std::string& key, uint64_t now_ms);

private:
    void ForgetOlderThan(uint64_t now_ms);

    const uint64_t interval_ms_;
    const size_t max_keys_;
    std::map<std::string, uint64_t> let_through_;
};

}  // namespace ruzd::foundation
