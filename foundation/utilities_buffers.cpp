#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "foundation/unzip.h"
#include "foundation/utilities.h"
#include "foundation/zip.h"

namespace ruzd::foundation {
namespace {

constexpr uint32_t kRunLimit = 255;
constexpr uint32_t kArchiveRoom = 256;
constexpr int32_t kBufferLevel = 8;

// A block for the caller: malloc'ed, or an array of new[]; null when there is no memory.
uint8_t* Allocate(size_t size, bool use_malloc) {
    if (use_malloc) {
        return static_cast<uint8_t*>(std::malloc(size == 0 ? 1 : size));
    }
    return new (std::nothrow) uint8_t[size == 0 ? 1 : size];
}

void Release(uint8_t* block, bool use_malloc) {
    if (use_malloc) {
        std::free(block);
    } else {
        delete[] block;
    }
}

// Replaces the caller's buffer (an array of new[]) by what `code` makes of it.
template <typename Coder>
void CodeInPlace(uint8_t** buffer, uint32_t* length, bool free_old, Coder code) {
    if (buffer == nullptr || length == nullptr || (*buffer == nullptr && *length > 0)) {
        return;
    }
    const std::vector<uint8_t> result = code(*buffer, *length);
    uint8_t* replacement = Allocate(result.size(), false);
    if (replacement == nullptr) {
        return;  // the caller keeps what it had
    }
    if (!result.empty()) {
        std::memcpy(replacement, result.data(), result.size());
    }
    if (free_old) {
        Release(*buffer, false);
    }
    *buffer = replacement;
    *length = static_cast<uint32_t>(result.size());
}

// Closes the archive on every way out of a buffer operation.
class ArchiveCloser {
public:
    explicit ArchiveCloser(ZipHandle* handle) : handle_(handle) {}
    ~ArchiveCloser() {
        if (IsUnzipHandle(handle_)) {
            UnzipClose(handle_);
        } else {
            ZipClose(handle_);
        }
    }
    ArchiveCloser(const ArchiveCloser&) = delete;
    ArchiveCloser& operator=(const ArchiveCloser&) = delete;

private:
    ZipHandle* handle_;
};

}  // namespace

void CUtilities::RunLengthEncode(uint8_t** buffer, uint32_t* length, bool free_old) {
    CodeInPlace(buffer, length, free_old, [](const uint8_t* input, uint32_t size) {
        std::vector<uint8_t> result;
        result.reserve(size);
        uint32_t at = 0;
        while (at < size) {
            const uint8_t byte = input[at];
            uint32_t run = 1;
            while (at + run < size && input[at + run] == byte && run < kRunLimit) {
                ++run;
            }
            result.push_back(byte);
            if (run > 1) {
                result.push_back(byte);
                result.push_back(static_cast<uint8_t>(run));
            }
            at += run;
        }
        return result;
    });
}

void CUtilities::RunLengthDecode(uint8_t** buffer, uint32_t* length, bool free_old) {
    CodeInPlace(buffer, length, free_old, [](const uint8_t* input, uint32_t size) {
        std::vector<uint8_t> result;
        result.reserve(size);
        uint32_t at = 0;
        while (at < size) {
            const uint8_t byte = input[at];
            result.push_back(byte);
            if (at + 1 >= size || input[at + 1] != byte) {
                at += 1;
                continue;
            }
            if (at + 2 >= size) {
                break;  // a pair without its count
            }
            // A count below 2 comes from no encoder: it adds no copies.
            const uint8_t count = input[at + 2];
            if (count > 1) {
                result.insert(result.end(), count - 1u, byte);
            }
            at += 3;
        }
        return result;
    });
}

bool CUtilities::ZipBuffer(uint8_t** buffer, uint32_t* length, bool free_old, bool use_malloc) {
    if (buffer == nullptr || length == nullptr || (*buffer == nullptr && *length > 0) ||
        *length > UINT32_MAX - kArchiveRoom) {
        return false;
    }
    ZipHandle* archive = ZipCreate(nullptr, *length + kArchiveRoom, kZipKindMemory);
    if (archive == nullptr) {
        return false;
    }
    ArchiveCloser closer(archive);
    const uint8_t* zipped = nullptr;
    uint32_t zipped_length = 0;
    if (ZipAddItem(archive, "data", *buffer, *length, kZipKindMemory, kBufferLevel) !=
            kZipSuccess ||
        ZipGetOutputMemory(archive, &zipped, &zipped_length) != kZipSuccess) {
        return false;
    }
    uint8_t* result = Allocate(zipped_length, use_malloc);
    if (result == nullptr) {
        return false;
    }
    std::memcpy(result, zipped, zipped_length);
    if (free_old) {
        Release(*buffer, use_malloc);
    }
    *buffer = result;
    *length = zipped_length;
    return true;
}

bool CUtilities::UnzipBuffer(uint8_t** buffer, uint32_t* length, bool free_old, bool use_malloc) {
    if (buffer == nullptr || length == nullptr || *buffer == nullptr) {
        return false;
    }
    ZipHandle* archive = UnzipOpen(*buffer, *length, kZipKindMemory);
    if (archive == nullptr) {
        return false;
    }
    ArchiveCloser closer(archive);
    ZipEntry entry;
    if (UnzipGetItem(archive, 0, &entry) != kZipSuccess) {
        return false;
    }
    const uint32_t size = entry.uncompressed_size;
    uint8_t* result = Allocate(size, use_malloc);
    if (result == nullptr) {
        return false;
    }
    std::memset(result, 0, size == 0 ? 1 : size);
    int32_t extracted = UnzipExtractItem(archive, 0, result, size, kZipKindMemory);
    if (extracted == kZipMoreData) {
        // Only the call that finds nothing left checks the data against its CRC-32, and finds
        // data beyond the size the archive promised.
        extracted = UnzipExtractItem(archive, 0, result, 0, kZipKindMemory);
    }
    if (extracted != kZipSuccess) {
        Release(result, use_malloc);
        return false;
    }
    if (free_old) {
        Release(*buffer, use_malloc);
    }
    *buffer = result;
    *length = size;
    return true;
}

}  // namespace ruzd::foundation
