#pragma once

// The call model as the node meets it: events read through the event library (or Global
// Call's meta events) with their call data read back through the call functions, as the
// node's event thread reads them, while the control socket plays the far end.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "telephony/lib_dtimt.h"
#include "telephony/lib_gc.h"
#include "telephony/lib_srlmt.h"
#include "telephony/vendor_call.h"
#include "testing/simulated_boards.h"

namespace ruzd::boardsim {

class CallTest : public testing::BoardsimTest {
protected:
    // How long a test waits for an event the simulator owes it; never reached when it works.
    static constexpr int32_t kEventWait = 5000;

    struct Seen {
        int32_t device = -1;
        int32_t type = -1;
        CRN crn = -1;
        int32_t result = -1;
        std::vector<uint8_t> ies;
    };

    // The next event through the event library, its call data through the cc_ functions.
    Seen NextIsdnEvent() {
        Seen seen;
        if (telephony::VendorCall(&srl_, &telephony::CLibSRLMT::sr_waitevt, kEventWait) != 0)
            return seen;
        seen.device = telephony::VendorCall(&srl_, &telephony::CLibSRLMT::sr_getevtdev_0, 0);
        seen.type = telephony::VendorCall(&srl_, &telephony::CLibSRLMT::sr_getevttype_0, 0);
        void* data = telephony::VendorCall(&srl_, &telephony::CLibSRLMT::sr_getevtdatap_0, 0);
        CRN crn = -1;
        if (telephony::VendorCall(&isdn_, &telephony::CLibDTIMT::cc_GetCRN, &crn, data) == 0)
            seen.crn = crn;
        seen.result = telephony::VendorCall(&isdn_, &telephony::CLibDTIMT::cc_ResultValue, data);
        IE_BLK block{};
        if (telephony::VendorCall(&isdn_, &telephony::CLibDTIMT::cc_GetSigInfo,
                                  reinterpret_cast<char*>(&block), U_IES, data) == 0)
            seen.ies.assign(block.data, block.data + block.length);
        return seen;
    }

    // The next event as Global Call describes it, its call data through the gc_ functions.
    Seen NextGlobalCallEvent(METAEVENT* meta = nullptr) {
        Seen seen;
        METAEVENT local{};
        METAEVENT& event = meta != nullptr ? *meta : local;
        if (telephony::VendorCall(&srl_, &telephony::CLibSRLMT::sr_waitevt, kEventWait) != 0 ||
            telephony::VendorCall(&gc_, &telephony::CLibGc::gc_GetMetaEvent, &event) != 0)
            return seen;
        seen.device = event.evtdev;
        seen.type = event.evttype;
        CRN crn = -1;
        if (telephony::VendorCall(&gc_, &telephony::CLibGc::gc_GetCRN, &crn, &event) == 0)
            seen.crn = crn;
        int32_t gc_result = 0;
        int32_t cclib = 0;
        int32_t cclib_result = -1;
        if (telephony::VendorCall(&gc_, &telephony::CLibGc::gc_ResultValue, &event, &gc_result,
                                  &cclib, &cclib_result) == 0)
            seen.result = cclib_result;
        IE_BLK block{};
        if (telephony::VendorCall(&gc_, &telephony::CLibGc::gc_GetSigInfo, event.linedev,
                                  reinterpret_cast<char*>(&block), U_IES, &event) == 0)
            seen.ies.assign(block.data, block.data + block.length);
        return seen;
    }

    // The call reference of a "call" or "hangup" answer.
    static CRN CrnOf(const std::string& answer) {
        const size_t at = answer.find("crn=");
        return at == std::string::npos ? -1 : std::stoi(answer.substr(at + 4));
    }

    // The calling thread's last Global Call error value.
    int32_t LastGlobalCallError() {
        int32_t gc_error = 0;
        int32_t cclib = 0;
        int32_t cc_error = 0;
        telephony::VendorCall(&gc_, &telephony::CLibGc::gc_ErrorValue, &gc_error, &cclib,
                              &cc_error);
        return gc_error;
    }

    // Nothing more is owed: the worker has run everything and no event waits.
    void ExpectNoMoreEvents() {
        ASSERT_EQ(Control("settle"), "OK");
        EXPECT_EQ(Control("query events"), "OK 0");
    }

    // A field of a "query call" answer.
    std::string CallField(CRN crn, const std::string& field) {
        const std::string answer = Control("query call " + std::to_string(crn));
        const size_t at = answer.find(" " + field + "=");
        if (at == std::string::npos)
            return "<none>";
        const size_t start = at + field.size() + 2;
        return answer.substr(start, answer.find(' ', start) - start);
    }

    telephony::CLibSRLMT srl_;
    telephony::CLibDTIMT isdn_;
    telephony::CLibGc gc_;
};

}  // namespace ruzd::boardsim
