#pragma once

// Whether the programs may keep their state under the platform root (see root.h): checked at
// their start, before they touch anything there.

#include <optional>
#include <string>

namespace ruzd::platform {

// Why the programs cannot keep their state under the root, as one sentence naming the root and
// the system's reason: it is no folder, cannot be created, or cannot be written (a file is made
// in it and removed again), or another account may write a part of it (RootPartOthersMayWrite).
// A missing root is created with its parents. None when all is well.
std::optional<std::string> RootProblem();

// What of the root another account may write, and why: "it (mode 0777, writable by every
// account)", "its folder /r/run (...)" or "its registry file /r/registry.reg (owned by uid
// 65534, nobody)" (see other_writers.h). Whoever may write the root, a folder in it or its
// registry file could put settings, locks, libraries or programs of their own in the programs'
// place; the folders above the root do not count. None when nobody else may.
std::optional<std::string> RootPartOthersMayWrite();

}  // namespace ruzd::platform
