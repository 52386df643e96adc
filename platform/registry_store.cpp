#include "platform/registry_store.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>
#include <utility>

#include "platform/bounded_file_lock.h"
#include "platform/file_replacement.h"
#include "platform/owner_only_file.h"
#include "platform/reg_file.h"
#include "platform/regular_file.h"
#include "platform/root.h"
#include "platform/root_problem.h"
#include "platform/win_error.h"

namespace ruzd::platform {
namespace {

// What identifies one version of the store file. Each change renames a new file into place, so
// the inode alone nearly always differs; size and times cover inode reuse and edits by hand.
struct FileIdentity {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};
    timespec changed{};

    static FileIdentity Of(const struct stat& st) {
        return FileIdentity{true, st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_ctim};
    }
    bool operator==(const FileIdentity& other) const {
        return exists == other.exists && device == other.device && inode == other.inode &&
               size == other.size && modified.tv_sec == other.modified.tv_sec &&
               modified.tv_nsec == other.modified.tv_nsec &&
               changed.tv_sec == other.changed.tv_sec && changed.tv_nsec == other.changed.tv_nsec;
    }
};

struct Cache {
    std::filesystem::path path;
    std::optional<uint64_t> generation;
    FileIdentity identity;
    std::unique_ptr<RegNode> root;
};

std::mutex& ProcessMutex() {
    static std::mutex mutex;
    return mutex;
}

Cache& TheCache() {
    static Cache cache;
    return cache;
}

// Why this thread's last change failed.
thread_local std::string t_change_problem;

uint32_t ChangeFailure(uint32_t error, std::string problem) {
    t_change_problem = std::move(problem);
    return error;
}

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) {
            close(fd_);
        }
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }

private:
    int fd_;
};

uint32_t ErrorFromErrno(int error) {
    switch (error) {
        case EACCES:
        case EPERM:
        case EROFS:
            return kErrorAccessDenied;
        case ENOSPC:
        case EDQUOT:
            return kErrorDiskFull;
        case ENOMEM:
            return kErrorNotEnoughMemory;
        default:
            return kErrorInvalidData;
    }
}

std::filesystem::path LockPath(const std::filesystem::path& store) {
    return std::filesystem::path(store.string() + ".lock");
}

std::optional<uint64_t> ReadGeneration(int fd) {
    unsigned char bytes[8];
    if (pread(fd, bytes, sizeof bytes, 0) != static_cast<ssize_t>(sizeof bytes)) {
        return std::nullopt;
    }
    uint64_t generation = 0;
    for (int i = 7; i >= 0; --i) {
        generation = (generation << 8) | bytes[i];
    }
    return generation;
}

std::optional<uint64_t> ReadGeneration(const std::filesystem::path& lockPath) {
    FileDescriptor fd(OpenRegularFile(lockPath, O_RDONLY));
    return fd.valid() ? ReadGeneration(fd.get()) : std::nullopt;
}

bool WriteGeneration(int fd, uint64_t generation) {
    unsigned char bytes[8];
    for (int i = 0; i < 8; ++i) {
        bytes[i] = static_cast<unsigned char>(generation >> (8 * i));
    }
    return pwrite(fd, bytes, sizeof bytes, 0) == static_cast<ssize_t>(sizeof bytes);
}

// What LoadStore found besides the tree: the file's identity and form, and why it could not be
// read.
struct LoadedStore {
    FileIdentity identity;
    RegTextForm form;
    std::string problem;
};

uint32_t LoadFailure(int error, LoadedStore* loaded) {
    loaded->problem = OpenErrorText(error);
    return ErrorFromErrno(error);
}

// Reads and parses the store; a missing store is an empty one, of the default form.
uint32_t LoadStore(const std::filesystem::path& path, std::unique_ptr<RegNode>* root,
                   LoadedStore* loaded) {
    *root = std::make_unique<RegNode>(std::string());
    *loaded = LoadedStore{};
    // A FIFO in its place would hold the open until a writer came, and with it every reader.
    FileDescriptor fd(OpenRegularFile(path, O_RDONLY));
    if (!fd.valid()) {
        return errno == ENOENT ? kErrorSuccess : LoadFailure(errno, loaded);
    }
    struct stat st {};
    if (fstat(fd.get(), &st) != 0) {
        return LoadFailure(errno, loaded);
    }
    std::string text;
    char buffer[65536];
    while (true) {
        const ssize_t n = read(fd.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return LoadFailure(errno, loaded);
        }
        if (n == 0) {
            break;
        }
        text.append(buffer, static_cast<size_t>(n));
    }
    if (!ParseRegFile(text, root->get(), &loaded->problem, &loaded->form)) {
        return kErrorInvalidData;
    }
    loaded->identity = FileIdentity::Of(st);
    return kErrorSuccess;
}

FileIdentity StatIdentity(const std::filesystem::path& path, int* error) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) {
        *error = errno;
        return FileIdentity{};
    }
    *error = 0;
    return FileIdentity::Of(st);
}

// Writes the text beside the store and renames it into place, so that a reader sees either the
// old file or the new one, never a part of either.
uint32_t ReplaceStore(const std::filesystem::path& path, const std::string& text) {
    FileReplacement replacement;
    // Nobody but the node's account may change its settings, whatever rights the file had.
    replacement.DenyRights(S_IWGRP | S_IWOTH);
    uint32_t error = replacement.Begin(path, path.parent_path());
    if (error == kErrorSuccess) {
        error = replacement.Write(text.data(), text.size());
    }
    if (error == kErrorSuccess) {
        error = replacement.Commit();
    }
    if (error != kErrorSuccess) {
        return ChangeFailure(error, "the registry file " + path.string() +
                                        " could not be replaced durably: " + WinErrorText(error));
    }
    return kErrorSuccess;
}

}  // namespace

std::filesystem::path RegistryStore::StorePath() {
    return Root() / "registry.reg";
}

bool RegistryStore::CanWrite() {
    const std::filesystem::path root = Root();
    std::error_code ignored;
    std::filesystem::create_directories(root, ignored);
    const std::filesystem::path store = StorePath();
    const auto writableOrAbsent = [](const std::filesystem::path& file) {
        return access(file.c_str(), W_OK) == 0 || errno == ENOENT;
    };
    return access(root.c_str(), W_OK | X_OK) == 0 && writableOrAbsent(store) &&
           writableOrAbsent(LockPath(store));
}

std::optional<std::string> RegistryStore::Problem() {
    std::lock_guard<std::mutex> guard(ProcessMutex());
    const std::filesystem::path path = StorePath();
    std::unique_ptr<RegNode> root;
    LoadedStore loaded;
    if (LoadStore(path, &root, &loaded) == kErrorSuccess) {
        return std::nullopt;
    }
    return "Cannot read the registry file " + path.string() + " (left as it is): " + loaded.problem;
}

uint32_t RegistryStore::Read(const std::function<uint32_t(const RegNode& root)>& read) {
    std::lock_guard<std::mutex> guard(ProcessMutex());
    Cache& cache = TheCache();
    const std::filesystem::path path = StorePath();
    // The generation is read before the file, so a cached tree is never older than its label.
    const std::optional<uint64_t> generation = ReadGeneration(LockPath(path));
    int statError = 0;
    const FileIdentity identity = StatIdentity(path, &statError);
    if (statError != 0 && statError != ENOENT) {
        return ErrorFromErrno(statError);
    }
    const bool fresh = cache.root && cache.path == path && cache.generation == generation &&
                       cache.identity == identity;
    if (!fresh) {
        std::unique_ptr<RegNode> root;
        LoadedStore loaded;
        cache.root.reset();
        if (const uint32_t error = LoadStore(path, &root, &loaded); error != kErrorSuccess) {
            return error;
        }
        cache = Cache{path, generation, loaded.identity, std::move(root)};
    }
    return read(*cache.root);
}

std::string RegistryStore::TakeChangeProblem() {
    return std::exchange(t_change_problem, std::string());
}

uint32_t RegistryStore::Change(const std::function<uint32_t(RegNode& root)>& change) {
    std::lock_guard<std::mutex> guard(ProcessMutex());
    t_change_problem.clear();
    const std::filesystem::path path = StorePath();
    if (!CanWrite()) {
        return ChangeFailure(kErrorAccessDenied, "this account may not write the registry file " +
                                                     path.string() + ", its lock or its folder");
    }
    // What another account may change is not the node's to fill with settings: the programs
    // refuse such a root at their start, and nothing is written into it before or after.
    if (const std::optional<std::string> part = RootPartOthersMayWrite()) {
        return ChangeFailure(kErrorAccessDenied, "the platform root " + Root().string() +
                                                     " is refused: another account may write " +
                                                     *part);
    }
    // Anyone who could open the lock could hold every change of the registry: it is its
    // owner's alone.
    const std::filesystem::path lockPath = LockPath(path);
    FileDescriptor lock(OpenOwnerLockFile(lockPath));
    if (!lock.valid()) {
        const int error = errno;
        return ChangeFailure(ErrorFromErrno(error), OwnerLockFileProblem(lockPath, error));
    }
    // Only this account can hold the lock, each change for a few milliseconds: a wait as long
    // as this lets writers that keep coming take their turns, and still ends when one of them
    // hangs holding it.
    if (!LockFileWithin(lock.get(), LOCK_EX, kRegistryLockWaitMs)) {
        const int error = errno;
        if (error == EWOULDBLOCK) {
            return ChangeFailure(kErrorLockViolation,
                                 "the lock file " + lockPath.string() +
                                     " was held by another process for " +
                                     std::to_string(kRegistryLockWaitMs / 1000) +
                                     " seconds; the change is given up");
        }
        return ChangeFailure(
            ErrorFromErrno(error),
            "the lock file " + lockPath.string() + " cannot be locked: " + std::strerror(error));
    }
    // flock is released when `lock` closes.
    Cache& cache = TheCache();
    cache.root.reset();
    const uint64_t generation = ReadGeneration(lock.get()).value_or(0);
    std::unique_ptr<RegNode> root;
    LoadedStore loaded;
    // A store that cannot be read is never replaced: what its author wrote stays.
    if (const uint32_t error = LoadStore(path, &root, &loaded); error != kErrorSuccess) {
        return ChangeFailure(error, "the registry file " + path.string() +
                                        " cannot be read (left as it is): " + loaded.problem);
    }
    if (const uint32_t error = change(*root); error != kErrorSuccess) {
        cache = Cache{path, generation, loaded.identity, std::move(root)};
        return error;
    }
    const uint32_t error = ReplaceStore(path, FormatRegFile(*root, loaded.form));
    // Counted up even after a failure, which may have come once the new file was in place.
    // Without it readers still notice a new file by its identity.
    WriteGeneration(lock.get(), generation + 1);
    // The changed tree is not kept: the next read parses the file written, so that each value's
    // line is the one it now stands on.
    return error;
}

}  // namespace ruzd::platform
