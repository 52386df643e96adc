// The names of the Dialogic events in the event forwarding's log lines.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "foundation/debug_log.h"
#include "node/isdn_event_names.h"
#include "node/vesmarin_manager.h"
#include "testing/debug_files.h"
#include "testing/temp_root.h"

namespace ruzd::node {
namespace {

namespace fs = std::filesystem;
using ::testing::AllOf;
using ::testing::Contains;
using ::testing::EndsWith;
using ::testing::HasSubstr;

TEST(IsdnEventNames, KnownCodesHaveTheirNamesAndGapsAreUnknown) {
    IsdnEventNames names;
    EXPECT_EQ(names.Name(0x847), "Unknown Event");
    names.Populate();
    EXPECT_EQ(names.Size(), 101u);
    EXPECT_EQ(names.Name(0x847), "NSI");
    EXPECT_EQ(names.Name(0x803), "Unknown Event");
    EXPECT_EQ(names.Name(0x81), "TDX_PLAY");
    EXPECT_EQ(names.Name(0xE0), "TEC_STREAM");
    EXPECT_EQ(names.Name(0x8A0), "CANCELWAITCALL");
    EXPECT_EQ(names.Name(0x4002), "IAMCOTFAILED");
    EXPECT_EQ(names.Name(0), "Unknown Event");
    EXPECT_EQ(names.Name(-1), "Unknown Event");
    // Filling again changes nothing.
    names.Populate();
    EXPECT_EQ(names.Size(), 101u);
}

TEST(IsdnEventNames, TheManagerLogsEveryLookup) {
    ruzd::testing::TempRoot root;
    const fs::path folder = root.path() / "drives" / "c" / "Debug";
    fs::create_directories(folder);
    foundation::StartDebugLog("C:\\Debug\\Node", 0, true, 0);

    CVesmarinManager manager{ManagerSettings{}};
    manager.PopulateISDNEvents();
    const std::string& name = manager.GetISDNEvents(0x847);
    EXPECT_EQ(name, "NSI");
    EXPECT_EQ(manager.GetISDNEvents(0x803), "Unknown Event");
    // The text stays where it is while the manager lives.
    EXPECT_EQ(&name, &manager.GetISDNEvents(0x847));
    foundation::StopDebugLog();

    const auto lines = ruzd::testing::DebugLines(folder);
    EXPECT_THAT(lines, Contains(AllOf(HasSubstr(":**"), EndsWith("PopulateISDNEvents"))));
    EXPECT_THAT(lines, Contains(AllOf(HasSubstr("GetISDNEvents"), HasSubstr("2119"))));
    EXPECT_THAT(lines, Contains(AllOf(HasSubstr("GetISDNEvents"), EndsWith("NSI"))));
    EXPECT_THAT(lines, Contains(AllOf(HasSubstr("GetISDNEvents"), EndsWith("Unknown Event"))));
}

}  // namespace
}  // namespace ruzd::node
