// The facade operations of the voice library: analog line (ag_), voice (dx_) and voice
// attributes (ATDX_).

#include "platform/text.h"
#include "telephony/hardware_isdn.h"
#include "telephony/vendor_call.h"
#include "telephony/vendor_log.h"

namespace ruzd::telephony {

#define FACADE_TABLE voice_.get()
#define FACADE_TABLE_CLASS CLibDXXMT
#define FACADE_DEFAULT_FORM plain
#define FACADE_LIST "telephony/vendorapi/libdxxmt_functions.inc"
#include "telephony/facade_definitions.inc"

namespace {

// The size of a tone qualification template, which the vendor wants told although it is fixed.
constexpr uint32_t kToneTemplateSize = 32;
static_assert(sizeof(TN_QLT) == kToneTemplateSize);

}  // namespace

int32_t CHardwareISDN::dx_open(int32_t /*ldev*/, const char* name, int32_t /*oflags*/) {
    if (voice_ == nullptr || !voice_->IsLoaded())
        return -1;
    return VendorCall(voice_.get(), &CLibDXXMT::dx_open, name, 0);
}

// Device 0 is never a voice channel: the vendor would take it for the board.
int32_t CHardwareISDN::dx_distone(int32_t dev, int32_t tone_id, int32_t event_mask) {
    if (dev == 0) {
        VendorTrace(1, 0, "Error dx_distone, device=0!");
        return -1;
    }
    return VendorCall(voice_.get(), &CLibDXXMT::dx_distone, dev, tone_id, event_mask);
}

int32_t CHardwareISDN::dx_enbtone(int32_t dev, int32_t tone_id, int32_t event_mask) {
    if (dev == 0) {
        VendorTrace(1, 0, "Error dx_enbtone, device=0!");
        return -1;
    }
    return VendorCall(voice_.get(), &CLibDXXMT::dx_enbtone, dev, tone_id, event_mask);
}

int32_t CHardwareISDN::dx_blddtcad(int32_t /*unused1*/, int32_t /*unused2*/, uint32_t tone_id,
                                   uint32_t freq1, uint32_t freq1_dev, uint32_t freq2,
                                   uint32_t freq2_dev, uint32_t on_time, uint32_t on_dev,
                                   uint32_t off_time, uint32_t off_dev, uint32_t repeat) {
    return VendorCall(voice_.get(), &CLibDXXMT::dx_blddtcad, tone_id, freq1, freq1_dev, freq2,
                      freq2_dev, on_time, on_dev, off_time, off_dev, repeat);
}

int32_t CHardwareISDN::dx_blddt(int32_t /*unused1*/, int32_t /*unused2*/, uint32_t tone_id,
                                uint32_t freq1, uint32_t freq1_dev, uint32_t freq2,
                                uint32_t freq2_dev, uint32_t mode) {
    return VendorCall(voice_.get(), &CLibDXXMT::dx_blddt, tone_id, freq1, freq1_dev, freq2,
                      freq2_dev, mode);
}

int32_t CHardwareISDN::dx_bldstcad(int32_t /*unused1*/, int32_t /*unused2*/, uint32_t tone_id,
                                   uint32_t freq, uint32_t freq_dev, uint32_t on_time,
                                   uint32_t on_dev, uint32_t off_time, uint32_t off_dev,
                                   uint32_t repeat) {
    return VendorCall(voice_.get(), &CLibDXXMT::dx_bldstcad, tone_id, freq, freq_dev, on_time,
                      on_dev, off_time, off_dev, repeat);
}

int32_t CHardwareISDN::dx_bldst(int32_t /*unused1*/, int32_t /*unused2*/, uint32_t tone_id,
                                uint32_t freq, uint32_t freq_dev, uint32_t mode) {
    return VendorCall(voice_.get(), &CLibDXXMT::dx_bldst, tone_id, freq, freq_dev, mode);
}

int32_t CHardwareISDN::dx_fileclose(int32_t handle, int32_t /*unused*/) {
    return VendorCall(voice_.get(), &CLibDXXMT::dx_fileclose, handle);
}

// The vendor dials narrow text; the caller's text is left as it is.
int32_t CHardwareISDN::dx_dial(int32_t dev, const std::string& dial, DX_CAP* cap, uint16_t mode) {
    const std::string narrow = platform::Utf8ToCp1252(dial);
    return VendorCall(voice_.get(), &CLibDXXMT::dx_dial, dev, narrow.c_str(), cap, mode);
}

int32_t CHardwareISDN::dx_getextqualtmplate(int32_t dev, uint16_t template_id,
                                            TN_QLT* qualification) {
    return VendorCall(voice_.get(), &CLibDXXMT::dx_getextqualtmplate, dev, template_id,
                      kToneTemplateSize, qualification);
}

int32_t CHardwareISDN::dx_setextqualtmplate(int32_t dev, uint16_t template_id,
                                            TN_QLT* qualification) {
    return VendorCall(voice_.get(), &CLibDXXMT::dx_setextqualtmplate, dev, template_id,
                      kToneTemplateSize, qualification);
}

}  // namespace ruzd::telephony
