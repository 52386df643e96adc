#include "platform/child_output.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/win_error.h"

namespace ruzd::platform {
namespace {

// A close-on-exec copy above the three standard descriptors, so that setting up the child's
// standard output and error can never overwrite it.
int DuplicateAboveStandardFds(int fd) {
    return ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
}

void CloseIfOpen(int& fd) {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

}  // namespace

ChildOutput::~ChildOutput() {
    CloseIfOpen(read_end_);
    CloseIfOpen(write_end_);
    CloseIfOpen(error_end_);
}

ChildOutput::OpenResult ChildOutput::Open() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        SetLastErrorFromErrno(errno);
        return OpenResult::kPipeFailed;
    }
    // The raw ends go whatever happens below.
    struct RawEnds {
        int* fds;
        ~RawEnds() {
            ::close(fds[0]);
            ::close(fds[1]);
        }
    } raw{fds};
    write_end_ = DuplicateAboveStandardFds(fds[1]);
    if (write_end_ < 0) {
        SetLastErrorFromErrno(errno);
        return OpenResult::kPipeFailed;
    }
    error_end_ = DuplicateAboveStandardFds(write_end_);
    if (error_end_ < 0) {
        SetLastErrorFromErrno(errno);
        return OpenResult::kErrorEndFailed;
    }
    read_end_ = DuplicateAboveStandardFds(fds[0]);
    if (read_end_ < 0) {
        SetLastErrorFromErrno(errno);
        return OpenResult::kReadEndFailed;
    }
    const int flags = ::fcntl(read_end_, F_GETFL);
    if (flags < 0 || ::fcntl(read_end_, F_SETFL, flags | O_NONBLOCK) != 0) {
        SetLastErrorFromErrno(errno);
        return OpenResult::kReadEndFailed;
    }
    return OpenResult::kOpened;
}

bool ChildOutput::WaitReadable(int timeout_ms) const {
    pollfd readable{read_end_, POLLIN, 0};
    return ::poll(&readable, 1, timeout_ms) > 0;
}

ptrdiff_t ChildOutput::Read(char* buffer, size_t limit) const {
    ssize_t got;
    do {
        got = ::read(read_end_, buffer, limit);
    } while (got < 0 && errno == EINTR);
    return got;
}

size_t ChildOutput::Pending() const {
    int pending = 0;
    if (::ioctl(read_end_, FIONREAD, &pending) != 0 || pending < 0) {
        return 0;
    }
    return static_cast<size_t>(pending);
}

}  // namespace ruzd::platform
