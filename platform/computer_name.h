#pragma once

// The machine's names as the programs see them on Windows. The host name is what the system
// keeps as this machine's name; the computer name is its NetBIOS form, which Windows reports as
// the computer name and as the domain of a local account: the host name up to its first dot,
// in capitals, cut to 15 characters.

#include <optional>
#include <string>
#include <string_view>

namespace ruzd::platform {

constexpr size_t kMaxComputerNameLength = 15;

// The host name as the system keeps it (gethostname); none when it cannot be read or is empty.
std::optional<std::string> HostName();

// The computer name of this machine: ComputerNameOf(HostName()).
std::optional<std::string> ComputerName();

// The computer name a machine with `host_name` has.
std::string ComputerNameOf(std::string_view host_name);

// Whether a machine name given to a call (server of an event log, machine of the service
// manager) names this machine: empty, ".", "localhost", its host name or its computer name, in
// any case, each also after "\\".
bool IsLocalMachineName(std::string_view machine);

}  // namespace ruzd::platform
