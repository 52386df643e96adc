#pragma once

// Connects, sends one narrow text and closes: for a short message to a service that answers
// nothing.

#include <string>

namespace ruzd::net {

// Waits for the connection up to `timeout_seconds` (at least 1). The result is whether the
// connection was made; the text (without a terminator) is sent only then. `error`, when given,
// gets the last Windows Sockets error (kWsaEwouldblock when the time ran out).
bool SendOnce(const std::string& host, int port, const std::string& text, int timeout_seconds,
              int* error = nullptr);

}  // namespace ruzd::net
