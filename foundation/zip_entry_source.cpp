#include "foundation/zip_entry_source.h"

#include <cstring>

#include "foundation/zip_handle.h"
#include "foundation/zip_result.h"
#include "platform/file_handle.h"

namespace ruzd::foundation {
namespace {

// The high 16 bits are a Unix mode: regular file or folder, owner read, write, execute.
constexpr uint32_t kUnixFile = 0x80000000;
constexpr uint32_t kUnixFolder = 0x40000000;
constexpr uint32_t kUnixOwnerRead = 0x01000000;
constexpr uint32_t kUnixOwnerWrite = 0x00800000;
constexpr uint32_t kUnixOwnerExecute = 0x00400000;

uint32_t ExternalAttributesOf(const platform::FileFacts& facts) {
    const bool read_only = !facts.owner_can_write;
    uint32_t attributes = facts.is_folder ? kUnixFolder | kFileAttributeDirectory : kUnixFile;
    attributes |= kUnixOwnerRead;
    attributes |= read_only ? kFileAttributeReadOnly : kUnixOwnerWrite;
    if (facts.owner_can_execute) {
        attributes |= kUnixOwnerExecute;
    }
    return attributes;
}

}  // namespace

ZipEntrySource::~ZipEntrySource() {
    if (owns_handle_) {
        platform::CloseFileHandle(handle_);
    }
}

int32_t ZipEntrySource::Open(const void* source, uint32_t length, int32_t kind) {
    const platform::WallTime now = platform::CurrentClock().Now();
    modification_time_ = access_time_ = creation_time_ = now;
    external_attributes_ = kUnixFile;
    switch (kind) {
        case kZipKindFileName: {
            if (source == nullptr) {
                return kZipFaultyArguments;
            }
            const int32_t handle = platform::OpenFileForReading(static_cast<const char*>(source));
            return handle < 0 ? kZipCannotOpenFile : TakeFile(handle, true);
        }
        case kZipKindHandle:
            if (TakeFile(ZipHandleFromArgument(source), false) != kZipSuccess) {
                // Not a disk file: read as it comes, with the size the caller gave.
                reads_at_offset_ = false;
                external_attributes_ = kUnixFile;
                modification_time_ = access_time_ = creation_time_ = now;
                size_ = length == 0 ? std::nullopt : std::optional<uint64_t>(length);
            }
            return kZipSuccess;
        case kZipKindMemory:
            if (source == nullptr && length > 0) {
                return kZipFaultyArguments;
            }
            is_memory_ = true;
            memory_ = static_cast<const uint8_t*>(source);
            size_ = length;
            return kZipSuccess;
        case kZipKindFolder:
            is_folder_ = true;
            size_ = 0;
            external_attributes_ = 0x41C00010;
            return kZipSuccess;
        default:
            return kZipFaultyArguments;
    }
}

int32_t ZipEntrySource::TakeFile(int32_t handle, bool owned) {
    handle_ = handle;
    owns_handle_ = owned;
    const std::optional<platform::FileFacts> facts = platform::FileFactsOf(handle);
    if (!facts || !facts->is_disk_file) {
        return kZipCannotOpenFile;
    }
    reads_at_offset_ = true;
    size_ = facts->size;
    external_attributes_ = ExternalAttributesOf(*facts);
    modification_time_ = facts->modification_time;
    access_time_ = facts->access_time;
    creation_time_ = facts->modification_time;
    return kZipSuccess;
}

std::optional<size_t> ZipEntrySource::Read(void* buffer, size_t size) {
    if (is_folder_) {
        return 0;
    }
    if (is_memory_) {
        const uint64_t left = *size_ - offset_;
        const size_t count = left < size ? static_cast<size_t>(left) : size;
        if (count > 0) {
            std::memcpy(buffer, memory_ + offset_, count);
        }
        offset_ += count;
        return count;
    }
    const std::optional<size_t> read = reads_at_offset_
                                           ? platform::ReadFileAt(handle_, offset_, buffer, size)
                                           : platform::ReadFileSome(handle_, buffer, size);
    if (read) {
        offset_ += *read;
    }
    return read;
}

}  // namespace ruzd::foundation
