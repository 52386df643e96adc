#pragma once

// Whether an account other than this one may change a file or folder. Whoever may write the
// platform root, one of its folders or its registry file could put settings, libraries or
// locks of their own in the programs' place, so the programs refuse such a root at start.
//
// Another account may write what it owns (root aside, who may write anything anyway), what
// every account may write (the "others" write bit; a sticky folder still lets them make new
// names in it), and what a group may write, unless that group is this account's own: the
// group of this account's name, its primary one, with no other member.

#include <sys/stat.h>
#include <sys/types.h>

#include <optional>
#include <string>

namespace ruzd::platform {

// Why another account may write what `found` describes, as a parenthesis-free phrase ("mode
// 0777, writable by every account", "owned by uid 65534, nobody"); none when none may.
std::optional<std::string> OtherWriters(const struct stat& found);

// "uid 65534, nobody", or the number alone for a user the password database does not know.
std::string AccountText(uid_t uid);

}  // namespace ruzd::platform
