#include "watchdog/tormbel_app.h"

#include <optional>
#include <string>

#include "platform/message_box.h"
#include "platform/message_queue.h"
#include "platform/named_mutex.h"
#include "platform/registry_store.h"
#include "platform/root_problem.h"
#include "platform/stop_signals.h"
#include "platform/thread.h"
#include "watchdog/device_card.h"
#include "watchdog/frame_loop.h"
#include "watchdog/headless_frame_window.h"
#include "watchdog/main_frame.h"
#include "watchdog/option_reader.h"
#include "watchdog/program_watchers.h"
#include "watchdog/startup_checks.h"
#include "watchdog/timeout_steps.h"
#include "watchdog/tormbel_log.h"

namespace ruzd::watchdog {
namespace {

// A machine the watchdog cannot run on: told in its log, where an operator looks first, and in
// its box.
int RefuseStart(const std::string& problem) {
    WriteLog(problem);
    platform::ShowMessageBox(problem, "Tormbel", platform::kMbOk | platform::kMbIconError);
    return kRefusedExitCode;
}

}  // namespace

int RunTormbel(const std::vector<std::string>& words) {
    // Made before any other thread starts, so that every thread leaves the stop signals to it.
    platform::StopSignals signals;

    WatchdogOptions options;
    ReadCommandLine(std::vector<std::string>(words.begin() + (words.empty() ? 0 : 1), words.end()),
                    options);
    const StartupVerdict verdict = CheckOptions(options);
    if (verdict.refused) {
        ShowVerdict(verdict);
        return kRefusedExitCode;
    }
    if (const std::optional<std::string> problem = platform::RootProblem()) {
        return RefuseStart(*problem);
    }
    platform::NamedMutex instance(kInstanceMutexName);
    switch (instance.TryAcquire()) {
        case platform::NamedMutex::Acquire::kAcquired:
            break;
        case platform::NamedMutex::Acquire::kHeldElsewhere:
            platform::ShowMessageBox(kAlreadyRunningMessage, "Tormbel",
                                     platform::kMbOk | platform::kMbIconInformation);
            return kRefusedExitCode;
        case platform::NamedMutex::Acquire::kFailed:
            return RefuseStart(instance.failure());
    }
    // The watchdog registers its event source there: it does not run beside a registry file
    // it cannot read.
    if (const std::optional<std::string> problem = platform::RegistryStore::Problem()) {
        return RefuseStart(*problem);
    }

    HeadlessFrameWindow window;
    if (!window.Create()) {
        return kRefusedExitCode;
    }
    WatchdogFlags flags;
    CMainFrame* frame_pointer = nullptr;
    // Messages that arrive while the time-out command runs go to the frame as in the loop.
    const platform::MessageDispatch dispatch = [&frame_pointer,
                                                &window](platform::Message& message) {
        frame_pointer->HandleMessage(message, window.tick_timer_id());
    };
    TimeoutSteps actions(options, flags, window, dispatch);
    DeviceWatchdogCard card;
    ProgramWatchers watchers(options);
    CMainFrame frame(options, flags, window, actions, card, watchers);
    frame_pointer = &frame;
    actions.Attach(&frame);
    frame.OnCreate(CommandLineText(words));

    const uint32_t main_thread = platform::CurrentThreadId();
    // The framework's first show of the minimised window.
    platform::PostThreadMessage(main_thread, kWmQueryOpen);
    signals.Watch([main_thread] {
        platform::SetStopStage("the watchdog's loop to take the request to close");
        platform::PostThreadMessage(main_thread, platform::kWmClose);
    });
    return RunFrameLoop(dispatch);
}

}  // namespace ruzd::watchdog
