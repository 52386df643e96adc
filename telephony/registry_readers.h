#pragma once

// Settings read from an open registry section with a check of their own: a value that is
// present and passes is used; one that is missing or fails is replaced by its default, which
// is written back so that the next start finds it. Every case is logged, so the debug log
// shows where each setting came from.

#include <cstdint>
#include <functional>
#include <string>

#include "foundation/registry.h"

namespace ruzd::telephony {

using DwordValidator = std::function<bool(uint32_t)>;
using TextValidator = std::function<bool(const std::string&)>;

// "Registry: Using %s = %u" for a valid value; otherwise ("Registry: Value %s = %u is not
// valid" first when it was present) "Registry: Setting %s = %u" and the default is written.
uint32_t ReadValidatedDword(foundation::CRegistry& registry, const char* name,
                            uint32_t default_value, const DwordValidator& valid);

// The same for text; the default text is made only when it is needed.
std::string ReadValidatedString(foundation::CRegistry& registry, const char* name,
                                const std::function<std::string()>& default_text,
                                const TextValidator& valid);
// The same with a plain default text.
std::string ReadValidatedString(foundation::CRegistry& registry, const char* name,
                                const std::string& default_text, const TextValidator& valid);

// An IPv4 address in dotted text, any text accepted; the default is `default_address`
// (network byte order) in dotted form. The text read or written goes to `text` (may be null);
// the result is the address of the text (network byte order), all bits set for a text that is
// no dotted address.
uint32_t ReadValidatedIPAddress(foundation::CRegistry& registry, const char* name,
                                uint32_t default_address, std::string* text);

// A port: valid below 65536.
uint16_t ReadRegistryPort(foundation::CRegistry& registry, const char* name,
                          uint32_t default_value);
// A switch: valid when 0 or 1.
uint32_t ReadRegistryFlag(foundation::CRegistry& registry, const char* name,
                          uint32_t default_value);

}  // namespace ruzd::telephony
