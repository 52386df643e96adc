#pragma once

// Global Call as a whole: whether it has been started, the call-control libraries it knows
// with their status, what the IP library was started with, and the last error of each
// thread, as gc_ErrorValue and gc_ErrorInfo report it.
//
// The libraries are the ten of the status record, numbered from 1 in its order (0 is Global
// Call itself). gc_Start starts those of its list (all of them for no list); a library that
// is not one of the ten or that the configuration makes fail fails the start, which then
// leaves Global Call stopped. Status: 1 available (started), 2 configured (not started),
// 4 not available for use (it failed).

#include <array>
#include <cstdint>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "telephony/vendorapi/globalcall.h"

namespace ruzd::boardsim {

// Global Call's own error values in this simulation; 148 is the vendor's "already started".
enum GlobalCallError : int32_t {
    kGcNoError = 0,
    kGcBadParameter = 101,
    kGcNotStarted = 102,
    kGcBadLine = 103,
    kGcBadCall = 104,
    kGcBadState = 105,
    kGcLineBusy = 106,
    kGcLibraryFailed = 107,
    kGcNoMoreParameters = 108,
    kGcAlreadyStarted = EGC_ALREADY_STARTED,
};

const char* GlobalCallErrorText(int32_t error);

// The last error of the calling thread.
struct GlobalCallFault {
    int32_t gc_value = kGcNoError;
    int32_t cclib_id = GC_NO_CCLIB;
    int32_t cc_value = 0;
};
void SetThreadFault(const GlobalCallFault& fault);
GlobalCallFault ThreadFault();

class GlobalCallLibrary {
public:
    static constexpr size_t kLibraries = 10;
    static const std::array<const char*, kLibraries>& Names();
    // 1 to 10, or GC_NO_CCLIB for a name that is not a library's.
    static int32_t LibraryId(std::string_view name);
    static const char* LibraryName(int32_t id);

    explicit GlobalCallLibrary(const std::vector<std::string>& failing);

    // kGcNoError, or the error; on a failing library *failed_id is its id.
    int32_t Start(const GC_START_STRUCT* start, int32_t* failed_id);
    // false when it was not started.
    bool Stop();
    bool started() const;

    void SetFailing(const std::string& name, bool failing);
    // nullopt for a name that is not a library's.
    std::optional<int32_t> Status(std::string_view name) const;
    void StatusAll(GC_CCLIB_STATUSALL* status) const;

    // "started=<0|1> <library>=<status> ...", then what the IP library was started with.
    std::string Describe() const;

private:
    // The IP virtual board of the last start, as far as the control socket shows it.
    struct IpBoard {
        uint32_t max_calls = 0;
        std::string address;
        uint16_t sip_port = 0;
        uint32_t tcp_enabled = 0;
        uint32_t session_timers = 0;
    };
    static std::optional<IpBoard> ReadIpBoard(const void* start_data);

    mutable std::mutex mutex_;
    bool started_ = false;
    std::array<int32_t, kLibraries> states_;
    std::set<std::string> failing_;
    std::optional<IpBoard> ip_board_;
};

}  // namespace ruzd::boardsim
