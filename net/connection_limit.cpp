#include "net/connection_limit.h"

#include "foundation/registry.h"

namespace ruzd::net {
namespace {

// A value of the node's section; `fallback` when missing or 0.
uint32_t ReadPositiveDword(const char* name, uint32_t fallback) {
    foundation::CRegistry registry("Pelwix");
    uint32_t value = 0;
    if (!registry.ReadDword(name, &value) || value == 0) {
        value = fallback;
    }
    return value;
}

}  // namespace

uint32_t ReadMaxConnections() {
    return ReadPositiveDword("Max Connections", kDefaultMaxConnections);
}

size_t ReadOtherConnectionsBufferLimit() {
    return static_cast<size_t>(
               ReadPositiveDword("Other Connections Buffer KB", kDefaultOtherConnectionsBufferKB)) *
           1024;
}

}  // namespace ruzd::net
