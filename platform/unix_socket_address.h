#pragma once

// The address of a Unix socket file in a folder. A folder deep in the file system could make the
// full path longer than a socket address holds; the folder is then reached through an open
// descriptor of it, whose /proc path is always short.

#include <sys/socket.h>
#include <sys/un.h>

#include <filesystem>
#include <string>

namespace ruzd::platform {

class UnixSocketAddress {
public:
    UnixSocketAddress(const std::filesystem::path& folder, const std::string& name);
    ~UnixSocketAddress();
    UnixSocketAddress(const UnixSocketAddress&) = delete;
    UnixSocketAddress& operator=(const UnixSocketAddress&) = delete;

    // False when even the short form does not fit (errno is then ENAMETOOLONG for the caller).
    bool valid() const { return valid_; }
    const sockaddr* get() const { return reinterpret_cast<const sockaddr*>(&address_); }
    socklen_t size() const { return sizeof(address_); }

private:
    sockaddr_un address_{};
    int folder_ = -1;
    bool valid_ = false;
};

}  // namespace ruzd::platform
