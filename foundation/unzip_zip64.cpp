#include "foundation/unzip_zip64.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "foundation/unzip_input.h"
#include "foundation/zip_extra_fields.h"

namespace ruzd::foundation {
namespace {

constexpr std::string_view kEndRecordSignature = "PK\x05\x06";
constexpr std::string_view kZip64LocatorSignature = "PK\x06\x07";
constexpr uint64_t kEndRecordSize = 22;
constexpr uint64_t kMaxCommentSize = 0xFFFF;
constexpr uint64_t kLocatorSize = 20;
constexpr uint16_t kZip64Tag = 1;

}  // namespace

bool HasZip64EndLocator(UnzipInput& input) {
    // The end record nearest the end, as the archive was opened by it.
    const uint64_t tail_size = std::min(input.size(), kEndRecordSize + kMaxCommentSize);
    const uint64_t tail_start = input.size() - tail_size;
    std::string tail(tail_size, '\0');
    tail.resize(input.ReadAt(tail_start, tail.data(), tail.size()));
    const size_t end_record = tail.rfind(kEndRecordSignature);
    if (end_record == std::string::npos || tail_start + end_record < kLocatorSize) {
        return false;
    }
    std::string locator(kZip64LocatorSignature.size(), '\0');
    const size_t read =
        input.ReadAt(tail_start + end_record - kLocatorSize, locator.data(), locator.size());
    return read == locator.size() && locator == kZip64LocatorSignature;
}

bool HasZip64ExtraBlock(std::string_view extra) {
    const std::vector<ZipExtraBlock> blocks = ZipExtraBlocks(extra);
    return std::any_of(blocks.begin(), blocks.end(),
                       [](const ZipExtraBlock& block) { return block.tag == kZip64Tag; });
}

}  // namespace ruzd::foundation
