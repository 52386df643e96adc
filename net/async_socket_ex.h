#pragma once

// A socket that speaks the text-command protocol: each message is a line ended by a carriage
// return, a command word and blank-separated parameters. Received lines are checked against a
// table of commands (authorisation, parameter count) and handed to the command's handler; a
// command may carry a binary block right after its line. Every connection starts with the
// CNPROP handshake, which settles whether the rest is compressed and encrypted.
//
// Notifications, the handshake and every handler run on the thread of the socket's reactor.
// Sending is allowed from any thread: it is serialised by the send lock, and whatever the
// network does not take at once waits in the send queue.
//
// Four commands are built in: CURTIM, CNPROP, TTSYNC and HEARTB. Subclasses add theirs in
// RegisterCommands, calling the base first.

#include <cstdarg>
#include <cstdint>
#include <deque>
#include <exception>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "net/line_buffer.h"
#include "net/socket_command.h"
#include "net/socket_core/async_socket.h"
#include "net/socket_core/buffer_budget.h"
#include "net/text_handshake.h"
#include "net/wire_transform.h"
#include "platform/critical_section.h"

namespace ruzd::net {

// Thrown by a handler to stop the processing of received data at once.
class CommandAbort : public std::exception {
public:
    const char* what() const noexcept override { return "command processing aborted"; }
};

// Bytes the network did not take yet.
struct CSocketSendBuffer {
    std::vector<uint8_t> data;
    size_t sent = 0;
};

class CAsyncSocketEx : public AsyncSocket {
public:
    static constexpr size_t kInitialLineCapacity = 32768;
    static constexpr size_t kLineGrowth = 32768;
    static constexpr size_t kInitialCompressedCapacity = 1024;
    // The compressed-receive buffer grows while the peer keeps it full, up to this size.
    static constexpr size_t kMaxCompressedCapacity = 4 << 20;
    // How long the handshake may take on each side.
    static constexpr uint64_t kConnectingHandshakeMs = 3000;
    static constexpr uint64_t kAcceptingHandshakeMs = 1000;
    static constexpr int kHandshakePollMs = 50;
    // The longest text line taken, in characters; a longer one ends the connection.
    static constexpr size_t kMaxLineCharacters = 65536;
    // What one received piece of the trusted connection (IsTrusted) may inflate to is twice the
    // longest block (at least this) and a line; a piece that inflates further ends the
    // connection.
    static constexpr size_t kMinInflateBlock = 256 << 10;
    // Any other connection has no block to send: its piece may inflate to twice the longest wide
    // line, and what the node asked it for (AskedBulkBytes), no more.
    static constexpr size_t kStrangerInflateLimit = 256 << 10;
    // The most taken at a time of what a received piece inflates to, and of a block that is
    // streamed or read past: the memory a block costs, however large it is.
    static constexpr size_t kReceivePiece = 256 << 10;
    // The most text the trusted connection has handled in one turn (a file's piece as the
    // central server sends it), or one that brings what the node asked it for; and any other
    // connection's, in bytes and in lines: the socket's thread serves its other connections
    // between two turns, so that however many strangers send whatever they like, each round of
    // the thread costs little more than the trusted connection's turn.
    static constexpr size_t kBulkTurnBytes = 1 << 20;
    static constexpr size_t kStrangerTurnBytes = 16 << 10;
    static constexpr size_t kStrangerTurnLines = 64;
    // Report lengths of the failure hooks.
    static constexpr size_t kReportedWordLength = 16;
    static constexpr size_t kReportedParametersLength = 128;
    static constexpr size_t kReportedErrorLength = 256;

    CAsyncSocketEx(const std::shared_ptr<SocketReactor>& reactor, bool encryptionConfigured,
                   bool compressionConfigured);
    ~CAsyncSocketEx() override;

    // Registers the commands (once), empties the send queue, resets the connection state and
    // makes the system socket on `port` and `address` (empty: any).
    virtual bool CreateSocket(uint16_t port, const std::string& address = {});

    // Connects; the handshake runs when the connection is made (OnConnect).
    bool ConnectTo(const std::string& host, uint16_t port) { return Connect(host, port); }

    // The accepting side: takes a waiting connection into `newSocket` and begins its handshake,
    // which the peer's lines carry on as they arrive; the accepting thread never waits for them.
    // kAcceptingHandshakeMs later the handshake is over (OnAcceptingHandshakeOver). False when
    // nothing could be accepted.
    bool Accept(CAsyncSocketEx& newSocket, sockaddr_in* peer = nullptr);

    virtual bool SendText(const std::string& text);
    bool SendFormatted(const char* format, ...) __attribute__((format(printf, 2, 3)));
    virtual bool SendFormattedV(const char* format, va_list args)
        __attribute__((format(printf, 2, 0)));
    // Compresses and encrypts as negotiated, then sends or queues. False when the message was
    // dropped (no data, no connection, or a compression or encryption failure).
    virtual bool SendRaw(const uint8_t* data, size_t length);
    // An empty text sends the current time stamp.
    virtual void SendHeartbeat(const std::string& text, bool isRequest);
    virtual std::string Describe(int direction);
    // Closes the connection and runs OnClose(0) (nothing when it is closed already); from
    // another thread than the socket's own, the close is handed to that thread.
    virtual void CloseFromAnyThread();

    bool IsAuthorised() const { return authorised_.load(); }
    // Whether the connection is the one the node works for, which the strangers' budgets do not
    // hold: the refused-line allowance, the short turns, the small inflated pieces and the
    // listener's buffer budget. By default an authorised connection is.
    virtual bool IsTrusted() const { return authorised_.load(); }
    HandshakeState GetHandshakeState() const { return handshake_.State(); }
    bool IsEncrypted() const;
    bool IsCompressed() const;
    const std::string& PeerStation() const { return handshake_.PeerStation(); }
    const PeerClockRecord& PeerClock() const { return handshake_.PeerClock(); }
    bool IsWideText() const { return wide_; }

    // `onWire`: the compressed counts when compression is in force.
    uint64_t GetSentBytes(bool onWire) const;
    uint64_t GetReceivedBytes(bool onWire) const;
    double GetSendCompressionRatio() const;
    double GetReceiveCompressionRatio() const;

    // "a.b.c.d:port" of this end and of the peer; empty when unknown.
    std::string GetLocalAddressText() const;
    std::string GetPeerAddressText() const;
    // "local () <-> peer ()".
    std::string GetConnectionText() const;

    // Bytes waiting in the send queue.
    size_t QueuedBytes() const;

    // The connection's share of its listener's buffer budget, given before it is used. While
    // the connection is not authorised its bytes count, and past the budget it is ended.
    void SetBufferAccount(std::shared_ptr<BufferAccount> account) {
        buffer_account_ = std::move(account);
    }

    // Held by a caller whose messages must leave without others between them (a line and the
    // bytes that follow it).
    platform::CriticalSection& SendLock() const { return send_lock_; }

    // The largest binary block a command may announce; longer ones are refused.
    void SetMaximumBlockLength(size_t maximum) { maximum_block_length_ = maximum; }
    // How many refused lines (unknown, not allowed, with the wrong parameters) a connection
    // may send while it is not trusted; the next one ends it. No bound unless set.
    void SetRefusedLineAllowance(size_t allowance) { refused_line_allowance_ = allowance; }

protected:
    virtual void RegisterCommands();
    virtual void ResetConnectionState();
    virtual void GetDefaultConnectionProperties(bool& encrypt, bool& compress);
    // One turn: the lines left waiting by the last turn first, then one receive and its
    // complete lines, bounded by TurnBytes and TurnLines. The bytes received (1 when the turn
    // handled waiting lines only), 0 when the connection closed, -1 when nothing could be read
    // now.
    virtual int ProcessReceivedData(int error);
    virtual void FlushSendQueue();
    // Removes the line and its terminator from the front of the buffer.
    virtual void RemoveProcessedData(size_t lineLength);
    virtual bool ProcessCommand(size_t lineLength, const std::string& word,
                                const std::string& parameters, bool& continueProcessing);
    virtual void OnCommandNotFound(const std::string& word, const std::string& parameters);
    virtual void OnCommandNotAllowed(const std::string& word, const std::string& parameters);
    virtual void OnCommandInvalidArgumentCount(const std::string& word,
                                               const std::string& parameters, int expected,
                                               int received);
    virtual void OnProcessCommandError(const std::string& word, const std::string& parameters,
                                       const std::string& error);
    virtual void OnHeartbeatRoundTrip(int64_t milliseconds);
    // The peer broke the protocol (`reason`), and the connection is ended right after.
    virtual void OnProtocolViolation(const std::string& reason);
    virtual void OnPeerTime(const std::string& text);
    // The bytes the node asked this peer for though it is not trusted (a program it pushes, say)
    // while they come: its turns are long meanwhile, and a received piece may inflate to them
    // and a stranger's allowance. 0 when none.
    virtual size_t AskedBulkBytes() const { return 0; }
    // IsTrusted changed: the listener's buffer budget counts the connection's bytes or not.
    void TrustChanged();
    size_t MaximumBlockLength() const { return maximum_block_length_; }
    // An accepted connection's handshake time is over, on the socket's thread: `completed`
    // false when the peer did not finish it, what it sent being dropped and the connection going
    // on with the configured settings.
    virtual void OnAcceptingHandshakeOver(bool /*completed*/) {}

    void OnReceive(int error) override;
    void OnSend(int error) override;
    void OnConnect(int error) override;
    void OnClose(int error) override;

    void RegisterCommand(const std::string& word, CSocketCommand command);
    void SetAuthorised(bool authorised);
    // Fixed text mode (no detection) or detection at the next connection.
    void SetTextMode(bool autoDetect, bool wide);
    void SetTimeSource(bool timeSource) { handshake_.SetTimeSource(timeSource); }

    // For handlers that take the data after their line: the bytes after the line's terminator
    // and their removal.
    const uint8_t* DataAfterLine(size_t lineLength) const;
    size_t AvailableAfterLine(size_t lineLength) const;
    void RemoveAfterLine(size_t lineLength, size_t count);

private:
    class HandshakeLink;
    struct PendingBlock {
        bool active = false;
        // Refused blocks are read and thrown away, to stay in step with the peer.
        bool discard = false;
        size_t length = 0;
        size_t received = 0;
        // Gathered whole for a block handler, or handed on as it comes to a stream handler's
        // sink.
        std::vector<uint8_t> data;
        std::unique_ptr<BlockSink> sink;

        bool Complete() const { return received >= length; }
        size_t Remaining() const { return length - received; }
    };

    // Fills the socket's own buffers: the bytes produced, 0 when the connection closed, -1
    // when nothing could be produced now.
    int Receive(int flags);
    // The same under compression, where the lines are handled as their bytes are inflated. A
    // piece that inflates to more than one turn's text is inflated further in the next turns
    // (the socket is read again once it is done), each one posted to the socket's thread.
    int ReceiveCompressed();
    // Reads one compressed piece and hands it to inflate; the bytes read, or what
    // AsyncSocket::Receive gave.
    int StartCompressedPiece();
    // Once a piece gave all it inflates to: the buffer grows while the peer keeps it full.
    void EndCompressedPiece();
    // Runs the next turn soon, on the socket's thread, when a piece is being inflated or lines
    // wait: nothing more may arrive to call for it.
    void ContinueLater();
    // The most text taken, and the most lines handled, in one turn now.
    size_t TurnBytes() const;
    size_t TurnLines() const;
    // Hands produced bytes to the pending block and the line buffer.
    void Absorb(const uint8_t* data, size_t length);
    // Hands bytes of the pending block (no more than it still expects) on, and ends the block
    // when they complete it.
    void FeedBlock(const uint8_t* data, size_t length);
    // Handles the complete lines received, as many as the turn has left (the others wait for
    // the next turn: lines_waiting_); with `checkLength` an unended line that is already too
    // long ends the connection. False when processing must stop.
    bool DispatchLines(bool checkLength);
    // Tells the sink of a block that will not come whole, and forgets the block.
    void DropPendingBlock();
    // The bounded buffer of pieces, made when first needed.
    void EnsurePieceBuffer();
    static std::string BlockLengthText(const CSocketCommand& command,
                                       const SocketParameters& parameters);
    // Reads past `length` bytes that follow a refused line.
    void SkipBlock(size_t length);
    // The length of the block a command line announces; none when it is refused (the line is
    // then removed and the block read past).
    std::optional<size_t> AnnouncedBlockLength(const CSocketCommand& command, size_t lineLength,
                                               const std::string& word,
                                               const std::string& rawParameters,
                                               const SocketParameters& parameters);
    bool DispatchBlockCommand(const CSocketCommand& command, size_t lineLength,
                              const std::string& word, const std::string& rawParameters,
                              const SocketParameters& parameters, bool& continueProcessing);
    bool DispatchStreamCommand(const CSocketCommand& command, size_t lineLength,
                               const std::string& word, const std::string& rawParameters,
                               const SocketParameters& parameters);
    void CallHandler(const CSocketCommand& command, size_t lineLength,
                     const std::string& rawParameters, const SocketParameters& parameters,
                     bool& continueProcessing);
    void RunHandshake(uint64_t windowMs);
    // Ends the accepting handshake once its time is over.
    void LimitAcceptingHandshake();
    // Closes the connection for a broken protocol; ProcessReceivedData returns 0 after it.
    void EndConnection(const std::string& reason);
    // Why a connection that sent too many refused lines is ended.
    std::string RefusedLinesReason() const;
    // Empties the received text, which no later turn will look at.
    void DropReceivedText();
    // The most one received piece may inflate to now.
    size_t InflateLimit() const;
    // The most this piece may inflate to: the largest limit since it began, as a transfer that
    // the piece completes ends what the node asked for.
    size_t PieceInflateLimit();
    void ReleaseStreams();
    void BuildStreams();
    void EmptySendQueue();
    // Records the send queue's bytes in the account (under the send lock); past the budget
    // after `grew`, the connection ends.
    void AccountQueueLocked(bool grew);
    // Records the received bytes kept (on the socket's thread); past the budget the connection
    // ends at once.
    void AccountReceived();
    // Ends the connection for holding more than the budget allows (any thread): nothing more
    // is sent, and the end follows on the socket's thread.
    void EndOverBudget();
    std::string OverBudgetReason() const;

    void SocketCmdCURTIM(const SocketParameters& parameters);
    void SocketCmdCNPROP(const SocketParameters& parameters);
    void SocketCmdTTSYNC(const SocketParameters& parameters);
    void SocketCmdHEARTB(const SocketParameters& parameters);

    const bool encryption_configured_;
    const bool compression_configured_;

    // Receiving side, used on the socket's thread only.
    LineBuffer line_;
    std::vector<uint8_t> compressed_;
    std::vector<uint8_t> produced_;
    // The compressed piece being inflated: inflate holds the rest of it in compressed_.
    bool inflating_ = false;
    size_t piece_received_ = 0;
    size_t piece_produced_ = 0;
    bool piece_filled_ = false;
    size_t piece_limit_ = 0;
    bool continuation_posted_ = false;
    // The lines the turn may still handle, and whether complete lines wait for the next turn.
    size_t turn_lines_left_ = SIZE_MAX;
    bool lines_waiting_ = false;
    size_t refused_lines_ = 0;
    size_t refused_line_allowance_ = SIZE_MAX;
    PendingBlock block_;
    bool auto_detect_ = true;
    bool detected_ = false;
    bool wide_ = true;
    size_t char_size_ = 2;
    size_t maximum_block_length_ = SIZE_MAX;

    std::atomic<bool> authorised_{false};
    TextHandshake handshake_{true};

    // Sending side and the transform state, under the send lock.
    mutable platform::CriticalSection send_lock_;
    WireTransform transform_;
    std::deque<CSocketSendBuffer> send_queue_;
    size_t queued_bytes_ = 0;

    std::shared_ptr<BufferAccount> buffer_account_;
    std::atomic<bool> over_budget_{false};

    platform::CriticalSection commands_lock_;
    std::map<std::string, CSocketCommand> commands_;
};

}  // namespace ruzd::net
