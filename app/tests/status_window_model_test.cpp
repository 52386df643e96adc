// The status window's decisions without a display: the rows, the panes, the clock-jump check,
// the close check, the commands, the settings dialog's edits, the captions and the single stop.

#include <gtest/gtest.h>

#include <atomic>
#include <deque>
#include <thread>
#include <variant>
#include <vector>

#include "app/vesmarin_app.h"
#include "app/view/clock_jump_detector.h"
#include "app/view/close_check.h"
#include "app/view/service_debug_files.h"
#include "app/view/settings_edit.h"
#include "app/view/vesmarin_view.h"
#include "app/view/window_texts.h"
#include "foundation/debug_log.h"
#include "foundation/module_version.h"
#include "foundation/registry.h"
#include "platform/computer_name.h"
#include "platform/message_box.h"
#include "testing/temp_root.h"

namespace ruzd::app {
namespace {

// A window that runs the view's posted work when the test says so.
class FakeWindow : public ViewWindow {
public:
    void Post(std::function<void()> work) override { posted.push_back(std::move(work)); }
    void ShowRows(const StatusRows&, std::optional<size_t>) override { ++row_draws; }
    void ShowPanes(const PaneTexts&) override {}
    void CommandsChanged() override {}
    std::optional<std::string> PickDebugFile(const std::string&) override { return {}; }
    void EditDebugSettings() override {}

    void RunPosted() {
        while (!posted.empty()) {
            auto work = std::move(posted.front());
            posted.pop_front();
            work();
        }
    }
    std::deque<std::function<void()>> posted;
    int row_draws = 0;
};

class StatusWindowModelTest : public ::testing::Test {
protected:
    testing::TempRoot root_;
    testing::TempWorkFolder folder_;
    FakeWindow window_;
};

TEST_F(StatusWindowModelTest, PortReportsMakeOneRowPerTypeAndPortOnTheWindowThread) {
    CVesmarinApp app(foundation::kRunModeWindow, {});
    CVesmarinView view(app, window_, {});
    view.OnVesmarinStatus(3, 5, "Idle", 1);
    view.OnVesmarinStatus(1, 5, "Open", 0);
    EXPECT_TRUE(view.Rows().Rows().empty()) << "nothing changes off the window's thread";
    window_.RunPosted();
    ASSERT_EQ(view.Rows().Rows().size(), 2u);
    view.OnVesmarinStatus(3, 5, "Connected", 2);
    view.OnVesmarinStatus(3, 1000000, "Board", 0);  // a whole board
    view.OnVesmarinStatus(2, 6, "Loop", 0);         // a type without a message
    view.OnVesmarinStatus(1, 7, "Odd", 1500);       // beyond what "Param" carries
    window_.RunPosted();
    const std::vector<StatusRow> expected = {
        {"ISDN", 5, "Connected", 2}, {"Voice", 5, "Open", 0}, {"Voice", 7, "Odd", 999}};
    EXPECT_EQ(view.Rows().Rows(), expected);

    view.OnVesmarinClearView();
    view.OnVesmarinStatus(1, 7, "Again", 3);
    window_.RunPosted();
    ASSERT_EQ(view.Rows().Rows().size(), 1u);
    EXPECT_EQ(view.Rows().Rows()[0], (StatusRow{"Voice", 7, "Again", 3}));

    view.OnVesmarinConnectionState(1, 0);
    window_.RunPosted();
    EXPECT_EQ(view.Panes().connection, "Connected");
    view.OnVesmarinStatusText("Listening");
    view.OnVesmarinConnectionState(0, 1);
    window_.RunPosted();
    EXPECT_EQ(view.Panes().connection, "NOT Connected");
    EXPECT_EQ(view.Panes().status, "Starting");
    EXPECT_EQ(UtcClockText(86400 * 3 + 3600 * 13 + 60 * 4 + 5), "UTC 13:04:05");
}

TEST_F(StatusWindowModelTest, OnlyTheClockChangeTheMonotonicClockDidNotSeeIsAJump) {
    constexpr int64_t t = 1'700'000'000'000;
    ClockJumpDetector detector;
    EXPECT_EQ(detector.Tick(t, 0, false), std::nullopt) << "the first tick";
    EXPECT_EQ(detector.Tick(t + 1000, 1000, false), std::nullopt);
    // Set forward by 3 seconds at the moment of a tick.
    EXPECT_EQ(detector.Tick(t + 4000, 1000, false), 3);
    // Set forward by 2: not yet a jump.
    EXPECT_EQ(detector.Tick(t + 7000, 2000, false), std::nullopt);
    // A 5-second stall of the window's thread with a steady clock.
    EXPECT_EQ(detector.Tick(t + 12000, 7000, false), std::nullopt);
    EXPECT_EQ(detector.Tick(t + 8000, 8000, false), -5);
    EXPECT_EQ(detector.Tick(t + 20000, 9000, true), std::nullopt) << "closing";
}

TEST_F(StatusWindowModelTest, TheCloseCheckAsksOnceThenRepeatsTheStopAndForcesItLater) {
    CloseCheck check(false);
    int asked = 0;
    auto no = [&] { return ++asked, false; };
    auto yes = [&] { return ++asked, true; };
    constexpr int64_t t = 1'700'000'000;
    EXPECT_EQ(check.Run(t, false, no), CloseSteps{});
    EXPECT_EQ(check.RequestTime(), 0);
    const CloseSteps stop{false, true, true, false};
    const CloseSteps force{false, true, true, true};
    EXPECT_EQ(check.Run(t, false, yes), stop);
    EXPECT_EQ(asked, 2) << "No asks again next time";
    EXPECT_EQ(check.Run(t + 10, false, yes), stop);
    EXPECT_EQ(check.Run(t + 30, false, yes), force);
    EXPECT_EQ(check.Run(t + 60, false, yes), force);
    EXPECT_EQ(check.Run(t + 61, false, yes), stop) << "restarts the wait";
    EXPECT_EQ(check.Run(t + 81, false, yes), stop);
    EXPECT_EQ(check.Run(t + 91, true, yes), (CloseSteps{false, true, false, true}))
        << "once stopping, only the force remains";
    EXPECT_EQ(asked, 2);

    CloseCheck attached(true);
    EXPECT_EQ(attached.Run(t, false, yes), (CloseSteps{true, false, false, false}));
    EXPECT_EQ(asked, 2) << "the attached window asks nothing";
}

TEST_F(StatusWindowModelTest, CommandStatesFollowTheModeAndTheDebugSettings) {
    EXPECT_FALSE(CommandStateOf(kCmdStopNode, true, false).enabled);
    EXPECT_FALSE(CommandStateOf(kCmdHardExit, true, false).enabled);
    EXPECT_TRUE(CommandStateOf(kCmdHardExit, false, false).enabled);
    EXPECT_FALSE(CommandStateOf(kCmdFilePrint, false, false).enabled);
    EXPECT_EQ(CommandTraceScope(kCmdPickDebugFile), "CVesmarinView::OnButtonDebugFile");
    EXPECT_EQ(ToolbarLayout().size(), 10u);

    // Mode 2: the check mark is the local log's enabled flag, and the command switches it.
    foundation::StartDebugLog((folder_.path() / "Tav").string(), 0, false, 10);
    {
        CVesmarinApp app(foundation::kRunModeWindow, {});
        CVesmarinView view(app, window_, {});
        EXPECT_EQ(view.StateOf(kCmdDebugOnOff), (CommandState{true, false}));
        view.RunCommand(kCmdDebugOnOff);
        EXPECT_EQ(view.StateOf(kCmdDebugOnOff), (CommandState{true, true}));
        EXPECT_TRUE(foundation::GetDebugFile()->IsEnabled());
        view.RunCommand(kCmdDebugOnOff);
        EXPECT_EQ(view.StateOf(kCmdDebugOnOff), (CommandState{true, false}));
    }
    foundation::StopDebugLog();

    // Mode 3: the record goes to the service; the mark changes when the service answers.
    CVesmarinApp app(foundation::kRunModeAttachedWindow, {});
    std::vector<DebugSettings> sent;
    struct RecordingLink : ServiceLink {
        explicit RecordingLink(std::vector<DebugSettings>& s) : sent(s) {}
        void SendDebugSettings(const DebugSettings& settings) override { sent.push_back(settings); }
        int RequestFile(const std::string&, std::string& text) override {
            text = "Timeout File Request";
            return 0;
        }
        std::vector<DebugSettings>& sent;
    };
    CVesmarinView view(app, window_, [&](node::CVesmarinManagerCallback&) {
        return std::make_unique<RecordingLink>(sent);
    });
    view.OnInitialUpdate();
    window_.RunPosted();
    DebugSettings service;
    service.directory = "C:\\Svc\\";
    service.enabled = 1;
    app.StoreServiceDebugSettings(service);
    view.OnClockTick();
    EXPECT_EQ(view.StateOf(kCmdDebugOnOff), (CommandState{true, true}));
    view.RunCommand(kCmdDebugOnOff);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].enabled, 0);
    EXPECT_EQ(sent[0].directory, "C:\\Svc\\");
    view.OnClockTick();
    EXPECT_TRUE(view.StateOf(kCmdDebugOnOff).checked) << "until the service answers";
    view.TryToClose();
    EXPECT_EQ(view.CloseRequestTime(), 0) << "the attached window ends without the clock";
}

TEST_F(StatusWindowModelTest, TheSettingsDialogAppendsTheSeparatorAndRefusesAPartialNumber) {
    EXPECT_EQ(TraceLevelChoices().size(), 10u);
    const std::vector<std::string> intervals = IntervalChoices();
    ASSERT_EQ(intervals.size(), 6u);
    EXPECT_EQ(intervals.front(), "5 min");
    EXPECT_EQ(intervals.back(), "1 day");

    DebugSettings current{"C:\\Old\\", 1000, 1024, 2, 1, 3};
    SettingsFields fields = FieldsFrom(current);
    EXPECT_EQ(fields.filesToKeep, "1000");
    fields.directory = "D:\\New";
    fields.filesToKeep = "12";
    fields.fileType = 5;
    fields.traceLevel = 9;
    const auto applied = ApplyFields(current, fields);
    ASSERT_TRUE(std::holds_alternative<DebugSettings>(applied));
    EXPECT_EQ(std::get<DebugSettings>(applied), (DebugSettings{"D:\\New\\", 12, 1024, 5, 1, 9}));
    for (const char* bad : {"abc", "12x", "", "-1", "99999999999"}) {
        fields.filesToKeep = bad;
        EXPECT_TRUE(std::holds_alternative<std::string>(ApplyFields(current, fields))) << bad;
    }
}

TEST_F(StatusWindowModelTest, CaptionsAboutTextsAndTheServiceDebugFolder) {
    EXPECT_EQ(FrameCaption("127.0.0.1"), "127.0.0.1 - Pelwix");
    EXPECT_EQ(DocumentTitle(false), platform::ComputerName().value_or(""));
    EXPECT_EQ(DocumentTitle(true), "");
    foundation::CRegistry("Pelwix").WriteString("Remote Vesmarin Address", "10.0.0.5");
    EXPECT_EQ(DocumentTitle(true), "10.0.0.5");

    // The version names only what the program runs on: its own version, then the toolkit's.
    const AboutTexts about = LoadAboutTexts("wxWidgets 3.2.2, GTK 3.24.38");
    EXPECT_EQ(about.build, "Distribution version");
    foundation::CModuleVersion version;
    version.Load();
    EXPECT_EQ(about.version, version.GetFileVersionString() + "  (wxWidgets 3.2.2, GTK 3.24.38)");
    EXPECT_EQ(LoadAboutTexts("").version, version.GetFileVersionString());
    EXPECT_EQ(about.currentFolder, folder_.path().string());

    EXPECT_EQ(ServiceDebugFolder("10.0.0.5", "C:\\Ruzd\\Debug\\"),
              "\\\\10.0.0.5\\C$\\Ruzd\\Debug\\");
    EXPECT_EQ(ServiceDebugFolder("127.0.0.1", "C:\\Ruzd\\Debug\\"), "C:\\Ruzd\\Debug\\");
    EXPECT_EQ(ServiceDebugFolder("localhost", "C:\\D\\"), "C:\\D\\");
    const std::string file = CurrentDebugFileOf(DebugSettings{"C:\\D\\", 5, 0, 0, 0, 0});
    EXPECT_EQ(file.rfind("C:\\D\\Tav", 0), 0u) << file;
}

TEST_F(StatusWindowModelTest, ALogThatNeverWroteHasNoCurrentFileAndTheBoxSaysSo) {
    std::vector<std::string> boxes;
    platform::SetMessageBoxPresenter(
        [&](const std::string& text, const std::string& caption, uint32_t) {
            boxes.push_back(caption + ": " + text);
            return platform::kIdOk;
        });
    foundation::StartDebugLog("C:\\Debug\\Tav", 0, false, 5);
    {
        CVesmarinApp app(foundation::kRunModeWindow, {});
        CVesmarinView view(app, window_, {});
        view.RunCommand(kCmdDebugThisFile);
    }
    foundation::StopDebugLog();
    platform::SetMessageBoxPresenter({});
    EXPECT_EQ(boxes, std::vector<std::string>{
                         "Pelwix: There is no debug file to open: the debug log has not "
                         "written one yet."});
}

TEST_F(StatusWindowModelTest, ConcurrentStopsStopOnceAndTheWindowStillEnds) {
    std::atomic<int> stops{0};
    {
        ManagerStopper stopper([&] { ++stops; });
        std::atomic<int> started{0};
        std::vector<std::thread> threads;
        for (int i = 0; i < 8; ++i) {
            threads.emplace_back([&] { started += stopper.Request() ? 1 : 0; });
        }
        for (std::thread& thread : threads) {
            thread.join();
        }
        stopper.Wait();
        EXPECT_EQ(started.load(), 1);
    }
    EXPECT_EQ(stops.load(), 1);

    // The view's own stop and a forced one at once, on two threads.
    CVesmarinApp app(foundation::kRunModeWindow, {});
    CVesmarinView view(app, window_, {});
    std::thread other([&] { view.OnVesmarinManagerStop(); });
    view.OnVesmarinManagerStop();
    other.join();
    EXPECT_TRUE(view.Stopping());
}

}  // namespace
}  // namespace ruzd::app
