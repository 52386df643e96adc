#include "foundation/display_provider.h"

#include <atomic>

namespace ruzd::foundation {
namespace {

std::atomic<DisplayProvider*> g_provider{nullptr};

}  // namespace

DisplayProvider* InstallDisplayProvider(DisplayProvider* provider) {
    return g_provider.exchange(provider);
}

DisplayProvider* CurrentDisplayProvider() {
    return g_provider.load();
}

}  // namespace ruzd::foundation
