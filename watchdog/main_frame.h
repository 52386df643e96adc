#pragma once

// The watchdog's frame: the whole watching logic. A one-second tick counts the local and the
// remote countdown down; the node's heartbeat message resets the local one, data from a peer
// watchdog the remote one; the title shows the state; a countdown that runs out is a time-out.
// Each request to open the (minimised) window toggles between counting and paused, and a pause
// ends by itself after ten countdowns.
//
// Everything runs on the program's one thread: the tick, the window messages and the sockets.

#include <cstdint>
#include <memory>
#include <string>

#include "platform/message_queue.h"
#include "watchdog/event_source.h"
#include "watchdog/frame_parts.h"
#include "watchdog/watchdog_options.h"

namespace ruzd::watchdog {

class CClientSocket;
class CServerSocket;

inline constexpr uint32_t TIMER_TORMBEL_TICK = 6548;
inline constexpr uint32_t WM_TORMBEL_HEARTBEAT = 0x160F;
inline constexpr uint32_t WM_TORMBEL_REMOTE_TIMEOUT = 0x160E;
inline constexpr uint32_t kWmQueryOpen = 0x0013;

inline constexpr intptr_t kHeartbeatReplyRunning = 1;
inline constexpr intptr_t kHeartbeatReplyPaused = 2;

class CMainFrame {
public:
    CMainFrame(const WatchdogOptions& options, WatchdogFlags& flags, FrameWindow& window,
               TimeoutActions& actions, WatchdogCard& card, DumpWatchers& watchers);
    ~CMainFrame();
    CMainFrame(const CMainFrame&) = delete;
    CMainFrame& operator=(const CMainFrame&) = delete;

    // Logs the start, makes the sockets and the dumps folder; 0 (the framework's success).
    int OnCreate(const std::string& command_line);
    // Toggles counting and pause; 0, so the window stays minimised.
    intptr_t OnQueryOpen();
    // The node's heartbeat (or the frame's own pulse); the reply: 1 running, 2 paused.
    intptr_t OnHeartbeat();
    void OnSocketReceive(int length, CClientSocket* socket);
    void OnTimer(uint32_t timer_id);
    void OnClose();

    // Carries out what the Part's message map handles; false for a message it does not handle.
    // The reply of a sent message goes back through the window layer.
    bool HandleMessage(const platform::Message& message, uint32_t tick_timer_id);

    // State, for the time-out actions and for tests.
    bool running() const { return running_; }
    int32_t local_countdown() const { return local_countdown_; }
    int32_t remote_countdown() const { return remote_countdown_; }
    int32_t wait_countdown() const { return wait_countdown_; }
    int32_t pause_countdown() const { return pause_countdown_; }
    bool screen_shot_armed() const { return screen_shot_armed_; }
    void DisarmScreenShot() { screen_shot_armed_ = false; }
    CClientSocket* client_socket() const { return client_socket_.get(); }
    CServerSocket* server_socket() const { return server_socket_.get(); }
    const std::string& dialogic_release() const { return dialogic_release_; }
    const WatchdogOptions& options() const { return options_; }
    FrameWindow& window() const { return window_; }
    WatchdogFlags& flags() const { return flags_; }

private:
    void CountTick(uint32_t timer_id);
    std::string CountdownTitle() const;
    bool AlertDue() const;
    void LocalTimeout();
    void RemoteTimeout();
    void Report(uint16_t type, uint16_t category, uint32_t event_id);

    const WatchdogOptions& options_;
    WatchdogFlags& flags_;
    FrameWindow& window_;
    TimeoutActions& actions_;
    WatchdogCard& card_;
    DumpWatchers& watchers_;

    std::unique_ptr<CServerSocket> server_socket_;
    std::unique_ptr<CClientSocket> client_socket_;
    std::string dialogic_release_;
    bool local_flag_ = true;
    bool remote_flag_ = true;
    int32_t local_countdown_;
    int32_t wait_countdown_;
    int32_t remote_countdown_ = 0;
    int32_t pause_countdown_;
    bool running_ = false;
    bool screen_shot_armed_ = true;
    bool started_ = false;
    CEventLog event_source_;
};

}  // namespace ruzd::watchdog
