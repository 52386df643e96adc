#pragma once

// Who is at the other end of a TCP connection accepted on this machine. When the peer is a
// socket of this machine too (a loopback connection, or one to one of the machine's own
// addresses), the kernel's socket table knows the user that owns it: a listener that serves only
// some local accounts asks at accept, before it reads or sends anything.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ruzd::platform {

// One end of an IPv4 TCP connection; the address in host byte order (127.0.0.1 is 0x7F000001).
struct TcpEnd {
    uint32_t address = 0;
    uint16_t port = 0;

    bool operator==(const TcpEnd&) const = default;
};

// "127.0.0.1:9072".
std::string TcpEndText(const TcpEnd& end);

enum class TcpPeerPlace {
    kThisMachine,  // the peer is a socket of this machine
    kElsewhere,    // no socket of this machine has the peer's end: another machine's
    kUnknown,      // the socket table could not be read
};

struct TcpPeerOwner {
    TcpPeerPlace place = TcpPeerPlace::kUnknown;
    // kThisMachine: the user that owns the peer's socket; none when no process holds it any
    // more (closed before it was accepted, or in TIME-WAIT), whose owner the table no longer
    // tells.
    std::optional<uint32_t> uid;
};

// The peer of the connection accepted here whose own end is `here` and whose peer's end is
// `peer`. Asks the kernel by the connection's four values (sock_diag); where the kernel answers
// no such request (its TCP diagnostics not loaded), reads /proc/net/tcp and /proc/net/tcp6.
TcpPeerOwner LookUpTcpPeerOwner(const TcpEnd& here, const TcpEnd& peer);

// A socket's line in a table of the form of /proc/net/tcp or /proc/net/tcp6.
struct TcpTableEntry {
    uint32_t uid = 0;
    // 0 when no process holds the socket.
    uint64_t inode = 0;
};

// The line of the socket whose own end is `own` and whose far end is `far` in `table` (the text
// of /proc/net/tcp or /proc/net/tcp6; IPv4-mapped IPv6 ends count as IPv4); none when the table
// has no such line.
std::optional<TcpTableEntry> FindTcpTableEntry(std::string_view table, const TcpEnd& own,
                                               const TcpEnd& far);

}  // namespace ruzd::platform
