#pragma once

// How a recording stub writes down one call: "name(arg, arg, ...)". Numbers as decimals, text
// arguments quoted, other pointers as addresses ("null" for none), records passed by value as
// "{}". The tests build the calls they expect with the same functions.

#include <cstdint>
#include <cstdio>
#include <string>
#include <type_traits>
#include <vector>

namespace ruzd::telephony::stubs {

template <typename Arg>
std::string ArgumentText(const Arg& arg) {
    if constexpr (std::is_same_v<Arg, const char*> || std::is_same_v<Arg, char*>) {
        return arg == nullptr ? std::string("null") : "\"" + std::string(arg) + "\"";
    } else if constexpr (std::is_pointer_v<Arg>) {
        if (arg == nullptr)
            return "null";
        char text[32];
        std::snprintf(text, sizeof(text), "%p", reinterpret_cast<const void*>(arg));
        return text;
    } else if constexpr (std::is_integral_v<Arg>) {
        if constexpr (std::is_signed_v<Arg>) {
            return std::to_string(static_cast<int64_t>(arg));
        } else {
            return std::to_string(static_cast<uint64_t>(arg));
        }
    } else {
        return "{}";
    }
}

template <typename... Args>
std::string CallText(const char* name, const Args&... args) {
    const std::vector<std::string> parts{ArgumentText(args)...};
    std::string text = std::string(name) + "(";
    for (size_t i = 0; i < parts.size(); ++i)
        text += (i == 0 ? "" : ", ") + parts[i];
    return text + ")";
}

}  // namespace ruzd::telephony::stubs
