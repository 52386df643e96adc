#pragma once

// The five debug settings as both sides of the local GUI link carry them (the window's request
// to apply them, the node's settings now in force): enabled, trace level, directory, number of
// files to keep, file type.

#include <optional>
#include <string>

#include "app/debug_settings.h"
#include "net/input_stream_socket.h"
#include "net/output_stream_socket.h"

namespace ruzd::app {

void WriteDebugSettingsValues(net::COutputStreamSocket& writer, const DebugSettings& settings);
// None when the values do not read, or when the number of files or the file type is negative.
// The fields that do not travel (the folder's bound) are left at their defaults.
std::optional<DebugSettings> ReadDebugSettingsValues(net::CInputStreamSocket& reader);

// The debug directory as the link shows it to windows: the full path of the folder the node's
// log writes to, whatever the registry's text is relative to. A folder on one of the platform
// root's drives or shares is given as its Windows path ("C:\Ruzd\debug\"), which a window maps
// to the same folder from wherever it runs; any other as the host's path
// ("/var/lib/ruzd/node/debug/"), as no Windows path names it. Both end with their separator.
std::string FullDebugDirectory(const std::string& directory);

// Whether the directory a window sent names the folder of the directory in force: the text the
// link showed for it, or the same folder by another name. The node then keeps the text of its
// registry, so that a window that sends the settings back changes no relative directory into
// an absolute one.
bool NamesDebugDirectory(const std::string& sent, const std::string& inForce);

}  // namespace ruzd::app
