#pragma once

// CVesmarinCallbackSocket: the node's side of the local GUI link, in the service and headless
// modes. It is the node manager's status receiver: it keeps the last reported state (every
// port's status in the order the ports first reported, the connection state, the status text)
// and passes each report on to the attached windows, so that a window attaching later still sees
// everything. It listens for windows, applies the debug settings they send, hands them files and
// carries the node's message boxes to them.

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "app/debug_settings.h"
#include "app/gui_link/gui_requests.h"
#include "net/server_stream_socket_thread.h"
#include "net/shared_slot.h"
#include "net/stream_socket_callback.h"
#include "node/vesmarin_manager_callback.h"

namespace ruzd::app {

class CVesmarinCallbackSocket : public node::CVesmarinManagerCallback,
                                public net::CStreamSocketCallback {
public:
    // The debug settings in force and the way to change them: the application's.
    struct DebugSettingsAccess {
        std::function<DebugSettings()> get;
        std::function<void(const DebugSettings&)> set;
    };

    // How long a message box waits for a window's answer, and what it then answers.
    static constexpr uint32_t kMessageBoxLimitMs = 10 * 60 * 1000;
    // The bytes the windows' connections may hold together: a whole file answer and then some.
    static constexpr size_t kBufferBudgetBytes = 40u * 1024 * 1024;

    // Keeps what is reported from now on; windows are heard once Listen has run.
    explicit CVesmarinCallbackSocket(DebugSettingsAccess settings);
    ~CVesmarinCallbackSocket();
    CVesmarinCallbackSocket(const CVesmarinCallbackSocket&) = delete;
    CVesmarinCallbackSocket& operator=(const CVesmarinCallbackSocket&) = delete;

    // node::CVesmarinManagerCallback
    void OnVesmarinManagerStop() override {}
    void OnVesmarinStatus(int32_t portType, int32_t ldev, const std::string& text,
                          int32_t value) override;
    void OnVesmarinConnectionState(int32_t connected, int32_t starting) override;
    void OnVesmarinStatusText(const std::string& text) override;
    void OnVesmarinClearView() override {}

    // net::CStreamSocketCallback
    void OnSocketReceiveInfo(net::CClientStreamSocket* message) override;

    // Reads the port and the bind address from the registry and starts listening. The
    // application calls it once the node has started: a node that is refused (a second one,
    // a registry that cannot be read) must neither touch the registry nor take the port.
    void Listen();

    // Asks the attached windows to show a box and returns the button the user chose: with no
    // window attached the box's default button at once; with no answer within the limit
    // kMessageBoxTimedOut. `applicationThread` tells the windows whether the node's application
    // thread raised it.
    int32_t ShowMessageBox(bool applicationThread, const std::string& text, uint32_t type,
                           uint32_t helpId);
    // Whether any window is connected.
    bool HasWindows() const;
    // Ends every message box that waits for an answer, now and later: the link goes.
    void Shut();

    // For tests: the bound of a message box's wait.
    void SetMessageBoxLimitMs(uint32_t limit_ms) { message_box_limit_ms_.store(limit_ms); }
    // The port listened on; 0 before Listen.
    uint32_t Port() const { return port_.load(); }

private:
    struct LastStatus {
        std::string text;
        int32_t value = 0;
    };
    using Handler = void (CVesmarinCallbackSocket::*)(net::CClientStreamSocket& message);

    void OnSendAll(net::CClientStreamSocket& message);
    void OnSetDebugSettings(net::CClientStreamSocket& message);
    void OnFileRequest(net::CClientStreamSocket& message);
    void OnResult(net::CClientStreamSocket& message);
    void SendDebugSettings();
    // The debug settings in force, the directory as the full path of its folder.
    DebugSettings SettingsForWindows() const;
    std::shared_ptr<net::CServerStreamSocketThread> Listener() const { return listener_.Get(); }

    const DebugSettingsAccess settings_;
    std::atomic<uint32_t> port_{0};
    std::map<int32_t, Handler> handlers_;

    std::mutex status_lock_;
    std::map<int32_t, std::map<int32_t, LastStatus>> statuses_;
    std::vector<std::pair<int32_t, int32_t>> report_order_;
    int32_t connected_ = 0;
    int32_t starting_ = 0;
    std::string status_text_;

    GuiRequests requests_;
    std::atomic<uint32_t> message_box_limit_ms_{kMessageBoxLimitMs};

    // Stopped first by the destructor: no window's message arrives once the rest goes.
    net::SharedSlot<net::CServerStreamSocketThread> listener_;
};

}  // namespace ruzd::app
