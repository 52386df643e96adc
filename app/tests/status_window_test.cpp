// The node program's window on an X server of the test's own: what the window shows (through
// its test seam's state.txt and a grab of it from the screen, which stays for a person to look
// at), its commands and its close check.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <set>

#include "app/vesmarin_service.h"
#include "foundation/module_version.h"
#include "foundation/registry.h"
#include "platform/computer_name.h"
#include "platform/desktop_open.h"
#include "platform/message_queue.h"
#include "platform/process_lookup.h"
#include "platform/service_run_files.h"
#include "platform/sntp_client.h"
#include "platform/text.h"
#include "platform/win_path.h"
#include "platform/window_message.h"
#include "testing/child_program.h"
#include "testing/eventually.h"
#include "testing/initialised_node.h"
#include "testing/node_ports.h"
#include "testing/node_program.h"
#include "testing/service_environment.h"
#include "testing/simulated_boards.h"
#include "testing/test_desktop.h"
#include "testing/virtual_display.h"

namespace ruzd::app {
namespace {

using ::testing::AnyOf;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

constexpr uint32_t kWmCommand = 0x0111;
constexpr int kEntryExit = 255;

// The window's test seam: where it writes its state and reads its answers.
class WindowSeam {
public:
    explicit WindowSeam(std::filesystem::path folder) : folder_(std::move(folder)) {
        std::filesystem::create_directories(folder_);
    }
    const std::filesystem::path& folder() const { return folder_; }

    std::string State() const { return testing::ReadWholeFile(folder_ / "state.txt"); }
    std::string Boxes() const { return testing::ReadWholeFile(folder_ / "boxes.txt"); }
    // The value of the state's line "<key>=...".
    std::string StateOf(const std::string& key) const {
        std::istringstream lines(State());
        for (std::string line; std::getline(lines, line);) {
            if (line.rfind(key + "=", 0) == 0) {
                return line.substr(key.size() + 1);
            }
        }
        return {};
    }
    bool WaitForState(const std::string& line) const {
        return testing::Eventually([&] { return State().find(line + "\n") != std::string::npos; });
    }
    void Answer(const std::string& line) const {
        std::ofstream(folder_ / "answers.txt", std::ios::app) << line << "\n";
    }

private:
    std::filesystem::path folder_;
};

// Runs a tool and gives its output.
std::string ToolOutput(const std::string& program, std::vector<std::string> arguments,
                       const std::filesystem::path& output) {
    testing::ProgramStart start;
    start.program = program;
    start.arguments = std::move(arguments);
    start.stdout_file = output;
    EXPECT_EQ(testing::RunProgram(start), 0) << program;
    return testing::ReadWholeFile(output);
}

std::filesystem::path Recorder() {
    return testing::ProgramFolder() / "foundation_recorder_child";
}

// The desktop's programs for text and for Debian packages are the recorder, told the MIME type
// its desktop file stands for.
void RegisterViewers(testing::TestDesktop& desktop) {
    const std::string recorder = testing::TestDesktop::ExecWord(Recorder());
    desktop.AddApplication("ruzd-text-viewer", recorder + " --as text/plain %f", "text/plain;");
    desktop.AddApplication("ruzd-package-installer",
                           recorder + " --as application/vnd.debian.binary-package %f",
                           "application/vnd.debian.binary-package;");
    desktop.SetDefaults(
        {{"text/plain", "ruzd-text-viewer.desktop"},
         {"application/vnd.debian.binary-package", "ruzd-package-installer.desktop"}});
}

// The arguments of each run of the recorder so far.
std::vector<std::vector<std::string>> RecordedRuns(const std::filesystem::path& record) {
    std::vector<std::vector<std::string>> runs(1);
    std::istringstream lines(testing::ReadWholeFile(record));
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("arg ", 0) == 0) {
            runs.back().push_back(line.substr(4));
        } else if (line == "end") {
            runs.emplace_back();
        }
    }
    runs.pop_back();
    return runs;
}

// The file that the `count`th run of the recorder opened as text, once it has run.
std::string OpenedAsText(const std::filesystem::path& record, size_t count) {
    std::vector<std::vector<std::string>> runs;
    testing::Eventually([&] { return (runs = RecordedRuns(record)).size() >= count; });
    if (runs.size() < count) {
        ADD_FAILURE() << "nothing opened: " << testing::ReadWholeFile(record);
        return {};
    }
    const std::vector<std::string>& run = runs[count - 1];
    EXPECT_EQ(run.size(), 3u);
    EXPECT_EQ(run.size() > 1 ? run[0] + " " + run[1] : "", "--as text/plain");
    return run.empty() ? std::string() : run.back();
}

// The version of wxWidgets installed, as its configuration tool says.
std::string WxWidgetsVersion(const std::filesystem::path& work) {
    return std::string(
        platform::Trim(ToolOutput("/usr/bin/wx-config", {"--version"}, work / "wx-version.txt")));
}

// The version of the GTK library the system loads, as the library says to Python.
std::string GtkVersion(const std::filesystem::path& work) {
    return std::string(platform::Trim(
        ToolOutput("/usr/bin/python3",
                   {"-c",
                    "import ctypes; gtk = ctypes.CDLL('libgtk-3.so.0'); print('%d.%d.%d' % "
                    "(gtk.gtk_get_major_version(), gtk.gtk_get_minor_version(), "
                    "gtk.gtk_get_micro_version()))"},
                   work / "gtk-version.txt")));
}

std::string ProgramVersion() {
    foundation::CModuleVersion version;
    version.Load();
    return version.GetFileVersionString();
}

// The program's environment for its window.
std::vector<std::pair<std::string, std::string>> WindowEnvironment(
    const testing::VirtualDisplay& display, const WindowSeam& seam,
    const std::filesystem::path& work) {
    return {{"DISPLAY", display.name()},
            {"NO_AT_BRIDGE", "1"},
            {"RUZD_GUI_TEST_DIR", seam.folder().string()},
            {platform::kDesktopOpenVariable, Recorder().string()},
            {"RUZD_RECORD_FILE", (work / "opened.txt").string()}};
}

class StatusWindowTest : public testing::NodeProgramTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(display_.ready()) << "Xvfb is needed";
        RegisterViewers(desktop_);
    }

    std::unique_ptr<testing::NodeProcess> StartWindow(std::vector<std::string> arguments) {
        for (const auto& [name, value] : WindowEnvironment(display_, seam_, work_.path())) {
            environment_.Set(name, value);
        }
        return StartNode(std::move(arguments), "window");
    }

    testing::VirtualDisplay display_{"1024x768x24"};
    WindowSeam seam_{work_.path() / "seam"};
    testing::TestDesktop desktop_{environment_};
};

platform::WindowHandle FindFrame() {
    platform::WindowHandle frame;
    testing::Eventually([&] { return bool(frame = platform::FindWindow("PelwixFrame")); });
    return frame;
}

// The window grabs itself from the screen; the picture is judged by real tools: its size by `file`,
// its pixels by ffmpeg's raw decoding. The picture stays beside the test programs, as "<name>.png"
// in "window-frames".
void ExpectAFrameWorthLookingAt(const WindowSeam& seam, const platform::WindowHandle& frame,
                                const std::filesystem::path& work, const std::string& name) {
    const std::filesystem::path picture = seam.folder() / "frame.png";
    ASSERT_TRUE(platform::PostMessage(frame, platform::kWmUser, 0, 0));
    ASSERT_TRUE(testing::Eventually([&] { return std::filesystem::exists(picture); }));
    const std::filesystem::path kept = std::filesystem::path(RUZD_TEST_BIN_DIR) / "window-frames";
    std::filesystem::create_directories(kept);
    std::filesystem::copy_file(picture, kept / (name + ".png"),
                               std::filesystem::copy_options::overwrite_existing);
    int x = 0, y = 0, width = 0, height = 0;
    ASSERT_EQ(std::sscanf(seam.StateOf("frame").c_str(), "%d,%d,%d,%d", &x, &y, &width, &height),
              4);
    const std::string type =
        ToolOutput("/usr/bin/file", {"-b", picture.string()}, work / "file.txt");
    EXPECT_THAT(type, HasSubstr("PNG image data, " + std::to_string(width) + " x " +
                                std::to_string(height)));
    const std::filesystem::path raw = work / "frame.rgb";
    ToolOutput("/usr/bin/ffmpeg",
               {"-loglevel", "error", "-y", "-i", picture.string(), "-f", "rawvideo", "-pix_fmt",
                "rgb24", raw.string()},
               work / "ffmpeg.txt");
    const std::string pixels = testing::ReadWholeFile(raw);
    ASSERT_EQ(pixels.size(), static_cast<size_t>(width) * height * 3);
    std::set<uint32_t> colours;
    for (size_t at = 0; at + 2 < pixels.size(); at += 3) {
        colours.insert(static_cast<uint8_t>(pixels[at]) << 16 |
                       static_cast<uint8_t>(pixels[at + 1]) << 8 |
                       static_cast<uint8_t>(pixels[at + 2]));
    }
    EXPECT_GT(colours.size(), 20u) << "a blank frame";
    int listX = 0, listY = 0, listWidth = 0, listHeight = 0;
    ASSERT_EQ(std::sscanf(seam.StateOf("list").c_str(), "%d,%d,%d,%d", &listX, &listY, &listWidth,
                          &listHeight),
              4);
    int dark = 0;
    for (int row = listY - y; row < listY - y + listHeight && row < height; ++row) {
        for (int column = listX - x; column < listX - x + listWidth && column < width; ++column) {
            const size_t at = (static_cast<size_t>(row) * width + column) * 3;
            if (static_cast<uint8_t>(pixels[at]) < 80 &&
                static_cast<uint8_t>(pixels[at + 1]) < 80 &&
                static_cast<uint8_t>(pixels[at + 2]) < 80) {
                ++dark;
            }
        }
    }
    EXPECT_GT(dark, 50) << "no text in the list";
}

// The settings dialog answered twice: with a files-to-keep that is no number, which applies
// nothing and says so, then with `files`; the registry takes the directory (with a backslash
// appended), the interval and the number.
void ExpectSettingsApplied(const WindowSeam& seam, const platform::WindowHandle& frame,
                           const std::string& directory, uint32_t type, uint32_t files) {
    const std::string fields = "settings=2|" + directory + "|" + std::to_string(type) + "|";
    seam.Answer(fields + "abc");
    ASSERT_TRUE(platform::PostMessage(frame, kWmCommand, 32781, 0));
    ASSERT_TRUE(testing::Eventually(
        [&] { return seam.Boxes().find("whole number") != std::string::npos; }));
    std::string stored;
    foundation::CRegistry("Pelwix").ReadString("Debug Directory", stored);
    EXPECT_NE(stored, directory + "\\");
    seam.Answer(fields + std::to_string(files));
    ASSERT_TRUE(platform::PostMessage(frame, kWmCommand, 32781, 0));
    ASSERT_TRUE(testing::Eventually([&] {
        foundation::CRegistry("Pelwix").ReadString("Debug Directory", stored);
        return stored == directory + "\\";
    })) << stored;
    uint32_t storedFiles = 0, storedType = 0;
    foundation::CRegistry registry("Pelwix");
    EXPECT_TRUE(registry.ReadDword("Max Debug Files To Keep", &storedFiles));
    EXPECT_TRUE(registry.ReadDword("Debug File Type", &storedType));
    EXPECT_EQ(storedFiles, files);
    EXPECT_EQ(storedType, type);
}

constexpr int32_t kDXOPEN = 45;

// A central server opens voice channels 1 and 2, each open answered.
void OpenTwoVoiceChannels(testing::CommandPeer& peer) {
    peer.SendInts(kDXOPEN, 10, {1, 1, 1});
    ASSERT_TRUE(peer.ReceiveCode(8).has_value());
    peer.SendInts(kDXOPEN, 11, {2, 1, 2});
    ASSERT_TRUE(peer.ReceiveCode(8).has_value());
}

// `window` attached to a node at 127.0.0.1 (a program of the test's own or a service) on which
// a central server opened voice channels 1 and 2: it shows both rows, switches the node's log on
// and hands the node's current debug file, fetched, to the opener, changes the node's debug
// settings, and ends at once on a close request, without a question. The grab of the frame is
// kept as "<picture>.png".
void ExpectTheAttachedWindowToWorkTheNode(const WindowSeam& seam, testing::NodeProcess& window,
                                          const std::filesystem::path& work,
                                          const std::string& picture,
                                          const std::filesystem::path& nodeFolder) {
    ASSERT_TRUE(seam.WaitForState("caption=127.0.0.1 - Pelwix")) << window.Stderr();
    ASSERT_TRUE(testing::Eventually([&] {
        const std::string state = seam.State();
        return state.find("row=Voice|1|Idle|0") != std::string::npos &&
               state.find("row=Voice|2|Idle|0") != std::string::npos &&
               state.find("pane1=Connected") != std::string::npos;
    })) << seam.State()
        << window.Stderr();
    EXPECT_THAT(seam.StateOf("pane0"), Not(AnyOf("", "NOT CONNECTED TO SERVICE")));
    EXPECT_TRUE(seam.WaitForState("command 32775=disabled"));
    EXPECT_TRUE(seam.WaitForState("command 32776=disabled"));

    const platform::WindowHandle frame = FindFrame();
    ASSERT_TRUE(frame);
    ExpectAFrameWorthLookingAt(seam, frame, work, picture);

    // The node's log goes on (the line that says so is written as it does), and its current
    // file is fetched and handed to the opener.
    EXPECT_TRUE(seam.WaitForState("command 32771=enabled"));
    ASSERT_TRUE(platform::PostMessage(frame, kWmCommand, 32771, 0));
    EXPECT_TRUE(seam.WaitForState("command 32771=enabled,checked"));
    ASSERT_TRUE(platform::PostMessage(frame, kWmCommand, 32777, 0));
    const std::string fetched = OpenedAsText(work / "opened.txt", 1);
    EXPECT_THAT(fetched, HasSubstr("Tav")) << seam.Boxes();
    EXPECT_THAT(testing::ReadWholeFile(fetched), HasSubstr("Logging turned on")) << fetched;
    // The debug file dialog starts in the node's own debug folder.
    seam.Answer("file=cancel");
    ASSERT_TRUE(platform::PostMessage(frame, kWmCommand, 32778, 0));
    const std::string start =
        "Open: " + (std::filesystem::canonical(nodeFolder) / "debug").string() + "\n";
    EXPECT_TRUE(testing::Eventually([&] { return seam.Boxes().find(start) != std::string::npos; }))
        << seam.Boxes();

    // The settings dialog changes the node's registry, but not with a partial number.
    ExpectSettingsApplied(seam, frame, "C:\\GuiDebug", 1, 7);

    // A close request ends the window at once.
    ASSERT_TRUE(platform::PostMessage(frame, platform::kWmClose, 0, 0));
    EXPECT_EQ(window.WaitForExit(), kEntryExit) << window.Stderr();
    EXPECT_EQ(seam.Boxes().find("Are you sure"), std::string::npos);
}

TEST_F(StatusWindowTest, TheLocalWindowShowsItselfChangesItsSettingsAndClosesWhenConfirmed) {
    auto window = StartWindow({"-d"});
    ASSERT_TRUE(seam_.WaitForState("pane1=NOT Connected")) << window->Stderr();
    EXPECT_THAT(seam_.StateOf("caption"),
                StartsWith(platform::ComputerName().value_or("?") + " - Pelwix"));
    const platform::WindowHandle frame = FindFrame();
    ASSERT_TRUE(frame);

    // Debug on/off follows the local log, which "-d" switched on.
    EXPECT_TRUE(seam_.WaitForState("command 32771=enabled,checked"));
    ASSERT_TRUE(platform::PostMessage(frame, kWmCommand, 32771, 0));
    EXPECT_TRUE(seam_.WaitForState("command 32771=enabled"));
    ASSERT_TRUE(platform::PostMessage(frame, kWmCommand, 32771, 0));
    EXPECT_TRUE(seam_.WaitForState("command 32771=enabled,checked"));

    // The settings dialog: a files-to-keep that is no number applies nothing. The log moves to
    // a folder that is not there yet, which the node makes.
    ASSERT_FALSE(std::filesystem::exists(platform::MapWindowsPath("C:\\NewDebug")));
    ExpectSettingsApplied(seam_, frame, "C:\\NewDebug", 3, 12);
    EXPECT_TRUE(seam_.WaitForState("command 32771=enabled,checked")) << "the flag is untouched";

    // The current debug file opens as text, though its name reads as a Debian package's.
    const std::filesystem::path record = work_.path() / "opened.txt";
    ASSERT_TRUE(platform::PostMessage(frame, kWmCommand, 32777, 0));
    EXPECT_THAT(OpenedAsText(record, 1), HasSubstr("NewDebug/Tav")) << seam_.Boxes();

    // A picked debug file opens as text as well; the dialog starts in the log's folder. One
    // that cannot be opened says why in a box.
    const std::filesystem::path picked = work_.path() / "picked" / "TavOld.deb";
    seam_.Answer("file=" + picked.string());
    ASSERT_TRUE(platform::PostMessage(frame, kWmCommand, 32778, 0));
    ASSERT_TRUE(testing::Eventually([&] {
        return seam_.Boxes().find("Pelwix: The debug file \"" + picked.string() +
                                  "\" cannot be opened: there is no such file.") !=
               std::string::npos;
    })) << seam_.Boxes();
    EXPECT_THAT(seam_.Boxes(), HasSubstr("NewDebug"));
    std::filesystem::create_directories(picked.parent_path());
    std::ofstream(picked) << "old lines\n";
    seam_.Answer("file=" + picked.string());
    ASSERT_TRUE(platform::PostMessage(frame, kWmCommand, 32778, 0));
    EXPECT_EQ(OpenedAsText(record, 2), picked.string());
    EXPECT_EQ(RecordedRuns(record).size(), 2u) << "the desktop's opener opened nothing";

    // The about box tells the program's version block, and the versions of the libraries the
    // window runs on as the system has them.
    ASSERT_TRUE(platform::PostMessage(frame, kWmCommand, 57664, 0));
    ASSERT_TRUE(testing::Eventually([&] {
        return seam_.Boxes().find("1003=Distribution version") != std::string::npos;
    })) << seam_.Boxes();
    const std::string toolkits = " (wxWidgets " + WxWidgetsVersion(work_.path()) + ", GTK " +
                                 GtkVersion(work_.path()) + ")\n";
    EXPECT_THAT(seam_.Boxes(), HasSubstr("1002=" + ProgramVersion() + " " + toolkits));

    // No: nothing changes. Yes without a central server: the program ends.
    seam_.Answer("box=7");
    ASSERT_TRUE(platform::PostMessage(frame, platform::kWmClose, 0, 0));
    ASSERT_TRUE(testing::Eventually([&] {
        return seam_.Boxes().find("Are you sure you want to exit ?") != std::string::npos;
    }));
    EXPECT_FALSE(window->HasEnded());
    EXPECT_NE(seam_.StateOf("pane0"), "Closing");
    seam_.Answer("box=6");
    ASSERT_TRUE(platform::PostMessage(frame, platform::kWmClose, 0, 0));
    EXPECT_EQ(window->WaitForExit(), kEntryExit) << window->Stderr();
}

class StatusWindowCentralTest : public testing::InitialisedNodeTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(display_.ready()) << "Xvfb is needed";
        UseBoards("voice 1 4\n");
        for (const auto& [name, value] : WindowEnvironment(display_, seam_, work_.path())) {
            environment_.Set(name, value);
        }
        RegisterViewers(desktop_);
    }

    testing::VirtualDisplay display_{"1024x768x24"};
    WindowSeam seam_{work_.path() / "seam"};
    testing::TestDesktop desktop_{environment_};
};

TEST_F(StatusWindowCentralTest, TheLocalWindowShowsThePortsAndAsksTheCentralServerToStop) {
    constexpr int32_t kCNSTGR = 13;
    StartAndInitialise({"-d"});
    EXPECT_TRUE(seam_.WaitForState("pane1=Connected"));
    OpenTwoVoiceChannels(*peer_);
    ASSERT_TRUE(testing::Eventually([&] {
        const std::string state = seam_.State();
        return state.find("row=Voice|1|") != std::string::npos &&
               state.find("row=Voice|2|") != std::string::npos;
    })) << seam_.State();

    const platform::WindowHandle frame = FindFrame();
    ASSERT_TRUE(frame);
    ExpectAFrameWorthLookingAt(seam_, frame, work_.path(), "local-window");

    // Yes with channels open: the central server is asked to stop, and asked again on the
    // next request, without a second question; the window stays.
    seam_.Answer("box=6");
    ASSERT_TRUE(platform::PostMessage(frame, platform::kWmClose, 0, 0));
    EXPECT_TRUE(peer_->ReceiveCode(3).has_value());
    EXPECT_TRUE(seam_.WaitForState("pane0=Closing"));
    ASSERT_TRUE(platform::PostMessage(frame, platform::kWmClose, 0, 0));
    EXPECT_TRUE(peer_->ReceiveCode(3).has_value());
    EXPECT_FALSE(node_->HasEnded());
    std::istringstream boxes(seam_.Boxes());
    EXPECT_EQ(std::count(std::istreambuf_iterator<char>(boxes), {}, '\n'), 1) << seam_.Boxes();

    // The central server ends its work with the node: the node stops and the window ends.
    peer_->SendInts(kCNSTGR, 12, {});
    EXPECT_EQ(node_->WaitForExit(), kEntryExit) << node_->Stderr();
}

TEST_F(StatusWindowCentralTest, TheAttachedWindowShowsTheNodeChangesItAndLeavesItRunning) {
    testing::WriteGuiPort();
    foundation::CRegistry("Pelwix").WriteString("Remote Vesmarin Address", "127.0.0.1");
    StartAndInitialise({"-debug"});
    OpenTwoVoiceChannels(*peer_);

    testing::NodeProcess window(root_.path(), work_.path() / "window", {"-gui"});
    ASSERT_NO_FATAL_FAILURE(ExpectTheAttachedWindowToWorkTheNode(
        seam_, window, work_.path(), "attached-window", work_.path() / "node"));
    Settle();
    EXPECT_FALSE(node_->HasEnded());
}

// The node as a service in the test's root, run by the local service manager's supervisor, with
// the test's central server.
class StatusWindowServiceTest : public StatusWindowCentralTest {
protected:
    StatusWindowServiceTest() { environment_.Unset(platform::kServiceNameVariable); }

    // Neither the service nor its supervisor outlives the test.
    ~StatusWindowServiceTest() override {
        peer_.reset();
        files_.reset();
        if (platform::CurrentServiceStatus(kNodeServiceName).status.current_state !=
            platform::kServiceStopped) {
            RunVerb({"-service", "-stop", "-T:120000"});
        }
        testing::Eventually([] { return !platform::FindProcessByName("ruzd-svcrun.exe"); });
        while (const std::optional<uint32_t> left = platform::FindProcessByName("Pelwix.exe")) {
            testing::KillProgram(static_cast<pid_t>(*left));
        }
        RunVerb({"-service", "-uninstall"});
    }

    int RunVerb(const std::vector<std::string>& arguments) {
        testing::ProgramStart start;
        start.program = testing::ProgramFolder() / "Pelwix";
        start.arguments = arguments;
        start.stdout_file = work_.path() / "verb.out";
        return testing::RunProgram(start);
    }

    void InstallAndStart() {
        ASSERT_EQ(RunVerb({"-service", "-install"}), 0);
        // The service finds the test's simulated boards and time server as the test's own
        // children do.
        std::vector<std::string> boards;
        for (const char* name : {"RUZD_VENDOR_DIR", "BOARDSIM_CONTROL", "BOARDSIM_JOURNAL",
                                 "BOARDSIM_CONFIG", platform::kSntpPortVariable}) {
            if (const char* value = std::getenv(name)) {
                boards.push_back(std::string(name) + "=" + value);
            }
        }
        ASSERT_TRUE(testing::SetServiceEnvironment(kNodeServiceName, boards));
        ASSERT_EQ(RunVerb({"-service", "-start", "-T:120000"}), 0);
    }
};

TEST_F(StatusWindowServiceTest, TheAttachedWindowShowsTheServiceChangesItAndLeavesItRunning) {
    foundation::CRegistry("Pelwix").WriteString("Remote Vesmarin Address", "127.0.0.1");
    InstallAndStart();
    Initialise();
    OpenTwoVoiceChannels(*peer_);

    testing::NodeProcess window(root_.path(), work_.path() / "window", {"-gui"});
    ASSERT_NO_FATAL_FAILURE(
        ExpectTheAttachedWindowToWorkTheNode(seam_, window, work_.path(), "service-window",
                                             platform::ServiceWorkingFolder(kNodeServiceName)));
    EXPECT_EQ(platform::CurrentServiceStatus(kNodeServiceName).status.current_state,
              platform::kServiceRunning);
    Settle();
}

}  // namespace
}  // namespace ruzd::app
