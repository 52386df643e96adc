#pragma once

// What tests ask the system about the process they run in, independently of the code under
// test, and the change of rights a test child needs.

#include <string>

namespace ruzd::testing {

// The name of the account of the effective user id, from the password database; "" when it has
// none.
std::string EffectiveUserName();

bool RunningAsRoot();

// Makes the calling process the unprivileged user "nobody" (65534) with no other groups; false
// when the system refuses.
bool BecomeNobody();

}  // namespace ruzd::testing
