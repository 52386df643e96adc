#pragma once

// CVesmarinApp: the node program's application object. It runs on a thread of its own: its
// start-up reads the node's options, starts the debug log, starts the one-second and
// five-second thread timers and, in the service and headless modes, creates the node manager;
// then it serves its thread's messages until a quit message ends it, and releases everything in
// ExitInstance.
//
// In the two window modes a window shell (made by the program's entry, which links a toolkit)
// draws the window on the application thread and runs its loop; everything else is the same.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/application_options.h"
#include "app/debug_settings.h"
#include "app/gui_link/callback_socket.h"
#include "foundation/app_hooks.h"
#include "foundation/time_tools.h"
#include "node/vesmarin_manager.h"
#include "platform/message_queue.h"
#include "platform/thread.h"

namespace ruzd::app {

// The system's time-change notice; the server time shift comes as WM_TIMETOOLS_TIME_CHANGED.
inline constexpr uint32_t kWmSystemTimeChanged = foundation::WM_SYSTEM_TIME_CHANGED;
// The exit status of an application thread ended by a fatal start-up error.
inline constexpr int kFatalExitCode = 1;

class CVesmarinService;
class CVesmarinApp;

// The window of the window modes, made and run on the application thread.
class WindowShell {
public:
    virtual ~WindowShell() = default;
    // Creates the frame and its view; false when there is no window (no display, say).
    virtual bool Create() = 0;
    // Runs the window's loop, which also serves the thread's messages, until the quit message;
    // returns its exit code.
    virtual int Run() = 0;
    // Closes the frame.
    virtual void Close() = 0;
};
using WindowShellFactory = std::function<std::unique_ptr<WindowShell>(CVesmarinApp&)>;

class CVesmarinApp : public foundation::AppHooks {
public:
    // `arguments` are the process's arguments behind the program name; `service` is the
    // service that runs the application (service mode), null otherwise.
    CVesmarinApp(int32_t runMode, std::vector<std::string> arguments,
                 CVesmarinService* service = nullptr);
    // The window modes need a shell; without one their start-up fails.
    void SetWindowShellFactory(WindowShellFactory factory) { window_factory_ = std::move(factory); }
    ~CVesmarinApp() override;

    // Starts the application thread; false when it could not be created.
    bool Start();
    // Asks the application thread to end (from any thread) with the given exit code.
    void Quit(int exitCode = 0);
    // Waits for the application thread to end and returns its exit code.
    int Join();

    // --- What the thread runs ---
    bool InitInstance();
    int Run();
    int ExitInstance();

    bool IsGUIClient() const { return GetRunMode() == foundation::kRunModeAttachedWindow; }
    // In mode 3 the service's settings as it last sent them; otherwise those in force here.
    DebugSettings GetDebugSettings() const;
    // In the attached window the settings go to the service through `sender` (the view's link);
    // nothing changes here until the service answers.
    void SetDebugSettings(const DebugSettings& settings);
    void SetServiceSettingsSender(std::function<void(const DebugSettings&)> sender);
    // Keeps the service's settings in mode 3; does nothing in the other modes.
    void StoreServiceDebugSettings(const DebugSettings& settings);

    // Without a window: the text goes to the debug log (and to the event log under the
    // service), and the attached windows are asked; the first answer is the result. No window
    // attached: the default button, at once.
    int DoMessageBox(const std::string& text, const std::string& caption, uint32_t type);

    // Set once the main window starts closing; clock jumps are no longer told then.
    bool IsClosing() const { return closing_.load(); }
    void SetClosing() { closing_ = true; }

    // A copy of the manager pointer, empty while there is none.
    std::shared_ptr<node::CVesmarinManager> Manager() const;
    // The view of a window that drives the hardware makes the manager and lets the application
    // hold it too, so that the timers drive it.
    void AdoptManager(std::shared_ptr<node::CVesmarinManager> manager);
    // Takes the application's share away when it is `manager`; returns what it took.
    std::shared_ptr<node::CVesmarinManager> ReleaseManager(
        const std::shared_ptr<node::CVesmarinManager>& manager);
    // The manager's settings from the options.
    node::ManagerSettings MakeManagerSettings() const;
    // The service side of the local GUI link; empty in the window modes and once the
    // application has ended.
    std::shared_ptr<CVesmarinCallbackSocket> GuiLink() const;
    const ApplicationOptions& Options() const { return options_; }

    // foundation::AppHooks
    uint32_t ApplicationThreadId() const override;
    void PumpMessage(platform::Message& message) override;

private:
    void OnTimer(uintptr_t timerId);
    void OnSystemTimeChanged();
    void CreateGuiLink();
    void CreateManager();
    // Logs the error that stops the start and shows it; a fatal one ends the application
    // thread with kFatalExitCode.
    void StopStart(const std::string& text, bool fatal);

    const std::vector<std::string> arguments_;
    CVesmarinService* const service_;
    ApplicationOptions options_;
    platform::Thread thread_{"Pelwix"};
    int exit_code_ = 0;

    // The manager is shared between the application thread and threads that stop it.
    mutable std::mutex manager_lock_;
    std::shared_ptr<node::CVesmarinManager> manager_;
    std::shared_ptr<CVesmarinCallbackSocket> gui_link_;

    uint32_t one_second_timer_ = 0;
    uint32_t five_second_timer_ = 0;
    uint64_t last_timer_tick_ = 0;
    int64_t last_timer_millis_ = 0;
    bool log_started_ = false;

    std::atomic<bool> closing_{false};
    WindowShellFactory window_factory_;
    std::unique_ptr<WindowShell> window_;
    mutable std::mutex service_settings_lock_;
    DebugSettings service_settings_;
    std::function<void(const DebugSettings&)> service_settings_sender_;
};

}  // namespace ruzd::app
