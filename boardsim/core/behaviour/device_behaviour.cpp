#include <string>
#include <string_view>

#include "boardsim/core/behaviour/call_functions.h"
#include "boardsim/core/behaviours.h"
#include "boardsim/core/machine.h"
#include "boardsim/core/voice_files.h"

namespace ruzd::boardsim {
namespace {

int32_t OpenDevice(const char* name, DeviceFamily family) {
    if (name == nullptr)
        return -1;
    return Machine::Get().devices().Open(name, family);
}

int32_t CloseDevice(int32_t handle) {
    return Machine::Get().devices().Close(handle) ? 0 : -1;
}

// The line device functions answer 0 and hand the handle back through the pointer.
int32_t OpenLineDevice(LINEDEV* linedev, const char* name, DeviceFamily family) {
    if (linedev == nullptr)
        return -1;
    const int32_t handle = OpenDevice(name, family);
    if (handle < 0)
        return -1;
    *linedev = handle;
    return 0;
}

// A line device's calls and wait end with it.
int32_t CloseLineDevice(LINEDEV linedev) {
    const int32_t result = CloseDevice(linedev);
    if (result == 0)
        Machine::Get().calls().CloseLine(linedev);
    return result;
}

// The media device an IP line device's name names after its network part.
void OpenMediaOf(LINEDEV line, const char* name) {
    const std::string_view text(name);
    const size_t media = text.find(":M_");
    if (text.find(":N_") == std::string_view::npos || media == std::string_view::npos)
        return;
    const int32_t handle =
        OpenDevice(std::string(text.substr(media)).c_str(), DeviceFamily::kGlobalCall);
    if (handle >= 0)
        Machine::Get().line_extras().SetMedia(line, handle);
}

bool GlobalCallStarted() {
    if (Machine::Get().globalcall().started())
        return true;
    Report(Flavour::kGlobalCall, CallFault::kNotStarted, 0);
    return false;
}

}  // namespace

int32_t Behaviour<tags::dx_open>::Run(const char* name, int32_t /*oflags*/) {
    return OpenDevice(name, DeviceFamily::kVoice);
}

int32_t Behaviour<tags::dx_close>::Run(int32_t dev) {
    return CloseDevice(dev);
}

int32_t Behaviour<tags::dt_open>::Run(const char* name, int32_t /*oflags*/) {
    return OpenDevice(name, DeviceFamily::kNetwork);
}

int32_t Behaviour<tags::dt_close>::Run(int32_t dev) {
    return CloseDevice(dev);
}

int32_t Behaviour<tags::ms_open>::Run(const char* name, int32_t /*flags*/) {
    return OpenDevice(name, DeviceFamily::kStation);
}

int32_t Behaviour<tags::ms_close>::Run(int32_t dev) {
    return CloseDevice(dev);
}

int32_t Behaviour<tags::dcb_open>::Run(const char* name, int32_t /*oflags*/) {
    return OpenDevice(name, DeviceFamily::kConference);
}

int32_t Behaviour<tags::dcb_close>::Run(int32_t dev) {
    return CloseDevice(dev);
}

int32_t Behaviour<tags::cc_Open>::Run(LINEDEV* linedev, const char* name, int32_t /*rfu*/) {
    return OpenLineDevice(linedev, name, DeviceFamily::kLineDevice);
}

int32_t Behaviour<tags::cc_Close>::Run(LINEDEV linedev) {
    return CloseLineDevice(linedev);
}

int32_t Behaviour<tags::gc_Open>::Run(LINEDEV* linedev, const char* name, int32_t /*rfu*/) {
    if (!GlobalCallStarted())
        return -1;
    return OpenLineDevice(linedev, name, DeviceFamily::kGlobalCall);
}

// The asynchronous open completes with an OPENEX event on the new line device, whose events
// carry the user attribute from then on. An IP line device opens its media device (the name's
// M_ part) beside it, under a handle of its own.
int32_t Behaviour<tags::gc_OpenEx>::Run(LINEDEV* linedev, const char* name, int32_t mode,
                                        void* user_attribute) {
    if (!GlobalCallStarted())
        return -1;
    const int32_t result = OpenLineDevice(linedev, name, DeviceFamily::kGlobalCall);
    if (result != 0)
        return result;
    Machine::Get().calls().SetUserAttribute(*linedev, user_attribute);
    OpenMediaOf(*linedev, name);
    if ((static_cast<uint32_t>(mode) & GC_ASYNC) != 0)
        Machine::Get().events().Put(*linedev, CCEV_OPENEX, {});
    return result;
}

int32_t Behaviour<tags::gc_Close>::Run(LINEDEV linedev) {
    if (!GlobalCallStarted())
        return -1;
    const int32_t result = CloseLineDevice(linedev);
    if (result == 0) {
        if (const std::optional<int32_t> trace = Machine::Get().line_extras().EndTrace(linedev))
            VoiceFileClose(*trace);
        if (const std::optional<int32_t> media = Machine::Get().line_extras().Forget(linedev))
            CloseDevice(*media);
    }
    return result;
}

}  // namespace ruzd::boardsim
