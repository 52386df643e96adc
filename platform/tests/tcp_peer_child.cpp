// Helper program for the socket owner tests: a TCP peer of another process (and, run under
// setpriv, of another user).
//   tcp_peer_child PORT [mapped]  connects to 127.0.0.1:PORT (from an IPv6 socket to
//                                 ::ffff:127.0.0.1 with "mapped"), writes "connected LOCALPORT"
//                                 and holds the connection until stdin reaches its end; writes
//                                 "failed" and exits 1 when it cannot connect
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "testing/loopback_socket.h"

int main(int argc, char** argv) {
    using ruzd::testing::RawConnection;
    if (argc < 2 || argc > 3 || (argc == 3 && std::strcmp(argv[2], "mapped") != 0)) {
        std::fprintf(stderr, "usage: %s PORT [mapped]\n", argv[0]);
        return 2;
    }
    const auto port = static_cast<unsigned>(std::strtoul(argv[1], nullptr, 10));
    const RawConnection connection =
        argc == 3 ? RawConnection::ConnectMapped(port) : RawConnection::Connect(port);
    if (!connection.valid()) {
        std::puts("failed");
        return 1;
    }
    std::printf("connected %u\n", connection.LocalPort());
    std::fflush(stdout);
    char buffer[64];
    while (::read(STDIN_FILENO, buffer, sizeof buffer) > 0) {
    }
    return 0;
}
