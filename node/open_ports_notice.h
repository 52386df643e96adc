#pragma once

// The node's ports let in whoever the registry's "Central Server Addresses" names, and anyone
// when it is empty. Anyone is a lot: while no central server is active, any peer that reaches
// the ports may take the node's session and hold it, and may push a program that the node hands
// to the update service. The operator hears so once at start, where a missing setting is seen.

#include <cstdint>

namespace ruzd::node {

// With "Central Server Addresses" missing or empty: one line on stderr and in the debug log
// naming the two ports and what any peer may do through them. Nothing otherwise.
void SayWhenAnyPeerMayActAsCentral(uint32_t command_port, uint32_t file_port);

}  // namespace ruzd::node
