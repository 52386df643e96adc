#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace ruzd::foundation {

// The Windows-1252 bytes of a UTF-8 text, or none when the text is not well-formed UTF-8 or has
// a character the code page lacks (where a plain conversion would put '?').
std::optional<std::string> StrictCp1252(std::string_view text);

}  // namespace ruzd::foundation
