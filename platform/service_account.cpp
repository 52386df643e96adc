#include "platform/service_account.h"

#include <pwd.h>

#include <vector>

#include "platform/win_error.h"

namespace ruzd::platform {

uint32_t LookUpServiceAccount(const ServiceRecord& record, std::optional<ServiceAccount>* account,
                              std::string* problem) {
    account->reset();
    problem->clear();
    const std::string user = ServiceAccountUser(record);
    if (user.empty()) {
        return kErrorSuccess;
    }
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwnam_r(user.c_str(), &entry, buffer.data(), buffer.size(), &found) != 0 ||
        found == nullptr) {
        const std::string setting = ServiceAccountSetting(record);
        *problem =
            "the service \"" + record.name + "\" runs as \"" + record.object_name + "\", " +
            (setting.empty() ? std::string()
                             : "which stands for the user \"" + user + "\" (" + setting + "), ") +
            "and this machine has no user \"" + user + "\"";
        return kErrorInvalidServiceAccount;
    }
    if (found->pw_uid != 0) {
        *account = ServiceAccount{found->pw_name, found->pw_uid, found->pw_gid};
    }
    return kErrorSuccess;
}

}  // namespace ruzd::platform
