// The node program Pelwix. It reads its command line, carries out the start-up steps, and then
// either hands the process to the service framework ("-service": run under the service manager,
// or one of the verbs that install, remove and control the node's service) or runs the
// application object on a thread of its own until the application ends or the process is told
// to stop (SIGINT, SIGTERM), which ends the application thread the way a service stop does.

#include <cstdio>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/service_entry.h"
#include "app/startup_steps.h"
#include "app/vesmarin_app.h"
#include "foundation/app_hooks.h"
#include "foundation/version_note.h"
#include "platform/message_box.h"
#include "platform/stop_signals.h"

namespace {

using ruzd::app::CVesmarinApp;

// The window modes, which come with later work, end here and say so.
constexpr int kUnsupportedModeExitCode = 2;

std::string ProgramFileName(const char* argv0) {
    const std::string path = argv0 != nullptr ? argv0 : "Pelwix";
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

int RunHeadless(std::vector<std::string> words) {
    // Made before the application starts a thread, so that every thread leaves the stop
    // signals to the watcher.
    ruzd::platform::StopSignals signals;
    CVesmarinApp app(ruzd::foundation::kRunModeHeadless, std::move(words));
    ruzd::foundation::ScopedApp installed(app);
    if (!app.Start()) {
        std::fprintf(stderr, "Pelwix: the application thread could not be started\n");
        return ruzd::app::kEntryExitCode;
    }
    signals.Watch([&app] { app.Quit(0); });
    const int exitCode = app.Join();
    return exitCode == ruzd::app::kFatalExitCode ? exitCode : ruzd::app::kEntryExitCode;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> words(argv + 1, argv + argc);
    const ruzd::app::EntryOptions options = ruzd::app::ParseEntryOptions(words);
    ruzd::app::RunStartupSteps(options.steps, ruzd::app::SystemStartupEffects());

    switch (options.Path()) {
        case ruzd::app::EntryPath::kShowHelp:
            ruzd::platform::ShowMessageBox(ruzd::app::EntryHelpText(ProgramFileName(argv[0])),
                                           "Pelwix", ruzd::app::kHelpBoxStyle);
            return ruzd::app::kEntryExitCode;
        case ruzd::app::EntryPath::kRunService:
            return ruzd::app::RunNodeService(words);
        case ruzd::app::EntryPath::kRunApplication:
            break;
    }
    if (options.RunMode() != ruzd::foundation::kRunModeHeadless) {
        std::fprintf(stderr,
                     "Pelwix: the window modes are not available in this build; run it headless "
                     "with -debug\n");
        return kUnsupportedModeExitCode;
    }
    return RunHeadless(std::move(words));
}
