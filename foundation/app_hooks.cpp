#include "foundation/app_hooks.h"

#include <atomic>
#include <filesystem>
#include <system_error>
#include <utility>

#include "platform/running_program.h"
#include "platform/thread.h"

namespace ruzd::foundation {
namespace {

std::atomic<AppHooks*> g_installedApp{nullptr};

std::string WithTrailingSeparator(std::string path) {
    if (path.empty() || path.back() != '/') {
        path += '/';
    }
    return path;
}

std::string SystemTempFolder() {
    std::error_code error;
    const std::filesystem::path temp = std::filesystem::temp_directory_path(error);
    return WithTrailingSeparator(error ? std::string("/tmp") : temp.string());
}

}  // namespace

AppHooks::AppHooks(int32_t runMode, std::string applicationName)
    : run_mode_(runMode),
      application_name_(applicationName.empty() ? platform::RunningProgramBaseName()
                                                : std::move(applicationName)) {}

AppHooks::~AppHooks() = default;

bool AppHooks::IsWindowMode() const {
    return run_mode_ == kRunModeWindow || run_mode_ == kRunModeAttachedWindow;
}

std::string AppHooks::GetTempFolder() {
    std::lock_guard<std::mutex> lock(temp_folder_lock_);
    if (!temp_folder_) {
        temp_folder_ = MakeAppTempFolder(application_name_);
    }
    return *temp_folder_;
}

void AppHooks::RequestMainWindowClose() {}

uint32_t AppHooks::ApplicationThreadId() const {
    return 0;
}

bool AppHooks::IsApplicationThread() const {
    const uint32_t id = ApplicationThreadId();
    return id != 0 && id == platform::CurrentThreadId();
}

void AppHooks::PumpMessage(platform::Message&) {}

std::string MakeAppTempFolder(std::string_view applicationName) {
    const std::string temp = SystemTempFolder();
    const std::string folder = temp + std::string(applicationName);
    // An existing folder is used as it is. Something other than a folder under that name
    // cannot hold files, so it counts as a folder that cannot be made.
    std::error_code error;
    std::filesystem::create_directory(folder, error);
    if (std::filesystem::is_directory(folder, error)) {
        return WithTrailingSeparator(folder);
    }
    return temp;
}

AppHooks& CurrentApp() {
    static AppHooks defaultApp;
    AppHooks* app = g_installedApp.load();
    return app != nullptr ? *app : defaultApp;
}

AppHooks* InstallApp(AppHooks* app) {
    return g_installedApp.exchange(app);
}

}  // namespace ruzd::foundation
