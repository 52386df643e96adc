#include "testing/manager_on_boards.h"

#include <algorithm>

#include "foundation/debug_log.h"
#include "platform/sntp_client.h"
#include "platform/thread.h"
#include "testing/debug_files.h"
#include "testing/eventually.h"

namespace ruzd::testing {

void ManagerReports::OnVesmarinManagerStop() {
    std::lock_guard lock(mutex_);
    ++stops_;
}

void ManagerReports::OnVesmarinStatus(int32_t type, int32_t ldev, const std::string& text,
                                      int32_t) {
    std::lock_guard lock(mutex_);
    statuses_.push_back({type, ldev, text});
}

void ManagerReports::OnVesmarinConnectionState(int32_t connected, int32_t starting) {
    std::lock_guard lock(mutex_);
    states_.emplace_back(connected, starting);
}

void ManagerReports::OnVesmarinStatusText(const std::string& text) {
    std::lock_guard lock(mutex_);
    texts_.push_back(text);
}

int ManagerReports::stops() const {
    std::lock_guard lock(mutex_);
    return stops_;
}

std::vector<ManagerReports::State> ManagerReports::states() const {
    std::lock_guard lock(mutex_);
    return states_;
}

std::vector<PortStatus> ManagerReports::statuses() const {
    std::lock_guard lock(mutex_);
    return statuses_;
}

std::vector<PortStatus> ManagerReports::Take() {
    std::lock_guard lock(mutex_);
    return std::exchange(statuses_, {});
}

std::vector<std::string> ManagerReports::StatusLines() const {
    std::vector<std::string> lines;
    for (const PortStatus& status : statuses()) {
        lines.push_back(std::to_string(status.type) + "/" + std::to_string(status.ldev) + " " +
                        status.text);
    }
    return lines;
}

std::vector<std::string> ManagerReports::TakeTexts() {
    std::lock_guard lock(mutex_);
    return std::exchange(texts_, {});
}

std::optional<std::string> ManagerReports::LastText() const {
    std::lock_guard lock(mutex_);
    if (texts_.empty()) {
        return std::nullopt;
    }
    return texts_.back();
}

ManagerOnBoardsTest::~ManagerOnBoardsTest() {
    Release();
    if (log_started_) {
        foundation::StopDebugLog();
    }
}

void ManagerOnBoardsTest::StartDebugLog() {
    std::filesystem::create_directories(DebugFolder());
    foundation::StartDebugLog("C:\\Ruzd\\Debug\\Tav", 5, true, 0);
    log_started_ = true;
}

node::CVesmarinManager& ManagerOnBoardsTest::Start(node::ManagerSettings settings,
                                                   node::CVesmarinManagerCallback* callback) {
    destroyed_.Reset();
    // The deleter tells when the manager is gone, on whichever thread let it go last.
    manager_ = std::shared_ptr<node::CVesmarinManager>(
        new node::CVesmarinManager(settings), [this](node::CVesmarinManager* manager) {
            destroyed_on_ = platform::CurrentThreadId();
            delete manager;
            destroyed_.Set();
        });
    manager_->Initialise(callback != nullptr ? callback : &callback_);
    clock_.Advance(std::chrono::seconds(node::kDefaultStartupDelaySeconds));
    return *manager_;
}

void ManagerOnBoardsTest::Release() {
    if (!manager_) {
        return;
    }
    manager_->StopAllThreads();
    manager_.reset();
    EXPECT_EQ(destroyed_.Wait(60000), platform::kWaitObject0);
}

std::unique_ptr<CommandPeer> ManagerOnBoardsTest::Connect() {
    auto peer = std::make_unique<CommandPeer>(command_port_);
    EXPECT_TRUE(peer->IsConnected());
    peer->SendInts(12, 1, {1});
    EXPECT_EQ(peer->ReceiveInts(), (std::vector<int32_t>{1, 1}));
    return peer;
}

std::unique_ptr<CommandPeer> ManagerOnBoardsTest::ConnectCentral() {
    auto peer = std::make_unique<CommandPeer>(command_port_);
    EXPECT_TRUE(peer->IsConnected());
    central_files_ = FilePeer::Authorised(file_port_);
    EXPECT_TRUE(central_files_);
    if (!central_time_) {
        central_time_ = std::make_unique<SntpTestServer>();
        environment_.Set(platform::kSntpPortVariable, std::to_string(central_time_->port()));
    }
    peer->SendInit(1);
    EXPECT_TRUE(peer->ReceiveCode(31).has_value());
    peer->SendInts(12, 2, {1});
    EXPECT_EQ(LeadingInts(peer->ReceiveCode(1).value_or(Payload{}), 2),
              (std::vector<int32_t>{1, 1}));
    return peer;
}

std::filesystem::path ManagerOnBoardsTest::DebugFolder() const {
    return root_.path() / "drives" / "c" / "Ruzd" / "Debug";
}

std::vector<std::string> ManagerOnBoardsTest::LogLines() const {
    return DebugLines(DebugFolder());
}

size_t ManagerOnBoardsTest::CountLogLines(const std::string& text, size_t awaited) const {
    const auto count = [&] {
        const std::vector<std::string> lines = LogLines();
        return static_cast<size_t>(std::count_if(
            lines.begin(), lines.end(), [&](const auto& line) { return line.ends_with(text); }));
    };
    Eventually([&] { return count() >= awaited; });
    return count();
}

bool ManagerOnBoardsTest::Logged(const std::string& text) const {
    return Eventually([&] {
        const std::vector<std::string> lines = LogLines();
        return std::any_of(lines.begin(), lines.end(),
                           [&](const auto& line) { return line.find(text) != std::string::npos; });
    });
}

std::vector<std::string> ManagerOnBoardsTest::LinesOnceLogged(const std::string& text) const {
    std::vector<std::string> lines;
    const bool logged = Eventually([&] {
        lines = LogLines();
        return std::any_of(lines.begin(), lines.end(),
                           [&](const auto& line) { return line.ends_with(text); });
    });
    EXPECT_TRUE(logged) << "no line ends in: " << text;
    return lines;
}

}  // namespace ruzd::testing
