#pragma once

// The platform root: one folder holds all machine-wide state (registry, named mutexes, window
// endpoints, service records, event logs, drive letters, vendor libraries). Its default is
// /var/lib/ruzd; the environment variable RUZD_ROOT moves it, so that tests and several nodes
// on one machine never share state by accident.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace ruzd::platform {

// The root folder, read from the environment on every call; not created.
std::filesystem::path Root();

// Why the programs cannot keep their state under the root, as one sentence naming the root and
// the system's reason: it is no folder, cannot be created, or cannot be written (a file is made
// in it and removed again). A missing root is created with its parents. None when all is well.
std::optional<std::string> RootProblem();

// A sub-folder of the root ("run", "drives", ...), created with its parents when missing.
std::filesystem::path RootSubdir(std::string_view name);

// The folder the vendor libraries are loaded from: RUZD_VENDOR_DIR when set, else
// <root>/vendor. Not created.
std::filesystem::path VendorDir();

}  // namespace ruzd::platform
