#include "net/orvanthella_file_socket_thread.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

#include "foundation/registry.h"
#include "foundation/static_tools.h"
#include "foundation/time_tools.h"
#include "foundation/trace.h"
#include "net/cache_path.h"
#include "net/connection_limit.h"
#include "net/text_parameter.h"
#include "platform/owned_fd.h"
#include "platform/regular_file.h"
#include "platform/text.h"
#include "platform/win_error.h"
#include "platform/win_path.h"

namespace ruzd::net {

using foundation::CStaticTools;
using foundation::Trace;

COrvanthellaFileSocketThread::COrvanthellaFileSocketThread(FileCacheOwner* owner, int32_t port,
                                                           SocketFactory factory,
                                                           std::shared_ptr<BufferBudget> budget)
    : owner_(owner),
      port_(port),
      factory_(std::move(factory)),
      budget_(budget ? std::move(budget) : CreateNodeBufferBudget()),
      max_connections_(ReadMaxConnections()),
      loop_("File Socket") {
    SocketThreadLoop::Steps steps;
    // Listening is part of the start, so that the listener accepts once the constructor
    // returns; a listener that could not open ends the thread right after.
    steps.create = [this] {
        listening_ = InitInstance();
        return true;
    };
    steps.open = [this] {
        if (!listening_) {
            loop_.Stop();
        }
    };
    steps.close = [this] { ExitInstance(); };
    loop_.Start(std::move(steps), nullptr);
}

COrvanthellaFileSocketThread::~COrvanthellaFileSocketThread() {
    Stop();
}

void COrvanthellaFileSocketThread::Stop() {
    loop_.Stop();
}

int32_t COrvanthellaFileSocketThread::ReadListenerPort() {
    foundation::CRegistry registry("Pelwix");
    uint32_t port = 0;
    if (!registry.ReadDword("Local File Socket TCP port", &port)) {
        port = kDefaultPort;
        registry.WriteDword("Local File Socket TCP port", port);
    }
    return static_cast<int32_t>(port);
}

std::shared_ptr<COrvanthellaFileSocket> COrvanthellaFileSocketThread::MakeSocket() {
    std::shared_ptr<COrvanthellaFileSocket> socket =
        factory_ ? factory_(loop_.reactor(), this)
                 : std::make_shared<COrvanthellaFileSocket>(loop_.reactor(), this);
    if (socket) {
        socket->SetBufferAccount(budget_->Open());
    }
    return socket;
}

bool COrvanthellaFileSocketThread::InitInstance() {
    EmptyIncomingFolder();
    bool listening = false;
    {
        std::lock_guard<std::mutex> guard(listener_lock_);
        listener_ = MakeSocket();
        listener_->SetAccessGate(ReadCentralServerAddresses("File port"), "File port");
        listening = port_ > 0 && port_ <= 65535 &&
                    listener_->CreateSocket(static_cast<uint16_t>(port_)) &&
                    listener_->Listen(kListenBacklog);
    }
    if (!listening) {
        Trace(0, 0, "Could not open socket port %ld for File Socket Listener",
              static_cast<long>(port_));
    }
    return listening;
}

// What a transfer cut short left behind (the node ended while it was written) is never renamed
// into the cache: it goes before any new transfer starts.
void COrvanthellaFileSocketThread::EmptyIncomingFolder() {
    const std::filesystem::path folder = platform::MapWindowsPath(kFileCacheIncomingFolder);
    std::error_code error;
    if (folder.empty() || !std::filesystem::is_directory(folder, error)) {
        return;
    }
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        std::error_code ignored;
        std::filesystem::remove_all(entry.path(), ignored);
    }
}

void COrvanthellaFileSocketThread::ExitInstance() {
    {
        std::lock_guard<std::mutex> guard(listener_lock_);
        if (listener_) {
            listener_->DetachFromThread();
            listener_->Close();
        }
    }
    std::map<const COrvanthellaFileSocket*, std::shared_ptr<COrvanthellaFileSocket>> sockets;
    {
        std::lock_guard<std::mutex> guard(sockets_lock_);
        sockets.swap(sockets_);
    }
    for (const auto& [key, socket] : sockets) {
        if (socket->IsOpen()) {
            socket->CloseFromAnyThread();
        }
        socket->DetachFromThread();
    }
}

void COrvanthellaFileSocketThread::AddSocket(
    const std::shared_ptr<COrvanthellaFileSocket>& socket) {
    size_t held = 0;
    std::shared_ptr<COrvanthellaFileSocket> leaving;
    bool taken = false;
    {
        std::lock_guard<std::mutex> guard(sockets_lock_);
        held = sockets_.size();
        if (held >= max_connections_ && (leaving = OldestToMakeRoomLocked())) {
            sockets_.erase(leaving.get());
        }
        if (held < max_connections_ || leaving) {
            socket->SetSerial(++last_serial_);
            sockets_[socket.get()] = socket;
            taken = true;
        }
    }
    if (taken && !leaving) {
        over_limit_logged_ = false;
    }
    if (leaving) {
        // One line while the limit holds: a peer that opens connections without end must not
        // write a line for each.
        if (!over_limit_logged_) {
            over_limit_logged_ = true;
            Trace(0, 0,
                  "File Socket connection from %s closed to make room: %zu connections held "
                  "already",
                  leaving->GetPeerAddressText().c_str(), held);
        }
        leaving->CloseFromAnyThread();
    }
    if (taken) {
        return;
    }
    if (!over_limit_logged_) {
        over_limit_logged_ = true;
        Trace(0, 0, "File Socket connection from %s turned away: %zu connections held already",
              socket->GetPeerAddressText().c_str(), held);
    }
    socket->Close();
    socket->DetachFromThread();
}

std::shared_ptr<COrvanthellaFileSocket> COrvanthellaFileSocketThread::OldestToMakeRoomLocked()
    const {
    const std::shared_ptr<COrvanthellaFileSocket> central = CentralSocketLocked();
    // In the order they go: strangers that are not authorised, then those from the central
    // server's address (its own new connection among them, which a flood from elsewhere must
    // not push out), then authorised ones, those from the central server's address last.
    std::shared_ptr<COrvanthellaFileSocket> oldest[4];
    for (const auto& [key, socket] : sockets_) {
        if (socket == central) {
            continue;
        }
        std::string address;
        unsigned port = 0;
        const bool fromCentral = !central_address_.empty() && socket->GetPeerName(address, port) &&
                                 address == central_address_;
        std::shared_ptr<COrvanthellaFileSocket>& kind =
            oldest[(socket->IsAuthorised() ? 2 : 0) + (fromCentral ? 1 : 0)];
        if (!kind || socket->Serial() < kind->Serial()) {
            kind = socket;
        }
    }
    for (const std::shared_ptr<COrvanthellaFileSocket>& candidate : oldest) {
        if (candidate) {
            return candidate;
        }
    }
    return nullptr;
}

void COrvanthellaFileSocketThread::HandshakeDone(
    const std::shared_ptr<COrvanthellaFileSocket>& socket) {
    WatchIdleUnauthorised(socket, socket->GetReceivedBytes(true));
}

void COrvanthellaFileSocketThread::WatchIdleUnauthorised(
    std::weak_ptr<COrvanthellaFileSocket> socket, uint64_t received) {
    loop_.reactor()->PostAfter(kUnauthorisedIdleMs, [this, socket = std::move(socket), received] {
        const std::shared_ptr<COrvanthellaFileSocket> held = socket.lock();
        if (!held || !held->IsOpen() || held->IsAuthorised()) {
            return;
        }
        const uint64_t now_received = held->GetReceivedBytes(true);
        if (now_received != received) {
            WatchIdleUnauthorised(held, now_received);
            return;
        }
        std::string address;
        unsigned port = 0;
        held->GetPeerName(address, port);
        Trace(0, 0, "File Socket connection from %s:%u closed: not authorised and idle for %llu ms",
              address.c_str(), port, static_cast<unsigned long long>(kUnauthorisedIdleMs));
        held->CloseFromAnyThread();
    });
}

void COrvanthellaFileSocketThread::NoteAuthorised(
    const std::shared_ptr<COrvanthellaFileSocket>& socket) {
    bool bound = false;
    {
        std::lock_guard<std::mutex> guard(sockets_lock_);
        // A second STARTS on an authorised connection is no new authorisation: it keeps its place.
        const uint64_t order = socket->AuthorisationOrder();
        socket->Authorise(order != 0 ? order : ++last_authorisation_);
        if (central_serial_ == 0 && IsAuthorisedFromCentralLocked(*socket) &&
            sockets_.count(socket.get()) != 0) {
            BindLocked(socket->Serial());
            bound = true;
        }
    }
    if (bound) {
        Trace(0, 0, "File Socket connection with %s is the central server's now",
              socket->GetPeerAddressText().c_str());
    }
    // A clock sent before the authorisation counts once this is the central server's.
    ApplyCentralClock();
}

void COrvanthellaFileSocketThread::RemoveSocket(const COrvanthellaFileSocket* socket) {
    std::shared_ptr<COrvanthellaFileSocket> removed;
    bool wasCentral = false;
    {
        std::lock_guard<std::mutex> guard(sockets_lock_);
        const auto found = sockets_.find(socket);
        if (found != sockets_.end()) {
            removed = std::move(found->second);
            sockets_.erase(found);
            // Its place goes to the next connection from the central server's address to be
            // authorised, never to one authorised already: that one came while the central
            // server had its own connection.
            if (central_serial_ != 0 && removed->Serial() == central_serial_) {
                removed->SetCentralBound(false);
                central_serial_ = 0;
                wasCentral = true;
            }
        }
    }
    // `removed` may be the last reference; it goes outside the lock.
    if (wasCentral) {
        Trace(0, 0, "File Socket connection of the central server closed");
    }
}

bool COrvanthellaFileSocketThread::HasActiveCentral() const {
    std::lock_guard<std::mutex> guard(sockets_lock_);
    return !central_address_.empty();
}

bool COrvanthellaFileSocketThread::IsCentralAddress(const std::string& address) const {
    std::lock_guard<std::mutex> guard(sockets_lock_);
    return !central_address_.empty() && central_address_ == address;
}

size_t COrvanthellaFileSocketThread::SocketCount() const {
    std::lock_guard<std::mutex> guard(sockets_lock_);
    return static_cast<size_t>(
        std::count_if(sockets_.begin(), sockets_.end(),
                      [](const auto& held) { return held.second->IsEstablished(); }));
}

std::shared_ptr<COrvanthellaFileSocket> COrvanthellaFileSocketThread::FirstAuthorisedSocket()
    const {
    std::lock_guard<std::mutex> guard(sockets_lock_);
    for (const auto& [key, socket] : sockets_) {
        if (socket->IsAuthorised()) {
            return socket;
        }
    }
    return nullptr;
}

bool COrvanthellaFileSocketThread::HasAuthorisedSocket() const {
    return FirstAuthorisedSocket() != nullptr;
}

bool COrvanthellaFileSocketThread::HasAuthorisedSocketFrom(const std::string& address) const {
    std::lock_guard<std::mutex> guard(sockets_lock_);
    for (const auto& [key, socket] : sockets_) {
        std::string peer;
        unsigned port = 0;
        if (socket->IsAuthorised() && socket->GetPeerName(peer, port) && peer == address) {
            return true;
        }
    }
    return false;
}

void COrvanthellaFileSocketThread::SetCentralAddress(const std::string& address) {
    std::shared_ptr<COrvanthellaFileSocket> bound;
    {
        std::lock_guard<std::mutex> guard(sockets_lock_);
        central_address_ = address;
        BindCentralSocketLocked();
        bound = CentralSocketLocked();
    }
    if (bound) {
        Trace(0, 0, "File Socket connection with %s is the central server's now",
              bound->GetPeerAddressText().c_str());
    }
    ApplyCentralClock();
}

bool COrvanthellaFileSocketThread::IsAuthorisedFromCentralLocked(
    const COrvanthellaFileSocket& socket) const {
    std::string peer;
    unsigned port = 0;
    return !central_address_.empty() && socket.IsAuthorised() && socket.GetPeerName(peer, port) &&
           peer == central_address_;
}

void COrvanthellaFileSocketThread::BindCentralSocketLocked() {
    // The central server authorises its connection right before its CNINIT: a connection from
    // its machine authorised earlier is an older one of its own, or someone else's.
    uint64_t serial = 0;
    uint64_t latest = 0;
    for (const auto& [key, socket] : sockets_) {
        if (IsAuthorisedFromCentralLocked(*socket) && socket->AuthorisationOrder() > latest) {
            latest = socket->AuthorisationOrder();
            serial = socket->Serial();
        }
    }
    BindLocked(serial);
}

void COrvanthellaFileSocketThread::BindLocked(uint64_t serial) {
    central_serial_ = serial;
    for (const auto& [key, socket] : sockets_) {
        socket->SetCentralBound(serial != 0 && socket->Serial() == serial);
    }
}

std::shared_ptr<COrvanthellaFileSocket> COrvanthellaFileSocketThread::CentralSocket() const {
    std::lock_guard<std::mutex> guard(sockets_lock_);
    return CentralSocketLocked();
}

std::shared_ptr<COrvanthellaFileSocket> COrvanthellaFileSocketThread::CentralSocketLocked() const {
    if (central_serial_ == 0) {
        return nullptr;
    }
    for (const auto& [key, socket] : sockets_) {
        if (socket->Serial() == central_serial_) {
            return socket->IsAuthorised() ? socket : nullptr;
        }
    }
    return nullptr;
}

bool COrvanthellaFileSocketThread::HasCentralSocket() const {
    return CentralSocket() != nullptr;
}

bool COrvanthellaFileSocketThread::MayChangeTheCache(const COrvanthellaFileSocket& socket) const {
    {
        std::lock_guard<std::mutex> guard(sockets_lock_);
        if (central_address_.empty()) {
            return true;
        }
    }
    return CentralSocket().get() == &socket;
}

void COrvanthellaFileSocketThread::ApplyCentralClock() {
    std::shared_ptr<COrvanthellaFileSocket> central;
    std::vector<std::shared_ptr<COrvanthellaFileSocket>> others;
    {
        std::lock_guard<std::mutex> guard(sockets_lock_);
        if (central_address_.empty()) {
            // Kept: before CNINIT any authorised connection may turn out to be the central
            // server's.
            return;
        }
        central = CentralSocketLocked();
        for (const auto& [key, socket] : sockets_) {
            if (socket != central && socket->IsAuthorised()) {
                others.push_back(socket);
            }
        }
    }
    // Their clocks came while they were not the central server's connection: they count for
    // nothing, whatever becomes of the connection.
    for (const auto& socket : others) {
        socket->TakePendingClockShift();
    }
    if (!central) {
        return;
    }
    if (const std::optional<int32_t> shift = central->TakePendingClockShift()) {
        foundation::TimeTools::ApplyServerTimeShift(*shift);
    }
}

void COrvanthellaFileSocketThread::LogStatistics() const {
    std::vector<std::shared_ptr<COrvanthellaFileSocket>> authorised;
    {
        std::lock_guard<std::mutex> guard(sockets_lock_);
        for (const auto& [key, socket] : sockets_) {
            if (socket->IsAuthorised()) {
                authorised.push_back(socket);
            }
        }
    }
    for (const auto& socket : authorised) {
        Trace(0, 0,
              "File Socket - Received (uncompressed): %s, Received (compressed): %s, "
              "Compression ratio: %ld:1",
              CStaticTools::FormatByteSize64(socket->GetReceivedBytes(false)).c_str(),
              CStaticTools::FormatByteSize64(socket->GetReceivedBytes(true)).c_str(),
              static_cast<long>(socket->GetReceiveCompressionRatio()));
        Trace(0, 0,
              "File Socket - Sent (uncompressed): %s, Sent (compressed): %s, "
              "Compression ratio: %ld:1",
              CStaticTools::FormatByteSize64(socket->GetSentBytes(false)).c_str(),
              CStaticTools::FormatByteSize64(socket->GetSentBytes(true)).c_str(),
              static_cast<long>(socket->GetSendCompressionRatio()));
    }
}

int COrvanthellaFileSocketThread::ListenerLastError() const {
    std::lock_guard<std::mutex> guard(listener_lock_);
    return listener_ ? listener_->LastError() : -1;
}

std::string COrvanthellaFileSocketThread::ListenerAddressText() const {
    std::lock_guard<std::mutex> guard(listener_lock_);
    return listener_ ? listener_->GetLocalAddressText() : std::string();
}

bool COrvanthellaFileSocketThread::RequestFile(const std::string& sourceName,
                                               std::string& localPath,
                                               std::optional<ExpectedFile> expected) {
    const std::shared_ptr<COrvanthellaFileSocket> socket = CentralSocket();
    if (!socket) {
        localPath = platform::Format("No Connected File Socket found (%s)", sourceName.c_str());
        return false;
    }
    const int32_t id = requests_.NewRequestId(socket->Serial(), localPath, expected);
    socket->SendFormatted("REQFIL %ld %s %s\r", static_cast<long>(id),
                          EncodeParameter(sourceName).c_str(), EncodeParameter(localPath).c_str());
    CSocketResult answer;
    if (requests_.WaitForResult(id, answer, request_timeout_seconds_.load())) {
        localPath = answer.text;
        return answer.success;
    }
    localPath = "Timeout File Request";
    return false;
}

namespace {

// One upload on its connection: every other message waits until the upload's end.
class UploadScope {
public:
    explicit UploadScope(COrvanthellaFileSocket& socket)
        : socket_(socket), exclusive_(socket.UploadLock()) {
        socket_.BeginUpload();
    }
    ~UploadScope() { socket_.EndUpload(); }
    UploadScope(const UploadScope&) = delete;
    UploadScope& operator=(const UploadScope&) = delete;

private:
    COrvanthellaFileSocket& socket_;
    std::lock_guard<std::mutex> exclusive_;
};

}  // namespace

COrvanthellaFileSocketThread::UploadStream COrvanthellaFileSocketThread::StreamUpload(
    COrvanthellaFileSocket& socket, const std::string& line, int fd, uint64_t size,
    std::vector<uint8_t>& buffer, uint32_t& read_error) {
    UploadScope upload(socket);
    if (!socket.SendUploadText(line)) {
        return UploadStream::kNotTaken;
    }
    for (uint64_t sent = 0; sent < size;) {
        if (!socket.WaitForSendRoom(kUploadWindowBytes, request_timeout_seconds_.load())) {
            return UploadStream::kNotTaken;
        }
        const size_t wanted = static_cast<size_t>(std::min<uint64_t>(buffer.size(), size - sent));
        size_t read = 0;
        if (const int error = platform::ReadRegularFileAt(fd, sent, buffer.data(), wanted, read);
            error != 0) {
            // Bytes that were never read must not stand in for the file's own.
            read_error = platform::WinErrorFromErrno(error);
            return UploadStream::kReadFailed;
        }
        // A file that shrank meanwhile is padded: the peer still expects the announced count.
        std::fill(buffer.begin() + static_cast<std::ptrdiff_t>(read),
                  buffer.begin() + static_cast<std::ptrdiff_t>(wanted), 0);
        if (!socket.SendUploadBytes(buffer.data(), wanted)) {
            return UploadStream::kNotTaken;
        }
        sent += wanted;
    }
    // Until the last byte has left the node, the central server cannot have all of it: its
    // answer is waited for from then on, however long a slow reader took for the rest.
    return socket.WaitForSendRoom(0, request_timeout_seconds_.load()) ? UploadStream::kSent
                                                                      : UploadStream::kNotTaken;
}

bool COrvanthellaFileSocketThread::UploadFile(int32_t channel, const std::string& localPath,
                                              const std::string& targetPath, std::string& errorText,
                                              bool waitForAnswer, UploadFailure* failure) {
    errorText.clear();
    UploadFailure ignored = UploadFailure::kNone;
    UploadFailure& kind = failure != nullptr ? *failure : ignored;
    kind = UploadFailure::kOther;
    const std::filesystem::path path = platform::MapWindowsPath(localPath);
    // Opened once: the type is checked, and every byte read, on this one descriptor, so that
    // nothing put in the file's place meanwhile (a FIFO) is ever opened.
    int openError = platform::kNoSuchFileError;
    const platform::OwnedFd file(path.empty() ? -1
                                              : platform::OpenRegularFileToRead(path, openError));
    if (file.get() < 0) {
        if (openError == platform::kNoSuchFileError ||
            openError == platform::kNotARegularFileError ||
            openError == platform::kIsAFolderError) {
            errorText = platform::Format("File Not Found (%s)", localPath.c_str());
            return false;
        }
        kind = UploadFailure::kNotRead;
        errorText = platform::WinErrorText(platform::WinErrorFromErrno(openError)).substr(0, 256);
        return false;
    }
    bool missing = false;
    const uint32_t maximumMB = COrvanthellaFileSocket::ReadMaximumFileSizeMB(missing, true);
    uint64_t size = 0;
    if (const int error = platform::RegularFileSize(file.get(), size); error != 0) {
        kind = UploadFailure::kNotRead;
        errorText = platform::WinErrorText(platform::WinErrorFromErrno(error)).substr(0, 256);
        return false;
    }
    // The size travels as a 32-bit number.
    if (size > static_cast<uint64_t>(maximumMB) * 1048576 || size > UINT32_MAX) {
        if (missing) {
            Trace(100, channel,
                  "File %s skipped during FileSocket transfer: size=%llu is bigger than %u MB, "
                  "and no higher maximum configured in registry",
                  localPath.c_str(), static_cast<unsigned long long>(size), maximumMB);
        } else {
            Trace(100, channel,
                  "File %s skipped during FileSocket transfer: size=%llu is bigger than the "
                  "maximum configured in registry (%u MB)",
                  localPath.c_str(), static_cast<unsigned long long>(size), maximumMB);
        }
        errorText = platform::Format("File too big (%s)", localPath.c_str());
        return false;
    }
    const std::shared_ptr<COrvanthellaFileSocket> socket = CentralSocket();
    if (!socket) {
        errorText = platform::Format("No Connected File Socket found (%s)", localPath.c_str());
        return false;
    }
    // Read whole before anything is announced: a file the disk cannot give back is found here,
    // where it costs the central server nothing, rather than inside the announced count, where
    // only closing the connection keeps the peer from storing what it has as the file.
    std::vector<uint8_t> buffer(kTransferBufferSize);
    for (uint64_t checked = 0; checked < size;) {
        size_t read = 0;
        const int error = platform::ReadRegularFileAt(
            file.get(), checked, buffer.data(),
            static_cast<size_t>(std::min<uint64_t>(buffer.size(), size - checked)), read);
        if (error != 0) {
            kind = UploadFailure::kNotRead;
            errorText = platform::Format(
                "Could not read (%s): %s", localPath.c_str(),
                platform::WinErrorText(platform::WinErrorFromErrno(error)).c_str());
            return false;
        }
        if (read == 0) {
            break;  // shrunk: padded below as before
        }
        checked += read;
    }

    const int32_t id = requests_.NewRequestId(socket->Serial());
    const std::string line = platform::Format(
        "UPFILE %ld 1 %s %s %u\r", static_cast<long>(id), EncodeParameter(localPath).c_str(),
        EncodeParameter(targetPath).c_str(), static_cast<uint32_t>(size));
    uint32_t read_error = 0;
    const UploadStream streamed = StreamUpload(*socket, line, file.get(), size, buffer, read_error);
    if (streamed == UploadStream::kReadFailed) {
        requests_.Forget(id);
        const std::string reason = platform::WinErrorText(read_error);
        Trace(100, channel, "ERROR: File %s could not be read during FileSocket transfer: %s",
              localPath.c_str(), reason.c_str());
        // The peer is somewhere inside the file's bytes and must not take what it has as the
        // file: the connection ends before the announced count is reached.
        socket->CloseFromAnyThread();
        kind = UploadFailure::kNotRead;
        errorText = platform::Format("Could not read (%s): %s", localPath.c_str(), reason.c_str());
        return false;
    }
    if (streamed == UploadStream::kNotTaken) {
        requests_.Forget(id);
        if (!socket->IsOpen()) {
            errorText = platform::Format("No Connected File Socket found (%s)", localPath.c_str());
            return false;
        }
        // The peer is somewhere inside the file's bytes: the connection cannot go on.
        Trace(0, 0,
              "File Socket connection with %s closed: it took nothing of the upload of %s for %u s",
              socket->GetPeerAddressText().c_str(), localPath.c_str(),
              request_timeout_seconds_.load());
        socket->CloseFromAnyThread();
        errorText = platform::Format("Timeout File Update (%s)", localPath.c_str());
        return false;
    }
    uint64_t after = 0;
    const int sizeError = platform::RegularFileSize(file.get(), after);
    if (sizeError != 0 || after != size) {
        Trace(100, channel,
              "File %s has different file size after FileSocket transfer: before size=%u , "
              "after size=%u ",
              localPath.c_str(), static_cast<uint32_t>(size),
              static_cast<uint32_t>(sizeError != 0 ? 0 : after));
        requests_.Forget(id);
        errorText =
            platform::Format("File changed during FileSocket transfer (%s)", localPath.c_str());
        return false;
    }
    if (!waitForAnswer) {
        requests_.Forget(id);
        kind = UploadFailure::kNone;
        return true;
    }
    CSocketResult answer;
    if (!requests_.WaitForResult(id, answer, request_timeout_seconds_.load())) {
        errorText = platform::Format("Timeout File Update (%s)", localPath.c_str());
        return false;
    }
    errorText = answer.text;
    if (answer.success) {
        kind = UploadFailure::kNone;
    }
    return answer.success;
}

}  // namespace ruzd::net
