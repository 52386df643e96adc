#include "platform/unix_socket_address.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstring>

namespace ruzd::platform {

UnixSocketAddress::UnixSocketAddress(const std::filesystem::path& folder, const std::string& name) {
    const std::string full = (folder / name).string();
    std::string path = full;
    if (full.size() >= sizeof(address_.sun_path)) {
        folder_ = ::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        path = "/proc/self/fd/" + std::to_string(folder_) + "/" + name;
    }
    if (path.size() < sizeof(address_.sun_path)) {
        address_.sun_family = AF_UNIX;
        std::memcpy(address_.sun_path, path.c_str(), path.size() + 1);
        valid_ = true;
    }
}

UnixSocketAddress::~UnixSocketAddress() {
    if (folder_ >= 0) {
        ::close(folder_);
    }
}

}  // namespace ruzd::platform
