// The facade operations of recording into files: the record files on the C run time and the
// start of a buffered recording.

#include "platform/crt_file.h"
#include "telephony/hardware_isdn.h"
#include "telephony/vendor_call.h"
#include "telephony/voice_file_io.h"

namespace ruzd::telephony {

int32_t CHardwareISDN::rec_fileopen(int32_t /*ldev*/, const std::string& file_name, int32_t flags,
                                    int32_t permission) {
    return platform::CrtOpen(file_name, static_cast<uint32_t>(flags),
                             static_cast<uint32_t>(permission));
}

int32_t CHardwareISDN::rec_fileseek(int32_t file_handle, int32_t offset, int32_t whence) {
    return platform::CrtLseek(file_handle, offset, whence);
}

int32_t CHardwareISDN::rec_fileclose(int32_t file_handle, int32_t /*second*/) {
    return CloseRecordFile(file_handle);
}

int32_t CHardwareISDN::dx_reciottdata(int32_t channel, DX_IOTT* transfer_table,
                                      DV_TPT* terminations, DX_XPB* format, uint32_t mode) {
    RegisterRecordFiles(channel, transfer_table);
    const DX_UIO callbacks{VoiceFileRead, VoiceFileWrite, VoiceFileSeek};
    VendorCall(voice_.get(), &CLibDXXMT::dx_setuio, callbacks);
    return VendorCall(voice_.get(), &CLibDXXMT::dx_reciottdata, channel, transfer_table,
                      terminations, format, static_cast<uint16_t>(mode));
}

}  // namespace ruzd::telephony
