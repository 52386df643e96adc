#pragma once

// The platform root: one folder holds all machine-wide state (registry, named mutexes, window
// endpoints, service records, event logs, drive letters, vendor libraries). Its default is
// /var/lib/ruzd; the environment variable RUZD_ROOT moves it, so that tests and several nodes
// on one machine never share state by accident.

#include <filesystem>
#include <string>
#include <string_view>

namespace ruzd::platform {

// The root folder, read from the environment on every call; not created.
std::filesystem::path Root();

// A sub-folder of the root ("run", "drives", ...), created with its parents when missing.
std::filesystem::path RootSubdir(std::string_view name);

// The folder the vendor libraries are loaded from: RUZD_VENDOR_DIR when set, else
// <root>/vendor. Not created.
std::filesystem::path VendorDir();

}  // namespace ruzd::platform
