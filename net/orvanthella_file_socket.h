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
#include <string>

#include "foundation/peer_log_limit.h"
#include "net/async_socket_ex.h"

namespace ruzd::net {

class COrvanthellaFileSocketThread;

class COrvanthellaFileSocket : public CAsyncSocketEx {
public:
    // Updates arrive in pieces; a piece is written once this much has gathered (or the rest).
    static constexpr size_t kUpdateWriteThreshold = 0xA00000;
    static constexpr uint64_t kSlowCommandMs = 10000;

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

protected:
    void OnAccept(int error) override;
    void OnReceive(int error) override;
    void OnClose(int error) override;
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
    bool WantsBlock(const std::string& word, const SocketParameters& parameters) override;
    void OnProtocolViolation(const std::string& reason) override;

private:
    void SocketCmdSTARTS(const SocketParameters& parameters);
    void SocketCmdUPDATE(const std::string& raw, int lineLength, bool& claim);
    void SocketCmdTXFILE(const SocketParameters& parameters, const uint8_t* block, size_t length);
    void SocketCmdTXQRES(const SocketParameters& parameters);
    void SocketCmdFILREM(const SocketParameters& parameters);

    // Whether the node waits for the file of request `idText`; logged when it does not.
    bool FileWasAskedFor(const std::string& idText) const;

    // Appends update bytes to the update file, made new at the first piece; false with the
    // reason on a failure.
    bool WriteUpdatePiece(const uint8_t* data, size_t length, std::string& error);
    void FinishUpdate(const std::string& name);
    void ResetUpdate();

    // The limit the lines this connection causes are held to now: none for the active central
    // server's authorised connection, the connection's own for any other.
    foundation::PeerLogLimit* LogLimitNow();

    std::atomic<COrvanthellaFileSocketThread*> thread_;
    foundation::PeerLogLimit log_limit_;

    // The update exchange, on the socket's thread only.
    bool update_requested_ = false;
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
