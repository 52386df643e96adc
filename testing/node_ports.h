#pragma once

// The node's listening ports for a test: free ones, written into the registry where the node
// reads them, so that parallel tests never meet on one port. The platform root must be the
// test's own by then.

#include <cstdint>

namespace ruzd::testing {

// The command port (the central server's commands).
uint32_t WriteCommandPort();
// The file port (the central server's file transfers).
uint32_t WriteFilePort();
// The port of the local GUI link (the windows attached to the node).
uint32_t WriteGuiPort();

}  // namespace ruzd::testing
