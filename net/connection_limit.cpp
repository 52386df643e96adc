#include "net/connection_limit.h"

#include "foundation/registry.h"

namespace ruzd::net {

uint32_t ReadMaxConnections() {
    foundation::CRegistry registry("Pelwix");
    uint32_t limit = 0;
    if (!registry.ReadDword("Max Connections", &limit) || limit == 0) {
        limit = kDefaultMaxConnections;
    }
    return limit;
}

}  // namespace ruzd::net
