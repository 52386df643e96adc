#include "watchdog/main_frame.h"

#include <algorithm>
#include <chrono>

#include "foundation/dialogic_install.h"
#include "platform/clock.h"
#include "platform/crt_folder.h"
#include "platform/event_log.h"
#include "platform/message_window.h"
#include "platform/text.h"
#include "watchdog/async_socket.h"
#include "watchdog/client_socket.h"
#include "watchdog/dump_watcher.h"
#include "watchdog/server_socket.h"
#include "watchdog/tormbel_log.h"

namespace ruzd::watchdog {
namespace {

constexpr uint16_t kCategoryLifeCycle = 1;
constexpr uint16_t kCategoryTimeout = 2;
constexpr uint32_t kAlertSleepMs = 100;
constexpr const char* kHeartbeatText = "HEARTBEAT";
constexpr const char* kLoopbackAddress = "127.0.0.1";

// The installed Dialogic release with its version and build, joined by dots; empty without one.
std::string DialogicReleaseText() {
    std::string text = foundation::GetDialogicSystemRelease();
    const std::string version = foundation::GetDialogicVersionString();
    if (!version.empty()) {
        text += (text.empty() ? "" : ".") + version;
    }
    return text;
}

}  // namespace

CMainFrame::CMainFrame(const WatchdogOptions& options, WatchdogFlags& flags, FrameWindow& window,
                       TimeoutActions& actions, WatchdogCard& card, DumpWatchers& watchers)
    : options_(options),
      flags_(flags),
      window_(window),
      actions_(actions),
      card_(card),
      watchers_(watchers),
      local_countdown_(options.countdown),
      wait_countdown_(options.wait),
      pause_countdown_(options.countdown * 10),
      event_source_(kEventSourceName, kEventCategoryCount, kEventMessageFile) {}

CMainFrame::~CMainFrame() = default;

void CMainFrame::Report(uint16_t type, uint16_t category, uint32_t event_id) {
    event_source_.Report(type, category, event_id);
}

int CMainFrame::OnCreate(const std::string& command_line) {
    WriteLogFormat("Tormbel was started, CommandLine=%s", command_line.c_str());
    Report(platform::kEventTypeSuccess, kCategoryLifeCycle, kEventStarted);
    if (!options_.address.empty()) {
        const ReceiveCallback receive = [this](int length, CClientSocket* socket) {
            OnSocketReceive(length, socket);
        };
        // A peer watchdog speaks on each of its heartbeats, well within a countdown. One silent
        // for two countdowns (and the wait) has had the alarm of a time-out and is no watcher
        // beside us; its place goes back to the pool.
        PeerRules rules;
        rules.allowed = options_.allowed_peers;
        rules.silent_limit_ms = (2 * static_cast<uint64_t>(std::max(options_.countdown, 1)) +
                                 static_cast<uint64_t>(std::max(options_.wait, 0))) *
                                1000;
        server_socket_ = std::make_unique<CServerSocket>(receive, std::move(rules));
        client_socket_ = std::make_unique<CClientSocket>(receive, nullptr);
        server_socket_->Listen(options_.server_port);
        client_socket_->Connect(options_.address, options_.client_port);
    }
    const int error = platform::CrtMakeFolder(kDumpFolder);
    if (error != 0 && error != platform::kCrtErrnoExists) {
        WriteLogFormat("EventLog::Report: ERROR _tmkdir, Error=%d", error);
    }
    dialogic_release_ = DialogicReleaseText();
    return 0;
}

intptr_t CMainFrame::OnQueryOpen() {
    if (!running_) {
        if (started_) {
            WriteLog("Tormbel was resumed from pause");
            Report(platform::kEventTypeWarning, kCategoryLifeCycle, kEventResumed);
        }
        screen_shot_armed_ = true;
        remote_countdown_ = options_.countdown;
        local_countdown_ = options_.countdown;
        window_.StartTickTimer();
        running_ = true;
        if (options_.wait == 0 && options_.card) {
            card_.Start();
        }
    } else {
        WriteLog("Tormbel was put in pause");
        Report(platform::kEventTypeWarning, kCategoryLifeCycle, kEventPaused);
        pause_countdown_ = options_.countdown * 10;
        window_.StartTickTimer();
        window_.SetTitle("Tormbel - PAUSED");
        running_ = false;
        if (options_.card) {
            card_.Stop();
        }
    }
    started_ = true;
    return 0;
}

intptr_t CMainFrame::OnHeartbeat() {
    local_flag_ = true;
    screen_shot_armed_ = true;
    local_countdown_ = options_.countdown;
    if (client_socket_) {
        client_socket_->SendString(kHeartbeatText);
    }
    if (options_.card) {
        card_.Kick();
    }
    if (options_.crash_dumps) {
        watchers_.WatchAll(dialogic_release_);
    }
    return running_ ? kHeartbeatReplyRunning : kHeartbeatReplyPaused;
}

void CMainFrame::OnSocketReceive(int /*length*/, CClientSocket* socket) {
    // Our own machine's connections are no sign that the remote system lives.
    if (socket != nullptr && socket->LocalAddress() == kLoopbackAddress) {
        return;
    }
    remote_flag_ = true;
    remote_countdown_ = options_.countdown;
}

void CMainFrame::OnTimer(uint32_t timer_id) {
    if (server_socket_) {
        server_socket_->CloseSilentPeers();
    }
    if (!running_) {
        if (pause_countdown_ > 0) {
            window_.SetTitle(platform::Format("Tormbel : PAUSE (%ds)", pause_countdown_));
            --pause_countdown_;
        } else {
            remote_countdown_ = options_.countdown;
            local_countdown_ = options_.countdown;
            running_ = true;
            WriteLog("Tormbel was resumed from pause automatically after timeout");
            Report(platform::kEventTypeWarning, kCategoryLifeCycle, kEventResumedAutomatically);
        }
    } else if (wait_countdown_ > 0) {
        window_.SetTitle(platform::Format("Tormbel : WAITING (%ds)", wait_countdown_));
        --wait_countdown_;
    } else {
        CountTick(timer_id);
    }
    local_flag_ = false;
    remote_flag_ = false;
}

void CMainFrame::CountTick(uint32_t timer_id) {
    if (options_.pulse > 0 && platform::NowSeconds() % options_.pulse == 0) {
        window_.PostToSelf(WM_TORMBEL_HEARTBEAT);
    }
    if (flags_.card_first_arm) {
        flags_.card_first_arm = false;
        if (options_.card) {
            card_.Start();
        }
    }
    if (!flags_.busy.load() && timer_id == TIMER_TORMBEL_TICK) {
        const std::string title = CountdownTitle();
        if (AlertDue()) {
            window_.Flash();
            window_.SleepMs(kAlertSleepMs);
        }
        if (local_countdown_ >= 0) {
            window_.SetTitle(title);
        }
        if (AlertDue()) {
            window_.Beep();
            window_.Flash();
        }
        // Without a peer there is nobody whose silence could be a remote time-out.
        if (!options_.event_monitor && remote_countdown_ <= 0 && !remote_flag_ &&
            !options_.address.empty()) {
            RemoteTimeout();
        }
        if (options_.close_central > 0 && local_countdown_ <= options_.close_central &&
            !local_flag_) {
            actions_.CloseCentralProgram();
        }
        if (local_countdown_ <= 0 && !local_flag_) {
            LocalTimeout();
            local_countdown_ = options_.countdown;
            wait_countdown_ = options_.wait;
        }
    }
    --local_countdown_;
    --remote_countdown_;
}

std::string CMainFrame::CountdownTitle() const {
    if (options_.remote_only) {
        return platform::Format("Tormbel : (%ds)", remote_countdown_);
    }
    if (!options_.event_monitor && options_.client_port != kPortUnset) {
        return platform::Format("Tormbel : %ds (%ds)", local_countdown_, remote_countdown_);
    }
    return platform::Format("Tormbel : %ds", local_countdown_);
}

bool CMainFrame::AlertDue() const {
    return options_.alert > 0 &&
           (local_countdown_ <= options_.alert || remote_countdown_ <= options_.alert);
}

void CMainFrame::LocalTimeout() {
    WriteLog("***** Tormbel LOCAL TIMEOUT *****");
    Report(platform::kEventTypeError, kCategoryTimeout, kEventLocalTimeout);
    actions_.AfterLocalTimeout();
}

void CMainFrame::RemoteTimeout() {
    WriteLog("***** Tormbel REMOTE TIMEOUT *****");
    Report(platform::kEventTypeError, kCategoryTimeout, kEventRemoteTimeout);
    actions_.AfterRemoteTimeout();
    remote_countdown_ = options_.countdown;
    wait_countdown_ = options_.wait;
    window_.PostToSelf(WM_TORMBEL_REMOTE_TIMEOUT);
}

void CMainFrame::OnClose() {
    window_.StopTickTimer();
    client_socket_.reset();
    server_socket_.reset();
    if (options_.card) {
        card_.Stop();
    }
    WriteLog("Tormbel was stopped");
    Report(platform::kEventTypeWarning, kCategoryLifeCycle, kEventStopped);
    window_.Close();
}

bool CMainFrame::HandleMessage(const platform::Message& message, uint32_t tick_timer_id) {
    switch (message.id) {
        case platform::kWmTimer:
            // The system's id of the frame's tick stands for the frame's own timer id.
            OnTimer(message.wparam == tick_timer_id ? TIMER_TORMBEL_TICK
                                                    : static_cast<uint32_t>(message.wparam));
            return true;
        case WM_TORMBEL_HEARTBEAT:
            platform::ReplyMessage(message, OnHeartbeat());
            return true;
        case kWmQueryOpen:
            platform::ReplyMessage(message, OnQueryOpen());
            return true;
        case platform::kWmClose:
            OnClose();
            return true;
        default:
            return DispatchSocketNotice(message);
    }
}

}  // namespace ruzd::watchdog
