// The facade operations of the configuration manager (NCM_) and of continuous speech
// processing (ec_).

#include "telephony/hardware_isdn.h"
#include "telephony/vendor_call.h"

namespace ruzd::telephony {

#define FACADE_TABLE configuration_.get()
#define FACADE_TABLE_CLASS CLibNCMAPI
#define FACADE_DEFAULT_FORM ncm
#define FACADE_LIST "telephony/vendorapi/ncmapi_functions.inc"
#include "telephony/facade_definitions.inc"

#define FACADE_TABLE speech_.get()
#define FACADE_TABLE_CLASS CLibECMT
#define FACADE_DEFAULT_FORM plain
#define FACADE_LIST "telephony/vendorapi/libecmt_functions.inc"
#include "telephony/facade_definitions.inc"

// Older configuration managers lack this query without being unusable, so its absence is
// told apart from a failing query.
NCMRetCode CHardwareISDN::NCM_GetDefaultIPAddress(NCMFamily* family, NCMVALUE* model,
                                                  NCMDevice* device, char* address) {
    if (configuration_ == nullptr || configuration_->NCM_GetDefaultIPAddress == nullptr)
        return FunctionNotLoaded("CHardwareISDN::NCM_GetDefaultIPAddress");
    return VendorCall(configuration_.get(), &CLibNCMAPI::NCM_GetDefaultIPAddress, family, model,
                      device, address);
}

}  // namespace ruzd::telephony
