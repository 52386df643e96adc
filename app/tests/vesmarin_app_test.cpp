// The application object in the test process, headless over the simulated boards: what its
// thread is registered for while it runs, and what its debug settings switch.

#include "app/vesmarin_app.h"

#include <gtest/gtest.h>

#include "foundation/debug_log.h"
#include "foundation/time_tools.h"
#include "foundation/trace.h"
#include "platform/loaded_modules.h"
#include "testing/eventually.h"
#include "testing/manager_on_boards.h"
#include "testing/node_app_fixture.h"
#include "testing/temp_root.h"

namespace ruzd::app {
namespace {

using foundation::TimeTools;

using VesmarinAppTest = testing::NodeAppTest;

TEST_F(VesmarinAppTest, TheApplicationThreadHearsOfTimeChangesWhileItRunsAndNotAfter) {
    CVesmarinApp app(foundation::kRunModeHeadless, {"-d"});
    foundation::ScopedApp installed(app);
    ASSERT_TRUE(app.Start());
    const uint32_t thread = app.ApplicationThreadId();
    ASSERT_TRUE(testing::Eventually([&] {
        return TimeTools::IsTimeChangeListener(thread) && TimeTools::IsShiftListener(thread);
    }));
    EXPECT_NE(TimeTools::GetTimeChangeNoticeThreadId(), 0u);

    app.Quit(0);
    EXPECT_EQ(app.Join(), 0);
    EXPECT_FALSE(TimeTools::IsTimeChangeListener(thread));
    EXPECT_FALSE(TimeTools::IsShiftListener(thread));
    // Nobody else listened: the notice thread went with the registration.
    EXPECT_EQ(TimeTools::GetTimeChangeNoticeThreadId(), 0u);
}

// A manager whose Aculab path the test switched on, beside an application object that is not
// started: its debug settings reach the Aculab media library's trace through the facade.
class AculabTraceTest : public testing::ManagerOnBoardsTest {
protected:
    ~AculabTraceTest() override {
        foundation::StopDebugLog();
        foundation::g_nTraceLevel = 2;
    }

    testing::TempWorkFolder folder_;
};

TEST_F(AculabTraceTest, TheMediaLibraryTracesFromTraceLevelFourOn) {
    WriteConfig("ip 0 0\naculab SER-A 4 modules=1\n");
    node::ManagerSettings settings;
    settings.aculabPath = telephony::CHardware::AculabPath::kSwitchedOnForTests;
    Start(settings);
    const auto* level = static_cast<const int*>(
        platform::ExportOfLoadedModule(VendorFolder() / "TiNG.so", "TiNGtrace"));
    ASSERT_NE(level, nullptr);

    CVesmarinApp app(foundation::kRunModeHeadless, {});
    DebugSettings debug = app.GetDebugSettings();
    debug.traceLevel = 4;
    app.SetDebugSettings(debug);
    EXPECT_EQ(*level, 3);
    debug.traceLevel = 3;
    app.SetDebugSettings(debug);
    EXPECT_EQ(*level, 0);
    EXPECT_EQ(foundation::g_nTraceLevel.load(), 3);
    debug.traceLevel = 5;
    app.SetDebugSettings(debug);
    EXPECT_EQ(*level, 3);

    // Without a facade only the trace level changes.
    Release();
    debug.traceLevel = 4;
    app.SetDebugSettings(debug);
    EXPECT_EQ(foundation::g_nTraceLevel.load(), 4);
}

}  // namespace
}  // namespace ruzd::app
