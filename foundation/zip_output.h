#pragma once

// Where the zip writer writes an archive: a file it creates by name, a duplicate of a caller's
// file handle (a disk file from its position at creation, or a pipe that cannot seek back), or
// memory (the caller's block or one of the writer's own, grown as the archive grows).

#include <cstddef>
#include <cstdint>

#include "foundation/zip_handle.h"

namespace ruzd::foundation {

class ZipOutput {
public:
    ZipOutput() = default;
    ~ZipOutput();
    ZipOutput(const ZipOutput&) = delete;
    ZipOutput& operator=(const ZipOutput&) = delete;

    // Takes the target of the given kind: kZipSuccess or the code of the failure.
    int32_t Create(void* target, uint32_t length, int32_t kind);

    bool can_seek() const { return can_seek_; }
    bool is_memory() const { return kind_ == kZipKindMemory; }
    // Where the archive starts in the output; offsets in the archive count from the output's
    // start, so that they stay right behind data in front.
    uint64_t start() const { return start_; }
    // The output's position: its start plus the bytes written.
    uint64_t position() const { return start_ + written_; }
    const uint8_t* memory() const { return memory_; }
    uint64_t written() const { return written_; }

    // Appends the bytes: kZipSuccess, or kZipWriteFailed.
    int32_t Write(const void* data, size_t size);
    // Writes over bytes already written, at an output position: kZipSuccess, kZipUnseekable on
    // an output that cannot seek back, kZipMemorySize past a memory block's end, kZipWriteFailed.
    int32_t Rewrite(uint64_t position, const void* data, size_t size);

private:
    bool Grow(uint64_t needed);

    int32_t kind_ = 0;
    int32_t handle_ = -1;  // owned
    uint8_t* memory_ = nullptr;
    bool owns_memory_ = false;
    uint64_t capacity_ = 0;
    bool can_seek_ = false;
    uint64_t start_ = 0;
    uint64_t written_ = 0;
};

}  // namespace ruzd::foundation
