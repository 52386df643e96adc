#pragma once

// The manager in the test process on the simulated boards, with a central server of the test's
// own that has made its connection the active one (file connection authorised, CNINIT
// answered), so that every command family is accepted. The simulator's control socket plays
// the far end of calls; its journal lists every vendor call the node made.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <cinttypes>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "boardsim/control/control_client.h"
#include "foundation/debug_log.h"
#include "foundation/registry.h"
#include "net/tests/central_peer.h"
#include "node/tests/central_peer.h"
#include "node/tests/command_peer.h"
#include "node/vesmarin_manager.h"
#include "platform/clock.h"
#include "platform/sntp_client.h"
#include "testing/debug_files.h"
#include "testing/sntp_test_server.h"
#include "testing/temp_root.h"

namespace ruzd::node::testing {

// A port status the manager reported.
struct PortStatus {
    int32_t type;
    int32_t ldev;
    std::string text;
    bool operator==(const PortStatus&) const = default;
};

class StatusRecorder : public CVesmarinManagerCallback {
public:
    void OnVesmarinManagerStop() override {}
    void OnVesmarinStatus(int32_t type, int32_t ldev, const std::string& text, int32_t) override {
        std::lock_guard lock(mutex_);
        statuses_.push_back({type, ldev, text});
    }
    void OnVesmarinConnectionState(int32_t, int32_t) override {}
    void OnVesmarinStatusText(const std::string&) override {}
    void OnVesmarinClearView() override {}

    std::vector<PortStatus> Take() {
        std::lock_guard lock(mutex_);
        return std::exchange(statuses_, {});
    }

private:
    std::mutex mutex_;
    std::vector<PortStatus> statuses_;
};

// A wall time the test moves on by hand, with the tick running on, so that the start-up delay
// passes at once while the waits of the socket handshakes still run their course.
class SteppedWallClock : public platform::Clock {
public:
    explicit SteppedWallClock(platform::WallTime start) : now_(start) {}
    platform::WallTime Now() const override {
        std::lock_guard lock(mutex_);
        return now_;
    }
    uint64_t TickMs() const override { return platform::SystemClock().TickMs(); }
    void Advance(std::chrono::seconds by) {
        std::lock_guard lock(mutex_);
        now_ += by;
    }

private:
    mutable std::mutex mutex_;
    platform::WallTime now_;
};

class IsdnNodeTest : public ::testing::Test {
protected:
    // Network boards enough for line devices 1 to 60, and no IP boards, so that Global Call
    // stays stopped and every call runs on the ISDN functions.
    static constexpr const char* kBoards = "network 2 30\nip 0 0\n";

    IsdnNodeTest() : control_((dir_.path() / "control").string()) {}

    // The simulated boards' configuration; a family of tests that needs other boards says so.
    virtual std::string Boards() const { return kBoards; }

    void SetUp() override {
        SetEnv("RUZD_VENDOR_DIR", RUZD_TEST_BIN_DIR "/../vendor");
        SetEnv("BOARDSIM_CONTROL", (dir_.path() / "control").string());
        SetEnv("BOARDSIM_JOURNAL", JournalPath().string());
        std::ofstream(dir_.path() / "boards.conf") << Boards();
        SetEnv("BOARDSIM_CONFIG", (dir_.path() / "boards.conf").string());
        // CNINIT sets the clock from the central host's time server: one of the test's own.
        SetEnv(platform::kSntpPortVariable, std::to_string(timeServer_.port()));

        commandPort_ = FreePort();
        filePort_ = FreePort();
        foundation::CRegistry registry(kNodeRegistrySection);
        registry.WriteDword(kLocalTcpPortValue, static_cast<uint32_t>(commandPort_));
        registry.WriteDword(kLocalFileSocketTcpPortValue, static_cast<uint32_t>(filePort_));

        std::filesystem::create_directories(DebugFolder());
        foundation::StartDebugLog("C:\\Ruzd\\Debug\\Tav", 5, true, 0);
        // Every line is in its file once written, for the test to read at any time.
        foundation::StopDebugMessageThread();

        manager_ = std::make_shared<CVesmarinManager>(ManagerSettings{});
        manager_->Initialise(&statuses_);
        clock_.Advance(std::chrono::seconds(kDefaultStartupDelaySeconds));
        ActivateConnection();
    }

    void TearDown() override {
        peer_.reset();
        filePeer_.reset();
        // A running worker holds a share of the manager: it must end before the manager can
        // go, which must be before the test's status receiver goes.
        manager_->StopAllThreads();
        manager_.reset();
        foundation::StopDebugLog();
        for (const auto& [name, value] : savedEnvironment_) {
            if (value) {
                ::setenv(name.c_str(), value->c_str(), 1);
            } else {
                ::unsetenv(name.c_str());
            }
        }
    }

    // The file connection authorised, then CNINIT on the command connection, answered with
    // message 31.
    void ActivateConnection() {
        filePeer_ =
            net::filetest::CentralPeer::ConnectWhenListening(static_cast<uint16_t>(filePort_));
        ASSERT_TRUE(filePeer_->Connected());
        ASSERT_TRUE(filePeer_->Handshake(false));
        filePeer_->SendText("STARTS 2\r");
        ASSERT_EQ(filePeer_->ReadLine(), "STARTS 1");

        peer_ = std::make_unique<CommandPeer>(commandPort_);
        ASSERT_TRUE(peer_->IsConnected());
        peer_->Send(11, 1, [](net::COutputStreamSocket& writer) {
            writer.WriteInt(0).WriteString("127.0.0.1").WriteInt(12);
        });
        ASSERT_TRUE(peer_->ReceiveCode(31).has_value());
        ASSERT_TRUE(manager_->IsConnectedSocket(nullptr));
        // The first keep-alive of the connection also tells that the client socket is ready.
        peer_->SendInts(12, 2, {0});
        ASSERT_TRUE(peer_->ReceiveCode(1).has_value());
        ASSERT_TRUE(peer_->ReceiveCode(2).has_value());
    }

    // Waits until every command sent so far has run: a keep-alive's echo comes after them.
    void Sync() {
        static int32_t serial = 1000;
        const int32_t value = ++serial;
        peer_->SendInts(12, value, {value});
        for (;;) {
            const std::optional<Payload> payload = peer_->Receive();
            ASSERT_TRUE(payload.has_value()) << "no echo of the keep-alive";
            if (*payload == MessagePayload(1, [value](auto& w) { w.WriteInt(value); })) {
                return;
            }
            early_.push_back(*payload);
        }
    }

    // The replies that came before the last keep-alive's echo, and then those that come
    // within `patience`.
    std::vector<Payload> Replies(
        std::chrono::milliseconds patience = std::chrono::milliseconds(0)) {
        std::vector<Payload> replies = std::exchange(early_, {});
        while (std::optional<Payload> payload = peer_->Receive(patience)) {
            replies.push_back(*payload);
        }
        return replies;
    }

    // The next message of `code`, whether it came before the last keep-alive's echo or comes
    // later; messages of other codes that come meanwhile are dropped.
    std::optional<Payload> NextMessage(int32_t code) {
        for (auto it = early_.begin(); it != early_.end(); ++it) {
            if (LeadingInts(*it, 1) == std::vector<int32_t>{code}) {
                Payload payload = std::move(*it);
                early_.erase(it);
                return payload;
            }
        }
        return peer_->ReceiveCode(code, std::chrono::seconds(20));
    }

    std::string Control(const std::string& command) { return control_.Send(command); }

    // The simulated boards' vendor calls of the ISDN call control that commands made, without
    // their sequence numbers; `from` skips those listed before. The queries with which the
    // node describes each event are left out.
    std::vector<std::string> CallControlJournal(size_t from = 0) const {
        static const std::vector<std::string> kEventQueries = {
            "cc_GetCRN(",      "cc_GetDNIS(",    "cc_GetANI(",     "cc_CallState(",
            "cc_ResultValue(", "cc_GetSigInfo(", "cc_GetCallInfo("};
        std::vector<std::string> lines;
        std::ifstream in(JournalPath());
        for (std::string line; std::getline(in, line);) {
            const std::string entry = line.substr(line.find(' ') + 1);
            if (!entry.starts_with("libdtimt cc_")) {
                continue;
            }
            const std::string call = entry.substr(std::string("libdtimt ").size());
            bool query = false;
            for (const std::string& prefix : kEventQueries) {
                query = query || call.starts_with(prefix);
            }
            if (!query) {
                lines.push_back(call);
            }
        }
        lines.erase(lines.begin(), lines.begin() + static_cast<long>(std::min(from, lines.size())));
        return lines;
    }

    // The log is written by a thread of its own: it is made to write what it holds first.
    std::vector<std::string> DebugLines() const {
        foundation::StopDebugMessageThread();
        foundation::StartDebugMessageThread();
        return ruzd::testing::DebugLines(DebugFolder());
    }

    std::filesystem::path JournalPath() const { return dir_.path() / "journal"; }
    std::filesystem::path DebugFolder() const {
        return root_.path() / "drives" / "c" / "Ruzd" / "Debug";
    }

    // How the journal shows a pointer.
    static std::string Address(const void* pointer) {
        char text[32];
        std::snprintf(text, sizeof text, "0x%" PRIxPTR, reinterpret_cast<uintptr_t>(pointer));
        return text;
    }

    ruzd::testing::TempRoot root_;
    ruzd::testing::TempDir dir_;
    SteppedWallClock clock_{platform::WallTime{} + std::chrono::hours(24 * 365 * 50)};
    platform::ScopedClockOverride clockOverride_{clock_};
    StatusRecorder statuses_;
    ruzd::testing::SntpTestServer timeServer_;
    std::shared_ptr<CVesmarinManager> manager_;
    std::unique_ptr<net::filetest::CentralPeer> filePeer_;
    std::unique_ptr<CommandPeer> peer_;
    int commandPort_ = 0;
    int filePort_ = 0;

private:
    void SetEnv(const std::string& name, const std::string& value) {
        const char* old = ::getenv(name.c_str());
        savedEnvironment_.emplace_back(
            name, old != nullptr ? std::optional<std::string>(old) : std::nullopt);
        ::setenv(name.c_str(), value.c_str(), 1);
    }

    boardsim::ControlClient control_;
    std::vector<Payload> early_;
    std::vector<std::pair<std::string, std::optional<std::string>>> savedEnvironment_;
};

}  // namespace ruzd::node::testing
