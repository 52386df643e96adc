// The node's side of the local GUI link: the real node program with windows of the test's own
// on its link port, and the link in the test process for the node's message boxes.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <future>
#include <string>
#include <vector>

#include "app/debug_settings.h"
#include "app/gui_link/callback_socket.h"
#include "app/gui_link/gui_link_protocol.h"
#include "foundation/registry.h"
#include "foundation/threaded_message_box.h"
#include "net/input_stream_socket.h"
#include "node/vesmarin_manager.h"
#include "platform/event.h"
#include "platform/message_box.h"
#include "platform/message_queue.h"
#include "platform/thread.h"
#include "testing/gui_peer.h"
#include "testing/initialised_node.h"
#include "testing/message_receiver.h"
#include "testing/temp_root.h"

namespace ruzd::app {
namespace {

namespace fs = std::filesystem;
using testing::GuiFrame;
using testing::GuiPeer;
using testing::MessagePayload;
using testing::Payload;

constexpr int32_t kDXOPEN = 45;
constexpr int32_t kVoice = 1;
constexpr std::chrono::milliseconds kQuiet{1500};

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

    fs::path Folder() const { return work_.path() / "node"; }

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

TEST_F(GuiLinkNodeTest, WindowsSeeTheStateInReportOrderAndChangeTheDebugSettings) {
    node_ = StartNode({"-debug", "-d", "-w3"});
    GuiPeer first = GuiPeer::Connect(gui_port_);
    ASSERT_TRUE(first.valid()) << node_->Stderr();

    // The start-up delay shows before anyone asked.
    const std::optional<GuiFrame> waiting = first.NextWithId(kGuiStatusText);
    ASSERT_TRUE(waiting);
    EXPECT_THAT(TextOf(*waiting), ::testing::MatchesRegex("Waiting [0-9]+ sec \\.\\.\\."));

    std::vector<GuiFrame> answer = RequestEverything(first, 0);
    ASSERT_EQ(answer.size(), 4u);
    EXPECT_EQ(answer[0].bytes, (std::vector<uint8_t>{0x01, 0x02, 0x07, 0x01, 0x00, 0x08, 0xFF}));
    // Initialise ends reporting (0, 1).
    EXPECT_EQ(answer[1].payload(), MessagePayload(kGuiConnectionState, [](auto& writer) {
                  writer.WriteInt(0).WriteInt(1);
              }));
    EXPECT_EQ(answer[2].id(), kGuiStatusText);
    // Logging on ("-d"), the default trace level, the default folder and retention.
    EXPECT_EQ(
        answer[3].payload(), MessagePayload(kGuiDebugSettings, [](auto& writer) {
            writer.WriteInt(1).WriteInt(2).WriteString(".\\debug\\").WriteInt(1000).WriteInt(0);
        }));
    // No port has reported yet: what follows is the next status text.
    const std::optional<GuiFrame> next = first.Next();
    ASSERT_TRUE(next);
    EXPECT_EQ(next->id(), kGuiStatusText);

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
    answer = RequestEverything(second, 2);
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
    const Payload settings = MessagePayload(kGuiDebugSettings, [](auto& writer) {
        writer.WriteInt(1).WriteInt(2).WriteString(".\\debug\\").WriteInt(7).WriteInt(2);
    });
    // Each window got the whole state twice (once for each request) before the new settings.
    for (GuiPeer* window : {&first, &second}) {
        std::optional<GuiFrame> frame;
        do {
            frame = window->NextWithId(kGuiDebugSettings);
        } while (frame && frame->payload() != settings);
        EXPECT_TRUE(frame) << "no settings message with the new settings";
    }
    foundation::CRegistry registry(node::kNodeRegistrySection);
    uint32_t value = 0;
    EXPECT_TRUE(registry.ReadDword(kMaxDebugFilesValue, &value));
    EXPECT_EQ(value, 7u);
    EXPECT_TRUE(registry.ReadDword(kDebugFileTypeValue, &value));
    EXPECT_EQ(value, 2u);
    std::string directory;
    EXPECT_TRUE(registry.ReadString(kDebugDirectoryValue, directory));
    EXPECT_EQ(directory, ".\\debug\\");
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

    node_ = StartNode({"-debug", "-d"});
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
    // The answers went to the window that asked only.
    EXPECT_FALSE(other.NextWithId(kGuiFileAnswer, std::chrono::milliseconds(300)));
    EXPECT_TRUE(node_->WaitForLog("GUI link: a file request that does not read is dropped"));
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
    EXPECT_TRUE(testing::RawConnection::ConnectTo("127.0.0.2", gui_port_).valid());
}

TEST(GuiLinkPortTest, AMissingPortOrTheFilePortGivesTheDefaultWrittenBack) {
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
    // No TCP port: the default, and the value stays for its author to see.
    registry.WriteDword(kGuiPortValue, 70000);
    EXPECT_EQ(ReadGuiLinkPort(), kDefaultGuiPort);
    EXPECT_TRUE(registry.ReadDword(kGuiPortValue, &written));
    EXPECT_EQ(written, 70000u);
    registry.WriteDword(kGuiPortValue, 9100);
    EXPECT_EQ(ReadGuiLinkPort(), 9100u);
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
