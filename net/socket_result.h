#pragma once

// The central server's answer to a request of the file-transfer connection.

#include <cstdint>
#include <string>

namespace ruzd::net {

struct CSocketResult {
    int32_t code = 0;
    std::string text;
    bool success = false;
};

}  // namespace ruzd::net
