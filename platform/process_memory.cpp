#include "platform/process_memory.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstring>

#include "platform/proc_file.h"

namespace ruzd::platform {

ProcessMemory::ProcessMemory(pid_t pid)
    : fd_(::open(ProcFilePath(static_cast<uint32_t>(pid), "mem").c_str(), O_RDONLY | O_CLOEXEC)) {}

ProcessMemory::~ProcessMemory() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

std::string ProcessMemory::Read(uint64_t address, uint64_t size) const {
    std::string bytes(size, '\0');
    uint64_t done = 0;
    while (fd_ >= 0 && done < size) {
        const ssize_t got =
            ::pread(fd_, bytes.data() + done, size - done, static_cast<off_t>(address + done));
        if (got <= 0) {
            break;
        }
        done += static_cast<uint64_t>(got);
    }
    return bytes;
}

uint64_t ProcessMemory::ReadWord(uint64_t address) const {
    const std::string bytes = Read(address, sizeof(uint64_t));
    uint64_t word = 0;
    std::memcpy(&word, bytes.data(), sizeof word);
    return word;
}

}  // namespace ruzd::platform
