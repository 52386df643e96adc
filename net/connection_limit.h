#pragma once

// What the node's listeners let peers hold: how many connections at once, how many bytes, and
// which peers may connect at all, from the node's registry section. A peer that opens
// connections without end must not use up the node's descriptors and memory: beyond the limit
// each port closes its oldest connection other than the active central server's to make room.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "foundation/address_gate.h"

namespace ruzd::net {

class BufferBudget;

constexpr uint32_t kDefaultMaxConnections = 32;

// The registry's "Max Connections" of the node's section; the default when missing or 0.
uint32_t ReadMaxConnections();

// The bytes that the connections other than the active central server's may hold in total,
// received or waiting to be sent (see BufferBudget). The central server's commands and the
// node's events are small; what an idle or a second peer legitimately holds is far below this.
constexpr uint32_t kDefaultOtherConnectionsBufferKB = 4096;

// The registry's "Other Connections Buffer KB" of the node's section in bytes; the default
// when missing or 0.
size_t ReadOtherConnectionsBufferLimit();

// What the active central server's connection may hold queued for sending before it is closed:
// far more than its events and one upload need, far less than the machine's memory.
constexpr uint32_t kDefaultActiveConnectionBufferMB = 64;

// The registry's "Active Connection Buffer MB" of the node's section in bytes; the default when
// missing or 0.
size_t ReadActiveConnectionBufferLimit();

// A buffer budget of the registry's sizes, for the connections of the node's two ports.
std::shared_ptr<BufferBudget> CreateNodeBufferBudget();

// The registry's "Central Server Addresses" of the node's section as it stands; empty when
// missing.
std::string ReadCentralServerAddressList();

// The registry's "Central Server Addresses" of the node's section: the peers the node's ports
// let in (see AddressGate; missing or empty: every peer). Its entries that are neither an
// address nor a range are logged, for the port named `port_name`.
std::shared_ptr<foundation::AddressGate> ReadCentralServerAddresses(const char* port_name);

// The line of a peer the gate refused: once per address per minute.
void LogRefusedPeer(foundation::AddressGate& gate, uint32_t address, const std::string& peer,
                    const char* port_name);

}  // namespace ruzd::net
