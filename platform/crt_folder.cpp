#include "platform/crt_folder.h"

#include <sys/stat.h>

#include <cerrno>

#include "platform/win_path.h"

namespace ruzd::platform {

static_assert(kCrtErrnoExists == EEXIST);

int CrtMakeFolder(std::string_view windows_path) {
    const std::filesystem::path path = MapWindowsPath(windows_path);
    if (path.empty()) {
        return ENOENT;
    }
    return ::mkdir(path.c_str(), 0777) == 0 ? 0 : errno;
}

}  // namespace ruzd::platform
