#pragma once

// The five debug settings as both sides of the local GUI link carry them (the window's request
// to apply them, the node's settings now in force): enabled, trace level, directory, number of
// files to keep, file type.

#include <optional>

#include "app/debug_settings.h"
#include "net/input_stream_socket.h"
#include "net/output_stream_socket.h"

namespace ruzd::app {

void WriteDebugSettingsValues(net::COutputStreamSocket& writer, const DebugSettings& settings);
// None when the values do not read, or when the number of files or the file type is negative.
// The fields that do not travel (the folder's bound) are left at their defaults.
std::optional<DebugSettings> ReadDebugSettingsValues(net::CInputStreamSocket& reader);

}  // namespace ruzd::app
