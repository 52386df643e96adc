#pragma once

// Plain IPv4 TCP sockets as Windows Sockets offers them to a program that works on one thread:
// every socket is non-blocking, the caller learns of readiness through socket notices
// (platform/socket_notices.h), and failures leave a Windows Sockets number
// (platform/wsa_error.h) as the thread's socket error. A handle is the system's descriptor.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace ruzd::platform {

inline constexpr int kInvalidSocket = -1;

// The calling thread's last socket error (WSAGetLastError).
int SocketLastError();

// A new non-blocking IPv4 stream socket, or kInvalidSocket.
int TcpSocketCreate();

// Binds to `port` on all interfaces (the address may be reused at once) and listens.
bool TcpSocketListen(int socket, uint16_t port, int backlog);

// Starts connecting to `host` (a name or a dotted address, looked up for IPv4) on `port`. True
// when the connection stands or is on its way (the socket error is then kWsaEwouldblock); the
// outcome comes as a connect notice.
bool TcpSocketConnect(int socket, std::string_view host, uint16_t port);

// Takes a waiting connection as a new non-blocking socket, or kInvalidSocket.
int TcpSocketAccept(int listening_socket);

// Whether a failed accept's socket error means that the process (or the system) has no
// descriptor or buffer left for the connection, which then keeps waiting.
bool IsLackOfResources(int socket_error);

// How long a listener stops taking connections after such a failure: the waiting connection
// stays readable, so a listener that simply tried again would spin at full speed.
inline constexpr uint32_t kAcceptPauseMs = 100;

// Bytes sent, or -1 (kWsaEwouldblock when the socket cannot take more now). A peer that has
// gone makes an error, never a signal.
int TcpSocketSend(int socket, const void* data, size_t size);

// Bytes read, 0 when the peer has closed, or -1 (kWsaEwouldblock when nothing waits).
int TcpSocketReceive(int socket, void* buffer, size_t size);

// Ends sending and receiving.
void TcpSocketShutdown(int socket);
void TcpSocketClose(int socket);

// The local IPv4 address of the socket in dotted form; empty when it has none.
std::string TcpSocketLocalAddress(int socket);
// The local port, or 0.
uint16_t TcpSocketLocalPort(int socket);
// The IPv4 address of the connection's peer in dotted form; empty when it has none.
std::string TcpSocketPeerAddress(int socket);

}  // namespace ruzd::platform
