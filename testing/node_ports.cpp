#include "testing/node_ports.h"

#include <gtest/gtest.h>

#include "app/gui_link/gui_link_protocol.h"
#include "foundation/registry.h"
#include "node/vesmarin_manager.h"
#include "testing/loopback_socket.h"

namespace ruzd::testing {
namespace {

uint32_t WritePort(const char* value) {
    const uint32_t port = FreePort();
    EXPECT_TRUE(foundation::CRegistry(node::kNodeRegistrySection).WriteDword(value, port));
    return port;
}

}  // namespace

uint32_t WriteCommandPort() {
    return WritePort(node::kLocalTcpPortValue);
}

uint32_t WriteFilePort() {
    return WritePort(node::kLocalFileSocketTcpPortValue);
}

uint32_t WriteGuiPort() {
    return WritePort(app::kGuiPortValue);
}

}  // namespace ruzd::testing
