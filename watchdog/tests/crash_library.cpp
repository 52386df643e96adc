// A shared library of the crash-dump tests' helper, loaded as the node loads a vendor library;
// built without sanitizers, so that its fault reaches the watchdog.

#include <cstring>

namespace {

__attribute__((noinline)) size_t LengthOfNothing() {
    const char* volatile nothing = nullptr;
    return std::strlen(nothing);
}

}  // namespace

extern "C" __attribute__((noinline)) size_t CrashInsideLibrary() {
    return LengthOfNothing() + 1;
}
