#pragma once

#include <cstddef>

namespace ruzd::platform {

// Writes all of the bytes to the descriptor, going on after partial writes and interrupted
// calls; false when a write fails or writes nothing (errno tells why).
bool WriteWhole(int fd, const void* data, size_t size);

}  // namespace ruzd::platform
