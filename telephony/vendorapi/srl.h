#pragma once

// The event library (libsrlmt): waiting for events, reading the current event, device
// attributes and board counts.

#include <cstdint>

// Mode argument of the asynchronous and synchronous forms of the vendor functions.
constexpr uint16_t EV_SYNC = 0x0000;
constexpr uint16_t EV_ASYNC = 0x8000;

// sr_waitevt: wait without limit.
constexpr int32_t SR_WAIT_FOREVER = -1;
// sr_waitevt result when no event arrived within the time-out.
constexpr int32_t SR_TMOUT = -1;

// Board class names understood by sr_getboardcnt.
constexpr const char* SR_CLASS_VOICE = "Voice";
constexpr const char* SR_CLASS_DTI = "DTI";
constexpr const char* SR_CLASS_MSI = "MSI";
constexpr const char* SR_CLASS_DCB = "DCB";
constexpr const char* SR_CLASS_IPT = "IPT";
constexpr const char* SR_CLASS_IPM = "IPM";

// Device attribute values.
constexpr int32_t AT_FAILURE = -1;

// Last-error values a device reports through ATDV_LASTERR.
constexpr int32_t EDV_NOERROR = 0;
constexpr int32_t EDV_BADDEVICE = 1;
constexpr int32_t EDV_BADPARM = 2;
constexpr int32_t EDV_BUSY = 3;
constexpr int32_t EDV_SYSTEM = 4;
