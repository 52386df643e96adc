#include "app/gui_link/gui_link_protocol.h"

#include "foundation/debug_channel.h"
#include "foundation/registry.h"
#include "node/manager_log.h"
#include "node/vesmarin_manager.h"
#include "platform/ipv4_text.h"

namespace ruzd::app {

namespace {

void Log(const std::string& line) {
    node::ManagerLog(foundation::kDebugChannelGeneral, foundation::kDebugNone, line);
}

std::string PortProblemText(uint32_t port) {
    return std::string("The registry's \"") + kGuiPortValue + "\" is " + std::to_string(port) +
           ", which is no TCP port (1 to 65535).";
}

bool IsTcpPort(uint32_t port) {
    return port >= 1 && port <= 65535;
}

}  // namespace

std::optional<uint32_t> ReadGuiLinkPort() {
    foundation::CRegistry registry(node::kNodeRegistrySection);
    uint32_t port = 0;
    if (!registry.ReadDword(kGuiPortValue, &port) || port == kGuiPortMistakenForFilePort) {
        port = kDefaultGuiPort;
        registry.WriteDword(kGuiPortValue, port);
        Log("Could not find TCP port in registry.  Using default");
    }
    // A larger number would be cut to some other port without a word.
    if (!IsTcpPort(port)) {
        Log(PortProblemText(port));
        return std::nullopt;
    }
    Log("Local TCP port set to: " + std::to_string(port));
    return port;
}

std::optional<std::string> GuiLinkPortProblem() {
    uint32_t port = 0;
    if (!foundation::CRegistry(node::kNodeRegistrySection).ReadDword(kGuiPortValue, &port) ||
        IsTcpPort(port)) {
        return std::nullopt;
    }
    return PortProblemText(port);
}

std::string ReadGuiBindAddress() {
    foundation::CRegistry registry(node::kNodeRegistrySection);
    std::string address;
    if (!registry.ReadString(kGuiBindAddressValue, address) || address.empty()) {
        return kDefaultGuiBindAddress;
    }
    // "0.0.0.0" names every interface.
    const uint32_t parsed = platform::ParseIpv4(address);
    if (parsed == platform::kNoIpv4Address) {
        Log(std::string("The registry's \"") + kGuiBindAddressValue + "\" \"" + address +
            "\" is no IPv4 address.  Using " + kDefaultGuiBindAddress);
        return kDefaultGuiBindAddress;
    }
    return platform::Ipv4Text(parsed);
}

std::string ReadRemoteVesmarinAddress() {
    foundation::CRegistry registry(node::kNodeRegistrySection);
    std::string address;
    if (!registry.ReadString(kRemoteAddressValue, address)) {
        address = kDefaultRemoteAddress;
        registry.WriteString(kRemoteAddressValue, address);
        Log("Could not find remote address in registry.  Using default");
    }
    // The window read it into a buffer of 254 bytes.
    if (address.size() > 253) {
        address.resize(253);
    }
    Log("Remote Address set to: " + address);
    return address;
}

}  // namespace ruzd::app
