#include "platform/process_identity.h"

#include <pwd.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <sstream>
#include <vector>

namespace ruzd::platform {
namespace {

struct UserIds {
    uid_t real = 0;
    uid_t effective = 0;
};

// The first two numbers of the "Uid:" line: real, effective, saved and file-system ids follow it.
std::optional<UserIds> UserIdsOf(uint32_t process_id) {
    const std::string path =
        process_id == 0 ? "/proc/self/status" : "/proc/" + std::to_string(process_id) + "/status";
    std::ifstream status(path);
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("Uid:", 0) != 0) {
            continue;
        }
        std::istringstream fields(line.substr(4));
        unsigned long real = 0;
        unsigned long effective = 0;
        if (fields >> real >> effective) {
            return UserIds{static_cast<uid_t>(real), static_cast<uid_t>(effective)};
        }
        return std::nullopt;
    }
    return std::nullopt;
}

std::optional<std::string> UserNameOf(uid_t uid) {
    const long size_hint = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size_hint > 0 ? static_cast<size_t>(size_hint) : 1024);
    for (;;) {
        passwd entry{};
        passwd* found = nullptr;
        const int error = ::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found);
        if (error == ERANGE && buffer.size() < (1u << 20)) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        if (error != 0 || found == nullptr || found->pw_name == nullptr) {
            return std::nullopt;
        }
        return std::string(found->pw_name);
    }
}

}  // namespace

std::optional<std::string> ProcessUserName(uint32_t process_id) {
    const std::optional<UserIds> ids = UserIdsOf(process_id);
    if (!ids) {
        return std::nullopt;
    }
    return UserNameOf(ids->effective);
}

uint32_t EffectiveUserId() {
    return ::geteuid();
}

std::optional<std::string> UserName(uint32_t uid) {
    return UserNameOf(uid);
}

bool RunsAsCallingUser(uint32_t process_id) {
    const std::optional<UserIds> ids = UserIdsOf(process_id);
    return ids && ids->real == ::getuid() && ids->effective == ::geteuid();
}

std::optional<uint32_t> CurrentSessionId() {
    const pid_t session = ::getsid(0);
    if (session < 0) {
        return std::nullopt;
    }
    return static_cast<uint32_t>(session);
}

uint32_t CurrentProcessId() {
    return static_cast<uint32_t>(::getpid());
}

}  // namespace ruzd::platform
