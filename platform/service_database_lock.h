#pragma once

// The lock of the service database (LockServiceDatabase): a write lock of the open file
// <root>/run/service-database.lock (its owner's alone), held by one open of the file, so that a
// second lock fails whether it is taken by another process or by another handle of the same
// one. The file names the lock's owner and when it was taken, for the lock's status.

#include <cstdint>
#include <memory>

#include "platform/service_types.h"

namespace ruzd::platform {

class ServiceDatabaseLock {
public:
    // The lock, or null with the thread's last error set (kErrorServiceDatabaseLocked when it
    // is held elsewhere).
    static std::unique_ptr<ServiceDatabaseLock> Acquire();
    ~ServiceDatabaseLock();  // unlocks
    ServiceDatabaseLock(const ServiceDatabaseLock&) = delete;
    ServiceDatabaseLock& operator=(const ServiceDatabaseLock&) = delete;

    // Whether the database is locked now, with its owner and for how long.
    static LockStatus Status();

private:
    explicit ServiceDatabaseLock(int fd) : fd_(fd) {}
    int fd_;
};

}  // namespace ruzd::platform
