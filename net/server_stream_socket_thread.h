#pragma once

// A listener of the binary message stream. Its thread accepts any number of peers, cuts each
// peer's bytes into frames and hands every message to the owner on that thread. As a writer it
// sends to every connected peer, so the owner's events go to all of them, while a reply written
// on the message object goes back only to the peer that sent the message.
//
// The writer's lock is held while a received chunk is cut and its messages handled: a message
// that another thread writes on the listener waits until the command in progress returns, and
// leaves as a whole frame.
//
// A connection other than the active one is served in small turns: a short read (see
// CClientSocket) and at most a few of its messages a turn, one turn a round of the listener's
// thread, the active connection's first. However many valid commands the others send, the
// active connection waits for no more than a few of each of theirs, and before any connection is
// active each is served in turn, so that a central server's session goes on beside them.

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "net/output_stream_socket.h"
#include "net/server_socket_thread.h"
#include "net/shared_slot.h"
#include "net/socket_callback.h"
#include "net/stream_peers.h"
#include "net/stream_socket_callback.h"

namespace ruzd::net {

class CServerStreamSocketThread : private CSocketCallback, public COutputStreamSocket {
public:
    // A connection that the owner has not proven (the message's PeerSocket()->MarkProven(), for
    // a valid command) this long after it was accepted is closed: an idle peer must not hold one of
    // the listener's few connections.
    static constexpr uint64_t kUnprovenLimitMs = 10000;
    // The most messages of a connection other than the active one handled in one turn.
    static constexpr size_t kSmallTurnMessages = 8;

    // Returns once the listener's thread runs (or after 1000 ms); listening follows on it. The
    // bytes held for peers other than the active one are bounded by `budget`, by default one of
    // the listener's own of the registry's size; `scope` says where it listens and whom it lets
    // in.
    CServerStreamSocketThread(CStreamSocketCallback* owner, int port,
                              std::shared_ptr<BufferBudget> budget = nullptr,
                              ListenerScope scope = {});
    // Stops the thread first, so that the owner hears nothing once this returns.
    ~CServerStreamSocketThread() override;

    // Stops the listener's thread and waits for its end (not when called on that thread): the
    // owner hears nothing more once this returns.
    void Stop();

    // A listener has no single peer: false.
    bool GetPeerName(std::string& address, unsigned& port) override;
    // To every connected peer; 1 when every send succeeded.
    int Send(const uint8_t* frame, int length) override;
    // To the first peer with that address and port (port 0: any port).
    int SendTo(const std::string& address, unsigned port, const uint8_t* frame,
               int length) override;

    // Ends the listener and its connections (without telling the owner) and listens anew on the
    // same port. The old thread is stopped outside the writer's lock, which it may be waiting
    // for; may be called from the owner's handler on the listener's own thread.
    void Restart();

    // Runs `work` with the writer's lock let go when the calling thread holds it to handle a
    // received message, so that the messages other threads write meanwhile leave: a command that
    // waits for such a thread must not keep it waiting for the lock. The lock is taken back
    // before this returns; on any other thread `work` just runs.
    void RunWithoutWriterLock(const std::function<void()>& work);

    // The connection the node works for (0: none), whose bytes the budget does not count and
    // which is never closed to make room for another.
    void SetActiveConnection(uint64_t serial);

    // Set once a peer has sent bytes, cleared when one closes; without it, whether the listener
    // listens.
    bool IsConnected() const;
    bool HasClients() const;
    // The listening socket's address and port.
    bool GetSockName(std::string& address, unsigned& port);
    int Port() const { return port_; }
    // The listening socket of the running thread, with its accepted connections.
    std::shared_ptr<CServerSocket> Server() const;

private:
    int SendFromFlush(const uint8_t* frame, int length) override;
    // Sends what the last flushes left queued for the writing thread to send.
    void AfterSend() override;
    // With `after_send`, the queues of a few connections besides the active one wait for
    // AfterSend.
    int SendToEveryone(const uint8_t* frame, int length, bool after_send);
    void OnReceive(CClientSocket* socket, int count) override;
    void OnClose(CClientSocket* socket, int error) override;
    void Deliver(const std::shared_ptr<CClientSocket>& peer, const uint8_t* payload, int length);
    std::shared_ptr<CServerSocketThread> Thread() const;

    CStreamSocketCallback* const owner_;
    const int port_;
    const std::shared_ptr<BufferBudget> budget_;
    const ListenerScope scope_;
    std::atomic<bool> connected_{false};
    // The active connection's serial: every other connection's lines are limited.
    std::atomic<uint64_t> active_serial_{0};
    // The thread that holds the writer's lock (once) while it hands received messages on.
    std::atomic<std::thread::id> receiving_thread_{};
    StreamPeers peers_{CFrameCutter::Side::kListener};
    SharedSlot<CServerSocketThread> thread_;
};

}  // namespace ruzd::net
