#include "platform/named_mutex.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/owner_only_file.h"
#include "platform/root.h"
#include "platform/text.h"
#include "platform/win_error.h"
#include "platform/win_path.h"

namespace ruzd::platform {
namespace {

constexpr size_t kMaxFileName = 255;
constexpr std::string_view kLockSuffix = ".lock";

std::string_view DropNamespacePrefix(std::string_view name) {
    for (std::string_view prefix : {std::string_view("Global\\"), std::string_view("Local\\")}) {
        if (name.size() >= prefix.size() &&
            EqualsIgnoreCase(name.substr(0, prefix.size()), prefix)) {
            return name.substr(prefix.size());
        }
    }
    return name;
}

bool KeptAsIs(char c, bool leading) {
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-' ||
           (c == '.' && !leading);
}

}  // namespace

NamedMutex::NamedMutex(std::string_view name) : name_(name) {}

NamedMutex::~NamedMutex() {
    Release();
}

std::optional<std::string> NamedMutex::LockFileName(std::string_view name) {
    const std::string folded = AsciiLower(FoldWindowsNameCase(DropNamespacePrefix(name)));
    if (folded.empty()) {
        return std::nullopt;
    }
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string file;
    for (char c : folded) {
        if (KeptAsIs(c, file.empty())) {
            file += c;
        } else {
            const auto byte = static_cast<unsigned char>(c);
            file += '%';
            file += kHex[byte >> 4];
            file += kHex[byte & 0x0F];
        }
    }
    file += kLockSuffix;
    if (file.size() > kMaxFileName) {
        return std::nullopt;
    }
    return file;
}

NamedMutex::Acquire NamedMutex::TryAcquire() {
    if (held()) {
        return Acquire::kAcquired;
    }
    const std::optional<std::string> file = LockFileName(name_);
    if (!file) {
        SetLastError(DropNamespacePrefix(name_).empty() ? kErrorInvalidName
                                                        : kErrorFilenameExcedRange);
        failure_ = "Cannot take the mutex \"" + name_ + "\": no name for a lock file";
        return Acquire::kFailed;
    }
    const std::string path = (RootSubdir("run") / *file).string();
    // Another account holding the lock would keep the program from starting ("already
    // running"), so the lock file is its owner's alone.
    const int fd = OpenOwnerLockFile(path);
    if (fd < 0) {
        const int error = errno;
        SetLastErrorFromErrno(error);
        failure_ = "Cannot take the mutex \"" + name_ + "\": " + OwnerLockFileProblem(path, error);
        return Acquire::kFailed;
    }
    int result;
    do {
        result = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        const int error = errno;
        ::close(fd);
        if (error == EWOULDBLOCK) {
            SetLastError(kErrorAlreadyExists);
            return Acquire::kHeldElsewhere;
        }
        SetLastErrorFromErrno(error);
        failure_ = "Cannot lock the lock file " + path + ": " + std::strerror(error);
        return Acquire::kFailed;
    }
    fd_ = fd;
    return Acquire::kAcquired;
}

void NamedMutex::Release() {
    // The lock file stays: removing it would let a process that opened it before the removal
    // lock a file nobody else can find any more.
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

}  // namespace ruzd::platform
