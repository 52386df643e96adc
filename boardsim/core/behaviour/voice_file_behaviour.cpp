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

}  // namespace ruzd::boardsim
