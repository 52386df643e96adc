#pragma once

// Names from the wire that address the node's file cache. The central server may only write
// into the cache folder and only remove what lies inside it, whatever the names it sends.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace ruzd::net {

// The node's file cache, relative to the working folder; every local path the file-transfer
// connection writes lies inside it.
inline constexpr std::string_view kFileCacheFolder = ".\\FileCache";

// Where a transferred file is written whole before it is renamed onto its place in the cache:
// beside the cache folder, on the same file system, so that the cache holds either the old copy
// or the whole new one. Emptied when the file-transfer listener starts.
inline constexpr std::string_view kFileCacheIncomingFolder = ".\\FileCacheIncoming";

// The name below the cache folder that keeps the copy of a central path: the path upper-cased,
// without its two leading backslashes when it names a share, else without any ':'.
// "C:\VOX\A.VOX" -> "C\VOX\A.VOX", "\\SRV\SHARE\A.VOX" -> "SRV\SHARE\A.VOX". None when the
// name would leave the cache folder (see IsContainedName).
std::optional<std::string> CacheNameOfCentralPath(std::string_view centralPath);

// The cache path of a central path: the cache folder, a backslash and its cache name.
std::optional<std::string> CachePathOfCentralPath(std::string_view centralPath);

// The central path whose copy lies at `cacheName` below the cache folder (upper-cased, '\'
// separated): a drive letter when the name starts with one letter and a backslash
// ("C\VOX\A.VOX" -> "C:\VOX\A.VOX"), else a share ("SRV\SHARE\A.VOX" -> "\\SRV\SHARE\A.VOX").
std::string CentralPathOfCacheName(std::string_view cacheName);

// The host path for `windowsPath` when it names a file inside the Windows folder `folder`:
// the path must begin with the folder (in any case, "." prefixes and either separator
// allowed) and the rest must be a relative name without ".." or ':'. None otherwise.
std::optional<std::filesystem::path> MapPathInsideFolder(std::string_view folder,
                                                         std::string_view windowsPath);

// A name that stays inside whatever folder it is joined to: not empty, no NUL, no ':' (drive
// or stream), no leading separator and no ".." component.
bool IsContainedName(std::string_view name);

}  // namespace ruzd::net
