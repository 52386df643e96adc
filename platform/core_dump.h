#pragma once

// A crash dump of a stopped, traced process as an ELF core file that gdb reads: per thread its
// general and floating-point registers, the process's description, the faulting signal, the
// auxiliary vector and the mapped files, and a choice of its memory.
//
// The small kind keeps every thread's stack from its stack pointer up, its control block, and the
// 4 KiB pages that register values and stack values point to in writable memory; and, as a kernel
// core does, what a debugger needs to find the loaded objects and unwind through them: each
// object's ELF and program headers, the dynamic linker's records (platform/linker_records.h) and
// its data. Code and other file mappings are listed without their bytes (gdb reads them from the
// files). The larger kind adds all private writable memory, the writable mappings of the modules
// named, and a note listing the process's open descriptors.

#include <sys/types.h>

#include <csignal>
#include <string>
#include <vector>

#include "platform/process_tracer.h"

namespace ruzd::platform {

struct CoreDumpRequest {
    pid_t pid = 0;
    // The faulting thread first.
    std::vector<TracedThread> threads;
    siginfo_t signal_info{};
    int signal = 0;
    bool larger = false;
    // Base names (without extension, any case) of modules whose writable mappings the larger
    // kind keeps.
    std::vector<std::string> modules;
};

// The step of a dump that failed.
enum class CoreDumpStep { kNone, kCreate, kWrite };

// Writes the dump to `path`, a regular file made anew (a FIFO or a device in its place is
// refused, never waited on), and flushes it to the disk: 0, or the system's error, with the step
// that failed in `failed_step` when given. A dump whose writing failed is left as far as it got.
int WriteCoreDump(const std::string& path, const CoreDumpRequest& request,
                  CoreDumpStep* failed_step = nullptr);

}  // namespace ruzd::platform
