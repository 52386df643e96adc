#include "foundation/peer_log_source.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "foundation/address_list.h"
#include "platform/ipv4_text.h"

namespace ruzd::foundation {
namespace {

constexpr std::string_view kLoopback = "loopback";

using Ipv6Groups = std::array<uint16_t, 8>;

// The eight groups of an IPv6 text ("2001:db8::1", "::ffff:10.1.2.3"); none for anything else.
// A zone ("fe80::1%eth0") is dropped.
std::optional<Ipv6Groups> ParseIpv6(std::string_view text) {
    const auto bytes = platform::ParseIpv6(text.substr(0, text.find('%')));
    if (!bytes) {
        return std::nullopt;
    }
    Ipv6Groups groups{};
    for (size_t i = 0; i < groups.size(); ++i) {
        groups[i] = static_cast<uint16_t>((*bytes)[2 * i] << 8 | (*bytes)[2 * i + 1]);
    }
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
    if (address.find_first_not_of(" \t") == std::string_view::npos) {
        return std::string(kUnknownPeerSource);
    }
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
