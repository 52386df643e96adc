#pragma once

// The blocks of a zip header's extra field: each a 16-bit tag, a 16-bit size and that many
// bytes, all little-endian.

#include <cstdint>
#include <string_view>
#include <vector>

namespace ruzd::foundation {

struct ZipExtraBlock {
    uint16_t tag = 0;
    std::string_view data;
    // False for a last block whose size runs past the field's end: its data is what there is.
    bool whole = true;
};

// The blocks of `extra` in order, viewing into it; bytes too few for a block's head end it.
std::vector<ZipExtraBlock> ZipExtraBlocks(std::string_view extra);

}  // namespace ruzd::foundation
