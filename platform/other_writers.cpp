#include "platform/other_writers.h"

#include <grp.h>
#include <pwd.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <vector>

namespace ruzd::platform {
namespace {

std::optional<std::string> UserName(uid_t uid) {
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr) {
        return std::nullopt;
    }
    return std::string(found->pw_name);
}

std::string GroupText(gid_t gid) {
    std::vector<char> buffer(65536);
    group entry{};
    group* found = nullptr;
    if (::getgrgid_r(gid, &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr) {
        return "gid " + std::to_string(gid);
    }
    return std::string(found->gr_name);
}

// Whether the group `gid` holds this account alone: its primary group, named after it (as
// useradd makes one for each user), listing no other member.
bool IsOwnGroup(gid_t gid) {
    if (gid != ::getegid()) {
        return false;
    }
    const std::optional<std::string> self = UserName(::geteuid());
    std::vector<char> buffer(65536);
    group entry{};
    group* found = nullptr;
    if (!self || ::getgrgid_r(gid, &entry, buffer.data(), buffer.size(), &found) != 0 ||
        found == nullptr || *self != found->gr_name) {
        return false;
    }
    for (char** member = found->gr_mem; member != nullptr && *member != nullptr; ++member) {
        if (*self != *member) {
            return false;
        }
    }
    return true;
}

std::string ModeText(mode_t mode) {
    char text[8];
    std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode & 07777));
    return text;
}

}  // namespace

std::string AccountText(uid_t uid) {
    std::string text = "uid " + std::to_string(uid);
    if (const std::optional<std::string> name = UserName(uid)) {
        text += ", " + *name;
    }
    return text;
}

std::optional<std::string> OtherWriters(const struct stat& found) {
    if (found.st_uid != ::geteuid() && found.st_uid != 0) {
        return "owned by " + AccountText(found.st_uid);
    }
    if ((found.st_mode & S_IWOTH) != 0) {
        return "mode " + ModeText(found.st_mode) + ", writable by every account";
    }
    if ((found.st_mode & S_IWGRP) != 0 && !IsOwnGroup(found.st_gid)) {
        return "mode " + ModeText(found.st_mode) + ", writable by the group " +
               GroupText(found.st_gid);
    }
    return std::nullopt;
}

}  // namespace ruzd::platform
