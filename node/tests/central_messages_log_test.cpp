// The debug-log line of the text message, which is written whether or not the text can be sent.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "foundation/debug_log.h"
#include "net/callback_output_stream.h"
#include "node/central_messages.h"
#include "testing/debug_files.h"
#include "testing/temp_root.h"

namespace ruzd::node {
namespace {

namespace fs = std::filesystem;
using ::testing::AllOf;
using ::testing::Contains;
using ::testing::EndsWith;
using ::testing::HasSubstr;

using ruzd::testing::DebugLines;

TEST(CentralMessagesLog, TextIsLoggedWithTheChannelAsCallId) {
    testing::TempRoot root;
    const fs::path folder = root.path() / "drives" / "c" / "Ruzd" / "Debug";
    fs::create_directories(folder);
    foundation::StartDebugLog("C:\\Ruzd\\Debug\\Tav", 5, true, 0);

    CentralMessages messages;
    net::CCallbackOutputStream listener([](const uint8_t*, int, const std::string&, unsigned) {});
    messages.ChannelText(nullptr, 17, "nobody listens");
    messages.ChannelTextF(&listener, 42, "value %d", 7);
    foundation::StopDebugLog();

    const std::vector<std::string> lines = DebugLines(folder);
    EXPECT_THAT(lines, Contains(AllOf(HasSubstr(":000000017:--"),
                                      EndsWith("SendMessageToOrvanthella nobody listens"))));
    EXPECT_THAT(lines, Contains(AllOf(HasSubstr(":000000042:--"),
                                      EndsWith("SendMessageToOrvanthella value 7"))));
}

}  // namespace
}  // namespace ruzd::node
