// The binding's lines reach the debug log as Trace lines.

#include "telephony/vendor_log.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "foundation/debug_log.h"
#include "foundation/tests/debug_log_fixture.h"
#include "foundation/trace.h"
#include "platform/root.h"
#include "telephony/lib_dxxmt.h"
#include "telephony/lib_ting.h"
#include "testing/scoped_environment.h"

namespace ruzd::telephony {
namespace {

constexpr const char* kFile = "Tav12081405.deb";

class VendorLogTest : public foundation::DebugLogTest {
protected:
    VendorLogTest() {
        environment_.Set("RUZD_VENDOR_DIR", (root_.path() / "vendor").string());
        std::filesystem::create_directories(platform::VendorDir());
    }
    ~VendorLogTest() override { foundation::g_nTraceLevel = 2; }

    ruzd::testing::ScopedEnvironment environment_;
};

TEST_F(VendorLogTest, AMissingExportIsAPlainLineWithoutDevice) {
    std::filesystem::copy_file(
        std::filesystem::path(RUZD_VENDOR_STUB_DIR) / "stub_libdxxmt_no_dial.so",
        platform::VendorDir() / "libdxxmt.so");
    foundation::StartDebugLog(kPrefix, 0, true, 0);
    { CLibDXXMT voice; }
    foundation::StopDebugLog();
    const std::vector<std::string> lines = LogLines(kFile);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(AfterThread(lines[1]), ":---------:--     1 --- dx_dial not loaded");
}

TEST_F(VendorLogTest, TheMediaLibrarysTraceGoesToDevice666) {
    foundation::StartDebugLog(kPrefix, 0, true, 0);
    foundation::g_nTraceLevel = 4;
    TiNGShowTrace("module %1!d!: 50%% used", 3);
    foundation::StopDebugLog();
    const std::vector<std::string> lines = LogLines(kFile);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(AfterThread(lines[1]), ":---------:Vo0666 1 --- module 3: 50% used");
}

}  // namespace
}  // namespace ruzd::telephony
