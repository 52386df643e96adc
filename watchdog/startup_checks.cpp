#include "watchdog/startup_checks.h"

#include "platform/message_box.h"
#include "watchdog/option_reader.h"

namespace ruzd::watchdog {

StartupVerdict CheckOptions(const WatchdogOptions& options) {
    if (options.countdown == 0) {
        return {true, {}};
    }
    if (options.countdown <= 30) {
        return {true, {kCountdownTooShortMessage}};
    }
    if (options.client_port == kPortUnset && !options.reboot && options.callout_file.empty() &&
        !options.card && options.command.empty()) {
        return {true, {kNoActionMessage, UsageText()}};
    }
    if (!options.bad_peer_entry.empty()) {
        return {true, {std::string(kBadPeerListMessage) + "'" + options.bad_peer_entry + "'\n"}};
    }
    return {};
}

void ShowVerdict(const StartupVerdict& verdict) {
    for (const std::string& message : verdict.messages) {
        if (message == UsageText()) {
            ShowUsage();
        } else {
            platform::ShowMessageBox(message, "Tormbel",
                                     platform::kMbOk | platform::kMbIconInformation);
        }
    }
}

}  // namespace ruzd::watchdog
