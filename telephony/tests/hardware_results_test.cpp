// The facade's result conventions, checked across every operation against recording stubs of
// the vendor libraries: what the vendor is given, what comes back, and when the operation
// refuses (-1) or finds nothing to call (0).
//
// The operations made from the vendor function lists get their cases from the same lists and
// forms as the facade; the operations written by hand have their cases written out below. A
// completeness check makes sure no operation is left without one.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "platform/text.h"
#include "telephony/tests/facade_fixture.h"
#include "telephony/tests/stubs/stub_arguments.h"
#include "telephony/tests/stubs/stub_value.h"

namespace ruzd::telephony {
namespace {

using stubs::CallText;
using stubs::StubNumber;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::SizeIs;
using ::testing::StartsWith;

// The line device the cases act for.
constexpr int32_t kLdev = 7;

enum class Refusal { kNone, kWhileRestarting, kWithoutGlobalCall };

struct OperationCase {
    std::string name;
    std::function<int64_t(CHardwareISDN&)> call;
    // The one call the vendor gets; for the argument-less event readers only its start.
    std::string vendor_call;
    bool vendor_call_prefix_only = false;
    int64_t vendor_result = 0;
    // The result when the library (or its table) is not there: 0, or -1 where the family
    // refuses.
    int64_t result_without_library = 0;
    // The line the operation logs when it has no table to call, if any.
    std::string without_library_line;
    // A line the operation logs whenever it calls (or would call) the vendor.
    std::string done_line;
    Refusal refusal = Refusal::kNone;
    int refusal_kind = 0;
    int32_t refusal_device = 0;
    // Made from a list with a leading line device before the vendor's arguments.
    bool leading_ldev = false;
};

// Results as numbers; a text result as the number made from the text, so texts compare too.
template <typename Result>
int64_t AsNumber(Result result) {
    if constexpr (std::is_same_v<Result, const char*>) {
        return result == nullptr ? 0 : StubNumber(result);
    } else if constexpr (std::is_pointer_v<Result>) {
        return static_cast<int64_t>(reinterpret_cast<intptr_t>(result));
    } else {
        return static_cast<int64_t>(result);
    }
}

template <typename Result>
int64_t StubAnswer(const char* name) {
    if constexpr (std::is_void_v<Result>) {
        return 0;
    } else if constexpr (std::is_same_v<Result, const char*>) {
        // A recording stub answers with the function's name and the letter 0xE9.
        return StubNumber((std::string(name) + "\xE9").c_str());
    } else {
        return AsNumber(stubs::StubResult<Result>(name));
    }
}

const char* Text(const char* text) {
    return text;
}

// --- Arguments for the cases made from the lists: a distinct value per position ---

char g_buffers[16][16];
const char* const kTexts[16] = {"t0", "t1", "t2", "t3", "t4", "t5", "t6", "t7",
                                "t8", "t9", "tA", "tB", "tC", "tD", "tE", "tF"};

template <typename T>
T ArgumentFor(size_t index) {
    if constexpr (std::is_same_v<T, const char*>) {
        return kTexts[index];
    } else if constexpr (std::is_same_v<T, char*>) {
        return g_buffers[index];
    } else if constexpr (std::is_pointer_v<T>) {
        // Never followed: the stubs only write pointers down.
        return reinterpret_cast<T>(static_cast<uintptr_t>(0x5000 + 0x10 * index));
    } else if constexpr (std::is_integral_v<T>) {
        return static_cast<T>(11 + index);
    } else {
        return T{};
    }
}

template <typename Signature>
struct SignatureTraits;

template <typename Result, typename... Params>
struct SignatureTraits<Result(Params...)> {
    using ResultType = Result;
    static std::tuple<Params...> Arguments() { return Make(std::index_sequence_for<Params...>{}); }

private:
    template <size_t... I>
    static std::tuple<Params...> Make(std::index_sequence<I...>) {
        return std::tuple<Params...>{ArgumentFor<Params>(I)...};
    }
};

// A case of an operation made from a list: `invoke` calls it on the facade with the vendor's
// arguments (adding the line device where the operation takes one).
template <typename Signature, typename Invoke>
OperationCase ListCase(const char* name, Invoke invoke, const char* vendor_name = nullptr) {
    using Traits = SignatureTraits<Signature>;
    using Result = typename Traits::ResultType;
    const auto arguments = Traits::Arguments();
    if (vendor_name == nullptr)
        vendor_name = name;
    OperationCase c;
    c.name = name;
    c.vendor_call = std::apply(
        [vendor_name](const auto&... values) { return CallText(vendor_name, values...); },
        arguments);
    c.vendor_result = StubAnswer<Result>(vendor_name);
    c.call = [arguments, invoke](CHardwareISDN& hardware) -> int64_t {
        return std::apply(
            [&](auto... values) -> int64_t {
                if constexpr (std::is_void_v<Result>) {
                    invoke(hardware, values...);
                    return 0;
                } else {
                    return AsNumber(invoke(hardware, values...));
                }
            },
            arguments);
    };
    return c;
}

OperationCase Refused(OperationCase c, Refusal refusal, int kind, int32_t device) {
    c.refusal = refusal;
    c.refusal_kind = kind;
    c.refusal_device = device;
    return c;
}

OperationCase WithoutLibrary(OperationCase c, int64_t result, std::string line = {}) {
    c.result_without_library = result;
    c.without_library_line = std::move(line);
    return c;
}

OperationCase WithLeadingLdev(OperationCase c) {
    c.leading_ldev = true;
    return c;
}

#define CASE_FROM_LIST(ret, name, params, ...) \
    ListCase<ret params>(#name, [](CHardwareISDN& hw, auto... a) { return hw.name(__VA_ARGS__); })
#define CASE_FROM_LIST_LDEV(ret, name, params) \
    WithLeadingLdev(CASE_FROM_LIST(ret, name, params, kLdev, a...))
#define CASE_plain(ret, name, params) cases.push_back(CASE_FROM_LIST(ret, name, params, a...));
#define CASE_with_ldev(ret, name, params) cases.push_back(CASE_FROM_LIST_LDEV(ret, name, params));
#define CASE_restart_guarded(ret, name, params) \
    cases.push_back(                            \
        Refused(CASE_FROM_LIST_LDEV(ret, name, params), Refusal::kWhileRestarting, 1, kLdev));
#define CASE_gc_guarded(ret, name, params) \
    cases.push_back(                       \
        Refused(CASE_FROM_LIST(ret, name, params, a...), Refusal::kWithoutGlobalCall, 0, 0));
#define CASE_gc_guarded_ldev(ret, name, params) \
    cases.push_back(                            \
        Refused(CASE_FROM_LIST_LDEV(ret, name, params), Refusal::kWithoutGlobalCall, 1, kLdev));
#define CASE_gc_guarded_info(ret, name, params) \
    cases.push_back(                            \
        Refused(CASE_FROM_LIST_LDEV(ret, name, params), Refusal::kWithoutGlobalCall, 6, kLdev));
#define CASE_loaded_table(ret, name, params) \
    cases.push_back(WithoutLibrary(CASE_FROM_LIST(ret, name, params, a...), -1));
#define CASE_present_table CASE_loaded_table
#define CASE_ncm(ret, name, params)                                             \
    cases.push_back(WithoutLibrary(CASE_FROM_LIST(ret, name, params, a...), -1, \
                                   "Function CHardwareISDN::" #name " not loaded."));
#define CASE_aculab_timed CASE_plain
#define CASE_with_leading(ret, name, params) \
    cases.push_back(CASE_FROM_LIST(ret, name, params, 99, a...));
#define CASE_aculab_timed_leading CASE_with_leading
#define CASE_by_hand(ret, name, params)
#define CASE_none(ret, name, params)

std::vector<OperationCase> CasesFromLists() {
    std::vector<OperationCase> cases;
#define VENDOR_FUNCTION(ret, name, params, args) \
    FACADE_CAT(CASE_, FACADE_FORM_OF(name, CASE_DEFAULT_FORM))(ret, name, params)
#define VENDOR_FUNCTION_SILENT(ret, name, params, args) VENDOR_FUNCTION(ret, name, params, args)
#define VENDOR_TWIN(ret, name, copy, params, args)
#define VENDOR_PAIR(ret, newer, older, params, args)
#define VENDOR_MINIMAL_SET_END()
#define CASE_DEFAULT_FORM plain
#include "telephony/vendorapi/libdtimt_functions.inc"
#include "telephony/vendorapi/libdxxmt_functions.inc"
#include "telephony/vendorapi/libecmt_functions.inc"
#include "telephony/vendorapi/libsrlmt_functions.inc"
#undef CASE_DEFAULT_FORM
#define CASE_DEFAULT_FORM gc_guarded
#include "telephony/vendorapi/libgc_functions.inc"
#include "telephony/vendorapi/libipm_functions.inc"
#undef CASE_DEFAULT_FORM
#define CASE_DEFAULT_FORM ncm
#include "telephony/vendorapi/ncmapi_functions.inc"
#undef CASE_DEFAULT_FORM
#define CASE_DEFAULT_FORM present_table
#include "telephony/vendorapi/xdslibsc_functions.inc"
#undef CASE_DEFAULT_FORM
#include "telephony/vendor_table_end.h"
    return cases;
}

std::vector<OperationCase> AculabCasesFromLists() {
    std::vector<OperationCase> cases;
#define VENDOR_FUNCTION(ret, name, params, args) \
    FACADE_CAT(CASE_, FACADE_FORM_OF(name, CASE_DEFAULT_FORM))(ret, name, params)
#define VENDOR_FUNCTION_SILENT(ret, name, params, args) VENDOR_FUNCTION(ret, name, params, args)
#define VENDOR_TWIN(ret, name, copy, params, args)
#define VENDOR_PAIR(ret, newer, older, params, args)
#define VENDOR_MINIMAL_SET_END()
#define CASE_DEFAULT_FORM aculab_timed
#include "telephony/vendorapi/cl_lib_functions.inc"
#undef CASE_DEFAULT_FORM
#define CASE_DEFAULT_FORM plain
#include "telephony/vendorapi/iptel_lib_functions.inc"
#include "telephony/vendorapi/res_lib_functions.inc"
#include "telephony/vendorapi/sw_lib_functions.inc"
#undef CASE_DEFAULT_FORM
#include "telephony/vendor_table_end.h"
#define FACADE_TING(ret, name, member, params, args) \
    cases.push_back(ListCase<ret params>(            \
        #name, [](CHardwareISDN& hw, auto... a) { return hw.name(a...); }, #member));
#include "telephony/facade_ting_operations.inc"
#undef FACADE_TING
    return cases;
}

// --- The operations written by hand ---

LINEDEV g_linedev;
CRN g_crn;
GC_PARM_BLK g_parm_block;
DCHAN_CFG g_dchan_config;
DX_CAP g_cap;
TN_QLT g_template;
MS_CDT g_parties[2];
int32_t g_conf_id;
NCMVALUE g_ncm_value;
char g_address[32];
char g_event[8];

OperationCase HandCase(const char* name, std::function<int64_t(CHardwareISDN&)> call,
                       std::string vendor_call, int64_t vendor_result) {
    OperationCase c;
    c.name = name;
    c.call = std::move(call);
    c.vendor_call = std::move(vendor_call);
    c.vendor_result = vendor_result;
    return c;
}

// The length of the text a recording stub's text function answers with, once converted.
int64_t TextAnswerSize(const std::string& name) {
    return static_cast<int64_t>(platform::Cp1252ToUtf8(name + "\xE9").size());
}

OperationCase CallPrefix(OperationCase c) {
    c.vendor_call_prefix_only = true;
    return c;
}

OperationCase DoneLine(OperationCase c, std::string line) {
    c.done_line = std::move(line);
    return c;
}

std::vector<OperationCase> HandWrittenCases() {
    using H = CHardwareISDN;
    const auto restarting = Refusal::kWhileRestarting;
    const auto global_call = Refusal::kWithoutGlobalCall;
    return {
        // ISDN call control.
        HandCase(
            "cc_SetChanState", [](H& hw) { return hw.cc_SetChanState(kLdev, 11, 2, 3, 4, 5); },
            CallText("cc_SetChanState", LINEDEV{11}, int32_t{2}, int32_t{3}),
            StubNumber("cc_SetChanState")),
        HandCase(
            "cc_Open", [](H& hw) { return hw.cc_Open(kLdev, &g_linedev, "dtiB1T1", 9); },
            CallText("cc_Open", &g_linedev, Text("dtiB1T1"), int32_t{9}), StubNumber("cc_Open")),
        Refused(HandCase(
                    "cc_GetCRN", [](H& hw) { return hw.cc_GetCRN(kLdev, &g_crn, g_event); },
                    CallText("cc_GetCRN", &g_crn, static_cast<void*>(g_event)),
                    StubNumber("cc_GetCRN")),
                restarting, 1, kLdev),
        // Line device 0 is never marked, so this case leaves the marks alone.
        HandCase(
            "cc_Restart", [](H& hw) { return hw.cc_Restart(0, 11, 1); },
            CallText("cc_Restart", LINEDEV{11}, uint32_t{1}), StubNumber("cc_Restart")),
        Refused(
            HandCase(
                "cc_CallProgress", [](H& hw) { return hw.cc_CallProgress(kLdev, 21, 50, 99); },
                CallText("cc_CallProgress", CRN{21}, int32_t{50}), StubNumber("cc_CallProgress")),
            restarting, 1, kLdev),
        Refused(HandCase(
                    "cc_CallAck", [](H& hw) { return hw.cc_CallAck(kLdev, 21, 1); },
                    CallText("cc_CallAck", CRN{21}, static_cast<void*>(nullptr), int32_t{1}),
                    StubNumber("cc_CallAck")),
                restarting, 1, kLdev),

        // Global Call.
        Refused(HandCase(
                    "gc_OpenEx",
                    [](H& hw) { return hw.gc_OpenEx(kLdev, &g_linedev, "dxxxB1C1", 0, g_event); },
                    CallText("gc_OpenEx", &g_linedev, Text("dxxxB1C1"), int32_t{0x8000},
                             static_cast<void*>(g_event)),
                    StubNumber("gc_OpenEx")),
                global_call, 1, kLdev),
        Refused(DoneLine(HandCase(
                             "gc_Stop", [](H& hw) { return hw.gc_Stop(); }, "gc_Stop()",
                             StubNumber("gc_Stop")),
                         "GLOBALCALL stopped"),
                global_call, 0, 0),
        Refused(HandCase(
                    "gc_SetDChanCfg", [](H& hw) { return hw.gc_SetDChanCfg(11, &g_dchan_config); },
                    CallText("cc_SetDChanCfg", LINEDEV{11}, &g_dchan_config),
                    StubNumber("cc_SetDChanCfg")),
                global_call, 0, 0),
        HandCase(
            "gc_util_delete_parm_blk",
            [](H& hw) {
                GC_PARM_BLKP block = &g_parm_block;
                hw.gc_util_delete_parm_blk(&block);
                return block == nullptr ? 0 : 1;
            },
            CallText("gc_util_delete_parm_blk", &g_parm_block), 0),
        Refused(HandCase(
                    "gc_SetAlarmNotifyAll", [](H& hw) { return hw.gc_SetAlarmNotifyAll(11, 1, 5); },
                    CallText("gc_SetAlarmNotifyAll", LINEDEV{0}, uint32_t{1}, int32_t{5}),
                    StubNumber("gc_SetAlarmNotifyAll")),
                global_call, 0, 0),
        Refused(HandCase(
                    "gc_SetAlarmNotifyAll", [](H& hw) { return hw.gc_SetAlarmNotifyAll(11, 2, 5); },
                    CallText("gc_SetAlarmNotifyAll", LINEDEV{11}, uint32_t{2}, int32_t{5}),
                    StubNumber("gc_SetAlarmNotifyAll")),
                global_call, 0, 0),

        // Events: the argument-less readers reach the same export as the others.
        CallPrefix(HandCase(
            "sr_getevtdev", [](H& hw) { return hw.sr_getevtdev(); }, "sr_getevtdev(",
            StubNumber("sr_getevtdev"))),
        HandCase(
            "sr_getevtdev", [](H& hw) { return hw.sr_getevtdev(5); }, "sr_getevtdev(5)",
            StubNumber("sr_getevtdev")),
        CallPrefix(HandCase(
            "sr_getevttype", [](H& hw) { return hw.sr_getevttype(); }, "sr_getevttype(",
            StubNumber("sr_getevttype"))),
        HandCase(
            "sr_getevttype", [](H& hw) { return hw.sr_getevttype(5); }, "sr_getevttype(5)",
            StubNumber("sr_getevttype")),
        CallPrefix(HandCase(
            "sr_getevtdatap", [](H& hw) { return AsNumber(hw.sr_getevtdatap()); },
            "sr_getevtdatap(", 0)),
        HandCase(
            "sr_getevtdatap", [](H& hw) { return AsNumber(hw.sr_getevtdatap(5)); },
            "sr_getevtdatap(5)", 0),
        HandCase(
            "ATDV_NAMEP", [](H& hw) { return static_cast<int64_t>(hw.ATDV_NAMEP(5).size()); },
            "ATDV_NAMEP(5)", TextAnswerSize("ATDV_NAMEP")),
        HandCase(
            "ATDV_ERRMSGP", [](H& hw) { return static_cast<int64_t>(hw.ATDV_ERRMSGP(5).size()); },
            "ATDV_ERRMSGP(5)", TextAnswerSize("ATDV_ERRMSGP")),

        // Voice.
        WithoutLibrary(
            HandCase(
                "dx_open", [](H& hw) { return hw.dx_open(kLdev, "dxxxB1C1", 5); },
                CallText("dx_open", Text("dxxxB1C1"), int32_t{0}), StubNumber("dx_open")),
            -1),
        HandCase(
            "dx_distone", [](H& hw) { return hw.dx_distone(5, 1, 2); }, "dx_distone(5, 1, 2)",
            StubNumber("dx_distone")),
        HandCase(
            "dx_enbtone", [](H& hw) { return hw.dx_enbtone(5, 1, 2); }, "dx_enbtone(5, 1, 2)",
            StubNumber("dx_enbtone")),
        HandCase(
            "dx_blddtcad",
            [](H& hw) { return hw.dx_blddtcad(1, 2, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19); },
            "dx_blddtcad(10, 11, 12, 13, 14, 15, 16, 17, 18, 19)", StubNumber("dx_blddtcad")),
        HandCase(
            "dx_blddt", [](H& hw) { return hw.dx_blddt(1, 2, 10, 11, 12, 13, 14, 15); },
            "dx_blddt(10, 11, 12, 13, 14, 15)", StubNumber("dx_blddt")),
        HandCase(
            "dx_bldstcad",
            [](H& hw) { return hw.dx_bldstcad(1, 2, 10, 11, 12, 13, 14, 15, 16, 17); },
            "dx_bldstcad(10, 11, 12, 13, 14, 15, 16, 17)", StubNumber("dx_bldstcad")),
        HandCase(
            "dx_bldst", [](H& hw) { return hw.dx_bldst(1, 2, 10, 11, 12, 13); },
            "dx_bldst(10, 11, 12, 13)", StubNumber("dx_bldst")),
        HandCase(
            "dx_fileclose", [](H& hw) { return hw.dx_fileclose(9, 4); }, "dx_fileclose(9)",
            StubNumber("dx_fileclose")),
        HandCase(
            "dx_dial", [](H& hw) { return hw.dx_dial(5, "123,,9", &g_cap, 0); },
            CallText("dx_dial", int32_t{5}, Text("123,,9"), &g_cap, uint16_t{0}),
            StubNumber("dx_dial")),
        HandCase(
            "dx_getextqualtmplate",
            [](H& hw) { return hw.dx_getextqualtmplate(5, 3, &g_template); },
            CallText("dx_getextqualtmplate", int32_t{5}, uint16_t{3}, uint32_t{32}, &g_template),
            StubNumber("dx_getextqualtmplate")),
        HandCase(
            "dx_setextqualtmplate",
            [](H& hw) { return hw.dx_setextqualtmplate(5, 3, &g_template); },
            CallText("dx_setextqualtmplate", int32_t{5}, uint16_t{3}, uint32_t{32}, &g_template),
            StubNumber("dx_setextqualtmplate")),

        // Network interfaces, stations and conference boards.
        WithoutLibrary(HandCase(
                           "dt_open", [](H& hw) { return hw.dt_open(kLdev, "dtiB1T1", 9); },
                           CallText("dt_open", Text("dtiB1T1"), int32_t{0}), StubNumber("dt_open")),
                       -1),
        WithoutLibrary(HandCase(
                           "ms_open", [](H& hw) { return hw.ms_open(kLdev, "msiB1", 3); },
                           CallText("ms_open", Text("msiB1"), int32_t{3}), StubNumber("ms_open")),
                       -1),
        HandCase(
            "ms_estconf",
            [](H& hw) {
                int32_t board = 4;
                return hw.ms_estconf(&board, g_parties, 2, 0, &g_conf_id);
            },
            CallText("ms_estconf", int32_t{4}, &g_parties[0], int32_t{2}, int32_t{0}, &g_conf_id),
            StubNumber("ms_estconf")),
        HandCase(
            "dcb_estconf",
            [](H& hw) {
                int32_t dcb = 6;
                return hw.dcb_estconf(&dcb, g_parties, 2, 0, &g_conf_id);
            },
            CallText("dcb_estconf", int32_t{6}, &g_parties[0], int32_t{2}, int32_t{0}, &g_conf_id),
            StubNumber("dcb_estconf")),

        // Configuration manager.
        WithoutLibrary(HandCase(
                           "NCM_GetDefaultIPAddress",
                           [](H& hw) {
                               return hw.NCM_GetDefaultIPAddress(&g_ncm_value, &g_ncm_value,
                                                                 &g_ncm_value, g_address);
                           },
                           CallText("NCM_GetDefaultIPAddress", &g_ncm_value, &g_ncm_value,
                                    &g_ncm_value, static_cast<char*>(g_address)),
                           StubNumber("NCM_GetDefaultIPAddress")),
                       -1, "Function CHardwareISDN::NCM_GetDefaultIPAddress not loaded."),
    };
}

std::vector<OperationCase> AculabHandWrittenCases() {
    using H = CHardwareISDN;
    return {
        HandCase(
            "call_open_port",
            [](H& hw) {
                return hw.call_open_port(reinterpret_cast<CALL_OPEN_PORT_PARMS*>(g_event), 1, 2);
            },
            CallText("call_open_port", reinterpret_cast<CALL_OPEN_PORT_PARMS*>(g_event)),
            StubNumber("call_open_port")),
        HandCase(
            "call_open_iptel_port",
            [](H& hw) {
                return hw.call_open_iptel_port(
                    reinterpret_cast<CALL_OPEN_IPTEL_PORT_PARMS*>(g_event), 1);
            },
            CallText("call_open_iptel_port",
                     reinterpret_cast<CALL_OPEN_IPTEL_PORT_PARMS*>(g_event)),
            StubNumber("call_open_iptel_port")),
        HandCase(
            "acu_get_system_notification",
            [](H& hw) {
                return hw.acu_get_system_notification(
                    reinterpret_cast<ACU_SYSTEM_NOTIFICATION_PARMS*>(g_event), 1);
            },
            CallText("acu_get_system_notification",
                     reinterpret_cast<ACU_SYSTEM_NOTIFICATION_PARMS*>(g_event)),
            StubNumber("acu_get_system_notification")),
        HandCase(
            "sm_get_card_info",
            [](H& hw) {
                return hw.sm_get_card_info(reinterpret_cast<SM_CARD_INFO_PARMS*>(g_event));
            },
            CallText("sm_get_card_info_iPsCAte1_8_iiUiUiUicr16_",
                     reinterpret_cast<SM_CARD_INFO_PARMS*>(g_event)),
            StubNumber("sm_get_card_info_iPsCAte1_8_iiUiUiUicr16_")),
        HandCase(
            "sm_condition_adjust",
            [](H& hw) {
                return hw.sm_condition_adjust(
                    reinterpret_cast<SM_CONDITION_ADJUST_PARMS*>(g_event));
            },
            CallText("sm_condition_adjust_iPsCte1_4_i_",
                     reinterpret_cast<SM_CONDITION_ADJUST_PARMS*>(g_event)),
            StubNumber("sm_condition_adjust_iPsCte1_4_i_")),
    };
}

// Operations whose work is more than one call; each has tests of its own (below, or with the
// Intel IP board list they reach: intel_boards_test.cpp).
// The record-file operations and the recording into them: record_files_test.cpp.
// The routing of two devices over the TDM bus: tdm_routing_test.cpp.
// The reading of an Amtelco board's next message: amtelco_event_test.cpp.
// The RTP streams of voice channels: rtp_streams_test.cpp.
const std::set<std::string> kTestedSeparately = {
    "GetAmtelcoEvent",  "IsValidHandle",  "ms_DeleteAllConferences", "InitGlobalCall",
    "HasIntelIPBoards", "SipRegister",    "SipUnregisterAll",        "rec_fileopen",
    "rec_fileseek",     "rec_fileclose",  "dx_reciottdata",          "nr_scroute",
    "nr_scunroute",     "StartRTPStream", "StopRTPStream",           "RemoveRTPStream",
    "ReserveVMP",       "DestroyVMP"};

std::vector<OperationCase> AllCases() {
    std::vector<OperationCase> cases = CasesFromLists();
    for (OperationCase& c : HandWrittenCases())
        cases.push_back(std::move(c));
    return cases;
}

std::vector<OperationCase> AculabCases() {
    std::vector<OperationCase> cases = AculabCasesFromLists();
    for (OperationCase& c : AculabHandWrittenCases())
        cases.push_back(std::move(c));
    return cases;
}

// Every operation of the facade, by name.
std::set<std::string> FacadeOperations() {
    std::set<std::string> names;
#define NAME_OF(ret, name, params) names.insert(#name);
#define NAME_plain NAME_OF
#define NAME_with_ldev NAME_OF
#define NAME_restart_guarded NAME_OF
#define NAME_gc_guarded NAME_OF
#define NAME_gc_guarded_ldev NAME_OF
#define NAME_gc_guarded_info NAME_OF
#define NAME_loaded_table NAME_OF
#define NAME_present_table NAME_OF
#define NAME_ncm NAME_OF
#define NAME_aculab_timed NAME_OF
#define NAME_aculab_timed_leading NAME_OF
#define NAME_with_leading NAME_OF
#define NAME_by_hand(ret, name, params)
#define NAME_none(ret, name, params)
#define VENDOR_FUNCTION(ret, name, params, args) \
    FACADE_CAT(NAME_, FACADE_FORM_OF(name, NAME_DEFAULT_FORM))(ret, name, params)
#define VENDOR_FUNCTION_SILENT(ret, name, params, args) VENDOR_FUNCTION(ret, name, params, args)
#define VENDOR_TWIN(ret, name, copy, params, args)
#define VENDOR_PAIR(ret, newer, older, params, args)
#define VENDOR_MINIMAL_SET_END()
#define NAME_DEFAULT_FORM plain
#include "telephony/vendorapi/libdtimt_functions.inc"
#include "telephony/vendorapi/libdxxmt_functions.inc"
#include "telephony/vendorapi/libecmt_functions.inc"
#include "telephony/vendorapi/libsrlmt_functions.inc"
#undef NAME_DEFAULT_FORM
#define NAME_DEFAULT_FORM gc_guarded
#include "telephony/vendorapi/libgc_functions.inc"
#include "telephony/vendorapi/libipm_functions.inc"
#undef NAME_DEFAULT_FORM
#define NAME_DEFAULT_FORM ncm
#include "telephony/vendorapi/ncmapi_functions.inc"
#undef NAME_DEFAULT_FORM
#define NAME_DEFAULT_FORM present_table
#include "telephony/vendorapi/xdslibsc_functions.inc"
#undef NAME_DEFAULT_FORM
#define NAME_DEFAULT_FORM aculab_timed
#include "telephony/vendorapi/cl_lib_functions.inc"
#undef NAME_DEFAULT_FORM
#define NAME_DEFAULT_FORM plain
#include "telephony/vendorapi/iptel_lib_functions.inc"
#include "telephony/vendorapi/res_lib_functions.inc"
#include "telephony/vendorapi/sw_lib_functions.inc"
#undef NAME_DEFAULT_FORM
#include "telephony/vendor_table_end.h"
#define FACADE_HAND(ret, name, params) names.insert(#name);
#include "telephony/facade_hand_written.inc"
#undef FACADE_HAND
#define FACADE_TING(ret, name, member, params, args) names.insert(#name);
#include "telephony/facade_ting_operations.inc"
#undef FACADE_TING
    return names;
}

// What each family does, written down apart from the facade's forms so that a wrong form is
// caught.
const std::set<std::string> kTakeLeadingLdev = {
    "cc_ResultMsg",     "cc_DropCall",      "cc_AcceptCall",       "cc_AnswerCall",
    "cc_CauseValue",    "cc_Close",         "cc_BlockTs",          "cc_UnBlockTs",
    "cc_SetEvtMsk",     "cc_GetEvtMsk",     "cc_WaitCall",         "cc_GetCallInfo",
    "cc_GetSigInfo",    "cc_GetMoreDigits", "cc_GetDNIS",          "cc_GetANI",
    "cc_GetBChanState", "cc_GetDChanState", "cc_CallState",        "cc_CRN2LineDev",
    "cc_MakeCall",      "cc_ResultValue",   "cc_ReleaseCall",      "cc_ReleaseCallEx",
    "cc_GetInfoElem",   "cc_SndMsg",        "dx_fileopen",         "sr_setparm",
    "gc_SetChanState",  "gc_DropCall",      "gc_AcceptCall",       "gc_AnswerCall",
    "gc_Open",          "gc_Close",         "gc_SetEvtMsk",        "gc_WaitCall",
    "gc_GetCallInfo",   "gc_GetSigInfo",    "gc_CallProgress",     "gc_CallAck",
    "gc_MakeCall",      "gc_ReleaseCall",   "gc_ReleaseCallEx",    "gc_GetInfoElem",
    "gc_SndMsg",        "gc_ResetLineDev",  "gc_AcceptModifyCall", "gc_Extension",
    "gc_SetUserInfo"};
const std::set<std::string> kRestartGuarded = {
    "cc_DropCall",    "cc_AcceptCall",   "cc_AnswerCall",    "cc_GetCRN",
    "cc_WaitCall",    "cc_GetCallInfo",  "cc_GetMoreDigits", "cc_GetDNIS",
    "cc_GetANI",      "cc_CallProgress", "cc_CallAck",       "cc_CallState",
    "cc_CRN2LineDev", "cc_MakeCall",     "cc_ReleaseCall",   "cc_ReleaseCallEx"};
const std::set<std::string> kGlobalCallUnguarded = {"gc_ResultMsg",
                                                    "gc_ErrorValue",
                                                    "gc_ErrorInfo",
                                                    "gc_Start",
                                                    "gc_SetParm",
                                                    "gc_CCLibStatusEx",
                                                    "gc_SetConfigData",
                                                    "gc_util_insert_parm_ref",
                                                    "gc_util_insert_parm_val",
                                                    "gc_util_delete_parm_blk",
                                                    "gc_SetUserInfo",
                                                    "gc_GetUserInfo",
                                                    "gc_util_next_parm_ex"};
const std::set<std::string> kGlobalCallRefusedOnTheDevice = {
    "gc_SetChanState", "gc_DropCall",    "gc_AcceptCall",   "gc_AnswerCall",
    "gc_Open",         "gc_OpenEx",      "gc_Close",        "gc_SetEvtMsk",
    "gc_WaitCall",     "gc_GetCallInfo", "gc_GetSigInfo",   "gc_CallProgress",
    "gc_CallAck",      "gc_MakeCall",    "gc_ReleaseCall",  "gc_ReleaseCallEx",
    "gc_GetInfoElem",  "gc_SndMsg",      "gc_ResetLineDev", "gc_AcceptModifyCall"};
const std::set<std::string> kMinusOneWithoutLibrary = {"dx_open",
                                                       "dx_close",
                                                       "dx_getfeaturelist",
                                                       "dt_open",
                                                       "dt_close",
                                                       "ms_open",
                                                       "ms_close",
                                                       "ATDV_SUBDEVS",
                                                       "NCM_GetDlgSrvStateEx",
                                                       "NCM_GetTDMBusValue",
                                                       "NCM_Dealloc",
                                                       "NCM_StartDlgSrv",
                                                       "NCM_GetInstalledFamilies",
                                                       "NCM_GetInstalledDevices",
                                                       "NCM_GetDefaultIPAddress",
                                                       "xds_mc3_connect",
                                                       "xds_xmt_timeslot",
                                                       "xds_id",
                                                       "xds_msg_on",
                                                       "xds_msg_receive",
                                                       "xds_msg_send",
                                                       "xds_mc3_ring_mode",
                                                       "xds_board_reset",
                                                       "xds_set_ctbus_rate",
                                                       "xds_set_encoding",
                                                       "xds_set_ct_clock_mode"};

bool IsGlobalCallFamily(const std::string& name) {
    return name.rfind("gc_", 0) == 0 || name.rfind("ipm_", 0) == 0;
}

class HardwareResultsTest : public FacadeTest {
protected:
    enum class State { kGlobalCallStarted, kGlobalCallNotStarted, kRestarting, kNoLibraries };

    // Runs every case against one facade in `state` and checks what each one did.
    void RunAll(State state) {
        if (state != State::kNoLibraries)
            InstallRecordingDialogic();
        TestFacade hardware;
        if (state != State::kNoLibraries) {
            ASSERT_TRUE(hardware.IsIntelAvailable());
        }
        TakeCalls();
        for (const OperationCase& c : AllCases()) {
            SCOPED_TRACE(c.name + " -> " + c.vendor_call);
            hardware.SetGlobalCallInitialised(state != State::kGlobalCallNotStarted);
            if (state == State::kRestarting)
                SetRestartMark(kLdev);
            ForgetLines();

            const int64_t result = c.call(hardware);
            const std::vector<std::string> calls = TakeCalls();
            const std::vector<LoggedLine> lines = NewLines();
            ClearRestartMark(kLdev);

            const bool refused =
                (state == State::kRestarting && c.refusal == Refusal::kWhileRestarting) ||
                (state == State::kGlobalCallNotStarted && c.refusal == Refusal::kWithoutGlobalCall);
            if (refused) {
                const char* line_format = c.refusal == Refusal::kWhileRestarting
                                              ? "*** %s ignored during cc_restart"
                                              : "GLOBALCALL NOT initialised";
                EXPECT_EQ(result, -1);
                EXPECT_THAT(calls, IsEmpty());
                ASSERT_THAT(lines, SizeIs(1));
                EXPECT_EQ(lines[0].text, platform::Format(line_format, c.name.c_str()));
                EXPECT_EQ(lines[0].kind, c.refusal_kind);
                EXPECT_EQ(lines[0].device, c.refusal_device);
                continue;
            }

            std::vector<std::string> expected_lines;
            if (state == State::kNoLibraries) {
                EXPECT_EQ(result, c.result_without_library);
                EXPECT_THAT(calls, IsEmpty());
                if (!c.without_library_line.empty())
                    expected_lines.push_back(c.without_library_line);
            } else {
                EXPECT_EQ(result, c.vendor_result);
                ASSERT_THAT(calls, SizeIs(1));
                if (c.vendor_call_prefix_only) {
                    EXPECT_THAT(calls[0], StartsWith(c.vendor_call));
                } else {
                    EXPECT_EQ(calls[0], c.vendor_call);
                }
            }
            if (!c.done_line.empty())
                expected_lines.push_back(c.done_line);
            EXPECT_EQ(NewTexts(), expected_lines);
        }
    }
};

TEST_F(HardwareResultsTest, AculabOperationsForwardOnceThePathIsOn) {
    InstallRecordingDialogic();
    InstallRecordingAculab();
    TestFacade hardware(CHardware::AculabPath::kSwitchedOnForTests);
    ASSERT_TRUE(hardware.IsAculabAvailable());
    TakeCalls();
    for (const OperationCase& c : AculabCases()) {
        SCOPED_TRACE(c.name + " -> " + c.vendor_call);
        ForgetLines();
        EXPECT_EQ(c.call(hardware), c.vendor_result);
        EXPECT_THAT(TakeCalls(), ElementsAre(c.vendor_call));
        EXPECT_THAT(NewTexts(), IsEmpty());
    }
}

TEST_F(HardwareResultsTest, AculabOperationsAnswerZeroInTheNode) {
    InstallRecordingDialogic();
    InstallRecordingAculab();
    TestFacade hardware;
    TakeCalls();
    ForgetLines();
    for (const OperationCase& c : AculabCases()) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.call(hardware), 0);
    }
    EXPECT_THAT(TakeCalls(), IsEmpty());
    EXPECT_THAT(NewTexts(), IsEmpty());
}

TEST_F(HardwareResultsTest, EveryOperationHasACase) {
    std::set<std::string> covered = kTestedSeparately;
    for (const OperationCase& c : AllCases())
        covered.insert(c.name);
    for (const OperationCase& c : AculabCases())
        covered.insert(c.name);
    EXPECT_EQ(covered, FacadeOperations());
    // One operation per vendor call. The Dialogic and Amtelco lists name 251 functions, three
    // of which only the tables call (dx_setuio, gc_util_next_parm, xds_query_receive), and three
    // operations have no function of their own (gc_SetDChanCfg, ms_DeleteAllConferences,
    // IsValidHandle), and Global Call's start-up is one more. The Aculab call, resource,
    // switch and IP telephony lists name 79 functions, seven of which have no operation; the
    // media library has 55 operations. Three operations reach the Intel IP board list, three
    // work on record files through the C run time, two route over the TDM bus, one reads an
    // Amtelco board's next message, three reach the RTP streams of the voice channels and two
    // the VMP contexts of the Aculab IP channels.
    EXPECT_THAT(FacadeOperations(), SizeIs(251 + 1 + 72 + 55 + 3 + 3 + 2 + 1 + 3 + 2));
}

TEST_F(HardwareResultsTest, EachFamilyRefusesWhereItShould) {
    std::set<std::string> made_from_lists;
    for (const OperationCase& c : CasesFromLists()) {
        made_from_lists.insert(c.name);
        EXPECT_EQ(c.leading_ldev, kTakeLeadingLdev.count(c.name) == 1) << c.name;
    }
    for (const OperationCase& c : AllCases()) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.result_without_library, kMinusOneWithoutLibrary.count(c.name) == 1 ? -1 : 0);
        if (kRestartGuarded.count(c.name) == 1) {
            EXPECT_EQ(c.refusal, Refusal::kWhileRestarting);
            EXPECT_EQ(c.refusal_kind, 1);
            EXPECT_EQ(c.refusal_device, kLdev);
        } else if (IsGlobalCallFamily(c.name) && kGlobalCallUnguarded.count(c.name) == 0) {
            EXPECT_EQ(c.refusal, Refusal::kWithoutGlobalCall);
            const bool on_device = kGlobalCallRefusedOnTheDevice.count(c.name) == 1;
            const bool info = c.name == "gc_Extension";
            EXPECT_EQ(c.refusal_kind, on_device ? 1 : info ? 6 : 0);
            EXPECT_EQ(c.refusal_device, on_device || info ? kLdev : 0);
        } else {
            EXPECT_EQ(c.refusal, Refusal::kNone);
        }
    }
    // Every leading-device operation from the lists is one.
    for (const std::string& name : kTakeLeadingLdev) {
        if (name != "gc_OpenEx") {
            EXPECT_EQ(made_from_lists.count(name), 1u) << name;
        }
    }
}

TEST_F(HardwareResultsTest, EveryOperationForwardsToTheVendorAndReturnsItsResult) {
    RunAll(State::kGlobalCallStarted);
}

TEST_F(HardwareResultsTest, GlobalCallOperationsRefuseUntilGlobalCallIsStarted) {
    RunAll(State::kGlobalCallNotStarted);
}

TEST_F(HardwareResultsTest, CallOperationsRefuseWhileTheirLineDeviceRestarts) {
    RunAll(State::kRestarting);
}

TEST_F(HardwareResultsTest, WithoutTheLibrariesOperationsReturnZeroOrTheirFamilysRefusal) {
    RunAll(State::kNoLibraries);
    EXPECT_THAT(BoxTexts(), ElementsAre("Could not load libgc.dll", "Error 30"));
}

}  // namespace
}  // namespace ruzd::telephony
