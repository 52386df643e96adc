#include "app/gui_link/callback_socket.h"

#include <algorithm>

#include "app/gui_link/debug_settings_values.h"
#include "app/gui_link/file_request.h"
#include "app/gui_link/gui_link_protocol.h"
#include "app/gui_link/window_admission.h"
#include "foundation/debug_channel.h"
#include "foundation/threaded_message_box.h"
#include "net/client_stream_socket.h"
#include "net/connection_limit.h"
#include "net/socket_core/buffer_budget.h"
#include "node/manager_log.h"
#include "platform/message_box.h"
#include "platform/process_identity.h"

namespace ruzd::app {

namespace {

void Log(const std::string& line) {
    node::ManagerLog(foundation::kDebugChannelSocket, foundation::kDebugNone, line);
}

net::ListenerScope GuiListenerScope() {
    net::ListenerScope scope;
    scope.bind_address = ReadGuiBindAddress();
    // Windows are no central servers: the link's own rules decide whom it serves.
    scope.central_servers_only = false;
    const std::shared_ptr<foundation::AddressGate> otherMachines =
        net::ReadCentralServerAddresses("GUI link");
    if (scope.bind_address.rfind("127.", 0) != 0) {
        Log("GUI link: listening on " + scope.bind_address +
            "; windows of other machines are served only from \"Central Server Addresses\"" +
            (otherMachines->AdmitsEveryone() ? ", which is empty: none is" : ""));
    }
    auto admission = std::make_shared<WindowAdmission>(platform::EffectiveUserId(), otherMachines);
    scope.admit = [admission](const platform::TcpEnd& here, const platform::TcpEnd& peer) {
        return admission->Admits(here, peer);
    };
    return scope;
}

}  // namespace

CVesmarinCallbackSocket::CVesmarinCallbackSocket(DebugSettingsAccess settings)
    : settings_(std::move(settings)) {
    handlers_[kGuiRequestEverything] = &CVesmarinCallbackSocket::OnSendAll;
    handlers_[kGuiSetDebugSettings] = &CVesmarinCallbackSocket::OnSetDebugSettings;
    handlers_[kGuiFileRequest] = &CVesmarinCallbackSocket::OnFileRequest;
    handlers_[kGuiAnswer] = &CVesmarinCallbackSocket::OnResult;
}

CVesmarinCallbackSocket::~CVesmarinCallbackSocket() {
    Shut();
    if (auto listener = listener_.Exchange(nullptr)) {
        listener->Stop();
    }
}

void CVesmarinCallbackSocket::Listen() {
    if (Listener()) {
        return;
    }
    const std::optional<uint32_t> port = ReadGuiLinkPort();
    if (!port) {
        // The start refuses such a value (GuiLinkPortProblem); one written meanwhile takes no
        // port rather than another node's.
        return;
    }
    port_.store(*port);
    listener_.Exchange(std::make_shared<net::CServerStreamSocketThread>(
        this, static_cast<int>(port_.load()), net::BufferBudget::Create(kBufferBudgetBytes),
        GuiListenerScope()));
}

void CVesmarinCallbackSocket::Shut() {
    requests_.Shut();
}

bool CVesmarinCallbackSocket::HasWindows() const {
    const auto listener = Listener();
    return listener && listener->HasClients();
}

void CVesmarinCallbackSocket::OnVesmarinStatus(int32_t portType, int32_t ldev,
                                               const std::string& text, int32_t value) {
    {
        std::lock_guard lock(status_lock_);
        auto& ports = statuses_[portType];
        auto [entry, added] = ports.try_emplace(ldev);
        if (added) {
            report_order_.emplace_back(portType, ldev);
        }
        entry->second = {text, value};
    }
    const auto listener = Listener();
    if (!listener) {
        return;
    }
    listener->BeginMessage(kGuiPortStatus)
        .WriteInt(portType)
        .WriteInt(ldev)
        .WriteString(text)
        .WriteInt(value);
    listener->Flush();
}

void CVesmarinCallbackSocket::OnVesmarinConnectionState(int32_t connected, int32_t starting) {
    {
        std::lock_guard lock(status_lock_);
        connected_ = connected;
        starting_ = starting;
    }
    const auto listener = Listener();
    if (!listener) {
        return;
    }
    listener->BeginMessage(kGuiConnectionState).WriteInt(connected).WriteInt(starting);
    listener->Flush();
}

void CVesmarinCallbackSocket::OnVesmarinStatusText(const std::string& text) {
    {
        std::lock_guard lock(status_lock_);
        status_text_ = text;
    }
    const auto listener = Listener();
    if (!listener) {
        return;
    }
    listener->BeginMessage(kGuiStatusText).WriteString(text);
    listener->Flush();
}

void CVesmarinCallbackSocket::OnSocketReceiveInfo(net::CClientStreamSocket* message) {
    int32_t id = 0;
    if (!message->ReadInt(id).IsOk()) {
        Log("GUI link: a message without an id is dropped");
        return;
    }
    const auto handler = handlers_.find(id);
    if (handler == handlers_.end()) {
        return;
    }
    // A window that speaks the link's language keeps its connection however long it then idles.
    message->PeerSocket()->MarkProven();
    (this->*handler->second)(*message);
}

void CVesmarinCallbackSocket::OnSendAll(net::CClientStreamSocket&) {
    const auto listener = Listener();
    if (!listener) {
        return;
    }
    listener->BeginMessage(kGuiVersion).WriteInt(kGuiLinkVersion);
    std::lock_guard lock(status_lock_);
    listener->BeginMessage(kGuiConnectionState).WriteInt(connected_).WriteInt(starting_);
    listener->BeginMessage(kGuiStatusText).WriteString(status_text_);
    listener->BeginMessage(kGuiDebugSettings);
    WriteDebugSettingsValues(*listener, SettingsForWindows());
    for (const auto& [type, ldev] : report_order_) {
        const LastStatus& status = statuses_[type][ldev];
        listener->BeginMessage(kGuiPortStatus)
            .WriteInt(type)
            .WriteInt(ldev)
            .WriteString(status.text)
            .WriteInt(status.value);
    }
    listener->Flush();
}

void CVesmarinCallbackSocket::SendDebugSettings() {
    const auto listener = Listener();
    if (!listener) {
        return;
    }
    listener->BeginMessage(kGuiDebugSettings);
    WriteDebugSettingsValues(*listener, SettingsForWindows());
    listener->Flush();
}

DebugSettings CVesmarinCallbackSocket::SettingsForWindows() const {
    DebugSettings settings = settings_.get();
    settings.directory = FullDebugDirectory(settings.directory);
    return settings;
}

void CVesmarinCallbackSocket::OnSetDebugSettings(net::CClientStreamSocket& message) {
    const std::optional<DebugSettings> wanted = ReadDebugSettingsValues(message);
    if (!wanted || wanted->fileType > 5 || wanted->directory.empty()) {
        Log("GUI link: debug settings that do not read are dropped");
        return;
    }
    DebugSettings settings = settings_.get();
    settings.enabled = wanted->enabled != 0 ? 1 : 0;
    settings.traceLevel = wanted->traceLevel;
    // The folder in force sent back, as the link shows it or by another name, keeps the
    // registry's text.
    if (!NamesDebugDirectory(wanted->directory, settings.directory)) {
        settings.directory = wanted->directory;
        if (settings.directory.back() != '\\' && settings.directory.back() != '/') {
            settings.directory += '\\';
        }
    }
    settings.maxFilesToKeep = wanted->maxFilesToKeep;
    settings.fileType = wanted->fileType;
    settings_.set(settings);
    SendDebugSettings();
}

void CVesmarinCallbackSocket::OnFileRequest(net::CClientStreamSocket& message) {
    int32_t requestId = 0;
    std::string path;
    if (!message.ReadInt(requestId).ReadString(path).IsOk()) {
        Log("GUI link: a file request that does not read is dropped");
        return;
    }
    const FileAnswer answer = ServeFileRequest(path, settings_.get().directory);
    message.BeginMessage(kGuiFileAnswer)
        .WriteInt(requestId)
        .WriteInt(answer.success ? 1 : 0)
        .WriteString(answer.text)
        .WriteUInt(static_cast<uint32_t>(answer.contents.size()));
    for (size_t at = 0; at < answer.contents.size(); at += kGuiFileChunkBytes) {
        const size_t chunk = std::min<size_t>(kGuiFileChunkBytes, answer.contents.size() - at);
        message.WriteBytes(answer.contents.data() + at, static_cast<int>(chunk));
    }
    message.Flush();
}

void CVesmarinCallbackSocket::OnResult(net::CClientStreamSocket& message) {
    if (!requests_.CompleteFrom(message)) {
        Log("GUI link: an answer that does not read is dropped");
    }
}

int32_t CVesmarinCallbackSocket::ShowMessageBox(bool applicationThread, const std::string& text,
                                                uint32_t type, uint32_t helpId) {
    if (!HasWindows()) {
        return platform::DefaultButtonAnswer(type);
    }
    const auto listener = Listener();
    if (!listener) {
        return platform::DefaultButtonAnswer(type);
    }
    const int32_t requestId = requests_.Open();
    listener->BeginMessage(kGuiShowMessageBox)
        .WriteInt(requestId)
        .WriteInt(applicationThread ? 1 : 0)
        .WriteString(text)
        .WriteUInt(type)
        .WriteUInt(helpId);
    listener->Flush();
    const std::optional<GuiAnswer> answer = requests_.Wait(requestId, message_box_limit_ms_.load());
    if (!answer) {
        Log("GUI link: no window answered the message box " + std::to_string(requestId));
        return static_cast<int32_t>(foundation::kMessageBoxTimedOut);
    }
    return answer->value;
}

}  // namespace ruzd::app
