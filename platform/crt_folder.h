#pragma once

// The C run time's _mkdir for a folder named by a Windows path.

#include <string_view>

namespace ruzd::platform {

// The C library's errno number for an existing file or folder (as the run time numbers it).
inline constexpr int kCrtErrnoExists = 17;

// Makes the folder: 0, or the C library's error number (kCrtErrnoExists when it is there).
int CrtMakeFolder(std::string_view windows_path);

}  // namespace ruzd::platform
