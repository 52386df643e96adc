#pragma once

// CNTServiceCommandLineInfo: what a service program's command line asks of the service
// framework: one action verb, a few switches and the settings of an installation, each a prefix
// and a value. CNTService::ParseCommandLine fills it, one argument after the other.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ruzd::app {

// Actions.
inline constexpr uint32_t kServiceActionNone = 0;  // run under the service control dispatcher
inline constexpr uint32_t kServiceActionStart = 1;
inline constexpr uint32_t kServiceActionPause = 2;
inline constexpr uint32_t kServiceActionContinue = 3;
inline constexpr uint32_t kServiceActionStop = 4;
inline constexpr uint32_t kServiceActionInstall = 5;
inline constexpr uint32_t kServiceActionUninstall = 6;
inline constexpr uint32_t kServiceActionConsole = 7;
inline constexpr uint32_t kServiceActionHelp = 8;

// The highest failure-action number a command line may give, so that a number cannot make the
// list grow without bound.
inline constexpr uint32_t kMaxFailureActionNumber = 64;

class CNTServiceCommandLineInfo {
public:
    CNTServiceCommandLineInfo() = default;
    virtual ~CNTServiceCommandLineInfo() = default;

    // Takes one argument, its leading '-' or '/' already dropped when `isFlag`. Only flags
    // count; a flag that matches nothing is ignored. After the last argument a failure-action
    // list whose first entry is empty loses it, so the entries may be numbered from 0 or 1.
    virtual void ParseParam(std::string_view text, bool isFlag, bool isLast);

    uint32_t action = kServiceActionNone;
    uint32_t timeoutMs = 5000;                // "T:"
    bool silent = false;                      // "silent"
    std::string serviceCommandLine;           // "SCL:"
    std::string serviceName;                  // "SN:"
    std::string displayName;                  // "SDN:"
    std::string description;                  // "SD:"
    std::string userName;                     // "U:"
    std::string password;                     // "P:"
    bool autoStart = false;                   // "auto", "delayedstart"
    std::vector<std::string> failureActions;  // "FAILUREACTION<n>:<text>"
    bool delayedStart = false;                // "delayedstart"

private:
    void ParseFlag(std::string_view flag);
    void ParseFailureAction(std::string_view flag);
};

}  // namespace ruzd::app
