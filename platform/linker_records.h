#pragma once

// Where a process keeps what a debugger reads to find its loaded objects: the program's dynamic
// section, whose debug entry leads to the dynamic linker's debug record (r_debug); the list of
// loaded objects that record heads (one per namespace), with each entry's name and the object's
// own dynamic section; and the linker's own writable data, whose global record holds the lists
// of threads that thread debugging walks. A core dump that leaves any of these out shows no
// shared libraries, and no backtrace through them.

#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/process_memory.h"

namespace ruzd::platform {

struct MemoryRange {
    uint64_t start = 0;
    uint64_t end = 0;
};

// The ranges, read from the process's memory starting at its auxiliary vector (the bytes of
// /proc/PID/auxv), in no order. Their number and sizes stay bounded whatever the memory holds.
std::vector<MemoryRange> LinkerRecordRanges(const ProcessMemory& memory, std::string_view auxv);

}  // namespace ruzd::platform
