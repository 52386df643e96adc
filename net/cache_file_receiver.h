#pragma once

// The file a TXFILE block brings into the node's file cache, taken as its bytes arrive: they go
// into a scratch file of ".\FileCacheIncoming", which is flushed to the disk and renamed onto
// the file's place in the cache once every byte came. Until then the cache keeps the copy it
// had, and a transfer that fails or breaks off leaves it so. A copy whose size or CRC-32 is not
// the one the central server named is taken, with a warning. What the transfer holds in memory
// is the same whatever the file's size.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#include "net/block_sink.h"
#include "net/file_request_table.h"
#include "platform/file_replacement.h"

namespace ruzd::net {

class COrvanthellaFileSocket;

// The text of a file system failure as an answer carries it.
std::string FileErrorText(uint32_t code);

class CacheFileReceiver : public BlockSink {
public:
    // The answer to the request `id`, which waits on `socket` for `request`, with the status
    // `status` and a block of `length` bytes. The socket outlives the receiver.
    CacheFileReceiver(COrvanthellaFileSocket& socket, int32_t id, int32_t status,
                      WaitingFile request, size_t length);

    // Makes the scratch file for `path`, the request's place in the cache. 0, or the Win32 code
    // of the failure.
    uint32_t Begin(const std::filesystem::path& path);

    bool Take(const uint8_t* data, size_t length) override;
    // Puts the copy in its place unless the request is gone, and answers the request.
    void Finish() override;
    void Abandon() override;

private:
    void Answer(const std::string& text, bool success);

    COrvanthellaFileSocket& socket_;
    const int32_t id_;
    const int32_t status_;
    const WaitingFile request_;
    const size_t length_;
    platform::FileReplacement file_;
    uint64_t received_ = 0;
    // Kept only when there is an expected one to compare with.
    uint32_t crc32_ = 0;
};

}  // namespace ruzd::net
