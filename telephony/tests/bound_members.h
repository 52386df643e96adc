#pragma once

// The function-pointer members of every table, by export name, with whether each is bound:
// made from the same function lists as the tables, so a test sees every member.

#include <string>
#include <vector>

#include "telephony/lib_cl_lib.h"
#include "telephony/lib_dtimt.h"
#include "telephony/lib_dxxmt.h"
#include "telephony/lib_ecmt.h"
#include "telephony/lib_gc.h"
#include "telephony/lib_ipm.h"
#include "telephony/lib_iptel_lib.h"
#include "telephony/lib_ncmapi.h"
#include "telephony/lib_res_lib.h"
#include "telephony/lib_srlmt.h"
#include "telephony/lib_sw_lib.h"
#include "telephony/lib_ting.h"
#include "telephony/lib_xds.h"

namespace ruzd::telephony {

struct BoundMember {
    std::string name;  // twins carry their copy number: "sr_getevtdev 0"
    bool bound;
};

#define VENDOR_FUNCTION(ret, name, params, args) members.push_back({#name, table.name != nullptr});
#define VENDOR_FUNCTION_SILENT(ret, name, params, args) VENDOR_FUNCTION(ret, name, params, args)
#define VENDOR_TWIN(ret, name, copy, params, args) \
    members.push_back({#name " " #copy, table.name##_##copy != nullptr});
#define VENDOR_PAIR(ret, newer, older, params, args) \
    VENDOR_FUNCTION(ret, newer, params, args)        \
    VENDOR_FUNCTION(ret, older, params, args)
#define VENDOR_MINIMAL_SET_END()

inline std::vector<BoundMember> Members(const CLibGc& table) {
    std::vector<BoundMember> members;
#include "telephony/vendorapi/libgc_functions.inc"
    return members;
}

inline std::vector<BoundMember> Members(const CLibSRLMT& table) {
    std::vector<BoundMember> members;
#include "telephony/vendorapi/libsrlmt_functions.inc"
    return members;
}

inline std::vector<BoundMember> Members(const CLibDXXMT& table) {
    std::vector<BoundMember> members;
#include "telephony/vendorapi/libdxxmt_functions.inc"
    return members;
}

inline std::vector<BoundMember> Members(const CLibDTIMT& table) {
    std::vector<BoundMember> members;
#include "telephony/vendorapi/libdtimt_functions.inc"
    return members;
}

inline std::vector<BoundMember> Members(const CLibIPM& table) {
    std::vector<BoundMember> members;
#include "telephony/vendorapi/libipm_functions.inc"
    return members;
}

inline std::vector<BoundMember> Members(const CLibECMT& table) {
    std::vector<BoundMember> members;
#include "telephony/vendorapi/libecmt_functions.inc"
    return members;
}

inline std::vector<BoundMember> Members(const CLibNCMAPI& table) {
    std::vector<BoundMember> members;
#include "telephony/vendorapi/ncmapi_functions.inc"
    return members;
}

inline std::vector<BoundMember> Members(const CLibXDS& table) {
    std::vector<BoundMember> members;
#include "telephony/vendorapi/xdslibsc_functions.inc"
    return members;
}

inline std::vector<BoundMember> Members(const CLibCL_Lib& table) {
    std::vector<BoundMember> members;
#include "telephony/vendorapi/cl_lib_functions.inc"
    return members;
}

inline std::vector<BoundMember> Members(const CLibRes_Lib& table) {
    std::vector<BoundMember> members;
#include "telephony/vendorapi/res_lib_functions.inc"
    return members;
}

inline std::vector<BoundMember> Members(const CLibSW_Lib& table) {
    std::vector<BoundMember> members;
#include "telephony/vendorapi/sw_lib_functions.inc"
    return members;
}

inline std::vector<BoundMember> Members(const CLibIpTel_Lib& table) {
    std::vector<BoundMember> members;
#include "telephony/vendorapi/iptel_lib_functions.inc"
    return members;
}

inline std::vector<BoundMember> Members(const CLibTiNG& table) {
    std::vector<BoundMember> members;
#include "telephony/vendorapi/ting_functions.inc"
    return members;
}

#include "telephony/vendor_table_end.h"

}  // namespace ruzd::telephony
