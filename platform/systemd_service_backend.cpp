// The systemd back-end of the service manager: every change of a record rewrites the service's
// units (systemd_units.h) and reloads systemd, an automatic service is enabled (a delayed one
// through its timer), and a start asks systemd to start the unit without waiting for it. Units
// that could not start are never written: a record whose account or program this machine does
// not have is refused (said on standard error). The service's folders are made as it is
// installed, its account's: systemd refuses to start a unit whose working folder is missing.
// A start first writes the units again when the record changed behind the manager's back (its
// "Environment" edited in the registry file, say), so that the service runs as its record says.
// Each unit is replaced as one step and flushed to the disk; a unit that cannot be written or
// removed fails the change, said on standard error with the unit's path.

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>

#include "platform/error_output.h"
#include "platform/regular_file.h"
#include "platform/replace_file.h"
#include "platform/service_account.h"
#include "platform/service_backend.h"
#include "platform/service_run_files.h"
#include "platform/systemctl_run.h"
#include "platform/systemd_units.h"
#include "platform/text.h"
#include "platform/win_error.h"

namespace ruzd::platform {
namespace {

namespace fs = std::filesystem;

constexpr const char* kUnitDirVariable = "RUZD_SYSTEMD_UNIT_DIR";
constexpr const char* kDefaultUnitDir = "/etc/systemd/system";

std::string FromEnvironment(const char* name, const char* fallback) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? value : fallback;
}

fs::path UnitDir() {
    return FromEnvironment(kUnitDirVariable, kDefaultUnitDir);
}

// Runs systemctl with the arguments: its exit code, or -1 when it did not run to its end.
int Systemctl(std::vector<std::string> arguments) {
    return RunSystemctl(arguments, true).exit_code.value_or(-1);
}

// The unit replaced as one step and flushed to the disk with its name: systemd, or the machine
// after a power cut, finds the old unit or the whole new one, never a part. The scratch file lies
// beside it under a name no unit has.
uint32_t WriteUnit(const fs::path& path, const std::string& text) {
    return ReplaceFileDurably(path, text.data(), text.size(), path.parent_path());
}

// The unit on disk; none when there is none, or when what is there is no regular file (which
// the next write replaces).
std::optional<std::string> ReadUnit(const fs::path& path) {
    std::string content;
    if (ReadRegularFile(path, content) != 0) {
        return std::nullopt;
    }
    return content;
}

// The service's folders, its account's, and its output file.
uint32_t PrepareFilesOf(const ServiceRecord& record) {
    std::optional<ServiceAccount> account;
    std::string problem;
    if (const uint32_t error = LookUpServiceAccount(record, &account, &problem);
        error != kErrorSuccess) {
        WriteErrorLine(problem);
        return error;
    }
    return PrepareServiceFiles(record.name, account ? FileOwner{account->uid, account->gid}
                                                    : FileOwner{::geteuid(), ::getegid()});
}

struct UnitFiles {
    fs::path service;
    fs::path failure;
    fs::path timer;
};

UnitFiles UnitFilesOf(std::string_view name) {
    const fs::path folder = UnitDir();
    const std::string base = SystemdUnitBase(name);
    return {folder / (base + ".service"), folder / (base + "-failure.service"),
            folder / (base + ".timer")};
}

// Writes the units that differ from the ones on disk and removes those the record no longer
// has: 0, or the Win32 code of the failure. `changed` tells whether anything was.
uint32_t WriteUnits(const UnitFiles& files, const std::optional<SystemdUnits>& units,
                    bool* changed) {
    *changed = false;
    std::error_code ignored;
    if (units) {
        fs::create_directories(files.service.parent_path(), ignored);
    }
    for (const auto& [path, text] :
         {std::pair{files.service, units ? std::optional(units->service) : std::nullopt},
          std::pair{files.failure, units ? units->failure : std::nullopt},
          std::pair{files.timer, units ? units->timer : std::nullopt}}) {
        if (text) {
            if (ReadUnit(path) == text) {
                continue;
            }
            if (const uint32_t error = WriteUnit(path, *text); error != kErrorSuccess) {
                WriteErrorLine(Format("the unit %s could not be written: %s", path.string().c_str(),
                                      WinErrorText(error).c_str()));
                return error;
            }
            *changed = true;
        } else {
            std::error_code error;
            if (fs::remove(path, error)) {
                *changed = true;
            } else if (error) {
                WriteErrorLine(Format("the unit %s could not be removed: %s", path.string().c_str(),
                                      error.message().c_str()));
                return WinErrorFromErrno(error.value());
            }
        }
    }
    return kErrorSuccess;
}

// The record's units when they can start; none with the problem said on standard error.
std::optional<SystemdUnits> UnitsThatCanStart(const ServiceRecord& record, uint32_t* error) {
    std::string problem;
    *error = CheckSystemdUnitsCanStart(record, &problem);
    if (*error != kErrorSuccess) {
        WriteErrorLine(problem);
        return std::nullopt;
    }
    *error = PrepareFilesOf(record);
    if (*error != kErrorSuccess) {
        return std::nullopt;
    }
    return MakeSystemdUnits(record);
}

class SystemdServiceBackend : public ServiceBackend {
public:
    uint32_t Start(const ServiceRecord& record, const std::vector<std::string>&) override {
        uint32_t error = kErrorSuccess;
        const std::optional<SystemdUnits> units = UnitsThatCanStart(record, &error);
        if (!units) {
            return error;
        }
        bool changed = false;
        if (const uint32_t written = WriteUnits(UnitFilesOf(record.name), units, &changed);
            written != kErrorSuccess) {
            return written;
        }
        if (changed && Systemctl({"daemon-reload"}) != 0) {
            return kErrorGenFailure;
        }
        const std::string unit = SystemdUnitBase(record.name) + ".service";
        return Systemctl({"start", "--no-block", unit}) == 0 ? kErrorSuccess
                                                             : kErrorServiceRequestTimeout;
    }

    uint32_t RecordChanged(std::string_view name, const ServiceRecord* record) override {
        const UnitFiles files = UnitFilesOf(name);
        std::optional<SystemdUnits> units;
        if (record != nullptr) {
            uint32_t error = kErrorSuccess;
            units = UnitsThatCanStart(*record, &error);
            if (!units) {
                return error;
            }
        }
        // What is to be enabled, and what was enabled before and is to be no more.
        std::string enable;
        if (units && record->start == kServiceAutoStart) {
            enable = (units->timer ? files.timer : files.service).filename().string();
        }
        std::vector<std::string> disable = {"disable"};
        for (const fs::path& unit : {files.service, files.timer}) {
            if (fs::exists(unit) && unit.filename().string() != enable) {
                disable.push_back(unit.filename().string());
            }
        }
        if (disable.size() > 1 && Systemctl(disable) != 0) {
            return kErrorGenFailure;
        }
        bool changed = false;
        if (const uint32_t error = WriteUnits(files, units, &changed); error != kErrorSuccess) {
            return error;
        }
        if (Systemctl({"daemon-reload"}) != 0) {
            return kErrorGenFailure;
        }
        if (!enable.empty() && Systemctl({"enable", enable}) != 0) {
            return kErrorGenFailure;
        }
        return kErrorSuccess;
    }
};

}  // namespace

std::unique_ptr<ServiceBackend> MakeSystemdServiceBackend() {
    return std::make_unique<SystemdServiceBackend>();
}

}  // namespace ruzd::platform
