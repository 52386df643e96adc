#pragma once

#include <cstddef>

namespace ruzd::platform {

// Writes all of the bytes to the descriptor, going on after partial writes and interrupted
// calls; false when a write fails or writes nothing (errno tells why).
bool WriteWhole(int fd, const void* data, size_t size);

// Appends all of the bytes to a file opened to append, as WriteWhole does; a write that fails
// part way (a disk that fills up) is taken back, the file cut to its length before, so that a
// file of lines never keeps part of one for the next line to run on. 0, or the errno of the
// failure (ENOSPC for a write that wrote nothing). Only for a file that nobody else appends to
// meanwhile: one writer, or writers that all hold one lock.
int AppendWholeOrNothing(int fd, const void* data, size_t size);

}  // namespace ruzd::platform
