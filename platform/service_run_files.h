#pragma once

// What a service leaves in the platform root's run folder while it runs, named after the
// service as window classes are (window_endpoint.h: one case, escaped):
//   service.<name>.status  its last status, the process that reported it and that process's
//                          start time (so that a pid reused by another process is not taken for it)
//   service.<name>.ctl     the control socket its dispatcher listens on (service_control_channel.h)
//   service.<name>.lock    held by the local supervisor for as long as it supervises the service
//   service.<name>.out     its standard output and error
// and its working folder <root>/services/<name>/.
//
// The status file is rewritten in place under an exclusive lock and read under a shared one, so
// a reader sees one whole status; in place, so that a service running under another account
// can write the file its supervisor made for it.

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "platform/service_types.h"

namespace ruzd::platform {

// "service.<escaped name>"; none for a name that cannot be escaped or is too long.
std::optional<std::string> ServiceRunFileBase(std::string_view name);

// The run folder's file of the service with that suffix (".status", ".ctl", ...), and its
// working folder (not created); empty paths for a name that ServiceRunFileBase refuses.
std::filesystem::path ServiceRunFile(std::string_view name, std::string_view suffix);
std::filesystem::path ServiceWorkingFolder(std::string_view name);

struct ServiceStatusRecord {
    ServiceStatus status;
    uint32_t pid = 0;
    uint64_t start_time = 0;
};

// Writes the status as reported by the process `pid`: 0, or the Win32 code of the failure.
uint32_t WriteServiceStatusFile(std::string_view name, const ServiceStatus& status, uint32_t pid);
// The status as last written; none when there is none or it cannot be read.
std::optional<ServiceStatusRecord> ReadServiceStatusFile(std::string_view name);

// What the service's status is now, with the process that runs it: a service that never wrote
// a status is stopped with kErrorServiceNeverStarted; one whose last status is not stopped but
// whose process is gone is stopped with kErrorProcessAborted.
ServiceStatusProcess CurrentServiceStatus(std::string_view name);

// The start time of a live process, in clock ticks since boot; none when there is no such
// process or it has ended (a zombie has).
std::optional<uint64_t> ProcessStartTime(uint32_t pid);

}  // namespace ruzd::platform
