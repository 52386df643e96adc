#include "foundation/unzip_input.h"

#include <cstring>
#include <optional>

#include "foundation/zip_handle.h"
#include "foundation/zip_result.h"
#include "platform/file_handle.h"

namespace ruzd::foundation {

UnzipInput::~UnzipInput() {
    platform::CloseFileHandle(handle_);
}

int32_t UnzipInput::Open(const void* source, uint32_t length, int32_t kind) {
    if (kind == kZipKindFileName) {
        if (source == nullptr) {
            return kZipFaultyArguments;
        }
        handle_ = platform::OpenFileForReading(static_cast<const char*>(source));
        if (handle_ < 0) {
            return kZipCannotOpenFile;
        }
    } else if (kind == kZipKindHandle) {
        const int32_t callers = ZipHandleFromArgument(source);
        const std::optional<platform::FileFacts> facts = platform::FileFactsOf(callers);
        if (!facts || !facts->is_disk_file) {
            return kZipUnseekable;
        }
        handle_ = platform::DuplicateFileHandle(callers);
        if (handle_ < 0) {
            return kZipDuplicateFailed;
        }
        start_ = platform::FilePosition(handle_).value_or(0);
    } else if (kind == kZipKindMemory) {
        if (source == nullptr && length > 0) {
            return kZipFaultyArguments;
        }
        memory_ = static_cast<const uint8_t*>(source);
        size_ = length;
        return kZipSuccess;
    } else {
        return kZipFaultyArguments;
    }
    const std::optional<platform::FileFacts> facts = platform::FileFactsOf(handle_);
    if (!facts) {
        return kZipReadFailed;
    }
    size_ = facts->size > start_ ? facts->size - start_ : 0;
    return kZipSuccess;
}

zlib_filefunc64_def UnzipInput::Functions() {
    zlib_filefunc64_def functions{};
    functions.zopen64_file = &UnzipInput::OpenStream;
    functions.zread_file = &UnzipInput::ReadStream;
    functions.zwrite_file = &UnzipInput::WriteStream;
    functions.ztell64_file = &UnzipInput::TellStream;
    functions.zseek64_file = &UnzipInput::SeekStream;
    functions.zclose_file = &UnzipInput::CloseStream;
    functions.zerror_file = &UnzipInput::StreamError;
    functions.opaque = nullptr;
    return functions;
}

size_t UnzipInput::Read(void* buffer, size_t size) {
    const uint64_t left = position_ < size_ ? size_ - position_ : 0;
    if (size > left) {
        size = static_cast<size_t>(left);
    }
    if (size == 0) {
        return 0;
    }
    if (memory_ != nullptr) {
        std::memcpy(buffer, memory_ + position_, size);
        position_ += size;
        return size;
    }
    const std::optional<size_t> read =
        platform::ReadFileAt(handle_, start_ + position_, buffer, size);
    if (!read) {
        read_failed_ = true;
        return 0;
    }
    position_ += *read;
    return *read;
}

size_t UnzipInput::ReadAt(uint64_t offset, void* buffer, size_t size) {
    const uint64_t was = position_;
    position_ = offset;
    const size_t read = Read(buffer, size);
    position_ = was;
    return read;
}

voidpf UnzipInput::OpenStream(voidpf, const void* input, int) {
    return const_cast<void*>(input);
}

uLong UnzipInput::ReadStream(voidpf, voidpf stream, void* buffer, uLong size) {
    return static_cast<UnzipInput*>(stream)->Read(buffer, size);
}

uLong UnzipInput::WriteStream(voidpf, voidpf, const void*, uLong) {
    return 0;  // the reader never writes
}

ZPOS64_T UnzipInput::TellStream(voidpf, voidpf stream) {
    return static_cast<UnzipInput*>(stream)->position_;
}

long UnzipInput::SeekStream(voidpf, voidpf stream, ZPOS64_T offset, int origin) {  // NOLINT
    UnzipInput* input = static_cast<UnzipInput*>(stream);
    uint64_t base = 0;
    if (origin == ZLIB_FILEFUNC_SEEK_CUR) {
        base = input->position_;
    } else if (origin == ZLIB_FILEFUNC_SEEK_END) {
        base = input->size_;
    } else if (origin != ZLIB_FILEFUNC_SEEK_SET) {
        return -1;
    }
    // minizip steps back by passing a negative step as its unsigned image: the sum wraps to it.
    const uint64_t target = base + offset;
    if (target > input->size_) {
        return -1;
    }
    input->position_ = target;
    return 0;
}

int UnzipInput::CloseStream(voidpf, voidpf) {
    return 0;  // the source goes with this object
}

int UnzipInput::StreamError(voidpf, voidpf stream) {
    return static_cast<UnzipInput*>(stream)->read_failed_ ? 1 : 0;
}

}  // namespace ruzd::foundation
