// A loadable module with a version entry point, loaded by the version query's tests. It
// refuses a caller that did not set the size field, and fails on request so that the tests can
// see a negative result.

#include <cstdlib>

#include "foundation/module_version.h"

extern "C" __attribute__((visibility("default"))) int32_t DllGetVersion(
    ruzd::foundation::DllVersionInfo* info) {
    constexpr int32_t kInvalidArgument = static_cast<int32_t>(0x80070057);
    if (info->size != sizeof(*info) || std::getenv("RUZD_VERSION_PROBE_FAIL") != nullptr) {
        return kInvalidArgument;
    }
    info->majorVersion = 6;
    info->minorVersion = 1;
    info->buildNumber = 7601;
    info->platformId = 2;
    return 0;
}
