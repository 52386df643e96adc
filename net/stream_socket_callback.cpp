#include "net/stream_socket_callback.h"

namespace ruzd::net {

void CStreamSocketCallback::OnSocketClose(const std::string&, unsigned, int, uint64_t) {}

}  // namespace ruzd::net
