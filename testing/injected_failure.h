#pragma once

// A system call of a running program made to fail for real, as a failing disk would have it:
// strace attaches to the program (every thread and child of it) and makes each call of one kind
// on one file fail with one error until the object goes, when it lets the program go on as
// before.

#include <cstddef>
#include <filesystem>
#include <string>

#include "testing/child_program.h"
#include "testing/temp_root.h"

namespace ruzd::testing {

class InjectedFailure {
public:
    // Each `syscall` ("read", "write", or a set: "read,pread64") of process `pid` on the file
    // at `path` (a host path, as the program names it or as its descriptor resolves) fails with
    // `error` ("EIO", "ENOSPC").
    // Returns once strace holds the program, or gave up.
    InjectedFailure(pid_t pid, const std::filesystem::path& path, const std::string& syscall,
                    const std::string& error);
    // Lets the program go, and waits until strace has.
    ~InjectedFailure();
    InjectedFailure(const InjectedFailure&) = delete;
    InjectedFailure& operator=(const InjectedFailure&) = delete;

    // Whether the failure is in force; what strace said when it is not.
    bool active() const { return active_; }
    std::string Output() const;
    // How many calls were made to fail so far.
    size_t Injected() const;

private:
    TempDir folder_;
    pid_t strace_ = -1;
    bool active_ = false;
};

}  // namespace ruzd::testing
