#pragma once

#include <string>

namespace ruzd::platform {

// A new random UUID as text, in lower case without braces:
// "1b4e28ba-2fa1-11d2-883f-0016d3cca427".
std::string NewUuidText();

}  // namespace ruzd::platform
