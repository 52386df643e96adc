#pragma once

// Win32 error codes, as the programs report and compare them. The thread's last error, the
// mapping from errno and the error texts live beside these numbers.

#include <cstdint>
#include <optional>
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
    kErrorNotSameDevice = 17,
    kErrorWriteProtect = 19,
    kErrorNotReady = 21,
    kErrorCrc = 23,
    kErrorGenFailure = 31,
    kErrorSharingViolation = 32,
    kErrorLockViolation = 33,
    kErrorHandleEof = 38,
    kErrorNotSupported = 50,
    kErrorFileExists = 80,
    kErrorInvalidParameter = 87,
    kErrorBrokenPipe = 109,
    kErrorDiskFull = 112,
    kErrorCallNotImplemented = 120,
    kErrorInsufficientBuffer = 122,
    kErrorInvalidName = 123,
    kErrorInvalidLevel = 124,
    kErrorModNotFound = 126,
    kErrorProcNotFound = 127,
    kErrorDirNotEmpty = 145,
    kErrorBadPathname = 161,
    kErrorBusy = 170,
    kErrorAlreadyExists = 183,
    kErrorFilenameExcedRange = 206,
    kErrorFileTooLarge = 223,
    kErrorMoreData = 234,
    kErrorWaitTimeout = 258,
    kErrorNoMoreItems = 259,
    kErrorOperationAborted = 995,
    kErrorKeyDeleted = 1018,
    kErrorInvalidServiceControl = 1052,
    kErrorServiceRequestTimeout = 1053,
    kErrorServiceDatabaseLocked = 1055,
    kErrorServiceAlreadyRunning = 1056,
    kErrorInvalidServiceAccount = 1057,
    kErrorServiceDisabled = 1058,
    kErrorServiceDoesNotExist = 1060,
    kErrorServiceCannotAcceptCtrl = 1061,
    kErrorServiceNotActive = 1062,
    kErrorFailedServiceControllerConnect = 1063,
    kErrorServiceSpecificError = 1066,
    kErrorProcessAborted = 1067,
    kErrorServiceDependencyFail = 1068,
    kErrorServiceLogonFailed = 1069,
    kErrorDatabaseDoesNotExist = 1065,
    kErrorInvalidServiceLock = 1071,
    kErrorServiceMarkedForDelete = 1072,
    kErrorServiceExists = 1073,
    kErrorServiceNeverStarted = 1077,
    kErrorDuplicateServiceName = 1078,
    kErrorIoDevice = 1117,
    kErrorInvalidWindowHandle = 1400,
    kErrorTimeout = 1460,
    kErrorEventlogFileCorrupt = 1500,
    kErrorRpcServerUnavailable = 1722,
    kErrorCantResolveFilename = 1921,
};

// The calling thread's last error, as GetLastError / SetLastError keep it. Every thread starts
// with kErrorSuccess.
uint32_t GetLastError();
void SetLastError(uint32_t code);

// The Win32 code a Windows file function would report for the C library's errno value. 0 gives
// kErrorSuccess; an errno with no closer counterpart gives kErrorGenFailure. The Windows Sockets
// codes come from the same table (platform/wsa_error.h).
uint32_t WinErrorFromErrno(int errno_value);

// WinErrorFromErrno of errno as the last failed C library or system call left it.
uint32_t WinErrorFromLastErrno();

// Sets the thread's last error and returns false, as a failing Win32 call does.
bool FailWithError(uint32_t code);

// SetLastError(WinErrorFromErrno(errno_value)); returns the code set.
uint32_t SetLastErrorFromErrno(int errno_value);

// A one-line English description of the code, without a final full stop. Codes without a text
// of their own give "Error <number>" with the number in decimal.
std::string WinErrorText(uint32_t code);

// The description of the code; none for a code without a text of its own.
std::optional<std::string> KnownWinErrorText(uint32_t code);

}  // namespace ruzd::platform
