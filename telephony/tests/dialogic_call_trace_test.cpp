// The detailed traces of single Dialogic calls: silent below trace level 4, the call and its
// result from 4 on, and for a failure the last error of the device the node manager holds.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "foundation/trace.h"
#include "platform/text.h"
#include "platform/thread.h"
#include "telephony/device_handle_lookup.h"
#include "telephony/dialogic_call_trace.h"
#include "telephony/tests/facade_fixture.h"
#include "telephony/tests/stubs/stub_value.h"

namespace ruzd::telephony {
namespace {

using stubs::StubNumber;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr int32_t kLdev = 33;

// The node's device tables holding one voice device.
class OneVoiceDevice : public DeviceHandleLookup {
public:
    explicit OneVoiceDevice(int32_t handle) : handle_(handle) {}
    bool GetDeviceHandle(int32_t ldev, int32_t device_type, int32_t* handle) const override {
        const bool found = ldev == kLdev && device_type == kPortTypeVoice;
        *handle = found ? handle_ : -1;
        return found;
    }
    bool GetIPDeviceHandle(int32_t /*ldev*/, int32_t* handle) const override {
        *handle = -1;
        return false;
    }

private:
    const int32_t handle_;
};

class DialogicCallTraceTest : public FacadeTest {
protected:
    DialogicCallTraceTest() : saved_level_(foundation::g_nTraceLevel.load()) {
        InstallRecordingDialogic();
        hardware_ = std::make_unique<TestFacade>();
        PublishHardware(hardware_.get());
        TakeCalls();
        ForgetLines();
    }
    ~DialogicCallTraceTest() override {
        PublishHardware(nullptr);
        foundation::g_nTraceLevel.store(saved_level_);
    }

    static std::string Tid() { return platform::Format("tid=0x%03x", platform::CurrentThreadId()); }

    std::unique_ptr<TestFacade> hardware_;

private:
    int saved_level_;
};

TEST_F(DialogicCallTraceTest, BelowLevelFourNothingIsWrittenEvenForAFailure) {
    foundation::g_nTraceLevel.store(3);
    {
        int32_t result = -1;
        CDialogicCallTrace trace("dx_play", kLdev, 1, &result, true, "%d, %s", 5, "file");
        trace.SetResultText("text");
    }
    TraceDialogicCall("gc_MakeCall");
    TraceDialogicResult(*hardware_, "gc_MakeCall", -1);
    EXPECT_THAT(NewLines(), IsEmpty());
    EXPECT_THAT(TakeCalls(), IsEmpty());
}

TEST_F(DialogicCallTraceTest, ASuccessShowsTheCallAndItsResult) {
    foundation::g_nTraceLevel.store(4);
    {
        int32_t result = 0;
        CDialogicCallTrace trace("dx_play", kLdev, 1, &result, false, "%d, %s", 5, "file");
        result = 0;
    }
    const std::vector<LoggedLine> lines = NewLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].text, "*** DIALOGIC: " + Tid() + " dx_play(5, file)");
    EXPECT_EQ(lines[0].kind, 1);
    EXPECT_EQ(lines[0].device, kLdev);
    EXPECT_EQ(lines[1].text, "*** DIALOGIC: " + Tid() + "    dx_play() = 0 5, file");
    EXPECT_THAT(TakeCalls(), IsEmpty());
}

TEST_F(DialogicCallTraceTest, AFailureShowsTheLastErrorOfTheManagersDevice) {
    foundation::g_nTraceLevel.store(4);
    auto devices = std::make_shared<OneVoiceDevice>(77);
    PublishedDeviceHandles().Publish(devices);
    {
        int32_t result = -1;
        CDialogicCallTrace trace("dx_play", kLdev, kPortTypeVoice, &result, false, "x");
        trace.SetResultText("after");
    }
    const std::vector<LoggedLine> lines = NewLines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1].text, "*** DIALOGIC: " + Tid() + "    dx_play() = -1 after");
    // The recording stub's error text is narrow and ends in an accented letter.
    EXPECT_EQ(
        lines[2].text,
        platform::Format("*** DIALOGIC: %s    dx_play() = -1 Error = %d Msg = ATDV_ERRMSGP\u00e9",
                         Tid().c_str(), StubNumber("ATDV_LASTERR")));
    EXPECT_EQ(lines[2].device, kLdev);
    const std::vector<std::string> calls = TakeCalls();
    EXPECT_THAT(calls, ::testing::UnorderedElementsAre("ATDV_LASTERR(77)", "ATDV_ERRMSGP(77)"));

    // A device the tables do not hold reads as device 0.
    {
        int32_t result = -1;
        CDialogicCallTrace trace("dx_play", kLdev + 1, kPortTypeVoice, &result, false, "x");
    }
    EXPECT_THAT(TakeCalls(), ::testing::UnorderedElementsAre("ATDV_LASTERR(0)", "ATDV_ERRMSGP(0)"));
}

TEST_F(DialogicCallTraceTest, APositiveResultIsAFailureOnlyWhenForced) {
    foundation::g_nTraceLevel.store(5);
    {
        int32_t result = 4;
        CDialogicCallTrace trace("cc_Open", kLdev, 3, &result, false, "%s", "");
    }
    EXPECT_THAT(NewLines(), ::testing::SizeIs(2));
    ForgetLines();
    {
        int32_t result = 4;
        CDialogicCallTrace trace("cc_Open", kLdev, 3, &result, true, "%s", "");
    }
    // Without a manager the device is 0.
    EXPECT_THAT(NewLines(), ::testing::SizeIs(3));
    EXPECT_THAT(TakeCalls(), ::testing::UnorderedElementsAre("ATDV_LASTERR(0)", "ATDV_ERRMSGP(0)"));
}

TEST_F(DialogicCallTraceTest, ALongArgumentTextIsCut) {
    foundation::g_nTraceLevel.store(4);
    const std::string many(600, 'a');
    {
        int32_t result = 0;
        CDialogicCallTrace trace("dx_play", kLdev, 1, &result, false, "%s", many.c_str());
    }
    EXPECT_EQ(NewLines()[0].text,
              "*** DIALOGIC: " + Tid() + " dx_play(" + std::string(511, 'a') + ")");
}

TEST_F(DialogicCallTraceTest, GlobalCallResultsShowTheLibrarysLastError) {
    foundation::g_nTraceLevel.store(4);
    TraceDialogicCall("gc_MakeCall");
    TraceDialogicResult(*hardware_, "gc_MakeCall", 0);
    TraceDialogicResult(*hardware_, "gc_MakeCall", -1);
    EXPECT_THAT(NewTexts(),
                ElementsAre("*** DIALOGIC: " + Tid() + " gc_MakeCall()",
                            "*** DIALOGIC: " + Tid() + "    gc_MakeCall() = 0",
                            "*** DIALOGIC: " + Tid() + "    gc_MakeCall() = -1",
                            "*** DIALOGIC: " + Tid() + "    gc_MakeCall() Error = 0 Msg = "));
    const std::vector<std::string> calls = TakeCalls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_THAT(calls[0], ::testing::StartsWith("gc_ErrorValue("));
    EXPECT_THAT(calls[1], ::testing::StartsWith("gc_ResultMsg(0, 0, "));
}

}  // namespace
}  // namespace ruzd::telephony
