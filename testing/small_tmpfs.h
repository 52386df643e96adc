#pragma once

// A folder of the test on a small tmpfs, so that a program can be made to meet a full disk for
// real. The tmpfs is mounted in a mount namespace of the calling thread's own (made by the
// first one), which the programs the thread starts from now on share: the machine's mounts never
// see it, and it goes with the test's process whatever becomes of the test. Root only.

#include <cstddef>
#include <filesystem>

namespace ruzd::testing {

class SmallTmpfs {
public:
    // Mounts a tmpfs of `bytes` on `folder` (created when missing), which must stay empty for
    // as long as the tmpfs lies on it.
    SmallTmpfs(const std::filesystem::path& folder, size_t bytes);
    // Unmounts it, with whatever it holds.
    ~SmallTmpfs();
    SmallTmpfs(const SmallTmpfs&) = delete;
    SmallTmpfs& operator=(const SmallTmpfs&) = delete;

    bool mounted() const { return mounted_; }
    // Fills every byte left with a file of its own: from now on a write below the folder finds
    // no room, as on a full disk.
    void FillUp();
    // Removes that file again: room for writes as before.
    void MakeRoom();

private:
    std::filesystem::path folder_;
    bool mounted_ = false;
};

}  // namespace ruzd::testing
