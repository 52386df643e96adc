#pragma once

// One line in the debug log on the socket channel: connections turned away, listeners that cannot
// open, socket threads that are slow to end. printf-style.

namespace ruzd::net {

void SocketLog(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace ruzd::net
