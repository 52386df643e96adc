#include "foundation/app_hooks.h"

#include <atomic>
#include <filesystem>
#include <optional>
#include <system_error>
#include <utility>

#include "platform/private_folder.h"
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
    if (applicationName.empty()) {
        return temp;
    }
    const std::string folder = temp + std::string(applicationName);
    // Programs received for an update wait here before they are run: the folder must be this
    // user's alone. An existing one that is not (another owner, a link, writable by others, or
    // no folder at all) is left alone and a fresh one made beside it.
    if (platform::EnsurePrivateFolder(folder)) {
        return WithTrailingSeparator(folder);
    }
    if (const std::optional<std::string> fresh = platform::MakeFreshPrivateFolder(folder + ".")) {
        return WithTrailingSeparator(*fresh);
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
