#pragma once

#include <mutex>

namespace ruzd::platform {

// A critical section may be entered again by the thread that holds it.
using CriticalSection = std::recursive_mutex;
using CriticalSectionLock = std::lock_guard<CriticalSection>;

}  // namespace ruzd::platform
