#include "platform/crt_flags.h"

#include <fcntl.h>

namespace ruzd::platform {
namespace {

constexpr uint32_t kKnownFlags = kCrtAccessMask | kCrtAppend | kCrtRandom | kCrtSequential |
                                 kCrtTemporary | kCrtNoInherit | kCrtCreate | kCrtTruncate |
                                 kCrtExclusive | kCrtShortLived | kCrtText | kCrtBinary;

}  // namespace

std::optional<int> CrtOpenFlagsToPosix(uint32_t crt_flags) {
    if ((crt_flags & ~kKnownFlags) != 0 || (crt_flags & kCrtTemporary) != 0) {
        return std::nullopt;
    }
    if ((crt_flags & (kCrtText | kCrtBinary)) == (kCrtText | kCrtBinary)) {
        return std::nullopt;
    }
    int flags = O_CLOEXEC;
    switch (crt_flags & kCrtAccessMask) {
        case kCrtReadOnly:
            if ((crt_flags & kCrtTruncate) != 0) {
                return std::nullopt;
            }
            flags |= O_RDONLY;
            break;
        case kCrtWriteOnly:
            flags |= O_WRONLY;
            break;
        case kCrtReadWrite:
            flags |= O_RDWR;
            break;
        default:
            return std::nullopt;
    }
    if ((crt_flags & kCrtAppend) != 0) {
        flags |= O_APPEND;
    }
    if ((crt_flags & kCrtTruncate) != 0) {
        flags |= O_TRUNC;
    }
    if ((crt_flags & kCrtCreate) != 0) {
        flags |= O_CREAT;
        if ((crt_flags & kCrtExclusive) != 0) {
            flags |= O_EXCL;
        }
    }
    return flags;
}

mode_t CrtPermissionToPosix(uint32_t crt_mode) {
    return (crt_mode & kCrtPermissionWrite) != 0 ? 0666 : 0444;
}

}  // namespace ruzd::platform
