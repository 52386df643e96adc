#pragma once

// Win32 error codes, as the programs report and compare them. The thread's last error, the
// mapping from errno and the error texts live beside these numbers.

#include <cstdint>
#include <string>

namespace ruzd::platform {

enum WinError : uint32_t {
    kErrorSuccess = 0,
    kErrorInvalidFunction = 1,
    kErrorFileNotFound = 2,
    kErrorPathNotFound = 3,
    kErrorTooManyOpenFiles = 4,
    kErrorAccessDenied = 5,
    kErrorInvalidHandle = 6,
    kErrorNotEnoughMemory = 8,
    kErrorInvalidData = 13,
    kErrorOutOfMemory = 14,
    kErrorWriteProtect = 19,
    kErrorNotReady = 21,
    kErrorSharingViolation = 32,
    kErrorLockViolation = 33,
    kErrorHandleEof = 38,
    kErrorNotSupported = 50,
    kErrorFileExists = 80,
    kErrorInvalidParameter = 87,
    kErrorBrokenPipe = 109,
    kErrorDiskFull = 112,
    kErrorInsufficientBuffer = 122,
    kErrorInvalidName = 123,
    kErrorModNotFound = 126,
    kErrorProcNotFound = 127,
    kErrorDirNotEmpty = 145,
    kErrorBusy = 170,
    kErrorAlreadyExists = 183,
    kErrorFilenameExcedRange = 206,
    kErrorMoreData = 234,
    kErrorWaitTimeout = 258,
    kErrorNoMoreItems = 259,
    kErrorKeyDeleted = 1018,
    kErrorBadPathname = 161,
    kErrorTimeout = 1460,
};

}  // namespace ruzd::platform
