#include "platform/root.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <system_error>

#include "platform/text.h"

namespace ruzd::platform {

std::filesystem::path Root() {
    const char* root = std::getenv("RUZD_ROOT");
    return (root != nullptr && *root != '\0') ? std::filesystem::path(root)
                                              : std::filesystem::path("/var/lib/ruzd");
}

std::optional<std::string> RootProblem() {
    const std::filesystem::path root = Root();
    const auto problem = [&root](const char* what, int error) {
        return Format("Cannot %s the platform root %s (RUZD_ROOT): %s", what, root.c_str(),
                      std::strerror(error));
    };
    struct stat st {};
    if (stat(root.c_str(), &st) == 0) {
        if (!S_ISDIR(st.st_mode)) {
            return problem("use", ENOTDIR);
        }
    } else {
        std::error_code error;
        std::filesystem::create_directories(root, error);
        if (error) {
            return problem("create", error.value());
        }
    }
    // Rights alone do not tell: root may write anywhere except on a read-only file system or
    // through an immutable folder.
    std::string probe = (root / ".write-check.XXXXXX").string();
    const int fd = mkostemp(probe.data(), O_CLOEXEC);
    if (fd < 0) {
        return problem("write in", errno);
    }
    close(fd);
    unlink(probe.c_str());
    return std::nullopt;
}

std::filesystem::path RootSubdir(std::string_view name) {
    std::filesystem::path dir = Root() / name;
    std::error_code ignored;
    std::filesystem::create_directories(dir, ignored);
    return dir;
}

std::filesystem::path VendorDir() {
    const char* dir = std::getenv("RUZD_VENDOR_DIR");
    return (dir != nullptr && *dir != '\0') ? std::filesystem::path(dir) : Root() / "vendor";
}

}  // namespace ruzd::platform
