#include "platform/btrieve_engine.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/regular_file.h"
#include "platform/win_path.h"

namespace ruzd::platform {
namespace {

constexpr uint32_t kOpenMagic = 0x56544242;  // marks a position block that holds an open file
constexpr auto kLockPatience = std::chrono::seconds(1);
constexpr auto kLockRetry = std::chrono::milliseconds(10);

struct Position {
    uint32_t magic;
    int32_t fd;
};

Position* PositionOf(void* block) {
    return static_cast<Position*>(block);
}

uint32_t KeyOf(const uint8_t* record) {
    uint32_t key = 0;
    std::memcpy(&key, record + kBtrieveKeyOffset, sizeof key);
    return key;
}

int16_t StatusOfErrno(int error) {
    switch (error) {
        case ENOENT:
        case ENOTDIR:
        case EISDIR:
        case kNotARegularFileError:
            return kBtrieveFileNotFound;
        case EACCES:
        case EPERM:
        case EROFS:
            return kBtrieveAccessDenied;
        case ENAMETOOLONG:
            return kBtrieveInvalidFileName;
        default:
            return kBtrieveIoError;
    }
}

int16_t ReadAll(int fd, std::vector<uint8_t>& content) {
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        return kBtrieveIoError;
    }
    if (info.st_size % kBtrieveRecordLength != 0) {
        return kBtrieveCorruptFile;
    }
    content.resize(static_cast<size_t>(info.st_size));
    size_t done = 0;
    while (done < content.size()) {
        const ssize_t got =
            ::pread(fd, content.data() + done, content.size() - done, static_cast<off_t>(done));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return kBtrieveIoError;
        }
        done += static_cast<size_t>(got);
    }
    return kBtrieveOk;
}

bool LockWithin(int fd) {
    const auto deadline = std::chrono::steady_clock::now() + kLockPatience;
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR) {
            return false;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(kLockRetry);
    }
    return true;
}

int16_t Open(Position& position, const void* key_buffer) {
    if (key_buffer == nullptr) {
        return kBtrieveInvalidFileName;
    }
    const std::string name(static_cast<const char*>(key_buffer),
                           ::strnlen(static_cast<const char*>(key_buffer), 4096));
    const std::filesystem::path path =
        name.empty() ? std::filesystem::path() : MapWindowsPath(name);
    if (path.empty()) {
        return kBtrieveInvalidFileName;
    }
    // A FIFO or a device in the file's place is no file of records: refused at once.
    const int fd = OpenRegularFile(path, O_RDWR);
    if (fd < 0) {
        return StatusOfErrno(errno);
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        ::close(fd);
        return kBtrieveFileNotFound;
    }
    if (info.st_size % kBtrieveRecordLength != 0) {
        ::close(fd);
        return kBtrieveCorruptFile;
    }
    position = Position{kOpenMagic, fd};
    return kBtrieveOk;
}

int16_t GetLast(int fd, void* data, uint16_t* data_length, void* key_buffer) {
    std::vector<uint8_t> content;
    if (const int16_t status = ReadAll(fd, content); status != kBtrieveOk) {
        return status;
    }
    if (content.empty()) {
        return kBtrieveEndOfFile;
    }
    const uint8_t* last = nullptr;
    for (size_t offset = 0; offset < content.size(); offset += kBtrieveRecordLength) {
        const uint8_t* record = content.data() + offset;
        if (last == nullptr || KeyOf(record) >= KeyOf(last)) {
            last = record;
        }
    }
    std::memcpy(data, last, kBtrieveRecordLength);
    *data_length = kBtrieveRecordLength;
    if (key_buffer != nullptr) {
        const uint32_t key = KeyOf(last);
        std::memcpy(key_buffer, &key, sizeof key);
    }
    return kBtrieveOk;
}

int16_t Insert(int fd, const void* data) {
    if (!LockWithin(fd)) {
        return kBtrieveLocked;
    }
    std::vector<uint8_t> content;
    int16_t status = ReadAll(fd, content);
    const uint32_t key = KeyOf(static_cast<const uint8_t*>(data));
    for (size_t offset = 0; status == kBtrieveOk && offset < content.size();
         offset += kBtrieveRecordLength) {
        if (KeyOf(content.data() + offset) == key) {
            status = kBtrieveDuplicateKey;
        }
    }
    if (status == kBtrieveOk) {
        const ssize_t written =
            ::pwrite(fd, data, kBtrieveRecordLength, static_cast<off_t>(content.size()));
        if (written != kBtrieveRecordLength || ::fsync(fd) != 0) {
            // A part of a record (a full disk cut the write short) would make the file's
            // length no multiple of a record, and every later open would call it corrupt: the
            // file goes back to its length before this insert, still under the lock, so that
            // the next insert finds it whole.
            status = kBtrieveIoError;
            while (::ftruncate(fd, static_cast<off_t>(content.size())) != 0 && errno == EINTR) {
            }
        }
    }
    ::flock(fd, LOCK_UN);
    return status;
}

}  // namespace

int16_t BtrieveCall(uint16_t operation, void* position_block, void* data, uint16_t* data_length,
                    void* key_buffer, int16_t key_number) {
    if (position_block == nullptr) {
        return kBtrieveFileNotOpen;
    }
    Position& position = *PositionOf(position_block);
    if (operation == kBtrieveOpen) {
        return Open(position, key_buffer);
    }
    if (operation != kBtrieveClose && operation != kBtrieveInsert && operation != kBtrieveGetLast) {
        return kBtrieveInvalidOperation;
    }
    if (position.magic != kOpenMagic) {
        return kBtrieveFileNotOpen;
    }
    if (operation == kBtrieveClose) {
        ::close(position.fd);
        position = Position{0, 0};
        return kBtrieveOk;
    }
    if (data == nullptr || data_length == nullptr || *data_length != kBtrieveRecordLength) {
        return kBtrieveDataBufferLength;
    }
    if (key_number != 0) {
        return kBtrieveInvalidOperation;
    }
    return operation == kBtrieveGetLast ? GetLast(position.fd, data, data_length, key_buffer)
                                        : Insert(position.fd, data);
}

}  // namespace ruzd::platform
