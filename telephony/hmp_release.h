#pragma once

// What the installed host media release can do, judged by its product version and build
// number as its installation records them (foundation/dialogic_install.h).

#include <string>

#include "foundation/dialogic_install.h"

namespace ruzd::telephony {

// True from HMP 3.0 service update 357 on: a later version with any build, or version 3.0
// with build 357 or more. Versions compare by their dotted numbers, so that 10.0 is later
// than 3.0; a version text that does not begin with a number compares as text.
bool DefersPendingReinvite(const foundation::DialogicVersion& release);

}  // namespace ruzd::telephony
