#pragma once

// Files of this account that no other account may hold up. Anyone who can open a file can flock
// it, so a lock file others could open would let them stall its owner for as long as they like:
// such files are their owner's alone.

#include <sys/types.h>

#include <filesystem>

namespace ruzd::platform {

// Takes from a file or folder of this account the rights `keep` does not give (0600 keeps the
// owner's reading and writing). True when nothing had to change or the change took; a file of
// another account is left as it is (true), as this account could not change it anyway.
bool CloseToOthers(int fd, mode_t keep);

// Opens (or creates) a lock file of this account alone: 0600, never through a symbolic link, an
// older one open to others closed to them. The descriptor (close-on-exec), or -1 with errno set
// (EACCES: the file belongs to another account).
int OpenOwnerLockFile(const std::filesystem::path& path);

}  // namespace ruzd::platform
