#pragma once

// The systemd units of a service of the service manager (service_manager.h, back-end
// "systemd"): ruzd-<name>.service runs the service's program as a notify service (its
// dispatcher reports "READY=1"); ruzd-<name>-failure.service, a oneshot unit, runs the failure
// command; ruzd-<name>.timer starts a delayed automatic service two minutes after boot. Both
// services run in the service's working folder, with its "Environment", as the user its
// "ObjectName" stands for (ServiceAccountUser: none for root), their program read from the
// command line as Windows reads it (ServiceCommandWords); the service's output is appended to its
// output file (service_run_files.h).
//
// The failure actions map as closely as systemd allows: a restart or a reboot among them makes
// the service restart on failure (after the first restart's delay); a reboot at position n (from
// 1) lets n starts pass within the reset period (StartLimitBurst=n, StartLimitIntervalSec) before
// the machine reboots; a command makes the failure unit the service's OnFailure=.

#include <optional>
#include <string>
#include <string_view>

#include "platform/service_record.h"

namespace ruzd::platform {

// "ruzd-<name>" with every character systemd does not allow in a unit name escaped as \xNN.
std::string SystemdUnitBase(std::string_view service_name);

struct SystemdUnits {
    std::string service;                 // ruzd-<name>.service
    std::optional<std::string> failure;  // ruzd-<name>-failure.service
    std::optional<std::string> timer;    // ruzd-<name>.timer
};

// The units of the record, in the platform root.
SystemdUnits MakeSystemdUnits(const ServiceRecord& record);

// What the units of the record need from this machine to start: the service's account and the
// programs they run. 0, or kErrorInvalidServiceAccount or kErrorFileNotFound with `problem`
// saying what is missing.
uint32_t CheckSystemdUnitsCanStart(const ServiceRecord& record, std::string* problem);

// One word of a unit's command line or Environment= in double quotes, with systemd's escapes
// ('%' as "%%"; '$' as "$$" where `in_command`, since commands expand variables).
std::string SystemdQuote(std::string_view text, bool in_command);

}  // namespace ruzd::platform
