#include "net/updater_command.h"

#include "platform/text.h"

namespace ruzd::net {
namespace {

std::string SessionSwitch(const std::optional<uint32_t>& sessionId) {
    return sessionId ? platform::Format("/sessionid:%u", *sessionId) : std::string();
}

}  // namespace

std::string BuildUpdaterCommand(const UpdaterCommand& command) {
    std::string switches = SessionSwitch(command.sessionId);
    if (command.deleteUpdater) {
        switches += "/delete";
    }
    if (command.waitForUpdater) {
        switches += "/wait";
    }
    switches += "/user:system/log";

    std::string text = command.updaterPath + "\fS\f" + (command.deleteUpdater ? "D" : "-") +
                       "\fL\f" + command.updateArgument + "\f" + switches + "\r";
    if (!command.restartPath.empty()) {
        const std::string arguments =
            command.restartArguments.empty() ? std::string(" ") : command.restartArguments;
        text += command.restartPath + "\fU\fR\fL\f" + arguments + "\f" +
                SessionSwitch(command.sessionId) + "\r";
    }
    return text;
}

}  // namespace ruzd::net
