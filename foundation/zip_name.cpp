#include "foundation/zip_name.h"

#include "platform/text.h"

namespace ruzd::foundation {

std::optional<std::string> StrictCp1252(std::string_view text) {
    if (platform::FirstIllFormedUtf8(text) != std::string_view::npos) {
        return std::nullopt;
    }
    std::string bytes = platform::Utf8ToCp1252(text);
    if (platform::Cp1252ToUtf8(bytes) != text) {
        return std::nullopt;
    }
    return bytes;
}

}  // namespace ruzd::foundation
