#include "foundation/zip_output.h"

#include <cstdlib>
#include <cstring>
#include <optional>

#include "foundation/zip_handle.h"
#include "foundation/zip_result.h"
#include "platform/file_handle.h"

namespace ruzd::foundation {

ZipOutput::~ZipOutput() {
    platform::CloseFileHandle(handle_);
    if (owns_memory_) {
        std::free(memory_);
    }
}

int32_t ZipOutput::Create(void* target, uint32_t length, int32_t kind) {
    if (kind_ != 0) {
        return kZipNotInitialised;
    }
    if (kind == kZipKindHandle) {
        handle_ = platform::DuplicateFileHandle(ZipHandleFromArgument(target));
        if (handle_ < 0) {
            return kZipDuplicateFailed;
        }
        const std::optional<platform::FileFacts> facts = platform::FileFactsOf(handle_);
        const std::optional<uint64_t> position = platform::FilePosition(handle_);
        can_seek_ = facts && facts->is_disk_file && position;
        start_ = can_seek_ ? *position : 0;
    } else if (kind == kZipKindFileName) {
        if (target == nullptr) {
            return kZipFaultyArguments;
        }
        handle_ = platform::CreateFileForWriting(static_cast<const char*>(target));
        if (handle_ < 0) {
            return kZipCannotOpenFile;
        }
        can_seek_ = true;
    } else if (kind == kZipKindMemory) {
        if (length == 0) {
            return kZipMemorySize;
        }
        memory_ = static_cast<uint8_t*>(target);
        if (memory_ == nullptr) {
            memory_ = static_cast<uint8_t*>(std::malloc(length));
            if (memory_ == nullptr) {
                return kZipNoMemory;
            }
            owns_memory_ = true;
        }
        capacity_ = length;
        can_seek_ = true;
    } else {
        return kZipFaultyArguments;
    }
    kind_ = kind;
    return kZipSuccess;
}

bool ZipOutput::Grow(uint64_t needed) {
    const uint64_t capacity = needed > capacity_ * 2 ? needed : capacity_ * 2;
    if (capacity > SIZE_MAX) {
        return false;
    }
    uint8_t* grown = nullptr;
    if (owns_memory_) {
        grown = static_cast<uint8_t*>(std::realloc(memory_, capacity));
    } else {
        // The caller's block stays the caller's: the archive moves to a block of our own.
        grown = static_cast<uint8_t*>(std::malloc(capacity));
        if (grown != nullptr) {
            std::memcpy(grown, memory_, written_);
        }
    }
    if (grown == nullptr) {
        return false;
    }
    memory_ = grown;
    owns_memory_ = true;
    capacity_ = capacity;
    return true;
}

int32_t ZipOutput::Write(const void* data, size_t size) {
    if (size == 0) {
        return kZipSuccess;
    }
    if (is_memory()) {
        if (written_ + size > capacity_ && !Grow(written_ + size)) {
            return kZipWriteFailed;
        }
        std::memcpy(memory_ + written_, data, size);
    } else if (!platform::WriteFileWhole(handle_, data, size)) {
        return kZipWriteFailed;
    }
    written_ += size;
    return kZipSuccess;
}

int32_t ZipOutput::Rewrite(uint64_t position, const void* data, size_t size) {
    if (!can_seek_) {
        return kZipUnseekable;
    }
    if (position < start_ || position - start_ + size > written_) {
        return is_memory() ? kZipMemorySize : kZipUnseekable;
    }
    if (is_memory()) {
        std::memcpy(memory_ + (position - start_), data, size);
        return kZipSuccess;
    }
    return platform::WriteFileAt(handle_, position, data, size) ? kZipSuccess : kZipWriteFailed;
}

}  // namespace ruzd::foundation
