#include "net/vorurid_adidid_updater.h"

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "net/socket_core/local_service_connection.h"
#include "net/updater_command.h"
#include "platform/process_identity.h"
#include "platform/running_program.h"
#include "platform/text.h"

namespace ruzd::net {

CVoruridAdididUpdater::CVoruridAdididUpdater(uint16_t port) : port_(port) {}

bool CVoruridAdididUpdater::RunUpdate(const std::string& updaterPath,
                                      const std::string& updateArgument,
                                      const std::string& restartPath, std::string& errorText,
                                      bool deleteFlag, bool waitFlag) {
    return RunUpdate(updaterPath, updateArgument, restartPath, std::string(), errorText, deleteFlag,
                     waitFlag);
}

bool CVoruridAdididUpdater::RunUpdate(const std::string& updaterPath,
                                      const std::string& updateArgument,
                                      const std::string& restartPath,
                                      const std::string& restartArguments, std::string& errorText,
                                      bool deleteFlag, bool waitFlag) {
    UpdaterCommand command;
    command.updaterPath = updaterPath;
    command.updateArgument = updateArgument;
    command.restartPath = restartPath;
    command.restartArguments = restartArguments;
    command.deleteUpdater = deleteFlag;
    command.waitForUpdater = waitFlag;
    uint32_t session = 0;
    if (GetSessionId(session)) {
        command.sessionId = session;
    }
    return SendCommand(BuildUpdaterCommand(command), errorText);
}

bool CVoruridAdididUpdater::GetOwnCommandLine(const std::string& updaterPath,
                                              const std::string& updateArgument,
                                              std::string& errorText, bool deleteFlag,
                                              bool waitFlag) {
    const std::vector<std::string> words = platform::RunningProgramArguments();
    std::string arguments;
    for (size_t i = 1; i < words.size(); ++i) {
        arguments += '"' + words[i] + "\" ";
    }
    while (!arguments.empty() && arguments.back() == ' ') {
        arguments.pop_back();
    }
    return RunUpdate(updaterPath, updateArgument, platform::RunningProgramPath().string(),
                     arguments, errorText, deleteFlag, waitFlag);
}

bool CVoruridAdididUpdater::SendCommand(const std::string& command, std::string& errorText) {
    LocalServiceConnection service;
    if (!service.Connect(port_)) {
        errorText =
            service.socket_failed()
                ? platform::Format("Invalid Socket %u. Program Aborted\n", service.socket_error())
                : platform::Format(
                      "Could not connect to Vorurid Adidid Update Service: connect() error %d.\n"
                      "Update aborted.",
                      service.connect_result());
        return false;
    }
    const std::string bytes = platform::Utf8ToCp1252(command);
    // One send call, as the service expects the command in one piece; what the system does not
    // take is not sent again.
    service.SendOnce(bytes);
    std::this_thread::sleep_for(std::chrono::milliseconds(pause_ms_));
    return true;
}

bool CVoruridAdididUpdater::CheckService(std::string& errorText) {
    LocalServiceConnection service;
    if (!service.Connect(port_)) {
        errorText = service.socket_failed()
                        ? platform::Format("Invalid socket: error %u.\n", service.socket_error())
                        : platform::Format(
                              "Could not connect to Vorurid Adidid Update Service: connect() "
                              "error %d.\nUpdates will not work!.",
                              service.connect_result());
        return false;
    }
    return true;
}

bool CVoruridAdididUpdater::GetSessionId(uint32_t& id) {
    const std::optional<uint32_t> session = platform::CurrentSessionId();
    if (!session) {
        return false;
    }
    id = *session;
    return true;
}

}  // namespace ruzd::net
