#pragma once

// The Aculab cards, their capabilities, Prosody modules and TDM switch (aculab_behaviour.cpp),
// call control on their ports and IP telephony (aculab_call_behaviour.cpp), what the cards
// report (aculab_event_behaviour.cpp) and the Prosody media (prosody_behaviour.cpp). Included by
// behaviours.h.

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

BOARDSIM_BEHAVIOUR(call_open_port, int32_t, (CALL_OPEN_PORT_PARMS * parms))
BOARDSIM_BEHAVIOUR(call_close_port, int32_t, (CALL_PORT_PARMS * parms))
BOARDSIM_BEHAVIOUR(call_open_iptel_port, int32_t, (CALL_OPEN_IPTEL_PORT_PARMS * parms))
BOARDSIM_BEHAVIOUR(call_port_info, int32_t, (CALL_PORT_INFO_PARMS * parms))
BOARDSIM_BEHAVIOUR(call_openin, int32_t, (CALL_OPEN_IN_PARMS * parms))
BOARDSIM_BEHAVIOUR(call_openout, int32_t, (CALL_OPEN_OUT_PARMS * parms))
BOARDSIM_BEHAVIOUR(call_incoming_ringing, int32_t, (int32_t handle))
BOARDSIM_BEHAVIOUR(call_accept, int32_t, (int32_t handle))
BOARDSIM_BEHAVIOUR(call_disconnect, int32_t, (CALL_DISCONNECT_PARMS * parms))
BOARDSIM_BEHAVIOUR(call_release, int32_t, (int32_t handle))
BOARDSIM_BEHAVIOUR(xcall_getcause, int32_t, (CALL_GETCAUSE_PARMS * parms))
BOARDSIM_BEHAVIOUR(xcall_incoming_ringing, int32_t, (XCALL_RINGING_PARMS * parms))
BOARDSIM_BEHAVIOUR(xcall_accept, int32_t, (XCALL_ACCEPT_PARMS * parms))
BOARDSIM_BEHAVIOUR(ipt_card_get_media_defaults, int32_t, (IPT_MEDIA_DEFAULTS_PARMS * parms))
BOARDSIM_BEHAVIOUR(ipt_get_protocol_defaults, int32_t, (IPT_PROTOCOL_DEFAULTS_PARMS * parms))
BOARDSIM_BEHAVIOUR(ipt_set_dtmf_handling, int32_t, (IPT_DTMF_HANDLING_PARMS * parms))

BOARDSIM_BEHAVIOUR(call_event, int32_t, (STATE_XPARMS * parms))
BOARDSIM_BEHAVIOUR(call_details, int32_t, (DETAIL_XPARMS * parms))
BOARDSIM_BEHAVIOUR(acu_get_system_notification, int32_t, (ACU_SYSTEM_NOTIFICATION_PARMS * parms))
BOARDSIM_BEHAVIOUR(acu_prosody_ip_get_registered_cards, int32_t,
                   (ACU_PROSODY_IP_REGISTERED_CARDS_PARMS * parms))
BOARDSIM_BEHAVIOUR(acu_prosody_ip_card_status, int32_t, (ACU_PROSODY_IP_CARD_STATUS_PARMS * parms))
BOARDSIM_BEHAVIOUR(ipt_get_card_notification, int32_t, (IPT_CARD_NOTIFICATION_PARMS * parms))
BOARDSIM_BEHAVIOUR(ipt_card_info, int32_t, (IPT_CARD_INFO_PARMS * parms))
BOARDSIM_BEHAVIOUR(ipt_card_get_if_stats, int32_t, (IPT_IF_STATS_PARMS * parms))

BOARDSIM_BEHAVIOUR(sm_channel_alloc_placed_iPsCte1_4_Mti_, int32_t,
                   (SM_CHANNEL_ALLOC_PLACED_PARMS * parms))
BOARDSIM_BEHAVIOUR(sm_switch_channel_output_iPsCtiie1_3__, int32_t,
                   (SM_SWITCH_CHANNEL_PARMS * parms))
BOARDSIM_BEHAVIOUR(sm_switch_channel_input_iPsCtiie1_3__, int32_t,
                   (SM_SWITCH_CHANNEL_PARMS * parms))
BOARDSIM_BEHAVIOUR(sm_channel_release_iCt, int32_t, (tSMChannelId channel))
BOARDSIM_BEHAVIOUR(sm_play_digits_iPsCtise1_1_icr33ii__, int32_t, (SM_PLAY_DIGITS_PARMS * parms))
BOARDSIM_BEHAVIOUR(sm_condition_input_iPsCtCte1_3_e1_2_iCte1_3_ifiUiPf_, int32_t,
                   (SM_CONDITION_INPUT_PARMS * parms))
BOARDSIM_BEHAVIOUR(sm_condition_adjust_iPsCte1_4_i_, int32_t, (SM_CONDITION_ADJUST_PARMS * parms))
BOARDSIM_BEHAVIOUR(sm_condition_adjust_iPsCte1_3_i_, int32_t, (SM_CONDITION_ADJUST_PARMS * parms))
BOARDSIM_BEHAVIOUR(sm_condition_adjust_span_iPsCti_, int32_t,
                   (SM_CONDITION_ADJUST_SPAN_PARMS * parms))
BOARDSIM_BEHAVIOUR(sm_vmprx_create_iPsVrMtSId_, int32_t, (SM_VMPRX_CREATE_PARMS * parms))
BOARDSIM_BEHAVIOUR(sm_vmptx_create_iPsVtMt_, int32_t, (SM_VMPTX_CREATE_PARMS * parms))
BOARDSIM_BEHAVIOUR(sm_vmprx_get_ports_iPsVriiSIdUi_, int32_t, (SM_VMPRX_PORTS_PARMS * parms))
BOARDSIM_BEHAVIOUR(sm_vmprx_destroy_iVr, int32_t, (tSMVMPrxId vmprx))
BOARDSIM_BEHAVIOUR(sm_vmptx_destroy_iVt, int32_t, (tSMVMPtxId vmptx))
BOARDSIM_BEHAVIOUR(sm_vmprx_stop_iPsVr_, int32_t, (SM_VMPRX_CONTEXT_PARMS * parms))
BOARDSIM_BEHAVIOUR(sm_vmptx_stop_iPsVt_, int32_t, (SM_VMPTX_CONTEXT_PARMS * parms))
BOARDSIM_BEHAVIOUR(sm_vmprx_config_codec_iPsVre1_5_ie1_2__, int32_t, (SM_VMPRX_CODEC_PARMS * parms))
BOARDSIM_BEHAVIOUR(sm_vmptx_config_codec_iPsVte1_5_ie1_3_i_, int32_t,
                   (SM_VMPTX_CODEC_PARMS * parms))
BOARDSIM_BEHAVIOUR(sm_vmptx_config_iPsVtSAdSAdiSAdSAdi_, int32_t, (SM_VMPTX_CONFIG_PARMS * parms))
BOARDSIM_BEHAVIOUR(sm_vmprx_config_tones_iPsVrii_, int32_t, (SM_VMPRX_TONES_PARMS * parms))
BOARDSIM_BEHAVIOUR(sm_vmprx_get_datafeed_iPsVrDt_, int32_t, (SM_VMPRX_DATAFEED_PARMS * parms))
BOARDSIM_BEHAVIOUR(sm_vmptx_datafeed_connect_iPsDtVt_, int32_t,
                   (SM_VMPTX_DATAFEED_CONNECT_PARMS * parms))
BOARDSIM_BEHAVIOUR(sm_tdmrx_create_iPsTrMtiie1_3__, int32_t, (SM_TDMRX_CREATE_PARMS * parms))
BOARDSIM_BEHAVIOUR(sm_tdmtx_create_iPsTtMtiie1_3__, int32_t, (SM_TDMTX_CREATE_PARMS * parms))
BOARDSIM_BEHAVIOUR(sm_tdmrx_destroy_iTr, int32_t, (tSMTDMrxId tdmrx))
BOARDSIM_BEHAVIOUR(sm_tdmtx_destroy_iTt, int32_t, (tSMTDMtxId tdmtx))
BOARDSIM_BEHAVIOUR(sm_tdmrx_get_datafeed_iPsTrDt_, int32_t, (SM_TDMRX_DATAFEED_PARMS * parms))
BOARDSIM_BEHAVIOUR(sm_tdmtx_datafeed_connect_iPsDtTt_, int32_t,
                   (SM_TDMTX_DATAFEED_CONNECT_PARMS * parms))

}  // namespace ruzd::boardsim
