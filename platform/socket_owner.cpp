#include "platform/socket_owner.h"

#include <arpa/inet.h>
#include <linux/inet_diag.h>
#include <linux/netlink.h>
#include <linux/sock_diag.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <sys/time.h>

#include <cerrno>
#include <charconv>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/owned_fd.h"

namespace ruzd::platform {

namespace {

// The kernel answers at once; the bound only keeps a lost answer from holding the listener.
constexpr int kAnswerPatienceMs = 1000;

enum class DiagAnswer { kFound, kMissing, kFailed };

bool HexNumber(std::string_view text, uint32_t* value) {
    if (text.empty() || text.size() > 8) {
        return false;
    }
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), *value, 16);
    return error == std::errc() && end == text.data() + text.size();
}

// "0100007F:1F90" (IPv4) or 32 hex digits, ':' and the port (IPv6): an IPv4 end, the IPv6 ones
// that carry an IPv4 address included. The address words are the kernel's raw words, in network
// byte order; the port is in host order.
std::optional<TcpEnd> ParseTableEnd(std::string_view text) {
    const size_t colon = text.find(':');
    if (colon == std::string_view::npos) {
        return std::nullopt;
    }
    const std::string_view address = text.substr(0, colon);
    uint32_t port = 0;
    if (!HexNumber(text.substr(colon + 1), &port) || port > 0xFFFF) {
        return std::nullopt;
    }
    std::vector<uint32_t> words;
    for (size_t at = 0; at + 8 <= address.size(); at += 8) {
        uint32_t word = 0;
        if (!HexNumber(address.substr(at, 8), &word)) {
            return std::nullopt;
        }
        words.push_back(ntohl(word));
    }
    if (words.size() * 8 != address.size()) {
        return std::nullopt;
    }
    if (words.size() == 1) {
        return TcpEnd{words[0], static_cast<uint16_t>(port)};
    }
    if (words.size() == 4 && words[0] == 0 && words[1] == 0 && words[2] == 0xFFFF) {
        return TcpEnd{words[3], static_cast<uint16_t>(port)};
    }
    return std::nullopt;
}

std::vector<std::string_view> Fields(std::string_view line) {
    std::vector<std::string_view> fields;
    size_t at = 0;
    while (at < line.size()) {
        const size_t start = line.find_first_not_of(" \t", at);
        if (start == std::string_view::npos) {
            break;
        }
        const size_t end = std::min(line.find_first_of(" \t", start), line.size());
        fields.push_back(line.substr(start, end - start));
        at = end;
    }
    return fields;
}

std::string ReadTable(const char* path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

// The IPv4 address (network byte order) of an address the kernel reports: an IPv4 one, or an
// IPv6 socket's IPv4-mapped one.
std::optional<uint32_t> ReportedIpv4(uint8_t family, const uint32_t (&words)[4]) {
    if (family == AF_INET) {
        return words[0];
    }
    if (family == AF_INET6 && words[0] == 0 && words[1] == 0 && words[2] == htonl(0xFFFF)) {
        return words[3];
    }
    return std::nullopt;
}

// One exact request: the TCP socket whose own end is `own` and whose far end is `far`.
DiagAnswer AskKernel(const TcpEnd& own, const TcpEnd& far, TcpTableEntry* entry) {
    OwnedFd netlink(::socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_SOCK_DIAG));
    if (netlink.get() < 0) {
        return DiagAnswer::kFailed;
    }
    timeval patience{kAnswerPatienceMs / 1000, (kAnswerPatienceMs % 1000) * 1000};
    ::setsockopt(netlink.get(), SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience);

    struct {
        nlmsghdr header;
        inet_diag_req_v2 body;
    } request{};
    request.header.nlmsg_len = sizeof request;
    request.header.nlmsg_type = SOCK_DIAG_BY_FAMILY;
    request.header.nlmsg_flags = NLM_F_REQUEST;
    request.header.nlmsg_seq = 1;
    request.body.sdiag_family = AF_INET;
    request.body.sdiag_protocol = IPPROTO_TCP;
    request.body.idiag_states = ~0u;
    request.body.id.idiag_sport = htons(own.port);
    request.body.id.idiag_dport = htons(far.port);
    request.body.id.idiag_src[0] = htonl(own.address);
    request.body.id.idiag_dst[0] = htonl(far.address);
    request.body.id.idiag_cookie[0] = INET_DIAG_NOCOOKIE;
    request.body.id.idiag_cookie[1] = INET_DIAG_NOCOOKIE;
    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    if (::sendto(netlink.get(), &request, sizeof request, 0, reinterpret_cast<sockaddr*>(&kernel),
                 sizeof kernel) != static_cast<ssize_t>(sizeof request)) {
        return DiagAnswer::kFailed;
    }
    alignas(nlmsghdr) char answer[8192];
    const ssize_t received = ::recv(netlink.get(), answer, sizeof answer, 0);
    if (received <= 0) {
        return DiagAnswer::kFailed;
    }
    const auto size = static_cast<size_t>(received);
    for (size_t at = 0; at + sizeof(nlmsghdr) <= size;) {
        auto* header = reinterpret_cast<nlmsghdr*>(answer + at);
        if (header->nlmsg_len < sizeof(nlmsghdr) || header->nlmsg_len > size - at) {
            return DiagAnswer::kFailed;
        }
        at += NLMSG_ALIGN(header->nlmsg_len);
        if (header->nlmsg_type == NLMSG_ERROR) {
            if (header->nlmsg_len < NLMSG_LENGTH(sizeof(nlmsgerr))) {
                return DiagAnswer::kFailed;
            }
            const auto* error = static_cast<const nlmsgerr*>(NLMSG_DATA(header));
            return error->error == -ENOENT ? DiagAnswer::kMissing : DiagAnswer::kFailed;
        }
        if (header->nlmsg_type != SOCK_DIAG_BY_FAMILY ||
            header->nlmsg_len < NLMSG_LENGTH(sizeof(inet_diag_msg))) {
            continue;
        }
        const auto* socket = static_cast<const inet_diag_msg*>(NLMSG_DATA(header));
        // The lookup falls back on a listener of the port when no connection has these ends:
        // only a socket with exactly these four values is the one asked for.
        // An IPv6 socket that reached an IPv4 address reports its ends in the mapped form.
        const bool same = socket->idiag_state != TCP_LISTEN &&
                          ReportedIpv4(socket->idiag_family, socket->id.idiag_src) ==
                              request.body.id.idiag_src[0] &&
                          ReportedIpv4(socket->idiag_family, socket->id.idiag_dst) ==
                              request.body.id.idiag_dst[0] &&
                          socket->id.idiag_sport == request.body.id.idiag_sport &&
                          socket->id.idiag_dport == request.body.id.idiag_dport;
        if (!same) {
            return DiagAnswer::kMissing;
        }
        entry->uid = socket->idiag_uid;
        entry->inode = socket->idiag_inode;
        return DiagAnswer::kFound;
    }
    return DiagAnswer::kFailed;
}

std::optional<TcpTableEntry> FindInTables(const TcpEnd& own, const TcpEnd& far) {
    for (const char* path : {"/proc/net/tcp", "/proc/net/tcp6"}) {
        if (std::optional<TcpTableEntry> entry = FindTcpTableEntry(ReadTable(path), own, far)) {
            return entry;
        }
    }
    return std::nullopt;
}

TcpPeerOwner OwnerOf(const TcpTableEntry& entry) {
    TcpPeerOwner owner{TcpPeerPlace::kThisMachine, std::nullopt};
    // A socket no process holds (closed before it was accepted, or in TIME-WAIT) is listed
    // with user 0: that is nobody's word that root is there.
    if (entry.inode != 0) {
        owner.uid = entry.uid;
    }
    return owner;
}

TcpPeerOwner LookUpInTables(const TcpEnd& here, const TcpEnd& peer) {
    if (const std::optional<TcpTableEntry> entry = FindInTables(peer, here)) {
        return OwnerOf(*entry);
    }
    // Our own end is listed while we hold the connection: without it the tables are not read.
    return FindInTables(here, peer) ? TcpPeerOwner{TcpPeerPlace::kElsewhere, std::nullopt}
                                    : TcpPeerOwner{};
}

}  // namespace

std::string TcpEndText(const TcpEnd& end) {
    char text[INET_ADDRSTRLEN] = {};
    const in_addr address{htonl(end.address)};
    ::inet_ntop(AF_INET, &address, text, sizeof text);
    return std::string(text) + ":" + std::to_string(end.port);
}

TcpPeerOwner LookUpTcpPeerOwner(const TcpEnd& here, const TcpEnd& peer) {
    TcpTableEntry entry;
    switch (AskKernel(peer, here, &entry)) {
        case DiagAnswer::kFound:
            return OwnerOf(entry);
        case DiagAnswer::kMissing:
            // Our own end answers when the kernel's TCP diagnostics are there at all; a kernel
            // without them says "missing" to every request.
            if (AskKernel(here, peer, &entry) == DiagAnswer::kFound) {
                return {TcpPeerPlace::kElsewhere, std::nullopt};
            }
            break;
        case DiagAnswer::kFailed:
            break;
    }
    return LookUpInTables(here, peer);
}

std::optional<TcpTableEntry> FindTcpTableEntry(std::string_view table, const TcpEnd& own,
                                               const TcpEnd& far) {
    size_t at = 0;
    while (at < table.size()) {
        const size_t end = std::min(table.find('\n', at), table.size());
        const std::vector<std::string_view> fields = Fields(table.substr(at, end - at));
        at = end + 1;
        // sl, local, remote, state, queues, timer, retransmits, uid, timeout, inode
        if (fields.size() < 10 || fields[0].empty() || fields[0].back() != ':') {
            continue;
        }
        const std::optional<TcpEnd> local = ParseTableEnd(fields[1]);
        const std::optional<TcpEnd> remote = ParseTableEnd(fields[2]);
        uint32_t state = 0;
        if (!local || !remote || *local != own || *remote != far || !HexNumber(fields[3], &state) ||
            state == TCP_LISTEN) {
            continue;
        }
        TcpTableEntry entry;
        const auto [uid_end, uid_error] =
            std::from_chars(fields[7].data(), fields[7].data() + fields[7].size(), entry.uid);
        const auto [inode_end, inode_error] =
            std::from_chars(fields[9].data(), fields[9].data() + fields[9].size(), entry.inode);
        if (uid_error != std::errc() || inode_error != std::errc()) {
            continue;
        }
        return entry;
    }
    return std::nullopt;
}

}  // namespace ruzd::platform
