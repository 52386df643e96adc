// The node program Pelwix. It reads its command line and either shows its option help ("-help",
// "-?": in a message box, or on standard output where no window can open) or prints its usage
// ("--help", "-h") and ends, or names the words it will take no notice of on stderr, carries
// out the start-up steps, and then
// either hands the process to the service framework ("-service": run under the service manager,
// or one of the verbs that install, remove and control the node's service) or runs the
// application object on a thread of its own - headless, or with its window (wxWidgets) - until
// the application ends or the process is told to stop (SIGINT, SIGTERM), which ends the
// application thread the way a service stop does.

#include <cstdio>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/service_entry.h"
#include "app/startup_steps.h"
#include "app/vesmarin_app.h"
#include "app/view/gui_socket_link.h"
#include "app/window/standalone_message_box.h"
#include "app/window/wx_window_shell.h"
#include "foundation/app_hooks.h"
#include "foundation/version_note.h"
#include "platform/error_output.h"
#include "platform/stop_signals.h"

namespace {

using ruzd::app::CVesmarinApp;

std::string ProgramFileName(const char* argv0) {
    const std::string path = argv0 != nullptr ? argv0 : "Pelwix";
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

int RunApplication(int32_t runMode, std::vector<std::string> words) {
    // Made before the application starts a thread, so that every thread leaves the stop
    // signals to the watcher.
    ruzd::platform::StopSignals signals;
    CVesmarinApp app(runMode, std::move(words));
    app.SetWindowShellFactory(
        ruzd::app::window::WxWindowShellFactory(ruzd::app::GuiSocketLinkFactory()));
    ruzd::foundation::ScopedApp installed(app);
    if (!app.Start()) {
        std::fprintf(stderr, "Pelwix: the application thread could not be started\n");
        return ruzd::app::kEntryExitCode;
    }
    signals.Watch([&app] {
        ruzd::platform::SetStopStage("the application thread to take the quit");
        app.Quit(0);
    });
    const int exitCode = app.Join();
    return exitCode == ruzd::app::kFatalExitCode ? exitCode : ruzd::app::kEntryExitCode;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> words(argv + 1, argv + argc);
    const ruzd::app::EntryOptions options = ruzd::app::ParseEntryOptions(words);
    // Help starts nothing: no wait, no change of folder.
    if (options.Path() == ruzd::app::EntryPath::kShowHelp) {
        const std::string lines =
            ruzd::app::TerminalLines(ruzd::app::EntryHelpText(ProgramFileName(argv[0])));
        if (!ruzd::app::window::ShowStandaloneMessageBox(lines, "Pelwix",
                                                         ruzd::app::kHelpBoxStyle)) {
            std::fwrite(lines.data(), 1, lines.size(), stdout);
        }
        return ruzd::app::kEntryExitCode;
    }
    if (options.Path() == ruzd::app::EntryPath::kShowUsage) {
        const std::string usage = ruzd::app::EntryUsageText(ProgramFileName(argv[0]));
        std::fwrite(usage.data(), 1, usage.size(), stdout);
        return ruzd::app::kUsageExitCode;
    }
    for (const std::string& note : ruzd::app::UnusedWordNotes(words, options.Path())) {
        ruzd::platform::WriteErrorLine(note);
    }
    ruzd::app::RunStartupSteps(options.steps, ruzd::app::SystemStartupEffects());

    if (options.Path() == ruzd::app::EntryPath::kRunService) {
        return ruzd::app::RunNodeService(words);
    }
    return RunApplication(options.RunMode(), std::move(words));
}
