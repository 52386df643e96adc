#pragma once

// The simulated functions that behave like the real ones; every other function only counts,
// journals and returns its configured result (dispatch.h). Their definitions live in the core
// library, one file per family.

#include "boardsim/core/dispatch.h"

namespace ruzd::boardsim {

// Events and device attributes (srl_behaviour.cpp). The event readers serve the calling
// thread's current event; the event handle they may be given is not needed for that.
BOARDSIM_BEHAVIOUR(sr_waitevt, int32_t, (int32_t timeout))
BOARDSIM_BEHAVIOUR(sr_putevt, int32_t,
                   (int32_t dev, uint32_t type, int32_t length, void* data, int32_t error))
BOARDSIM_BEHAVIOUR(sr_getevtdev, int32_t, (int32_t event_handle))
BOARDSIM_BEHAVIOUR(sr_getevttype, int32_t, (int32_t event_handle))
BOARDSIM_BEHAVIOUR(sr_getevtdatap, void*, (int32_t event_handle))
BOARDSIM_BEHAVIOUR(sr_getevtlen, int32_t, (int32_t event_handle))
BOARDSIM_BEHAVIOUR(sr_getboardcnt, int32_t, (const char* class_name, int32_t* count))
BOARDSIM_BEHAVIOUR(ATDV_NAMEP, const char*, (int32_t dev))
BOARDSIM_BEHAVIOUR(ATDV_ERRMSGP, const char*, (int32_t dev))
BOARDSIM_BEHAVIOUR(ATDV_LASTERR, int32_t, (int32_t dev))
BOARDSIM_BEHAVIOUR(ATDV_SUBDEVS, int32_t, (int32_t dev))

// Opening and closing devices by name (device_behaviour.cpp).
BOARDSIM_BEHAVIOUR(dx_open, int32_t, (const char* name, int32_t oflags))
BOARDSIM_BEHAVIOUR(dx_close, int32_t, (int32_t dev))
BOARDSIM_BEHAVIOUR(dt_open, int32_t, (const char* name, int32_t oflags))
BOARDSIM_BEHAVIOUR(dt_close, int32_t, (int32_t dev))
BOARDSIM_BEHAVIOUR(ms_open, int32_t, (const char* name, int32_t flags))
BOARDSIM_BEHAVIOUR(ms_close, int32_t, (int32_t dev))
BOARDSIM_BEHAVIOUR(dcb_open, int32_t, (const char* name, int32_t oflags))
BOARDSIM_BEHAVIOUR(dcb_close, int32_t, (int32_t dev))
BOARDSIM_BEHAVIOUR(cc_Open, int32_t, (LINEDEV * linedev, const char* name, int32_t rfu))
BOARDSIM_BEHAVIOUR(cc_Close, int32_t, (LINEDEV linedev))
BOARDSIM_BEHAVIOUR(gc_Open, int32_t, (LINEDEV * linedev, const char* name, int32_t rfu))
BOARDSIM_BEHAVIOUR(gc_OpenEx, int32_t,
                   (LINEDEV * linedev, const char* name, int32_t mode, void* user_attribute))
BOARDSIM_BEHAVIOUR(gc_Close, int32_t, (LINEDEV linedev))

// A voice channel's feature table (voice_behaviour.cpp).
BOARDSIM_BEHAVIOUR(dx_getfeaturelist, int32_t, (int32_t dev, FEATURE_TABLE* features))

// Voice files on real files (voice_file_behaviour.cpp).
BOARDSIM_BEHAVIOUR(dx_fileopen, int32_t, (const char* path, int32_t flags, int32_t pmode))
BOARDSIM_BEHAVIOUR(dx_fileseek, int32_t, (int32_t handle, int32_t offset, int32_t origin))
BOARDSIM_BEHAVIOUR(dx_fileclose, int32_t, (int32_t handle))
BOARDSIM_BEHAVIOUR(dx_fileread, int32_t, (int32_t handle, void* buffer, uint32_t count))
BOARDSIM_BEHAVIOUR(dx_filewrite, int32_t, (int32_t handle, const void* buffer, uint32_t count))
BOARDSIM_BEHAVIOUR(dx_fileerrno, int32_t, ())

// The current event as Global Call describes it (globalcall_behaviour.cpp).
BOARDSIM_BEHAVIOUR(gc_GetMetaEvent, int32_t, (METAEVENT * metaevent))

// The configuration manager (ncm_behaviour.cpp).
BOARDSIM_BEHAVIOUR(NCM_GetDlgSrvStateEx, NCMRetCode, (NCM_DLGSRV_STATE * state))
BOARDSIM_BEHAVIOUR(NCM_GetTDMBusValue, NCMRetCode,
                   (NCMVALUE * bus, NCMVALUE* parameter, NCMVALUE** value))
BOARDSIM_BEHAVIOUR(NCM_Dealloc, NCMRetCode, (NCMVALUE * list))
BOARDSIM_BEHAVIOUR(NCM_StartDlgSrv, NCMRetCode, ())
BOARDSIM_BEHAVIOUR(NCM_GetInstalledFamilies, NCMRetCode, (NCMFamily * *families))
BOARDSIM_BEHAVIOUR(NCM_GetInstalledDevices, NCMRetCode, (NCMFamily * family, NCMDevice** devices))
BOARDSIM_BEHAVIOUR(NCM_GetDefaultIPAddress, NCMRetCode,
                   (NCMFamily * family, NCMVALUE* model, NCMDevice* device, char* address))

// Amtelco boards (amtelco_behaviour.cpp).
BOARDSIM_BEHAVIOUR(xds_id, int32_t, (uint8_t board, XDS_ID* id))
BOARDSIM_BEHAVIOUR(xds_msg_receive, int32_t, (XDS_MSG * message))
BOARDSIM_BEHAVIOUR(xds_query_receive, int32_t, (XDS_MSG * message))
BOARDSIM_BEHAVIOUR(xds_msg_on, int32_t, (uint8_t board))
BOARDSIM_BEHAVIOUR(xds_msg_send, int32_t, (uint8_t board, const char* text))
BOARDSIM_BEHAVIOUR(xds_mc3_ring_mode, int32_t, (uint8_t board, uint8_t mode))
BOARDSIM_BEHAVIOUR(xds_board_reset, int32_t, (uint8_t board))

}  // namespace ruzd::boardsim

#include "boardsim/core/behaviours_aculab.h"
#include "boardsim/core/behaviours_bus.h"
#include "boardsim/core/behaviours_calls.h"
#include "boardsim/core/behaviours_conference.h"
#include "boardsim/core/behaviours_globalcall_line.h"
#include "boardsim/core/behaviours_ip.h"
#include "boardsim/core/behaviours_media.h"
#include "boardsim/core/behaviours_speech.h"
