#include "net/orvanthella_file_socket.h"

#include <cstdio>
#include <filesystem>
#include <system_error>
#include <utility>

#include "foundation/app_hooks.h"
#include "foundation/pumping_wait.h"
#include "foundation/registry.h"
#include "foundation/static_tools.h"
#include "foundation/time_tools.h"
#include "foundation/trace.h"
#include "net/cache_file_receiver.h"
#include "net/cache_path.h"
#include "net/file_cache_owner.h"
#include "net/orvanthella_file_socket_thread.h"
#include "net/setup_version.h"
#include "net/text_line.h"
#include "net/text_parameter.h"
#include "net/vorurid_adidid_updater.h"
#include "platform/clock.h"
#include "platform/private_folder.h"
#include "platform/running_program.h"
#include "platform/text.h"
#include "platform/win_error.h"
#include "platform/win_path.h"

namespace ruzd::net {

using foundation::CStaticTools;
using foundation::Trace;

namespace {

constexpr const char* kNodeSection = "Pelwix";
constexpr int32_t kProtocolVersion = 2;
constexpr const char* kUpdaterFileName = "Sobrink.exe";

}  // namespace

COrvanthellaFileSocket::COrvanthellaFileSocket(std::shared_ptr<SocketReactor> reactor,
                                               COrvanthellaFileSocketThread* thread)
    : CAsyncSocketEx(std::move(reactor), false, false), thread_(thread) {
    SetTextMode(false, false);
    SetTimeSource(false);
    SetRefusedLineAllowance(kRefusedLineAllowance);
    // The uploads write the default back when it is missing; reading it here does not, so
    // that they still report the missing setting.
    bool missing = false;
    SetMaximumBlockLength(static_cast<size_t>(ReadMaximumFileSizeMB(missing, false)) * 1048576);
}

COrvanthellaFileSocket::~COrvanthellaFileSocket() = default;

uint32_t COrvanthellaFileSocket::ReadMaximumFileSizeMB(bool& missing, bool writeBack) {
    foundation::CRegistry registry(kNodeSection);
    uint32_t maximum = 0;
    missing = !registry.ReadDword("MaximumFileCacheSyncSizeMB", &maximum);
    if (missing) {
        maximum = COrvanthellaFileSocketThread::kDefaultMaximumFileSizeMB;
        if (writeBack) {
            registry.WriteDword("MaximumFileCacheSyncSizeMB", maximum);
        }
    }
    return maximum;
}

bool COrvanthellaFileSocket::CreateSocket(uint16_t port, const std::string& address) {
    return CAsyncSocketEx::CreateSocket(port, address);
}

void COrvanthellaFileSocket::CloseFromAnyThread() {
    if (COrvanthellaFileSocketThread* thread = thread_.load()) {
        thread->RemoveSocket(this);
    }
    CAsyncSocketEx::CloseFromAnyThread();
}

void COrvanthellaFileSocket::RegisterCommands() {
    CAsyncSocketEx::RegisterCommands();
    RegisterCommand(
        "STARTS",
        CSocketCommand(ParametersHandler([this](const SocketParameters& p) { SocketCmdSTARTS(p); }),
                       false, kAtLeastFirstCount, {1}));
    RegisterCommand(
        "UPDATE",
        CSocketCommand(RawClaimHandler([this](const std::string& raw, int lineLength, bool& claim) {
                           SocketCmdUPDATE(raw, lineLength, claim);
                       }),
                       false, kAnyCount));
    RegisterCommand("TXFILE",
                    CSocketCommand(StreamHandler([this](const SocketParameters& p, size_t length) {
                                       return SocketCmdTXFILE(p, length);
                                   }),
                                   true, kExactlyOneOfCounts, {5}, 4));
    RegisterCommand(
        "TXQRES",
        CSocketCommand(ParametersHandler([this](const SocketParameters& p) { SocketCmdTXQRES(p); }),
                       true, kExactlyOneOfCounts, {4}));
    RegisterCommand(
        "FILREM",
        CSocketCommand(ParametersHandler([this](const SocketParameters& p) { SocketCmdFILREM(p); }),
                       true, kExactlyOneOfCounts, {1}));
}

void COrvanthellaFileSocket::GetDefaultConnectionProperties(bool& encrypt, bool& compress) {
    encrypt = false;
    foundation::CRegistry registry(kNodeSection);
    uint32_t useCompression = 0;
    compress =
        registry.ReadDword("FileCacheSyncUseCompression", &useCompression) && useCompression != 0;
}

bool COrvanthellaFileSocket::ProcessCommand(size_t lineLength, const std::string& word,
                                            const std::string& parameters,
                                            bool& continueProcessing) {
    if (GetHandshakeState() != kHandshakeDone && (word == "STARTS" || word == "TTSYNC")) {
        // Authorising or setting the clock needs a peer that finished the handshake (the
        // data commands need an authorised connection, UPDATE one that was asked for it).
        RemoveProcessedData(lineLength);
        OnCommandNotAllowed(word, parameters);
        return false;
    }
    const uint64_t start = platform::CurrentClock().TickMs();
    const bool handshaking = GetHandshakeState() != kHandshakeDone;
    const bool handled =
        CAsyncSocketEx::ProcessCommand(lineLength, word, parameters, continueProcessing);
    if (handshaking && GetHandshakeState() == kHandshakeDone) {
        if (COrvanthellaFileSocketThread* thread = thread_.load()) {
            thread->HandshakeDone(
                std::static_pointer_cast<COrvanthellaFileSocket>(shared_from_this()));
        }
        established_.store(true);
    }
    const uint64_t took = platform::CurrentClock().TickMs() - start;
    if (took > kSlowCommandMs) {
        Trace(0, 0, "Orvanthella File Socket command %s takes %llu ms", word.c_str(),
              static_cast<unsigned long long>(took));
    }
    return handled;
}

void COrvanthellaFileSocket::OnCommandNotFound(const std::string& word,
                                               const std::string& parameters) {
    CAsyncSocketEx::OnCommandNotFound(word, parameters);
    Trace(0, 0, "%s %s %s", "COrvanthellaFileSocket::OnCommandNotFound", word.c_str(),
          parameters.c_str());
}

void COrvanthellaFileSocket::OnCommandNotAllowed(const std::string& word,
                                                 const std::string& parameters) {
    CAsyncSocketEx::OnCommandNotAllowed(word, parameters);
    Trace(0, 0, "%s %s %s", "COrvanthellaFileSocket::OnCommandNotAllowed", word.c_str(),
          parameters.c_str());
}

void COrvanthellaFileSocket::OnCommandInvalidArgumentCount(const std::string& word,
                                                           const std::string& parameters,
                                                           int expected, int received) {
    CAsyncSocketEx::OnCommandInvalidArgumentCount(word, parameters, expected, received);
    Trace(0, 0, "%s %s %s %ld %ld", "COrvanthellaFileSocket::OnCommandInvalidArgumentCount",
          word.c_str(), parameters.c_str(), static_cast<long>(expected),
          static_cast<long>(received));
}

void COrvanthellaFileSocket::OnProcessCommandError(const std::string& word,
                                                   const std::string& parameters,
                                                   const std::string& error) {
    CAsyncSocketEx::OnProcessCommandError(word, parameters, error);
    Trace(0, 0, "%s %s %s %s", "COrvanthellaFileSocket::OnProcessCommandError", word.c_str(),
          parameters.c_str(), error.c_str());
}

void COrvanthellaFileSocket::OnProtocolViolation(const std::string& reason) {
    Trace(0, 0, "File Socket connection with %s ended: %s", GetPeerAddressText().c_str(),
          reason.c_str());
}

size_t COrvanthellaFileSocket::AskedBulkBytes() const {
    // Asking for the update is not enough: the program's bytes, once announced, are what the
    // node takes in long turns, and nothing after them.
    const bool coming = update_requested_ && !update_refused_ && update_size_ != 0 &&
                        update_bytes_written_ < update_size_;
    return coming ? update_size_ : 0;
}

void COrvanthellaFileSocket::SetCentralBound(bool bound) {
    if (central_bound_.exchange(bound) != bound) {
        TrustChanged();
    }
}

std::optional<WaitingFile> COrvanthellaFileSocket::RequestedFile(int32_t id) const {
    COrvanthellaFileSocketThread* thread = thread_.load();
    std::optional<WaitingFile> request;
    if (thread != nullptr) {
        request = thread->WaitingRequest(id, Serial());
    }
    if (!request) {
        Trace(0, 0,
              "TXFILE %ld dropped: the node is not waiting for this file from this connection",
              static_cast<long>(id));
    }
    return request;
}

void COrvanthellaFileSocket::AnswerRequest(int32_t id, const CSocketResult& result) {
    if (COrvanthellaFileSocketThread* thread = thread_.load()) {
        thread->SetResult(id, Serial(), result);
    }
}

void COrvanthellaFileSocket::NoteRequestProgress(int32_t id) {
    if (COrvanthellaFileSocketThread* thread = thread_.load()) {
        thread->NoteRequestProgress(id, Serial());
    }
}

void COrvanthellaFileSocket::OnAccept(int error) {
    COrvanthellaFileSocketThread* thread = thread_.load();
    if (thread != nullptr) {
        const std::shared_ptr<COrvanthellaFileSocket> socket = thread->MakeSocket();
        // The new peer's lines are its own.
        foundation::ScopedPeerLogLimit limit(&socket->log_limit_);
        // The handshake goes on while the thread serves the other connections: a peer that
        // keeps silent must not hold up the central server's transfers.
        if (Accept(*socket)) {
            thread->AddSocket(socket);
        }
    }
    CAsyncSocketEx::OnAccept(error);
}

void COrvanthellaFileSocket::OnAcceptingHandshakeOver(bool completed) {
    if (completed) {
        return;
    }
    foundation::ScopedPeerLogLimit limit(LogLimitNow());
    Trace(0, 0, "File Socket handshake with %s not finished in time: connection closed",
          GetPeerAddressText().c_str());
    CloseFromAnyThread();
}

foundation::PeerLogLimit* COrvanthellaFileSocket::LogLimitNow() {
    std::string address;
    unsigned port = 0;
    if (!GetPeerName(address, port)) {
        return &log_limit_;
    }
    const COrvanthellaFileSocketThread* thread = thread_.load();
    if (IsAuthorised() && thread != nullptr && thread->IsCentralAddress(address)) {
        return nullptr;
    }
    log_limit_.SetPeer(address + ":" + std::to_string(port));
    return &log_limit_;
}

void COrvanthellaFileSocket::OnReceive(int error) {
    foundation::ScopedPeerLogLimit limit(LogLimitNow());
    CAsyncSocketEx::OnReceive(error);
}

void COrvanthellaFileSocket::OnClose(int error) {
    // The thread's map may hold the last reference.
    const std::shared_ptr<AsyncSocket> self = shared_from_this();
    COrvanthellaFileSocketThread* thread = thread_.load();
    {
        // A stranger's end costs its own lines, the owner's among them.
        foundation::ScopedPeerLogLimit limit(LogLimitNow());
        if (thread != nullptr && thread->Owner() != nullptr) {
            thread->Owner()->OnOrvanthellaFileSocketClose();
        }
        CAsyncSocketEx::OnClose(error);
    }
    send_room_.Set();
    log_limit_.ReportSuppressed();
    if (thread != nullptr) {
        thread->RemoveSocket(this);
    }
}

void COrvanthellaFileSocket::FlushSendQueue() {
    CAsyncSocketEx::FlushSendQueue();
    send_room_.Set();
}

// ---- The peer's clock ----

void COrvanthellaFileSocket::OnPeerTime(const std::string& text) {
    const std::optional<int32_t> shift = foundation::TimeTools::ServerTimeShiftOf(text);
    if (!shift) {
        return;
    }
    {
        std::lock_guard<std::mutex> guard(clock_lock_);
        if (*shift > kMaxClockShiftSeconds || *shift < -kMaxClockShiftSeconds) {
            if (!clock_refusal_logged_) {
                clock_refusal_logged_ = true;
                Trace(0, 0,
                      "TTSYNC from %s refused: it would move the clock by %ld s, more than %ld h",
                      GetPeerAddressText().c_str(), static_cast<long>(*shift),
                      static_cast<long>(kMaxClockShiftSeconds / 3600));
            }
            return;
        }
        pending_clock_shift_ = *shift;
    }
    if (COrvanthellaFileSocketThread* thread = thread_.load()) {
        thread->ApplyCentralClock();
    }
}

std::optional<int32_t> COrvanthellaFileSocket::TakePendingClockShift() {
    std::lock_guard<std::mutex> guard(clock_lock_);
    return std::exchange(pending_clock_shift_, std::nullopt);
}

// ---- Uploads ----

bool COrvanthellaFileSocket::SendRaw(const uint8_t* data, size_t length) {
    std::lock_guard<std::mutex> guard(held_lock_);
    if (!uploading_) {
        // Under the lock, so that no upload starts between this message's turn and its send.
        return CAsyncSocketEx::SendRaw(data, length);
    }
    if (data == nullptr || length == 0) {
        return false;
    }
    if (held_bytes_ + length > kHeldMessagesLimit) {
        if (!held_overflow_logged_) {
            held_overflow_logged_ = true;
            Trace(0, 0, "File Socket messages for %s dropped: %zu bytes wait for an upload's end",
                  GetPeerAddressText().c_str(), held_bytes_);
        }
        return false;
    }
    held_.emplace_back(data, data + length);
    held_bytes_ += length;
    return true;
}

void COrvanthellaFileSocket::BeginUpload() {
    std::lock_guard<std::mutex> guard(held_lock_);
    uploading_ = true;
}

bool COrvanthellaFileSocket::SendUploadText(const std::string& text) {
    const std::string bytes = EncodeLineText(text, IsWideText());
    return SendUploadBytes(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

bool COrvanthellaFileSocket::SendUploadBytes(const uint8_t* data, size_t length) {
    return CAsyncSocketEx::SendRaw(data, length);
}

void COrvanthellaFileSocket::EndUpload() {
    std::lock_guard<std::mutex> guard(held_lock_);
    uploading_ = false;
    for (const std::vector<uint8_t>& message : held_) {
        CAsyncSocketEx::SendRaw(message.data(), message.size());
    }
    held_.clear();
    held_bytes_ = 0;
    held_overflow_logged_ = false;
}

bool COrvanthellaFileSocket::WaitForSendRoom(size_t limit, uint32_t seconds) {
    const platform::Clock& clock = platform::CurrentClock();
    size_t lowest = SIZE_MAX;
    uint64_t lowestSince = clock.TickMs();
    for (;;) {
        send_room_.Reset();
        if (!IsConnected()) {
            return false;
        }
        const size_t queued = QueuedBytes();
        if (queued <= limit) {
            return true;
        }
        const uint64_t now = clock.TickMs();
        if (queued < lowest) {
            lowest = queued;
            lowestSince = now;
        } else if (now - lowestSince >= uint64_t{seconds} * 1000) {
            return false;
        }
        if (foundation::WaitPumpingForSeconds(send_room_, 1) == platform::PumpedWait::kQuit) {
            return false;
        }
    }
}

// ---- Commands ----

void COrvanthellaFileSocket::SocketCmdSTARTS(const SocketParameters& parameters) {
    const bool rightVersion = CStaticTools::StrToLong(parameters[0]) == kProtocolVersion;
    // The updater pushed in answer is run by the update service: it is asked for only from a
    // peer that may be authorised (the handshake finished, the protocol version right).
    if (rightVersion && parameters.size() >= 3) {
        std::string installed;
        foundation::CRegistry(kNodeSection).ReadString("LatestInstalledSetup", installed);
        if (IsOfferedSetupNewer(installed, parameters[1]) && MayOfferAnUpdate(parameters[1])) {
            ResetUpdate();
            update_requested_ = true;
            SendFormatted("UPDATE %s %s\r", installed.c_str(),
                          EncodeParameter(parameters[2]).c_str());
            return;
        }
    }
    if (rightVersion) {
        // The thread authorises it under its own lock, with its place in the order of
        // authorisations, so that a CNINIT in between never sees it authorised but unordered.
        if (COrvanthellaFileSocketThread* thread = thread_.load()) {
            thread->NoteAuthorised(
                std::static_pointer_cast<COrvanthellaFileSocket>(shared_from_this()));
        } else {
            SetAuthorised(true);
        }
    } else {
        Trace(0, 0, "File Socket Communication version not equal");
    }
    SendFormatted("STARTS %ld\r", IsAuthorised() ? 1L : 0L);
}

bool COrvanthellaFileSocket::MayOfferAnUpdate(const std::string& offered) {
    // While a central server is active, only its machine may hand the node a program to run:
    // without that, any peer that finished the published handshake could.
    const COrvanthellaFileSocketThread* thread = thread_.load();
    std::string address;
    unsigned port = 0;
    if (thread == nullptr || !thread->HasActiveCentral() ||
        (GetPeerName(address, port) && thread->IsCentralAddress(address))) {
        return true;
    }
    Trace(0, 0,
          "Setup %s offered by %s is not asked for: only the active central server's "
          "machine may offer one",
          offered.c_str(), GetPeerAddressText().c_str());
    return false;
}

void COrvanthellaFileSocket::ResetUpdate() {
    update_requested_ = false;
    update_size_ = 0;
    update_bytes_written_ = 0;
    update_path_.clear();
    update_file_.reset();
    update_refused_ = false;
    update_error_.clear();
}

bool COrvanthellaFileSocket::WriteUpdatePiece(const uint8_t* data, size_t length,
                                              std::string& error) {
    if (!update_file_) {
        // The program is run by the update service: it is written only as a new file of the
        // node's private folder, never into one someone else put there.
        update_path_ = foundation::CurrentApp().GetTempFolder() + kUpdaterFileName;
        std::error_code ignored;
        std::filesystem::remove(update_path_, ignored);
        update_file_.reset(platform::CreateNewPrivateFile(update_path_));
        if (!update_file_) {
            error = FileErrorText(platform::WinErrorFromLastErrno());
            return false;
        }
    }
    if (std::fwrite(data, 1, length, update_file_.get()) != length ||
        std::fflush(update_file_.get()) != 0) {
        error = FileErrorText(platform::WinErrorFromLastErrno());
        return false;
    }
    return true;
}

void COrvanthellaFileSocket::SocketCmdUPDATE(const std::string& raw, int lineLength, bool& claim) {
    const size_t line = static_cast<size_t>(lineLength);
    const size_t blank = raw.find(' ');
    std::string name = raw.substr(0, blank);
    for (char& c : name) {
        if (c == kParameterBlank) {
            c = ' ';
        }
    }
    const std::string sizeText = blank == std::string::npos ? std::string() : raw.substr(blank + 1);
    uint32_t size = 0;
    if (sizeText.find('-') != std::string::npos || !CStaticTools::StrToULongEx(sizeText, &size) ||
        size == 0) {
        RemoveProcessedData(line);
        Trace(0, 0, "An unexpected error occurred while retrieving the update.");
        ResetUpdate();
        return;
    }
    if (update_size_ == 0) {
        // The line is handled again as its bytes come; the first time, its transfer begins.
        update_size_ = size;
        if (!update_requested_) {
            // The pushed program would be run by the update service: only take one asked for.
            update_refused_ = true;
            Trace(0, 0, "Update %s refused: no update was requested on this connection",
                  name.c_str());
        } else if (size > MaximumBlockLength()) {
            update_refused_ = true;
            Trace(0, 0, "Update %s refused: %u bytes, more than the %zu a file may have",
                  name.c_str(), size, MaximumBlockLength());
        }
    }
    const size_t piece = std::min<size_t>(AvailableAfterLine(line), size - update_bytes_written_);
    if (piece == 0) {
        claim = true;
        return;
    }
    // Written (or thrown away) as it comes: the node holds no more of it than a turn brought.
    if (!update_refused_ && update_error_.empty()) {
        WriteUpdatePiece(DataAfterLine(line), piece, update_error_);
    }
    update_bytes_written_ += static_cast<uint32_t>(piece);
    RemoveAfterLine(line, piece);
    if (update_bytes_written_ < size) {
        claim = true;
        return;
    }
    RemoveProcessedData(line);
    FinishUpdate(name);
}

void COrvanthellaFileSocket::FinishUpdate(const std::string& name) {
    std::string error = update_error_;
    if (update_file_ && std::fclose(update_file_.release()) != 0 && error.empty()) {
        error = FileErrorText(platform::WinErrorFromLastErrno());
    }
    if (!update_refused_ && error.empty()) {
        CVoruridAdididUpdater updater(CVoruridAdididUpdater::kDefaultPort);
        if (COrvanthellaFileSocketThread* thread = thread_.load()) {
            updater.SetPauseMs(thread->UpdaterPauseMs());
        }
        updater.RunUpdate(update_path_, name, platform::RunningProgramPath().string(), error, true,
                          true);
    }
    if (!update_refused_ && !error.empty()) {
        Trace(0, 0, "Update failed!\nError: '%s'.", error.c_str());
    }
    ResetUpdate();
}

std::unique_ptr<BlockSink> COrvanthellaFileSocket::SocketCmdTXFILE(
    const SocketParameters& parameters, size_t length) {
    const int32_t id = CStaticTools::StrToLong(parameters[0]);
    const std::optional<WaitingFile> requested = RequestedFile(id);
    if (!requested) {
        return nullptr;
    }
    const int32_t status = CStaticTools::StrToLong(parameters[1]);
    const std::string& named = parameters[3];
    CSocketResult answer{status, named, false};
    if (status == 1 && length >= 1) {
        // Only the file the request named is written, whatever path the answer gives.
        const std::optional<std::filesystem::path> path =
            MapPathInsideFolder(kFileCacheFolder, requested->localPath);
        if (platform::FoldWindowsNameCase(named) !=
            platform::FoldWindowsNameCase(requested->localPath)) {
            answer.text = platform::Format("Answer for another file (%s)", named.c_str());
            Trace(0, 0, "TXFILE %ld refused: it names %s, the request %s", static_cast<long>(id),
                  named.c_str(), requested->localPath.c_str());
        } else if (!path) {
            answer.text = platform::Format("Path outside the file cache (%s)", named.c_str());
            Trace(0, 0, "TXFILE refused: %s is not inside the file cache", named.c_str());
        } else {
            auto receiver =
                std::make_unique<CacheFileReceiver>(*this, id, status, *requested, length);
            const uint32_t error = receiver->Begin(*path);
            if (error == 0) {
                return receiver;
            }
            answer.text = FileErrorText(error);
        }
    }
    AnswerRequest(id, answer);
    return nullptr;
}

void COrvanthellaFileSocket::SocketCmdTXQRES(const SocketParameters& parameters) {
    if (COrvanthellaFileSocketThread* thread = thread_.load()) {
        thread->SetResult(CStaticTools::StrToLong(parameters[0]), Serial(),
                          CSocketResult{CStaticTools::StrToLong(parameters[1]), parameters[2],
                                        CStaticTools::StrToLong(parameters[3]) != 0});
    }
}

void COrvanthellaFileSocket::SocketCmdFILREM(const SocketParameters& parameters) {
    const std::shared_ptr<FileCacheOwner> manager = PublishedFileCacheOwner().Lock();
    if (!manager) {
        Trace(0, 0, "spVesmarin == NULL!");
        return;
    }
    // While a central server works with the node, its cache is the central server's alone.
    COrvanthellaFileSocketThread* thread = thread_.load();
    if (thread == nullptr || !thread->MayChangeTheCache(*this)) {
        Trace(0, 0, "FILREM refused: %s is not the central server's connection",
              GetPeerAddressText().c_str());
        return;
    }
    // A central path, whose copy must lie inside the cache.
    if (!CacheNameOfCentralPath(parameters[0])) {
        Trace(0, 0, "FILREM refused: %s has no place inside the file cache", parameters[0].c_str());
        return;
    }
    manager->RemoveFileFromCache(parameters[0]);
}

}  // namespace ruzd::net
