#include "app/vesmarin_app.h"

#include <chrono>
#include <optional>
#include <string>
#include <utility>

#include "app/debug_settings.h"
#include "app/gui_link/gui_link_protocol.h"
#include "app/node_registry_values.h"
#include "app/vesmarin_service.h"
#include "foundation/debug_log.h"
#include "foundation/threaded_message_box.h"
#include "foundation/time_tools.h"
#include "foundation/trace.h"
#include "node/exception_cm.h"
#include "node/manager_log.h"
#include "platform/clock.h"
#include "platform/message_box.h"
#include "platform/stop_signals.h"
#include "telephony/hardware.h"
#include "telephony/rtp_channel_streams.h"

namespace ruzd::app {

namespace {

// From this trace level on, the hardware layer writes its detailed traces.
constexpr int32_t kDetailedTraceLevel = 4;

uint64_t FolderBytes(const DebugSettings& settings) {
    return static_cast<uint64_t>(settings.folderMaxMB) * 1024 * 1024;
}

int64_t WallMillis() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               platform::CurrentClock().Now().time_since_epoch())
        .count();
}

// Without a window of its own the node hands its boxes to the application, which asks the
// windows attached over the local GUI link.
platform::MessageBoxPresenter HeadlessMessageBox(CVesmarinApp* app) {
    return [app](const std::string& text, const std::string& caption, uint32_t style) {
        return app->DoMessageBox(text, caption, style);
    };
}

}  // namespace

CVesmarinApp::CVesmarinApp(int32_t runMode, std::vector<std::string> arguments,
                           CVesmarinService* service)
    : foundation::AppHooks(runMode, "Pelwix"),
      arguments_(std::move(arguments)),
      service_(service) {}

CVesmarinApp::~CVesmarinApp() {
    Join();
}

bool CVesmarinApp::Start() {
    return thread_.Start([this] {
        if (!InitInstance()) {
            ExitInstance();
            return;
        }
        exit_code_ = Run();
        ExitInstance();
    });
}

void CVesmarinApp::Quit(int exitCode) {
    platform::PostThreadMessage(thread_.id(), platform::kWmQuit, static_cast<uintptr_t>(exitCode));
}

int CVesmarinApp::Join() {
    thread_.Join();
    return exit_code_;
}

uint32_t CVesmarinApp::ApplicationThreadId() const {
    return thread_.id();
}

std::shared_ptr<node::CVesmarinManager> CVesmarinApp::Manager() const {
    std::lock_guard lock(manager_lock_);
    return manager_;
}

bool CVesmarinApp::InitInstance() {
    platform::EnsureMessageQueue();
    ReportRegistryWriteFailures();
    options_ = ParseApplicationOptions(arguments_);
    if (options_.remoteAddress) {
        StoreRemoteAddress(*options_.remoteAddress);
    }
    if (options_.traceLevel) {
        foundation::g_nTraceLevel = *options_.traceLevel;
    }
    if (!IsWindowMode()) {
        platform::SetMessageBoxPresenter(HeadlessMessageBox(this));
    }

    if (!IsGUIClient()) {
        const DebugSettings settings = GetDebugSettingsFromRegistry();
        // "-d" must find the folder the log writes to, wherever the settings put it.
        if (options_.debugOn) {
            CreateDebugDirectory(settings.directory);
        }
        foundation::StartDebugLog(settings.directory + kDebugFilePrefix, settings.fileType,
                                  options_.debugOn, settings.maxFilesToKeep, FolderBytes(settings));
        log_started_ = true;
        // Once the log runs, so that what the user's registry lines do not say is kept there too.
        ReportRegistryMistakes();
    } else {
        options_.debugOn = false;
    }

    one_second_timer_ = platform::SetThreadTimer(1000);
    five_second_timer_ = platform::SetThreadTimer(5000);
    last_timer_tick_ = platform::CurrentClock().TickMs();
    last_timer_millis_ = WallMillis();

    if (!IsWindowMode()) {
        CreateGuiLink();
        // The link's port is refused as the command ports are, before anything starts.
        if (const std::optional<std::string> problem = GuiLinkPortProblem()) {
            StopStart(*problem, true);
        } else {
            CreateManager();
        }
        // Windows are let in once the node has started: a refused start leaves the link's port
        // and registry values alone.
        if (exit_code_ != kFatalExitCode) {
            GuiLink()->Listen();
        }
    } else {
        window_ = window_factory_ ? window_factory_(*this) : nullptr;
        if (!window_ || !window_->Create()) {
            return false;
        }
    }

    foundation::TimeTools::RegisterTimeChangeListener({}, thread_.id(), kWmSystemTimeChanged);
    foundation::TimeTools::RegisterShiftListener({}, thread_.id(),
                                                 foundation::WM_TIMETOOLS_TIME_CHANGED);
    return true;
}

std::shared_ptr<CVesmarinCallbackSocket> CVesmarinApp::GuiLink() const {
    std::lock_guard lock(manager_lock_);
    return gui_link_;
}

void CVesmarinApp::CreateGuiLink() {
    CVesmarinCallbackSocket::DebugSettingsAccess access;
    access.get = [this] { return GetDebugSettings(); };
    access.set = [this](const DebugSettings& settings) { SetDebugSettings(settings); };
    std::shared_ptr<CVesmarinCallbackSocket> previous;
    {
        std::lock_guard lock(manager_lock_);
        previous.swap(gui_link_);
    }
    previous.reset();
    auto link = std::make_shared<CVesmarinCallbackSocket>(std::move(access));
    std::lock_guard lock(manager_lock_);
    gui_link_ = std::move(link);
}

int CVesmarinApp::DoMessageBox(const std::string& text, const std::string& caption, uint32_t type) {
    node::ManagerLog(foundation::kDebugChannelGeneral, foundation::kDebugNone,
                     "DoMessageBox " + text);
    if (service_ != nullptr) {
        service_->ReportMessage(text);
    }
    std::shared_ptr<CVesmarinCallbackSocket> link = GuiLink();
    if (!link || !link->HasWindows()) {
        // Nobody can answer: the box goes to stderr and its default button answers.
        return platform::LogMessageBox(text, caption, type);
    }
    return link->ShowMessageBox(IsApplicationThread(), text, type, 0);
}

node::ManagerSettings CVesmarinApp::MakeManagerSettings() const {
    node::ManagerSettings settings;
    settings.startupDelaySeconds = options_.waitSeconds;
    settings.configureAmtelco = options_.configureAmtelco;
    settings.amtelcoBoard = options_.amtelcoBoard;
    settings.busClockMaster = options_.busClockMaster;
    settings.ctBus = options_.ctBus;
    settings.runMode = GetRunMode();
    return settings;
}

void CVesmarinApp::AdoptManager(std::shared_ptr<node::CVesmarinManager> manager) {
    std::lock_guard lock(manager_lock_);
    manager_ = std::move(manager);
}

std::shared_ptr<node::CVesmarinManager> CVesmarinApp::ReleaseManager(
    const std::shared_ptr<node::CVesmarinManager>& manager) {
    std::lock_guard lock(manager_lock_);
    if (!manager_ || manager_ != manager) {
        return nullptr;
    }
    return std::move(manager_);
}

void CVesmarinApp::CreateManager() {
    auto manager = std::make_shared<node::CVesmarinManager>(MakeManagerSettings());
    {
        std::lock_guard lock(manager_lock_);
        manager_ = manager;
    }
    try {
        manager->Initialise(GuiLink().get());
    } catch (const node::CExceptionCM& error) {
        // The manager is half built: it goes, and the bare message is passed on.
        {
            std::lock_guard lock(manager_lock_);
            manager_.reset();
        }
        manager.reset();
        StopStart(error.what(), error.IsFatal());
    }
}

void CVesmarinApp::StopStart(const std::string& text, bool fatal) {
    node::ManagerLog(foundation::kDebugChannelGeneral, foundation::kDebugNone,
                     "FATAL ERROR: " + text);
    platform::ShowMessageBox(text, "Pelwix", platform::kMbOk | platform::kMbIconError);
    // A fatal error ends the application thread.
    if (fatal) {
        exit_code_ = kFatalExitCode;
        platform::PostQuitMessage(kFatalExitCode);
    }
}

int CVesmarinApp::Run() {
    if (window_) {
        return window_->Run();
    }
    return platform::RunMessageLoop([this](platform::Message& message) { PumpMessage(message); });
}

void CVesmarinApp::PumpMessage(platform::Message& message) {
    switch (message.id) {
        case platform::kWmTimer:
            OnTimer(message.wparam);
            break;
        case kWmSystemTimeChanged:
            OnSystemTimeChanged();
            break;
        case foundation::WM_TIMETOOLS_TIME_CHANGED:
            foundation::Trace(foundation::kTraceCallId, 0, "OnTimeToolsTimeChanged!");
            break;
        default:
            break;
    }
}

void CVesmarinApp::OnTimer(uintptr_t timerId) {
    last_timer_tick_ = platform::CurrentClock().TickMs();
    last_timer_millis_ = WallMillis();
    if (timerId != one_second_timer_ && timerId != five_second_timer_) {
        return;
    }
    // A copy, so that the manager outlives its tick even if it is released meanwhile.
    std::shared_ptr<node::CVesmarinManager> manager = Manager();
    if (!manager) {
        return;
    }
    if (timerId == one_second_timer_) {
        manager->OnTick();
    } else {
        manager->ProcessMoveFileQueue();
    }
}

void CVesmarinApp::OnSystemTimeChanged() {
    const int64_t wall = WallMillis() - last_timer_millis_;
    const int64_t tick = static_cast<int64_t>(platform::CurrentClock().TickMs()) -
                         static_cast<int64_t>(last_timer_tick_);
    foundation::Trace(foundation::kTraceCallId, 0, "OnSystemTimeChanged! ShiftMilliSecs=%+lld",
                      static_cast<long long>(wall - tick));
}

int CVesmarinApp::ExitInstance() {
    std::shared_ptr<node::CVesmarinManager> manager;
    {
        std::lock_guard lock(manager_lock_);
        manager.swap(manager_);
    }
    platform::SetStopStage("the node's threads to stop");
    if (manager) {
        // Each running worker holds a share of the manager: stopped while this share still
        // holds it, they let go of theirs, and the release below destroys the manager here
        // rather than leaving it to workers nobody stops any more while the process ends.
        manager->StopAllThreads();
    }
    manager.reset();
    // The manager reported to the link to the end; now the link goes, and a box still waiting
    // for a window's answer ends.
    std::shared_ptr<CVesmarinCallbackSocket> link;
    {
        std::lock_guard lock(manager_lock_);
        link.swap(gui_link_);
    }
    platform::SetStopStage("the link to the window to close");
    if (link) {
        link->Shut();
    }
    link.reset();
    if (window_) {
        window_->Close();
        window_.reset();
    }
    // Whatever stream a manager left behind ends before the log does.
    telephony::RTPStreamStopAll();
    telephony::RTPStreamRemoveAll();
    if (one_second_timer_ != 0) {
        platform::KillThreadTimer(one_second_timer_);
    }
    if (five_second_timer_ != 0) {
        platform::KillThreadTimer(five_second_timer_);
    }
    // No box the node queued is shown, nor answered, once the application has ended.
    foundation::StopThreadedMessageBox();
    if (log_started_) {
        foundation::StopDebugLog();
    }
    foundation::TimeTools::RegisterTimeChangeListener({}, thread_.id(), 0);
    foundation::TimeTools::RegisterShiftListener({}, thread_.id(), 0);
    if (!IsWindowMode()) {
        platform::SetMessageBoxPresenter({});
    }
    return exit_code_;
}

DebugSettings CVesmarinApp::GetDebugSettings() const {
    if (IsGUIClient()) {
        std::lock_guard lock(service_settings_lock_);
        return service_settings_;
    }
    DebugSettings settings = GetDebugSettingsFromRegistry();
    std::shared_ptr<foundation::CDebugFile> log = foundation::GetDebugFile();
    settings.enabled = log && log->IsEnabled() ? 1 : 0;
    settings.traceLevel = foundation::g_nTraceLevel.load();
    return settings;
}

void CVesmarinApp::SetServiceSettingsSender(std::function<void(const DebugSettings&)> sender) {
    std::lock_guard lock(service_settings_lock_);
    service_settings_sender_ = std::move(sender);
}

void CVesmarinApp::StoreServiceDebugSettings(const DebugSettings& settings) {
    if (!IsGUIClient()) {
        return;
    }
    std::lock_guard lock(service_settings_lock_);
    service_settings_ = settings;
}

void CVesmarinApp::SetDebugSettings(const DebugSettings& wanted) {
    if (IsGUIClient()) {
        std::function<void(const DebugSettings&)> sender;
        {
            std::lock_guard lock(service_settings_lock_);
            sender = service_settings_sender_;
        }
        if (sender) {
            sender(wanted);
        }
        return;
    }
    // The log runs on what the registry holds afterwards: a setting that could not be saved
    // (said by the write) would be gone at the next start, and windows are shown what is in
    // force.
    WriteDebugSettingsToRegistry(wanted);
    DebugSettings settings = GetDebugSettingsFromRegistry();
    settings.enabled = wanted.enabled;
    settings.traceLevel = wanted.traceLevel;
    // A folder a window names may not be there yet: the log would write nowhere.
    if (settings.enabled != 0) {
        CreateDebugDirectory(settings.directory);
    }
    foundation::StartDebugLog(settings.directory + kDebugFilePrefix, settings.fileType,
                              settings.enabled != 0, settings.maxFilesToKeep,
                              FolderBytes(settings));
    if (std::shared_ptr<foundation::CDebugFile> log = foundation::GetDebugFile()) {
        log->SetEnabled(settings.enabled != 0);
    }
    foundation::g_nTraceLevel = settings.traceLevel;
    // The Aculab media library traces through the node's log at the detailed levels only.
    if (telephony::CHardware* hardware = telephony::PublishedHardware()) {
        hardware->SetAculabTrace(settings.traceLevel >= kDetailedTraceLevel);
    }
}

}  // namespace ruzd::app
