#pragma once

// How each vendor function becomes an operation of the hardware facade.
//
// The facade has one operation per vendor call, named after the vendor function. Most of them
// are made from the vendor function lists (telephony/vendorapi/*_functions.inc), so that their
// signatures follow the lists and cannot drift from the tables. Each list is expanded with a
// default form; a function whose operation looks different names its form here:
//
//   plain            the vendor's arguments; forwards them.
//   with_ldev        a leading line device number (for the log only), then the vendor's
//                    arguments; forwards the rest.
//   restart_guarded  as with_ldev, but -1 and "*** <name> ignored during cc_restart" while the
//                    line device restarts.
//   gc_guarded       the vendor's arguments; -1 and "GLOBALCALL NOT initialised" (no device)
//                    while Global Call is not started.
//   gc_guarded_ldev  as gc_guarded with a leading line device, the refusal logged on the Dt
//                    channel of that device.
//   gc_guarded_info  the same, the refusal logged on the Ip channel of that device.
//   loaded_table     the vendor's arguments; -1 when the table is absent or its library did
//                    not load.
//   present_table    the vendor's arguments; -1 when the table is absent.
//   ncm              the vendor's arguments; -1 and "Function <name> not loaded." when the
//                    table is absent.
//   aculab_timed     the vendor's arguments; forwards them and logs the call when it took more
//                    than 500 ms (the Aculab call-control functions).
//   aculab_timed_leading
//                    as aculab_timed after a leading value that is not passed on.
//   with_leading     a leading value that is not passed on, then the vendor's arguments.
//   by_hand          the operation is written by hand (its arguments or its work differ).
//   none             the facade has no operation for the function (the tables call it).
//
// Every form returns the vendor's result, and 0 (a null pointer, nothing) when the table is
// absent, its library did not load or the function was not bound: what a missing vendor
// function yields everywhere.

#define FACADE_FORM(form) ~, form

// --- libdtimt: ISDN call control ---
#define FACADE_FORM_cc_ResultMsg FACADE_FORM(with_ldev)
#define FACADE_FORM_cc_SetChanState FACADE_FORM(by_hand)
#define FACADE_FORM_cc_DropCall FACADE_FORM(restart_guarded)
#define FACADE_FORM_cc_AcceptCall FACADE_FORM(restart_guarded)
#define FACADE_FORM_cc_AnswerCall FACADE_FORM(restart_guarded)
#define FACADE_FORM_cc_CauseValue FACADE_FORM(with_ldev)
#define FACADE_FORM_cc_Open FACADE_FORM(by_hand)
#define FACADE_FORM_cc_Close FACADE_FORM(with_ldev)
#define FACADE_FORM_cc_GetCRN FACADE_FORM(by_hand)
#define FACADE_FORM_cc_BlockTs FACADE_FORM(with_ldev)
#define FACADE_FORM_cc_UnBlockTs FACADE_FORM(with_ldev)
#define FACADE_FORM_cc_SetEvtMsk FACADE_FORM(with_ldev)
#define FACADE_FORM_cc_GetEvtMsk FACADE_FORM(with_ldev)
#define FACADE_FORM_cc_WaitCall FACADE_FORM(restart_guarded)
#define FACADE_FORM_cc_Restart FACADE_FORM(by_hand)
#define FACADE_FORM_cc_GetCallInfo FACADE_FORM(restart_guarded)
#define FACADE_FORM_cc_GetSigInfo FACADE_FORM(with_ldev)
#define FACADE_FORM_cc_GetMoreDigits FACADE_FORM(restart_guarded)
#define FACADE_FORM_cc_GetDNIS FACADE_FORM(restart_guarded)
#define FACADE_FORM_cc_GetANI FACADE_FORM(restart_guarded)
#define FACADE_FORM_cc_GetBChanState FACADE_FORM(with_ldev)
#define FACADE_FORM_cc_GetDChanState FACADE_FORM(with_ldev)
#define FACADE_FORM_cc_CallProgress FACADE_FORM(by_hand)
#define FACADE_FORM_cc_CallAck FACADE_FORM(by_hand)
#define FACADE_FORM_cc_CallState FACADE_FORM(restart_guarded)
#define FACADE_FORM_cc_CRN2LineDev FACADE_FORM(restart_guarded)
#define FACADE_FORM_cc_MakeCall FACADE_FORM(restart_guarded)
#define FACADE_FORM_cc_ResultValue FACADE_FORM(with_ldev)
#define FACADE_FORM_cc_ReleaseCall FACADE_FORM(restart_guarded)
#define FACADE_FORM_cc_ReleaseCallEx FACADE_FORM(restart_guarded)
#define FACADE_FORM_cc_GetInfoElem FACADE_FORM(with_ldev)
#define FACADE_FORM_cc_SndMsg FACADE_FORM(with_ldev)

// --- libdtimt: network interfaces, stations, conference boards ---
#define FACADE_FORM_dt_open FACADE_FORM(by_hand)
#define FACADE_FORM_dt_close FACADE_FORM(loaded_table)
#define FACADE_FORM_ms_open FACADE_FORM(by_hand)
#define FACADE_FORM_ms_close FACADE_FORM(present_table)
#define FACADE_FORM_ms_estconf FACADE_FORM(by_hand)
#define FACADE_FORM_dcb_estconf FACADE_FORM(by_hand)

// --- libdxxmt: voice ---
#define FACADE_FORM_dx_open FACADE_FORM(by_hand)
#define FACADE_FORM_dx_close FACADE_FORM(loaded_table)
#define FACADE_FORM_dx_distone FACADE_FORM(by_hand)
#define FACADE_FORM_dx_enbtone FACADE_FORM(by_hand)
#define FACADE_FORM_dx_blddtcad FACADE_FORM(by_hand)
#define FACADE_FORM_dx_blddt FACADE_FORM(by_hand)
#define FACADE_FORM_dx_bldstcad FACADE_FORM(by_hand)
#define FACADE_FORM_dx_bldst FACADE_FORM(by_hand)
#define FACADE_FORM_dx_getfeaturelist FACADE_FORM(loaded_table)
#define FACADE_FORM_dx_fileopen FACADE_FORM(with_ldev)
#define FACADE_FORM_dx_fileclose FACADE_FORM(by_hand)
#define FACADE_FORM_dx_setuio FACADE_FORM(none)
#define FACADE_FORM_dx_reciottdata FACADE_FORM(by_hand)
#define FACADE_FORM_dx_dial FACADE_FORM(by_hand)
#define FACADE_FORM_dx_getextqualtmplate FACADE_FORM(by_hand)
#define FACADE_FORM_dx_setextqualtmplate FACADE_FORM(by_hand)

// --- libsrlmt: events and device attributes (the twins are written by hand) ---
#define FACADE_FORM_sr_setparm FACADE_FORM(with_ldev)
#define FACADE_FORM_ATDV_ERRMSGP FACADE_FORM(by_hand)
#define FACADE_FORM_ATDV_NAMEP FACADE_FORM(by_hand)
#define FACADE_FORM_ATDV_SUBDEVS FACADE_FORM(loaded_table)

// --- libgc: Global Call; the list's default is gc_guarded ---
#define FACADE_FORM_gc_ResultMsg FACADE_FORM(plain)
#define FACADE_FORM_gc_SetChanState FACADE_FORM(gc_guarded_ldev)
#define FACADE_FORM_gc_DropCall FACADE_FORM(gc_guarded_ldev)
#define FACADE_FORM_gc_AcceptCall FACADE_FORM(gc_guarded_ldev)
#define FACADE_FORM_gc_AnswerCall FACADE_FORM(gc_guarded_ldev)
#define FACADE_FORM_gc_Open FACADE_FORM(gc_guarded_ldev)
#define FACADE_FORM_gc_OpenEx FACADE_FORM(by_hand)
#define FACADE_FORM_gc_Close FACADE_FORM(gc_guarded_ldev)
#define FACADE_FORM_gc_SetEvtMsk FACADE_FORM(gc_guarded_ldev)
#define FACADE_FORM_gc_WaitCall FACADE_FORM(gc_guarded_ldev)
#define FACADE_FORM_gc_GetCallInfo FACADE_FORM(gc_guarded_ldev)
#define FACADE_FORM_gc_GetSigInfo FACADE_FORM(gc_guarded_ldev)
#define FACADE_FORM_gc_CallProgress FACADE_FORM(gc_guarded_ldev)
#define FACADE_FORM_gc_CallAck FACADE_FORM(gc_guarded_ldev)
#define FACADE_FORM_gc_MakeCall FACADE_FORM(gc_guarded_ldev)
#define FACADE_FORM_gc_ReleaseCall FACADE_FORM(gc_guarded_ldev)
#define FACADE_FORM_gc_ReleaseCallEx FACADE_FORM(gc_guarded_ldev)
#define FACADE_FORM_gc_GetInfoElem FACADE_FORM(gc_guarded_ldev)
#define FACADE_FORM_gc_ErrorValue FACADE_FORM(plain)
#define FACADE_FORM_gc_ErrorInfo FACADE_FORM(plain)
#define FACADE_FORM_gc_Start FACADE_FORM(plain)
#define FACADE_FORM_gc_Stop FACADE_FORM(by_hand)
#define FACADE_FORM_gc_SetParm FACADE_FORM(plain)
#define FACADE_FORM_gc_SndMsg FACADE_FORM(gc_guarded_ldev)
#define FACADE_FORM_gc_ResetLineDev FACADE_FORM(gc_guarded_ldev)
#define FACADE_FORM_gc_CCLibStatusEx FACADE_FORM(plain)
#define FACADE_FORM_gc_SetConfigData FACADE_FORM(plain)
#define FACADE_FORM_gc_util_insert_parm_ref FACADE_FORM(plain)
#define FACADE_FORM_gc_util_insert_parm_val FACADE_FORM(plain)
#define FACADE_FORM_gc_util_delete_parm_blk FACADE_FORM(by_hand)
#define FACADE_FORM_gc_SetUserInfo FACADE_FORM(with_ldev)
#define FACADE_FORM_gc_GetUserInfo FACADE_FORM(plain)
#define FACADE_FORM_gc_Extension FACADE_FORM(gc_guarded_info)
#define FACADE_FORM_gc_util_next_parm FACADE_FORM(none)
#define FACADE_FORM_gc_util_next_parm_ex FACADE_FORM(plain)
#define FACADE_FORM_gc_SetAlarmNotifyAll FACADE_FORM(by_hand)
#define FACADE_FORM_gc_AcceptModifyCall FACADE_FORM(gc_guarded_ldev)

// --- NCMAPI: the optional default address query is written by hand ---
#define FACADE_FORM_NCM_GetDefaultIPAddress FACADE_FORM(by_hand)

// --- XDSlibsc: the second receive function is the board event decoder's alone ---
#define FACADE_FORM_xds_query_receive FACADE_FORM(none)

// --- CL_Lib: Aculab call control; the list's default is aculab_timed ---
#define FACADE_FORM_call_open_port FACADE_FORM(by_hand)
#define FACADE_FORM_call_open_iptel_port FACADE_FORM(by_hand)
#define FACADE_FORM_call_disconnect FACADE_FORM(aculab_timed_leading)
#define FACADE_FORM_call_incoming_ringing FACADE_FORM(aculab_timed_leading)
#define FACADE_FORM_call_accept FACADE_FORM(aculab_timed_leading)
#define FACADE_FORM_call_release FACADE_FORM(aculab_timed_leading)
#define FACADE_FORM_xcall_incoming_ringing FACADE_FORM(aculab_timed_leading)
#define FACADE_FORM_xcall_getcause FACADE_FORM(aculab_timed_leading)
#define FACADE_FORM_xcall_accept FACADE_FORM(aculab_timed_leading)
#define FACADE_FORM_call_hold FACADE_FORM(none)
#define FACADE_FORM_call_reconnect FACADE_FORM(none)
#define FACADE_FORM_call_enquiry FACADE_FORM(none)
#define FACADE_FORM_call_transfer FACADE_FORM(none)
#define FACADE_FORM_call_answercode FACADE_FORM(none)
#define FACADE_FORM_call_get_originating_addr FACADE_FORM(none)
#define FACADE_FORM_call_getcause FACADE_FORM(none)

// --- Res_Lib and IpTel_Lib ---
#define FACADE_FORM_acu_get_system_notification FACADE_FORM(by_hand)
#define FACADE_FORM_ipt_set_dtmf_handling FACADE_FORM(with_leading)

// TiNG's exports carry the library's signature suffix, so its operations, named without it,
// are listed in telephony/facade_ting_operations.inc instead.

// The form of `name`: the one named above, else `fallback`.
#define FACADE_SECOND(a, b, ...) b
#define FACADE_PICK(probe, fallback) FACADE_SECOND(probe, fallback, ~)
#define FACADE_FORM_OF(name, fallback) FACADE_PICK(FACADE_FORM_##name, fallback)
#define FACADE_CAT(a, b) FACADE_CAT_I(a, b)
#define FACADE_CAT_I(a, b) a##b

// A leading line device number before the vendor's parameters.
#define FACADE_WITH_LDEV(...) (int32_t ldev, __VA_ARGS__)
// A leading value that is not passed on, before the vendor's parameters.
#define FACADE_WITH_LEADING(...) (int32_t leading, __VA_ARGS__)
// The vendor's arguments after a leading comma; nothing for none.
#define FACADE_AFTER_COMMA(...) __VA_OPT__(, ) __VA_ARGS__

// --- Declarations; FACADE_SLOT ends each one ("= 0" or "override") ---
#define FACADE_DECLARE(fallback, ret, name, params) \
    FACADE_CAT(FACADE_DECLARE_, FACADE_FORM_OF(name, fallback))(ret, name, params)
#define FACADE_DECLARE_plain(ret, name, params) virtual ret name params FACADE_SLOT;
#define FACADE_DECLARE_with_ldev(ret, name, params) \
    virtual ret name FACADE_WITH_LDEV params FACADE_SLOT;
#define FACADE_DECLARE_restart_guarded FACADE_DECLARE_with_ldev
#define FACADE_DECLARE_gc_guarded FACADE_DECLARE_plain
#define FACADE_DECLARE_gc_guarded_ldev FACADE_DECLARE_with_ldev
#define FACADE_DECLARE_gc_guarded_info FACADE_DECLARE_with_ldev
#define FACADE_DECLARE_loaded_table FACADE_DECLARE_plain
#define FACADE_DECLARE_present_table FACADE_DECLARE_plain
#define FACADE_DECLARE_ncm FACADE_DECLARE_plain
#define FACADE_DECLARE_aculab_timed FACADE_DECLARE_plain
#define FACADE_DECLARE_with_leading(ret, name, params) \
    virtual ret name FACADE_WITH_LEADING params FACADE_SLOT;
#define FACADE_DECLARE_aculab_timed_leading FACADE_DECLARE_with_leading
#define FACADE_DECLARE_by_hand(ret, name, params)
#define FACADE_DECLARE_none(ret, name, params)

// --- Definitions in CHardwareISDN; FACADE_TABLE and FACADE_TABLE_CLASS name the table ---
#define FACADE_CALL(name, args) \
    VendorCall(FACADE_TABLE, &FACADE_TABLE_CLASS::name FACADE_AFTER_COMMA args)
#define FACADE_DEFINE(fallback, ret, name, params, args) \
    FACADE_CAT(FACADE_DEFINE_, FACADE_FORM_OF(name, fallback))(ret, name, params, args)
#define FACADE_DEFINE_plain(ret, name, params, args) \
    ret CHardwareISDN::name params {                 \
        return FACADE_CALL(name, args);              \
    }
#define FACADE_DEFINE_with_ldev(ret, name, params, args) \
    ret CHardwareISDN::name FACADE_WITH_LDEV params {    \
        (void)ldev;                                      \
        return FACADE_CALL(name, args);                  \
    }
#define FACADE_DEFINE_restart_guarded(ret, name, params, args) \
    ret CHardwareISDN::name FACADE_WITH_LDEV params {          \
        if (RefusedWhileRestarting(ldev, #name))               \
            return -1;                                         \
        return FACADE_CALL(name, args);                        \
    }
#define FACADE_DEFINE_GC_GUARDED(ret, name, params, args, kind, device) \
    {                                                                   \
        if (RefusedWithoutGlobalCall(kind, device))                     \
            return -1;                                                  \
        return FACADE_CALL(name, args);                                 \
    }
#define FACADE_DEFINE_gc_guarded(ret, name, params, args) \
    ret CHardwareISDN::name params FACADE_DEFINE_GC_GUARDED(ret, name, params, args, 0, 0)
#define FACADE_DEFINE_gc_guarded_ldev(ret, name, params, args)                                  \
    ret CHardwareISDN::name FACADE_WITH_LDEV params FACADE_DEFINE_GC_GUARDED(ret, name, params, \
                                                                             args, 1, ldev)
#define FACADE_DEFINE_gc_guarded_info(ret, name, params, args)                                  \
    ret CHardwareISDN::name FACADE_WITH_LDEV params FACADE_DEFINE_GC_GUARDED(ret, name, params, \
                                                                             args, 6, ldev)
#define FACADE_DEFINE_loaded_table(ret, name, params, args)       \
    ret CHardwareISDN::name params {                              \
        if (FACADE_TABLE == nullptr || !FACADE_TABLE->IsLoaded()) \
            return -1;                                            \
        return FACADE_CALL(name, args);                           \
    }
#define FACADE_DEFINE_present_table(ret, name, params, args) \
    ret CHardwareISDN::name params {                         \
        if (FACADE_TABLE == nullptr)                         \
            return -1;                                       \
        return FACADE_CALL(name, args);                      \
    }
#define FACADE_DEFINE_ncm(ret, name, params, args)             \
    ret CHardwareISDN::name params {                           \
        if (FACADE_TABLE == nullptr)                           \
            return FunctionNotLoaded("CHardwareISDN::" #name); \
        return FACADE_CALL(name, args);                        \
    }
#define FACADE_DEFINE_aculab_timed(ret, name, params, args)                     \
    ret CHardwareISDN::name params {                                            \
        return TimedAculabCall(#name, [&] { return FACADE_CALL(name, args); }); \
    }
#define FACADE_DEFINE_aculab_timed_leading(ret, name, params, args)             \
    ret CHardwareISDN::name FACADE_WITH_LEADING params {                        \
        (void)leading;                                                          \
        return TimedAculabCall(#name, [&] { return FACADE_CALL(name, args); }); \
    }
#define FACADE_DEFINE_with_leading(ret, name, params, args) \
    ret CHardwareISDN::name FACADE_WITH_LEADING params {    \
        (void)leading;                                      \
        return FACADE_CALL(name, args);                     \
    }
#define FACADE_DEFINE_by_hand(ret, name, params, args)
#define FACADE_DEFINE_none(ret, name, params, args)
