#include "node/open_ports_notice.h"

#include <string>

#include "foundation/address_gate.h"
#include "foundation/debug_channel.h"
#include "net/connection_limit.h"
#include "node/manager_log.h"
#include "platform/error_output.h"
#include "platform/text.h"

namespace ruzd::node {

void SayWhenAnyPeerMayActAsCentral(uint32_t command_port, uint32_t file_port) {
    if (!foundation::AddressGate(net::ReadCentralServerAddressList()).AdmitsEveryone()) {
        return;
    }
    const std::string line = platform::Format(
        "\"Central Server Addresses\" is empty: any peer that reaches ports %u and %u may act as "
        "the central server (while none is active, take the node's session with CNINIT and hold "
        "it, running board commands; push a setup that the node hands to the update service). "
        "Set it to the central server's addresses",
        command_port, file_port);
    platform::WriteErrorLine(line);
    ManagerLog(foundation::kDebugChannelGeneral, foundation::kDebugNone, line);
}

}  // namespace ruzd::node
