#include "app/service/service_messages.h"

#include <array>
#include <utility>

namespace ruzd::app {
namespace {

constexpr std::array<std::pair<uint32_t, const char*>, 24> kMessages = {{
    {kMsgInstallOpenScm, "CNTService::Install, Failed call to open SCM, Error:%1"},
    {kMsgInstallLockScm, "CNTService::Install, Failed call to lock SCM, Error:%1"},
    {kMsgInstallCreateService, "CNTService::Install, Failed call to CreateService, Error:%1"},
    {kMsgInstallEventSource,
     "CNTService::Install, Failed call to install service as an event log source, Error:%1"},
    {kMsgUninstallOpenScm, "CNTService::Uninstall, Failed call to open SCM, Error:%1"},
    {kMsgUninstallOpenService, "CNTService::Uninstall, Failed call to OpenService, Error:%1"},
    {kMsgUninstallWaitForStop, "CNTService::Uninstall, Failed call to WaitForStop, Error:%1"},
    {kMsgUninstallDeleteService, "CNTService::Uninstall, Failed call to DeleteService, Error:%1"},
    {kMsgUninstallEventSource,
     "CNTService::Uninstall, Failed call to remove service as an event log source, Error:%1"},
    {kMsgStartFailed, "Failed to start the service, Error:%1"},
    {kMsgStopFailed, "Failed to stop the service, Error:%1"},
    {kMsgContinueFailed, "Failed to continue the service, Error:%1"},
    {kMsgPauseFailed, "Failed to pause the service, Error:%1"},
    {kMsgStartFailedUnused, "Failed to start the service, Error:%1"},
    {kMsgErrorAndText, "%1, %2"},
    {kMsgUninstallStopService, "CNTService::Uninstall, Failed to stop service, Error:%1"},
    {kMsgStatusOpenScm, "CNTService::SetServiceToStatus, Failed call to open SCM, Error:%1"},
    {kMsgStatusOpenService, "CNTService::SetServiceToStatus, Failed call to OpenService, Error:%1"},
    {kMsgStatusStart, "CNTService::SetServiceToStatus, Failed to start the service, Error:%1"},
    {kMsgStatusContinue,
     "CNTService::SetServiceToStatus, Failed to continue the service, Error:%1"},
    {kMsgStatusPause, "CNTService::SetServiceToStatus, Failed to pause the service, Error:%1"},
    {kMsgStatusStop, "CNTService::SetServiceToStatus, Failed to stop the service, Error:%1"},
    {kMsgStatusWait,
     "CNTService::SetServiceToStatus, Failed to wait for the service to change state, Error:%1"},
    {kMsgStatusQuery,
     "CNTService::SetServiceToStatus, Failed to check the service status, Error:%1"},
}};

}  // namespace

std::string ServiceMessage(uint32_t id) {
    for (const auto& [number, text] : kMessages) {
        if (number == id) {
            return text;
        }
    }
    return {};
}

std::string FormatServiceMessage(uint32_t id, std::string_view first, std::string_view second) {
    const std::string message = ServiceMessage(id);
    std::string text;
    // One pass, so that an insertion that itself holds "%2" stays as it is.
    for (size_t at = 0; at < message.size(); ++at) {
        if (message[at] == '%' && at + 1 < message.size() &&
            (message[at + 1] == '1' || message[at + 1] == '2')) {
            text += message[at + 1] == '1' ? first : second;
            ++at;
        } else {
            text += message[at];
        }
    }
    return text;
}

}  // namespace ruzd::app
