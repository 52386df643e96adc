// Events injected through the control socket and read back through the event table, as the
// node's event thread reads them.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <future>

#include "telephony/lib_dtimt.h"
#include "telephony/lib_dxxmt.h"
#include "telephony/lib_gc.h"
#include "telephony/lib_srlmt.h"
#include "telephony/vendor_call.h"
#include "testing/simulated_boards.h"

namespace ruzd::boardsim {
namespace {

using telephony::CLibDTIMT;
using telephony::CLibDXXMT;
using telephony::CLibGc;
using telephony::CLibSRLMT;
using telephony::VendorCall;

class EventsTest : public testing::BoardsimTest {
protected:
    int32_t WaitEvent(int32_t timeout) {
        return VendorCall(&srl_, &CLibSRLMT::sr_waitevt, timeout);
    }
    int32_t Device() { return VendorCall(&srl_, &CLibSRLMT::sr_getevtdev_0, 0); }
    int32_t Type() { return VendorCall(&srl_, &CLibSRLMT::sr_getevttype_0, 0); }
    template <typename T>
    T Data(size_t index = 0) {
        const void* data = VendorCall(&srl_, &CLibSRLMT::sr_getevtdatap_0, 0);
        EXPECT_NE(data, nullptr);
        T value{};
        if (data != nullptr)
            std::memcpy(&value, static_cast<const char*>(data) + index * sizeof(T), sizeof(T));
        return value;
    }

    CLibSRLMT srl_;
    CLibDTIMT network_;
    CLibDXXMT voice_;
};

TEST_F(EventsTest, NothingQueuedMeansATimeOut) {
    EXPECT_EQ(WaitEvent(0), -1);
    EXPECT_EQ(WaitEvent(10), -1);
    EXPECT_EQ(Device(), -1) << "no current event yet";
    EXPECT_EQ(VendorCall(&srl_, &CLibSRLMT::sr_getevtdatap_0, 0), nullptr);
}

TEST_F(EventsTest, AnIncomingCallIsOfferedOnTheLineDevice) {
    LINEDEV line = 0;
    ASSERT_EQ(VendorCall(&network_, &CLibDTIMT::cc_Open, &line, "dtiB1T1", 0), 0);
    CRN slot = 0;
    ASSERT_EQ(VendorCall(&network_, &CLibDTIMT::cc_WaitCall, line, &slot, nullptr, -1,
                         uint32_t{EV_ASYNC}),
              0);
    const std::string answer = Control("call dtiB1T1 5551000 5552000");
    ASSERT_THAT(answer, ::testing::StartsWith("OK crn="));
    const int32_t crn = std::stoi(answer.substr(7));
    ASSERT_EQ(Control("settle"), "OK");
    EXPECT_EQ(Control("query events"), "OK 1");

    ASSERT_EQ(WaitEvent(0), 0);
    EXPECT_EQ(Device(), line);
    EXPECT_EQ(Type(), CCEV_OFFERED);
    EXPECT_EQ(Data<int32_t>(), crn);
    EXPECT_EQ(VendorCall(&srl_, &CLibSRLMT::sr_getevtdev_1, 1), line) << "the handle form too";
    EXPECT_EQ(VendorCall(&srl_, &CLibSRLMT::sr_getevttype_1, 1), CCEV_OFFERED);
    EXPECT_EQ(WaitEvent(0), -1);

    ASSERT_EQ(Control("hangup dtiB1T1 17"), "OK crn=" + std::to_string(crn));
    ASSERT_EQ(WaitEvent(1000), 0);
    EXPECT_EQ(Type(), CCEV_DISCONNECTED);
    EXPECT_EQ(Data<int32_t>(0), crn);
    EXPECT_EQ(Data<int32_t>(1), 17);
    EXPECT_EQ(Control("hangup dtiB1T1"), "ERR no call on dtiB1T1");
}

TEST_F(EventsTest, DigitsArriveOneEventEach) {
    const int32_t channel = VendorCall(&voice_, &CLibDXXMT::dx_open, "dxxxB1C3", 0);
    ASSERT_GT(channel, 0);
    ASSERT_EQ(Control("digits dxxxB1C3 4#"), "OK events=2");
    for (char digit : {'4', '#'}) {
        ASSERT_EQ(WaitEvent(0), 0);
        EXPECT_EQ(Device(), channel);
        EXPECT_EQ(Type(), TDX_CST);
        const DX_CST cst = Data<DX_CST>();
        EXPECT_EQ(cst.cst_event, DE_DIGITS);
        EXPECT_EQ(cst.cst_data, digit);
    }
}

TEST_F(EventsTest, AlarmsAndRawEventsCarryTheirData) {
    const int32_t span = VendorCall(&network_, &CLibDTIMT::dt_open, "dtiB1", 0);
    ASSERT_GT(span, 0);
    ASSERT_EQ(Control("alarm dtiB1 0x2A"), "OK");
    ASSERT_EQ(Control("event #" + std::to_string(span) + " 0x2049 01020304"), "OK event=2");
    ASSERT_EQ(WaitEvent(0), 0);
    EXPECT_EQ(Type(), CCEV_ALARM);
    EXPECT_EQ(Data<int32_t>(), 0x2A);
    ASSERT_EQ(WaitEvent(0), 0);
    EXPECT_EQ(Device(), span);
    EXPECT_EQ(Type(), DTEV_SIGNAL);
    EXPECT_EQ(Data<uint32_t>(), 0x04030201u);
}

TEST_F(EventsTest, EventsNeedAnOpenDevice) {
    EXPECT_EQ(Control("call dtiB1T1"), "ERR no open device dtiB1T1");
    EXPECT_EQ(Control("event #99 0x81"), "ERR no open device #99");
    const int32_t channel = VendorCall(&voice_, &CLibDXXMT::dx_open, "dxxxB1C1", 0);
    ASSERT_EQ(VendorCall(&voice_, &CLibDXXMT::dx_close, channel), 0);
    EXPECT_EQ(Control("digits dxxxB1C1 1"), "ERR no open device dxxxB1C1");
    EXPECT_EQ(Control("event dxxxB1C1 0x81 0"), "ERR no open device dxxxB1C1");
    EXPECT_EQ(Control("query events"), "OK 0");
}

TEST_F(EventsTest, PutEventsComeBackInOrder) {
    const char data[] = "abc";
    EXPECT_EQ(VendorCall(&srl_, &CLibSRLMT::sr_putevt, 7, uint32_t{TDX_PLAY}, 4,
                         const_cast<char*>(data), 0),
              0);
    EXPECT_EQ(VendorCall(&srl_, &CLibSRLMT::sr_putevt, 8, uint32_t{TDX_RECORD}, 0, nullptr, 0), 0);
    ASSERT_EQ(WaitEvent(0), 0);
    EXPECT_EQ(Device(), 7);
    EXPECT_EQ(Type(), TDX_PLAY);
    EXPECT_STREQ(static_cast<const char*>(VendorCall(&srl_, &CLibSRLMT::sr_getevtdatap_0, 0)),
                 "abc");
    EXPECT_EQ(VendorCall(&srl_, &CLibSRLMT::sr_getevtlen, 1), 4);
    ASSERT_EQ(WaitEvent(0), 0);
    EXPECT_EQ(Device(), 8);
    EXPECT_EQ(VendorCall(&srl_, &CLibSRLMT::sr_getevtdatap_0, 0), nullptr);
    EXPECT_EQ(VendorCall(&srl_, &CLibSRLMT::sr_getevtlen, 2), 0);
}

TEST_F(EventsTest, AWaitWithoutLimitTakesTheNextEvent) {
    const int32_t channel = VendorCall(&voice_, &CLibDXXMT::dx_open, "dxxxB1C1", 0);
    std::future<std::pair<int32_t, int32_t>> waiter = std::async(std::launch::async, [this] {
        const int32_t result = WaitEvent(-1);
        return std::make_pair(result, Type());  // the waiting thread's own current event
    });
    ASSERT_EQ(Control("event dxxxB1C1 0x81"), "OK event=1");
    const auto [result, type] = waiter.get();
    EXPECT_EQ(result, 0);
    EXPECT_EQ(type, TDX_PLAY);
    EXPECT_EQ(Type(), -1) << "this thread has no current event";
    (void)channel;
}

TEST_F(EventsTest, GlobalCallDescribesTheCurrentEvent) {
    CLibGc gc;
    ASSERT_EQ(VendorCall(&gc, &CLibGc::gc_Start, nullptr), 0);
    LINEDEV line = 0;
    ASSERT_EQ(
        VendorCall(&gc, &CLibGc::gc_OpenEx, &line, ":N_iptB1T2:P_SIP:M_ipmB1C2", 0x8000, nullptr),
        0);
    ASSERT_EQ(WaitEvent(0), 0) << "the asynchronous open completes with an event";
    METAEVENT meta{};
    ASSERT_EQ(VendorCall(&gc, &CLibGc::gc_GetMetaEvent, &meta), 0);
    EXPECT_EQ(meta.evtdev, line);
    EXPECT_EQ(meta.evttype, CCEV_OPENEX);
    EXPECT_EQ(meta.linedev, line);

    ASSERT_EQ(VendorCall(&gc, &CLibGc::gc_WaitCall, line, nullptr, nullptr, -1, GC_ASYNC), 0);
    const std::string answer = Control("call :N_iptB1T2:P_SIP:M_ipmB1C2 100 200");
    ASSERT_THAT(answer, ::testing::StartsWith("OK crn="));
    ASSERT_EQ(WaitEvent(1000), 0);
    ASSERT_EQ(VendorCall(&gc, &CLibGc::gc_GetMetaEvent, &meta), 0);
    EXPECT_EQ(meta.evttype, CCEV_OFFERED);
    EXPECT_EQ(meta.crn, std::stoi(answer.substr(7)));
    EXPECT_EQ(meta.evtlen, 8) << "the call reference and the result";
    EXPECT_NE(meta.evtdatap, nullptr);
}

}  // namespace
}  // namespace ruzd::boardsim
