#include "platform/systemd_units.h"

#include <algorithm>

#include "platform/root.h"
#include "platform/service_account.h"
#include "platform/service_dispatcher.h"
#include "platform/service_run_files.h"
#include "platform/text.h"
#include "platform/win_error.h"

namespace ruzd::platform {
namespace {

constexpr uint32_t kDelayedStartSeconds = 120;
constexpr uint32_t kStopTimeoutSeconds = 90;

bool AllowedInUnitName(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ':' ||
           c == '_' || c == '.' || c == '-';
}

// A line's text: no line ends, specifiers escaped.
std::string LineText(std::string_view text) {
    std::string line;
    for (const char c : text) {
        if (c == '\r' || c == '\n') {
            line += ' ';
        } else if (c == '%') {
            line += "%%";
        } else {
            line += c;
        }
    }
    return line;
}

std::string CommandLine(const std::string& windows_command_line) {
    const std::vector<std::string> words = ServiceCommandWords(windows_command_line);
    std::string line;
    for (const std::string& word : words) {
        line += (line.empty() ? "" : " ") + SystemdQuote(word, true);
    }
    return line;
}

std::string EnvironmentLine(const ServiceRecord& record, const std::string& root) {
    std::string line = "Environment=" + SystemdQuote("RUZD_ROOT=" + root, false) + " " +
                       SystemdQuote(std::string(kServiceNameVariable) + "=" + record.name, false);
    for (const std::string& entry : record.environment) {
        if (entry.find('=') != std::string::npos && entry.front() != '=') {
            line += " " + SystemdQuote(entry, false);
        }
    }
    return line + "\n";
}

// Where, with what and as whom a unit of the service runs: each unit of a service (its failure
// command's too) as the service's account.
std::string AccountLines(const ServiceRecord& record, const std::string& root) {
    std::string lines =
        "WorkingDirectory=" + LineText(ServiceWorkingFolder(record.name).string()) + "\n";
    lines += EnvironmentLine(record, root);
    if (const std::string user = ServiceAccountUser(record); !user.empty()) {
        lines += "User=" + LineText(user) + "\n";
    }
    return lines;
}

}  // namespace

std::string SystemdUnitBase(std::string_view service_name) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string base = "ruzd-";
    for (const char c : service_name) {
        if (AllowedInUnitName(c)) {
            base += c;
        } else {
            const auto byte = static_cast<unsigned char>(c);
            base += "\\x";
            base += kHex[byte >> 4];
            base += kHex[byte & 0xF];
        }
    }
    return base;
}

std::string SystemdQuote(std::string_view text, bool in_command) {
    std::string quoted = "\"";
    for (const char c : text) {
        switch (c) {
            case '\\':
                quoted += "\\\\";
                break;
            case '"':
                quoted += "\\\"";
                break;
            case '%':
                quoted += "%%";
                break;
            case '\n':
                quoted += "\\n";
                break;
            case '\t':
                quoted += "\\t";
                break;
            case '$':
                quoted += in_command ? "$$" : "$";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    quoted += Format("\\x%02x", static_cast<unsigned>(c));
                } else {
                    quoted += c;
                }
        }
    }
    return quoted + "\"";
}

SystemdUnits MakeSystemdUnits(const ServiceRecord& record) {
    const std::string root = Root().string();
    const std::string base = SystemdUnitBase(record.name);
    const std::string display =
        LineText(record.display_name.empty() ? record.name : record.display_name);
    const DecodedFailureActions failure = FailureActionsOf(record);
    const std::vector<ScAction>& actions = failure.actions;
    const uint32_t reset_period_s = failure.reset_period_s;
    const auto first_of = [&actions](uint32_t type) {
        return std::find_if(actions.begin(), actions.end(),
                            [type](const ScAction& action) { return action.type == type; });
    };
    const auto restart = first_of(kScActionRestart);
    const auto reboot = first_of(kScActionReboot);
    const bool command =
        first_of(kScActionRunCommand) != actions.end() && !record.failure_command.empty();

    SystemdUnits units;
    std::string& unit = units.service;
    unit = "# The service \"" + LineText(record.name) + "\" of the service manager in " +
           LineText(root) + ".\n# Rewritten on every change of its record.\n[Unit]\n";
    unit += "Description=" + display + "\n";
    for (const std::string& dependency : record.dependencies) {
        const std::string needed = SystemdUnitBase(dependency) + ".service";
        unit += "Requires=" + needed + "\nAfter=" + needed + "\n";
    }
    if (command) {
        unit += "OnFailure=" + base + "-failure.service\n";
    }
    if (reboot != actions.end()) {
        const std::string interval = reset_period_s == 0 || reset_period_s == kResetPeriodInfinite
                                         ? std::string("infinity")
                                         : std::to_string(reset_period_s);
        unit += "StartLimitIntervalSec=" + interval + "\n";
        unit += "StartLimitBurst=" + std::to_string(reboot - actions.begin() + 1) + "\n";
        unit += "StartLimitAction=reboot\n";
    }
    unit += "\n[Service]\nType=notify\nNotifyAccess=main\n";
    unit += "ExecStart=" + CommandLine(record.image_path) + "\n";
    unit += AccountLines(record, root);
    unit += "TimeoutStopSec=" + std::to_string(kStopTimeoutSeconds) + "\n";
    if (restart != actions.end() || reboot != actions.end()) {
        const uint32_t delay_ms = restart != actions.end() ? restart->delay_ms : reboot->delay_ms;
        unit += "Restart=on-failure\nRestartSec=" + std::to_string(delay_ms) + "ms\n";
    }
    unit += "StandardOutput=append:" + LineText(ServiceOutputFile(record.name).string()) +
            "\nStandardError=inherit\n";
    if (record.start == kServiceAutoStart && !record.delayed_autostart) {
        unit += "\n[Install]\nWantedBy=multi-user.target\n";
    }

    if (command) {
        std::string failure = "[Unit]\nDescription=Failure command of " + display + "\n";
        failure += "\n[Service]\nType=oneshot\n";
        std::string line = record.failure_command;
        for (size_t at = line.find("%1%"); at != std::string::npos; at = line.find("%1%", at)) {
            line.replace(at, 3, "1");
        }
        failure += "ExecStart=" + CommandLine(line) + "\n";
        failure += AccountLines(record, root);
        units.failure = failure;
    }
    if (record.start == kServiceAutoStart && record.delayed_autostart) {
        units.timer = "[Unit]\nDescription=Delayed start of " + display +
                      "\n\n[Timer]\nOnBootSec=" + std::to_string(kDelayedStartSeconds) +
                      "\nUnit=" + base + ".service\n\n[Install]\nWantedBy=timers.target\n";
    }
    return units;
}

uint32_t CheckSystemdUnitsCanStart(const ServiceRecord& record, std::string* problem) {
    std::optional<ServiceAccount> account;
    if (const uint32_t error = LookUpServiceAccount(record, &account, problem);
        error != kErrorSuccess) {
        return error;
    }
    std::vector<std::pair<const char*, std::string>> lines = {{"ImagePath", record.image_path}};
    if (!record.failure_command.empty()) {
        lines.emplace_back("FailureCommand", record.failure_command);
    }
    for (const auto& [value, line] : lines) {
        const std::vector<std::string> words = ServiceCommandWords(line);
        if (!words.empty() && !ServiceProgramExists(words.front())) {
            *problem = "the program of the service \"" + record.name + "\" (its " + value + " " +
                       line + ") does not exist: " + words.front();
            return kErrorFileNotFound;
        }
    }
    return kErrorSuccess;
}

}  // namespace ruzd::platform
