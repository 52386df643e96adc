#include "platform/root_problem.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>

#include "platform/other_writers.h"
#include "platform/registry_store.h"
#include "platform/root.h"
#include "platform/text.h"

namespace ruzd::platform {

std::optional<std::string> RootPartOthersMayWrite() {
    const std::filesystem::path root = Root();
    struct stat found {};
    if (stat(root.c_str(), &found) == 0) {
        if (const std::optional<std::string> why = OtherWriters(found)) {
            return "it (" + *why + ")";
        }
    }
    std::error_code error;
    for (std::filesystem::directory_iterator entry(root, error), end; !error && entry != end;
         entry.increment(error)) {
        // A link is judged by the folder it leads to, where the programs would write.
        if (stat(entry->path().c_str(), &found) != 0 || !S_ISDIR(found.st_mode)) {
            continue;
        }
        if (const std::optional<std::string> why = OtherWriters(found)) {
            return "its folder " + entry->path().string() + " (" + *why + ")";
        }
    }
    const std::filesystem::path store = RegistryStore::StorePath();
    if (stat(store.c_str(), &found) == 0) {
        if (const std::optional<std::string> why = OtherWriters(found)) {
            return "its registry file " + store.string() + " (" + *why + ")";
        }
    }
    return std::nullopt;
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
    if (const std::optional<std::string> part = RootPartOthersMayWrite()) {
        return Format("Cannot use the platform root %s (RUZD_ROOT): another account may write %s",
                      root.c_str(), part->c_str());
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

}  // namespace ruzd::platform
