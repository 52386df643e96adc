#include "testing/node_on_boards.h"

#include <cstdio>
#include <utility>

#include "node/central_message_code.h"
#include "node/command_codes.h"
#include "platform/sntp_client.h"

namespace ruzd::testing {
namespace {

constexpr int32_t kCNPING = static_cast<int32_t>(node::CommandCode::kCNPING);
constexpr int32_t kCNSTRT = static_cast<int32_t>(node::CommandCode::kCNSTRT);
constexpr int32_t kPingEcho = static_cast<int32_t>(node::CentralMessageCode::kPingEcho);
constexpr int32_t kInitReply = static_cast<int32_t>(node::CentralMessageCode::kInitReply);

}  // namespace

NodeOnBoards::NodeOnBoards(const std::string& boards, std::vector<std::string> arguments,
                           Setup setup) {
    environment_.Unset("BOARDSIM_JOURNAL");
    environment_.Set(platform::kSntpPortVariable, std::to_string(time_server_.port()));
    boards_.WriteConfig(boards);
    if (setup.prepare) {
        setup.prepare(root_.path());
    }
    // Headless, as a node without a window runs.
    arguments.insert(arguments.begin(), "-debug");
    node_ = std::make_unique<NodeProcess>(root_.path(), folder(), std::move(arguments),
                                          std::vector<std::string>{}, std::filesystem::path{},
                                          setup.max_open_files);
    peer_ = std::make_unique<CommandPeer>(command_port_, [this] { return node_->HasEnded(); });
    ready_ =
        peer_->IsConnected() && peer_->AwaitCommandsAccepted([this] { return node_->HasEnded(); });
    if (!ready_) {
        std::fprintf(stderr, "the node does not accept commands: %s\n", node_->Stderr().c_str());
    }
}

bool NodeOnBoards::Init() {
    if (!files_ && !(files_ = FilePeer::Authorised(file_port_))) {
        std::fprintf(stderr, "the file connection was not authorised\n");
        return false;
    }
    peer_->SendInit(NextId());
    if (!peer_->ReceiveCode(kInitReply)) {
        std::fprintf(stderr, "CNINIT was not answered: %s\n", node_->Stderr().c_str());
        return false;
    }
    return true;
}

bool NodeOnBoards::StartWorkers() {
    peer_->SendInts(kCNSTRT, NextId(), {});
    if (!Ping()) {
        std::fprintf(stderr, "no keep-alive answered after CNSTRT: %s\n", node_->Stderr().c_str());
        return false;
    }
    return true;
}

bool NodeOnBoards::Ping() {
    peer_->SendInts(kCNPING, NextId(), {7});
    return peer_->ReceiveCode(kPingEcho).has_value();
}

void NodeOnBoards::Reconnect() {
    peer_.reset();
    peer_ = std::make_unique<CommandPeer>(command_port_);
}

}  // namespace ruzd::testing
