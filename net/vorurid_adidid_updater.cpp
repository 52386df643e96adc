#include "net/vorurid_adidid_updater.h"

#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <fstream>
#include <thread>

#include "foundation/running_program.h"
#include "net/updater_command.h"
#include "net/wsa_error.h"
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
    std::ifstream file("/proc/self/cmdline", std::ios::binary);
    std::string all((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::string arguments;
    size_t start = 0;
    bool first = true;
    while (start < all.size()) {
        size_t end = all.find('\0', start);
        if (end == std::string::npos) {
            end = all.size();
        }
        if (!first) {
            arguments += '"';
            arguments.append(all, start, end - start);
            arguments += "\" ";
        }
        first = false;
        start = end + 1;
    }
    while (!arguments.empty() && arguments.back() == ' ') {
        arguments.pop_back();
    }
    return RunUpdate(updaterPath, updateArgument, foundation::RunningProgramPath().string(),
                     arguments, errorText, deleteFlag, waitFlag);
}

int CVoruridAdididUpdater::ConnectToService(int& connectResult, bool& socketFailed,
                                            uint32_t& socketError) const {
    socketFailed = false;
    connectResult = 0;
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        socketFailed = true;
        socketError = static_cast<uint32_t>(WsaErrorFromErrno(errno));
        return -1;
    }
    sockaddr_in service{};
    service.sin_family = AF_INET;
    service.sin_port = htons(port_);
    service.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    connectResult = ::connect(fd, reinterpret_cast<const sockaddr*>(&service), sizeof service);
    if (connectResult != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool CVoruridAdididUpdater::SendCommand(const std::string& command, std::string& errorText) {
    int connectResult = 0;
    bool socketFailed = false;
    uint32_t socketError = 0;
    const int fd = ConnectToService(connectResult, socketFailed, socketError);
    if (socketFailed) {
        errorText = platform::Format("Invalid Socket %u. Program Aborted\n", socketError);
        return false;
    }
    if (fd < 0) {
        errorText = platform::Format(
            "Could not connect to Vorurid Adidid Update Service: connect() error %d.\n"
            "Update aborted.",
            connectResult);
        return false;
    }
    const std::string bytes = platform::Utf8ToCp1252(command);
    // One send call, as the service expects the command in one piece; what the system does not
    // take is not sent again.
    [[maybe_unused]] const ssize_t sent = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    std::this_thread::sleep_for(std::chrono::milliseconds(pause_ms_));
    ::close(fd);
    return true;
}

bool CVoruridAdididUpdater::CheckService(std::string& errorText) {
    int connectResult = 0;
    bool socketFailed = false;
    uint32_t socketError = 0;
    const int fd = ConnectToService(connectResult, socketFailed, socketError);
    if (socketFailed) {
        errorText = platform::Format("Invalid socket: error %u.\n", socketError);
        return false;
    }
    if (fd < 0) {
        errorText = platform::Format(
            "Could not connect to Vorurid Adidid Update Service: connect() error %d.\n"
            "Updates will not work!.",
            connectResult);
        return false;
    }
    ::close(fd);
    return true;
}

bool CVoruridAdididUpdater::GetSessionId(uint32_t& id) {
    const pid_t session = ::getsid(0);
    if (session < 0) {
        return false;
    }
    id = static_cast<uint32_t>(session);
    return true;
}

}  // namespace ruzd::net
