#pragma once

// The system-level pieces that the client and server sockets share.

#include <netinet/in.h>

#include <mutex>
#include <string>

namespace ruzd::net {

// Keep-alive idle time and probe interval of every connection, in milliseconds.
constexpr int kKeepAliveIdleMs = 60000;
constexpr int kKeepAliveIntervalMs = 1000;

// Serialises socket creation and listening across the process.
std::mutex& SocketCreationLock();

// Prepares a stream connection (or a listener, whose connections inherit it): TCP keep-alive on
// with the idle time and interval above, and TCP_NODELAY, because every message leaves in one
// send and must not wait for the peer's delayed acknowledgement of the one before. False when
// the system refuses.
bool SetStreamOptions(int fd);

// Fills `address` for an IPv4 host (dotted address or name) and port; false when the host is
// unknown.
bool ResolveIpv4(const std::string& host, int port, sockaddr_in& address);

// The dotted address and port of an IPv4 socket address.
void DescribeIpv4(const sockaddr_in& address, std::string& text, unsigned& port);

// Closes a descriptor, retrying nothing: Linux releases it even when close reports EINTR.
void CloseDescriptor(int fd);

}  // namespace ruzd::net
