#include "platform/desktop_open.h"

#include <cstdlib>

#include "platform/child_process.h"
#include "platform/win_error.h"

namespace ruzd::platform {

bool OpenWithDesktop(const std::string& host_path) {
    if (host_path.empty()) {
        return FailWithError(kErrorInvalidParameter);
    }
    const char* opener = std::getenv(kDesktopOpenVariable);
    ChildStart start;
    start.arguments = {opener != nullptr && *opener != '\0' ? opener : "xdg-open", host_path};
    start.own_session = true;
    start.null_input = true;
    // The watcher thread of the child reaps it; nobody waits for the opener.
    return ChildProcess::Start(start) != nullptr;
}

}  // namespace ruzd::platform
