#pragma once

// Time-slot records shared by every Dialogic library that connects a device to the TDM bus
// (voice, analog, network interface, station, Global Call).

#include <cstdint>

// A list of bus time slots. The node always passes a count of 1 and one slot; recording two
// time slots passes 2.
struct SC_TSINFO {
    uint32_t sc_numts;
    int32_t* sc_tsarrayp;
};

// What a device tells about its bus attachment. The node only passes the record through.
struct CT_DEVINFO {
    uint32_t ct_prodid;
    uint8_t ct_devfamily;
    uint8_t ct_devmode;
    uint8_t ct_nettype;
    uint8_t ct_busmode;
    uint8_t ct_busencoding;
    uint8_t ct_rfu[7];
};
static_assert(sizeof(CT_DEVINFO) == 16);
