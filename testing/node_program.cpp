#include "testing/node_program.h"

#include "testing/child_program.h"
#include "testing/eventually.h"
#include "testing/simulated_boards.h"

namespace ruzd::testing {
NodeProcess::NodeProcess(const std::filesystem::path& root, const std::filesystem::path& workdir,
                         std::vector<std::string> arguments)
    : workdir_(workdir), stderr_path_(workdir / "stderr.txt") {
    std::filesystem::create_directories(workdir);
    ProgramStart start;
    start.program = ProgramFolder() / "Pelwix";
    start.arguments = std::move(arguments);
    start.environment = {"RUZD_ROOT=" + root.string(),
                         "RUZD_VENDOR_DIR=" + SimulatedBoards::VendorFolder().string()};
    start.folder = workdir;
    start.stderr_file = stderr_path_;
    const pid_t pid = StartProgram(start);
    EXPECT_GT(pid, 0) << "the node program did not start";
    if (pid > 0) {
        child_ = std::make_unique<platform::ChildProcess>(pid);
    }
}

NodeProcess::~NodeProcess() {
    if (!HasEnded()) {
        KillProgram(child_->pid());
        child_->ended().Wait(10000);
    }
}

bool NodeProcess::HasEnded() const {
    return child_ == nullptr || child_->HasEnded();
}

void NodeProcess::Signal(int number) {
    if (child_ != nullptr) {
        SendSignal(child_->pid(), number);
    }
}

std::optional<int> NodeProcess::WaitForExit() {
    if (child_ == nullptr || child_->ended().Wait(60000) != platform::kWaitObject0) {
        return std::nullopt;
    }
    return child_->ExitCode();
}

std::string NodeProcess::Stderr() const {
    return ReadWholeFile(stderr_path_);
}

std::string NodeProcess::DebugLog() const {
    std::string all;
    const auto folder = workdir_ / "debug";
    if (!std::filesystem::is_directory(folder)) {
        return all;
    }
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().extension() == ".deb") {
            all += ReadWholeFile(entry.path());
        }
    }
    return all;
}

bool NodeProcess::WaitForLog(const std::string& text) const {
    return Eventually([&] { return DebugLog().find(text) != std::string::npos; });
}

CentralSession StartCentralSession(const NodeProcess& node, uint32_t commandPort, uint32_t filePort,
                                   int32_t firstId) {
    constexpr int32_t kCNPING = 12;
    constexpr int32_t kCNSTRT = 15;
    CentralSession session;
    auto commands = std::make_unique<CommandPeer>(commandPort);
    if (!commands->IsConnected()) {
        ADD_FAILURE() << "no command connection: " << node.Stderr();
        return session;
    }
    // Keep-alives are dropped without a word until the start-up delay has passed.
    if (!commands->AwaitCommandsAccepted([&node] { return node.HasEnded(); })) {
        ADD_FAILURE() << "commands never accepted: " << node.Stderr();
        return session;
    }
    session.commands = std::move(commands);
    session.files = FilePeer::Authorised(filePort);
    if (!session.files) {
        ADD_FAILURE() << "the file connection was not authorised";
        return session;
    }
    session.commands->SendInit(firstId);
    EXPECT_TRUE(session.commands->ReceiveCode(31).has_value()) << node.Stderr();
    session.commands->SendInts(kCNSTRT, firstId + 1, {});
    // The first keep-alive of the active connection also brings message 2; both come after
    // the workers started.
    session.commands->SendInts(kCNPING, firstId + 2, {78});
    EXPECT_TRUE(session.commands->ReceiveCode(1).has_value());
    EXPECT_TRUE(session.commands->ReceiveCode(2).has_value());
    return session;
}

std::unique_ptr<NodeProcess> NodeProgramTest::StartNode(std::vector<std::string> arguments,
                                                        const std::string& folder) {
    return std::make_unique<NodeProcess>(root_.path(), work_.path() / folder, std::move(arguments));
}

}  // namespace ruzd::testing
