#include "platform/win_error.h"

namespace ruzd::platform {
namespace {

thread_local uint32_t last_error = kErrorSuccess;

}  // namespace

uint32_t GetLastError() {
    return last_error;
}

void SetLastError(uint32_t code) {
    last_error = code;
}

bool FailWithError(uint32_t code) {
    SetLastError(code);
    return false;
}

uint32_t SetLastErrorFromErrno(int errno_value) {
    const uint32_t code = WinErrorFromErrno(errno_value);
    SetLastError(code);
    return code;
}

std::string WinErrorText(uint32_t code) {
    return KnownWinErrorText(code).value_or("Error " + std::to_string(code));
}

std::optional<std::string> KnownWinErrorText(uint32_t code) {
    switch (code) {
        case kErrorSuccess:
            return "No error";
        case kErrorInvalidFunction:
            return "The operation is not valid here";
        case kErrorFileNotFound:
            return "No such file";
        case kErrorPathNotFound:
            return "No such folder on the path";
        case kErrorTooManyOpenFiles:
            return "Too many files are open";
        case kErrorAccessDenied:
            return "Permission denied";
        case kErrorInvalidHandle:
            return "The handle is not valid";
        case kErrorNotEnoughMemory:
            return "Not enough memory for the operation";
        case kErrorInvalidData:
            return "The data are not valid";
        case kErrorOutOfMemory:
            return "Out of memory";
        case kErrorNotSameDevice:
            return "Source and destination are on different devices";
        case kErrorWriteProtect:
            return "The medium is write-protected";
        case kErrorNotReady:
            return "The device is not ready";
        case kErrorCrc:
            return "Data error (cyclic redundancy check)";
        case kErrorGenFailure:
            return "The device or system reported a failure";
        case kErrorSharingViolation:
            return "The file is in use by another process";
        case kErrorLockViolation:
            return "Part of the file is locked by another process";
        case kErrorHandleEof:
            return "Reached the end of the file";
        case kErrorNotSupported:
            return "The operation is not supported";
        case kErrorFileExists:
            return "The file already exists";
        case kErrorInvalidParameter:
            return "A parameter is not valid";
        case kErrorBrokenPipe:
            return "The other end of the pipe was closed";
        case kErrorDiskFull:
            return "No space left on the disk";
        case kErrorCallNotImplemented:
            return "This function is not supported on this system";
        case kErrorInsufficientBuffer:
            return "The buffer is too small for the data";
        case kErrorInvalidName:
            return "The file, folder or volume name is not valid";
        case kErrorInvalidLevel:
            return "The level given for the call is not valid";
        case kErrorModNotFound:
            return "The library could not be found or loaded";
        case kErrorProcNotFound:
            return "The library does not export the requested function";
        case kErrorDirNotEmpty:
            return "The folder is not empty";
        case kErrorBadPathname:
            return "The path is not valid";
        case kErrorBusy:
            return "The resource is busy";
        case kErrorAlreadyExists:
            return "An object of that name already exists";
        case kErrorFilenameExcedRange:
            return "The file name or path is too long";
        case kErrorFileTooLarge:
            return "The file is too large";
        case kErrorMoreData:
            return "More data are available";
        case kErrorWaitTimeout:
            return "The wait timed out";
        case kErrorNoMoreItems:
            return "There are no more items";
        case kErrorOperationAborted:
            return "The operation was interrupted";
        case kErrorKeyDeleted:
            return "The registry key was deleted";
        case kErrorInvalidServiceControl:
            return "The requested control is not valid for this service";
        case kErrorServiceRequestTimeout:
            return "The service did not respond to the start or control request in a timely "
                   "fashion";
        case kErrorServiceDatabaseLocked:
            return "The service database is locked";
        case kErrorServiceAlreadyRunning:
            return "An instance of the service is already running";
        case kErrorInvalidServiceAccount:
            return "The account name is invalid or does not exist, or the password is invalid "
                   "for the account name specified";
        case kErrorServiceDisabled:
            return "The service cannot be started, because it is disabled";
        case kErrorServiceDoesNotExist:
            return "The specified service does not exist as an installed service";
        case kErrorServiceCannotAcceptCtrl:
            return "The service cannot accept control messages at this time";
        case kErrorServiceNotActive:
            return "The service has not been started";
        case kErrorFailedServiceControllerConnect:
            return "The service process could not connect to the service controller";
        case kErrorServiceSpecificError:
            return "The service has returned a service-specific error code";
        case kErrorProcessAborted:
            return "The process terminated unexpectedly";
        case kErrorServiceDependencyFail:
            return "The dependency service or group failed to start";
        case kErrorServiceLogonFailed:
            return "The service did not start due to a logon failure";
        case kErrorDatabaseDoesNotExist:
            return "The database specified does not exist";
        case kErrorServiceMarkedForDelete:
            return "The specified service has been marked for deletion";
        case kErrorInvalidServiceLock:
            return "The specified service database lock is not valid";
        case kErrorServiceExists:
            return "The specified service already exists";
        case kErrorServiceNeverStarted:
            return "No attempts to start the service have been made since the last boot";
        case kErrorDuplicateServiceName:
            return "The name is already in use as either a service name or a service display name";
        case kErrorEventlogFileCorrupt:
            return "The event log file is corrupted";
        case kErrorRpcServerUnavailable:
            return "The RPC server is unavailable";
        case kErrorIoDevice:
            return "An input/output error occurred on the device";
        case kErrorInvalidWindowHandle:
            return "The window handle is not valid";
        case kErrorTimeout:
            return "The operation timed out";
        case kErrorCantResolveFilename:
            return "The file name could not be resolved (too many links)";
        default:
            return std::nullopt;
    }
}

}  // namespace ruzd::platform
