#pragma once

// Carries out the entry's start-up steps (enter a working folder, wait) in command-line order,
// through effects that tests can replace.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "app/command_line.h"

namespace ruzd::app {

struct StartupEffects {
    // Makes a folder, given in Windows form, the process's current directory; false when it
    // cannot be entered.
    std::function<bool(const std::string& folder)> enterFolder;
    std::function<void(uint32_t milliseconds)> sleep;
};

// The process's own effects: EnterWorkingFolder and a plain sleep of the calling thread.
StartupEffects SystemStartupEffects();

// A folder that cannot be entered is passed over: the program goes on where it was started.
void RunStartupSteps(const std::vector<StartupStep>& steps, const StartupEffects& effects);

// Maps the Windows path to the host's and makes it the current directory; false when the path
// names no folder that can be entered (the current directory then stays).
bool EnterWorkingFolder(std::string_view windowsFolder);

}  // namespace ruzd::app
