#pragma once

// The configuration manager (NCMAPI): the Dialogic service state and the installed families,
// devices and bus settings.

#include <cstdint>

// Result of every configuration manager function: 0 on success.
using NCMRetCode = int32_t;
constexpr NCMRetCode NCM_SUCCESS = 0;
constexpr NCMRetCode NCM_GENERAL = 1;
constexpr NCMRetCode NCM_NOT_FOUND = 2;

// States of the Dialogic service.
using NCM_DLGSRV_STATE = int32_t;
constexpr NCM_DLGSRV_STATE NCM_DLGSRV_STOPPED = 1;
constexpr NCM_DLGSRV_STATE NCM_DLGSRV_START_PENDING = 2;
constexpr NCM_DLGSRV_STATE NCM_DLGSRV_RUNNING = 4;

// A list of names: families, devices, parameter names and values. Lists returned by the
// library are freed with NCM_Dealloc.
struct NCMVALUE {
    char* name;
    NCMVALUE* next;
};
using NCMFamily = NCMVALUE;
using NCMDevice = NCMVALUE;

// Bus queries.
constexpr const char* NCM_BUS_0 = "Bus-0";
constexpr const char* NCM_TDM_BUS_TYPE = "TDM Bus Type (Resolved)";
constexpr const char* NCM_MEDIA_TYPE = "Media Type (Resolved)";
