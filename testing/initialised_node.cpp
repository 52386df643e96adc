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
    Initialise(first_id);
}

void InitialisedNodeTest::Initialise(int32_t first_id) {
    peer_ = std::make_unique<CommandPeer>(command_port_);
    ASSERT_TRUE(peer_->IsConnected()) << NodeErrors();
    // Keep-alives are dropped without a word until the start-up delay has passed.
    ASSERT_TRUE(peer_->AwaitCommandsAccepted([this] { return node_ && node_->HasEnded(); }))
        << NodeErrors();
    if (on_commands_accepted_) {
        on_commands_accepted_();
    }
    files_ = FilePeer::Authorised(file_port_);
    ASSERT_TRUE(files_);
    peer_->SendInit(first_id);
    init_answer_ = peer_->ReceiveCode(31);
    ASSERT_TRUE(init_answer_.has_value()) << NodeErrors();
    peer_->SendInts(kCNSTRT, first_id + 1, {});
    // The first keep-alive of the active connection also brings message 2; both come after
    // the workers started, and so may the first device events, which are kept for the test.
    peer_->SendInts(kCNPING, first_id + 2, {78});
    std::vector<Payload> events;
    bool echoed = false;
    bool ready = false;
    while (!echoed || !ready) {
        std::optional<Payload> message = peer_->Receive();
        ASSERT_TRUE(message.has_value()) << "the keep-alive after CNSTRT was not answered";
        const std::vector<int32_t> leading = LeadingInts(*message, 1);
        if (leading == std::vector<int32_t>{1}) {
            echoed = true;
        } else if (leading == std::vector<int32_t>{2}) {
            ready = true;
        } else {
            events.push_back(std::move(*message));
        }
    }
    peer_->Unread(events);
}

void InitialisedNodeTest::Settle(int32_t id) {
    peer_->SendInts(kCNPING, id, {id});
    ASSERT_TRUE(peer_->ReceiveCode(1).has_value()) << NodeErrors();
}

std::string InitialisedNodeTest::NodeErrors() const {
    return node_ ? node_->Stderr() : std::string();
}

int32_t InitialisedNodeTest::HandleOf(const std::string& device) {
    const std::string answer = Control("query device " + device);
    const size_t at = answer.find("handle=");
    return at == std::string::npos ? -1 : std::stoi(answer.substr(at + 7));
}

}  // namespace ruzd::testing
