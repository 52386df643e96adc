#include "boardsim/core/globalcall_library.h"

#include <cstdio>
#include <cstring>

namespace ruzd::boardsim {
namespace {

thread_local GlobalCallFault t_fault;

template <typename T>
T ReadAt(const uint8_t* bytes, size_t offset) {
    T value{};
    std::memcpy(&value, bytes + offset, sizeof value);
    return value;
}

}  // namespace

const char* GlobalCallErrorText(int32_t error) {
    switch (error) {
        case kGcNoError:
            return "No error";
        case kGcBadParameter:
            return "Invalid parameter";
        case kGcNotStarted:
            return "Global Call has not been started";
        case kGcBadLine:
            return "Invalid line device";
        case kGcBadCall:
            return "Invalid call reference";
        case kGcBadState:
            return "Function not valid in the current call state";
        case kGcLineBusy:
            return "Line device busy";
        case kGcLibraryFailed:
            return "Call-control library failed to start";
        case kGcNoMoreParameters:
            return "No more parameters";
        case kGcAlreadyStarted:
            return "Global Call already started";
        default:
            return "Unknown error";
    }
}

void SetThreadFault(const GlobalCallFault& fault) {
    t_fault = fault;
}

GlobalCallFault ThreadFault() {
    return t_fault;
}

const std::array<const char*, GlobalCallLibrary::kLibraries>& GlobalCallLibrary::Names() {
    static const std::array<const char*, kLibraries> names = {
        "GC_ICAPI_LIB", "GC_ISDN_LIB", "GC_ANAPI_LIB", "GC_PDKRT_LIB",   "GC_SS7_LIB",
        "GC_DM3CC_LIB", "GC_IPM_LIB",  "GC_H3R_LIB",   "GC_CUSTOM1_LIB", "GC_CUSTOM2_LIB"};
    return names;
}

int32_t GlobalCallLibrary::LibraryId(std::string_view name) {
    for (size_t i = 0; i < kLibraries; ++i) {
        if (name == Names()[i])
            return static_cast<int32_t>(i + 1);
    }
    return GC_NO_CCLIB;
}

const char* GlobalCallLibrary::LibraryName(int32_t id) {
    if (id >= 1 && id <= static_cast<int32_t>(kLibraries))
        return Names()[id - 1];
    return "GC_LIB";
}

GlobalCallLibrary::GlobalCallLibrary(const std::vector<std::string>& failing)
    : failing_(failing.begin(), failing.end()) {
    states_.fill(GC_CCLIB_CONFIGURED);
}

int32_t GlobalCallLibrary::Start(const GC_START_STRUCT* start, int32_t* failed_id) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (started_)
        return kGcAlreadyStarted;
    std::vector<std::pair<std::string, const void*>> wanted;
    if (start == nullptr) {
        for (const char* name : Names())
            wanted.emplace_back(name, nullptr);
    } else {
        if (start->num_cclibs < 0 || (start->num_cclibs > 0 && start->cclib_list == nullptr))
            return kGcBadParameter;
        for (int32_t i = 0; i < start->num_cclibs; ++i) {
            const CCLIB_START_STRUCT& entry = start->cclib_list[i];
            if (entry.cclib_name == nullptr)
                return kGcBadParameter;
            wanted.emplace_back(entry.cclib_name, entry.cclib_data);
        }
    }

    // A failed start leaves every other library as it was before: configured.
    states_.fill(GC_CCLIB_CONFIGURED);
    std::optional<int32_t> failed;
    for (const auto& [name, data] : wanted) {
        const int32_t id = LibraryId(name);
        if (id != GC_NO_CCLIB && failing_.count(name) == 0)
            continue;
        if (id != GC_NO_CCLIB)
            states_[id - 1] = GC_CCLIB_FAILED;
        if (!failed)
            failed = id;
    }
    if (failed) {
        if (failed_id != nullptr)
            *failed_id = *failed;
        return kGcLibraryFailed;
    }

    ip_board_.reset();
    for (const auto& [name, data] : wanted) {
        states_[LibraryId(name) - 1] = GC_CCLIB_AVAILABLE;
        if (name == "GC_H3R_LIB")
            ip_board_ = ReadIpBoard(data);
    }
    started_ = true;
    return kGcNoError;
}

bool GlobalCallLibrary::Stop() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!started_)
        return false;
    started_ = false;
    for (int32_t& state : states_) {
        if (state == GC_CCLIB_AVAILABLE)
            state = GC_CCLIB_CONFIGURED;
    }
    return true;
}

bool GlobalCallLibrary::started() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return started_;
}

void GlobalCallLibrary::SetFailing(const std::string& name, bool failing) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (failing) {
        failing_.insert(name);
    } else {
        failing_.erase(name);
    }
}

std::optional<int32_t> GlobalCallLibrary::Status(std::string_view name) const {
    const int32_t id = LibraryId(name);
    if (id == GC_NO_CCLIB)
        return std::nullopt;
    std::lock_guard<std::mutex> lock(mutex_);
    return states_[id - 1];
}

void GlobalCallLibrary::StatusAll(GC_CCLIB_STATUSALL* status) const {
    std::lock_guard<std::mutex> lock(mutex_);
    *status = GC_CCLIB_STATUSALL{};
    for (size_t i = 0; i < kLibraries; ++i) {
        std::snprintf(status->cclib_state[i].name, sizeof status->cclib_state[i].name, "%s",
                      Names()[i]);
        status->cclib_state[i].state = states_[i];
    }
}

std::string GlobalCallLibrary::Describe() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::string text = std::string("started=") + (started_ ? "1" : "0");
    for (size_t i = 0; i < kLibraries; ++i)
        text += std::string(" ") + Names()[i] + "=" + std::to_string(states_[i]);
    if (ip_board_) {
        text += " max_calls=" + std::to_string(ip_board_->max_calls) +
                " address=" + ip_board_->address +
                " sip_port=" + std::to_string(ip_board_->sip_port) +
                " tcp=" + std::to_string(ip_board_->tcp_enabled) +
                " session_timers=" + std::to_string(ip_board_->session_timers);
    }
    return text;
}

// The IP library's start data names its virtual boards; the first one is shown.
std::optional<GlobalCallLibrary::IpBoard> GlobalCallLibrary::ReadIpBoard(const void* start_data) {
    const auto* data = static_cast<const IPCCLIB_START_DATA*>(start_data);
    if (data == nullptr || data->num_boards < 1 || data->board_list == nullptr)
        return std::nullopt;
    const uint8_t* bytes = data->board_list->bytes;
    IpBoard board;
    board.max_calls = ReadAt<uint32_t>(bytes, IP_VIRTBOARD_TOTAL_MAX_CALLS);
    const uint8_t* address = bytes + IP_VIRTBOARD_LOCALIP + 1;
    char dotted[16];
    std::snprintf(dotted, sizeof dotted, "%u.%u.%u.%u", address[0], address[1], address[2],
                  address[3]);
    board.address = dotted;
    board.sip_port = ReadAt<uint16_t>(bytes, IP_VIRTBOARD_SIP_PORT);
    board.tcp_enabled = ReadAt<uint32_t>(bytes, IP_VIRTBOARD_SIP_TCP_ENABLED);
    board.session_timers = ReadAt<uint32_t>(bytes, IP_VIRTBOARD_SESSION_TIMERS);
    return board;
}

}  // namespace ruzd::boardsim
