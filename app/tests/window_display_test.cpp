// The window program's monitors and clipboard on an X server of the test's own: what the
// foundation's display helpers answer inside the running program, asked through the window's test
// seam on the window's thread and on another thread, judged against the server's screens and
// against xclip, another client of the same clipboard.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/message_queue.h"
#include "platform/window_message.h"
#include "testing/child_program.h"
#include "testing/eventually.h"
#include "testing/node_program.h"
#include "testing/virtual_display.h"

namespace ruzd::app {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

constexpr int kEntryExit = 255;
constexpr const char* kXclip = "/usr/bin/xclip";

// The seam's request for a display report; wParam bit 0 asks for it on another thread, bit 1
// has the clipboard take "clipboard-set.txt" first.
constexpr uint32_t kDisplayReport = platform::kWmUser + 1;
constexpr uintptr_t kOnAnotherThread = 1;
constexpr uintptr_t kSetClipboard = 2;

class WindowDisplayTest : public testing::NodeProgramTest {
protected:
    // The window program on `display`, in `mode` ("-d" drives the boards, "-gui" is attached to
    // a service, here none), once it shows itself.
    void StartWindow(const testing::VirtualDisplay& display, const std::string& mode) {
        ASSERT_TRUE(display.ready()) << "Xvfb is needed";
        std::filesystem::create_directories(seam_);
        environment_.Set("DISPLAY", display.name());
        environment_.Set("NO_AT_BRIDGE", "1");
        environment_.Set("RUZD_GUI_TEST_DIR", seam_.string());
        window_ = StartNode({mode}, "window");
        ASSERT_TRUE(testing::Eventually([&] {
            return testing::ReadWholeFile(seam_ / "state.txt").find("caption=") !=
                   std::string::npos;
        })) << window_->Stderr();
        ASSERT_TRUE(testing::Eventually(
            [&] { return bool(frame_ = platform::FindWindow("PelwixFrame")); }));
    }

    // The points the reports look up, "x,y" each.
    void LookUp(const std::vector<std::string>& points) {
        std::ofstream file(seam_ / "points.txt", std::ios::trunc);
        for (const std::string& point : points) {
            file << point << "\n";
        }
    }

    // A new display report; its lines.
    std::vector<std::string> Report(uintptr_t flags) {
        std::filesystem::remove(seam_ / "display.txt");
        EXPECT_TRUE(platform::PostMessage(frame_, kDisplayReport, flags, 0));
        EXPECT_TRUE(testing::Eventually([&] {
            return std::filesystem::exists(seam_ / "display.txt");
        })) << window_->Stderr();
        std::istringstream text(testing::ReadWholeFile(seam_ / "display.txt"));
        std::vector<std::string> lines;
        for (std::string line; std::getline(text, line);) {
            lines.push_back(line);
        }
        return lines;
    }

    std::string ClipboardSeen() const { return testing::ReadWholeFile(seam_ / "clipboard.txt"); }

    // The window ends on a close request (no central server is connected).
    void CloseWindow() {
        std::ofstream(seam_ / "answers.txt", std::ios::app) << "box=6\n";
        ASSERT_TRUE(platform::PostMessage(frame_, platform::kWmClose, 0, 0));
        EXPECT_EQ(window_->WaitForExit(), kEntryExit) << window_->Stderr();
    }

    const std::filesystem::path seam_ = work_.path() / "seam";
    std::unique_ptr<testing::NodeProcess> window_;
    platform::WindowHandle frame_;
};

TEST_F(WindowDisplayTest, TheWindowFindsTheScreensMonitorOnEitherThread) {
    const testing::VirtualDisplay display("1024x768x24");
    ASSERT_NO_FATAL_FAILURE(StartWindow(display, "-d"));
    LookUp({"0,0", "1023,767", "1024,10", "-1,5"});
    for (const uintptr_t flags : {uintptr_t{0}, kOnAnotherThread}) {
        const std::vector<std::string> lines = Report(flags);
        // Without a window manager nothing takes a part of the screen: the work area is all of it.
        const std::vector<std::string> expected = {
            flags == 0 ? "thread=window" : "thread=other",
            "monitors=1",
            "monitor 1=true area=0,0,1024,768 work=0,0,1024,768",
            "point 0,0=true area=0,0,1024,768 work=0,0,1024,768",
            "point 1023,767=true area=0,0,1024,768 work=0,0,1024,768",
            "point 1024,10=false area=-1,-1,-1,-1 work=-1,-1,-1,-1",
            "point -1,5=false area=-1,-1,-1,-1 work=-1,-1,-1,-1"};
        EXPECT_EQ(lines, expected);
    }
    CloseWindow();
}

// Xvfb gives one monitor a screen (its Xinerama stacks screens at one place, and it keeps no
// monitors of RandR's that a client sets), so the attached window is shown a screen of another
// size.
TEST_F(WindowDisplayTest, TheAttachedWindowFindsTheScreensMonitorToo) {
    const testing::VirtualDisplay display("800x600x24");
    ASSERT_NO_FATAL_FAILURE(StartWindow(display, "-gui"));
    LookUp({"799,599", "400,600"});
    const std::vector<std::string> expected = {
        "thread=other", "monitors=1", "monitor 1=true area=0,0,800,600 work=0,0,800,600",
        "point 799,599=true area=0,0,800,600 work=0,0,800,600",
        "point 400,600=false area=-1,-1,-1,-1 work=-1,-1,-1,-1"};
    EXPECT_EQ(Report(kOnAnotherThread), expected);
    // The attached window ends at once.
    ASSERT_TRUE(platform::PostMessage(frame_, platform::kWmClose, 0, 0));
    EXPECT_EQ(window_->WaitForExit(), kEntryExit) << window_->Stderr();
}

// xclip on the test's display, talked to through files.
class Xclip {
public:
    explicit Xclip(const std::filesystem::path& work) : work_(work) {}

    // What the clipboard holds for xclip in `target` (UTF-8 text unless said); none when it
    // holds nothing of that kind.
    std::optional<std::string> Read(const std::string& target = "UTF8_STRING") const {
        testing::ProgramStart start;
        start.program = kXclip;
        start.arguments = {"-o", "-selection", "clipboard", "-target", target};
        start.stdout_file = work_ / "xclip-out.txt";
        start.stderr_file = work_ / "xclip-err.txt";
        if (testing::RunProgram(start) != 0) {
            return std::nullopt;
        }
        return testing::ReadWholeFile(start.stdout_file);
    }

    // xclip takes the clipboard with `bytes` of `target` and serves it until another client
    // takes it or the object goes.
    void Offer(const std::string& bytes, const std::string& target) {
        Stop();
        const std::filesystem::path file = work_ / "xclip-in";
        std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
        testing::ProgramStart start;
        start.program = kXclip;
        start.arguments = {"-i",      "-quiet", "-selection", "clipboard",
                           "-target", target,   file.string()};
        start.stdout_file = work_ / "xclip-serve.txt";
        start.stderr_file = work_ / "xclip-serve.txt";
        pid_ = testing::StartProgram(start);
    }

    ~Xclip() { Stop(); }

private:
    void Stop() {
        if (pid_ > 0) {
            testing::KillProgram(pid_);
            testing::WaitForExitCode(pid_);
            pid_ = -1;
        }
    }

    std::filesystem::path work_;
    pid_t pid_ = -1;
};

TEST_F(WindowDisplayTest, TheClipboardCarriesUnicodeTextToAndFromAnotherClient) {
    const testing::VirtualDisplay display("640x480x24");
    ASSERT_NO_FATAL_FAILURE(StartWindow(display, "-d"));
    Xclip xclip(work_.path());

    // Set on a thread of the program's other than the window's, read back, and read by xclip.
    const std::string greeting = "Grüße aus Köln – 10 € ✓ 日本語\nzweite Zeile";
    std::ofstream(seam_ / "clipboard-set.txt", std::ios::binary) << greeting;
    Report(kOnAnotherThread | kSetClipboard);
    EXPECT_EQ(ClipboardSeen(), greeting);
    EXPECT_EQ(xclip.Read(), greeting);
    // And on the window's thread.
    std::ofstream(seam_ / "clipboard-set.txt", std::ios::binary | std::ios::trunc) << "plain";
    Report(kSetClipboard);
    EXPECT_EQ(ClipboardSeen(), "plain");
    EXPECT_EQ(xclip.Read(), "plain");

    // xclip's text, as the program reads it on either thread.
    const std::string offered = "Ça va? Ünïcödé ♫ — ½";
    xclip.Offer(offered, "UTF8_STRING");
    ASSERT_TRUE(testing::Eventually([&] { return xclip.Read() == offered; }));
    for (const uintptr_t flags : {uintptr_t{0}, kOnAnotherThread}) {
        Report(flags);
        EXPECT_EQ(ClipboardSeen(), offered) << flags;
    }

    // A picture is no text: the clipboard reads empty.
    xclip.Offer("\x89PNG\r\n\x1a\n", "image/png");
    ASSERT_TRUE(testing::Eventually(
        [&] { return xclip.Read("TARGETS").value_or("").find("image/png") != std::string::npos; }));
    Report(kOnAnotherThread);
    EXPECT_EQ(ClipboardSeen(), "");
    CloseWindow();
}

}  // namespace
}  // namespace ruzd::app
