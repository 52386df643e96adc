#pragma once

// Waiting in tests for what another thread or process does: long enough for a loaded machine
// with the sanitizers on, and never reached when all is well.

#include <chrono>
#include <functional>

namespace ruzd::testing {

// How long a test waits for something that should happen at once before it calls it a failure.
inline constexpr std::chrono::seconds kPatience{60};

// Waits until `done` holds, at most `patience`; whether it did.
bool Eventually(const std::function<bool()>& done, std::chrono::milliseconds patience = kPatience);

}  // namespace ruzd::testing
