#include "platform/write_whole.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace ruzd::platform {
namespace {

// The bytes written before a write failed, and the failure's errno (0: all were written).
struct WriteOutcome {
    size_t done = 0;
    int error = 0;
};

WriteOutcome WriteAsFarAsPossible(int fd, const char* bytes, size_t size) {
    WriteOutcome outcome;
    while (outcome.done < size) {
        const ssize_t n = ::write(fd, bytes + outcome.done, size - outcome.done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            // A write that wrote nothing and said nothing found no room.
            outcome.error = n < 0 ? errno : ENOSPC;
            return outcome;
        }
        outcome.done += static_cast<size_t>(n);
    }
    return outcome;
}

}  // namespace

bool WriteWhole(int fd, const void* data, size_t size) {
    const WriteOutcome outcome = WriteAsFarAsPossible(fd, static_cast<const char*>(data), size);
    if (outcome.error != 0) {
        errno = outcome.error;
        return false;
    }
    return true;
}

int AppendWholeOrNothing(int fd, const void* data, size_t size) {
    struct stat before {};
    if (::fstat(fd, &before) != 0) {
        return errno;
    }
    const WriteOutcome outcome = WriteAsFarAsPossible(fd, static_cast<const char*>(data), size);
    if (outcome.error != 0 && outcome.done != 0) {
        // Shrinking a file needs no room, so this works on a full disk too.
        while (::ftruncate(fd, before.st_size) != 0 && errno == EINTR) {
        }
    }
    return outcome.error;
}

}  // namespace ruzd::platform
