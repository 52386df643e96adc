#include "platform/desktop_open.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/child_process.h"
#include "platform/win_error.h"

namespace ruzd::platform {

bool OpenWithDesktop(const std::string& host_path) {
    if (host_path.empty()) {
        return FailWithError(kErrorInvalidParameter);
    }
    const char* opener = std::getenv(kDesktopOpenVariable);
    // xdg-open takes options and refuses "--"; what the variable names may be no better. A path
    // handed over absolute can never read as an option (nor as a URL).
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(host_path, error);
    const std::string path = error ? "./" + host_path : absolute.string();
    ChildStart start;
    start.arguments = {opener != nullptr && *opener != '\0' ? opener : "xdg-open", path};
    start.own_session = true;
    start.null_input = true;
    // The watcher thread of the child reaps it; nobody waits for the opener.
    return ChildProcess::Start(start) != nullptr;
}

}  // namespace ruzd::platform
