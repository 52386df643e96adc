#include "foundation/zip_extra_fields.h"

#include <algorithm>

namespace ruzd::foundation {
namespace {

uint16_t Little16(std::string_view bytes, size_t at) {
    return static_cast<uint16_t>(static_cast<uint8_t>(bytes[at]) |
                                 (static_cast<uint8_t>(bytes[at + 1]) << 8));
}

}  // namespace

std::vector<ZipExtraBlock> ZipExtraBlocks(std::string_view extra) {
    std::vector<ZipExtraBlock> blocks;
    size_t at = 0;
    while (extra.size() - at >= 4) {
        const size_t size = Little16(extra, at + 2);
        const size_t data = at + 4;
        const size_t there = std::min(size, extra.size() - data);
        blocks.push_back({Little16(extra, at), extra.substr(data, there), there == size});
        at = data + there;
    }
    return blocks;
}

}  // namespace ruzd::foundation
