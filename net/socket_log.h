#pragma once

// One line of the socket layer's own log: connections refused, listeners that cannot open,
// socket threads that are slow to end. printf-style.

namespace ruzd::net {

void SocketLog(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace ruzd::net
