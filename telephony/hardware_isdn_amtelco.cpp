// The facade operations of the Amtelco XDS boards (xds_): each answers -1 without a call
// while the Amtelco library is not in use; and the reading of a board's next message.

#include <cstring>
#include <string_view>

#include "telephony/amtelco_event.h"
#include "telephony/hardware_isdn.h"
#include "telephony/vendor_call.h"
#include "telephony/vendor_log.h"

namespace ruzd::telephony {

#define FACADE_TABLE amtelco_.get()
#define FACADE_TABLE_CLASS CLibXDS
#define FACADE_DEFAULT_FORM present_table
#define FACADE_LIST "telephony/vendorapi/xdslibsc_functions.inc"
#include "telephony/facade_definitions.inc"

namespace {

// The byte of a board message that is always read as '0' (the 32nd character of a text at 13).
constexpr size_t kForcedZeroByte = 44;

// The text of a message: from byte 13, or from 14 when byte 13 is zero; it ends at its
// terminator or at the end of the buffer, whichever comes first.
std::string_view MessageText(const XDS_MSG& message) {
    const auto* bytes = reinterpret_cast<const char*>(&message);
    size_t start = XDS_MSG_TEXT_OFFSET;
    if (bytes[start] == '\0') {
        ++start;
    }
    const void* end = std::memchr(bytes + start, '\0', sizeof(XDS_MSG) - start);
    const size_t length =
        end == nullptr ? sizeof(XDS_MSG) - start
                       : static_cast<size_t>(static_cast<const char*>(end) - (bytes + start));
    return {bytes + start, length};
}

}  // namespace

int32_t CHardwareISDN::GetAmtelcoEvent(uint8_t board, int32_t* event, int32_t* extra,
                                       std::string* text) {
    *event = -1;
    *extra = -1;
    XDS_MSG message{};
    message.board = board;
    if (!amtelco_) {
        return 0;
    }
    if (VendorCall(amtelco_.get(), &CLibXDS::xds_msg_receive, &message) != 0 &&
        VendorCall(amtelco_.get(), &CLibXDS::xds_query_receive, &message) != 0) {
        return 0;
    }
    reinterpret_cast<char*>(&message)[kForcedZeroByte] = '0';
    const std::string_view received = MessageText(message);
    text->assign(received);
    const AmtelcoEvent decoded = DecodeAmtelcoMessage(message.group, message.type, received);
    if (!decoded.known) {
        VendorTrace(0, 0, "Unknown Amtelco Event %d %d %s", message.group, message.type,
                    text->c_str());
    }
    *event = decoded.event;
    *extra = decoded.extra;
    return 1;
}

}  // namespace ruzd::telephony
