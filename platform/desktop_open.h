#pragma once

// Hands a file or folder to the desktop, as the Windows shell's "open" verb does: the desktop's
// opener shows a folder in the file manager and opens a file in the program registered for it.

#include <string>

namespace ruzd::platform {

// The variable that names the opener; "xdg-open" when it is unset or empty.
inline constexpr const char* kDesktopOpenVariable = "RUZD_DESKTOP_OPEN";

// Starts the opener with `host_path`, made absolute, as its one argument, detached: no shell
// between, a session of its own, standard input /dev/null, and not ended with us. True when it
// was started; an empty path is not handed on (false, last error kErrorInvalidParameter).
bool OpenWithDesktop(const std::string& host_path);

}  // namespace ruzd::platform
