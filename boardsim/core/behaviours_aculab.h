#pragma once

// The Aculab cards, their capabilities, Prosody modules and TDM switch (aculab_behaviour.cpp).
// Included by behaviours.h.

namespace ruzd::boardsim {

BOARDSIM_BEHAVIOUR(acu_get_system_snapshot, int32_t, (ACU_SNAPSHOT_PARMS * parms))
BOARDSIM_BEHAVIOUR(acu_open_card, int32_t, (ACU_OPEN_CARD_PARMS * parms))
BOARDSIM_BEHAVIOUR(acu_close_card, int32_t, (ACU_CARD_PARMS * parms))
BOARDSIM_BEHAVIOUR(acu_get_card_info, int32_t, (ACU_CARD_INFO_PARMS * parms))
BOARDSIM_BEHAVIOUR(acu_open_prosody, int32_t, (ACU_CARD_PARMS * parms))
BOARDSIM_BEHAVIOUR(acu_close_prosody, int32_t, (ACU_CARD_PARMS * parms))
BOARDSIM_BEHAVIOUR(acu_open_switch, int32_t, (ACU_CARD_PARMS * parms))
BOARDSIM_BEHAVIOUR(acu_close_switch, int32_t, (ACU_CARD_PARMS * parms))
BOARDSIM_BEHAVIOUR(acu_open_call, int32_t, (ACU_CARD_PARMS * parms))
BOARDSIM_BEHAVIOUR(acu_close_call, int32_t, (ACU_CARD_PARMS * parms))
BOARDSIM_BEHAVIOUR(acu_open_ipt, int32_t, (ACU_CARD_PARMS * parms))
BOARDSIM_BEHAVIOUR(acu_close_ipt, int32_t, (ACU_CARD_PARMS * parms))
BOARDSIM_BEHAVIOUR(call_get_card_info, int32_t, (CALL_CARD_INFO_PARMS * parms))
BOARDSIM_BEHAVIOUR(error_2_string, const char*, (int32_t error_code))
BOARDSIM_BEHAVIOUR(sw_set_output, int32_t, (int32_t card_id, OUTPUT_PARMS* parms))
BOARDSIM_BEHAVIOUR(sw_mode_switch, int32_t, (int32_t card_id, SWMODE_PARMS* parms))
BOARDSIM_BEHAVIOUR(sw_reset_switch, int32_t, (int32_t card_id))
BOARDSIM_BEHAVIOUR(sm_get_card_info_iPsCAte1_8_iiUiUiUicr16_, int32_t, (SM_CARD_INFO_PARMS * parms))
BOARDSIM_BEHAVIOUR(sm_get_card_info_iPsCAte1_7_iiUiUiUicr16_, int32_t, (SM_CARD_INFO_PARMS * parms))
BOARDSIM_BEHAVIOUR(sm_open_module_iPsCAtUiMt_, int32_t, (SM_OPEN_MODULE_PARMS * parms))
BOARDSIM_BEHAVIOUR(sm_close_module_iPsMt_, int32_t, (SM_CLOSE_MODULE_PARMS * parms))

}  // namespace ruzd::boardsim
