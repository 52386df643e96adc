#include "testing/initialised_node.h"

#include "platform/sntp_client.h"

namespace ruzd::testing {
namespace {

constexpr int32_t kCNPING = 12;
constexpr int32_t kCNSTRT = 15;

}  // namespace

void InitialisedNodeTest::UseBoards(const std::string& boards) {
    WriteConfig(boards);
    environment_.Set(platform::kSntpPortVariable, std::to_string(time_server_.port()));
}

void InitialisedNodeTest::StartAndInitialise(std::vector<std::string> arguments, int32_t first_id) {
    node_ = StartNode(std::move(arguments));
    peer_ = std::make_unique<CommandPeer>(command_port_);
    ASSERT_TRUE(peer_->IsConnected()) << node_->Stderr();
    // Keep-alives are dropped without a word until the start-up delay has passed.
    ASSERT_TRUE(peer_->AwaitCommandsAccepted([this] { return node_->HasEnded(); }))
        << node_->Stderr();
    files_ = FilePeer::Authorised(file_port_);
    ASSERT_TRUE(files_);
    peer_->SendInit(first_id);
    init_answer_ = peer_->ReceiveCode(31);
    ASSERT_TRUE(init_answer_.has_value()) << node_->Stderr();
    peer_->SendInts(kCNSTRT, first_id + 1, {});
    // The first keep-alive of the active connection also brings message 2; both come after
    // the workers started.
    peer_->SendInts(kCNPING, first_id + 2, {78});
    ASSERT_TRUE(peer_->ReceiveCode(1).has_value());
    ASSERT_TRUE(peer_->ReceiveCode(2).has_value());
}

void InitialisedNodeTest::Settle(int32_t id) {
    peer_->SendInts(kCNPING, id, {id});
    ASSERT_TRUE(peer_->ReceiveCode(1).has_value()) << node_->Stderr();
}

int32_t InitialisedNodeTest::HandleOf(const std::string& device) {
    const std::string answer = Control("query device " + device);
    const size_t at = answer.find("handle=");
    return at == std::string::npos ? -1 : std::stoi(answer.substr(at + 7));
}

}  // namespace ruzd::testing
