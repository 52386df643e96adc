#include "app/view/vesmarin_view.h"

#include <cstdio>
#include <utility>

#include "app/vesmarin_app.h"
#include "app/view/open_as_text.h"
#include "app/view/service_debug_files.h"
#include "foundation/debug_function.h"
#include "foundation/debug_log.h"
#include "foundation/registry.h"
#include "node/exception_cm.h"
#include "node/manager_log.h"
#include "node/port_type.h"
#include "node/vesmarin_manager.h"
#include "platform/clock.h"
#include "platform/message_box.h"
#include "platform/win_path.h"

namespace ruzd::app {

namespace {

using foundation::kDebugChannelGeneral;
using foundation::kDebugNone;

// Only these types have a message of their own; the others are not shown.
bool IsReportedType(int32_t portType) {
    switch (portType) {
        case node::kPortTypeNetwork:
        case node::kPortTypeVoice:
        case node::kPortTypeStation:
        case node::kPortTypeIp:
        case node::kPortTypeGlobalCallIp:
            return true;
        default:
            return false;
    }
}

void Log(const std::string& text) {
    node::ManagerLog(kDebugChannelGeneral, kDebugNone, text);
}

// The entry and exit lines of a handler in the debug log.
class TraceScope {
public:
    explicit TraceScope(const std::string& name) {
        trace_.Enter(name, kDebugNone, kDebugChannelGeneral, kDebugNone)->EndLine();
    }

private:
    foundation::CDebugFunction trace_;
};

// A debug file opens as text (see open_as_text.h); a Windows path (the debug log's) is mapped
// first. What keeps it from opening is shown.
void OpenDebugFile(const std::string& path) {
    const bool windowsForm =
        path.find('\\') != std::string::npos || (path.size() > 1 && path[1] == ':');
    const std::string failure =
        OpenAsText(windowsForm ? platform::MapWindowsPath(path).string() : path);
    if (!failure.empty()) {
        Log("Debug file not opened: " + failure);
        platform::ShowMessageBox(failure, "Pelwix", platform::kMbOk | platform::kMbIconWarning);
    }
}

std::string RemoteAddress() {
    foundation::CRegistry registry("Pelwix");
    std::string address;
    registry.ReadString("Remote Vesmarin Address", address);
    return address.substr(0, 253);
}

}  // namespace

CVesmarinView::CVesmarinView(CVesmarinApp& app, ViewWindow& window, ServiceLinkFactory linkFactory)
    : app_(app),
      window_(window),
      link_factory_(std::move(linkFactory)),
      attached_(app.IsGUIClient()),
      close_check_(attached_),
      stopper_([this] { StopManager(); }) {
    RefreshDebugEnabled();
}

void CVesmarinView::RefreshDebugEnabled() {
    debug_enabled_ = app_.GetDebugSettings().enabled != 0;
}

CVesmarinView::~CVesmarinView() {
    TraceScope scope("CVesmarinView::~CVesmarinView");
    stopper_.Wait();
    if (attached_) {
        app_.SetServiceSettingsSender({});
    }
    link_.reset();
}

std::shared_ptr<node::CVesmarinManager> CVesmarinView::Manager() const {
    std::lock_guard lock(manager_lock_);
    return manager_;
}

void CVesmarinView::OnVesmarinManagerStop() {
    Log("OnVesmarinManagerStop");
    stopping_ = true;
    stopper_.Request();
}

void CVesmarinView::StopManager() {
    std::shared_ptr<node::CVesmarinManager> manager;
    {
        std::lock_guard lock(manager_lock_);
        manager = std::move(manager_);
    }
    if (manager && app_.ReleaseManager(manager)) {
        manager->StopAllThreads();
    }
    manager.reset();
    app_.Quit(0);
}

void CVesmarinView::OnVesmarinStatus(int32_t portType, int32_t ldev, const std::string& text,
                                     int32_t value) {
    char line[96];
    std::snprintf(line, sizeof line, "OnVesmarinStatus type=%d ldev=%d value=%d ", portType, ldev,
                  value);
    Log(line + text);
    if (ldev >= node::kBoardLineDeviceBase || !IsReportedType(portType)) {
        return;
    }
    window_.Post([this, portType, ldev, text, value] {
        const std::optional<size_t> row = rows_.Report(portType, ldev, text, value);
        if (row) {
            window_.ShowRows(rows_, row);
        }
    });
}

void CVesmarinView::OnVesmarinConnectionState(int32_t connected, int32_t starting) {
    window_.Post([this, connected, starting] {
        Log("OnStatusConnection " + std::to_string(connected) + " " + std::to_string(starting));
        panes_.OnConnectionState(connected, starting);
        window_.ShowPanes(panes_);
    });
}

void CVesmarinView::OnVesmarinStatusText(const std::string& text) {
    window_.Post([this, text] {
        panes_.status = text;
        window_.ShowPanes(panes_);
    });
}

void CVesmarinView::OnVesmarinClearView() {
    Log("OnVesmarinClearView");
    window_.Post([this] {
        rows_.Clear();
        window_.ShowRows(rows_, std::nullopt);
    });
}

void CVesmarinView::OnInitialUpdate() {
    const uint32_t waitSeconds = app_.Options().waitSeconds;
    if (!attached_ && app_.Options().debugOn && waitSeconds != 0) {
        Log("Central Orvanthella notification will be delayed for " + std::to_string(waitSeconds) +
            " seconds");
    }
    window_.ShowPanes(panes_);
    window_.Post([this] { OnInit(); });
}

void CVesmarinView::OnInit() {
    if (attached_) {
        if (link_factory_) {
            link_ = link_factory_(*this);
        }
        if (!link_) {
            panes_.status = "NOT CONNECTED TO SERVICE";
            window_.ShowPanes(panes_);
        }
        ServiceLink* link = link_.get();
        app_.SetServiceSettingsSender([link](const DebugSettings& settings) {
            if (link != nullptr) {
                link->SendDebugSettings(settings);
            }
        });
        return;
    }
    if (!app_.Manager()) {
        CreateManager();
    }
}

void CVesmarinView::CreateManager() {
    auto manager = std::make_shared<node::CVesmarinManager>(app_.MakeManagerSettings());
    {
        std::lock_guard lock(manager_lock_);
        manager_ = manager;
    }
    try {
        manager->Initialise(this);
        app_.AdoptManager(manager);
        return;
    } catch (const node::CExceptionCM& error) {
        Log(std::string("FATAL ERROR: ") + error.what());
        // Half built, the manager goes; a fatal error also ends the window.
        {
            std::lock_guard lock(manager_lock_);
            manager_.reset();
        }
        manager.reset();
        platform::ShowMessageBox(error.what(), "Pelwix", platform::kMbOk | platform::kMbIconError);
        if (error.IsFatal()) {
            app_.Quit(kFatalExitCode);
        }
    } catch (const std::exception& error) {
        Log(std::string("Manager start failed: ") + error.what());
        std::lock_guard lock(manager_lock_);
        manager_.reset();
    }
}

void CVesmarinView::OnClockTick() {
    const platform::Clock& clock = platform::CurrentClock();
    const int64_t wallMs =
        std::chrono::duration_cast<std::chrono::milliseconds>(clock.Now().time_since_epoch())
            .count();
    panes_.SetClock(wallMs / 1000);
    RefreshDebugEnabled();
    window_.ShowPanes(panes_);
    const std::optional<int32_t> jump =
        jump_detector_.Tick(wallMs, static_cast<int64_t>(clock.TickMs()), app_.IsClosing());
    if (jump) {
        if (std::shared_ptr<node::CVesmarinManager> manager = app_.Manager()) {
            manager->OnTimeShiftDetected(*jump);
        }
    }
}

void CVesmarinView::SetClosing() {
    app_.SetClosing();
    panes_.SetClosing();
    window_.ShowPanes(panes_);
}

void CVesmarinView::TryToClose() {
    TraceScope scope("CVesmarinView::TryToClose");
    Log("Application exit initiated");
    CanClose();
}

void CVesmarinView::CanClose() {
    if (attached_) {
        // Nothing is asked and nothing reaches the service: the service runs on.
        app_.Quit(0);
        return;
    }
    TraceScope scope("CVesmarinView::CanClose");
    const CloseSteps steps = close_check_.Run(platform::NowSeconds(), stopping_.load(), [] {
        return platform::ShowMessageBox("Are you sure you want to exit ?", "Pelwix",
                                        platform::kMbYesNo | platform::kMbIconQuestion) ==
               platform::kIdYes;
    });
    if (steps.markClosing) {
        SetClosing();
    }
    if (steps.stopRequest) {
        if (std::shared_ptr<node::CVesmarinManager> manager = Manager()) {
            manager->StopRequest();
        }
    }
    if (steps.forceStop) {
        OnVesmarinManagerStop();
    }
}

CommandState CVesmarinView::StateOf(int id) const {
    return CommandStateOf(id, attached_, debug_enabled_);
}

void CVesmarinView::RunCommand(int id) {
    if (!StateOf(id).enabled) {
        return;
    }
    std::optional<TraceScope> scope;
    if (const std::optional<std::string> name = CommandTraceScope(id)) {
        scope.emplace(*name);
    }
    switch (id) {
        case kCmdStopNode:
            Log("Normal exit initiated");
            CanClose();
            break;
        case kCmdHardExit:
            CanClose();
            break;
        case kCmdDebugOnOff:
            ToggleDebug();
            break;
        case kCmdDebugThisFile:
            OpenCurrentDebugFile();
            break;
        case kCmdPickDebugFile:
            PickDebugFile();
            break;
        case kCmdDebugSettings:
            window_.EditDebugSettings();
            RefreshDebugEnabled();
            window_.CommandsChanged();
            break;
        default:
            // The framework's exit command is taken away: only its trace lines remain.
            break;
    }
}

void CVesmarinView::ToggleDebug() {
    DebugSettings settings = app_.GetDebugSettings();
    settings.enabled = settings.enabled == 0 ? 1 : 0;
    app_.SetDebugSettings(settings);
    RefreshDebugEnabled();
    window_.CommandsChanged();
}

void CVesmarinView::OpenCurrentDebugFile() {
    if (std::shared_ptr<foundation::CDebugFile> log = foundation::GetDebugFile()) {
        // A log that never wrote has no file yet, which the box says.
        OpenDebugFile(log->GetCurrentPath());
        return;
    }
    if (!attached_ || !link_) {
        return;
    }
    const std::string path = CurrentDebugFileOf(app_.GetDebugSettings());
    std::string text;
    if (link_->RequestFile(path, text) == 1) {
        OpenDebugFile(text);
    } else {
        platform::ShowMessageBox(text, "Pelwix", platform::kMbOk);
    }
}

void CVesmarinView::PickDebugFile() {
    const std::string directory = app_.GetDebugSettings().directory;
    const std::string folder =
        attached_ ? ServiceDebugFolder(RemoteAddress(), directory) : directory;
    if (std::optional<std::string> chosen =
            window_.PickDebugFile(platform::MapWindowsPath(folder).string())) {
        OpenDebugFile(*chosen);
    }
}

std::string ViewStateText(const std::string& caption, const CVesmarinView& view) {
    std::string text = "caption=" + caption + "\n";
    text += "pane0=" + view.Panes().status + "\n";
    text += "pane1=" + view.Panes().connection + "\n";
    text += "pane2=" + view.Panes().clock + "\n";
    for (int id : StatefulCommands()) {
        const CommandState state = view.StateOf(id);
        text += "command " + std::to_string(id) + "=" + (state.enabled ? "enabled" : "disabled") +
                (state.checked ? ",checked" : "") + "\n";
    }
    for (const StatusRow& row : view.Rows().Rows()) {
        text += "row=" + row.board + "|" + std::to_string(row.port) + "|" + row.status + "|" +
                std::to_string(row.param) + "\n";
    }
    return text;
}

}  // namespace ruzd::app
