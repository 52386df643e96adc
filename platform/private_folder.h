#pragma once

// Places of the program's own that other users of the machine must not reach or redirect: a
// folder only this user can write into, and files made new in it (never an existing file, never
// through a symbolic link), such as a program received over the network before it is run.

#include <cstdio>
#include <optional>
#include <string>

namespace ruzd::platform {

// Makes `path` a folder readable and writable by this user only (0700), or takes the one found
// there when it is a real folder (not a link) of this user that nobody else may write into.
// False when neither: the caller then asks for a fresh one.
bool EnsurePrivateFolder(const std::string& path);

// A new folder of this user only, named `prefix` and some random characters; none when it
// cannot be made.
std::optional<std::string> MakeFreshPrivateFolder(const std::string& prefix);

// Creates `path` for writing, readable and writable by this user only; fails (nullptr, errno
// set) when anything exists under that name, a symbolic link included.
std::FILE* CreateNewPrivateFile(const std::string& path);

}  // namespace ruzd::platform
