#pragma once

// The file behind HKEY_LOCAL_MACHINE: <root>/registry.reg, shared by every process of the machine.
//
// A change locks the side file registry.reg.lock (flock), reads the store afresh, applies itself,
// writes a temporary file and renames it over the store, then counts the store's generation up in
// the lock file. The new file keeps the encoding and line ends of the one it replaces (see
// reg_text_form.h). Readers take no lock: the rename means they always read a whole file, and they
// parse it again only when the generation or the file itself (inode, size, times) has changed.
// Within a process one mutex serialises all of this.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "platform/reg_tree.h"

namespace ruzd::platform {

// How long a change waits for the store's lock.
inline constexpr uint32_t kRegistryLockWaitMs = 8000;

class RegistryStore {
public:
    static std::filesystem::path StorePath();

    // Whether this process may change the store: it can write the root folder (for the temporary
    // file and the rename) and, where they exist, the store and its lock file.
    static bool CanWrite();

    // Why the store cannot be read, as one sentence naming the file and, for text that is no
    // store, the line's number, the reason and the line; none when it can be (a missing store is
    // an empty one). Such a store is never written: every change to it fails.
    static std::optional<std::string> Problem();

    // Runs `read` on the current contents and returns its result; a store that cannot be read
    // gives kErrorAccessDenied, one that cannot be parsed kErrorInvalidData.
    static uint32_t Read(const std::function<uint32_t(const RegNode& root)>& read);

    // Runs `change` on fresh contents under the lock and writes them back when it returns 0,
    // with no write right for group or others. The lock is waited for kRegistryLockWaitMs at
    // most; a lock file of another account is refused (see owner_only_file.h), and so is a root
    // of which another account may write a part (see RootPartOthersMayWrite).
    static uint32_t Change(const std::function<uint32_t(RegNode& root)>& change);

    // Why this thread's last Change failed, as a phrase naming the file (the store, its lock or
    // its folder) and the reason, which it forgets; "" when it succeeded, its `change` refused
    // or nothing has been said since the last take.
    static std::string TakeChangeProblem();
};

}  // namespace ruzd::platform
