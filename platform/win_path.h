#pragma once

// Windows paths. Paths from the wire, the registry and the command line stay in Windows form
// and are mapped to a host path only at the file-system call:
//   "C:\Dir\File.vox"        -> <root>/drives/c/Dir/File.vox (drive folder created on demand)
//   "\\Server\Share\a.vox"   -> <root>/unc/Server/Share/a.vox
//   "\Dir\a.vox"             -> the same on the current drive
//   ".\FileCache\a.vox"      -> <working folder>/FileCache/a.vox
// Both '\' and '/' separate components. "." and ".." are applied to the text as Windows does,
// never climbing above a drive root or a share; a relative path whose working folder lies outside
// the drives never climbs above that working folder. Components that exist are found whatever their
// case (the exact spelling wins when several differ only in case); from the first component that
// does not exist on, the path keeps the caller's spelling, so a file created through the mapping
// gets the name the caller asked for.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace ruzd::platform {

// The host path for a Windows path; empty when the path cannot name a file: an embedded NUL,
// a UNC path without server and share (or with "." / ".." as either), or a device path
// ("\\.\Name"). The extended-length prefix "\\?\" (and "\\?\UNC\") is accepted and dropped.
// A drive-relative path ("D:File") is taken from the working folder when that lies on drive D,
// else from D's root; a rooted path without drive ("\File") uses the drive of the working
// folder, or C: when the working folder is outside the drives.
std::filesystem::path MapWindowsPath(std::string_view windows_path);

// The Windows path that MapWindowsPath maps back to the host path `host` from any working
// folder: "C:\Dir\File" for <root>/drives/c/Dir/File, "\\Server\Share\a" for
// <root>/unc/Server/Share/a. None for a host path outside the drives and shares, which no
// Windows path names but relative to a working folder.
std::optional<std::string> WindowsPathOf(const std::filesystem::path& host);

// The host path for a Windows path that must stay inside `base`, as a name from the wire must
// stay inside a cache folder. Refused (nullopt): an embedded NUL, a rooted path, any ':' (drive
// letters and alternate streams), and any ".." component. Components below `base` are found
// whatever their case; `base` itself is used as given. Symbolic links already inside `base`
// are trusted.
std::optional<std::filesystem::path> MapWindowsPathWithin(const std::filesystem::path& base,
                                                          std::string_view windows_path);

// `folder` and `name` joined by exactly one '\' (separators at the seam are collapsed). An
// empty part gives the other one unchanged.
std::string JoinWindowsPath(std::string_view folder, std::string_view name);

// The part after the last separator (or after "X:"): "C:\Vox\a.vox" -> "a.vox".
std::string WindowsFileName(std::string_view path);

// The part before the last separator, without trailing separators, but a root keeps its own:
// "C:\Vox\a.vox" -> "C:\Vox", "C:\a.vox" -> "C:\", "\a.vox" -> "\", "C:a.vox" -> "C:",
// "a.vox" -> "".
std::string WindowsFolder(std::string_view path);

// The name with its letters in one case, so that two Windows names that differ only in case
// fold to the same text. Names reach the node in Windows-1252, so the letters of that code page
// (ASCII and the accented Latin letters, UTF-8 encoded) are folded; other bytes stay as they are.
std::string FoldWindowsNameCase(std::string_view name);

// The entry of `folder` whose name equals `name` ignoring case: the exact spelling when it
// exists, else the first match in byte order; nullopt when there is none or the folder cannot
// be read.
std::optional<std::string> FindNameIgnoringCase(const std::filesystem::path& folder,
                                                std::string_view name);

}  // namespace ruzd::platform
