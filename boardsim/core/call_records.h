#pragma once

// The records of the simulated call model: how an outgoing call ends, one call, and the
// faults its functions report.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "telephony/vendorapi/isdn.h"

namespace ruzd::boardsim {

// What the far end does with an outgoing call.
struct Outcome {
    enum class Kind { kConnect, kBusy, kNoAnswer, kFail, kPending };
    Kind kind = Kind::kConnect;
    int32_t cause = 0;  // 0: the kind's usual cause
    // The parameter block ALERTING points to as its extension data; none when empty.
    std::vector<uint8_t> alerting_extension;

    int32_t Cause() const {
        if (cause != 0)
            return cause;
        switch (kind) {
            case Kind::kBusy:
                return CAUSE_USER_BUSY;
            case Kind::kNoAnswer:
                return CAUSE_NO_ANSWER;
            case Kind::kFail:
                return CAUSE_TEMPORARY_FAILURE;
            default:
                return CAUSE_NORMAL_CLEARING;
        }
    }
};

// "connect", "busy", "noanswer", "fail" and, where a call may wait for the far end,
// "pending".
inline std::optional<Outcome::Kind> OutcomeKind(std::string_view word, bool pending_allowed) {
    if (word == "connect")
        return Outcome::Kind::kConnect;
    if (word == "busy")
        return Outcome::Kind::kBusy;
    if (word == "noanswer")
        return Outcome::Kind::kNoAnswer;
    if (word == "fail")
        return Outcome::Kind::kFail;
    if (word == "pending" && pending_allowed)
        return Outcome::Kind::kPending;
    return std::nullopt;
}

// Why a call function refused.
enum class CallFault {
    kNone,
    kBadParameter,
    kNotStarted,  // Global Call has not been started
    kBadLine,     // not an open line device
    kBadCall,     // no such call reference
    kBadState,    // not in this state of the call
    kLineBusy,    // the line device already carries a call
};

// One call of a line device, incoming or outgoing.
struct CallRecord {
    CRN crn = 0;
    LINEDEV line = 0;
    bool outgoing = false;
    bool presented = false;  // an incoming call waits unpresented while its line is not free
    int32_t state = CCST_NULL;
    std::string dnis;  // the number called
    std::string ani;   // the number calling
    std::string calling_name;
    int32_t info_type = 0;          // call information 265, one byte
    std::vector<uint8_t> ies;       // received (incoming) or sent (outgoing)
    int32_t cause = 0;              // of the disconnect or drop
    uint64_t epoch = 0;             // the progress steps in flight belong to one epoch
    bool awaiting_far_end = false;  // an outgoing call waiting for the control socket
    bool far_end_gone = false;      // the far end has hung up
    CRN* slot = nullptr;            // where the call reference is written, for an outgoing call
    // What Global Call's make-call blocks carried, copied as the call was made: the
    // destination text, the extension data and the call-control library's block.
    std::string destination;
    std::vector<uint8_t> extension;
    std::vector<uint8_t> makecall_block;
};

// The blocks of an outgoing call beside its number.
struct OutgoingBlocks {
    std::string destination;
    std::vector<uint8_t> extension;
    std::vector<uint8_t> makecall_block;
};

// Names of the call states for the control socket.
inline const char* CallStateName(int32_t state) {
    switch (state) {
        case CCST_NULL:
            return "NULL";
        case CCST_ACCEPTED:
            return "ACCEPTED";
        case CCST_ALERTING:
            return "ALERTING";
        case CCST_CONNECTED:
            return "CONNECTED";
        case CCST_OFFERED:
            return "OFFERED";
        case CCST_DIALING:
            return "DIALING";
        case CCST_IDLE:
            return "IDLE";
        case CCST_DISCONNECTED:
            return "DISCONNECTED";
        case CCST_HOLD:
            return "HOLD";
        case CCST_DETECTED:
            return "DETECTED";
        case CCST_PROCEEDING:
            return "PROCEEDING";
        default:
            return "UNKNOWN";
    }
}

}  // namespace ruzd::boardsim
