#include "net/cache_file_receiver.h"

#include <zlib.h>

#include <utility>

#include "foundation/trace.h"
#include "net/cache_path.h"
#include "net/orvanthella_file_socket.h"
#include "platform/text.h"
#include "platform/win_error.h"
#include "platform/win_path.h"

namespace ruzd::net {

using foundation::Trace;

std::string FileErrorText(uint32_t code) {
    return platform::WinErrorText(code).substr(0, 256);
}

CacheFileReceiver::CacheFileReceiver(COrvanthellaFileSocket& socket, int32_t id, int32_t status,
                                     WaitingFile request, size_t length)
    : socket_(socket), id_(id), status_(status), request_(std::move(request)), length_(length) {}

uint32_t CacheFileReceiver::Begin(const std::filesystem::path& path) {
    return file_.Begin(path, platform::MapWindowsPath(kFileCacheIncomingFolder));
}

bool CacheFileReceiver::Take(const uint8_t* data, size_t length) {
    if (request_.expected) {
        crc32_ = static_cast<uint32_t>(crc32_z(crc32_, data, length));
    }
    if (const uint32_t error = file_.Write(data, length); error != 0) {
        Answer(FileErrorText(error), false);
        return false;
    }
    received_ += length;
    socket_.NoteRequestProgress(id_);
    return true;
}

void CacheFileReceiver::Finish() {
    // The request may have timed out while its block arrived: then nothing is written.
    if (!socket_.RequestedFile(id_)) {
        file_.Drop();
        return;
    }
    // The central server is the authority for the file's bytes: a copy unlike the figures it
    // named (a record of the file older than the file) is taken all the same, and said so.
    const std::optional<ExpectedFile>& expected = request_.expected;
    if (expected && (received_ != expected->size || crc32_ != expected->crc32)) {
        Trace(0, 0,
              "WARNING: TXFILE %ld: %s came with %llu bytes and the CRC-32 %08X, the central "
              "server named %llu bytes and the CRC-32 %08X",
              static_cast<long>(id_), request_.localPath.c_str(),
              static_cast<unsigned long long>(received_), crc32_,
              static_cast<unsigned long long>(expected->size), expected->crc32);
    }
    const uint32_t error = file_.Commit();
    if (error != 0) {
        Trace(0, 0, "TXFILE %ld: %s could not be put in place durably: %s", static_cast<long>(id_),
              request_.localPath.c_str(), FileErrorText(error).c_str());
    }
    Answer(error == 0 ? request_.localPath : FileErrorText(error), error == 0);
}

void CacheFileReceiver::Abandon() {
    file_.Drop();
    Trace(0, 0, "TXFILE %ld broken off after %llu of %zu bytes, the cached copy of %s stays",
          static_cast<long>(id_), static_cast<unsigned long long>(received_), length_,
          request_.localPath.c_str());
    Answer(platform::Format("Transfer broken off (%s)", request_.localPath.c_str()), false);
}

void CacheFileReceiver::Answer(const std::string& text, bool success) {
    socket_.AnswerRequest(id_, CSocketResult{status_, text, success});
}

}  // namespace ruzd::net
