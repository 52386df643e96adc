#pragma once

// A file opened for appending only, as the logs keep theirs: created when missing (with the
// permissions asked for, by default readable by all and writable by the owner), every write
// lands at the end even while another process appends too, and no child process inherits it.

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
    void Close();
    bool is_open() const { return fd_ >= 0; }
    // The errno of the last Open that failed (kNotARegularFileError for a FIFO); 0 after one
    // that succeeded.
    int open_error() const { return open_error_; }
    // The file's size now; 0 while none is open.
    uint64_t Size() const;

    // Writes all of `bytes`, going on after interruptions; stops at the first error. Nothing
    // happens while no file is open.
    void WriteAll(std::string_view bytes);
    // The same under an exclusive lock that writers of other processes of this account take
    // too (on the file's name and ".lock", this account's alone), waited for at most a few
    // seconds; false when the lock was not had or not everything was written.
    bool WriteAllExclusive(std::string_view bytes);

private:
    int fd_ = -1;
    int open_error_ = 0;
    std::filesystem::path lock_path_;
};

}  // namespace ruzd::platform
