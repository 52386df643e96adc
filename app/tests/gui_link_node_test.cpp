// The node's side of the local GUI link: the real node program with windows of the test's own
// (and of another user, through a helper program run under setpriv) on its link port, and the
// link in the test process for the node's message boxes.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/debug_settings.h"
#include "app/gui_link/callback_socket.h"
#include "app/gui_link/debug_settings_values.h"
#include "app/gui_link/gui_link_protocol.h"
#include "foundation/registry.h"
#include "foundation/threaded_message_box.h"
#include "net/input_stream_socket.h"
#include "node/vesmarin_manager.h"
#include "platform/event.h"
#include "platform/message_box.h"
#include "platform/message_queue.h"
#include "platform/thread.h"
#include "testing/child_program.h"
#include "testing/eventually.h"
#include "testing/gui_peer.h"
#include "testing/initialised_node.h"
#include "testing/injected_failure.h"
#include "testing/message_receiver.h"
#include "testing/os_for_tests.h"
#include "testing/temp_root.h"
#include "testing/tormbel_program.h"

namespace ruzd::app {
namespace {

namespace fs = std::filesystem;
using testing::GuiFrame;
using testing::GuiPeer;
using testing::MessagePayload;
using testing::Payload;

constexpr int32_t kDXOPEN = 45;
constexpr int32_t kVoice = 1;
// A start-up delay that no slow start uses up: the node waits it out only in tests that end
// before it does.
const std::string kLongStartupDelay = "-w600";

// "Request everything" as a window sends it, byte for byte.
const std::vector<uint8_t> kRequestEverything{0x01, 0x01, 0x00, 0x00, 0x00, 0xFF};

Payload PortStatus(int32_t type, int32_t ldev, const std::string& text, int32_t value) {
    return MessagePayload(kGuiPortStatus, [&](net::COutputStreamSocket& writer) {
        writer.WriteInt(type).WriteInt(ldev).WriteString(text).WriteInt(value);
    });
}

// The text of a message whose values are the id and one text.
std::string TextOf(const GuiFrame& frame) {
    const Payload payload = frame.payload();
    net::CInputStreamSocket reader(payload.data(), static_cast<int>(payload.size()));
    int32_t id = 0;
    std::string text;
    reader.ReadInt(id).ReadString(text);
    return text;
}

DebugSettings SettingsOf(const GuiFrame& frame) {
    const Payload payload = frame.payload();
    net::CInputStreamSocket reader(payload.data(), static_cast<int>(payload.size()));
    int32_t id = 0;
    reader.ReadInt(id);
    return ReadDebugSettingsValues(reader).value_or(DebugSettings{});
}

Payload SettingsPayload(const std::string& directory, int32_t files, int32_t type) {
    return MessagePayload(kGuiDebugSettings, [&](net::COutputStreamSocket& writer) {
        writer.WriteInt(1).WriteInt(2).WriteString(directory).WriteInt(files).WriteInt(type);
    });
}

// A window of another process, as the user "nobody" when the test may make one (as root, from
// a copy in `folder`), else as the test's own user; see gui_window_child.cpp for what it does
// and says.
std::unique_ptr<testing::ChildProgram> OtherWindow(const fs::path& folder, uint32_t port,
                                                   const std::string& path = {}) {
    std::vector<std::string> arguments{std::to_string(port)};
    if (!path.empty()) {
        arguments.push_back(path);
    }
    if (testing::RunningAsRoot()) {
        return testing::StartAsNobody("app_gui_window_child", arguments, folder);
    }
    return std::make_unique<testing::ChildProgram>(
        (testing::ProgramFolder() / "app_gui_window_child").string(), arguments);
}

// What the other window said once its connection ended or went quiet: its lines after
// "connected".
std::vector<std::string> HeardBy(testing::ChildProgram& window) {
    std::vector<std::string> lines;
    EXPECT_EQ(window.ReadLine(testing::kPatience), "connected");
    while (std::optional<std::string> line = window.ReadLine(testing::kPatience)) {
        lines.push_back(*line);
        if (*line == "closed" || *line == "silent" || line->rfind("file ", 0) == 0 ||
            line->rfind("answered ", 0) == 0) {
            break;
        }
    }
    return lines;
}

struct FileAnswerValues {
    int32_t request = 0;
    int32_t success = 0;
    std::string text;
    uint32_t length = 0;
    std::string contents;
    bool ok = false;
};

FileAnswerValues ReadFileAnswer(const GuiFrame& frame) {
    const Payload payload = frame.payload();
    net::CInputStreamSocket reader(payload.data(), static_cast<int>(payload.size()));
    FileAnswerValues values;
    int32_t id = 0;
    reader.ReadInt(id).ReadInt(values.request).ReadInt(values.success).ReadString(values.text);
    reader.ReadUInt(values.length);
    while (reader.IsOk() && reader.HasMoreData() && values.contents.size() < values.length) {
        const size_t chunk =
            std::min<size_t>(kGuiFileChunkBytes, values.length - values.contents.size());
        std::string bytes(chunk, '\0');
        reader.ReadBytes(reinterpret_cast<uint8_t*>(bytes.data()), static_cast<int>(chunk));
        values.contents += bytes;
    }
    values.ok = reader.IsOk() && !reader.HasMoreData() && id == kGuiFileAnswer;
    return values;
}

class GuiLinkNodeTest : public testing::InitialisedNodeTest {
protected:
    void SetUp() override { UseBoards("voice 1 4\n"); }

    // The node works inside the platform root, as it does when run as a service or by run.sh:
    // only there is its folder's tree served.
    fs::path Folder() const { return root_.path() / "node"; }
    void StartNodeInRoot(std::vector<std::string> arguments) {
        node_ =
            std::make_unique<testing::NodeProcess>(root_.path(), Folder(), std::move(arguments));
    }
    // The debug folder as the node names it to windows: its full host path.
    std::string ShownDebugFolder() const {
        return (fs::canonical(Folder()) / "debug").string() + "/";
    }

    // Asks for everything and returns the answers: 7, 1, 2, 3 and then `ports` port statuses.
    static std::vector<GuiFrame> RequestEverything(GuiPeer& window, size_t ports) {
        EXPECT_TRUE(window.Send(kRequestEverything));
        std::vector<GuiFrame> frames;
        std::optional<GuiFrame> version = window.NextWithId(kGuiVersion);
        if (!version) {
            ADD_FAILURE() << "no version message";
            return frames;
        }
        frames.push_back(*version);
        for (size_t i = 0; i < 3 + ports; ++i) {
            std::optional<GuiFrame> frame = window.Next();
            if (!frame) {
                ADD_FAILURE() << "the answer ends after " << frames.size() << " messages";
                break;
            }
            frames.push_back(*frame);
        }
        return frames;
    }

    FileAnswerValues RequestFile(GuiPeer& window, int32_t request, const std::string& path) {
        window.SendMessage(kGuiFileRequest, [&](net::COutputStreamSocket& writer) {
            writer.WriteInt(request).WriteString(path);
        });
        const std::optional<GuiFrame> frame = window.NextWithId(kGuiFileAnswer);
        EXPECT_TRUE(frame) << "no file answer for " << path;
        return frame ? ReadFileAnswer(*frame) : FileAnswerValues{};
    }
};

TEST_F(GuiLinkNodeTest, AWindowSeesTheStartupDelayAndTheDebugSettingsWithTheirFullPath) {
    StartNodeInRoot({"-debug", "-d", kLongStartupDelay});
    GuiPeer window = GuiPeer::Connect(gui_port_);
    ASSERT_TRUE(window.valid()) << node_->Stderr();

    // The start-up delay shows before anyone asked.
    const std::optional<GuiFrame> waiting = window.NextWithId(kGuiStatusText);
    ASSERT_TRUE(waiting);
    EXPECT_THAT(TextOf(*waiting), ::testing::MatchesRegex("Waiting [0-9]+ sec \\.\\.\\."));

    std::vector<GuiFrame> answer = RequestEverything(window, 0);
    ASSERT_EQ(answer.size(), 4u);
    EXPECT_EQ(answer[0].bytes, (std::vector<uint8_t>{0x01, 0x02, 0x07, 0x01, 0x00, 0x08, 0xFF}));
    // Initialise ends reporting (0, 1).
    EXPECT_EQ(answer[1].payload(), MessagePayload(kGuiConnectionState, [](auto& writer) {
                  writer.WriteInt(0).WriteInt(1);
              }));
    EXPECT_EQ(answer[2].id(), kGuiStatusText);
    // Logging on ("-d"), the default trace level and retention, and the default folder by the
    // full path of the folder the log writes to.
    EXPECT_EQ(answer[3].payload(), SettingsPayload(ShownDebugFolder(), 1000, 0));
    EXPECT_TRUE(fs::is_directory(ShownDebugFolder()));
    // No port has reported yet: what follows is the next status text.
    const std::optional<GuiFrame> next = window.Next();
    ASSERT_TRUE(next);
    EXPECT_EQ(next->id(), kGuiStatusText);

    // The settings sent back with that path and other numbers: the registry keeps its own text
    // for the folder.
    window.SendMessage(kGuiSetDebugSettings, [&](net::COutputStreamSocket& writer) {
        writer.WriteInt(1).WriteInt(2).WriteString(ShownDebugFolder()).WriteInt(7).WriteInt(2);
    });
    std::optional<GuiFrame> settings = window.NextWithId(kGuiDebugSettings);
    ASSERT_TRUE(settings);
    EXPECT_EQ(settings->payload(), SettingsPayload(ShownDebugFolder(), 7, 2));
    foundation::CRegistry registry(node::kNodeRegistrySection);
    uint32_t value = 0;
    EXPECT_TRUE(registry.ReadDword(kMaxDebugFilesValue, &value));
    EXPECT_EQ(value, 7u);
    EXPECT_TRUE(registry.ReadDword(kDebugFileTypeValue, &value));
    EXPECT_EQ(value, 2u);
    std::string directory;
    EXPECT_TRUE(registry.ReadString(kDebugDirectoryValue, directory));
    EXPECT_EQ(directory, ".\\debug\\");

    // Another folder is taken as the user wrote it; one on a drive of the platform root is
    // shown by its Windows path, which names it from anywhere.
    fs::create_directories(root_.path() / "drives" / "c" / "NodeLogs");
    window.SendMessage(kGuiSetDebugSettings, [](net::COutputStreamSocket& writer) {
        writer.WriteInt(1).WriteInt(2).WriteString("c:\\NodeLogs").WriteInt(7).WriteInt(2);
    });
    settings = window.NextWithId(kGuiDebugSettings);
    ASSERT_TRUE(settings);
    EXPECT_EQ(SettingsOf(*settings).directory, "C:\\NodeLogs\\");
    EXPECT_TRUE(registry.ReadString(kDebugDirectoryValue, directory));
    EXPECT_EQ(directory, "c:\\NodeLogs\\");
    // The same folder by another spelling changes nothing.
    window.SendMessage(kGuiSetDebugSettings, [](net::COutputStreamSocket& writer) {
        writer.WriteInt(1).WriteInt(2).WriteString("C:\\NODELOGS\\").WriteInt(8).WriteInt(2);
    });
    settings = window.NextWithId(kGuiDebugSettings);
    ASSERT_TRUE(settings);
    EXPECT_EQ(SettingsOf(*settings).maxFilesToKeep, 8u);
    EXPECT_TRUE(registry.ReadString(kDebugDirectoryValue, directory));
    EXPECT_EQ(directory, "c:\\NodeLogs\\");
}

// What a user asks for in a window replaces a value of the other type, as the Windows registry
// would; the node's own default written back at start keeps the user's line.
TEST_F(GuiLinkNodeTest, AWindowsChangeReplacesAValueOfTheOtherType) {
    foundation::CRegistry registry(node::kNodeRegistrySection);
    ASSERT_TRUE(registry.ReplaceString(kMaxDebugFilesValue, "5"));
    StartNodeInRoot({"-debug", "-d", kLongStartupDelay});
    GuiPeer window = GuiPeer::Connect(gui_port_);
    ASSERT_TRUE(window.valid()) << node_->Stderr();
    std::vector<GuiFrame> answer = RequestEverything(window, 0);
    ASSERT_EQ(answer.size(), 4u);
    EXPECT_EQ(SettingsOf(answer[3]).maxFilesToKeep, kDefaultMaxDebugFiles);
    std::string text;
    EXPECT_TRUE(registry.ReadString(kMaxDebugFilesValue, text));
    EXPECT_EQ(text, "5");

    window.SendMessage(kGuiSetDebugSettings, [&](net::COutputStreamSocket& writer) {
        writer.WriteInt(1).WriteInt(2).WriteString(ShownDebugFolder()).WriteInt(997).WriteInt(2);
    });
    const std::optional<GuiFrame> settings = window.NextWithId(kGuiDebugSettings);
    ASSERT_TRUE(settings);
    EXPECT_EQ(SettingsOf(*settings).maxFilesToKeep, 997u);
    uint32_t value = 0;
    EXPECT_TRUE(registry.ReadDword(kMaxDebugFilesValue, &value));
    EXPECT_EQ(value, 997u);
    EXPECT_THAT(testing::ReadWholeFile(root_.path() / "registry.reg"),
                ::testing::HasSubstr("\"Max Debug Files To Keep\"=dword:000003e5"));
    EXPECT_THAT(node_->Stderr(), ::testing::Not(::testing::HasSubstr("not saved")));
}

// A registry lock file that another account owns, and holds, is refused at once: the node
// starts and serves its windows all the same, and a change it cannot save is said with the
// reason and not shown as if it were in force.
TEST_F(GuiLinkNodeTest, ALockFileOfAnotherAccountCostsNoStartAndAChangeNotSavedIsSaid) {
    ASSERT_TRUE(testing::RunningAsRoot()) << "only root may act as another account";
    fs::permissions(root_.path(), fs::perms::others_exec, fs::perm_options::add);
    const fs::path lock = root_.path() / "registry.reg.lock";
    ASSERT_TRUE(fs::exists(lock));
    ASSERT_TRUE(testing::GiveToNobody(lock));
    testing::AnotherAccountLock holder("-x", lock);
    ASSERT_TRUE(holder.Holds());
    const std::string before = testing::ReadWholeFile(root_.path() / "registry.reg");

    StartNodeInRoot({"-debug", "-d", kLongStartupDelay});
    GuiPeer window = GuiPeer::Connect(gui_port_);
    ASSERT_TRUE(window.valid()) << node_->Stderr();
    ASSERT_EQ(RequestEverything(window, 0).size(), 4u);
    window.SendMessage(kGuiSetDebugSettings, [&](net::COutputStreamSocket& writer) {
        writer.WriteInt(1).WriteInt(2).WriteString(ShownDebugFolder()).WriteInt(997).WriteInt(2);
    });
    const std::optional<GuiFrame> settings = window.NextWithId(kGuiDebugSettings);
    ASSERT_TRUE(settings);
    EXPECT_EQ(SettingsOf(*settings).maxFilesToKeep, kDefaultMaxDebugFiles);
    EXPECT_EQ(SettingsOf(*settings).fileType, 0u);
    const std::string line = "\"Max Debug Files To Keep\" (997) is not saved: the lock file " +
                             lock.string() + " belongs to another account (uid 65534";
    EXPECT_TRUE(testing::Eventually([&] {
        return node_->Stderr().find("Pelwix: " + line) != std::string::npos;
    })) << node_->Stderr();
    EXPECT_TRUE(node_->WaitForLog(line)) << node_->DebugLog();
    EXPECT_EQ(testing::ReadWholeFile(root_.path() / "registry.reg"), before);
    // Every write of the node that fails says so, not only the window's: a default the boards'
    // settings write back at start, once.
    const std::string board_line = "Pelwix: \"HMP1_Port\" (65535) is not saved: the lock file ";
    const std::string said = node_->Stderr();
    EXPECT_NE(said.find(board_line), std::string::npos) << said;
    EXPECT_EQ(said.find(board_line), said.rfind(board_line)) << said;
    // The link answers on.
    EXPECT_EQ(RequestEverything(window, 0).size(), 4u);
}

TEST_F(GuiLinkNodeTest, EveryWindowSeesTheStateInReportOrderAndTheSettingsInForce) {
    StartNodeInRoot({"-debug", "-d"});
    GuiPeer first = GuiPeer::Connect(gui_port_);
    ASSERT_TRUE(first.valid()) << node_->Stderr();
    ASSERT_TRUE(first.NextWithId(kGuiStatusText));
    ASSERT_EQ(RequestEverything(first, 0).size(), 4u);

    // A central server opens two voice channels, the later one first.
    Initialise(2);
    peer_->SendInts(kDXOPEN, 10, {3, 1, 1});
    ASSERT_TRUE(peer_->ReceiveCode(8).has_value());
    peer_->SendInts(kDXOPEN, 11, {1, 1, 1});
    ASSERT_TRUE(peer_->ReceiveCode(8).has_value());
    ASSERT_TRUE(first.NextWithId(kGuiPortStatus));
    ASSERT_TRUE(first.NextWithId(kGuiPortStatus));

    // A second window's request answers both windows, the ports in the order they first
    // reported.
    GuiPeer second = GuiPeer::Connect(gui_port_);
    ASSERT_TRUE(second.NextWithId(kGuiStatusText));
    std::vector<GuiFrame> answer = RequestEverything(second, 2);
    ASSERT_EQ(answer.size(), 6u);
    std::vector<GuiFrame> again = RequestEverything(first, 2);
    ASSERT_EQ(again.size(), 6u);
    for (const auto* frames : {&answer, &again}) {
        EXPECT_EQ((*frames)[1].payload(), MessagePayload(kGuiConnectionState, [](auto& writer) {
                      writer.WriteInt(1).WriteInt(0);
                  }));
        EXPECT_EQ((*frames)[4].payload(), PortStatus(kVoice, 3, "Idle", 0));
        EXPECT_EQ((*frames)[5].payload(), PortStatus(kVoice, 1, "Idle", 0));
    }

    // New settings reach the registry, and both windows hear the settings now in force.
    second.SendMessage(kGuiSetDebugSettings, [](net::COutputStreamSocket& writer) {
        writer.WriteInt(1).WriteInt(2).WriteString(".\\debug").WriteInt(7).WriteInt(2);
    });
    const Payload settings = SettingsPayload(ShownDebugFolder(), 7, 2);
    // Each window got the whole state twice (once for each request) before the new settings.
    for (GuiPeer* window : {&first, &second}) {
        std::optional<GuiFrame> frame;
        do {
            frame = window->NextWithId(kGuiDebugSettings);
        } while (frame && frame->payload() != settings);
        EXPECT_TRUE(frame) << "no settings message with the new settings";
    }
    uint32_t value = 0;
    EXPECT_TRUE(
        foundation::CRegistry(node::kNodeRegistrySection).ReadDword(kMaxDebugFilesValue, &value));
    EXPECT_EQ(value, 7u);
}

TEST_F(GuiLinkNodeTest, FilesInsideTheNodesFolderAreServedAndNothingElse) {
    fs::create_directories(Folder());
    std::ofstream(Folder() / "hello.txt", std::ios::binary) << "hello\r\nwindow";
    std::ofstream(Folder() / "empty.txt", std::ios::binary);
    const std::string big(kGuiMaxFileBytes, 'b');
    std::ofstream(Folder() / "big.bin", std::ios::binary) << big;
    std::ofstream(Folder() / "bigger.bin", std::ios::binary) << big << 'c';
    // Outside the node's folder: on drive C of the platform root, and linked from inside.
    const fs::path outside = root_.path() / "drives" / "c" / "secret.txt";
    fs::create_directories(outside.parent_path());
    std::ofstream(outside) << "secret";
    fs::create_symlink(outside, Folder() / "link.txt");

    StartNodeInRoot({"-debug", "-d"});
    GuiPeer window = GuiPeer::Connect(gui_port_);
    ASSERT_TRUE(window.valid()) << node_->Stderr();
    GuiPeer other = GuiPeer::Connect(gui_port_);

    FileAnswerValues answer = RequestFile(window, 1, "hello.txt");
    EXPECT_TRUE(answer.ok);
    EXPECT_EQ(answer.request, 1);
    EXPECT_EQ(answer.success, 1);
    EXPECT_EQ(answer.text, "hello.txt");
    EXPECT_EQ(answer.contents, "hello\r\nwindow");

    answer = RequestFile(window, 2, ".\\empty.txt");
    EXPECT_TRUE(answer.ok);
    EXPECT_EQ(answer.success, 1);
    EXPECT_EQ(answer.length, 0u);

    // The largest file comes whole, in one frame of the three-byte length form.
    window.SendMessage(kGuiFileRequest, [](net::COutputStreamSocket& writer) {
        writer.WriteInt(3).WriteString("big.bin");
    });
    const std::optional<GuiFrame> frame = window.NextWithId(kGuiFileAnswer);
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->bytes[0], 3);
    answer = ReadFileAnswer(*frame);
    EXPECT_TRUE(answer.ok);
    EXPECT_EQ(answer.length, kGuiMaxFileBytes);
    EXPECT_TRUE(answer.contents == big);

    const auto refused = [&](int32_t request, const std::string& path, const std::string& text) {
        const FileAnswerValues values = RequestFile(window, request, path);
        EXPECT_TRUE(values.ok) << path;
        EXPECT_EQ(values.success, 0) << path;
        EXPECT_EQ(values.text, text);
        EXPECT_EQ(values.length, 0u) << path;
    };
    refused(4, "bigger.bin", "File too big (.\\bigger.bin)");
    refused(5, "missing.txt", "File Not Found (.\\missing.txt)");
    refused(6, "C:\\secret.txt", "File Not Found (C:\\secret.txt)");
    refused(7, "link.txt", "File Not Found (.\\link.txt)");
    refused(8, "..\\..\\drives\\c\\secret.txt", "File Not Found (..\\..\\drives\\c\\secret.txt)");

    // An unknown id and a request without its path are passed over; the connection stays.
    window.SendMessage(9, [](net::COutputStreamSocket& writer) { writer.WriteInt(1); });
    window.SendMessage(kGuiFileRequest,
                       [](net::COutputStreamSocket& writer) { writer.WriteInt(9); });
    answer = RequestFile(window, 10, "hello.txt");
    EXPECT_EQ(answer.request, 10);
    EXPECT_EQ(answer.success, 1);

    // A debug file by the full path of the debug folder, as a window names it.
    ASSERT_TRUE(node_->WaitForLog(std::string(100, '-')));
    std::string debugFile;
    for (const auto& entry : fs::directory_iterator(Folder() / "debug")) {
        debugFile = entry.path().filename().string();
    }
    answer = RequestFile(window, 11, ShownDebugFolder() + debugFile);
    EXPECT_EQ(answer.success, 1) << answer.text;
    EXPECT_EQ(answer.text, ShownDebugFolder() + debugFile);
    EXPECT_THAT(answer.contents, ::testing::HasSubstr(std::string(100, '-')));
    const std::string climbing = ShownDebugFolder() + "..\\..\\drives\\c\\secret.txt";
    refused(12, climbing, "File Not Found (" + climbing + ")");
    // The answers went to the window that asked only.
    EXPECT_FALSE(other.NextWithId(kGuiFileAnswer, std::chrono::milliseconds(300)));
    EXPECT_TRUE(node_->WaitForLog("GUI link: a file request that does not read is dropped"));
}

// A debug file whose reads fail (as on a failing disk: strace makes each read of it fail for
// real) is refused with the reason, never served cut short as if it were whole.
TEST_F(GuiLinkNodeTest, ADebugFileThatCannotBeReadIsRefusedWithTheReason) {
    StartNodeInRoot({"-debug", "-d"});
    GuiPeer window = GuiPeer::Connect(gui_port_);
    ASSERT_TRUE(window.valid()) << node_->Stderr();
    ASSERT_TRUE(node_->WaitForLog(std::string(100, '-')));
    fs::path debugFile;
    for (const auto& entry : fs::directory_iterator(Folder() / "debug")) {
        debugFile = fs::canonical(entry.path());
    }
    const std::string asked = ShownDebugFolder() + debugFile.filename().string();
    {
        testing::InjectedFailure failing(node_->pid(), debugFile, "read", "EIO");
        ASSERT_TRUE(failing.active()) << failing.Output();
        const FileAnswerValues answer = RequestFile(window, 1, asked);
        EXPECT_TRUE(answer.ok);
        EXPECT_EQ(answer.success, 0);
        EXPECT_THAT(answer.text, ::testing::StartsWith("Could not read ("));
        EXPECT_THAT(answer.text, ::testing::HasSubstr(debugFile.filename().string() +
                                                      "): An input/output error occurred"));
        EXPECT_EQ(answer.length, 0u);
    }
    // Once it reads again, the same request is served whole.
    const FileAnswerValues answer = RequestFile(window, 2, asked);
    EXPECT_EQ(answer.success, 1) << answer.text;
    EXPECT_EQ(answer.text, asked);
    EXPECT_THAT(answer.contents, ::testing::HasSubstr(std::string(100, '-')));
}

TEST_F(GuiLinkNodeTest, ListensOnLoopbackUnlessTheRegistryNamesEveryInterface) {
    node_ = StartNode({"-debug", "-d"});
    ASSERT_TRUE(GuiPeer::Connect(gui_port_).valid()) << node_->Stderr();
    EXPECT_FALSE(testing::RawConnection::ConnectTo("127.0.0.2", gui_port_).valid());
    node_.reset();

    ASSERT_TRUE(foundation::CRegistry(node::kNodeRegistrySection)
                    .WriteString(kGuiBindAddressValue, "0.0.0.0"));
    node_ = StartNode({"-debug", "-d"});
    ASSERT_TRUE(GuiPeer::Connect(gui_port_).valid()) << node_->Stderr();
    // A window of this machine on another of its addresses is still known by its user.
    GuiPeer window(testing::RawConnection::ConnectTo("127.0.0.2", gui_port_));
    ASSERT_TRUE(window.valid());
    EXPECT_TRUE(window.NextWithId(kGuiStatusText));
    EXPECT_TRUE(node_->WaitForLog(
        "GUI link: listening on 0.0.0.0; windows of other machines are served only from "
        "\"Central Server Addresses\", which is empty: none is"));
}

TEST_F(GuiLinkNodeTest, AWindowOfAnotherUserGetsNothingAndChangesNothing) {
    fs::create_directories(Folder());
    std::ofstream(Folder() / "hello.txt", std::ios::binary) << "hello";
    StartNodeInRoot({"-debug", "-d"});
    GuiPeer owner = GuiPeer::Connect(gui_port_);
    ASSERT_TRUE(owner.valid()) << node_->Stderr();
    ASSERT_TRUE(owner.NextWithId(kGuiStatusText));
    const std::vector<GuiFrame> before = RequestEverything(owner, 0);
    ASSERT_EQ(before.size(), 4u);

    // It asks for everything, sends settings of its own and asks for a file of the node's.
    std::unique_ptr<testing::ChildProgram> stranger =
        OtherWindow(work_.path(), gui_port_, "hello.txt");
    std::vector<std::string> heard = HeardBy(*stranger);
    if (!testing::RunningAsRoot()) {
        // Only root can be another user here: a window of the node's own user in another
        // process is served.
        EXPECT_THAT(heard, ::testing::Contains("file 1 hello.txt"));
        return;
    }
    // Closed before any message: not a byte of the node's came.
    EXPECT_EQ(heard, std::vector<std::string>{"closed"});
    // Refused once more within the minute: logged once.
    stranger = OtherWindow(work_.path(), gui_port_, "hello.txt");
    EXPECT_EQ(HeardBy(*stranger), std::vector<std::string>{"closed"});

    // Nothing changed: the owner's window still sees the settings as they were, the registry
    // holds them, and the owner is served as before.
    const std::vector<GuiFrame> after = RequestEverything(owner, 0);
    ASSERT_EQ(after.size(), 4u);
    EXPECT_EQ(after[3].payload(), before[3].payload());
    EXPECT_EQ(SettingsOf(after[3]).enabled, 1);
    foundation::CRegistry registry(node::kNodeRegistrySection);
    uint32_t value = 0;
    EXPECT_TRUE(registry.ReadDword(kMaxDebugFilesValue, &value));
    EXPECT_EQ(value, kDefaultMaxDebugFiles);
    EXPECT_TRUE(registry.ReadDword(kDebugFileTypeValue, &value));
    EXPECT_EQ(value, 0u);
    std::string directory;
    EXPECT_FALSE(registry.ReadString(kDebugDirectoryValue, directory)) << directory;
    const FileAnswerValues answer = RequestFile(owner, 1, "hello.txt");
    EXPECT_EQ(answer.success, 1);
    EXPECT_EQ(answer.contents, "hello");

    // A request that does not read is logged after both refusals, which gave one line.
    owner.SendMessage(kGuiFileRequest,
                      [](net::COutputStreamSocket& writer) { writer.WriteInt(9); });
    ASSERT_TRUE(node_->WaitForLog("GUI link: a file request that does not read is dropped"));
    const std::string log = node_->DebugLog();
    const std::string refusal = "GUI link: window of user 65534 (nobody) at 127.0.0.1:";
    const size_t first = log.find(refusal);
    ASSERT_NE(first, std::string::npos) << log;
    EXPECT_EQ(log.find(refusal, first + 1), std::string::npos);
    EXPECT_THAT(log,
                ::testing::HasSubstr(" refused: only user 0 (root) and root may use the link"));
}

TEST_F(GuiLinkNodeTest, ANodeStartedOutsideThePlatformRootServesItsDebugFilesOnly) {
    // Started from "/", as an init script would start it, with its debug files on drive C of
    // the platform root.
    const fs::path logs = root_.path() / "drives" / "c" / "NodeLogs";
    fs::create_directories(logs);
    foundation::CRegistry(node::kNodeRegistrySection)
        .WriteString(kDebugDirectoryValue, "C:\\NodeLogs");
    const testing::TempDir output;
    node_ = std::make_unique<testing::NodeProcess>(
        root_.path(), "/", std::vector<std::string>{"-debug", "-d"}, std::vector<std::string>{},
        fs::path(), 0, output.path());
    GuiPeer window = GuiPeer::Connect(gui_port_);
    ASSERT_TRUE(window.valid()) << node_->Stderr();

    const auto refused = [&](int32_t request, const std::string& path) {
        const FileAnswerValues values = RequestFile(window, request, path);
        EXPECT_TRUE(values.ok) << path;
        EXPECT_EQ(values.success, 0) << path;
        EXPECT_EQ(values.text, "File Not Found (" + path + ")");
        EXPECT_EQ(values.length, 0u) << path;
    };
    refused(1, "etc\\shadow");
    refused(2, ".\\etc\\passwd");
    refused(3, "..\\etc\\hostname");

    // Its debug files still come, by the path the link shows for their folder.
    ASSERT_TRUE(testing::Eventually([&] { return !fs::is_empty(logs); }));
    const std::string name = fs::directory_iterator(logs)->path().filename().string();
    window.SendMessage(kGuiRequestEverything);
    const std::optional<GuiFrame> settings = window.NextWithId(kGuiDebugSettings);
    ASSERT_TRUE(settings);
    EXPECT_EQ(SettingsOf(*settings).directory, "C:\\NodeLogs\\");
    const FileAnswerValues answer = RequestFile(window, 4, "C:\\NodeLogs\\" + name);
    EXPECT_EQ(answer.success, 1) << answer.text;
    EXPECT_THAT(answer.contents, ::testing::HasSubstr(std::string(100, '-')));
}

TEST_F(GuiLinkNodeTest, APortOutsideOneTo65535StopsTheStartWithAClearError) {
    foundation::CRegistry(node::kNodeRegistrySection).WriteDword(kGuiPortValue, 65536 + gui_port_);
    StartNodeInRoot({"-debug", "-d"});
    EXPECT_EQ(node_->WaitForExit(), 1);
    const std::string line = "The registry's \"Local GUI TCP port\" is " +
                             std::to_string(65536 + gui_port_) +
                             ", which is no TCP port (1 to 65535).";
    EXPECT_THAT(node_->Stderr(), ::testing::HasSubstr(line));
    EXPECT_THAT(node_->DebugLog(), ::testing::HasSubstr("FATAL ERROR: " + line));
    // Nothing started: neither the port the number would have been cut to nor the node's own.
    EXPECT_FALSE(testing::RawConnection::Connect(gui_port_).valid());
    EXPECT_FALSE(testing::RawConnection::Connect(command_port_).valid());
}

TEST(GuiLinkPortTest, AMissingPortOrTheFilePortGivesTheDefaultWrittenBackAndNoPortNone) {
    testing::TempRoot root;
    foundation::CRegistry registry(node::kNodeRegistrySection);
    uint32_t written = 0;
    EXPECT_EQ(ReadGuiLinkPort(), kDefaultGuiPort);
    EXPECT_TRUE(registry.ReadDword(kGuiPortValue, &written));
    EXPECT_EQ(written, kDefaultGuiPort);
    registry.WriteDword(kGuiPortValue, 9071);
    EXPECT_EQ(ReadGuiLinkPort(), kDefaultGuiPort);
    EXPECT_TRUE(registry.ReadDword(kGuiPortValue, &written));
    EXPECT_EQ(written, kDefaultGuiPort);
    EXPECT_EQ(GuiLinkPortProblem(), std::nullopt);
    // No TCP port: none at all, the value stays for its author to see, and the start names it.
    for (const uint32_t port : {0u, 70000u}) {
        registry.WriteDword(kGuiPortValue, port);
        EXPECT_EQ(ReadGuiLinkPort(), std::nullopt);
        EXPECT_TRUE(registry.ReadDword(kGuiPortValue, &written));
        EXPECT_EQ(written, port);
        EXPECT_EQ(GuiLinkPortProblem(), "The registry's \"Local GUI TCP port\" is " +
                                            std::to_string(port) +
                                            ", which is no TCP port (1 to 65535).");
    }
    registry.WriteDword(kGuiPortValue, 9100);
    EXPECT_EQ(ReadGuiLinkPort(), 9100u);
    EXPECT_EQ(GuiLinkPortProblem(), std::nullopt);
    // The bind address: a dotted address as it stands, anything else loopback.
    EXPECT_EQ(ReadGuiBindAddress(), "127.0.0.1");
    registry.WriteString(kGuiBindAddressValue, "no address");
    EXPECT_EQ(ReadGuiBindAddress(), "127.0.0.1");
    registry.WriteString(kGuiBindAddressValue, "0.0.0.0");
    EXPECT_EQ(ReadGuiBindAddress(), "0.0.0.0");
}

// The node's message boxes, with the link in the test process on a real port.
class GuiLinkMessageBoxTest : public ::testing::Test {
protected:
    GuiLinkMessageBoxTest() { link_.Listen(); }

    std::future<int32_t> Ask() {
        return std::async(std::launch::async, [this] {
            return link_.ShowMessageBox(false, "Disk full?", platform::kMbYesNo, 77);
        });
    }

    testing::TempRoot root_;
    testing::TempDir programs_;
    const uint32_t port_ = testing::WriteGuiPort();
    CVesmarinCallbackSocket link_{{[] { return DebugSettings{}; }, [](const DebugSettings&) {}}};
};

TEST_F(GuiLinkMessageBoxTest, AWindowsAnswerIsTheResultAndSilenceEndsAtTheBound) {
    EXPECT_EQ(link_.Port(), port_);
    // Nobody to ask: the default button at once.
    EXPECT_EQ(
        link_.ShowMessageBox(false, "Nobody?", platform::kMbYesNo | platform::kMbDefaultButton2, 0),
        platform::kIdNo);

    GuiPeer window = GuiPeer::Connect(port_);
    ASSERT_TRUE(testing::Eventually([&] { return link_.HasWindows(); }));
    link_.SetMessageBoxLimitMs(60000);
    std::future<int32_t> result = Ask();
    const std::optional<GuiFrame> box = window.NextWithId(kGuiShowMessageBox);
    ASSERT_TRUE(box);
    EXPECT_EQ(
        box->payload(), MessagePayload(kGuiShowMessageBox, [](auto& writer) {
            writer.WriteInt(1).WriteInt(0).WriteString("Disk full?").WriteUInt(4).WriteUInt(77);
        }));
    // Answer to request 1: OK (1), no text, flag 1.
    window.Send({0x01, 0x05, 0x03, 0x01, 0x01, 0x80, 0x01, 0x00, 0x86, 0xFF});
    EXPECT_EQ(result.get(), 1);

    // No answer: the bound ends the wait, and a late answer changes nothing.
    link_.SetMessageBoxLimitMs(300);
    result = Ask();
    ASSERT_TRUE(window.NextWithId(kGuiShowMessageBox));
    EXPECT_EQ(result.get(), static_cast<int32_t>(foundation::kMessageBoxTimedOut));
    window.Send({0x01, 0x05, 0x03, 0x02, 0x01, 0x80, 0x01, 0x00, 0x87, 0xFF});
    result = Ask();
    ASSERT_TRUE(window.NextWithId(kGuiShowMessageBox));
    EXPECT_EQ(result.get(), static_cast<int32_t>(foundation::kMessageBoxTimedOut));
}

TEST_F(GuiLinkMessageBoxTest, OnlyTheOwnersWindowsAnswer) {
    link_.SetMessageBoxLimitMs(600000);
    // Another user's window is closed before it hears of any box.
    std::unique_ptr<testing::ChildProgram> stranger = OtherWindow(programs_.path(), port_);
    std::future<int32_t> result;
    if (!testing::RunningAsRoot()) {
        // Only root can be another user here: the owner's window in another process answers.
        ASSERT_TRUE(testing::Eventually([&] { return link_.HasWindows(); }));
        result = Ask();
        EXPECT_THAT(HeardBy(*stranger), ::testing::Contains("answered 1"));
        EXPECT_EQ(result.get(), 77);
        return;
    }
    EXPECT_EQ(HeardBy(*stranger), std::vector<std::string>{"closed"});
    EXPECT_FALSE(link_.HasWindows());

    GuiPeer window = GuiPeer::Connect(port_);
    ASSERT_TRUE(testing::Eventually([&] { return link_.HasWindows(); }));
    stranger = OtherWindow(programs_.path(), port_);
    EXPECT_EQ(HeardBy(*stranger), std::vector<std::string>{"closed"});
    result = Ask();
    ASSERT_TRUE(window.NextWithId(kGuiShowMessageBox));
    // Answer to request 1: Yes (6).
    window.SendMessage(kGuiAnswer, [](net::COutputStreamSocket& writer) {
        writer.WriteInt(1).WriteInt(platform::kIdYes).WriteString("").WriteInt(1);
    });
    EXPECT_EQ(result.get(), platform::kIdYes);
}

// A box the application thread raised gives way to a quit: the wait ends with the time-out's
// answer, and the thread's message loop still sees the quit.
TEST_F(GuiLinkMessageBoxTest, AQuitEndsTheApplicationThreadsWait) {
    link_.SetMessageBoxLimitMs(600000);
    GuiPeer window = GuiPeer::Connect(port_);
    ASSERT_TRUE(testing::Eventually([&] { return link_.HasWindows(); }));
    platform::Event go(true);
    std::atomic<int32_t> result{0};
    std::atomic<int> loopExit{-1};
    platform::Thread application("application");
    application.Start([&] {
        platform::EnsureMessageQueue();
        go.Wait(platform::kInfinite);
        result = link_.ShowMessageBox(true, "Stop?", platform::kMbYesNo, 0);
        loopExit = platform::RunMessageLoop([](platform::Message&) {});
    });
    testing::AppOnThread app(application.id());
    foundation::ScopedApp installed(app);
    go.Set();
    const std::optional<GuiFrame> box = window.NextWithId(kGuiShowMessageBox);
    ASSERT_TRUE(box);
    EXPECT_EQ(box->payload(), MessagePayload(kGuiShowMessageBox, [](auto& writer) {
                  writer.WriteInt(1).WriteInt(1).WriteString("Stop?").WriteUInt(4).WriteUInt(0);
              }));
    platform::PostThreadMessage(application.id(), platform::kWmQuit, 5);
    application.Join();
    EXPECT_EQ(result.load(), static_cast<int32_t>(foundation::kMessageBoxTimedOut));
    EXPECT_EQ(loopExit.load(), 5);
}

}  // namespace
}  // namespace ruzd::app
