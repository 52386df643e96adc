// Runs a program with one folder read-only for it, whatever its rights: root's too, whom file
// modes do not stop. In a mount namespace of its own the folder is bind-mounted on itself
// read-only, so every write below it fails with EROFS while the rest of the machine is the
// same. A process that may not make a mount namespace by itself makes one inside a user
// namespace of its own, in which it keeps its user and group ids.
//
//   read_only_folder_run FOLDER PROGRAM [ARGUMENT...]
//
// Becomes PROGRAM (same process, environment, current folder and descriptors); exits with 125,
// saying why on stderr, when the folder cannot be made read-only.

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr int kCannotPrepare = 125;

int Fail(const char* step, const char* subject) {
    std::fprintf(stderr, "read_only_folder_run: %s %s: %s\n", step, subject, std::strerror(errno));
    return kCannotPrepare;
}

bool WriteProcFile(const char* path, const std::string& text) {
    const int fd = ::open(path, O_WRONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool written = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    ::close(fd);
    return written;
}

bool EnterUserAndMountNamespace() {
    const std::string uid = std::to_string(::geteuid());
    const std::string gid = std::to_string(::getegid());
    return ::unshare(CLONE_NEWUSER | CLONE_NEWNS) == 0 &&
           WriteProcFile("/proc/self/setgroups", "deny") &&
           WriteProcFile("/proc/self/uid_map", uid + " " + uid + " 1") &&
           WriteProcFile("/proc/self/gid_map", gid + " " + gid + " 1");
}

// The flags of the mount that holds `folder` that a remount inside a user namespace must keep.
unsigned long LockedFlags(const char* folder) {
    struct statvfs info {};
    if (::statvfs(folder, &info) != 0) {
        return 0;
    }
    unsigned long flags = 0;
    flags |= (info.f_flag & ST_NOSUID) != 0 ? MS_NOSUID : 0;
    flags |= (info.f_flag & ST_NODEV) != 0 ? MS_NODEV : 0;
    flags |= (info.f_flag & ST_NOEXEC) != 0 ? MS_NOEXEC : 0;
    flags |= (info.f_flag & ST_NOATIME) != 0 ? MS_NOATIME : 0;
    flags |= (info.f_flag & ST_NODIRATIME) != 0 ? MS_NODIRATIME : 0;
    flags |= (info.f_flag & ST_RELATIME) != 0 ? MS_RELATIME : 0;
    return flags;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: read_only_folder_run FOLDER PROGRAM [ARGUMENT...]\n");
        return kCannotPrepare;
    }
    const char* folder = argv[1];
    if (::unshare(CLONE_NEWNS) != 0 && !EnterUserAndMountNamespace()) {
        return Fail("cannot make a mount namespace for", folder);
    }
    // The mounts made here must not reach the machine's own namespace.
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
        return Fail("cannot keep the mounts private for", folder);
    }
    if (::mount(folder, folder, nullptr, MS_BIND | MS_REC, nullptr) != 0) {
        return Fail("cannot bind", folder);
    }
    if (::mount(nullptr, folder, nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY | LockedFlags(folder),
                nullptr) != 0) {
        return Fail("cannot make read-only", folder);
    }
    ::execv(argv[2], argv + 2);
    return Fail("cannot run", argv[2]);
}
