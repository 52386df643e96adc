#pragma once

// The voice functions that play, record, collect digits, dial and generate tones on the
// simulated media (media_behaviour.cpp), and the channel attributes they leave.

#include "boardsim/core/dispatch.h"

namespace ruzd::boardsim {

BOARDSIM_BEHAVIOUR(dx_setuio, int32_t, (DX_UIO uio))
BOARDSIM_BEHAVIOUR(dx_playiottdata, int32_t,
                   (int32_t dev, DX_IOTT* iott, DV_TPT* tpt, DX_XPB* xpb, uint16_t mode))
BOARDSIM_BEHAVIOUR(dx_reciottdata, int32_t,
                   (int32_t dev, DX_IOTT* iott, DV_TPT* tpt, DX_XPB* xpb, uint16_t mode))
BOARDSIM_BEHAVIOUR(dx_mreciottdata, int32_t,
                   (int32_t dev, DX_IOTT* iott, DV_TPT* tpt, DX_XPB* xpb, uint16_t mode,
                    SC_TSINFO* tsinfo))
BOARDSIM_BEHAVIOUR(dx_getdig, int32_t, (int32_t dev, DV_TPT* tpt, DV_DIGIT* digits, uint16_t mode))
BOARDSIM_BEHAVIOUR(dx_clrdigbuf, int32_t, (int32_t dev))
BOARDSIM_BEHAVIOUR(dx_dial, int32_t, (int32_t dev, const char* dial, DX_CAP* cap, uint16_t mode))
BOARDSIM_BEHAVIOUR(dx_playtone, int32_t, (int32_t dev, TN_GEN* tone, DV_TPT* tpt, uint16_t mode))
BOARDSIM_BEHAVIOUR(dx_stopch, int32_t, (int32_t dev, uint16_t mode))
BOARDSIM_BEHAVIOUR(dx_addtone, int32_t, (int32_t dev, uint8_t digit, uint8_t digit_type))
BOARDSIM_BEHAVIOUR(dx_enbtone, int32_t, (int32_t dev, int32_t tone_id, int32_t event_mask))
BOARDSIM_BEHAVIOUR(dx_distone, int32_t, (int32_t dev, int32_t tone_id, int32_t event_mask))
BOARDSIM_BEHAVIOUR(dx_deltones, int32_t, (int32_t dev))
BOARDSIM_BEHAVIOUR(dx_blddtcad, int32_t,
                   (uint32_t tone_id, uint32_t freq1, uint32_t freq1_dev, uint32_t freq2,
                    uint32_t freq2_dev, uint32_t on_time, uint32_t on_dev, uint32_t off_time,
                    uint32_t off_dev, uint32_t repeat))
BOARDSIM_BEHAVIOUR(dx_blddt, int32_t,
                   (uint32_t tone_id, uint32_t freq1, uint32_t freq1_dev, uint32_t freq2,
                    uint32_t freq2_dev, uint32_t mode))
BOARDSIM_BEHAVIOUR(dx_bldstcad, int32_t,
                   (uint32_t tone_id, uint32_t freq, uint32_t freq_dev, uint32_t on_time,
                    uint32_t on_dev, uint32_t off_time, uint32_t off_dev, uint32_t repeat))
BOARDSIM_BEHAVIOUR(dx_bldst, int32_t,
                   (uint32_t tone_id, uint32_t freq, uint32_t freq_dev, uint32_t mode))
BOARDSIM_BEHAVIOUR(ATDX_STATE, int32_t, (int32_t dev))
BOARDSIM_BEHAVIOUR(ATDX_TERMMSK, int32_t, (int32_t dev))
BOARDSIM_BEHAVIOUR(ATDX_TRCOUNT, int32_t, (int32_t dev))
BOARDSIM_BEHAVIOUR(ATDX_TONEID, int32_t, (int32_t dev))
BOARDSIM_BEHAVIOUR(ATDX_BUFDIGS, int32_t, (int32_t dev))
BOARDSIM_BEHAVIOUR(ATDX_CPTERM, int32_t, (int32_t dev))
BOARDSIM_BEHAVIOUR(ATDX_CONNTYPE, int32_t, (int32_t dev))
BOARDSIM_BEHAVIOUR(ATDX_SHORTLOW, int32_t, (int32_t dev))
BOARDSIM_BEHAVIOUR(ATDX_LONGLOW, int32_t, (int32_t dev))
BOARDSIM_BEHAVIOUR(ATDX_SIZEHI, int32_t, (int32_t dev))

}  // namespace ruzd::boardsim
