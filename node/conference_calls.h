#pragma once

// The two families of conference boards the central server builds conferences on: the station
// boards (ms_ calls, the board named by its line device number) and the conference boards' DSPs
// (dcb_ calls, the DSP named by its index in the DSP list). Their commands read the same values
// and keep the same conference tables; they differ in the calls, in how the device is found and
// in a few log texts.

#include <cstdint>

#include "telephony/hardware.h"

namespace ruzd::node {

struct ConferenceCalls {
    enum class Device { kStationBoard, kDsp };

    Device device;
    const char* prefix;  // "ms" or "dcb", which the log texts of the calls begin with
    int32_t (telephony::CHardware::*estconf)(int32_t* device, MS_CDT* parties, int32_t count,
                                             int32_t attributes, int32_t* conf_id);
    int32_t (telephony::CHardware::*addtoconf)(int32_t device, int32_t conf_id, MS_CDT* party);
    int32_t (telephony::CHardware::*remfromconf)(int32_t device, int32_t conf_id, MS_CDT* party);
    int32_t (telephony::CHardware::*setcde)(int32_t device, int32_t conf_id, MS_CDT* party);
    int32_t (telephony::CHardware::*delconf)(int32_t device, int32_t conf_id);

    static const ConferenceCalls& StationBoards();
    static const ConferenceCalls& Dsps();
};

// What a party command does to its party.
enum class PartyChange { kAdd, kRemove, kSetAttribute };

// A party as the central server names it: its line device number and device type (999 for an
// Amtelco position, with its cable), and the selector and attribute it joins with.
struct ConferencePartyName {
    int32_t ldev = 0;
    int32_t selector = 0;
    int32_t attribute = 0;
    int32_t type = 0;
    int32_t cable = 0;
};

}  // namespace ruzd::node
