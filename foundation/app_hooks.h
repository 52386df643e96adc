#pragma once

// What the foundation needs from the application that runs it: the run mode, the application's
// temporary folder, a lock the application owns, a way to ask it to close its main window, and
// the thread that runs it with the dispatch of that thread's messages.
// The application derives from AppHooks and installs itself at start-up; until then, and in
// tests, a default object answers.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "platform/message_queue.h"

namespace ruzd::foundation {

enum RunMode : int32_t {
    kRunModeService = 0,
    kRunModeHeadless = 1,       // in the foreground, without a window
    kRunModeWindow = 2,         // a window that drives the local hardware
    kRunModeAttachedWindow = 3  // a window attached to a running service
};

class AppHooks {
public:
    // An empty `applicationName` takes the running program's file name without extension.
    explicit AppHooks(int32_t runMode = kRunModeHeadless, std::string applicationName = {});
    virtual ~AppHooks();
    AppHooks(const AppHooks&) = delete;
    AppHooks& operator=(const AppHooks&) = delete;

    int32_t GetRunMode() const { return run_mode_; }
    // True for the two window modes; the service and headless modes are not.
    bool IsWindowMode() const;
    const std::string& ApplicationName() const { return application_name_; }

    // The application's temporary folder, ending with '/': worked out on the first call
    // (MakeAppTempFolder) and kept for the life of the object.
    std::string GetTempFolder();

    // A re-entrant lock the application owns, for callers that must not interleave their
    // changes with each other's.
    std::recursive_mutex& RoutingLock() { return routing_lock_; }

    // Asks the application to close its main window; nothing happens where there is none.
    virtual void RequestMainWindowClose();

    // Set once the main window has started to close; the node's status then says so.
    bool IsClosing() const { return closing_.load(); }
    void SetClosing(bool closing) { closing_.store(closing); }

    // The thread that runs the application object and its message loop; 0 while there is none.
    virtual uint32_t ApplicationThreadId() const;
    bool IsApplicationThread() const;

    // Hands one message of the application thread to the application, as its message loop
    // would; waits on that thread call it to keep the thread's messages moving.
    virtual void PumpMessage(platform::Message& message);

private:
    const int32_t run_mode_;
    const std::string application_name_;
    std::mutex temp_folder_lock_;
    std::optional<std::string> temp_folder_;
    std::recursive_mutex routing_lock_;
    std::atomic<bool> closing_{false};
};

// The system's temporary folder followed by `applicationName`, created when missing; the bare
// temporary folder when that fails. Always ends with '/'.
std::string MakeAppTempFolder(std::string_view applicationName);

// The installed application, or the default object when none is installed.
AppHooks& CurrentApp();

// Makes `app` the current application (null brings back the default) and returns the one it
// replaces (null for the default). The object must outlive its installation.
AppHooks* InstallApp(AppHooks* app);

// Installs an application for the life of the scope and restores the previous one.
class ScopedApp {
public:
    explicit ScopedApp(AppHooks& app) : previous_(InstallApp(&app)) {}
    ~ScopedApp() { InstallApp(previous_); }
    ScopedApp(const ScopedApp&) = delete;
    ScopedApp& operator=(const ScopedApp&) = delete;

private:
    AppHooks* previous_;
};

}  // namespace ruzd::foundation
