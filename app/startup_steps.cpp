#include "app/startup_steps.h"

#include <chrono>
#include <filesystem>
#include <system_error>
#include <thread>

#include "platform/win_path.h"

namespace ruzd::app {

StartupEffects SystemStartupEffects() {
    StartupEffects effects;
    effects.enterFolder = [](const std::string& folder) { return EnterWorkingFolder(folder); };
    effects.sleep = [](uint32_t milliseconds) {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    };
    return effects;
}

void RunStartupSteps(const std::vector<StartupStep>& steps, const StartupEffects& effects) {
    for (const StartupStep& step : steps) {
        switch (step.kind) {
            case StartupStep::Kind::kEnterFolder:
                effects.enterFolder(step.folder);
                break;
            case StartupStep::Kind::kSleep:
                effects.sleep(step.milliseconds);
                break;
        }
    }
}

bool EnterWorkingFolder(std::string_view windowsFolder) {
    if (windowsFolder.empty()) {
        return false;
    }
    const std::filesystem::path folder = platform::MapWindowsPath(windowsFolder);
    if (folder.empty()) {
        return false;
    }
    std::error_code error;
    std::filesystem::current_path(folder, error);
    return !error;
}

}  // namespace ruzd::app
