#include "boardsim/core/call_model.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <utility>

namespace ruzd::boardsim {
namespace {

std::string Lower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

bool Ends(int32_t event) {
    return event == CCEV_DISCONNECTED || event == CCEV_TASKFAIL;
}

// The library writes a call reference into the caller's memory from a thread of its own, while
// the caller may be reading it: the caller reads it atomically, so it is written the same way.
void WriteCallReference(CRN* slot, CRN crn) {
    std::atomic_ref<CRN>(*slot).store(crn, std::memory_order_release);
}

}  // namespace

CallModel::CallModel(EventQueue& events, DeviceCatalog& devices, const BoardConfig& config)
    : events_(events),
      devices_(devices),
      dialout_{{std::string(), config.dialout}},
      worker_(std::chrono::milliseconds(config.call_delay_ms)) {}

bool CallModel::IsLine(LINEDEV line) const {
    const std::optional<DeviceInfo> device = devices_.Find(line);
    return device && device->open && device->subdevices == 0 &&
           (device->family == DeviceFamily::kLineDevice ||
            device->family == DeviceFamily::kGlobalCall);
}

CallModel::Line* CallModel::LineLocked(LINEDEV line) {
    const auto it = lines_.find(line);
    if (it != lines_.end())
        return &it->second;
    if (!IsLine(line))
        return nullptr;
    return &lines_[line];
}

CallRecord* CallModel::CallLocked(CRN crn) {
    const auto it = calls_.find(crn);
    return it == calls_.end() ? nullptr : &it->second;
}

Outcome CallModel::DialoutLocked(LINEDEV line) const {
    if (const std::optional<DeviceInfo> device = devices_.Find(line)) {
        const auto it = dialout_.find(device->device);
        if (it != dialout_.end())
            return it->second;
    }
    return dialout_.at(std::string());
}

std::vector<CallModel::Step> CallModel::OutcomeSteps(const Outcome& outcome, bool proceeding) {
    const int32_t cause = outcome.Cause();
    if (outcome.kind == Outcome::Kind::kFail)
        return {{CCST_DISCONNECTED, CCEV_TASKFAIL, cause}};
    std::vector<Step> steps;
    if (proceeding)
        steps.push_back({CCST_PROCEEDING, CCEV_PROCEEDING, 0});
    switch (outcome.kind) {
        case Outcome::Kind::kConnect:
            steps.push_back({CCST_ALERTING, CCEV_ALERTING, 0, outcome.alerting_extension});
            steps.push_back({CCST_CONNECTED, CCEV_CONNECTED, 0});
            break;
        case Outcome::Kind::kBusy:
            steps.push_back({CCST_DISCONNECTED, CCEV_DISCONNECTED, cause});
            break;
        case Outcome::Kind::kNoAnswer:
            steps.push_back({CCST_ALERTING, CCEV_ALERTING, 0, outcome.alerting_extension});
            steps.push_back({CCST_DISCONNECTED, CCEV_DISCONNECTED, cause});
            break;
        default:
            break;
    }
    return steps;
}

void CallModel::PostSteps(const CallRecord& call, const std::vector<Step>& steps) {
    for (const Step& step : steps) {
        worker_.Post([this, crn = call.crn, epoch = call.epoch, step] {
            std::lock_guard<std::mutex> lock(mutex_);
            CallRecord* current = CallLocked(crn);
            if (current == nullptr || current->epoch != epoch)
                return;
            current->state = step.state;
            if (Ends(step.event))
                current->cause = step.result;
            events_.Put(current->line, step.event, EncodeCallEvent({crn, step.result, {}}),
                        step.extension);
        });
    }
}

void CallModel::PostEvent(LINEDEV line, int32_t event, CallEventData data) {
    worker_.Post([this, line, event, data = std::move(data)] {
        std::lock_guard<std::mutex> lock(mutex_);
        if (lines_.count(line) != 0)
            events_.Put(line, event, EncodeCallEvent(data));
    });
}

void CallModel::PresentLocked(CallRecord& call) {
    lines_[call.line].active = call.crn;
    call.presented = true;
    worker_.Post([this, crn = call.crn, epoch = call.epoch] {
        std::lock_guard<std::mutex> lock(mutex_);
        CallRecord* current = CallLocked(crn);
        const auto line = lines_.find(current != nullptr ? current->line : 0);
        if (current == nullptr || current->epoch != epoch || line == lines_.end())
            return;
        current->state = CCST_OFFERED;
        line->second.received_ies = current->ies;
        if (line->second.wait_slot != nullptr)
            WriteCallReference(line->second.wait_slot, crn);
        CallEventData data{crn, 0, {}};
        if (!current->ies.empty())
            data.information_elements = current->ies;
        events_.Put(current->line, CCEV_OFFERED, EncodeCallEvent(data));
    });
}

void CallModel::PresentNextLocked(LINEDEV line, Line& record) {
    if (!record.waiting || record.active != 0)
        return;
    for (auto& [crn, call] : calls_) {
        if (call.line == line && !call.presented) {
            PresentLocked(call);
            return;
        }
    }
}

void CallModel::EndLocked(CallRecord& call) {
    const LINEDEV line = call.line;
    const CRN crn = call.crn;
    calls_.erase(crn);
    const auto it = lines_.find(line);
    if (it == lines_.end())
        return;
    if (it->second.active == crn)
        it->second.active = 0;
    PresentNextLocked(line, it->second);
}

void CallModel::RemoveCallsLocked(LINEDEV line) {
    for (auto it = calls_.begin(); it != calls_.end();) {
        if (it->second.line == line) {
            it = calls_.erase(it);
        } else {
            ++it;
        }
    }
}

CallFault CallModel::WaitCall(LINEDEV line, CRN* slot) {
    std::lock_guard<std::mutex> lock(mutex_);
    Line* record = LineLocked(line);
    if (record == nullptr)
        return CallFault::kBadLine;
    record->waiting = true;
    record->wait_slot = slot;
    PresentNextLocked(line, *record);
    return CallFault::kNone;
}

CallFault CallModel::MakeCall(LINEDEV line, CRN* slot, const char* number, OutgoingBlocks blocks) {
    if (slot == nullptr || number == nullptr)
        return CallFault::kBadParameter;
    std::lock_guard<std::mutex> lock(mutex_);
    Line* record = LineLocked(line);
    if (record == nullptr)
        return CallFault::kBadLine;
    if (record->active != 0)
        return CallFault::kLineBusy;
    const Outcome outcome = DialoutLocked(line);
    CallRecord call;
    call.crn = next_crn_++;
    call.line = line;
    call.outgoing = true;
    call.presented = true;
    call.state = CCST_DIALING;
    call.dnis = number;
    call.ani = record->calling_number;
    call.ies = std::move(record->ies_to_send);
    record->ies_to_send.clear();
    call.awaiting_far_end = outcome.kind == Outcome::Kind::kPending;
    call.slot = slot;
    call.destination = std::move(blocks.destination);
    call.extension = std::move(blocks.extension);
    call.makecall_block = std::move(blocks.makecall_block);
    record->active = call.crn;
    const CRN crn = call.crn;
    const CallRecord& stored = calls_[crn] = std::move(call);

    worker_.Post([this, crn = stored.crn, epoch = stored.epoch] {
        std::lock_guard<std::mutex> lock(mutex_);
        CallRecord* current = CallLocked(crn);
        if (current != nullptr && current->epoch == epoch)
            WriteCallReference(current->slot, crn);
    });
    PostSteps(stored, OutcomeSteps(outcome, true));
    return CallFault::kNone;
}

CallFault CallModel::Accept(CRN crn, bool async) {
    return Respond(crn, {CCST_OFFERED}, CCST_ACCEPTED, CCEV_ACCEPT, async);
}

CallFault CallModel::Respond(CRN crn, std::initializer_list<int32_t> allowed, int32_t next,
                             int32_t event, bool async) {
    std::lock_guard<std::mutex> lock(mutex_);
    CallRecord* call = CallLocked(crn);
    if (call == nullptr || !call->presented)
        return CallFault::kBadCall;
    if (std::find(allowed.begin(), allowed.end(), call->state) == allowed.end())
        return CallFault::kBadState;
    call->state = next;
    if (async)
        PostEvent(call->line, event, {crn, 0, {}});
    return CallFault::kNone;
}

CallFault CallModel::CallAck(CRN crn, bool async) {
    return Respond(crn, {CCST_OFFERED}, CCST_OFFERED, CCEV_CALL_ACK, async);
}

CallFault CallModel::Answer(CRN crn, bool async) {
    return Respond(crn, {CCST_OFFERED, CCST_ACCEPTED}, CCST_CONNECTED, CCEV_ANSWERED, async);
}

CallFault CallModel::Drop(CRN crn, int32_t cause, bool async) {
    std::lock_guard<std::mutex> lock(mutex_);
    CallRecord* call = CallLocked(crn);
    if (call == nullptr || !call->presented)
        return CallFault::kBadCall;
    if (call->state == CCST_IDLE || call->state == CCST_NULL)
        return CallFault::kBadState;
    call->state = CCST_IDLE;
    call->cause = cause;
    call->awaiting_far_end = false;
    ++call->epoch;
    if (async)
        PostEvent(call->line, CCEV_DROPCALL, {crn, cause, {}});
    return CallFault::kNone;
}

CallFault CallModel::Release(CRN crn, bool async) {
    std::lock_guard<std::mutex> lock(mutex_);
    CallRecord* call = CallLocked(crn);
    if (call == nullptr || !call->presented)
        return CallFault::kBadCall;
    if (call->state != CCST_IDLE)
        return CallFault::kBadState;
    if (async)
        PostEvent(call->line, CCEV_RELEASECALL, {crn, 0, {}});
    EndLocked(*call);
    return CallFault::kNone;
}

CallFault CallModel::Hold(CRN crn, bool async) {
    return Respond(crn, {CCST_CONNECTED}, CCST_HOLD, CCEV_HOLDACK, async);
}

CallFault CallModel::Retrieve(CRN crn, bool async) {
    return Respond(crn, {CCST_HOLD}, CCST_CONNECTED, CCEV_RETRIEVEACK, async);
}

CallFault CallModel::Restart(LINEDEV line, bool async) {
    std::lock_guard<std::mutex> lock(mutex_);
    Line* record = LineLocked(line);
    if (record == nullptr)
        return CallFault::kBadLine;
    RemoveCallsLocked(line);
    record->waiting = false;
    record->wait_slot = nullptr;
    record->active = 0;
    record->received_ies.clear();
    if (async)
        PostEvent(line, CCEV_RESTART, {0, 0, {}});
    return CallFault::kNone;
}

void CallModel::CloseLine(LINEDEV line) {
    std::lock_guard<std::mutex> lock(mutex_);
    RemoveCallsLocked(line);
    lines_.erase(line);
}

CallFault CallModel::SetChannelState(LINEDEV line, int32_t state, bool async) {
    std::lock_guard<std::mutex> lock(mutex_);
    Line* record = LineLocked(line);
    if (record == nullptr)
        return CallFault::kBadLine;
    record->channel_state = state;
    if (async)
        PostEvent(line, CCEV_SETCHANSTATE, {0, state, {}});
    return CallFault::kNone;
}

CallFault CallModel::ChannelState(LINEDEV line, int32_t* state) {
    if (state == nullptr)
        return CallFault::kBadParameter;
    std::lock_guard<std::mutex> lock(mutex_);
    Line* record = LineLocked(line);
    if (record == nullptr)
        return CallFault::kBadLine;
    *state = record->channel_state;
    return CallFault::kNone;
}

CallFault CallModel::SetInformationElements(LINEDEV line, std::vector<uint8_t> ies) {
    std::lock_guard<std::mutex> lock(mutex_);
    Line* record = LineLocked(line);
    if (record == nullptr)
        return CallFault::kBadLine;
    record->ies_to_send = std::move(ies);
    return CallFault::kNone;
}

CallFault CallModel::ReceivedInformationElements(LINEDEV line, std::vector<uint8_t>* ies) {
    std::lock_guard<std::mutex> lock(mutex_);
    Line* record = LineLocked(line);
    if (record == nullptr)
        return CallFault::kBadLine;
    *ies = record->received_ies;
    return CallFault::kNone;
}

CallFault CallModel::SetCallingNumber(LINEDEV line, std::string number) {
    std::lock_guard<std::mutex> lock(mutex_);
    Line* record = LineLocked(line);
    if (record == nullptr)
        return CallFault::kBadLine;
    record->calling_number = std::move(number);
    return CallFault::kNone;
}

void CallModel::SetUserAttribute(LINEDEV line, void* attribute) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (Line* record = LineLocked(line))
        record->user_attribute = attribute;
}

void* CallModel::UserAttribute(LINEDEV line) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = lines_.find(line);
    return it == lines_.end() ? nullptr : it->second.user_attribute;
}

std::optional<CallRecord> CallModel::Find(CRN crn) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = calls_.find(crn);
    if (it == calls_.end())
        return std::nullopt;
    return it->second;
}

std::optional<CallModel::LineView> CallModel::ViewLine(LINEDEV line) {
    std::lock_guard<std::mutex> lock(mutex_);
    Line* record = LineLocked(line);
    if (record == nullptr)
        return std::nullopt;
    LineView view;
    view.waiting = record->waiting;
    view.call = record->active;
    view.channel_state = record->channel_state;
    for (const auto& [crn, call] : calls_) {
        if (call.line == line && !call.presented)
            ++view.unpresented;
    }
    return view;
}

std::optional<CallModel::Offer> CallModel::Incoming(LINEDEV line, IncomingCall incoming) {
    std::lock_guard<std::mutex> lock(mutex_);
    Line* record = LineLocked(line);
    if (record == nullptr)
        return std::nullopt;
    CallRecord call;
    call.crn = next_crn_++;
    call.line = line;
    call.dnis = incoming.dnis.substr(0, kMaxNumber);
    call.ani = incoming.ani.substr(0, kMaxNumber);
    call.calling_name = incoming.calling_name.substr(0, kMaxNumber);
    call.info_type = incoming.info_type;
    call.ies = std::move(incoming.ies);
    const CRN crn = call.crn;
    CallRecord& stored = calls_[crn] = std::move(call);
    if (record->waiting && record->active == 0)
        PresentLocked(stored);
    return Offer{stored.crn, stored.presented};
}

std::optional<CRN> CallModel::HangUp(LINEDEV line, int32_t cause) {
    std::lock_guard<std::mutex> lock(mutex_);
    Line* record = LineLocked(line);
    if (record == nullptr)
        return std::nullopt;
    CallRecord* call = CallLocked(record->active);
    if (call != nullptr && !call->far_end_gone && call->state != CCST_IDLE) {
        call->far_end_gone = true;
        call->awaiting_far_end = false;
        worker_.Post([this, crn = call->crn, cause] {
            std::lock_guard<std::mutex> lock(mutex_);
            CallRecord* current = CallLocked(crn);
            if (current == nullptr || current->state == CCST_IDLE)
                return;
            current->state = CCST_DISCONNECTED;
            current->cause = cause;
            events_.Put(current->line, CCEV_DISCONNECTED, EncodeCallEvent({crn, cause, {}}));
        });
        return call->crn;
    }
    for (auto it = calls_.rbegin(); it != calls_.rend(); ++it) {
        if (it->second.line == line && !it->second.presented) {
            const CRN crn = it->first;
            calls_.erase(crn);
            return crn;
        }
    }
    return std::nullopt;
}

void CallModel::SetDialout(const std::string& device, Outcome outcome) {
    std::lock_guard<std::mutex> lock(mutex_);
    dialout_[Lower(device)] = outcome;
}

std::optional<CRN> CallModel::SettleOutgoing(LINEDEV line, Outcome outcome) {
    std::lock_guard<std::mutex> lock(mutex_);
    Line* record = LineLocked(line);
    if (record == nullptr)
        return std::nullopt;
    CallRecord* call = CallLocked(record->active);
    if (call == nullptr || !call->awaiting_far_end)
        return std::nullopt;
    call->awaiting_far_end = false;
    PostSteps(*call, OutcomeSteps(outcome, false));
    return call->crn;
}

}  // namespace ruzd::boardsim
