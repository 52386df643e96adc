#include "platform/computer_name.h"

#include <unistd.h>

#include "platform/text.h"

namespace ruzd::platform {

std::optional<std::string> HostName() {
    char host[256] = {};
    if (::gethostname(host, sizeof(host) - 1) != 0 || host[0] == '\0') {
        return std::nullopt;
    }
    return std::string(host);
}

std::optional<std::string> ComputerName() {
    const std::optional<std::string> host = HostName();
    if (!host) {
        return std::nullopt;
    }
    return ComputerNameOf(*host);
}

std::string ComputerNameOf(std::string_view host_name) {
    const std::string_view label = host_name.substr(0, host_name.find('.'));
    return AsciiUpper(label.substr(0, kMaxComputerNameLength));
}

bool IsLocalMachineName(std::string_view machine) {
    if (machine.starts_with("\\\\")) {
        machine.remove_prefix(2);
    }
    if (machine.empty() || machine == "." || EqualsIgnoreCase(machine, "localhost")) {
        return true;
    }
    const std::optional<std::string> host = HostName();
    return host &&
           (EqualsIgnoreCase(machine, *host) || EqualsIgnoreCase(machine, ComputerNameOf(*host)));
}

}  // namespace ruzd::platform
