// The one table from the C library's errno values to the codes a Windows program would see: the
// Win32 code of a file function and the Windows Sockets code of a socket call.

#include <cerrno>
#include <cstddef>

#include "platform/win_error.h"
#include "platform/wsa_error.h"

namespace ruzd::platform {
namespace {

// 0 in a column: no counterpart of that kind.
struct ErrnoCodes {
    int errno_value;
    uint32_t win_error;
    int wsa_error;
};

constexpr ErrnoCodes kErrnoCodes[] = {
    {ENOENT, kErrorFileNotFound, 0},
    {ENOTDIR, kErrorPathNotFound, 0},
    {EMFILE, kErrorTooManyOpenFiles, kWsaEmfile},
    {ENFILE, kErrorTooManyOpenFiles, kWsaEmfile},
    {EACCES, kErrorAccessDenied, kWsaEacces},
    {EPERM, kErrorAccessDenied, kWsaEacces},
    // Windows refuses to open a folder as a file with "access denied".
    {EISDIR, kErrorAccessDenied, 0},
    {EBADF, kErrorInvalidHandle, kWsaEbadf},
    {ENOMEM, kErrorNotEnoughMemory, kWsaEnobufs},
    {EXDEV, kErrorNotSameDevice, 0},
    {EROFS, kErrorWriteProtect, 0},
    {ETXTBSY, kErrorSharingViolation, 0},
    {ENOSYS, kErrorNotSupported, 0},
    {EOPNOTSUPP, kErrorNotSupported, 0},
    {EEXIST, kErrorFileExists, 0},
    {EINVAL, kErrorInvalidParameter, kWsaEinval},
    {EPIPE, kErrorBrokenPipe, kWsaEconnaborted},
    {ENOSPC, kErrorDiskFull, 0},
    {EDQUOT, kErrorDiskFull, 0},
    {ENOTEMPTY, kErrorDirNotEmpty, 0},
    {EBUSY, kErrorBusy, 0},
    {ENAMETOOLONG, kErrorFilenameExcedRange, 0},
    {EFBIG, kErrorFileTooLarge, 0},
    {EINTR, kErrorOperationAborted, kWsaEintr},
    {EIO, kErrorIoDevice, 0},
    {ETIMEDOUT, kErrorTimeout, kWsaEtimedout},
    {ELOOP, kErrorCantResolveFilename, 0},
    {EFAULT, 0, kWsaEfault},
    {EAGAIN, 0, kWsaEwouldblock},
    {EINPROGRESS, 0, kWsaEinprogress},
    {EALREADY, 0, kWsaEalready},
    {ENOTSOCK, 0, kWsaEnotsock},
    {EMSGSIZE, 0, kWsaEmsgsize},
    {EAFNOSUPPORT, 0, kWsaEafnosupport},
    {EADDRINUSE, 0, kWsaEaddrinuse},
    {EADDRNOTAVAIL, 0, kWsaEaddrnotavail},
    {ENETDOWN, 0, kWsaEnetdown},
    {ENETUNREACH, 0, kWsaEnetunreach},
    {ENETRESET, 0, kWsaEnetreset},
    {ECONNABORTED, 0, kWsaEconnaborted},
    {ECONNRESET, 0, kWsaEconnreset},
    {ENOBUFS, 0, kWsaEnobufs},
    {EISCONN, 0, kWsaEisconn},
    {ENOTCONN, 0, kWsaEnotconn},
    {ESHUTDOWN, 0, kWsaEshutdown},
    {ECONNREFUSED, 0, kWsaEconnrefused},
    {EHOSTDOWN, 0, kWsaEhostdown},
    {EHOSTUNREACH, 0, kWsaEhostunreach},
};

const ErrnoCodes* Find(int errno_value) {
    for (const ErrnoCodes& row : kErrnoCodes) {
        if (row.errno_value == errno_value) {
            return &row;
        }
    }
    return nullptr;
}

}  // namespace

uint32_t WinErrorFromErrno(int errno_value) {
    if (errno_value == 0) {
        return kErrorSuccess;
    }
    const ErrnoCodes* row = Find(errno_value);
    return row != nullptr && row->win_error != 0 ? row->win_error : kErrorGenFailure;
}

int WsaErrorFromErrno(int errno_value) {
    if (errno_value == 0) {
        return kWsaOk;
    }
    const ErrnoCodes* row = Find(errno_value);
    return row != nullptr && row->wsa_error != 0 ? row->wsa_error : errno_value;
}

uint32_t WinErrorFromLastErrno() {
    return WinErrorFromErrno(errno);
}

}  // namespace ruzd::platform
