#include "net/file_cache_owner.h"

namespace ruzd::net {

foundation::Published<FileCacheOwner>& PublishedFileCacheOwner() {
    static foundation::Published<FileCacheOwner> published;
    return published;
}

}  // namespace ruzd::net
