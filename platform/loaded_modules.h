#pragma once

// The shared objects loaded in the process, and finding a module by the name a Windows program
// would hand to LoadLibrary or GetModuleHandle. Nothing here goes through the system's library
// search path (see platform/dynamic_library.h).

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ruzd::platform {

// The files of the modules loaded in the process (the program itself excluded), in load order.
std::vector<std::string> LoadedModules();

// The address of `symbol` when the loaded module `file` defines and exports it itself (not one
// of the libraries it depends on); nullptr when the module is not loaded or has no such export.
// Looking loads nothing and keeps no reference.
void* ExportOfLoadedModule(const std::filesystem::path& file, const char* symbol);

// Whether the module `file` is loaded in the process.
bool IsModuleLoaded(const std::filesystem::path& file);

// The file of a module named as a Windows program names it: a path (with a '/') stands for
// itself; a plain name is a loaded module of that file name (any case), else the vendor folder's
// library of that name (DynamicLibrary::LibraryPath). None for an empty name or a plain name
// found in neither place.
std::optional<std::filesystem::path> FindModule(std::string_view name);

}  // namespace ruzd::platform
