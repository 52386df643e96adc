#pragma once

// A manager started in a temporary platform root over the simulated boards, with the boards'
// control socket and journal in a temporary folder, a debug log to read back, a status receiver
// that records what it hears, and a clock the test moves past the start-up delay.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "boardsim/control/control_client.h"
#include "foundation/debug_log.h"
#include "foundation/registry.h"
#include "node/tests/central_peer.h"
#include "node/vesmarin_manager.h"
#include "platform/clock.h"
#include "platform/event.h"
#include "platform/thread.h"
#include "testing/debug_files.h"
#include "testing/temp_root.h"

namespace ruzd::node::testing {

// Records every report of the manager.
class RecordingCallback : public CVesmarinManagerCallback {
public:
    struct Status {
        int32_t portType;
        int32_t ldev;
        std::string text;
        bool operator==(const Status&) const = default;
    };

    void OnVesmarinManagerStop() override {}
    void OnVesmarinStatus(int32_t portType, int32_t ldev, const std::string& text,
                          int32_t) override {
        std::lock_guard lock(mutex_);
        statuses_.push_back({portType, ldev, text});
    }
    void OnVesmarinConnectionState(int32_t connected, int32_t starting) override {
        std::lock_guard lock(mutex_);
        states_.emplace_back(connected, starting);
    }
    void OnVesmarinStatusText(const std::string&) override {}
    void OnVesmarinClearView() override {}

    std::vector<std::pair<int32_t, int32_t>> states() const {
        std::lock_guard lock(mutex_);
        return states_;
    }
    std::vector<Status> statuses() const {
        std::lock_guard lock(mutex_);
        return statuses_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::pair<int32_t, int32_t>> states_;
    std::vector<Status> statuses_;
};

// Waits until `done` holds, at most kPatience; whether it did.
inline bool Eventually(const std::function<bool()>& done) {
    const auto deadline = Clock::now() + kPatience;
    while (!done()) {
        if (Clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

class ManagerOnBoardsTest : public ::testing::Test {
protected:
    ManagerOnBoardsTest() : control_((boards_.path() / "control").string()) {
        Set("RUZD_VENDOR_DIR", RUZD_TEST_BIN_DIR "/../vendor");
        Set("BOARDSIM_CONTROL", (boards_.path() / "control").string());
        Set("BOARDSIM_JOURNAL", journal().string());
        // No IP boards by default: with them the manager starts Global Call on its own, and the
        // events would come the Global Call way. A test may rewrite the file before Start().
        WriteBoardConfig("ip 0 0\n");
        Set("BOARDSIM_CONFIG", boardConfig().string());
        port_ = FreePort();
        foundation::CRegistry registry(kNodeRegistrySection);
        registry.WriteDword(kLocalTcpPortValue, port_);
        registry.WriteDword(kLocalFileSocketTcpPortValue, FreePort());
        std::filesystem::create_directories(debugFolder());
        foundation::StartDebugLog("C:\\Ruzd\\Debug\\Tav", 5, true, 0);
    }

    ~ManagerOnBoardsTest() override {
        Release();
        foundation::StopDebugLog();
        for (const auto& [name, value] : saved_) {
            if (value) {
                ::setenv(name.c_str(), value->c_str(), 1);
            } else {
                ::unsetenv(name.c_str());
            }
        }
    }

    std::filesystem::path boardConfig() const { return boards_.path() / "boards.cfg"; }
    void WriteBoardConfig(const std::string& text) const {
        std::ofstream(boardConfig(), std::ios::trunc) << text;
    }

    // Starts the manager (the vendor libraries load here) and lets the start-up delay pass.
    CVesmarinManager& Start() {
        destroyed_.Reset();
        // The deleter tells when the manager is gone, on whichever thread let it go last.
        manager_ = std::shared_ptr<CVesmarinManager>(new CVesmarinManager(ManagerSettings{}),
                                                     [this](CVesmarinManager* manager) {
                                                         destroyedOn_ = platform::CurrentThreadId();
                                                         delete manager;
                                                         destroyed_.Set();
                                                     });
        manager_->Initialise(&callback_);
        clock_.Advance(std::chrono::seconds(kDefaultStartupDelaySeconds));
        return *manager_;
    }

    // A central server connected to the command port, past the start-up delay: its keep-alive
    // has been answered, so the listener sends it every event.
    std::unique_ptr<CentralPeer> Connect() {
        auto peer = std::make_unique<CentralPeer>(static_cast<int>(port_));
        EXPECT_TRUE(peer->IsConnected());
        peer->Send(12, 1, {1});
        EXPECT_EQ(peer->Receive(), (std::vector<int32_t>{1, 1}));
        return peer;
    }

    // Stops the workers, which hold shares of the manager, and waits until the last share is
    // gone, whichever thread let it go.
    void Release() {
        if (!manager_) {
            return;
        }
        manager_->StopAllThreads();
        manager_.reset();
        EXPECT_EQ(destroyed_.Wait(60000), platform::kWaitObject0);
    }

    // Loads the vendor libraries from `folder` instead of the build's simulated boards.
    void UseVendorFolder(const std::filesystem::path& folder) {
        Set("RUZD_VENDOR_DIR", folder.string());
    }

    std::string Control(const std::string& command) { return control_.Send(command); }

    // The debug log's lines so far.
    std::vector<std::string> LogLines() const { return ruzd::testing::DebugLines(debugFolder()); }
    // How many lines of the log end with `text`, once at least `awaited` do (the log is written
    // by a thread of its own) or the patience ran out.
    size_t CountLogLines(const std::string& text, size_t awaited = 0) const {
        const auto count = [&] {
            size_t found = 0;
            for (const std::string& line : LogLines()) {
                if (line.size() >= text.size() &&
                    line.compare(line.size() - text.size(), text.size(), text) == 0) {
                    ++found;
                }
            }
            return found;
        };
        Eventually([&] { return count() >= awaited; });
        return count();
    }
    // Whether a line of the log holds `text`, waiting for it at most the patience.
    bool Logged(const std::string& text) const {
        return Eventually([&] {
            for (const std::string& line : LogLines()) {
                if (line.find(text) != std::string::npos) {
                    return true;
                }
            }
            return false;
        });
    }

    // How many times the journal shows `function` called so far.
    size_t CountCalls(const std::string& function) const {
        std::ifstream journal(this->journal());
        size_t count = 0;
        for (std::string line; std::getline(journal, line);) {
            if (line.find(" " + function + "(") != std::string::npos) {
                ++count;
            }
        }
        return count;
    }

    std::filesystem::path journal() const { return boards_.path() / "journal"; }
    std::filesystem::path debugFolder() const {
        return root_.path() / "drives" / "c" / "Ruzd" / "Debug";
    }

    ruzd::testing::TempRoot root_;
    ruzd::testing::TempDir boards_;
    platform::ManualClock clock_{platform::WallTime{} + std::chrono::hours(24 * 365 * 50)};
    platform::ScopedClockOverride clockOverride_{clock_};
    RecordingCallback callback_;
    uint32_t port_ = 0;
    std::shared_ptr<CVesmarinManager> manager_;
    platform::Event destroyed_{true};
    std::atomic<uint32_t> destroyedOn_{0};  // the thread that let the last share go

private:
    void Set(const std::string& name, const std::string& value) {
        const char* old = ::getenv(name.c_str());
        saved_.emplace_back(name, old != nullptr ? std::optional<std::string>(old) : std::nullopt);
        ::setenv(name.c_str(), value.c_str(), 1);
    }

    boardsim::ControlClient control_;
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

}  // namespace ruzd::node::testing
