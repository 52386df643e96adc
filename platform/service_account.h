#pragma once

// The account of this machine a service runs as, looked up from its record's "ObjectName"
// (service_record.h: ServiceAccountUser).

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>

#include "platform/service_record.h"

namespace ruzd::platform {

struct ServiceAccount {
    std::string user;
    uid_t uid = 0;
    gid_t gid = 0;
};

// The service's account: none for root (the system's own account). 0, or
// kErrorInvalidServiceAccount when the user does not exist, with `problem` saying which user and,
// for LocalService and NetworkService, which registry value names it.
uint32_t LookUpServiceAccount(const ServiceRecord& record, std::optional<ServiceAccount>* account,
                              std::string* problem);

}  // namespace ruzd::platform
