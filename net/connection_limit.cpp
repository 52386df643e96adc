#include "net/connection_limit.h"

#include "foundation/peer_log_limit.h"
#include "foundation/registry.h"
#include "net/socket_core/buffer_budget.h"
#include "net/socket_log.h"
#include "platform/clock.h"

namespace ruzd::net {
namespace {

// A value of the node's section; `fallback` when missing or 0.
uint32_t ReadPositiveDword(const char* name, uint32_t fallback) {
    foundation::CRegistry registry("Pelwix");
    uint32_t value = 0;
    if (!registry.ReadDword(name, &value) || value == 0) {
        value = fallback;
    }
    return value;
}

}  // namespace

uint32_t ReadMaxConnections() {
    return ReadPositiveDword("Max Connections", kDefaultMaxConnections);
}

size_t ReadOtherConnectionsBufferLimit() {
    return static_cast<size_t>(
               ReadPositiveDword("Other Connections Buffer KB", kDefaultOtherConnectionsBufferKB)) *
           1024;
}

size_t ReadActiveConnectionBufferLimit() {
    return static_cast<size_t>(
               ReadPositiveDword("Active Connection Buffer MB", kDefaultActiveConnectionBufferMB)) *
           1024 * 1024;
}

std::shared_ptr<BufferBudget> CreateNodeBufferBudget() {
    return BufferBudget::Create(ReadOtherConnectionsBufferLimit(),
                                ReadActiveConnectionBufferLimit());
}

std::string ReadCentralServerAddressList() {
    std::string list;
    if (!foundation::CRegistry("Pelwix").ReadString("Central Server Addresses", list)) {
        list.clear();
    }
    return list;
}

std::shared_ptr<foundation::AddressGate> ReadCentralServerAddresses(const char* port_name) {
    auto gate = std::make_shared<foundation::AddressGate>(ReadCentralServerAddressList());
    for (const std::string& bad : gate->BadEntries()) {
        SocketLog(
            "%s: \"Central Server Addresses\" entry \"%s\" is neither an address nor an "
            "address range: it lets nobody in",
            port_name, bad.c_str());
    }
    return gate;
}

void LogRefusedPeer(foundation::AddressGate& gate, uint32_t address, const std::string& peer,
                    const char* port_name) {
    if (!gate.ShouldLogRefusal(address, platform::CurrentClock().TickMs())) {
        return;
    }
    // A refused peer is a stranger too: its line is paid for from the strangers' budgets, or
    // the ever new addresses of a range would each write one a minute.
    foundation::PeerLogLimit limit(peer);
    {
        const foundation::ScopedPeerLogLimit limited(&limit);
        SocketLog(
            "%s: connection from %s refused: not in \"Central Server Addresses\" (logged "
            "once a minute per address)",
            port_name, peer.c_str());
    }
    limit.ReportSuppressed();
}

}  // namespace ruzd::net
