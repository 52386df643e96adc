#pragma once

// A vendor folder to fill with stub libraries (VendorStubTest), the message boxes shown and
// the main-window close requests made meanwhile, and a facade that tests may start Global Call
// on without the start-up and may build with the Aculab path switched on; or the facade over
// the simulated boards instead of the stubs (FacadeBoardsimTest).

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "foundation/app_hooks.h"
#include "platform/loaded_modules.h"
#include "platform/message_box.h"
#include "platform/root.h"
#include "telephony/hardware_isdn.h"
#include "telephony/restart_marks.h"
#include "telephony/tests/vendor_stub_fixture.h"
#include "testing/simulated_boards.h"

namespace ruzd::telephony {

class TestFacade : public CHardwareISDN {
public:
    static constexpr uint32_t kCreatorThread = 4242;

    explicit TestFacade(AculabPath aculab = AculabPath::kSwitchedOff, bool global_call_only = false)
        : CHardwareISDN(kCreatorThread, aculab, global_call_only) {}

    using CHardware::SetGlobalCallInitialised;
};

// The application the facade shows its boxes for; counts the requests to close its window.
class RecordingApp : public foundation::AppHooks {
public:
    RecordingApp() : AppHooks(foundation::kRunModeWindow, "Pelwix") {}
    void RequestMainWindowClose() override { ++close_requests; }
    int close_requests = 0;
};

struct ShownBox {
    std::string text;
    std::string caption;
    uint32_t style;
};

// Every library the facade may load, by its file name without ".dll".
inline const std::vector<std::string>& FacadeLibraries() {
    static const std::vector<std::string> libraries = {
        "libgc",  "libsrlmt", "libipm",  "libdxxmt", "libdtimt",  "libecmt", "XDSlibsc",
        "NCMAPI", "CL_Lib",   "Res_Lib", "SW_Lib",   "IpTel_Lib", "TiNG"};
    return libraries;
}

class FacadeTest : public VendorStubTest {
protected:
    FacadeTest() : app_scope_(app_) {
        previous_presenter_ = platform::SetMessageBoxPresenter(
            [this](const std::string& text, const std::string& caption, uint32_t style) {
                std::lock_guard<std::mutex> lock(boxes_mutex_);
                boxes_.push_back({text, caption, style});
                return platform::kIdOk;
            });
    }
    ~FacadeTest() override {
        platform::SetMessageBoxPresenter(previous_presenter_);
        for (int32_t ldev = 0; ldev < kRestartMarkCount; ++ldev)
            ClearRestartMark(ldev);
    }

    // Complete stubs of every library the facade loads in the node.
    void InstallDialogic() {
        Install("stub_libgc", "libgc");
        Install("stub_libsrlmt", "libsrlmt");
        Install("stub_libipm", "libipm");
        Install("stub_libdxxmt", "libdxxmt");
        Install("stub_libdtimt", "libdtimt");
        Install("stub_libecmt", "libecmt");
        Install("stub_xdslibsc", "XDSlibsc");
        Install("stub_ncmapi", "NCMAPI");
    }

    // The same as recording stubs.
    void InstallRecordingDialogic() {
        Install("recording_libgc", "libgc");
        Install("recording_libsrlmt", "libsrlmt");
        Install("recording_libipm", "libipm");
        Install("recording_libdxxmt", "libdxxmt");
        Install("recording_libdtimt", "libdtimt");
        Install("recording_libecmt", "libecmt");
        Install("recording_xdslibsc", "XDSlibsc");
        Install("recording_ncmapi", "NCMAPI");
    }

    // Complete stubs of the five Aculab libraries, under the names the facade loads.
    void InstallAculab() {
        Install("stub_cl_lib", "CL_Lib");
        Install("stub_res_lib", "Res_Lib");
        Install("stub_sw_lib", "SW_Lib");
        Install("stub_iptel_lib", "IpTel_Lib");
        Install("stub_ting", "TiNG");
    }

    // The same as recording stubs.
    void InstallRecordingAculab() {
        Install("recording_cl_lib", "CL_Lib");
        Install("recording_res_lib", "Res_Lib");
        Install("recording_sw_lib", "SW_Lib");
        Install("recording_iptel_lib", "IpTel_Lib");
        Install("recording_ting", "TiNG");
    }

    // The calls the loaded recording stubs were given since the last time, in no set order
    // across libraries.
    static std::vector<std::string> TakeCalls() {
        std::vector<std::string> calls;
        for (const std::string& library : FacadeLibraries()) {
            using TakeCallsFunction = void (*)(std::vector<std::string>*);
            if (auto take = reinterpret_cast<TakeCallsFunction>(platform::ExportOfLoadedModule(
                    platform::VendorDir() / (library + ".so"), "stub_take_calls")))
                take(&calls);
        }
        return calls;
    }

    std::vector<ShownBox> Boxes() {
        std::lock_guard<std::mutex> lock(boxes_mutex_);
        return boxes_;
    }
    std::vector<std::string> BoxTexts() {
        std::vector<std::string> texts;
        for (const ShownBox& box : Boxes())
            texts.push_back(box.text);
        return texts;
    }
    void ForgetBoxes() {
        std::lock_guard<std::mutex> lock(boxes_mutex_);
        boxes_.clear();
    }

    // Log lines written after the last ForgetLines().
    std::vector<LoggedLine> NewLines() {
        std::vector<LoggedLine> lines = Lines();
        lines.erase(lines.begin(), lines.begin() + static_cast<long>(lines_seen_));
        return lines;
    }
    std::vector<std::string> NewTexts() {
        std::vector<std::string> texts;
        for (const LoggedLine& line : NewLines())
            texts.push_back(line.text);
        return texts;
    }
    void ForgetLines() { lines_seen_ = Lines().size(); }

    int CloseRequests() const { return app_.close_requests; }

private:
    RecordingApp app_;
    foundation::ScopedApp app_scope_;
    platform::MessageBoxPresenter previous_presenter_;
    std::mutex boxes_mutex_;
    std::vector<ShownBox> boxes_;
    size_t lines_seen_ = 0;
};

// The facade over the simulated boards, loaded from the build's vendor folder exactly as the
// node loads the vendors' libraries; the control socket plays the far end of calls.
using FacadeBoardsimTest = testing::OnSimulatedBoards<FacadeTest>;

}  // namespace ruzd::telephony
