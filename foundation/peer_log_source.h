#pragma once

// Which source a stranger's address pays its log lines from. An address is cheap to change: any
// local account may bind any of the 16 million loopback addresses, and a remote peer may hold a
// range of them. So the budget is not the address's but its network's: every loopback address
// is one source ("loopback"), an IPv4 address pays for its /24 ("10.1.2.0/24") and an IPv6
// address for its /64 ("2001:db8:0:7::/64"); an IPv4-mapped IPv6 address counts as the IPv4
// address it maps. Peers whose address is not known (a connection that ended before its address
// could be asked for) are one source, named as such; any other text that is no address is a
// source of its own.

#include <string>
#include <string_view>

namespace ruzd::foundation {

// The source of the peers of no known address.
inline constexpr std::string_view kUnknownPeerSource = "peers of unknown address";

// The name of the source of `address` ("10.1.2.3", "2001:db8::1", "::ffff:127.0.0.5"; "" for
// none known).
std::string PeerLogSource(std::string_view address);

}  // namespace ruzd::foundation
