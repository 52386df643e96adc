#pragma once

// How the journal shows the arguments and results of vendor calls: numbers in decimal, input
// texts (const char*) quoted, every other pointer as its address or NULL, records passed by
// value as {...}.

#include <cstdint>
#include <cstdio>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>

namespace ruzd::boardsim {

inline std::string ValueText(const char* text) {
    if (text == nullptr)
        return "NULL";
    std::string quoted = "\"";
    size_t shown = 0;
    for (const char* p = text; *p != '\0'; ++p, ++shown) {
        if (shown == 256) {
            quoted += "...";
            break;
        }
        const unsigned char c = static_cast<unsigned char>(*p);
        if (c == '"' || c == '\\') {
            quoted += '\\';
            quoted += static_cast<char>(c);
        } else if (c < 0x20 || c >= 0x7F) {
            char escape[5];
            std::snprintf(escape, sizeof escape, "\\x%02X", c);
            quoted += escape;
        } else {
            quoted += static_cast<char>(c);
        }
    }
    return quoted + "\"";
}

template <typename T>
std::string ValueText(T value) {
    if constexpr (std::is_same_v<T, bool>) {
        return value ? "1" : "0";
    } else if constexpr (std::is_integral_v<T> && std::is_signed_v<T>) {
        return std::to_string(static_cast<long long>(value));
    } else if constexpr (std::is_integral_v<T>) {
        return std::to_string(static_cast<unsigned long long>(value));
    } else if constexpr (std::is_pointer_v<T>) {
        if (value == nullptr)
            return "NULL";
        char address[32];
        std::snprintf(address, sizeof address, "0x%llx",
                      static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(value)));
        return address;
    } else {
        return "{...}";
    }
}

template <typename... Args>
std::string ArgumentsText(const std::tuple<Args...>& arguments) {
    std::string text;
    std::apply(
        [&](const Args&... value) {
            ((text += (text.empty() ? "" : ", ") + ValueText(value)), ...);
        },
        arguments);
    return text;
}

}  // namespace ruzd::boardsim
