#pragma once

// Whether the setup the central server offers is newer than the one installed on the node.

#include <string_view>

namespace ruzd::net {

// Both versions are dotted numbers ("10.6.0.0"). Newer only when the offer is not empty,
// differs from the installed text, has as many parts, and at the first part that differs is
// the higher one. A different number of parts never counts as newer.
bool IsOfferedSetupNewer(std::string_view installed, std::string_view offered);

}  // namespace ruzd::net
