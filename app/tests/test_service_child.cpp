// A service program for the tests of the service framework, built on CNTService. Its switches:
//   -name:<service name>  the service it is ("RuzdTestService" when not given)
//   -acceptpause          accepts pause and continue besides stop
//   -slowstop             a stop stays pending until the file "release-stop" appears in the
//                         working folder
//   -crash                the user-defined control 200 ends the process at once, without
//                         reporting stopped
//   -nodispatcher         never reaches the dispatcher: it sleeps until it is ended
//   -console              (the framework's verb) runs in the foreground
// It prints "running" once it runs and each console control it takes; when the dispatcher
// cannot run it prints "dispatcher failed: <code>" and ends with 1. Its display name is its name
// followed by " display"; it reports the event 0x40000001 with it once running.

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/service/nt_service.h"
#include "app/service/nt_service_command_line_info.h"
#include "platform/event_log.h"
#include "platform/text.h"
#include "platform/win_error.h"

namespace {

using ruzd::app::CNTService;

constexpr uint32_t kCrashControl = 200;
constexpr uint32_t kEventRunning = 0x40000001;

bool HasSwitch(const std::vector<std::string>& arguments, std::string_view name) {
    for (const std::string& argument : arguments) {
        if (ruzd::platform::EqualsIgnoreCase(argument, name)) {
            return true;
        }
    }
    return false;
}

std::string NameFrom(const std::vector<std::string>& arguments) {
    for (const std::string& argument : arguments) {
        if (argument.starts_with("-name:")) {
            return argument.substr(6);
        }
    }
    return "RuzdTestService";
}

void Say(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

class TestService : public CNTService {
public:
    explicit TestService(const std::vector<std::string>& arguments)
        : CNTService(NameFrom(arguments), NameFrom(arguments) + " display",
                     ruzd::platform::kServiceAcceptStop |
                         (HasSwitch(arguments, "-acceptpause")
                              ? ruzd::platform::kServiceAcceptPauseContinue
                              : 0),
                     ""),
          slowStop_(HasSwitch(arguments, "-slowstop")),
          crash_(HasSwitch(arguments, "-crash")) {}

    void ServiceMain(const std::vector<std::string>&) override {
        ReportStatus(ruzd::platform::kServiceStartPending, 1, 3000);
        ReportStatus(ruzd::platform::kServiceRunning);
        EventSource().Report(ruzd::platform::kEventTypeInformation, kEventRunning,
                             std::string_view(DisplayName()));
        Say("running");
        std::unique_lock<std::mutex> lock(mutex_);
        stopped_.wait(lock, [this] { return stopping_; });
        lock.unlock();
        while (slowStop_ && !std::filesystem::exists("release-stop")) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }

    void OnStop() override {
        ReportStatus(ruzd::platform::kServiceStopPending, 1, 5000);
        CNTService::OnStop();
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        stopped_.notify_all();
    }

    void OnPause() override {
        ReportStatus(ruzd::platform::kServicePaused);
        CNTService::OnPause();
    }

    void OnContinue() override {
        ReportStatus(ruzd::platform::kServiceRunning);
        CNTService::OnContinue();
    }

    void OnUserDefinedRequest(uint32_t control) override {
        if (crash_ && control == kCrashControl) {
            std::_Exit(3);
        }
    }

    bool OnConsoleControl(uint32_t code) override {
        Say("console control " + std::to_string(code));
        return CNTService::OnConsoleControl(code);
    }

private:
    const bool slowStop_;
    const bool crash_;
    std::mutex mutex_;
    std::condition_variable stopped_;
    bool stopping_ = false;
};

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    if (HasSwitch(arguments, "-nodispatcher")) {
        for (;;) {
            std::this_thread::sleep_for(std::chrono::hours(1));
        }
    }
    TestService service(arguments);
    ruzd::app::CNTServiceCommandLineInfo info;
    service.ParseCommandLine(info, arguments);
    if (info.action == ruzd::app::kServiceActionConsole) {
        service.RunAsConsole();
        return 0;
    }
    if (!service.StartDispatcher()) {
        Say("dispatcher failed: " + std::to_string(ruzd::platform::GetLastError()));
        return 1;
    }
    return 0;
}
