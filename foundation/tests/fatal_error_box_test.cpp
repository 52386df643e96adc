// The fatal error box: the message and the request to close, in that order.

#include "foundation/fatal_error_box.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/app_hooks.h"
#include "platform/message_box.h"

namespace ruzd::foundation {
namespace {

using ::testing::ElementsAre;

class ClosingApp : public AppHooks {
public:
    ClosingApp() : AppHooks(kRunModeWindow, "Pelwix") {}
    void RequestMainWindowClose() override { ++close_requests; }
    int close_requests = 0;
};

TEST(FatalErrorBoxTest, ShowsTheCodeAndClosesTheMainWindow) {
    ClosingApp app;
    ScopedApp scope(app);
    std::vector<std::string> shown;
    platform::MessageBoxPresenter previous = platform::SetMessageBoxPresenter(
        [&](const std::string& text, const std::string& caption, uint32_t style) {
            shown.push_back(caption + "|" + text + "|" + std::to_string(style));
            // The window is asked to close only after its box was answered.
            EXPECT_EQ(app.close_requests, static_cast<int>(shown.size()) - 1);
            return platform::kIdOk;
        });
    FatalErrorBox(30);
    FatalErrorBox(31);
    platform::SetMessageBoxPresenter(previous);
    EXPECT_THAT(shown, ElementsAre("Pelwix|Error 30|0", "Pelwix|Error 31|0"));
    EXPECT_EQ(app.close_requests, 2);
}

}  // namespace
}  // namespace ruzd::foundation
