#pragma once

// A file's new content written beside it a piece at a time and put in its place as one step:
// the pieces go into a scratch file, which Commit flushes to the disk and renames onto the file,
// so that a reader, or the program after a crash or a power cut, finds either the old content
// or the whole new one, never a part of either. A replacement that fails, or is dropped before
// its Commit, leaves the file as it was and takes its scratch file away.

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

namespace ruzd::platform {

class FileReplacement {
public:
    FileReplacement() = default;
    // Drops a replacement that was not committed.
    ~FileReplacement();
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;

    // Starts replacing `path` with a new scratch file in `scratchFolder` (made when missing; it
    // must lie on the file system of `path`). 0, or the Win32 code of the failure.
    uint32_t Begin(const std::filesystem::path& path, const std::filesystem::path& scratchFolder);
    // Appends to the new content. 0, or the Win32 code of the failure (then dropped).
    uint32_t Write(const void* data, size_t size);
    // Flushes the new content, gives it the permissions of the file it replaces (less the
    // denied ones; 0644 for a new file), renames it
    // onto that file and flushes the folder that holds the name. 0, or the Win32 code of the
    // failure: one before the rename drops the replacement; a failed flush of the folder comes
    // after it, the new content being in place but not sure to outlive a power cut.
    uint32_t Commit();
    // Takes the scratch file away; the file stays as it was.
    void Drop();

    bool IsBegun() const { return fd_ >= 0; }
    // Rights (S_IWGRP | S_IWOTH, say) the new content never gets, whatever the file it replaces
    // had: a file others could write would otherwise stay theirs to change.
    void DenyRights(mode_t rights) { denied_rights_ = rights; }

private:
    std::filesystem::path path_;
    std::string scratch_;
    int fd_ = -1;
    mode_t denied_rights_ = 0;
    // Bytes written since the disk was last asked to start writing them.
    size_t unflushed_ = 0;
};

// Renames `from` to `to`, never over a file that is there (kErrorFileExists), and flushes the
// folder that holds the names, so that the new name outlives a power cut. 0, or the Win32 code
// of the failure; one of the flush comes after the rename.
uint32_t RenameFileDurably(const std::filesystem::path& from, const std::filesystem::path& to);

}  // namespace ruzd::platform
