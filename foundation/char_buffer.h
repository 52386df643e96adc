#pragma once

// Text handed to libraries that take fixed narrow character buffers.

#include <cstddef>
#include <string>

namespace ruzd::foundation {

// Converts `text` to the ANSI code page and copies at most size - 1 bytes into `buffer`,
// always ending it with a zero byte; a null text fills the whole buffer with zeros. Nothing is
// written when size is 0.
void CopyToCharBuffer(char* buffer, const std::string* text, size_t size);

}  // namespace ruzd::foundation
