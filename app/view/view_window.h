#pragma once

// What the status view needs of the window that draws it: a way onto the window's thread, the
// redraws after each change, and the dialogs. The window toolkit implements it; tests implement
// it without a display.

#include <functional>
#include <optional>
#include <string>

#include "app/debug_settings.h"

namespace ruzd::app {

class StatusRows;
struct PaneTexts;

class ViewWindow {
public:
    virtual ~ViewWindow() = default;

    // Runs `work` later on the window's thread; callable from any thread.
    virtual void Post(std::function<void()> work) = 0;

    // Redraws after a change, on the window's thread. `row` is the row that changed; none when
    // the whole list must be redrawn.
    virtual void ShowRows(const StatusRows& rows, std::optional<size_t> row) = 0;
    virtual void ShowPanes(const PaneTexts& panes) = 0;
    // Enabled and checked states may have changed.
    virtual void CommandsChanged() = 0;

    // The file-open dialog for debug files, opened in `startFolder` (a host path); the chosen
    // file's host path, none when the user cancelled.
    virtual std::optional<std::string> PickDebugFile(const std::string& startFolder) = 0;
    // The debug settings dialog, modal.
    virtual void EditDebugSettings() = 0;
};

// The window's link to the node service it is attached to (mode 3).
class ServiceLink {
public:
    virtual ~ServiceLink() = default;
    // Asks the service to apply the settings.
    virtual void SendDebugSettings(const DebugSettings& settings) = 0;
    // Fetches a file of the service: 1 and the local copy's path, or 0 and the reason.
    virtual int RequestFile(const std::string& path, std::string& text) = 0;
};

}  // namespace ruzd::app
