#pragma once

// A file opened for appending only, as the logs keep theirs: created when missing (with the
// permissions asked for, by default readable by all and writable by the owner), every write
// lands at the end even while another process appends too, and no child process inherits it.
// Only a regular file is opened: a FIFO or a device in its place is refused at once, never
// waited on.

#include <cstdint>
#include <filesystem>
#include <string_view>

namespace ruzd::platform {

class AppendOnlyFile {
public:
    AppendOnlyFile() = default;
    ~AppendOnlyFile();  // closes
    AppendOnlyFile(const AppendOnlyFile&) = delete;
    AppendOnlyFile& operator=(const AppendOnlyFile&) = delete;

    // Opens `path`, first closing a file this object holds; false when it cannot be opened,
    // errno telling why. Only a regular file is opened: a FIFO or a device in its place is
    // refused at once (platform/regular_file.h), never waited on.
    bool Open(const std::filesystem::path& path, uint32_t mode = 0644);
    // Why the last Open failed (an errno, which OpenErrorText words); 0 after one that worked.
    int open_error() const { return open_error_; }
    void Close();
    bool is_open() const { return fd_ >= 0; }
    // The file's size now; 0 while none is open.
    uint64_t Size() const;

    // Writes all of `bytes`, going on after interruptions; stops at the first error: 0, or its
    // errno (EBADF while no file is open). A write that fails part way is taken back (see
    // AppendWholeOrNothing), so that the next line starts a line of its own: the file's writers
    // are this object's process alone, one at a time, as the logs' are.
    int WriteAll(std::string_view bytes);
    // The same under an exclusive lock that writers of other processes of this account take
    // too (on the file's name and ".lock", this account's alone), waited for at most a few
    // seconds: 0, or the errno of the failure. A lock not had within that bound (a writer of
    // this account that hangs) lets the bytes go in all the same, as one append, but a write
    // that fails part way is then left as it is: another writer may have appended meanwhile.
    int WriteAllExclusive(std::string_view bytes);

private:
    int fd_ = -1;
    int open_error_ = 0;
    std::filesystem::path lock_path_;
};

}  // namespace ruzd::platform
