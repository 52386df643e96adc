#include "platform/root.h"

#include <cstdlib>
#include <system_error>

namespace ruzd::platform {

std::filesystem::path Root() {
    const char* root = std::getenv("RUZD_ROOT");
    return (root != nullptr && *root != '\0') ? std::filesystem::path(root)
                                              : std::filesystem::path("/var/lib/ruzd");
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
