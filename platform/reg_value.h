#pragma once

// The bytes of the registry's value types as Windows keeps them (strings in UTF-16LE with their
// terminating null, a multi-string as its strings each with its null and one null more, a DWORD
// in little-endian order), and the values read back from such bytes.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ruzd::platform {

std::string RegSzBytes(std::string_view text);
std::string RegMultiSzBytes(const std::vector<std::string>& texts);
std::string RegDwordBytes(uint32_t value);

// The text of a REG_SZ or REG_EXPAND_SZ value, up to its first null; none for another type.
std::optional<std::string> RegSzText(uint32_t type, std::string_view bytes);
// The strings of a REG_MULTI_SZ value, up to the empty one that ends the list; none for another
// type.
std::optional<std::vector<std::string>> RegMultiSzTexts(uint32_t type, std::string_view bytes);
// A REG_DWORD value; none for another type or a size other than 4.
std::optional<uint32_t> RegDwordNumber(uint32_t type, std::string_view bytes);

// A little-endian 32-bit number at `offset` of `bytes`, which must hold it.
uint32_t LittleEndian32(std::string_view bytes, size_t offset);
void AppendLittleEndian32(std::string& bytes, uint32_t value);

}  // namespace ruzd::platform
