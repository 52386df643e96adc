// The local back-end of the service manager: each start runs the supervisor ruzd-svcrun, which
// answers once the service's dispatcher runs and then keeps the service in the background.

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

#include "platform/child_output.h"
#include "platform/child_process.h"
#include "platform/service_backend.h"
#include "platform/service_supervisor.h"
#include "platform/win_error.h"

namespace ruzd::platform {
namespace {

// The supervisor answers within the pipe time-out and the time it takes to end a program that
// missed it; this is only the bound for a supervisor that hangs itself.
constexpr auto kSupervisorGrace = std::chrono::seconds(120);

// What the supervisor said besides its result (why a start failed, which file held it up) is
// the starter's to see.
void PassOnWhatItSaid(const std::string& output) {
    std::string said;
    size_t start = 0;
    while (start < output.size()) {
        const size_t end = output.find('\n', start);
        const std::string line =
            output.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!ParseSupervisorResult(line + "\n") && !line.empty()) {
            said += line + "\n";
        }
        start = end == std::string::npos ? output.size() : end + 1;
    }
    if (!said.empty()) {
        std::fwrite(said.data(), 1, said.size(), stderr);
        std::fflush(stderr);
    }
}

class LocalServiceBackend : public ServiceBackend {
public:
    uint32_t Start(const ServiceRecord& record,
                   const std::vector<std::string>& arguments) override {
        ChildOutput pipe;
        if (pipe.Open() != ChildOutput::OpenResult::kOpened) {
            return GetLastError();
        }
        ChildStart start;
        start.arguments = {SupervisorProgram().string(), "--", record.name};
        start.arguments.insert(start.arguments.end(), arguments.begin(), arguments.end());
        start.output = &pipe;
        start.own_session = true;
        const std::unique_ptr<ChildProcess> supervisor = ChildProcess::Start(start);
        if (!supervisor) {
            return GetLastError();
        }
        const auto deadline = std::chrono::steady_clock::now() +
                              std::chrono::milliseconds(ServicesPipeTimeoutMs()) + kSupervisorGrace;
        std::string output;
        for (;;) {
            const bool ended = supervisor->HasEnded();
            char buffer[512];
            while (pipe.Pending() > 0 || pipe.WaitReadable(0)) {
                const ptrdiff_t got = pipe.Read(buffer, sizeof buffer);
                if (got <= 0) {
                    break;
                }
                output.append(buffer, static_cast<size_t>(got));
            }
            if (const std::optional<uint32_t> result = ParseSupervisorResult(output)) {
                PassOnWhatItSaid(output);
                return *result;
            }
            if (ended || std::chrono::steady_clock::now() >= deadline) {
                PassOnWhatItSaid(output);
                return kErrorServiceRequestTimeout;
            }
            pipe.WaitReadable(100);
        }
    }

    uint32_t RecordChanged(std::string_view, const ServiceRecord*) override {
        return kErrorSuccess;  // the supervisor reads the record when it needs it
    }
};

}  // namespace

std::unique_ptr<ServiceBackend> MakeLocalServiceBackend() {
    return std::make_unique<LocalServiceBackend>();
}

}  // namespace ruzd::platform
