#pragma once

// The memory of another process, read through its memory file: the caller must be allowed to
// read it (its tracer, with the process stopped, for a consistent picture).

#include <sys/types.h>

#include <cstdint>
#include <string>

namespace ruzd::platform {

class ProcessMemory {
public:
    explicit ProcessMemory(pid_t pid);
    ~ProcessMemory();
    ProcessMemory(const ProcessMemory&) = delete;
    ProcessMemory& operator=(const ProcessMemory&) = delete;

    // The bytes; what cannot be read stays zero.
    std::string Read(uint64_t address, uint64_t size) const;
    // The 64-bit word at `address`; 0 when it cannot be read.
    uint64_t ReadWord(uint64_t address) const;

private:
    int fd_;
};

}  // namespace ruzd::platform
