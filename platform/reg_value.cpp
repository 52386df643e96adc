#include "platform/reg_value.h"

#include "platform/registry.h"
#include "platform/text.h"

namespace ruzd::platform {
namespace {

const std::string kWideNull(2, '\0');

// The UTF-16LE code units of `bytes` split at each null unit.
std::vector<std::string> WideStrings(std::string_view bytes) {
    std::vector<std::string> strings;
    std::string current;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        if (bytes[i] == '\0' && bytes[i + 1] == '\0') {
            strings.push_back(Utf16leBytesToUtf8(current));
            current.clear();
        } else {
            current.append(bytes.substr(i, 2));
        }
    }
    if (!current.empty()) {
        strings.push_back(Utf16leBytesToUtf8(current));
    }
    return strings;
}

}  // namespace

std::string RegSzBytes(std::string_view text) {
    return Utf8ToUtf16leBytes(text) + kWideNull;
}

std::string RegMultiSzBytes(const std::vector<std::string>& texts) {
    std::string bytes;
    for (const std::string& text : texts) {
        bytes += RegSzBytes(text);
    }
    return bytes + kWideNull;
}

std::string RegDwordBytes(uint32_t value) {
    std::string bytes;
    AppendLittleEndian32(bytes, value);
    return bytes;
}

std::optional<std::string> RegSzText(uint32_t type, std::string_view bytes) {
    if (type != kRegSz && type != kRegExpandSz) {
        return std::nullopt;
    }
    const std::vector<std::string> strings = WideStrings(bytes);
    return strings.empty() ? std::string() : strings.front();
}

std::optional<std::vector<std::string>> RegMultiSzTexts(uint32_t type, std::string_view bytes) {
    if (type != kRegMultiSz) {
        return std::nullopt;
    }
    std::vector<std::string> texts;
    for (std::string& text : WideStrings(bytes)) {
        if (text.empty()) {
            break;
        }
        texts.push_back(std::move(text));
    }
    return texts;
}

std::optional<uint32_t> RegDwordNumber(uint32_t type, std::string_view bytes) {
    if (type != kRegDword || bytes.size() != 4) {
        return std::nullopt;
    }
    return LittleEndian32(bytes, 0);
}

uint32_t LittleEndian32(std::string_view bytes, size_t offset) {
    uint32_t value = 0;
    for (size_t i = 0; i < 4; ++i) {
        value |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[offset + i])) << (8 * i);
    }
    return value;
}

void AppendLittleEndian32(std::string& bytes, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
    }
}

}  // namespace ruzd::platform
