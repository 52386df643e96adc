#pragma once

// CVesmarinGUISocket: the window's side of the local GUI link, in mode 3. It connects to the
// node named by "Remote Vesmarin Address" on the link's port, asks for everything once the node
// first sends something, and passes what the node reports to the status view, as the manager
// does in mode 2. It sends the user's debug settings, fetches files into the application's
// temporary folder and shows the node's message boxes, returning the user's answers.
//
// Until the node has sent something on a connection, the companion thread connects anew every
// second: a window whose node stays silent stays empty.

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "app/debug_settings.h"
#include "app/gui_link/gui_requests.h"
#include "app/gui_link/gui_socket_thread.h"
#include "app/gui_link/status_view.h"
#include "net/client_stream_socket_thread.h"
#include "net/stream_socket_callback.h"

namespace ruzd::app {

class CVesmarinGUISocket final : public net::CStreamSocketCallback {
public:
    static constexpr uint32_t kFileRequestLimitMs = 10000;
    static constexpr const char* kNotConnectedText = "NOT CONNECTED TO SERVICE";
    static constexpr const char* kUpgradeText =
        "Please upgrade your version of Vesmarin to match the service version of Vesmarin.";

    // `view` (may be null) gets the node's reports. Connects and starts the companion thread.
    explicit CVesmarinGUISocket(StatusView* view);
    ~CVesmarinGUISocket();
    CVesmarinGUISocket(const CVesmarinGUISocket&) = delete;
    CVesmarinGUISocket& operator=(const CVesmarinGUISocket&) = delete;

    // Asks the node to apply the settings; they come back as the node's settings message.
    void SendDebugSettings(const DebugSettings& settings);
    // Fetches a file of the node: 1 with the local copy's path in `text`, or 0 with the node's
    // reason or "Timeout File Request".
    int32_t RequestFile(const std::string& path, std::string& text);
    // Answers the node's request `id`.
    void SendResult(int32_t id, int32_t value, const std::string& text, int32_t flag);
    // The application's temporary folder (host form, ending with '/'), where fetched files go.
    std::string GetTempFolder();
    // The companion's check: without a connection on which the node has spoken, the view says
    // so and the connection starts anew.
    void CheckConnection();

    // net::CStreamSocketCallback
    void OnSocketReceiveInfo(net::CClientStreamSocket* message) override;
    void OnSocketClose(const std::string& address, unsigned port, int error,
                       uint64_t connection) override;

    // For tests: the bound of RequestFile's wait.
    void SetFileRequestLimitMs(uint32_t limit_ms) { file_request_limit_ms_.store(limit_ms); }

private:
    using Handler = void (CVesmarinGUISocket::*)(net::CClientStreamSocket& message);

    void OnPortStatus(net::CClientStreamSocket& message);
    void OnConnectionState(net::CClientStreamSocket& message);
    void OnStatusText(net::CClientStreamSocket& message);
    void OnDebugSettings(net::CClientStreamSocket& message);
    void OnAnswer(net::CClientStreamSocket& message);
    void OnFileAnswer(net::CClientStreamSocket& message);
    void OnShowMessageBox(net::CClientStreamSocket& message);
    void OnVersion(net::CClientStreamSocket& message);
    // Shows a box on a thread of its own, then runs `after` with the answer unless the link
    // has gone by then.
    void ShowBoxApart(const std::string& text, uint32_t type,
                      std::function<void(CVesmarinGUISocket&, int)> after);
    void ShowStatusText(const std::string& text);

    GuiRequests requests_;
    StatusView* const view_;
    std::mutex temp_folder_lock_;
    std::string temp_folder_;
    std::atomic<uint32_t> file_request_limit_ms_{kFileRequestLimitMs};

    // Guards the connection and the requested flag; taken again on the same thread when a
    // reconnect made under it tells of the close.
    std::recursive_mutex connection_lock_;
    std::shared_ptr<net::CClientStreamSocketThread> connection_;
    bool requested_ = false;
    std::map<int32_t, Handler> handlers_;
    // What the threads that show boxes apart reach the link through; cleared as it goes.
    struct Presence {
        std::mutex lock;
        CVesmarinGUISocket* socket = nullptr;
    };
    const std::shared_ptr<Presence> presence_ = std::make_shared<Presence>();
    std::unique_ptr<CVesmarinGUISocketThread> companion_;
};

}  // namespace ruzd::app
