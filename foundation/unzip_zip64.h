#pragma once

// Signs of the zip format's 64-bit extension (ZIP64), which the reader refuses: its sizes,
// offsets and counts go beyond the 32-bit fields of the entry record and of every caller.

#include <string_view>

namespace ruzd::foundation {

class UnzipInput;

// Whether the archive's end record follows a ZIP64 end locator ("PK" 06 07).
bool HasZip64EndLocator(UnzipInput& input);

// Whether an extra field (blocks of a 16-bit tag, a 16-bit size and the data) holds the ZIP64
// block (tag 1).
bool HasZip64ExtraBlock(std::string_view extra);

}  // namespace ruzd::foundation
