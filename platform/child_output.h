#pragma once

// The pipe a child process writes its standard output and standard error into (both into the
// one pipe, so that they stay interleaved as written), read here without blocking.

#include <cstddef>

namespace ruzd::platform {

class ChildOutput {
public:
    enum class OpenResult {
        kOpened,
        kPipeFailed,      // no pipe, or no handle for the child's standard output
        kErrorEndFailed,  // no second handle for the child's standard error
        kReadEndFailed,   // the reading end could not be set up
    };

    ChildOutput() = default;
    ~ChildOutput();
    ChildOutput(const ChildOutput&) = delete;
    ChildOutput& operator=(const ChildOutput&) = delete;

    // Makes the pipe; every handle lies above the three standard ones and is not inherited by
    // children except as the standard output and error that ChildProcess::Start sets up. On
    // failure the thread's last error tells why.
    OpenResult Open();

    // Waits up to `timeout_ms` for something to read (or the end); false when nothing came.
    bool WaitReadable(int timeout_ms) const;
    // Reads up to `limit` bytes: how many came, 0 at the end, below 0 when nothing is waiting.
    ptrdiff_t Read(char* buffer, size_t limit) const;
    // How many bytes are waiting in the pipe now.
    size_t Pending() const;

private:
    friend class ChildProcess;
    int read_end_ = -1;
    int write_end_ = -1;
    int error_end_ = -1;
};

}  // namespace ruzd::platform
