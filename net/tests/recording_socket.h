#pragma once

// A text socket for the tests: a few commands of each handler type on top of the built-in ones,
// every handler call and failure hook written down, and a reactor thread to run it on.

#include <atomic>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "net/async_socket_ex.h"
#include "net/socket_core/socket_reactor.h"

namespace ruzd::net::filetest {

// A reactor running on a thread of its own for the life of the object.
class ReactorThread {
public:
    ReactorThread() : reactor_(std::make_shared<SocketReactor>()) {
        thread_ = std::thread([reactor = reactor_] { reactor->Run(); });
    }
    ~ReactorThread() {
        reactor_->Quit();
        thread_.join();
    }
    const std::shared_ptr<SocketReactor>& reactor() const { return reactor_; }

private:
    std::shared_ptr<SocketReactor> reactor_;
    std::thread thread_;
};

class RecordingSocket : public CAsyncSocketEx {
public:
    RecordingSocket(std::shared_ptr<SocketReactor> reactor, bool encrypt = false,
                    bool compress = false)
        : CAsyncSocketEx(std::move(reactor), encrypt, compress) {}

    // What this listener's new connections offer in the handshake, whether they send their
    // clock after it, and their block limit.
    // Set by the test while the reactor's thread may accept.
    std::atomic<bool> offerEncryption{true};
    std::atomic<bool> offerCompression{false};
    std::atomic<bool> timeSource{false};
    std::atomic<size_t> maximumBlock{SIZE_MAX};
    // Whether the new connections write "TURN" down at the start of each turn.
    std::atomic<bool> recordTurns{false};

    std::vector<std::string> Events() const {
        std::lock_guard<std::mutex> guard(lock_);
        return events_;
    }
    std::shared_ptr<RecordingSocket> Accepted(size_t index) const {
        std::lock_guard<std::mutex> guard(lock_);
        return index < accepted_.size() ? accepted_[index] : nullptr;
    }
    size_t AcceptedCount() const {
        std::lock_guard<std::mutex> guard(lock_);
        return accepted_.size();
    }
    int closes() const {
        std::lock_guard<std::mutex> guard(lock_);
        return closes_;
    }
    void UseNarrowText() { SetTextMode(false, false); }

    // Calls of the plain handler, which has no socket at hand.
    static std::vector<std::string> PlainCalls() {
        std::lock_guard<std::mutex> guard(PlainLock());
        return PlainStore();
    }

protected:
    void RegisterCommands() override {
        CAsyncSocketEx::RegisterCommands();
        RegisterCommand("ECHO", CSocketCommand(ParametersHandler([this](const SocketParameters& p) {
                            std::string text = "ECHO";
                            for (const std::string& parameter : p) {
                                text += "|" + parameter;
                            }
                            Record(text);
                        })));
        RegisterCommand(
            "BLOCK",
            CSocketCommand(BlockHandler([this](const SocketParameters& p, const uint8_t* block,
                                               size_t length) {
                               Record("BLOCK|" + p[0] + "|" +
                                      std::string(reinterpret_cast<const char*>(block), length));
                           }),
                           true, kExactlyOneOfCounts, {2}, 1));
        RegisterCommand("AUTH", CSocketCommand(ParametersHandler([this](const SocketParameters&) {
                            SetAuthorised(true);
                            Record("AUTH");
                        })));
        RegisterCommand("THROW", CSocketCommand(ParametersHandler([](const SocketParameters&) {
                            throw std::runtime_error("boom");
                        })));
        RegisterCommand("ABORT", CSocketCommand(ParametersHandler(
                                     [](const SocketParameters&) { throw CommandAbort(); })));
        PlainHandler plain = [](int context, const char* const* argv, int argc) {
            std::string text = "PLAIN|" + std::to_string(context);
            for (int i = 0; i < argc; ++i) {
                text += std::string("|") + argv[i];
            }
            std::lock_guard<std::mutex> guard(PlainLock());
            PlainStore().push_back(text + (argv[argc] == nullptr ? "|end" : "|no end"));
            return 0;
        };
        RegisterCommand("PLAIN", CSocketCommand(plain, false, kAnyCount, {}, -1, 7));
    }

    void GetDefaultConnectionProperties(bool& encrypt, bool& compress) override {
        encrypt = offerEncryption;
        compress = offerCompression;
    }

    void OnAccept(int error) override {
        auto socket = std::make_shared<RecordingSocket>(Reactor());
        socket->SetMaximumBlockLength(maximumBlock);
        socket->offerEncryption = offerEncryption.load();
        socket->offerCompression = offerCompression.load();
        socket->SetTimeSource(timeSource);
        socket->recordTurns = recordTurns.load();
        if (Accept(*socket)) {
            std::lock_guard<std::mutex> guard(lock_);
            accepted_.push_back(socket);
        }
        CAsyncSocketEx::OnAccept(error);
    }
    void OnClose(int error) override {
        CAsyncSocketEx::OnClose(error);
        std::lock_guard<std::mutex> guard(lock_);
        ++closes_;
    }
    int ProcessReceivedData(int error) override {
        if (recordTurns) {
            Record("TURN");
        }
        return CAsyncSocketEx::ProcessReceivedData(error);
    }
    void OnCommandNotFound(const std::string& word, const std::string& parameters) override {
        Record("NotFound|" + word + "|" + parameters);
    }
    void OnCommandNotAllowed(const std::string& word, const std::string& parameters) override {
        Record("NotAllowed|" + word + "|" + parameters);
    }
    void OnCommandInvalidArgumentCount(const std::string& word, const std::string& parameters,
                                       int expected, int received) override {
        Record("InvalidCount|" + word + "|" + parameters + "|" + std::to_string(expected) + "|" +
               std::to_string(received));
    }
    void OnProcessCommandError(const std::string& word, const std::string& parameters,
                               const std::string& error) override {
        Record("Error|" + word + "|" + parameters + "|" + error);
    }
    void OnHeartbeatRoundTrip(int64_t milliseconds) override {
        Record("RoundTrip|" + std::to_string(milliseconds));
    }

private:
    static std::mutex& PlainLock() {
        static std::mutex lock;
        return lock;
    }
    static std::vector<std::string>& PlainStore() {
        static std::vector<std::string> calls;
        return calls;
    }
    void Record(const std::string& event) {
        std::lock_guard<std::mutex> guard(lock_);
        events_.push_back(event);
    }

    mutable std::mutex lock_;
    std::vector<std::string> events_;
    std::vector<std::shared_ptr<RecordingSocket>> accepted_;
    int closes_ = 0;
};

}  // namespace ruzd::net::filetest
