#pragma once

// The commands of the main window's toolbar and menu: their ids, prompts, whether they are
// enabled or checked, and the trace scope their handler opens.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ruzd::app {

inline constexpr int kCmdAppAbout = 57664;
inline constexpr int kCmdAppExit = 57665;
inline constexpr int kCmdFilePrint = 57607;
inline constexpr int kCmdStopNode = 32775;
inline constexpr int kCmdDebugOnOff = 32771;
inline constexpr int kCmdHardExit = 32776;
inline constexpr int kCmdDebugThisFile = 32777;
inline constexpr int kCmdPickDebugFile = 32778;
inline constexpr int kCmdDebugSettings = 32781;
// In the toolbar layout: a separator.
inline constexpr int kToolbarSeparator = 0;

struct CommandState {
    bool enabled = false;
    bool checked = false;

    bool operator==(const CommandState&) const = default;
};

// The toolbar's buttons, left to right.
const std::vector<int>& ToolbarLayout();
// The commands whose state the window shows and the test seam reports, in a fixed order.
const std::vector<int>& StatefulCommands();

// `debugEnabled`: the enabled field of the application's current debug settings. Nothing serves
// the print command, so it is never enabled; an unknown id is disabled.
CommandState CommandStateOf(int id, bool attachedWindow, bool debugEnabled);

// The status prompt of a command: its text, a line feed, its tool tip; none when it has none.
std::optional<std::string> CommandPrompt(int id);
// A short name for a toolbar button's tool tip and the menu.
std::string CommandLabel(int id);

// The trace scope the command's handler opens; none for the commands the view does not handle.
std::optional<std::string> CommandTraceScope(int id);

}  // namespace ruzd::app
