#include "net/socket_log.h"

#include <cstdarg>
#include <cstdio>

#include "foundation/trace.h"

namespace ruzd::net {

void SocketLog(const char* format, ...) {
    char line[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    foundation::Trace(foundation::kTraceSocket, 0, "%s", line);
}

}  // namespace ruzd::net
