#include "platform/win_error.h"

#include <cerrno>
#include <set>
#include <thread>

#include <gtest/gtest.h>

namespace ruzd::platform {
namespace {

TEST(LastError, IsKeptPerThread) {
    SetLastError(kErrorAccessDenied);
    uint32_t seen_by_other_thread = 12345;
    std::thread other([&] {
        seen_by_other_thread = GetLastError();
        SetLastError(kErrorFileNotFound);
    });
    other.join();
    EXPECT_EQ(seen_by_other_thread, kErrorSuccess);
    EXPECT_EQ(GetLastError(), kErrorAccessDenied);
    SetLastError(kErrorSuccess);
}

TEST(LastError, SetFromErrnoReturnsAndStoresTheCode) {
    EXPECT_EQ(SetLastErrorFromErrno(ENOENT), kErrorFileNotFound);
    EXPECT_EQ(GetLastError(), kErrorFileNotFound);
    EXPECT_EQ(SetLastErrorFromErrno(0), kErrorSuccess);
    EXPECT_EQ(GetLastError(), kErrorSuccess);
}

TEST(ErrnoMapping, FileErrorsGetTheirWindowsCodes) {
    const struct {
        int errno_value;
        uint32_t code;
    } table[] = {
        {0, 0},        {ENOENT, 2},         {ENOTDIR, 3},  {EMFILE, 4},
        {ENFILE, 4},   {EACCES, 5},         {EPERM, 5},    {EISDIR, 5},
        {EBADF, 6},    {ENOMEM, 8},         {EXDEV, 17},   {EROFS, 19},
        {ETXTBSY, 32}, {ENOSYS, 50},        {EEXIST, 80},  {EINVAL, 87},
        {EPIPE, 109},  {ENOSPC, 112},       {EDQUOT, 112}, {ENOTEMPTY, 145},
        {EBUSY, 170},  {ENAMETOOLONG, 206}, {EFBIG, 223},  {EINTR, 995},
        {EIO, 1117},   {ETIMEDOUT, 1460},   {ELOOP, 1921},
    };
    for (const auto& row : table) {
        EXPECT_EQ(WinErrorFromErrno(row.errno_value), row.code) << "errno " << row.errno_value;
    }
}

TEST(ErrnoMapping, AnErrnoWithoutCounterpartIsAGeneralFailure) {
    EXPECT_EQ(WinErrorFromErrno(ECONNREFUSED), kErrorGenFailure);
    EXPECT_EQ(WinErrorFromErrno(-7), kErrorGenFailure);
}

TEST(ErrorText, EveryKnownCodeHasATextOfItsOwn) {
    const uint32_t known[] = {
        kErrorSuccess,
        kErrorInvalidFunction,
        kErrorFileNotFound,
        kErrorPathNotFound,
        kErrorTooManyOpenFiles,
        kErrorAccessDenied,
        kErrorInvalidHandle,
        kErrorNotEnoughMemory,
        kErrorInvalidData,
        kErrorOutOfMemory,
        kErrorNotSameDevice,
        kErrorWriteProtect,
        kErrorNotReady,
        kErrorGenFailure,
        kErrorSharingViolation,
        kErrorLockViolation,
        kErrorHandleEof,
        kErrorNotSupported,
        kErrorFileExists,
        kErrorInvalidParameter,
        kErrorBrokenPipe,
        kErrorDiskFull,
        kErrorInsufficientBuffer,
        kErrorInvalidName,
        kErrorModNotFound,
        kErrorProcNotFound,
        kErrorDirNotEmpty,
        kErrorBadPathname,
        kErrorBusy,
        kErrorAlreadyExists,
        kErrorFilenameExcedRange,
        kErrorFileTooLarge,
        kErrorMoreData,
        kErrorWaitTimeout,
        kErrorNoMoreItems,
        kErrorOperationAborted,
        kErrorKeyDeleted,
        kErrorIoDevice,
        kErrorInvalidWindowHandle,
        kErrorTimeout,
        kErrorCantResolveFilename,
    };
    std::set<std::string> texts;
    for (uint32_t code : known) {
        const std::string text = WinErrorText(code);
        EXPECT_NE(text, "Error " + std::to_string(code)) << "code " << code;
        EXPECT_EQ(text.find('\n'), std::string::npos) << "code " << code;
        EXPECT_TRUE(texts.insert(text).second) << "duplicate text for code " << code;
    }
}

TEST(ErrorText, AnUnknownCodeNamesItsNumber) {
    EXPECT_EQ(WinErrorText(4242), "Error 4242");
    EXPECT_EQ(WinErrorText(0xFFFFFFFFu), "Error 4294967295");
}

}  // namespace
}  // namespace ruzd::platform
