#pragma once

// The calls of the simulated line devices, shared by the ISDN (cc_) and Global Call (gc_)
// functions: a line device waits for calls, the outside world offers calls to it and hangs
// up, the application accepts, answers, makes, drops and releases calls and restarts line
// devices. What a real library does after its function has returned (writing a call
// reference into the caller's memory, raising the events of a call) runs on the call worker.
//
// A line device carries one call at a time. An incoming call that finds its line device not
// waiting or busy waits unpresented until the line device waits and is free. The states
// entered by the progress of a call (offered; proceeding, alerting, connected or
// disconnected by the far end) are entered as their events are raised; those the
// application asks for (accepted, connected, idle, on hold) at once. Dropping, releasing or
// restarting ends the progress still in flight, as does closing the line device.

#include <cstdint>
#include <initializer_list>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "boardsim/core/board_config.h"
#include "boardsim/core/call_event_data.h"
#include "boardsim/core/call_records.h"
#include "boardsim/core/call_worker.h"
#include "boardsim/core/device_catalog.h"
#include "boardsim/core/event_queue.h"

namespace ruzd::boardsim {

// A call the outside world offers.
struct IncomingCall {
    std::string dnis;
    std::string ani;
    std::string calling_name;
    int32_t info_type = 0;
    std::vector<uint8_t> ies;
};

class CallModel {
public:
    // Numbers the outside world gives are cut to this length.
    static constexpr size_t kMaxNumber = 32;

    CallModel(EventQueue& events, DeviceCatalog& devices, const BoardConfig& config);
    CallModel(const CallModel&) = delete;
    CallModel& operator=(const CallModel&) = delete;

    // The application's side. Each answers kNone or why it refused; an asynchronous request
    // completes with its event.
    CallFault WaitCall(LINEDEV line, CRN* slot);
    CallFault MakeCall(LINEDEV line, CRN* slot, const char* number, OutgoingBlocks blocks = {});
    // Acknowledges an offered call: CALL_ACK.
    CallFault CallAck(CRN crn, bool async);
    CallFault Accept(CRN crn, bool async);
    CallFault Answer(CRN crn, bool async);
    CallFault Drop(CRN crn, int32_t cause, bool async);
    CallFault Release(CRN crn, bool async);
    CallFault Hold(CRN crn, bool async);
    CallFault Retrieve(CRN crn, bool async);
    CallFault Restart(LINEDEV line, bool async);
    // The line device is being closed: its calls and its wait end without events.
    void CloseLine(LINEDEV line);

    CallFault SetChannelState(LINEDEV line, int32_t state, bool async);
    CallFault ChannelState(LINEDEV line, int32_t* state);
    // Sent with the line device's next outgoing call.
    CallFault SetInformationElements(LINEDEV line, std::vector<uint8_t> ies);
    // Those of the last call offered to the line device.
    CallFault ReceivedInformationElements(LINEDEV line, std::vector<uint8_t>* ies);
    CallFault SetCallingNumber(LINEDEV line, std::string number);
    void SetUserAttribute(LINEDEV line, void* attribute);
    void* UserAttribute(LINEDEV line) const;

    std::optional<CallRecord> Find(CRN crn) const;

    struct LineView {
        bool waiting = false;
        CRN call = 0;  // the call the line device carries, 0 for none
        size_t unpresented = 0;
        int32_t channel_state = 0;
    };
    std::optional<LineView> ViewLine(LINEDEV line);

    // The outside world's side.
    struct Offer {
        CRN crn = 0;
        bool presented = false;
    };
    std::optional<Offer> Incoming(LINEDEV line, IncomingCall call);
    // The far end hangs up the line device's call, or withdraws its newest unpresented one.
    std::optional<CRN> HangUp(LINEDEV line, int32_t cause);
    // The outcome of the outgoing calls of a device (its catalogue name), or of every device
    // without one of its own when the name is empty.
    void SetDialout(const std::string& device, Outcome outcome);
    // Ends the wait of the line device's pending outgoing call with the outcome.
    std::optional<CRN> SettleOutgoing(LINEDEV line, Outcome outcome);

    CallWorker& worker() { return worker_; }

private:
    struct Line {
        bool waiting = false;
        CRN* wait_slot = nullptr;
        CRN active = 0;
        int32_t channel_state = ISDN_IN_SERVICE;
        std::vector<uint8_t> received_ies;
        std::vector<uint8_t> ies_to_send;
        std::string calling_number;
        void* user_attribute = nullptr;
    };
    struct Step {
        int32_t state;
        int32_t event;
        int32_t result;
        std::vector<uint8_t> extension = {};
    };

    bool IsLine(LINEDEV line) const;
    Line* LineLocked(LINEDEV line);
    CallRecord* CallLocked(CRN crn);
    Outcome DialoutLocked(LINEDEV line) const;
    static std::vector<Step> OutcomeSteps(const Outcome& outcome, bool proceeding);

    // The application's answer to a presented call in one of the `allowed` states: the call
    // enters `next` and, asynchronously, raises `event`.
    CallFault Respond(CRN crn, std::initializer_list<int32_t> allowed, int32_t next, int32_t event,
                      bool async);
    void PresentNextLocked(LINEDEV line, Line& record);
    void PresentLocked(CallRecord& call);
    void PostSteps(const CallRecord& call, const std::vector<Step>& steps);
    void PostEvent(LINEDEV line, int32_t event, CallEventData data);
    void EndLocked(CallRecord& call);
    void RemoveCallsLocked(LINEDEV line);

    EventQueue& events_;
    DeviceCatalog& devices_;
    mutable std::mutex mutex_;
    std::map<LINEDEV, Line> lines_;
    std::map<CRN, CallRecord> calls_;
    std::map<std::string, Outcome> dialout_;  // by lower-case catalogue name; "" for all
    CRN next_crn_ = 0x1001;  // far from 0 to 499, which callers use as "the current call"
    CallWorker worker_;      // last: its thread stops before the rest goes
};

}  // namespace ruzd::boardsim
