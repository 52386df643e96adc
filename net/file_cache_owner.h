#pragma once

// What the file-transfer listener needs from the node that owns the file cache: removing a cached
// file at the central server's request, and hearing of closed connections. The listener's thread
// is handed its owner; a connection that has no owner at hand locks the published one for the
// length of one call (see foundation/published.h).

#include <string>

#include "foundation/published.h"

namespace ruzd::net {

class FileCacheOwner {
public:
    virtual ~FileCacheOwner() = default;

    // Deletes the cached copy of the central path `name`, so that the next use fetches it again.
    virtual void RemoveFileFromCache(const std::string& name) = 0;

    // One of the file-transfer listener's connections closed.
    virtual void OnOrvanthellaFileSocketClose() = 0;
};

// The node's published file cache.
foundation::Published<FileCacheOwner>& PublishedFileCacheOwner();

}  // namespace ruzd::net
