#pragma once

// The network interface (dt_), station (ms_) and conference board (dcb_) functions of
// libdtimt.

#include <cstdint>

#include "telephony/vendorapi/bus.h"

// Events of network interfaces and stations that the node forwards by number. The board-open
// commands send the first one themselves as a synthetic event.
constexpr int32_t DTEV_SIGNAL = 0x2049;
constexpr int32_t MSEV_SIGNAL = 0x204D;

// Hook bits of a station (ATMS_TSSGBIT, and the word of a MSEV_SIGNAL event).
constexpr int32_t MS_OFFHOOK = 0x10;
constexpr int32_t MS_HOOK_OFF_BITS = 0x11;
constexpr int32_t MS_HOOK_ON_BITS = 0x110;

// One conference party: the time slot, how it is selected and its attributes. The third field
// holds the party's listen time slot after ms_addtoconf.
struct MS_CDT {
    int32_t chan_num;
    int32_t chan_sel;
    int32_t chan_attr;
};
static_assert(sizeof(MS_CDT) == 12);

// Party selection and attributes.
constexpr int32_t MSPN_TS = 0x01;
constexpr int32_t MSPN_STATION = 0x02;
constexpr int32_t MSPA_NULL = 0x00;
constexpr int32_t MSPA_RO = 0x01;
constexpr int32_t MSPA_TARIFF = 0x02;
constexpr int32_t MSPA_COACH = 0x04;
constexpr int32_t MSPA_PUPIL = 0x08;

// Conference board parameter that the node sets on every DCB board it opens.
constexpr uint32_t MSG_ACTID = 55;

// Network interface alarm transmission (dt_xmitalrm).
constexpr uint8_t DTA_YELLOW = 1;
constexpr uint8_t DTA_BLUE = 2;
constexpr int32_t DTIS_DISABLE = 0;
constexpr int32_t DTIS_ENABLE = 1;
