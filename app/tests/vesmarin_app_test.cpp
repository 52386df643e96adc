// The application object in the test process, headless over the simulated boards: what its
// thread is registered for while it runs.

#include "app/vesmarin_app.h"

#include <gtest/gtest.h>

#include "foundation/time_tools.h"
#include "testing/eventually.h"
#include "testing/node_app_fixture.h"

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

}  // namespace
}  // namespace ruzd::app
