#pragma once

// Looks into the shared libraries the process has loaded, without loading any: the one place of
// the tests that asks the dynamic loader itself.

#include <filesystem>

namespace ruzd::testing {

// Whether the library `file` is loaded in the process.
bool LibraryLoaded(const std::filesystem::path& file);

// The address of `symbol` in the loaded library `file`; nullptr when the library is not loaded
// or does not export it. The library stays loaded only as long as its other users keep it.
void* LoadedSymbol(const std::filesystem::path& file, const char* symbol);

}  // namespace ruzd::testing
