#include "app/service_entry.h"

#include "app/command_line.h"
#include "app/service/nt_service_command_line_info.h"
#include "app/vesmarin_app.h"
#include "app/vesmarin_service.h"
#include "platform/service_types.h"

namespace ruzd::app {

int RunNodeService(const std::vector<std::string>& words) {
    CVesmarinService service;
    service.SetAppendServiceCommandLine(true);
    CNTServiceCommandLineInfo info;
    service.ParseCommandLine(info, ServiceFrameworkWords(words));
    info.autoStart = true;
    info.serviceCommandLine = EnsureServiceSwitch(info.serviceCommandLine);
    const uint32_t result = service.RunCommandLineAction(info);
    if (info.action == kServiceActionInstall && result == 0 && info.failureActions.empty()) {
        platform::FailureActions restart;
        restart.reset_period_s = 0;
        restart.reboot_message = "";
        restart.command = "";
        restart.actions = std::vector<platform::ScAction>{{platform::kScActionRestart, 0}};
        service.ConfigureService(restart);
    }
    // The node run as a service, or as one in the console, that could not start ends as a plain
    // run does: the reason is on stderr already (the box nobody can answer), the status is 1.
    if (service.EndedFatally()) {
        return kFatalExitCode;
    }
    return ServiceExitStatus(result);
}

}  // namespace ruzd::app
