#pragma once

// Names from the wire that address the node's file cache. The central server may only write
// into the cache folder and only remove what lies inside it, whatever the names it sends.

#include <filesystem>
#include <optional>
#include <string_view>

namespace ruzd::net {

// The node's file cache, relative to the working folder; every local path the file-transfer
// connection writes lies inside it.
inline constexpr std::string_view kFileCacheFolder = ".\\FileCache";

// The host path for `windowsPath` when it names a file inside the Windows folder `folder`:
// the path must begin with the folder (in any case, "." prefixes and either separator
// allowed) and the rest must be a relative name without ".." or ':'. None otherwise.
std::optional<std::filesystem::path> MapPathInsideFolder(std::string_view folder,
                                                         std::string_view windowsPath);

// A name that stays inside whatever folder it is joined to: not empty, no NUL, no ':' (drive
// or stream), no leading separator and no ".." component.
bool IsContainedName(std::string_view name);

}  // namespace ruzd::net
