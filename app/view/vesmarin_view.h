#pragma once

// CVesmarinView: the status view of the two window modes, without its toolkit. It receives the
// node manager's reports (mode 2) or the service link's (mode 3) on their threads and turns each
// into work on the window's thread, where it keeps the row table and the status-bar panes; it
// creates the manager or the link, owns the toolbar's commands and decides how the window
// closes. What it shows goes to a ViewWindow, which only draws.

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "app/view/clock_jump_detector.h"
#include "app/view/close_check.h"
#include "app/view/manager_stopper.h"
#include "app/view/pane_texts.h"
#include "app/view/status_rows.h"
#include "app/view/view_commands.h"
#include "app/view/view_window.h"
#include "node/vesmarin_manager_callback.h"

namespace ruzd::node {
class CVesmarinManager;
}

namespace ruzd::app {

class CVesmarinApp;

// Makes the link of an attached window, reporting to the view.
using ServiceLinkFactory =
    std::function<std::unique_ptr<ServiceLink>(node::CVesmarinManagerCallback& view)>;

class CVesmarinView : public node::CVesmarinManagerCallback {
public:
    CVesmarinView(CVesmarinApp& app, ViewWindow& window, ServiceLinkFactory linkFactory);
    ~CVesmarinView() override;
    CVesmarinView(const CVesmarinView&) = delete;
    CVesmarinView& operator=(const CVesmarinView&) = delete;

    // --- CVesmarinManagerCallback: any thread ---
    void OnVesmarinManagerStop() override;
    void OnVesmarinStatus(int32_t portType, int32_t ldev, const std::string& text,
                          int32_t value) override;
    void OnVesmarinConnectionState(int32_t connected, int32_t starting) override;
    void OnVesmarinStatusText(const std::string& text) override;
    void OnVesmarinClearView() override;

    // --- The window's thread ---
    // The window exists: the manager or the link is made next, from the window's loop.
    void OnInitialUpdate();
    // The frame's once-a-second timer: the clock pane and the clock-jump check.
    void OnClockTick();
    // Every close request of the main window.
    void TryToClose();
    void RunCommand(int id);
    // From the debug settings as last looked at: on every clock tick and after each command,
    // since the toolkit asks for the states far more often than they change.
    CommandState StateOf(int id) const;
    // The frame starts closing.
    void SetClosing();

    const StatusRows& Rows() const { return rows_; }
    const PaneTexts& Panes() const { return panes_; }
    bool Stopping() const { return stopping_.load(); }
    int64_t CloseRequestTime() const { return close_check_.RequestTime(); }
    // The view's share of the manager (mode 2), empty while there is none.
    std::shared_ptr<node::CVesmarinManager> Manager() const;

private:
    void OnInit();
    void RefreshDebugEnabled();
    void CreateManager();
    void CanClose();
    void ToggleDebug();
    void OpenCurrentDebugFile();
    void PickDebugFile();
    // Stops and releases the manager when the application holds the same one, then ends the
    // application's loop; runs on the stopper's thread.
    void StopManager();

    CVesmarinApp& app_;
    ViewWindow& window_;
    const ServiceLinkFactory link_factory_;
    const bool attached_;

    mutable std::mutex manager_lock_;
    std::shared_ptr<node::CVesmarinManager> manager_;
    std::unique_ptr<ServiceLink> link_;
    std::atomic<bool> stopping_{false};
    bool debug_enabled_ = false;

    StatusRows rows_;
    PaneTexts panes_;
    ClockJumpDetector jump_detector_;
    CloseCheck close_check_;
    // Last, so that its thread ends before the rest goes.
    ManagerStopper stopper_;
};

// The window's state in text, one item a line: the caption, the panes, the command states and
// the rows; what the test seam writes to state.txt.
std::string ViewStateText(const std::string& caption, const CVesmarinView& view);

}  // namespace ruzd::app
