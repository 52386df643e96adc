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

    std::string text = command.updaterPath;
    text += "\fS\f";
    text += command.deleteUpdater ? "D" : "-";
    text += "\fL\f";
    text += command.updateArgument;
    text += '\f';
    text += switches;
    text += '\r';
    if (!command.restartPath.empty()) {
        text += command.restartPath;
        text += "\fU\fR\fL\f";
        text += command.restartArguments.empty() ? std::string(" ") : command.restartArguments;
        text += '\f';
        text += SessionSwitch(command.sessionId);
        text += '\r';
    }
    return text;
}

}  // namespace ruzd::net
