#pragma once

// The node's own files, which no name from the central server may reach, however it is spelt:
// the move queue (and the queues set aside beside it), the folder where transfers are written
// before they enter the file cache, the debug folder and the registry. A voice, record or trace
// file of such a name would overwrite the node's state with a recording.

#include <string_view>

namespace ruzd::node {

// Whether the Windows path names one of the node's own files, or lies inside one of its own
// folders. Links are followed and letters compared in either case, as the file system would
// find the file.
bool ReachesNodeOwnFiles(std::string_view windowsPath);

}  // namespace ruzd::node
