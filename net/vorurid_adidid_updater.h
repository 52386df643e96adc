#pragma once

// Starts the updater program that the file-transfer connection received: the program is not
// started here but handed, as a command, to the local update service on 127.0.0.1, which runs
// it with the rights and in the session it is told.

#include <cstdint>
#include <optional>
#include <string>

namespace ruzd::net {

class CVoruridAdididUpdater {
public:
    static constexpr uint16_t kDefaultPort = 1919;
    static constexpr uint32_t kDefaultPauseMs = 1000;

    explicit CVoruridAdididUpdater(uint16_t port);

    // Runs `updaterPath` with `updateArgument`, and afterwards `restartPath` (when not empty)
    // without arguments. False with the reason in `errorText`.
    bool RunUpdate(const std::string& updaterPath, const std::string& updateArgument,
                   const std::string& restartPath, std::string& errorText, bool deleteFlag,
                   bool waitFlag);
    // The same with arguments for the restarted program.
    bool RunUpdate(const std::string& updaterPath, const std::string& updateArgument,
                   const std::string& restartPath, const std::string& restartArguments,
                   std::string& errorText, bool deleteFlag, bool waitFlag);

    // Runs the update and afterwards this program again with the arguments it was started with.
    bool GetOwnCommandLine(const std::string& updaterPath, const std::string& updateArgument,
                           std::string& errorText, bool deleteFlag, bool waitFlag);

    // Sends `command` to the service and closes the connection after the pause.
    bool SendCommand(const std::string& command, std::string& errorText);
    // Whether the service accepts connections.
    bool CheckService(std::string& errorText);

    // The session the current process belongs to.
    static bool GetSessionId(uint32_t& id);

    // How long the connection stays open after the command went out, so that the service has
    // read it before it sees the close.
    void SetPauseMs(uint32_t pauseMs) { pause_ms_ = pauseMs; }
    uint16_t Port() const { return port_; }

private:
    uint16_t port_;
    uint32_t pause_ms_ = kDefaultPauseMs;
};

}  // namespace ruzd::net
