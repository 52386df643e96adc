// The systemd back-end of the service manager: every change of a record rewrites the service's
// units (systemd_units.h) and reloads systemd, an automatic service is enabled (a delayed one
// through its timer), and a start asks systemd to start the unit without waiting for it.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

#include "platform/child_process.h"
#include "platform/service_backend.h"
#include "platform/systemd_units.h"
#include "platform/win_error.h"

namespace ruzd::platform {
namespace {

namespace fs = std::filesystem;

constexpr const char* kUnitDirVariable = "RUZD_SYSTEMD_UNIT_DIR";
constexpr const char* kSystemctlVariable = "RUZD_SYSTEMCTL";
constexpr const char* kDefaultUnitDir = "/etc/systemd/system";
// systemctl answers at once for all it is asked here; this bounds one that hangs.
constexpr uint32_t kSystemctlTimeoutMs = 120000;

std::string FromEnvironment(const char* name, const char* fallback) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? value : fallback;
}

fs::path UnitDir() {
    return FromEnvironment(kUnitDirVariable, kDefaultUnitDir);
}

// Runs systemctl with the arguments: its exit code, or -1 when it did not run to its end.
int Systemctl(std::vector<std::string> arguments) {
    ChildStart start;
    start.arguments = {FromEnvironment(kSystemctlVariable, "systemctl")};
    start.arguments.insert(start.arguments.end(), arguments.begin(), arguments.end());
    start.output_file = "/dev/null";
    start.own_process_group = true;
    const std::unique_ptr<ChildProcess> child = ChildProcess::Start(start);
    if (!child) {
        return -1;
    }
    if (child->ended().Wait(kSystemctlTimeoutMs) != kWaitObject0) {
        child->KillGroup();
        return -1;
    }
    return child->ExitCode().value_or(-1);
}

uint32_t WriteUnit(const fs::path& path, const std::string& text) {
    const fs::path temporary = path.string() + ".new";
    {
        std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
        if (!(file << text) || !file.flush()) {
            return kErrorAccessDenied;
        }
    }
    std::error_code error;
    fs::rename(temporary, path, error);
    return error ? WinErrorFromErrno(error.value()) : kErrorSuccess;
}

class SystemdServiceBackend : public ServiceBackend {
public:
    uint32_t Start(const ServiceRecord& record, const std::vector<std::string>&) override {
        const std::string unit = SystemdUnitBase(record.name) + ".service";
        return Systemctl({"start", "--no-block", unit}) == 0 ? kErrorSuccess
                                                             : kErrorServiceRequestTimeout;
    }

    uint32_t RecordChanged(std::string_view name, const ServiceRecord* record) override {
        const fs::path folder = UnitDir();
        const std::string base = SystemdUnitBase(name);
        const fs::path service = folder / (base + ".service");
        const fs::path failure = folder / (base + "-failure.service");
        const fs::path timer = folder / (base + ".timer");
        std::optional<SystemdUnits> units;
        if (record != nullptr) {
            units = MakeSystemdUnits(*record);
        }
        // What is to be enabled, and what was enabled before and is to be no more.
        std::string enable;
        if (units && record->start == kServiceAutoStart) {
            enable = (units->timer ? timer : service).filename().string();
        }
        std::vector<std::string> disable = {"disable"};
        for (const fs::path& unit : {service, timer}) {
            if (fs::exists(unit) && unit.filename().string() != enable) {
                disable.push_back(unit.filename().string());
            }
        }
        if (disable.size() > 1 && Systemctl(disable) != 0) {
            return kErrorGenFailure;
        }
        std::error_code ignored;
        if (units) {
            fs::create_directories(folder, ignored);
            if (const uint32_t error = WriteUnit(service, units->service); error != kErrorSuccess) {
                return error;
            }
        } else {
            fs::remove(service, ignored);
        }
        for (const auto& [path, text] : {std::pair{failure, units ? units->failure : std::nullopt},
                                         std::pair{timer, units ? units->timer : std::nullopt}}) {
            if (text) {
                if (const uint32_t error = WriteUnit(path, *text); error != kErrorSuccess) {
                    return error;
                }
            } else {
                fs::remove(path, ignored);
            }
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
