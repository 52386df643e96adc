#include "foundation/crc32_shared.h"

#include <algorithm>
#include <vector>

#include "platform/text.h"
#include "platform/win_error.h"

namespace ruzd::foundation {
namespace {

// Large enough that the system calls cost little beside the checksum (4 KiB pieces ran at a
// third of zlib's in-memory speed), small enough to keep the memory bounded.
constexpr size_t kPieceSize = 64u << 10;
constexpr uint64_t kViewSize = 0xA00000;  // 10 MiB, a whole number of pages

// The caller's variable holds the register while the bytes go in and its complement once
// the function returns, whichever way it returns.
class ChecksumVariable {
public:
    explicit ChecksumVariable(uint32_t& crc32) : crc32_(crc32) { crc32_ = 0xFFFFFFFF; }
    ~ChecksumVariable() { crc32_ = ~crc32_; }
    ChecksumVariable(const ChecksumVariable&) = delete;
    ChecksumVariable& operator=(const ChecksumVariable&) = delete;

    void Add(const Crc32Step& step, const uint8_t* data, size_t size) {
        crc32_ = step(crc32_, data, size);
    }

private:
    uint32_t& crc32_;
};

}  // namespace

uint32_t Crc32OfTextLowBytes(const std::string& text, uint32_t& crc32, const Crc32Step& step) {
    ChecksumVariable checksum(crc32);
    const std::u16string units = platform::Utf8ToUtf16(text);
    std::vector<uint8_t> low_bytes(units.size());
    std::transform(units.begin(), units.end(), low_bytes.begin(),
                   [](char16_t unit) { return static_cast<uint8_t>(unit & 0xFF); });
    checksum.Add(step, low_bytes.data(), low_bytes.size());
    return platform::kErrorSuccess;
}

uint32_t Crc32OfFileInPieces(const std::string& path, uint32_t& crc32, const Crc32Step& step) {
    ChecksumVariable checksum(crc32);
    platform::ReadOnlyFile file;
    if (const uint32_t error = file.Open(path); error != platform::kErrorSuccess) {
        return error;
    }
    std::vector<uint8_t> piece(kPieceSize);
    for (;;) {
        const std::optional<size_t> count = file.Read(piece.data(), piece.size());
        if (!count) {
            return platform::GetLastError();
        }
        if (*count == 0) {
            return platform::kErrorSuccess;
        }
        checksum.Add(step, piece.data(), *count);
    }
}

uint32_t Crc32OfFileMapped(const std::string& path, uint32_t& crc32, const Crc32Step& step) {
    ChecksumVariable checksum(crc32);
    platform::ReadOnlyFile file;
    if (const uint32_t error = file.Open(path); error != platform::kErrorSuccess) {
        return error;
    }
    uint64_t size = 0;
    if (!QueryCrc32FileSize(file, size)) {
        return kCrc32ErrorBadLength;
    }
    for (uint64_t offset = 0; offset < size; offset += kViewSize) {
        const size_t view_size = static_cast<size_t>(std::min(kViewSize, size - offset));
        const platform::MappedFileView view = file.Map(offset, view_size);
        if (!view.is_mapped()) {
            return platform::GetLastError();
        }
        checksum.Add(step, view.data(), view.size());
    }
    return platform::kErrorSuccess;
}

bool QueryCrc32FileSize(const platform::ReadOnlyFile& file, uint64_t& size) {
    const std::optional<uint64_t> known = file.Size();
    size = known.value_or(0);
    return known.has_value();
}

}  // namespace ruzd::foundation
