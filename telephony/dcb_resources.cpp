#include "telephony/dcb_resources.h"

#include <atomic>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "telephony/hardware.h"
#include "telephony/vendor_log.h"

namespace ruzd::telephony {
namespace {

// The board parameter set on every opened conference board, and its value.
constexpr uint32_t kActiveTalkerParameter = 55;
constexpr int32_t kActiveTalkerOn = 1;

// Process-wide and never destroyed: a connection's close on a socket thread may still close
// every DSP while the process runs its exit handlers.
std::vector<int32_t>& Dsps() {
    static auto* const dsps = new std::vector<int32_t>();
    return *dsps;
}

std::atomic<int64_t>& PatienceMs() {
    static std::atomic<int64_t> patience{2000};
    return patience;
}

std::string Name(const char* format, int32_t board, int32_t dsp = 0) {
    char name[50];
    std::snprintf(name, sizeof name, format, board, dsp);
    return name;
}

// The list's lock within the patience; a time-out is logged with the operation's name.
class ListHold {
public:
    explicit ListHold(const char* operation)
        : held_(DcbListLock().try_lock_for(DcbLockPatience())) {
        if (!held_)
            VendorTrace(0, 0, "ERROR Could not get lock on %s.", operation);
    }
    ~ListHold() {
        if (held_)
            DcbListLock().unlock();
    }
    ListHold(const ListHold&) = delete;
    ListHold& operator=(const ListHold&) = delete;
    explicit operator bool() const { return held_; }

private:
    const bool held_;
};

// Opens one board's DSPs, clearing each of old conferences; the board device itself is needed
// only meanwhile.
void OpenBoardDsps(CHardware& hardware, int32_t b) {
    const std::string board_name = Name("dcbB%d", b);
    const int32_t board = hardware.dcb_open(board_name.c_str(), 0);
    if (board == -1) {
        VendorTrace(0, 0, "Error opening board %s!", board_name.c_str());
        return;
    }
    int32_t active_talker = kActiveTalkerOn;
    if (hardware.dcb_setbrdparm(board, kActiveTalkerParameter, &active_talker) == -1)
        VendorTrace(0, 0, "Error in dcb_setbrdparm!");
    const int32_t dsp_count = hardware.ATDV_SUBDEVS(board);
    for (int32_t d = 1; d <= dsp_count; ++d) {
        const std::string name = Name("dcbB%dD%d", b, d);
        const int32_t dsp = hardware.dcb_open(name.c_str(), 0);
        if (dsp == -1) {
            VendorTrace(0, 0, "Error no conference board %s!", name.c_str());
            continue;
        }
        int32_t parties = -1;
        if (hardware.dcb_dsprescount(dsp, &parties) != 0) {
            VendorTrace(0, 0, "ERROR DCB board %s - Failed to retrieve conference party",
                        name.c_str());
            hardware.dcb_close(dsp);
            continue;
        }
        VendorTrace(0, 0, "DCB board %s has %d conference parties.", name.c_str(), parties);
        if (hardware.dcb_DeleteAllConferences(dsp, 0, 0) != 0)
            VendorTrace(0, 0, "Error in dcb_DeleteAllConferences!");
        Dsps().push_back(dsp);
    }
    hardware.dcb_close(board);
}

// The first DSP with enough free resources: its 0-based list position and its handle, or -1
// for both. Both twins log as the device chooser.
std::pair<int32_t, int32_t> FreeDsp() {
    CHardware* hardware = PublishedHardware();
    ListHold hold("GetFreeConferenceDCBDevice");
    if (!hold)
        return {-1, -1};
    if (Dsps().empty())
        VendorTrace(0, 0, "ERROR No conference resources available");
    for (size_t i = 0; hardware != nullptr && i < Dsps().size(); ++i) {
        const int32_t device = Dsps()[i];
        int32_t free = -1;
        if (hardware->dcb_dsprescount(device, &free) != 0) {
            VendorTrace(0, 0,
                        "ERROR Unable to retrieve free conference resources for board %d "
                        "(dev=%d): %s",
                        static_cast<int32_t>(i), device, hardware->ATDV_ERRMSGP(device).c_str());
            continue;
        }
        if (free >= kFewestFreeConferenceResources)
            return {static_cast<int32_t>(i), device};
        VendorTrace(0, 0,
                    "Conference board %d (dev=%d) has only %d free resources.  Minimum %d "
                    "required.",
                    static_cast<int32_t>(i), device, free, kFewestFreeConferenceResources);
    }
    VendorTrace(0, 0, "ERROR Could not find a Free Conference DCBDevice.");
    return {-1, -1};
}

}  // namespace

platform::TimedMutex& DcbListLock() {
    static auto* const lock = new platform::TimedMutex();
    return *lock;
}

std::chrono::milliseconds DcbLockPatience() {
    return std::chrono::milliseconds(PatienceMs().load());
}

void SetDcbLockPatience(std::chrono::milliseconds patience) {
    PatienceMs().store(patience.count());
}

bool OpenAllDCBResources() {
    CHardware* hardware = PublishedHardware();
    if (hardware == nullptr || !hardware->IsIntelAvailable())
        return false;
    std::lock_guard hold(DcbListLock());
    int32_t count = 0;
    if (const int32_t result = hardware->sr_getboardcnt("DCB", &count); result != 0) {
        VendorTrace(0, 0, "Error %d in GetDCBBoardCount", result);
        count = 0;
    } else {
        VendorTrace(0, 0, "Number of Intel DCB Boards detected: %d", count);
    }
    for (int32_t b = 1; b <= count; ++b)
        OpenBoardDsps(*hardware, b);
    return !Dsps().empty();
}

void CloseAllDCBResources() {
    ListHold hold("CloseAllDCBResources");
    if (!hold)
        return;
    if (CHardware* hardware = PublishedHardware()) {
        for (int32_t device : Dsps())
            hardware->dcb_close(device);
    }
    Dsps().clear();
}

bool AreDCBResourcesOpen() {
    CHardware* hardware = PublishedHardware();
    if (hardware == nullptr || hardware->IsGlobalCallOnlyMode())
        return true;
    ListHold hold("AreDCBResourcesOpen");
    if (!hold)
        return true;
    return !Dsps().empty();
}

int32_t GetFreeConferenceDCBDevice() {
    return FreeDsp().second;
}

int32_t GetFreeConferenceDCBDeviceIndex() {
    const int32_t position = FreeDsp().first;
    return position < 0 ? -1 : position + 1;
}

bool GetDCBDevice(int32_t index, int32_t* device) {
    ListHold hold("GetDCBDevice");
    if (!hold)
        return false;
    if (index < 1 || static_cast<size_t>(index) > Dsps().size()) {
        VendorTrace(0, 0, "ERROR invallid index %d for GetDCBDevice.", index);
        return false;
    }
    *device = Dsps()[static_cast<size_t>(index) - 1];
    return true;
}

}  // namespace ruzd::telephony
