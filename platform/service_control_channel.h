#pragma once

// The control socket of a running service (ServiceControlSocket, SOCK_SEQPACKET): a controller
// connects, sends one request and reads one reply, each one packet. Both ends run on the same
// machine, so the records go in host byte order. The socket is its owner's alone (0600, in a
// folder of its own), and the service answers only a peer of its own account or root.

#include <cstdint>
#include <string_view>

#include "platform/service_types.h"

namespace ruzd::platform {

inline constexpr uint32_t kServiceControlMagic = 0x43535A52;  // "RZSC"

struct ServiceControlRequest {
    uint32_t magic = kServiceControlMagic;
    uint32_t control = 0;
    uint32_t event_type = 0;
    uint32_t reserved = 0;
};

// `result` is 0 when the service took the control, else the Win32 code of its refusal; the
// status is the service's after the control.
struct ServiceControlReply {
    uint32_t magic = kServiceControlMagic;
    uint32_t result = 0;
    ServiceStatus status;
};

// Sends `control` to the service and waits up to `timeout_ms` for its reply, the connect
// included: 0 with `reply` filled; kErrorServiceNotActive when nobody listens on its socket;
// kErrorAccessDenied when it is another account's; kErrorServiceRequestTimeout when no reply
// comes in time (said with the socket's name on standard error).
uint32_t ExchangeServiceControl(std::string_view name, uint32_t control, uint32_t event_type,
                                uint32_t timeout_ms, ServiceControlReply* reply);

// A listening socket on the service's control socket file (0600), replacing a file of that
// name; -1 with errno set. The run folder must be there.
int ListenServiceControl(std::string_view name);

// Whether `fd` is a listening SOCK_SEQPACKET socket, as one a supervisor passes on.
bool IsListeningControlSocket(int fd);

// Takes the next request from a connection the service accepted, waiting up to `timeout_ms`:
// a whole request, or none for a peer that sent nothing in time or went away. `malformed` is
// set for a packet that is not a whole request (87 to its sender).
bool ReceiveServiceControl(int connection, uint32_t timeout_ms, ServiceControlRequest* request,
                           bool* malformed);
// Whether the peer of an accepted connection runs as root or as this process's user.
bool PeerMayControl(int connection);
void SendServiceControlReply(int connection, const ServiceControlReply& reply);

}  // namespace ruzd::platform
