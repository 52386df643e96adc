#include "boardsim/core/behaviours.h"
#include "boardsim/core/machine.h"
#include "boardsim/core/voice_files.h"

namespace ruzd::boardsim {
namespace {

// A handle the library did not open is left alone: the function gives its configured result.
template <typename Function>
int32_t OnOwnHandle(const char* name, int32_t handle, Function function) {
    if (!IsVoiceFileHandle(handle))
        return static_cast<int32_t>(DefaultResult(name));
    return function();
}

}  // namespace

int32_t Behaviour<tags::dx_fileopen>::Run(const char* path, int32_t flags, int32_t pmode) {
    return VoiceFileOpen(path, flags, pmode);
}

int32_t Behaviour<tags::dx_fileseek>::Run(int32_t handle, int32_t offset, int32_t origin) {
    return OnOwnHandle("dx_fileseek", handle,
                       [&] { return VoiceFileSeek(handle, offset, origin); });
}

int32_t Behaviour<tags::dx_fileclose>::Run(int32_t handle) {
    return OnOwnHandle("dx_fileclose", handle, [&] { return VoiceFileClose(handle); });
}

int32_t Behaviour<tags::dx_fileread>::Run(int32_t handle, void* buffer, uint32_t count) {
    return OnOwnHandle("dx_fileread", handle, [&] { return VoiceFileRead(handle, buffer, count); });
}

int32_t Behaviour<tags::dx_filewrite>::Run(int32_t handle, const void* buffer, uint32_t count) {
    return OnOwnHandle("dx_filewrite", handle,
                       [&] { return VoiceFileWrite(handle, buffer, count); });
}

int32_t Behaviour<tags::dx_fileerrno>::Run() {
    return VoiceFileErrno();
}

int32_t Behaviour<tags::dx_setuio>::Run(DX_UIO uio) {
    Machine::Get().recordings().SetUserIo(uio);
    return 0;
}

// A recording needs an open voice channel and a transfer list; the voice comes later, from
// the control socket (`record`).
int32_t Behaviour<tags::dx_reciottdata>::Run(int32_t dev, DX_IOTT* iott, DV_TPT* /*tpt*/,
                                             DX_XPB* /*xpb*/, uint16_t /*mode*/) {
    const std::optional<DeviceInfo> device = Machine::Get().devices().Find(dev);
    if (!device || !device->open || device->family != DeviceFamily::kVoice ||
        device->subdevices != 0 || iott == nullptr) {
        return -1;
    }
    Machine::Get().recordings().Start(dev, iott);
    return 0;
}

}  // namespace ruzd::boardsim
