// The window's side of the local GUI link against a node of the test's own: a fake service on a
// real port, a fake view that records what the link reports, and a fake presenter that answers
// the boxes.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "app/gui_link/gui_link_protocol.h"
#include "app/gui_link/gui_socket.h"
#include "app/gui_link/status_view.h"
#include "app/vesmarin_app.h"
#include "foundation/app_hooks.h"
#include "foundation/debug_file.h"
#include "foundation/registry.h"
#include "foundation/threaded_message_box.h"
#include "net/input_stream_socket.h"
#include "node/vesmarin_manager.h"
#include "platform/message_box.h"
#include "testing/eventually.h"
#include "testing/gui_peer.h"
#include "testing/node_program.h"
#include "testing/scoped_environment.h"
#include "testing/temp_root.h"

namespace ruzd::app {
namespace {

namespace fs = std::filesystem;
using testing::GuiFrame;
using testing::GuiPeer;
using testing::MessagePayload;

const std::vector<uint8_t> kRequestEverything{0x01, 0x01, 0x00, 0x00, 0x00, 0xFF};

// A view as the status window is one: every call becomes the window message it posts, written
// down as a line.
class RecordingView : public StatusView {
public:
    void OnVesmarinManagerStop() override { Add("stop"); }
    void OnVesmarinStatus(int32_t type, int32_t ldev, const std::string& text,
                          int32_t value) override {
        std::ostringstream line;
        line << std::hex << StatusViewMessageOf(type) << std::dec << " " << StatusKey(ldev, value)
             << " " << text;
        Add(line.str());
    }
    void OnVesmarinConnectionState(int32_t connected, int32_t starting) override {
        Add("8000 " + std::to_string(connected) + " " + std::to_string(starting));
    }
    void OnVesmarinStatusText(const std::string& text) override { Add("8009 " + text); }
    void OnVesmarinClearView() override { Add("clear"); }

    // Waits for a line, and drops it and those before it.
    bool Saw(const std::string& line) {
        return SawMatching([&line](const std::string& seen) { return seen == line; });
    }
    bool SawMatching(const std::function<bool(const std::string&)>& wanted) {
        std::unique_lock lock(lock_);
        const bool seen = changed_.wait_for(lock, testing::kPatience, [&] {
            return std::find_if(lines_.begin(), lines_.end(), wanted) != lines_.end();
        });
        if (seen) {
            lines_.erase(lines_.begin(), std::find_if(lines_.begin(), lines_.end(), wanted) + 1);
        }
        return seen;
    }
    std::vector<std::string> Lines() {
        std::lock_guard lock(lock_);
        return lines_;
    }

private:
    void Add(const std::string& line) {
        std::lock_guard lock(lock_);
        lines_.push_back(line);
        changed_.notify_all();
    }

    std::mutex lock_;
    std::condition_variable changed_;
    std::vector<std::string> lines_;
};

class GuiLinkWindowTest : public ::testing::Test {
protected:
    GuiLinkWindowTest() {
        environment_.Set("TMPDIR", temp_.path().string());
        foundation::CRegistry registry(node::kNodeRegistrySection);
        registry.WriteDword(kGuiPortValue, service_.port());
        platform::SetMessageBoxPresenter(
            [this](const std::string& text, const std::string&, uint32_t) {
                std::lock_guard lock(boxes_lock_);
                boxes_.push_back(text);
                return answer_.load();
            });
    }
    ~GuiLinkWindowTest() override {
        link_.reset();
        foundation::StopThreadedMessageBox();
        platform::SetMessageBoxPresenter({});
    }

    // The window's connection once the service has spoken on it and the window asked for
    // everything: a connection the companion starts anew before that is taken again.
    GuiPeer Attach() {
        for (;;) {
            GuiPeer peer(service_.Accept());
            if (!peer.valid()) {
                ADD_FAILURE() << "the window does not connect";
                return peer;
            }
            peer.SendMessage(kGuiStatusText, [](auto& writer) { writer.WriteString("Ready"); });
            std::optional<GuiFrame> request = peer.Next();
            if (request) {
                EXPECT_EQ(request->bytes, kRequestEverything);
                return peer;
            }
        }
    }

    std::string FileIn(const std::string& name) { return link_->GetTempFolder() + name; }

    testing::TempRoot root_;
    testing::TempDir temp_;
    testing::ScopedEnvironment environment_;
    testing::RawListener service_;
    CVesmarinApp app_{foundation::kRunModeAttachedWindow, {}};
    foundation::ScopedApp installed_{app_};
    std::atomic<int> answer_{platform::kIdOk};
    std::mutex boxes_lock_;
    std::vector<std::string> boxes_;
    RecordingView view_;
    std::unique_ptr<CVesmarinGUISocket> link_;
};

TEST_F(GuiLinkWindowTest, AsksOnceTheServiceSpokeMirrorsItAndStartsAnewWhenTold) {
    link_ = std::make_unique<CVesmarinGUISocket>(&view_);
    EXPECT_TRUE(view_.Saw("8009 NOT CONNECTED TO SERVICE"));
    {
        // Nothing is asked of a service that says nothing.
        GuiPeer silent(service_.Accept());
        ASSERT_TRUE(silent.valid());
        EXPECT_TRUE(silent.connection().StaysQuiet(std::chrono::milliseconds(300)));
    }
    GuiPeer service = Attach();
    EXPECT_TRUE(view_.Saw("8009 Ready"));
    service.SendMessage(kGuiPortStatus, [](auto& writer) {
        writer.WriteInt(3).WriteInt(5).WriteString("Idle").WriteInt(7);
    });
    service.SendMessage(kGuiConnectionState, [](auto& writer) { writer.WriteInt(1).WriteInt(0); });
    service.SendMessage(kGuiDebugSettings, [](auto& writer) {
        writer.WriteInt(1).WriteInt(3).WriteString("C:\\Logs\\").WriteInt(12).WriteInt(5);
    });
    service.SendMessage(kGuiVersion, [](auto& writer) { writer.WriteInt(1); });
    EXPECT_TRUE(view_.Saw("8002 5007 Idle"));
    EXPECT_TRUE(view_.Saw("8000 1 0"));
    ASSERT_TRUE(testing::Eventually([&] { return app_.GetDebugSettings().maxFilesToKeep == 12; }));
    const DebugSettings stored = app_.GetDebugSettings();
    EXPECT_EQ(stored.enabled, 1);
    EXPECT_EQ(stored.traceLevel, 3);
    EXPECT_EQ(stored.directory, "C:\\Logs\\");
    EXPECT_EQ(stored.fileType, 5u);
    // Asked once per connection; a message that does not read changes nothing.
    service.SendMessage(kGuiPortStatus, [](auto& writer) { writer.WriteInt(3); });
    service.SendMessage(kGuiStatusText, [](auto& writer) { writer.WriteString("Still"); });
    EXPECT_TRUE(view_.Saw("8009 Still"));
    EXPECT_TRUE(service.connection().StaysQuiet(std::chrono::milliseconds(300)));

    // Another version: the user is told and the window connects anew.
    service.SendMessage(kGuiVersion, [](auto& writer) { writer.WriteInt(2); });
    EXPECT_TRUE(service.connection().WaitClosed());
    EXPECT_TRUE(view_.Saw("clear"));
    EXPECT_TRUE(view_.Saw("8009 NOT CONNECTED TO SERVICE"));
    ASSERT_TRUE(testing::Eventually([&] {
        std::lock_guard lock(boxes_lock_);
        return !boxes_.empty() && boxes_.back() == CVesmarinGUISocket::kUpgradeText;
    }));
    GuiPeer again = Attach();

    // The service goes away: the view empties and says so.
    again.connection().Close();
    EXPECT_TRUE(view_.Saw("clear"));
    EXPECT_TRUE(view_.Saw("8009 NOT CONNECTED TO SERVICE"));
}

TEST_F(GuiLinkWindowTest, FetchesFilesIntoTheTemporaryFolderAndNothingHalfOrOutside) {
    link_ = std::make_unique<CVesmarinGUISocket>(&view_);
    GuiPeer service = Attach();
    const auto fetch = [&](const std::string& path) {
        return std::async(std::launch::async, [this, path] {
            std::string text;
            const int32_t result = link_->RequestFile(path, text);
            return std::make_pair(result, text);
        });
    };
    // Answers the next file request with `name`, `length` and these byte strings.
    const auto answer = [&](const std::string& name, uint32_t length,
                            const std::vector<std::string>& chunks) {
        const std::optional<GuiFrame> request = service.NextWithId(kGuiFileRequest);
        ASSERT_TRUE(request);
        const testing::Payload payload = request->payload();
        net::CInputStreamSocket reader(payload.data(), static_cast<int>(payload.size()));
        int32_t id = 0;
        int32_t requestId = 0;
        reader.ReadInt(id).ReadInt(requestId);
        service.SendMessage(kGuiFileAnswer, [&](net::COutputStreamSocket& writer) {
            writer.WriteInt(requestId).WriteInt(1).WriteString(name).WriteUInt(length);
            for (const std::string& chunk : chunks) {
                writer.WriteBytes(reinterpret_cast<const uint8_t*>(chunk.data()),
                                  static_cast<int>(chunk.size()));
            }
        });
    };

    const std::string big(3072, 'x');
    auto result = fetch(".\\debug\\Tav1210.deb");
    answer(".\\debug\\Tav1210.deb", 3072 + 4, {big, "tail"});
    auto [value, text] = result.get();
    EXPECT_EQ(value, 1);
    EXPECT_EQ(text, FileIn("Tav1210.deb"));
    std::ifstream copy(text, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(copy), {}), big + "tail");

    // A block shorter than its place leaves no file.
    result = fetch("short.txt");
    answer("short.txt", 10, {"abc"});
    std::tie(value, text) = result.get();
    EXPECT_EQ(value, 0);
    EXPECT_EQ(text, "Incomplete file answer (short.txt)");
    EXPECT_FALSE(fs::exists(FileIn("short.txt")));

    // A name that would leave the folder writes nothing.
    result = fetch("..");
    answer("..\\..", 3, {"abc"});
    EXPECT_EQ(result.get().first, 0);
    size_t files = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(link_->GetTempFolder())) {
        ++files;
    }
    EXPECT_EQ(files, 1u);

    // No answer at all.
    link_->SetFileRequestLimitMs(200);
    result = fetch("slow.txt");
    ASSERT_TRUE(service.NextWithId(kGuiFileRequest));
    EXPECT_EQ(result.get(), std::make_pair(0, std::string("Timeout File Request")));
}

TEST_F(GuiLinkWindowTest, TheUsersChoiceReachesTheServiceFromEitherKindOfBox) {
    link_ = std::make_unique<CVesmarinGUISocket>(&view_);
    GuiPeer service = Attach();
    answer_ = platform::kIdYes;
    // Raised elsewhere on the node: the threaded box, answered within a tick of the choice.
    service.SendMessage(kGuiShowMessageBox, [](auto& writer) {
        writer.WriteInt(4).WriteInt(0).WriteString("Elsewhere?").WriteUInt(4).WriteUInt(0);
    });
    std::optional<GuiFrame> result = service.NextWithId(kGuiAnswer);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->payload(), MessagePayload(kGuiAnswer, [](auto& writer) {
                  writer.WriteInt(4).WriteInt(platform::kIdYes).WriteString("").WriteInt(1);
              }));
    // Raised on the node's application thread: shown at once.
    answer_ = platform::kIdNo;
    service.SendMessage(kGuiShowMessageBox, [](auto& writer) {
        writer.WriteInt(5).WriteInt(1).WriteString("At once?").WriteUInt(4).WriteUInt(0);
    });
    result = service.NextWithId(kGuiAnswer);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->payload(), MessagePayload(kGuiAnswer, [](auto& writer) {
                  writer.WriteInt(5).WriteInt(platform::kIdNo).WriteString("").WriteInt(1);
              }));
    std::lock_guard lock(boxes_lock_);
    EXPECT_EQ(boxes_, (std::vector<std::string>{"Elsewhere?", "At once?"}));
}

// The window side with a recording view attached to the real node program, headless in a
// platform root of its own.
class GuiLinkAttachedTest : public testing::NodeProgramTest {
protected:
    GuiLinkAttachedTest() { environment_.Set("TMPDIR", temp_.path().string()); }
    ~GuiLinkAttachedTest() override { link_.reset(); }

    // The path of the file the node's debug log writes in this interval, made from the settings
    // the node sent, as the window's "open the current debug file" makes it.
    std::string CurrentDebugFile() {
        const DebugSettings settings = app_.GetDebugSettings();
        const foundation::CDebugFile names(settings.directory + kDebugFilePrefix, settings.fileType,
                                           false, settings.maxFilesToKeep);
        return names.MakeFileName();
    }

    testing::TempDir temp_;
    CVesmarinApp app_{foundation::kRunModeAttachedWindow, {}};
    foundation::ScopedApp installed_{app_};
    RecordingView view_;
    std::unique_ptr<CVesmarinGUISocket> link_;
};

TEST_F(GuiLinkAttachedTest, TheWindowFollowsTheNodeFetchesItsDebugFileAndChangesItsSettings) {
    // The node works inside the platform root, in a start-up delay that no slow start uses up.
    const fs::path folder = root_.path() / "node";
    const auto node = std::make_unique<testing::NodeProcess>(
        root_.path(), folder, std::vector<std::string>{"-debug", "-d", "-w600"});
    link_ = std::make_unique<CVesmarinGUISocket>(&view_);
    const auto waiting = ::testing::MatchesRegex("8009 Waiting [0-9]+ sec \\.\\.\\.");
    EXPECT_TRUE(view_.SawMatching([&](const std::string& line) {
        return ::testing::Matches(waiting)(line);
    })) << node->Stderr();
    EXPECT_TRUE(view_.Saw("8000 0 1"));

    // The node's settings came with everything else, the debug folder by its full path; its
    // current debug file is fetched by that path.
    ASSERT_TRUE(
        testing::Eventually([&] { return app_.GetDebugSettings().maxFilesToKeep == 1000; }));
    const std::string shown = (fs::canonical(folder) / "debug").string() + "/";
    EXPECT_EQ(app_.GetDebugSettings().directory, shown);
    std::string path = CurrentDebugFile();
    EXPECT_EQ(path.rfind(shown + "Tav", 0), 0u) << path;
    std::string copy;
    int32_t fetched = link_->RequestFile(path, copy);
    if (fetched == 0 && path != CurrentDebugFile()) {
        // The log started the next interval's file meanwhile.
        path = CurrentDebugFile();
        fetched = link_->RequestFile(path, copy);
    }
    ASSERT_EQ(fetched, 1) << copy;
    const std::string name = path.substr(path.find_last_of("\\/") + 1);
    EXPECT_EQ(copy, link_->GetTempFolder() + name);
    std::ifstream local(copy, std::ios::binary);
    const std::string fetchedText{std::istreambuf_iterator<char>(local), {}};
    std::ifstream original(folder / "debug" / name, std::ios::binary);
    const std::string originalText{std::istreambuf_iterator<char>(original), {}};
    EXPECT_THAT(fetchedText, ::testing::HasSubstr(std::string(100, '-')));
    // The log went on writing after the copy was made.
    EXPECT_EQ(originalText.substr(0, fetchedText.size()), fetchedText);

    // The user's new number of files to keep goes to the node, which keeps it in the registry
    // and sends back the settings now in force. The folder went back by its full path: the
    // registry keeps its own text for it.
    DebugSettings settings = app_.GetDebugSettings();
    settings.maxFilesToKeep = 42;
    link_->SendDebugSettings(settings);
    EXPECT_TRUE(testing::Eventually([&] { return app_.GetDebugSettings().maxFilesToKeep == 42; }));
    EXPECT_EQ(app_.GetDebugSettings().directory, shown);
    foundation::CRegistry registry(node::kNodeRegistrySection);
    uint32_t kept = 0;
    EXPECT_TRUE(registry.ReadDword(kMaxDebugFilesValue, &kept));
    EXPECT_EQ(kept, 42u);
    std::string directory;
    EXPECT_TRUE(registry.ReadString(kDebugDirectoryValue, directory));
    EXPECT_EQ(directory, ".\\debug\\");
}

}  // namespace
}  // namespace ruzd::app
