#pragma once

// Files of this account that no other account may hold up. Anyone who can open a file can flock
// it, so a lock file others could open would let them stall its owner for as long as they like:
// such files are their owner's alone.

#include <sys/types.h>

#include <filesystem>
#include <string>

namespace ruzd::platform {

// Takes from a file or folder of this account the rights `keep` does not give (0600 keeps the
// owner's reading and writing). True when nothing had to change or the change took; a file of
// another account is left as it is (true), as this account could not change it anyway.
bool CloseToOthers(int fd, mode_t keep);

// Opens (or creates) a lock file of this account alone: a regular file, 0600, never through a
// symbolic link, an older one open to others closed to them. A lock file of another account is
// refused, even to root: whoever owns it may hold it for ever, and its owner's rights over it
// could open it to anyone again. The descriptor (close-on-exec), or -1 with errno set (EACCES:
// the file belongs to another account; kNotARegularFileError: it is no regular file).
int OpenOwnerLockFile(const std::filesystem::path& path);

// Why OpenOwnerLockFile refused `path` with `error`, as a phrase naming the file and, for one of
// another account, its owner: "the lock file /x/registry.reg.lock belongs to another account
// (uid 65534, nobody)".
std::string OwnerLockFileProblem(const std::filesystem::path& path, int error);

}  // namespace ruzd::platform
