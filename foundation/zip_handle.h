#pragma once

// The handle of the zip library and what its two sides share: the kinds of sources and targets
// and the record of an entry.

#include <cstdint>
#include <memory>
#include <string>

namespace ruzd::foundation {

// Kinds of sources and targets. A handle (kind 1) is a file descriptor, passed in the pointer
// argument through ZipHandleArgument.
enum ZipKind : int32_t {
    kZipKindHandle = 1,
    kZipKindFileName = 2,  // a NUL-terminated Windows path
    kZipKindMemory = 3,
    kZipKindFolder = 4,  // the writer's folder entry, which has no data
};

inline const void* ZipHandleArgument(int32_t handle) {
    return reinterpret_cast<const void*>(static_cast<intptr_t>(handle));
}
inline int32_t ZipHandleFromArgument(const void* argument) {
    return static_cast<int32_t>(reinterpret_cast<intptr_t>(argument));
}

// One entry of an archive. Times are Windows file times (100-nanosecond steps since 1601, UTC);
// attributes are FILE_ATTRIBUTE_* bits.
struct ZipEntry {
    int32_t index = 0;
    std::string name;  // UTF-8, with the '/' the archive keeps
    uint32_t attributes = 0;
    uint64_t access_time = 0;
    uint64_t creation_time = 0;
    uint64_t modification_time = 0;
    uint32_t compressed_size = 0;
    uint32_t uncompressed_size = 0;
};

inline constexpr uint32_t kFileAttributeReadOnly = 0x1;
inline constexpr uint32_t kFileAttributeHidden = 0x2;
inline constexpr uint32_t kFileAttributeSystem = 0x4;
inline constexpr uint32_t kFileAttributeDirectory = 0x10;
inline constexpr uint32_t kFileAttributeArchive = 0x20;
inline constexpr uint32_t kFileAttributeNormal = 0x80;

class UnzipReader;
class ZipWriter;

// An archive open for reading (kind 1) or being written (kind 2).
struct ZipHandle {
    enum Side : int32_t { kReading = 1, kWriting = 2 };

    explicit ZipHandle(std::unique_ptr<UnzipReader> reader);
    explicit ZipHandle(std::unique_ptr<ZipWriter> writer);
    ~ZipHandle();
    ZipHandle(const ZipHandle&) = delete;
    ZipHandle& operator=(const ZipHandle&) = delete;

    const int32_t kind;
    const std::unique_ptr<UnzipReader> reader;
    const std::unique_ptr<ZipWriter> writer;
};

// kZipSuccess for a handle of the side; kZipFaultyArguments for a null handle,
// kZipMixedSides for one of the other side.
int32_t CheckZipHandle(const ZipHandle* handle, int32_t side);

}  // namespace ruzd::foundation
