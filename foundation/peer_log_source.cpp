#include "foundation/peer_log_source.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "foundation/address_list.h"

namespace ruzd::foundation {
namespace {

constexpr std::string_view kLoopback = "loopback";

using Ipv6Groups = std::array<uint16_t, 8>;

// One group of at most four hex digits.
std::optional<uint16_t> HexGroup(std::string_view text) {
    if (text.empty() || text.size() > 4) {
        return std::nullopt;
    }
    uint16_t value = 0;
    for (const char c : text) {
        int digit = -1;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else if (c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        }
        if (digit < 0) {
            return std::nullopt;
        }
        value = static_cast<uint16_t>(value * 16 + digit);
    }
    return value;
}

// The groups of a run of colon-separated groups ("" is none), a dotted IPv4 address allowed as
// the last two; none when it is not such a run.
std::optional<std::vector<uint16_t>> GroupRun(std::string_view text) {
    std::vector<uint16_t> groups;
    while (!text.empty()) {
        const size_t colon = text.find(':');
        const std::string_view part = text.substr(0, colon);
        if (colon == std::string_view::npos && part.find('.') != std::string_view::npos) {
            const std::optional<uint32_t> ipv4 = ParseDottedIpv4(part);
            if (!ipv4) {
                return std::nullopt;
            }
            groups.push_back(static_cast<uint16_t>(*ipv4 >> 16));
            groups.push_back(static_cast<uint16_t>(*ipv4 & 0xFFFF));
            break;
        }
        const std::optional<uint16_t> group = HexGroup(part);
        if (!group) {
            return std::nullopt;
        }
        groups.push_back(*group);
        if (colon == std::string_view::npos) {
            break;
        }
        text.remove_prefix(colon + 1);
        if (text.empty()) {
            return std::nullopt;  // a trailing single colon
        }
    }
    return groups;
}

// The eight groups of an IPv6 text ("2001:db8::1", "::ffff:10.1.2.3"); none for anything else.
// A zone ("fe80::1%eth0") is dropped.
std::optional<Ipv6Groups> ParseIpv6(std::string_view text) {
    text = text.substr(0, text.find('%'));
    const size_t gap = text.find("::");
    std::optional<std::vector<uint16_t>> head;
    std::optional<std::vector<uint16_t>> tail = std::vector<uint16_t>{};
    if (gap == std::string_view::npos) {
        head = GroupRun(text);
    } else {
        head = GroupRun(text.substr(0, gap));
        tail = GroupRun(text.substr(gap + 2));
    }
    if (!head || !tail) {
        return std::nullopt;
    }
    const size_t given = head->size() + tail->size();
    if (gap == std::string_view::npos ? given != 8 : given > 7) {
        return std::nullopt;
    }
    Ipv6Groups groups{};
    std::copy(head->begin(), head->end(), groups.begin());
    std::copy(tail->begin(), tail->end(), groups.end() - static_cast<ptrdiff_t>(tail->size()));
    return groups;
}

std::string Ipv4Source(uint32_t address) {
    if ((address >> 24) == 127) {
        return std::string(kLoopback);
    }
    return std::to_string(address >> 24) + "." + std::to_string((address >> 16) & 255) + "." +
           std::to_string((address >> 8) & 255) + ".0/24";
}

std::string Ipv6Source(const Ipv6Groups& groups) {
    const bool leading_zeros =
        groups[0] == 0 && groups[1] == 0 && groups[2] == 0 && groups[3] == 0 && groups[4] == 0;
    if (leading_zeros && groups[5] == 0xFFFF) {
        return Ipv4Source(uint32_t{groups[6]} << 16 | groups[7]);
    }
    if (leading_zeros && groups[5] == 0 && groups[6] == 0 && groups[7] == 1) {
        return std::string(kLoopback);
    }
    static constexpr char kHex[] = "0123456789abcdef";
    std::string source;
    for (size_t i = 0; i < 4; ++i) {
        // Without leading zeros, as addresses are written.
        bool digits = false;
        for (int shift = 12; shift >= 0; shift -= 4) {
            const int digit = (groups[i] >> shift) & 15;
            if (digit != 0 || digits || shift == 0) {
                source += kHex[digit];
                digits = true;
            }
        }
        source += ':';
    }
    return source + ":/64";
}

}  // namespace

std::string PeerLogSource(std::string_view address) {
    if (const std::optional<uint32_t> ipv4 = ParseDottedIpv4(address)) {
        return Ipv4Source(*ipv4);
    }
    std::string_view bare = address;
    if (bare.size() >= 2 && bare.front() == '[' && bare.back() == ']') {
        bare = bare.substr(1, bare.size() - 2);
    }
    if (bare.find(':') != std::string_view::npos) {
        if (const std::optional<Ipv6Groups> ipv6 = ParseIpv6(bare)) {
            return Ipv6Source(*ipv6);
        }
    }
    return std::string(address);
}

}  // namespace ruzd::foundation
