#pragma once

// One end of the file-transfer connection of the node: the listening socket and each
// connection the central server makes to it. Narrow text, no time source (the central server
// sends its clock), and on top of the built-in commands:
//
//   STARTS  authorise (protocol version 2), or ask for a newer setup with UPDATE
//   UPDATE  the updater program, pushed after the node asked for it
//   TXFILE  a file the node requested (REQFIL), as a binary block
//   TXQRES  the answer to an upload (UPFILE)
//   FILREM  drop a file from the node's file cache
//
// The socket belongs to its COrvanthellaFileSocketThread, whose reactor runs it.

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "foundation/peer_log_limit.h"
#include "net/async_socket_ex.h"
#include "net/file_request_table.h"
#include "net/socket_result.h"
#include "platform/event.h"

namespace ruzd::net {

class COrvanthellaFileSocketThread;

class COrvanthellaFileSocket : public CAsyncSocketEx {
public:
    static constexpr uint64_t kSlowCommandMs = 10000;
    // The most the peer's clock may move the node's: more is no time zone, but a wrong clock.
    static constexpr int32_t kMaxClockShiftSeconds = 24 * 3600;
    // The refused lines a connection may send while it is not the central server's bound one:
    // the central server sends none, and a stranger's flood of them ends after these.
    static constexpr size_t kRefusedLineAllowance = 8;

    COrvanthellaFileSocket(std::shared_ptr<SocketReactor> reactor,
                           COrvanthellaFileSocketThread* thread);
    ~COrvanthellaFileSocket() override;

    bool CreateSocket(uint16_t port, const std::string& address = {}) override;
    // Takes the socket out of its thread first.
    void CloseFromAnyThread() override;

    // The registry's "MaximumFileCacheSyncSizeMB" (the largest file either side sends), its
    // default when missing, then written back when asked.
    static uint32_t ReadMaximumFileSizeMB(bool& missing, bool writeBack);

    // The socket leaves its thread (which is going away).
    void DetachFromThread() { thread_.store(nullptr); }
    COrvanthellaFileSocketThread* Thread() const { return thread_.load(); }

    // The number the thread gave the connection when it took it, in the order of their
    // arrival; 0 before. Never reused, so that an answer is only ever taken from the
    // connection its request went out on.
    uint64_t Serial() const { return serial_.load(); }
    void SetSerial(uint64_t serial) { serial_.store(serial); }

    // The connection's place in the order in which its thread's connections were authorised;
    // 0 before it was. Set by the thread, which authorises it with its place.
    uint64_t AuthorisationOrder() const { return authorisation_order_.load(); }
    void Authorise(uint64_t order) {
        authorisation_order_.store(order);
        SetAuthorised(true);
    }

    // Whether the connection finished its handshake and its thread took note of it.
    bool IsEstablished() const { return established_.load(); }

    // Whether this is the central server's bound connection, set by the thread as it binds it
    // and unbinds it. Only that connection is trusted: every other, authorised or not, is held
    // to the strangers' budgets.
    void SetCentralBound(bool bound);
    bool IsTrusted() const override { return central_bound_.load() && IsAuthorised(); }

    // The clock shift the peer's last time text asked for and that was not applied yet; taken
    // once the connection is the central server's.
    std::optional<int32_t> TakePendingClockShift();

    // An upload: its line and the file's bytes must reach the peer without anything between
    // them, yet the bytes are handed over a piece at a time as the peer takes them. Meanwhile
    // every other message for the peer is held back (up to kHeldMessagesLimit bytes, beyond
    // which messages are dropped) and sent when the upload ends.
    static constexpr size_t kHeldMessagesLimit = 1 << 20;
    // Held by the uploader for the whole upload: one upload at a time.
    std::mutex& UploadLock() { return upload_lock_; }
    void BeginUpload();
    virtual bool SendUploadText(const std::string& text);
    bool SendUploadBytes(const uint8_t* data, size_t length);
    void EndUpload();
    // Waits until no more than `limit` bytes wait to be sent: false when the connection
    // closed, or when the peer took nothing for `seconds` in a row.
    bool WaitForSendRoom(size_t limit, uint32_t seconds);

    bool SendRaw(const uint8_t* data, size_t length) override;

    // The file request `id` while the node waits for its file from this connection; none,
    // logged, otherwise.
    std::optional<WaitingFile> RequestedFile(int32_t id) const;
    // Answers the request `id` that went out on this connection, or tells its waiter that the
    // answer is on its way.
    void AnswerRequest(int32_t id, const CSocketResult& result);
    void NoteRequestProgress(int32_t id);

protected:
    void OnAccept(int error) override;
    void OnReceive(int error) override;
    void OnClose(int error) override;
    void FlushSendQueue() override;
    // The peer's clock: kept until the connection is the central server's, and refused when it
    // would move the node's clock by more than kMaxClockShiftSeconds.
    void OnPeerTime(const std::string& text) override;
    void RegisterCommands() override;
    void GetDefaultConnectionProperties(bool& encrypt, bool& compress) override;
    bool ProcessCommand(size_t lineLength, const std::string& word, const std::string& parameters,
                        bool& continueProcessing) override;
    void OnCommandNotFound(const std::string& word, const std::string& parameters) override;
    void OnCommandNotAllowed(const std::string& word, const std::string& parameters) override;
    void OnCommandInvalidArgumentCount(const std::string& word, const std::string& parameters,
                                       int expected, int received) override;
    void OnProcessCommandError(const std::string& word, const std::string& parameters,
                               const std::string& error) override;
    void OnProtocolViolation(const std::string& reason) override;
    // The updater that the node asked for, while its announced bytes come.
    size_t AskedBulkBytes() const override;
    // Without the handshake the connection would go on in plain text, open to anyone: it is
    // closed.
    void OnAcceptingHandshakeOver(bool completed) override;

private:
    void SocketCmdSTARTS(const SocketParameters& parameters);
    void SocketCmdUPDATE(const std::string& raw, int lineLength, bool& claim);
    // The receiver of the file that the block brings; none (the block is read past) when it is
    // not wanted or no file can be written, and then the request has its answer.
    std::unique_ptr<BlockSink> SocketCmdTXFILE(const SocketParameters& parameters, size_t length);
    void SocketCmdTXQRES(const SocketParameters& parameters);
    void SocketCmdFILREM(const SocketParameters& parameters);

    // Appends update bytes to the update file, made new at the first piece; false with the
    // reason on a failure.
    bool WriteUpdatePiece(const uint8_t* data, size_t length, std::string& error);
    void FinishUpdate(const std::string& name);
    void ResetUpdate();
    // Whether the setup `offered` in this connection's STARTS may be asked for: by anyone while
    // no central server is active, else only by a connection from its machine (the refusal is
    // logged).
    bool MayOfferAnUpdate(const std::string& offered);

    // The limit the lines this connection causes are held to now: none for the active central
    // server's authorised connection, the connection's own for any other.
    foundation::PeerLogLimit* LogLimitNow();

    std::atomic<COrvanthellaFileSocketThread*> thread_;
    std::atomic<uint64_t> serial_{0};
    std::atomic<uint64_t> authorisation_order_{0};
    std::atomic<bool> established_{false};
    std::atomic<bool> central_bound_{false};

    std::mutex clock_lock_;
    std::optional<int32_t> pending_clock_shift_;
    bool clock_refusal_logged_ = false;

    // The upload in progress: set while one runs, and what waits for its end.
    std::mutex upload_lock_;
    std::mutex held_lock_;
    bool uploading_ = false;
    std::vector<std::vector<uint8_t>> held_;
    size_t held_bytes_ = 0;
    bool held_overflow_logged_ = false;
    // Set whenever the send queue shrank or the connection closed.
    platform::Event send_room_{false};

    foundation::PeerLogLimit log_limit_;

    // The update exchange, on the socket's thread only: whether the node asked for one, and the
    // size its UPDATE line announced (0 before it came).
    bool update_requested_ = false;
    uint32_t update_size_ = 0;
    uint32_t update_bytes_written_ = 0;
    std::string update_path_;
    struct FileCloser {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };
    std::unique_ptr<std::FILE, FileCloser> update_file_;
    // Set when the pushed bytes are read only to be thrown away.
    bool update_refused_ = false;
    std::string update_error_;
};

}  // namespace ruzd::net
