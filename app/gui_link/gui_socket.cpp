#include "app/gui_link/gui_socket.h"

#include <cstdio>
#include <filesystem>
#include <system_error>
#include <thread>
#include <vector>

#include "app/gui_link/debug_settings_values.h"
#include "app/gui_link/gui_link_protocol.h"
#include "app/vesmarin_app.h"
#include "foundation/app_hooks.h"
#include "foundation/debug_channel.h"
#include "net/client_stream_socket.h"
#include "node/manager_log.h"
#include "platform/message_box.h"
#include "platform/regular_file.h"

namespace ruzd::app {

namespace {

void Log(const std::string& line) {
    node::ManagerLog(foundation::kDebugChannelSocket, foundation::kDebugNone, line);
}

// The part of the node's path behind its last separator.
std::string LastPart(const std::string& path) {
    const size_t separator = path.find_last_of("\\/");
    return separator == std::string::npos ? path : path.substr(separator + 1);
}

}  // namespace

CVesmarinGUISocket::CVesmarinGUISocket(StatusView* view) : view_(view) {
    ShowStatusText(kNotConnectedText);
    const std::optional<uint32_t> port = ReadGuiLinkPort();
    const std::string address = ReadRemoteVesmarinAddress();
    handlers_[kGuiPortStatus] = &CVesmarinGUISocket::OnPortStatus;
    handlers_[kGuiConnectionState] = &CVesmarinGUISocket::OnConnectionState;
    handlers_[kGuiStatusText] = &CVesmarinGUISocket::OnStatusText;
    handlers_[kGuiDebugSettings] = &CVesmarinGUISocket::OnDebugSettings;
    handlers_[kGuiNodeAnswer] = &CVesmarinGUISocket::OnAnswer;
    handlers_[kGuiFileAnswer] = &CVesmarinGUISocket::OnFileAnswer;
    handlers_[kGuiShowMessageBox] = &CVesmarinGUISocket::OnShowMessageBox;
    handlers_[kGuiVersion] = &CVesmarinGUISocket::OnVersion;
    presence_->socket = this;
    // The companion first: a message that arrives at once may already hand it a box.
    companion_ = std::make_unique<CVesmarinGUISocketThread>(this);
    if (!port) {
        // No port at all rather than some other node's: the window stays unconnected and says
        // why.
        ShowBoxApart(GuiLinkPortProblem().value_or(kNotConnectedText), platform::kMbOk, {});
        return;
    }
    std::lock_guard lock(connection_lock_);
    connection_ =
        std::make_shared<net::CClientStreamSocketThread>(this, address, static_cast<int>(*port));
}

CVesmarinGUISocket::~CVesmarinGUISocket() {
    {
        // A box shown apart that is being answered now finishes first.
        std::lock_guard lock(presence_->lock);
        presence_->socket = nullptr;
    }
    requests_.Shut();
    // Each ends outside the lock, which its thread may be waiting for: the companion first, so
    // that nothing connects anew, then the connection, so that nothing more arrives.
    std::unique_ptr<CVesmarinGUISocketThread> companion;
    {
        std::lock_guard lock(connection_lock_);
        companion.swap(companion_);
    }
    companion.reset();
    std::shared_ptr<net::CClientStreamSocketThread> connection;
    {
        std::lock_guard lock(connection_lock_);
        connection.swap(connection_);
    }
    connection.reset();
}

void CVesmarinGUISocket::ShowStatusText(const std::string& text) {
    if (view_ != nullptr) {
        view_->OnVesmarinStatusText(text);
    }
}

void CVesmarinGUISocket::SendDebugSettings(const DebugSettings& settings) {
    std::lock_guard lock(connection_lock_);
    if (!connection_) {
        return;
    }
    connection_->BeginMessage(kGuiSetDebugSettings);
    WriteDebugSettingsValues(*connection_, settings);
    connection_->Flush();
}

void CVesmarinGUISocket::SendResult(int32_t id, int32_t value, const std::string& text,
                                    int32_t flag) {
    std::lock_guard lock(connection_lock_);
    if (!connection_) {
        return;
    }
    connection_->BeginMessage(kGuiAnswer)
        .WriteInt(id)
        .WriteInt(value)
        .WriteString(text)
        .WriteInt(flag);
    connection_->Flush();
}

int32_t CVesmarinGUISocket::RequestFile(const std::string& path, std::string& text) {
    const int32_t id = requests_.Open();
    {
        std::lock_guard lock(connection_lock_);
        if (connection_) {
            connection_->BeginMessage(kGuiFileRequest).WriteInt(id).WriteString(path);
            connection_->Flush();
        }
    }
    const std::optional<GuiAnswer> answer = requests_.Wait(id, file_request_limit_ms_.load());
    if (!answer) {
        text = "Timeout File Request";
        return 0;
    }
    text = answer->text;
    return answer->value;
}

std::string CVesmarinGUISocket::GetTempFolder() {
    std::lock_guard lock(temp_folder_lock_);
    if (temp_folder_.empty()) {
        temp_folder_ = foundation::CurrentApp().GetTempFolder();
    }
    return temp_folder_;
}

void CVesmarinGUISocket::CheckConnection() {
    std::shared_ptr<net::CClientStreamSocketThread> connection;
    {
        std::lock_guard lock(connection_lock_);
        if (connection_ && requested_) {
            return;
        }
        ShowStatusText(kNotConnectedText);
        connection = connection_;
    }
    // Outside the lock: the reconnect waits for the connection's thread, which tells of the
    // close and may be handling a message that needs the lock.
    if (connection) {
        connection->Reconnect();
    }
}

void CVesmarinGUISocket::OnSocketReceiveInfo(net::CClientStreamSocket* message) {
    std::lock_guard lock(connection_lock_);
    if (!requested_ && connection_) {
        connection_->BeginMessage(kGuiRequestEverything);
        connection_->Flush();
        requested_ = true;
    }
    int32_t id = 0;
    if (!message->ReadInt(id).IsOk()) {
        Log("GUI link: a message without an id is dropped");
        return;
    }
    const auto handler = handlers_.find(id);
    if (handler != handlers_.end()) {
        (this->*handler->second)(*message);
    }
}

void CVesmarinGUISocket::OnSocketClose(const std::string&, unsigned, int, uint64_t) {
    std::lock_guard lock(connection_lock_);
    requested_ = false;
    if (view_ != nullptr) {
        view_->OnVesmarinClearView();
        view_->OnVesmarinStatusText(kNotConnectedText);
    }
}

void CVesmarinGUISocket::OnPortStatus(net::CClientStreamSocket& message) {
    int32_t type = 0;
    int32_t ldev = 0;
    std::string text;
    int32_t value = 0;
    if (!message.ReadInt(type).ReadInt(ldev).ReadString(text).ReadInt(value).IsOk()) {
        Log("GUI link: a port status that does not read is dropped");
        return;
    }
    if (view_ != nullptr) {
        view_->OnVesmarinStatus(type, ldev, text, value);
    }
}

void CVesmarinGUISocket::OnConnectionState(net::CClientStreamSocket& message) {
    int32_t connected = 0;
    int32_t starting = 0;
    if (!message.ReadInt(connected).ReadInt(starting).IsOk()) {
        Log("GUI link: a connection state that does not read is dropped");
        return;
    }
    if (view_ != nullptr) {
        view_->OnVesmarinConnectionState(connected, starting);
    }
}

void CVesmarinGUISocket::OnStatusText(net::CClientStreamSocket& message) {
    std::string text;
    if (!message.ReadString(text).IsOk()) {
        Log("GUI link: a status text that does not read is dropped");
        return;
    }
    ShowStatusText(text);
}

void CVesmarinGUISocket::OnDebugSettings(net::CClientStreamSocket& message) {
    const std::optional<DebugSettings> settings = ReadDebugSettingsValues(message);
    if (!settings) {
        Log("GUI link: debug settings that do not read are dropped");
        return;
    }
    if (auto* app = dynamic_cast<CVesmarinApp*>(&foundation::CurrentApp())) {
        app->StoreServiceDebugSettings(*settings);
    }
}

void CVesmarinGUISocket::OnAnswer(net::CClientStreamSocket& message) {
    if (!requests_.CompleteFrom(message)) {
        Log("GUI link: an answer that does not read is dropped");
    }
}

void CVesmarinGUISocket::OnFileAnswer(net::CClientStreamSocket& message) {
    int32_t id = 0;
    int32_t success = 0;
    std::string text;
    uint32_t length = 0;
    if (!message.ReadInt(id).ReadInt(success).ReadString(text).ReadUInt(length).IsOk()) {
        Log("GUI link: a file answer that does not read is dropped");
        return;
    }
    GuiAnswer answer;
    answer.value = success;
    answer.text = text;
    if (success == 1) {
        // The name alone: whatever the node's path says, the copy stays in the temporary folder.
        const std::string name = LastPart(text);
        if (name.empty() || name == "." || name == "..") {
            Log("GUI link: a file answer without a file name (" + text + ") is dropped");
            answer.value = 0;
            requests_.Complete(id, std::move(answer));
            return;
        }
        const std::filesystem::path local = GetTempFolder() + name;
        // The bytes come whole in the message: the copy is written in one go, and only as a
        // regular file (a FIFO of that name would hold the link's thread).
        std::string content;
        std::vector<uint8_t> block;
        uint32_t left = length;
        while (left > 0) {
            block.resize(std::min(left, kGuiFileChunkBytes));
            if (!message.ReadBytes(block.data(), static_cast<int>(block.size()))) {
                break;
            }
            content.append(reinterpret_cast<const char*>(block.data()), block.size());
            left -= static_cast<uint32_t>(block.size());
        }
        if (left > 0 || platform::WriteRegularFile(local, content) != 0) {
            std::error_code error;
            std::filesystem::remove(local, error);
            answer.value = 0;
            answer.text = "Incomplete file answer (" + text + ")";
            Log("GUI link: " + answer.text);
        } else {
            answer.text = local.string();
        }
    }
    requests_.Complete(id, std::move(answer));
}

void CVesmarinGUISocket::ShowBoxApart(const std::string& text, uint32_t type,
                                      std::function<void(CVesmarinGUISocket&, int)> after) {
    // Not on the connection's thread: it holds the connection lock, which a box that waits for
    // the window's own thread may need.
    std::thread([presence = presence_, text, type, after = std::move(after)] {
        const int choice = platform::ShowMessageBox(text, "Pelwix", type);
        std::lock_guard lock(presence->lock);
        if (presence->socket != nullptr && after) {
            after(*presence->socket, choice);
        }
    }).detach();
}

void CVesmarinGUISocket::OnShowMessageBox(net::CClientStreamSocket& message) {
    int32_t id = 0;
    int32_t applicationThread = 0;
    std::string text;
    uint32_t type = 0;
    uint32_t helpId = 0;
    message.ReadInt(id).ReadInt(applicationThread).ReadString(text).ReadUInt(type).ReadUInt(helpId);
    if (!message.IsOk()) {
        Log("GUI link: a message box that does not read is dropped");
        return;
    }
    if (applicationThread == 1) {
        ShowBoxApart(text, type, [id](CVesmarinGUISocket& socket, int choice) {
            socket.SendResult(id, choice, std::string(), 1);
        });
        return;
    }
    if (!companion_) {
        return;
    }
    auto answer = std::make_shared<std::atomic<uint32_t>>(foundation::kMessageBoxWaiting);
    companion_->AddPendingBox(id, answer);
    foundation::ThreadedMessageBox(0, text, "Pelwix", type, answer);
}

void CVesmarinGUISocket::OnVersion(net::CClientStreamSocket& message) {
    int32_t version = 0;
    if (!message.ReadInt(version).IsOk()) {
        Log("GUI link: a version that does not read is dropped");
        return;
    }
    if (version == kGuiLinkVersion) {
        return;
    }
    ShowBoxApart(kUpgradeText, platform::kMbOk, {});
    if (connection_) {
        connection_->Reconnect();
    }
}

}  // namespace ruzd::app
