#pragma once

// The programs that file-editing workers started for the user, by the worker's thread id, so
// that a caller can ask such a program to close. One map per process, each access a single map
// operation under its own lock.

#include <cstdint>
#include <optional>

namespace ruzd::foundation {

class StartedPrograms {
public:
    StartedPrograms() = delete;

    static void Add(uint32_t worker_thread, uint32_t process_id);
    static void Remove(uint32_t worker_thread);
    // The process the worker holds; none when it holds none.
    static std::optional<uint32_t> Find(uint32_t worker_thread);
};

}  // namespace ruzd::foundation
