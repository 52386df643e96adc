#include "net/async_socket_ex.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <utility>

#include "foundation/static_tools.h"
#include "foundation/time_tools.h"
#include "net/peer_time.h"
#include "net/rc4_cipher.h"
#include "net/station_name.h"
#include "net/text_line.h"
#include "net/text_parameter.h"
#include "platform/clock.h"
#include "platform/text.h"
#include "platform/wsa_error.h"

namespace ruzd::net {

using foundation::CStaticTools;

// What the handshake needs from its socket.
class CAsyncSocketEx::HandshakeLink : public TextHandshake::Link {
public:
    explicit HandshakeLink(CAsyncSocketEx& socket) : socket_(socket) {}

    void SendLine(const std::string& line) override { socket_.SendText(line); }
    bool Encryption() const override { return socket_.transform_.Encryption(); }
    bool Compression() const override { return socket_.transform_.Compression(); }
    void ApplySettings(bool encrypt, bool compress) override {
        platform::CriticalSectionLock guard(socket_.send_lock_);
        socket_.transform_.SetEncryption(encrypt);
        socket_.transform_.SetCompression(compress);
    }
    void OfferedSettings(bool& encrypt, bool& compress) override {
        socket_.GetDefaultConnectionProperties(encrypt, compress);
    }
    std::string OwnTimeText() override {
        return FormatIsoLocalTime(platform::CurrentClock().Now(),
                                  CStaticTools::GetLocalUtcOffsetMinutes());
    }
    std::optional<std::string> OwnStationName() override { return GetStationName(); }
    std::string ClockSyncText() override { return foundation::TimeTools::GetLocalIsoTimestamp(); }
    platform::WallTime Now() override { return platform::CurrentClock().Now(); }

private:
    CAsyncSocketEx& socket_;
};

CAsyncSocketEx::CAsyncSocketEx(const std::shared_ptr<SocketReactor>& reactor,
                               bool encryptionConfigured, bool compressionConfigured)
    : AsyncSocket(reactor),
      encryption_configured_(encryptionConfigured),
      compression_configured_(compressionConfigured),
      line_(kInitialLineCapacity),
      compressed_(kInitialCompressedCapacity) {
    BuildStreams();
    ResetConnectionState();
}

CAsyncSocketEx::~CAsyncSocketEx() {
    EmptySendQueue();
    ReleaseStreams();
}

void CAsyncSocketEx::BuildStreams() {
    platform::CriticalSectionLock guard(send_lock_);
    transform_.InitCrypto(kFileSocketPassword);
    transform_.InitCompression(-1);
}

void CAsyncSocketEx::ReleaseStreams() {
    platform::CriticalSectionLock guard(send_lock_);
    transform_.ReleaseCrypto();
    transform_.EndCompression();
}

void CAsyncSocketEx::EmptySendQueue() {
    platform::CriticalSectionLock guard(send_lock_);
    send_queue_.clear();
    queued_bytes_ = 0;
    AccountQueueLocked(false);
    SetWantWrite(false);
}

void CAsyncSocketEx::SetAuthorised(bool authorised) {
    authorised_.store(authorised);
    TrustChanged();
}

void CAsyncSocketEx::TrustChanged() {
    if (buffer_account_) {
        buffer_account_->SetCounted(!IsTrusted());
    }
}

void CAsyncSocketEx::AccountQueueLocked(bool grew) {
    if (buffer_account_ && !buffer_account_->Hold(BufferAccount::kQueued, queued_bytes_) && grew) {
        EndOverBudget();
    }
}

void CAsyncSocketEx::AccountReceived() {
    const size_t kept = line_.Size() + (block_.discard ? 0 : block_.data.size());
    if (buffer_account_ && !buffer_account_->Hold(BufferAccount::kReceived, kept) &&
        !over_budget_.exchange(true)) {
        EmptySendQueue();
        EndConnection(OverBudgetReason());
    }
}

void CAsyncSocketEx::EndOverBudget() {
    if (over_budget_.exchange(true)) {
        return;
    }
    EmptySendQueue();
    // Ended on the socket's thread, never in the middle of a send or of a command.
    if (const std::shared_ptr<SocketReactor> reactor = Reactor()) {
        reactor->Post([weak = weak_from_this()] {
            const auto self = std::static_pointer_cast<CAsyncSocketEx>(weak.lock());
            if (self && self->IsOpen()) {
                self->EndConnection(self->OverBudgetReason());
            }
        });
    }
}

std::string CAsyncSocketEx::OverBudgetReason() const {
    return buffer_account_->OverLimitReason();
}

bool CAsyncSocketEx::CreateSocket(uint16_t port, const std::string& address) {
    {
        platform::CriticalSectionLock guard(commands_lock_);
        if (commands_.empty()) {
            RegisterCommands();
        }
    }
    EmptySendQueue();
    ResetConnectionState();
    return Create(port, address);
}

void CAsyncSocketEx::RegisterCommand(const std::string& word, CSocketCommand command) {
    platform::CriticalSectionLock guard(commands_lock_);
    commands_.insert_or_assign(word, std::move(command));
}

void CAsyncSocketEx::RegisterCommands() {
    RegisterCommand(
        "CURTIM",
        CSocketCommand(ParametersHandler([this](const SocketParameters& p) { SocketCmdCURTIM(p); }),
                       false, kExactlyOneOfCounts, {1}));
    RegisterCommand(
        "CNPROP",
        CSocketCommand(ParametersHandler([this](const SocketParameters& p) { SocketCmdCNPROP(p); }),
                       false, kAnyCount));
    RegisterCommand(
        "TTSYNC",
        CSocketCommand(ParametersHandler([this](const SocketParameters& p) { SocketCmdTTSYNC(p); }),
                       false, kExactlyOneOfCounts, {0, 1}));
    RegisterCommand(
        "HEARTB",
        CSocketCommand(ParametersHandler([this](const SocketParameters& p) { SocketCmdHEARTB(p); }),
                       false, kAtLeastFirstCount, {1}));
}

void CAsyncSocketEx::ResetConnectionState() {
    DropReceivedText();
    inflating_ = false;
    refused_lines_ = 0;
    SetAuthorised(false);
    over_budget_.store(false);
    if (auto_detect_) {
        detected_ = false;
        wide_ = true;
        char_size_ = 2;
    }
    handshake_.Reset();
    {
        platform::CriticalSectionLock guard(send_lock_);
        transform_.SetEncryption(encryption_configured_);
        transform_.SetCompression(compression_configured_);
    }
    DropPendingBlock();
}

void CAsyncSocketEx::SetTextMode(bool autoDetect, bool wide) {
    auto_detect_ = autoDetect;
    detected_ = !autoDetect;
    wide_ = wide;
    char_size_ = wide ? 2 : 1;
}

void CAsyncSocketEx::GetDefaultConnectionProperties(bool& encrypt, bool& compress) {
    encrypt = true;
    compress = false;
}

bool CAsyncSocketEx::IsEncrypted() const {
    return transform_.Encryption();
}

bool CAsyncSocketEx::IsCompressed() const {
    return transform_.Compression();
}

// ---- Sending ----

bool CAsyncSocketEx::SendText(const std::string& text) {
    const std::string bytes = EncodeLineText(text, wide_);
    return SendRaw(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

bool CAsyncSocketEx::SendFormatted(const char* format, ...) {
    va_list args;
    va_start(args, format);
    const bool sent = SendFormattedV(format, args);
    va_end(args);
    return sent;
}

bool CAsyncSocketEx::SendFormattedV(const char* format, va_list args) {
    return SendText(platform::FormatV(format, args));
}

bool CAsyncSocketEx::SendRaw(const uint8_t* data, size_t length) {
    if (data == nullptr) {
        return false;
    }
    platform::CriticalSectionLock guard(send_lock_);
    if (!IsConnected() || over_budget_.load()) {
        return false;
    }
    std::vector<uint8_t> wire;
    wire.reserve(length + 64);
    if (!transform_.Encode(data, length, wire)) {
        return false;
    }
    if (!send_queue_.empty()) {
        queued_bytes_ += wire.size();
        send_queue_.push_back(CSocketSendBuffer{std::move(wire), 0});
        FlushSendQueue();
        AccountQueueLocked(true);
        return true;
    }
    const int sent = Send(wire.data(), wire.size());
    if (sent >= 0 && static_cast<size_t>(sent) == wire.size()) {
        return true;
    }
    const size_t taken = sent > 0 ? static_cast<size_t>(sent) : 0;
    queued_bytes_ += wire.size() - taken;
    send_queue_.push_back(CSocketSendBuffer{std::move(wire), taken});
    SetWantWrite(true);
    AccountQueueLocked(true);
    return true;
}

void CAsyncSocketEx::FlushSendQueue() {
    platform::CriticalSectionLock guard(send_lock_);
    while (!send_queue_.empty()) {
        CSocketSendBuffer& head = send_queue_.front();
        const size_t left = head.data.size() - head.sent;
        const int sent = Send(head.data.data() + head.sent, left);
        if (sent >= 0 && static_cast<size_t>(sent) == left) {
            queued_bytes_ -= left;
            send_queue_.pop_front();
            continue;
        }
        if (sent > 0) {
            head.sent += static_cast<size_t>(sent);
            queued_bytes_ -= static_cast<size_t>(sent);
        }
        break;
    }
    SetWantWrite(!send_queue_.empty());
    AccountQueueLocked(false);
}

size_t CAsyncSocketEx::QueuedBytes() const {
    platform::CriticalSectionLock guard(send_lock_);
    return queued_bytes_;
}

void CAsyncSocketEx::SendHeartbeat(const std::string& text, bool isRequest) {
    const std::string stamp =
        text.empty() ? FormatHeartbeatStamp(ToFileTime(platform::CurrentClock().Now())) : text;
    // The stamp is the peer's text when echoed: sent as one parameter, so that it can never
    // end the line early and smuggle a command of its own into the reply.
    SendFormatted("HEARTB %d %s\r", isRequest ? 1 : 0, EncodeParameter(stamp).c_str());
}

std::string CAsyncSocketEx::Describe(int /*direction*/) {
    return {};
}

void CAsyncSocketEx::OnSend(int error) {
    FlushSendQueue();
    AsyncSocket::OnSend(error);
}

void CAsyncSocketEx::OnPeerTime(const std::string& text) {
    foundation::TimeTools::ApplyServerTime(text);
}

// ---- Built-in commands ----

void CAsyncSocketEx::SocketCmdCURTIM(const SocketParameters& parameters) {
    HandshakeLink link(*this);
    handshake_.RecordPeerTime(parameters[0], link);
}

void CAsyncSocketEx::SocketCmdCNPROP(const SocketParameters& parameters) {
    HandshakeLink link(*this);
    handshake_.OnCnprop(parameters, link);
}

void CAsyncSocketEx::SocketCmdTTSYNC(const SocketParameters& parameters) {
    if (parameters.empty()) {
        SendFormatted("TTSYNC %s\r", foundation::TimeTools::GetLocalIsoTimestamp().c_str());
        return;
    }
    OnPeerTime(parameters[0]);
}

void CAsyncSocketEx::SocketCmdHEARTB(const SocketParameters& parameters) {
    const bool request = CStaticTools::StrToBool(parameters[0]);
    // A heartbeat without its time stamp is taken as one with an empty stamp.
    const std::string stamp = parameters.size() >= 2 ? parameters[1] : std::string();
    if (request) {
        SendHeartbeat(stamp, false);
        return;
    }
    // The stamp is ours only if the peer echoes it faithfully: one from the future, or from
    // before any round trip could fit in 64 bits, measures nothing.
    const std::optional<uint64_t> sent = ParseHeartbeatStamp(stamp);
    const uint64_t now = ToFileTime(platform::CurrentClock().Now());
    if (sent && *sent <= now) {
        const uint64_t milliseconds = (now - *sent) / 10000;
        OnHeartbeatRoundTrip(static_cast<int64_t>(
            std::min<uint64_t>(milliseconds, std::numeric_limits<int64_t>::max())));
    }
}

// ---- Connections ----

void CAsyncSocketEx::RunHandshake(uint64_t windowMs) {
    const uint64_t start = platform::CurrentClock().TickMs();
    while (handshake_.State() != kHandshakeDone) {
        const int result = ProcessReceivedData(0);
        if (result == 0 || handshake_.State() == kHandshakeDone) {
            break;
        }
        const uint64_t elapsed = platform::CurrentClock().TickMs() - start;
        if (elapsed >= windowMs) {
            break;
        }
        if (result < 0) {
            WaitReadable(
                static_cast<int>(std::min<uint64_t>(kHandshakePollMs, windowMs - elapsed)));
        }
    }
}

void CAsyncSocketEx::OnConnect(int error) {
    if (error == 0) {
        SetTextMode(true, wide_);
        BuildStreams();
        HandshakeLink link(*this);
        handshake_.BeginConnecting(link);
        RunHandshake(kConnectingHandshakeMs);
        handshake_.Finish(link);
    }
    AsyncSocket::OnConnect(error);
}

bool CAsyncSocketEx::Accept(CAsyncSocketEx& newSocket, sockaddr_in* peer) {
    {
        platform::CriticalSectionLock guard(newSocket.commands_lock_);
        if (newSocket.commands_.empty()) {
            newSocket.RegisterCommands();
        }
    }
    HandshakeLink link(newSocket);
    newSocket.handshake_.BeginAccepting(link);
    if (!AsyncSocket::Accept(newSocket, peer)) {
        newSocket.handshake_.Reset();
        return false;
    }
    newSocket.LimitAcceptingHandshake();
    return true;
}

void CAsyncSocketEx::LimitAcceptingHandshake() {
    const std::shared_ptr<SocketReactor> reactor = Reactor();
    if (!reactor) {
        return;
    }
    reactor->PostAfter(kAcceptingHandshakeMs, [weak = weak_from_this()] {
        const auto self = std::static_pointer_cast<CAsyncSocketEx>(weak.lock());
        if (!self || !self->IsOpen()) {
            return;
        }
        HandshakeLink link(*self);
        const bool completed = self->handshake_.Finish(link);
        if (!completed) {
            self->DropReceivedText();
        }
        self->OnAcceptingHandshakeOver(completed);
    });
}

void CAsyncSocketEx::OnClose(int error) {
    // What the peer was sending will not come whole any more.
    DropPendingBlock();
    inflating_ = false;
    lines_waiting_ = false;
    SetAuthorised(false);
    handshake_.Reset();
    {
        platform::CriticalSectionLock guard(send_lock_);
        transform_.ResetCounters();
        send_queue_.clear();
        queued_bytes_ = 0;
        AccountQueueLocked(false);
        ReleaseStreams();
    }
    if (buffer_account_) {
        buffer_account_->Hold(BufferAccount::kReceived, 0);
    }
    Close();
    AsyncSocket::OnClose(error);
}

void CAsyncSocketEx::CloseFromAnyThread() {
    const std::shared_ptr<SocketReactor> reactor = Reactor();
    if (reactor && !reactor->IsLoopThread()) {
        std::weak_ptr<AsyncSocket> weak = weak_from_this();
        reactor->Post([weak] {
            if (const auto self = std::static_pointer_cast<CAsyncSocketEx>(weak.lock())) {
                if (self->IsOpen()) {
                    self->Close();
                    self->OnClose(0);
                }
            }
        });
        return;
    }
    if (IsOpen()) {
        Close();
        OnClose(0);
    }
}

// ---- Statistics and descriptions ----

uint64_t CAsyncSocketEx::GetSentBytes(bool onWire) const {
    return transform_.SentBytes(onWire);
}

uint64_t CAsyncSocketEx::GetReceivedBytes(bool onWire) const {
    return transform_.ReceivedBytes(onWire);
}

double CAsyncSocketEx::GetSendCompressionRatio() const {
    return transform_.SendCompressionRatio();
}

double CAsyncSocketEx::GetReceiveCompressionRatio() const {
    return transform_.ReceiveCompressionRatio();
}

std::string CAsyncSocketEx::GetLocalAddressText() const {
    std::string address;
    unsigned port = 0;
    return GetSockName(address, port) ? platform::Format("%s:%u", address.c_str(), port)
                                      : std::string();
}

std::string CAsyncSocketEx::GetPeerAddressText() const {
    std::string address;
    unsigned port = 0;
    return GetPeerName(address, port) ? platform::Format("%s:%u", address.c_str(), port)
                                      : std::string();
}

std::string CAsyncSocketEx::GetConnectionText() const {
    return platform::Format("%s (%s) <-> %s (%s)", GetLocalAddressText().c_str(), "",
                            GetPeerAddressText().c_str(), "");
}

}  // namespace ruzd::net
