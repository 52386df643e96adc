#pragma once

// What a service leaves in the platform root while it runs, named after the service as window
// classes are (window_endpoint.h: one case, escaped):
//   run/service.<name>/          its run folder, of the account the service runs as and open to
//                                it alone (0700), holding
//       status                   its last status, the process that reported it and that
//                                process's start time (so that a pid reused by another process
//                                is not taken for it)
//       ctl                      the control socket its dispatcher listens on
//                                (service_control_channel.h)
//       lock                     held by the local supervisor for as long as it supervises it
//   run/service.<name>.out       its standard output and error, of the manager alone (0600):
//                                outside the folder the service's account may write into, so
//                                that a manager running as root never appends to a file that
//                                account put there
// and its working folder services/<name>/.
//
// Every file is its owner's alone (0600): another account can neither read the status nor hold
// a lock that a stop or a start would wait for. A file or folder of ours that an older build
// left open to others is closed when it is next opened. The status file is rewritten in place
// under an exclusive lock and read under a shared one, so a reader sees one whole status; in
// place, so that a service running under another account can write the file its supervisor
// made for it. Every wait for a lock is bounded (bounded_file_lock.h), and a wait that runs out
// says the file's name on standard error.

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

// The service's run folder, the files in it, its output file and its working folder (none of
// them created); empty paths for a name that ServiceRunFileBase refuses.
std::filesystem::path ServiceRunFolder(std::string_view name);
std::filesystem::path ServiceStatusFile(std::string_view name);
std::filesystem::path ServiceControlSocket(std::string_view name);
std::filesystem::path ServiceLockFile(std::string_view name);
std::filesystem::path ServiceOutputFile(std::string_view name);
std::filesystem::path ServiceWorkingFolder(std::string_view name);

// The user a folder of a service is to belong to.
struct FileOwner {
    uid_t uid = 0;
    gid_t gid = 0;
};

// Makes `folder` (its parents as they come) with `mode` when it is missing; a folder that is
// there must be a real folder (not a link). With an owner, a process running as root gives the
// folder to it; a folder of this process's user loses the rights `mode` does not give. 0, or the
// Win32 code of the failure, said with the folder's name on standard error.
uint32_t PrepareServiceFolder(const std::filesystem::path& folder, mode_t mode,
                              std::optional<FileOwner> owner);
// The run folder of the service (0700), as above.
uint32_t PrepareServiceRunFolder(std::string_view name, std::optional<FileOwner> owner);
// Everything a service needs before it starts: its working folder (0750: its group may read
// its debug files) and run folder, given to the account it runs as, and its output file.
uint32_t PrepareServiceFiles(std::string_view name, FileOwner owner);

// Opens a file of the run folder, or the output file, never through a symbolic link and only
// when it is a plain file; a new one is this user's alone (0600), and one of this user that is
// open to others is closed to them. The descriptor (close-on-exec), or -1 with errno set.
int OpenServiceRunFile(const std::filesystem::path& path, int flags);

// Takes a lock of a run file within kFileLockWaitMs: 0, or the Win32 code of the failure
// (kErrorLockViolation when another process held it all that time, said with the file's name on
// standard error).
uint32_t LockServiceRunFile(int fd, int operation, const std::filesystem::path& path);

// Writes one line on standard error, after the program's name: what went wrong with a file.
void SayServiceFileProblem(const std::filesystem::path& path, std::string_view what);

struct ServiceStatusRecord {
    ServiceStatus status;
    uint32_t pid = 0;
    uint64_t start_time = 0;
};

// Writes the status as reported by the process `pid` (the run folder is made when missing): 0,
// or the Win32 code of the failure. With an owner (the supervisor's first status for a service
// that runs as another account, which writes the file from then on) the file is handed to it
// through the descriptor it was written through, and only while it is the file's one name: a
// link put in its place never gives that account a file of someone else's. A failure is then
// said with the file's name on standard error.
uint32_t WriteServiceStatusFile(std::string_view name, const ServiceStatus& status, uint32_t pid,
                                std::optional<FileOwner> owner = std::nullopt);
// The status as last written: 0; kErrorFileNotFound when there is none or it does not read; the
// Win32 code of the failure when it cannot be opened (kErrorAccessDenied for another account's)
// or locked.
uint32_t ReadServiceStatusFile(std::string_view name, ServiceStatusRecord* record);

// What the service's status is now, with the process that runs it: a service that never wrote
// a status is stopped with kErrorServiceNeverStarted; one whose last status is not stopped but
// whose process is gone is stopped with kErrorProcessAborted. 0, or the Win32 code of a status
// file that cannot be read (it may be another account's, or held locked by another process).
uint32_t QueryCurrentServiceStatus(std::string_view name, ServiceStatusProcess* current);
// The same, a status that cannot be read taken as stopped.
ServiceStatusProcess CurrentServiceStatus(std::string_view name);

// The start time of a live process, in clock ticks since boot; none when there is no such
// process or it has ended (a zombie has).
std::optional<uint64_t> ProcessStartTime(uint32_t pid);

}  // namespace ruzd::platform
