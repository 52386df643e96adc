#include "platform/host_name.h"

#include <arpa/inet.h>

#include <string>

namespace ruzd::platform {
namespace {

constexpr size_t kMaxHostNameLength = 253;
constexpr size_t kMaxLabelLength = 63;
// The longest IPv6 text form, with an embedded IPv4 address.
constexpr size_t kMaxIpv6TextLength = 45;

bool IsLetterOrDigit(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

bool IsLabel(std::string_view label) {
    if (label.empty() || label.size() > kMaxLabelLength) {
        return false;
    }
    if (label.front() == '-' || label.back() == '-') {
        return false;
    }
    for (char c : label) {
        if (!IsLetterOrDigit(c) && c != '-') {
            return false;
        }
    }
    return true;
}

bool IsDigitsAndDots(std::string_view text) {
    for (char c : text) {
        if (c != '.' && (c < '0' || c > '9')) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool IsIpAddress(std::string_view text) {
    if (text.empty() || text.size() > kMaxIpv6TextLength ||
        text.find('\0') != std::string_view::npos) {
        return false;
    }
    const std::string terminated(text);
    unsigned char address[16];
    // inet_pton takes only the strict forms: no octal, no hexadecimal, no short IPv4 forms.
    return inet_pton(AF_INET, terminated.c_str(), address) == 1 ||
           inet_pton(AF_INET6, terminated.c_str(), address) == 1;
}

bool IsHostName(std::string_view text) {
    if (text.empty() || text.size() > kMaxHostNameLength) {
        return false;
    }
    // "10.1.2" would reach the resolver as an old short form of an address.
    if (IsDigitsAndDots(text)) {
        return IsIpAddress(text);
    }
    // Nor may a name be what the resolver reads as an address in an old numeric form
    // ("0x7f.1", "127.1", "2130706433").
    const std::string terminated(text);
    in_addr numeric{};
    if (inet_aton(terminated.c_str(), &numeric) != 0) {
        return false;
    }
    std::string_view rest = text;
    if (rest.back() == '.') {
        rest.remove_suffix(1);
    }
    while (true) {
        const size_t dot = rest.find('.');
        if (!IsLabel(rest.substr(0, dot))) {
            return false;
        }
        if (dot == std::string_view::npos) {
            return true;
        }
        rest.remove_prefix(dot + 1);
    }
}

bool IsHostNameOrAddress(std::string_view text) {
    return IsHostName(text) || IsIpAddress(text);
}

}  // namespace ruzd::platform
