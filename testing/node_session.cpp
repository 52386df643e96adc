#include "testing/node_session.h"

#include "platform/sntp_client.h"

namespace ruzd::testing {
namespace {

constexpr int32_t kCNPING = 12;
constexpr int32_t kCNSTRT = 15;

}  // namespace

NodeSessionTest::NodeSessionTest(const std::string& boards) {
    WriteConfig(boards);
    environment_.Set(platform::kSntpPortVariable, std::to_string(time_server_.port()));
}

std::optional<Payload> NodeSessionTest::StartAndInitialise() {
    node_ = StartNode({"-debug", "-d"});
    peer_ = std::make_unique<CommandPeer>(command_port_);
    EXPECT_TRUE(peer_->IsConnected()) << node_->Stderr();
    // Keep-alives are dropped without a word until the start-up delay has passed.
    if (!peer_->IsConnected() ||
        !peer_->AwaitCommandsAccepted([this] { return node_->HasEnded(); })) {
        ADD_FAILURE() << "the node accepts no commands: " << node_->Stderr();
        return std::nullopt;
    }
    files_ = FilePeer::Authorised(file_port_);
    if (!files_) {
        ADD_FAILURE() << "the file connection was not authorised";
        return std::nullopt;
    }
    peer_->SendInit(2);
    std::optional<Payload> init = peer_->ReceiveCode(31);
    if (!init) {
        ADD_FAILURE() << "no answer to CNINIT: " << node_->Stderr();
        return std::nullopt;
    }
    peer_->SendInts(kCNSTRT, 3, {});
    // The first keep-alive of the active connection also brings message 2; both come after the
    // workers started.
    peer_->SendInts(kCNPING, 4, {78});
    if (!peer_->ReceiveCode(1) || !peer_->ReceiveCode(2)) {
        ADD_FAILURE() << "the keep-alive after CNSTRT was not answered";
        return std::nullopt;
    }
    return init;
}

int32_t NodeSessionTest::HandleOf(const std::string& device) {
    const std::string answer = Control("query device " + device);
    const size_t at = answer.find("handle=");
    return at == std::string::npos ? -1 : std::stoi(answer.substr(at + 7));
}

}  // namespace ruzd::testing
