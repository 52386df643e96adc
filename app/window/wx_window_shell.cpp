#include "app/window/wx_window_shell.h"

#include <wx/app.h>
#include <wx/image.h>
#include <wx/init.h>
#include <wx/timer.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <future>
#include <mutex>
#include <vector>

#include "app/view/window_texts.h"
#include "app/window/gui_test_seam.h"
#include "app/window/main_frame.h"
#include "app/window/window_thread.h"
#include "app/window/wx_display_provider.h"
#include "app/window/wx_message_box.h"
#include "platform/message_box.h"
#include "platform/message_window.h"

namespace ruzd::app::window {

namespace {

constexpr uint32_t kWmCommand = 0x0111;
// The test seam's requests: a grab of the frame, a display report (see gui_test_seam.h).
constexpr uint32_t kSeamGrab = platform::kWmUser;
constexpr uint32_t kSeamDisplayReport = platform::kWmUser + 1;
constexpr uintptr_t kReportOnAnotherThread = 1;
constexpr uintptr_t kReportSetsClipboard = 2;
// The longest the loop sleeps before it looks at the thread's timers again.
constexpr uint32_t kLongestTimerWaitMs = 1000;

class PelwixWxApp : public wxApp {
public:
    bool OnInit() override { return true; }
};

class WxWindowShell : public WindowShell {
public:
    WxWindowShell(CVesmarinApp& app, ServiceLinkFactory linkFactory)
        : app_(app), link_factory_(std::move(linkFactory)) {}

    ~WxWindowShell() override {
        Close();
        display_provider_.reset();
        if (started_) {
            wxEntryCleanup();
        }
    }

    bool Create() override {
        wxApp::SetInstance(new PelwixWxApp);
        int argc = 1;
        char name[] = "Pelwix";
        char* argv[] = {name, nullptr};
        if (!wxEntryStart(argc, argv)) {
            std::fprintf(stderr,
                         "Pelwix: there is no display to show the window on (is DISPLAY set?)\n");
            return false;
        }
        started_ = true;
        // Calls from other threads wait for the loop from here on.
        SetWindowTakesCalls(true);
        display_provider_ = std::make_unique<ScopedDisplayProvider>();
        wxImage::AddHandler(new wxPNGHandler);
        seam_ = GuiTestSeam::FromEnvironment();
        platform::SetMessageBoxPresenter(WxMessageBoxPresenter(seam_.get()));
        {
            std::lock_guard lock(post_lock_);
            posting_ = true;
        }
        frame_ = new MainFrame(app_, seam_.get(), link_factory_,
                               [this](std::function<void()> work) { PostWork(std::move(work)); });
        frame_->SetTitle(wxString::FromUTF8(FrameCaption(DocumentTitle(app_.IsGUIClient()))));
        if (seam_) {
            seam_window_.Create("PelwixFrame", frame_->GetTitle().utf8_string());
        }
        poll_timer_ = std::make_unique<wxTimer>(wxTheApp);
        wxTheApp->Bind(wxEVT_TIMER, [this](wxTimerEvent&) { Drain(); });
        platform::SetMessageWakeUp([this] { WakeUp(); });
        frame_->Maximize();
        frame_->Show();
        frame_->CommandsChanged();
        frame_->View().OnInitialUpdate();
        Drain();
        return true;
    }

    int Run() override {
        wxTheApp->OnRun();
        SetWindowTakesCalls(false);
        return exit_code_;
    }

    void Close() override {
        // The loop has ended, or never ran: what calls still wait for is not coming.
        SetWindowTakesCalls(false);
        seam_calls_.clear();
        if (frame_ == nullptr) {
            return;
        }
        platform::SetMessageWakeUp({});
        poll_timer_.reset();
        {
            std::lock_guard lock(post_lock_);
            posting_ = false;
        }
        seam_window_.Destroy();
        frame_->ReleaseView();
        frame_->Destroy();
        frame_ = nullptr;
        platform::SetMessageBoxPresenter({});
    }

private:
    // Any thread: work for the window's thread, dropped once the window is going.
    void PostWork(std::function<void()> work) {
        std::lock_guard lock(post_lock_);
        if (posting_) {
            wxTheApp->CallAfter(std::move(work));
        }
    }

    void WakeUp() {
        if (!wake_pending_.exchange(true)) {
            PostWork([this] { Drain(); });
        }
    }

    // The thread's messages, on the window's thread.
    void Drain() {
        wake_pending_ = false;
        if (draining_ || frame_ == nullptr) {
            return;
        }
        draining_ = true;
        platform::Message message;
        bool quit = false;
        while (!quit && platform::PeekMessage(message, true)) {
            if (message.id == platform::kWmQuit) {
                exit_code_ = static_cast<int>(message.wparam);
                quit = true;
            } else if (!DispatchFrameMessage(message)) {
                app_.PumpMessage(message);
            }
        }
        draining_ = false;
        if (quit) {
            poll_timer_->Stop();
            wxTheApp->ExitMainLoop();
            return;
        }
        const uint32_t wait = std::min(platform::MillisToNextTimer().value_or(kLongestTimerWaitMs),
                                       kLongestTimerWaitMs);
        poll_timer_->StartOnce(static_cast<int>(std::max<uint32_t>(wait, 1)));
    }

    // The seam's display report, here or on a thread of its own, which calls onto this one.
    void ReportDisplay(uintptr_t flags) {
        const bool setClipboard = (flags & kReportSetsClipboard) != 0;
        if ((flags & kReportOnAnotherThread) == 0) {
            seam_->ReportDisplay("window", setClipboard);
            return;
        }
        std::erase_if(seam_calls_, [](const std::future<void>& call) {
            return call.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
        });
        GuiTestSeam* seam = seam_.get();
        seam_calls_.push_back(std::async(std::launch::async, [seam, setClipboard] {
            seam->ReportDisplay("other", setClipboard);
        }));
    }

    // The messages of the test seam's window: a close request, a command, a grab, a report.
    bool DispatchFrameMessage(const platform::Message& message) {
        const auto* window =
            dynamic_cast<const platform::WindowMessagePayload*>(message.payload.get());
        if (window == nullptr || !seam_window_.IsCreated() || window->window != seam_window_.id()) {
            return false;
        }
        switch (message.id) {
            case platform::kWmClose:
                frame_->Close();
                break;
            case kWmCommand:
                frame_->RunCommand(static_cast<int>(message.wparam & 0xFFFF));
                break;
            case kSeamGrab:
                frame_->GrabToPicture();
                break;
            case kSeamDisplayReport:
                ReportDisplay(message.wparam);
                break;
            default:
                break;
        }
        return true;
    }

    CVesmarinApp& app_;
    const ServiceLinkFactory link_factory_;
    bool started_ = false;
    std::unique_ptr<GuiTestSeam> seam_;
    platform::MessageWindow seam_window_;
    MainFrame* frame_ = nullptr;
    // While the toolkit runs.
    std::unique_ptr<ScopedDisplayProvider> display_provider_;
    // The seam's reports on threads of their own.
    std::vector<std::future<void>> seam_calls_;
    // Made once the toolkit runs.
    std::unique_ptr<wxTimer> poll_timer_;
    std::mutex post_lock_;
    bool posting_ = false;
    std::atomic<bool> wake_pending_{false};
    bool draining_ = false;
    int exit_code_ = 0;
};

}  // namespace

WindowShellFactory WxWindowShellFactory(ServiceLinkFactory linkFactory) {
    return [linkFactory](CVesmarinApp& app) -> std::unique_ptr<WindowShell> {
        return std::make_unique<WxWindowShell>(app, linkFactory);
    };
}

}  // namespace ruzd::app::window

// The toolkit's libraries (fonts, themes, type registries) keep what they load for the life of
// the process and never free it; the leak checker of the sanitized builds is told so.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n"
           "leak:libglib-2.0.so\n"
           "leak:libgobject-2.0.so\n"
           "leak:libgtk-3.so\n"
           "leak:libgdk-3.so\n"
           "leak:libpango-1.0.so\n"
           "leak:libpangoft2-1.0.so\n"
           "leak:libcairo.so\n"
           "leak:libX11.so\n"
           "leak:libwx_gtk3u_core-3.2.so\n"
           "leak:libwx_baseu-3.2.so\n";
}

// The same libraries synchronise with atomics and locks of their own, which ThreadSanitizer cannot
// see, as they are not built with it: their start-up (the font cache, the type system) is
// reported as races. Races with a frame in them are not reported; races in our own code still
// are.
extern "C" const char* __tsan_default_suppressions() {
    return "race:libfontconfig.so\n"
           "race:libglib-2.0.so\n"
           "race:libgio-2.0.so\n"
           "race:libgobject-2.0.so\n"
           "race:libgtk-3.so\n"
           "race:libgdk-3.so\n"
           "race:libpango-1.0.so\n"
           "race:libpangoft2-1.0.so\n"
           "race:libcairo.so\n";
}
