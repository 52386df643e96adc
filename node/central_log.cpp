#include "node/central_log.h"

#include <cstdio>
#include <string>

namespace ruzd::node {

void LogCentralLine(int32_t callId, std::string_view text) {
    const std::string line(text);
    std::fprintf(stderr, "%09d: %s\n", callId, line.c_str());
}

}  // namespace ruzd::node
