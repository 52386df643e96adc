#include <algorithm>
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
constexpr size_t kFirstUnzipBlock = 64 * 1024;

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
        *length > kMaxUnzippedBuffer) {
        return false;  // more than UnzipBuffer would give back
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
    // A size above the bound is refused before anything is inflated: the data is either larger
    // than any buffer this takes or not what the archive says.
    if (UnzipGetItem(archive, 0, &entry) != kZipSuccess ||
        entry.uncompressed_size > kMaxUnzippedBuffer) {
        return false;
    }
    // The block grows with what arrives, never to the size the archive merely claims, and
    // never past one byte beyond the bound, which is how data beyond it shows.
    std::vector<uint8_t> data;
    size_t filled = 0;
    for (;;) {
        if (filled == data.size()) {
            if (data.size() > kMaxUnzippedBuffer) {
                return false;
            }
            const size_t grown = std::min<size_t>(std::max(data.size() * 2, kFirstUnzipBlock),
                                                  size_t{kMaxUnzippedBuffer} + 1);
            data.reserve(grown);
            data.resize(grown);
        }
        uint32_t delivered = 0;
        const int32_t read = UnzipReadItem(archive, 0, data.data() + filled,
                                           static_cast<uint32_t>(data.size() - filled), &delivered);
        if (read == kZipSuccess) {
            break;  // all of it came, of the size and CRC-32 the archive gives
        }
        if (read != kZipMoreData) {
            return false;
        }
        filled += delivered;
    }
    uint8_t* result = Allocate(filled, use_malloc);
    if (result == nullptr) {
        return false;
    }
    if (filled > 0) {
        std::memcpy(result, data.data(), filled);
    }
    if (free_old) {
        Release(*buffer, use_malloc);
    }
    *buffer = result;
    *length = static_cast<uint32_t>(filled);
    return true;
}

}  // namespace ruzd::foundation
