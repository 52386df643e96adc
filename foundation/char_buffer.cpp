#include "foundation/char_buffer.h"

#include <algorithm>
#include <cstring>

#include "platform/text.h"

namespace ruzd::foundation {

void CopyToCharBuffer(char* buffer, const std::string* text, size_t size) {
    if (buffer == nullptr || size == 0)
        return;
    if (text == nullptr) {
        std::memset(buffer, 0, size);
        return;
    }
    const std::string narrow = platform::Utf8ToCp1252(*text);
    const size_t count = std::min(narrow.size(), size - 1);
    std::memcpy(buffer, narrow.data(), count);
    buffer[count] = '\0';
}

}  // namespace ruzd::foundation
