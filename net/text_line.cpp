#include "net/text_line.h"

#include <cstring>

#include "foundation/static_tools.h"
#include "net/text_parameter.h"
#include "platform/text.h"

namespace ruzd::net {

std::optional<size_t> FindLineEnd(const uint8_t* data, size_t length, bool wide) {
    if (length == 0) {
        return std::nullopt;  // memchr is not to be given the null of an empty buffer
    }
    if (!wide) {
        const void* end = std::memchr(data, '\r', length);
        if (end == nullptr) {
            return std::nullopt;
        }
        return static_cast<size_t>(static_cast<const uint8_t*>(end) - data);
    }
    for (size_t pos = 0; pos + 1 < length; pos += 2) {
        if (data[pos] == '\r' && data[pos + 1] == 0) {
            return pos;
        }
    }
    return std::nullopt;
}

std::string DecodeLineText(const uint8_t* data, size_t length, bool wide) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), length);
    return wide ? platform::Utf16leBytesToUtf8(bytes) : platform::Cp1252ToUtf8(bytes);
}

std::string EncodeLineText(std::string_view text, bool wide) {
    return wide ? platform::Utf8ToUtf16leBytes(text) : platform::Utf8ToCp1252(text);
}

void SplitCommandLine(std::string_view line, std::string& word, std::string& parameters) {
    const size_t blank = line.find(' ');
    if (blank == std::string_view::npos || blank == 0) {
        word.assign(line);
        parameters.clear();
        return;
    }
    word.assign(line.substr(0, blank));
    parameters.assign(line.substr(blank + 1));
}

SocketParameters SplitParameters(std::string_view parameters) {
    SocketParameters fields;
    foundation::CStaticTools::SplitToStringArray(parameters, ' ', fields);
    for (std::string& field : fields) {
        field = DecodeParameter(field);
    }
    return fields;
}

std::optional<size_t> ParseBlockLength(std::string_view text, size_t maximum) {
    int32_t length = 0;
    if (!foundation::CStaticTools::StrToLongEx(text, &length) || length < 0 ||
        static_cast<uint64_t>(length) > maximum) {
        return std::nullopt;
    }
    return static_cast<size_t>(length);
}

}  // namespace ruzd::net
