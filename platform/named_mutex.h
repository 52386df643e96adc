#pragma once

// A machine-wide named mutex such as "Global\Vesmarin", which keeps a second instance of a
// program from starting. It is a lock file under <root>/run held with flock(2): the kernel drops
// the lock when the holding process dies, however it dies, so a crashed node never blocks its
// successor. Names compare without regard to case; "Global\" and "Local\" name the same lock,
// as there are no sessions on this platform.

#include <optional>
#include <string>
#include <string_view>

namespace ruzd::platform {

class NamedMutex {
public:
    enum class Acquire {
        kAcquired,       // this object holds the mutex now
        kHeldElsewhere,  // another process or object holds it; last error kErrorAlreadyExists
        kFailed,         // bad name or lock file unusable; last error says why
    };

    explicit NamedMutex(std::string_view name);
    ~NamedMutex();  // releases
    NamedMutex(const NamedMutex&) = delete;
    NamedMutex& operator=(const NamedMutex&) = delete;

    // Takes the mutex without waiting. Taking it again while held succeeds at once.
    Acquire TryAcquire();
    void Release();
    bool held() const { return fd_ >= 0; }
    const std::string& name() const { return name_; }
    // After kFailed: why, as one sentence naming the lock file and the system's reason.
    const std::string& failure() const { return failure_; }

    // The lock file name for a mutex name: the "Global\" or "Local\" prefix dropped, letters
    // folded to lower case, and every byte other than a-z, 0-9, '_', '-' and a '.' that does not
    // lead written as %XX; ".lock" appended. nullopt for an empty name or one too long for a
    // file name.
    static std::optional<std::string> LockFileName(std::string_view name);

private:
    std::string name_;
    std::string failure_;
    int fd_ = -1;
};

}  // namespace ruzd::platform
