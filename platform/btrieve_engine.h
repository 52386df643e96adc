#pragma once

// A stand-in for the record-file engine the platform's callout file lives in, with the shape of
// its one call. It knows just enough for a file of fixed 250-byte records kept in insertion
// order, without a header, whose key 0 is the unsigned 32-bit number at byte 12: open, close,
// insert and get last (the greatest key; of equal keys the later record).
//
// The file name given to open is a Windows path, mapped at the call; existing folders and the
// file are found in any case. The engine never creates a file. An insert is one appended write
// under an exclusive lock, made durable before the call returns; one that fails leaves the file
// as it was.

#include <cstdint>

namespace ruzd::platform {

inline constexpr uint16_t kBtrieveOpen = 0;
inline constexpr uint16_t kBtrieveClose = 1;
inline constexpr uint16_t kBtrieveInsert = 2;
inline constexpr uint16_t kBtrieveGetLast = 13;

inline constexpr uint16_t kBtrieveRecordLength = 250;
inline constexpr uint32_t kBtrieveKeyOffset = 12;
inline constexpr uint32_t kBtrievePositionBlockSize = 128;

enum BtrieveStatus : int16_t {
    kBtrieveOk = 0,
    kBtrieveInvalidOperation = 1,
    kBtrieveIoError = 2,
    kBtrieveFileNotOpen = 3,
    kBtrieveDuplicateKey = 5,
    kBtrieveEndOfFile = 9,
    kBtrieveInvalidFileName = 11,
    kBtrieveFileNotFound = 12,
    kBtrieveDataBufferLength = 22,
    kBtrieveCorruptFile = 30,
    kBtrieveAccessDenied = 46,
    kBtrieveLocked = 85,
};

// `position_block` is the caller's 128 bytes (zeroed before an open); `key_buffer` holds the
// NUL-terminated file name for an open and receives the 4-byte key of a record got.
// `data_length` is the size of `data` in, the bytes returned out.
int16_t BtrieveCall(uint16_t operation, void* position_block, void* data, uint16_t* data_length,
                    void* key_buffer, int16_t key_number);

}  // namespace ruzd::platform
