#include "app/service/nt_service_command_line_info.h"

#include <algorithm>
#include <cstdint>
#include <limits>

#include "platform/text.h"

namespace ruzd::app {
namespace {

constexpr std::string_view kFailureActionPrefix = "FAILUREACTION";

// A time-out as atoi reads one: blanks, a sign and the digits that follow, 0 without digits; a
// number out of the 32-bit range stops at its end.
uint32_t ReadTimeout(std::string_view text) {
    size_t at = text.find_first_not_of(" \t");
    if (at == std::string_view::npos) {
        return 0;
    }
    bool negative = false;
    if (text[at] == '+' || text[at] == '-') {
        negative = text[at] == '-';
        ++at;
    }
    int64_t value = 0;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
        value = std::min<int64_t>(value * 10 + (text[at] - '0'),
                                  int64_t{std::numeric_limits<int32_t>::max()} + 1);
    }
    value = negative ? -value : std::min<int64_t>(value, std::numeric_limits<int32_t>::max());
    return static_cast<uint32_t>(static_cast<int32_t>(value));
}

bool HasPrefix(const std::string& upper, std::string_view prefix) {
    return upper.size() > prefix.size() && upper.starts_with(prefix);
}

}  // namespace

void CNTServiceCommandLineInfo::ParseParam(std::string_view text, bool isFlag, bool isLast) {
    if (isFlag) {
        ParseFlag(text);
    }
    if (isLast && !failureActions.empty() && failureActions.front().empty()) {
        failureActions.erase(failureActions.begin());
    }
}

void CNTServiceCommandLineInfo::ParseFlag(std::string_view flag) {
    using platform::EqualsIgnoreCase;
    if (EqualsIgnoreCase(flag, "install")) {
        action = kServiceActionInstall;
    } else if (EqualsIgnoreCase(flag, "silent")) {
        silent = true;
    } else if (EqualsIgnoreCase(flag, "start")) {
        action = kServiceActionStart;
    } else if (EqualsIgnoreCase(flag, "pause")) {
        action = kServiceActionPause;
    } else if (EqualsIgnoreCase(flag, "continue")) {
        action = kServiceActionContinue;
    } else if (EqualsIgnoreCase(flag, "stop")) {
        action = kServiceActionStop;
    } else if (EqualsIgnoreCase(flag, "auto")) {
        autoStart = true;
    } else if (EqualsIgnoreCase(flag, "delayedstart")) {
        autoStart = true;
        delayedStart = true;
    } else if (EqualsIgnoreCase(flag, "remove") || EqualsIgnoreCase(flag, "uninstall")) {
        action = kServiceActionUninstall;
    } else if (EqualsIgnoreCase(flag, "debug") || EqualsIgnoreCase(flag, "app") ||
               EqualsIgnoreCase(flag, "application") || EqualsIgnoreCase(flag, "console")) {
        action = kServiceActionConsole;
    } else if (EqualsIgnoreCase(flag, "help") || flag == "?") {
        action = kServiceActionHelp;
    } else {
        const std::string upper = platform::AsciiUpper(flag);
        const auto value = [flag](std::string_view prefix) {
            return std::string(flag.substr(prefix.size()));
        };
        if (HasPrefix(upper, "T:")) {
            timeoutMs = ReadTimeout(flag.substr(2));
        } else if (HasPrefix(upper, "SCL:")) {
            serviceCommandLine = value("SCL:");
        } else if (HasPrefix(upper, "SD:")) {
            description = value("SD:");
        } else if (HasPrefix(upper, "SN:")) {
            serviceName = value("SN:");
        } else if (HasPrefix(upper, "SDN:")) {
            displayName = value("SDN:");
        } else if (HasPrefix(upper, "P:")) {
            password = value("P:");
        } else if (HasPrefix(upper, "U:")) {
            userName = value("U:");
        } else if (upper.starts_with(kFailureActionPrefix)) {
            ParseFailureAction(flag);
        }
    }
}

void CNTServiceCommandLineInfo::ParseFailureAction(std::string_view flag) {
    if (flag.size() < kFailureActionPrefix.size() + 1) {
        return;
    }
    const std::string_view rest = flag.substr(kFailureActionPrefix.size());
    const size_t colon = rest.find(':');
    if (colon == std::string_view::npos || colon == 0) {
        return;
    }
    // Only digits read as the entry's number: a sign, and with it a negative number, drops the
    // flag, as does a number beyond the list's bound.
    uint32_t number = 0;
    for (const char c : rest.substr(0, colon)) {
        if (c < '0' || c > '9') {
            return;
        }
        number = number * 10 + static_cast<uint32_t>(c - '0');
        if (number > kMaxFailureActionNumber) {
            return;
        }
    }
    if (failureActions.size() <= number) {
        failureActions.resize(number + 1);
    }
    failureActions[number] = std::string(rest.substr(colon + 1));
}

}  // namespace ruzd::app
