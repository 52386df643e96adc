#include "testing/small_tmpfs.h"

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <system_error>
#include <vector>

namespace ruzd::testing {
namespace {

constexpr const char* kFillerName = "filler";

// A mount namespace of the calling thread's own, whose mounts do not reach the machine's.
bool OwnMountNamespace() {
    static thread_local bool made = false;
    if (!made) {
        made = ::unshare(CLONE_NEWNS) == 0 &&
               ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
    }
    return made;
}

}  // namespace

SmallTmpfs::SmallTmpfs(const std::filesystem::path& folder, size_t bytes) : folder_(folder) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    const std::string options = "size=" + std::to_string(bytes) + ",mode=0755";
    mounted_ = OwnMountNamespace() && ::mount("tmpfs", folder.c_str(), "tmpfs",
                                              MS_NOSUID | MS_NODEV, options.c_str()) == 0;
}

SmallTmpfs::~SmallTmpfs() {
    if (mounted_) {
        ::umount2(folder_.c_str(), MNT_DETACH);
    }
}

void SmallTmpfs::FillUp() {
    const std::filesystem::path filler = folder_ / kFillerName;
    const int fd = ::open(filler.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0) {
        return;
    }
    // Big writes first, then ever smaller ones, down to the last byte that fits.
    const std::vector<char> block(64 * 1024, 'x');
    for (size_t size = block.size(); size > 0; size /= 2) {
        while (::write(fd, block.data(), size) > 0) {
        }
    }
    ::close(fd);
}

void SmallTmpfs::MakeRoom() {
    std::error_code error;
    std::filesystem::remove(folder_ / kFillerName, error);
}

}  // namespace ruzd::testing
