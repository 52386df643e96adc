#pragma once

// Stations and conferences (station_behaviour.cpp, conference_behaviour.cpp): a station's hook
// and ring, the parameters and event masks of stations and boards, and the conferences of the
// station boards and the conference boards' DSPs. Included by behaviours.h.

namespace ruzd::boardsim {

BOARDSIM_BEHAVIOUR(ms_genring, int32_t, (int32_t dev, uint16_t length, uint16_t mode))
BOARDSIM_BEHAVIOUR(ms_stopfn, int32_t, (int32_t dev, uint32_t function))
BOARDSIM_BEHAVIOUR(ATMS_TSSGBIT, int32_t, (int32_t dev))
BOARDSIM_BEHAVIOUR(ms_setbrdparm, int32_t, (int32_t dev, uint32_t param, void* value))
BOARDSIM_BEHAVIOUR(ms_setstparm, int32_t, (int32_t dev, uint8_t param, void* value))
BOARDSIM_BEHAVIOUR(ms_setevtmsk, int32_t,
                   (int32_t dev, uint32_t event, uint32_t bitmask, int32_t action))
BOARDSIM_BEHAVIOUR(dcb_setbrdparm, int32_t, (int32_t dev, uint32_t param, void* value))

// The conference functions of the station library (ms_) and the conference board library
// (dcb_) take the same arguments.
#define BOARDSIM_CONFERENCE_BEHAVIOURS(prefix)                                                   \
    BOARDSIM_BEHAVIOUR(                                                                          \
        prefix##_estconf, int32_t,                                                               \
        (int32_t dev, MS_CDT * parties, int32_t count, int32_t attributes, int32_t * conf_id))   \
    BOARDSIM_BEHAVIOUR(prefix##_addtoconf, int32_t,                                              \
                       (int32_t dev, int32_t conf_id, MS_CDT * party))                           \
    BOARDSIM_BEHAVIOUR(prefix##_remfromconf, int32_t,                                            \
                       (int32_t dev, int32_t conf_id, MS_CDT * party))                           \
    BOARDSIM_BEHAVIOUR(prefix##_setcde, int32_t, (int32_t dev, int32_t conf_id, MS_CDT * party)) \
    BOARDSIM_BEHAVIOUR(prefix##_delconf, int32_t, (int32_t dev, int32_t conf_id))                \
    BOARDSIM_BEHAVIOUR(prefix##_dsprescount, int32_t, (int32_t dev, int32_t * count))

BOARDSIM_CONFERENCE_BEHAVIOURS(ms)
BOARDSIM_CONFERENCE_BEHAVIOURS(dcb)
BOARDSIM_BEHAVIOUR(dcb_DeleteAllConferences, int32_t, (int32_t dev, int32_t rfu1, int32_t rfu2))

}  // namespace ruzd::boardsim
