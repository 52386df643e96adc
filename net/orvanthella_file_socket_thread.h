#pragma once

// The node's file-transfer listener: a thread of its own that listens for the central server's
// file-transfer connections, runs every connection it accepts, and pairs the node's requests
// (REQFIL, UPFILE) with the answers that come back on them. The node manager makes it at
// start-up, tells it the active central server's address and calls RequestFile, UploadFile,
// HasCentralSocket and LogStatistics from its own threads.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "net/file_cache_owner.h"
#include "net/file_request_table.h"
#include "net/orvanthella_file_socket.h"
#include "net/socket_thread_loop.h"
#include "net/vorurid_adidid_updater.h"

namespace ruzd::net {

// Why an upload failed.
enum class UploadFailure {
    kNone,
    // The node could not read its own file (a failing disk, a mount gone): no fault of the
    // central server's, and one that may pass.
    kNotRead,
    // Anything else: the central server refused it or did not take it, or the file is missing
    // or too big.
    kOther,
};

class COrvanthellaFileSocketThread {
public:
    static constexpr uint32_t kRequestTimeoutSeconds = 8;
    static constexpr size_t kTransferBufferSize = 1048576;
    // An upload hands its next piece over once no more than this waits to be sent: however
    // slowly the central server reads, an upload holds little more than two pieces.
    static constexpr size_t kUploadWindowBytes = kTransferBufferSize;
    static constexpr uint32_t kDefaultMaximumFileSizeMB = 50;
    static constexpr int kListenBacklog = 5;

    static constexpr uint32_t kDefaultPort = 9071;
    // A connection that is not authorised and receives nothing for this long is closed.
    static constexpr uint64_t kUnauthorisedIdleMs = 30000;

    // The registry's "Local File Socket TCP port", written back with its default when missing.
    static int32_t ReadListenerPort();

    // Makes the socket of a new connection (and the listening socket); the default makes a
    // plain COrvanthellaFileSocket.
    using SocketFactory = std::function<std::shared_ptr<COrvanthellaFileSocket>(
        std::shared_ptr<SocketReactor>, COrvanthellaFileSocketThread*)>;

    // Starts the thread at once; it listens on `port` (0: not at all). `owner` hears of closed
    // connections and must outlive the thread. The bytes held for connections that are not
    // authorised are bounded by `budget`, by default one of the thread's own of the registry's
    // size.
    COrvanthellaFileSocketThread(FileCacheOwner* owner, int32_t port, SocketFactory factory = {},
                                 std::shared_ptr<BufferBudget> budget = nullptr);
    // Ends the thread, which closes the listener and every connection.
    ~COrvanthellaFileSocketThread();
    COrvanthellaFileSocketThread(const COrvanthellaFileSocketThread&) = delete;
    COrvanthellaFileSocketThread& operator=(const COrvanthellaFileSocketThread&) = delete;

    // Ends the thread and waits for it (up to the socket threads' stop time, then longer with a
    // log line); nothing happens on a second call.
    void Stop();

    // Asks the central server for `sourceName`, to be written to `localPath` (a path inside the
    // file cache), and waits for the transfer, as long as its bytes keep coming. On return
    // `localPath` holds the answer's text, or "Timeout File Request" once nothing came for the
    // request's time-out. With `expected` (the size and CRC-32 the central server named), a
    // copy that differs from them is taken all the same and logged as a warning.
    bool RequestFile(const std::string& sourceName, std::string& localPath,
                     std::optional<ExpectedFile> expected = std::nullopt);

    // Sends the file at `localPath` to the central server, which stores it under `targetPath`;
    // with `waitForAnswer` waits for its answer, the request's time-out counted from the moment
    // the file's last byte has left the node. False with the reason in `errorText`, and its
    // kind in `failure` when given. The file is opened once and read whole before it is
    // announced: one the node cannot read is not announced at all, and the connection goes on.
    bool UploadFile(int32_t channel, const std::string& localPath, const std::string& targetPath,
                    std::string& errorText, bool waitForAnswer, UploadFailure* failure = nullptr);

    bool HasAuthorisedSocket() const;
    // Whether a connection from `address` (dotted, without port) is authorised: the machine of
    // the central server that may take the node over.
    bool HasAuthorisedSocketFrom(const std::string& address) const;

    // The address (dotted, without port) of the active central server; empty while there is
    // none. Setting it (the central server's CNINIT) binds the central server's connection: of
    // the authorised connections from that address, the one authorised last. The node's
    // requests and uploads go on it alone, and only its clock is taken; one authorised later
    // gets none of them while it is open. Once it closes, the next connection from that address
    // to be authorised takes its place. Only the bound connection is spared the strangers'
    // budgets (COrvanthellaFileSocket::IsTrusted). Connections from that address log in full;
    // every other connection's lines are limited as a stranger's.
    void SetCentralAddress(const std::string& address);
    bool IsCentralAddress(const std::string& address) const;
    // Whether a central server is active (its address set).
    bool HasActiveCentral() const;
    bool HasCentralSocket() const;
    // Whether `socket` may remove cached files: the central server's connection, or any
    // authorised one while no central server is active.
    bool MayChangeTheCache(const COrvanthellaFileSocket& socket) const;
    // Applies the clock the central server's connection sent and that waits to be applied, and
    // drops what the other authorised connections sent. Nothing before a central server is
    // active: a clock sent during the handshake waits for the session.
    void ApplyCentralClock();
    // Two debug-log lines of byte counts per authorised connection.
    void LogStatistics() const;

    // The listening socket's last error, -1 without a listener; its local address.
    int ListenerLastError() const;
    std::string ListenerAddressText() const;

    // Request pairing, for the connections' handlers: only the connection a request went out
    // on may answer it.
    bool SetResult(int32_t id, uint64_t connection, const CSocketResult& result) {
        return requests_.SetResult(id, connection, result);
    }
    std::optional<WaitingFile> WaitingRequest(int32_t id, uint64_t connection) const {
        return requests_.Waiting(id, connection);
    }
    void NoteRequestProgress(int32_t id, uint64_t connection) {
        requests_.NoteProgress(id, connection);
    }
    size_t PendingRequests() const { return requests_.PendingCount(); }

    // For the thread's sockets: a new connection, for which the oldest other than the central
    // server's is closed while the thread holds its "Max Connections" already (the newcomer is
    // closed when there is no such one), a closed one, a new socket.
    void AddSocket(const std::shared_ptr<COrvanthellaFileSocket>& socket);
    void RemoveSocket(const COrvanthellaFileSocket* socket);
    std::shared_ptr<COrvanthellaFileSocket> MakeSocket();
    // A connection finished its handshake: from now on it is closed once it has received
    // nothing for kUnauthorisedIdleMs while not authorised.
    void HandshakeDone(const std::shared_ptr<COrvanthellaFileSocket>& socket);
    // A connection is authorised: it is marked so, its place in the order of authorisations is
    // noted, it becomes the central server's when that has none and it comes from its address, and
    // the clock it sent is taken or dropped.
    void NoteAuthorised(const std::shared_ptr<COrvanthellaFileSocket>& socket);
    FileCacheOwner* Owner() const { return owner_; }
    // The connections held that finished their handshake.
    size_t SocketCount() const;

    // For tests: how long a request waits for its answer, and how long the updater launcher
    // keeps its connection to the update service open.
    void SetRequestTimeoutSeconds(uint32_t seconds) { request_timeout_seconds_ = seconds; }
    void SetUpdaterPauseMs(uint32_t pauseMs) { updater_pause_ms_ = pauseMs; }
    uint32_t UpdaterPauseMs() const { return updater_pause_ms_.load(); }
    int32_t Port() const { return port_; }

private:
    // Makes the listening socket and listens; false when it cannot.
    bool InitInstance();
    void ExitInstance();
    void EmptyIncomingFolder();
    std::shared_ptr<COrvanthellaFileSocket> FirstAuthorisedSocket() const;
    std::shared_ptr<COrvanthellaFileSocket> CentralSocket() const;
    std::shared_ptr<COrvanthellaFileSocket> CentralSocketLocked() const;
    // Binds the authorised connection from the central server's address authorised last; none
    // when there is none. Under sockets_lock_.
    void BindCentralSocketLocked();
    // Makes the connection `serial` (0: none) the central server's bound one, and tells every
    // connection whether it is; under sockets_lock_.
    void BindLocked(uint64_t serial);
    // Whether `socket` is authorised and comes from the central server's address; under
    // sockets_lock_.
    bool IsAuthorisedFromCentralLocked(const COrvanthellaFileSocket& socket) const;
    // The connection that makes room for a newcomer when "Max Connections" are held: the
    // oldest that is not authorised from another address than the central server's, else the
    // oldest not authorised from its address, else the oldest authorised one from another
    // address, else from its address that is not the central server's bound one; none when the
    // central server's is all there is.
    std::shared_ptr<COrvanthellaFileSocket> OldestToMakeRoomLocked() const;
    // How an upload's bytes went.
    enum class UploadStream {
        kSent,        // all of them left the node
        kNotTaken,    // the central server stopped taking them, or the connection closed
        kReadFailed,  // the file could not be read (the Win32 code in `read_error`)
    };
    // Hands the `size` bytes of the file open as `fd` to `socket` after the line, a piece at a
    // time as the central server takes them, and returns once the last of them has left the
    // node. A file that shrank meanwhile is padded with zeros up to the announced count; one
    // that cannot be read stops the upload inside that count.
    UploadStream StreamUpload(COrvanthellaFileSocket& socket, const std::string& line, int fd,
                              uint64_t size, std::vector<uint8_t>& buffer, uint32_t& read_error);
    // Looks at `socket` again after kUnauthorisedIdleMs; `received` is its byte count now.
    void WatchIdleUnauthorised(std::weak_ptr<COrvanthellaFileSocket> socket, uint64_t received);

    FileCacheOwner* const owner_;
    const int32_t port_;
    const SocketFactory factory_;
    const std::shared_ptr<BufferBudget> budget_;
    std::atomic<uint32_t> request_timeout_seconds_{kRequestTimeoutSeconds};
    std::atomic<uint32_t> updater_pause_ms_{CVoruridAdididUpdater::kDefaultPauseMs};

    // Set on the thread before it runs, read on it afterwards.
    bool listening_ = false;
    mutable std::mutex listener_lock_;
    std::shared_ptr<COrvanthellaFileSocket> listener_;

    const size_t max_connections_;
    // Set while connections are turned away at the limit, so that it is logged once; on the
    // thread only.
    bool over_limit_logged_ = false;
    mutable std::mutex sockets_lock_;
    std::map<const COrvanthellaFileSocket*, std::shared_ptr<COrvanthellaFileSocket>> sockets_;
    uint64_t last_serial_ = 0;
    // Guarded by sockets_lock_: the active central server's address, the serial of its bound
    // connection (0: none bound), and the last number given to an authorisation.
    std::string central_address_;
    uint64_t central_serial_ = 0;
    uint64_t last_authorisation_ = 0;

    FileRequestTable requests_;
    SocketThreadLoop loop_;
};

}  // namespace ruzd::net
