#pragma once

// The receivers of one kind of notice: windows (of this or another process) and threads, each
// with the message number it asked for. A notice posts each receiver its message with both
// parameters 0, so nothing is allocated for it, and drops the receivers found gone: a window
// whose post fails with "invalid window handle", a thread without a message queue. The owner
// serialises the calls.

#include <cstdint>
#include <map>
#include <string>

#include "platform/window_message.h"

namespace ruzd::foundation {

class NoticeListeners {
public:
    // A window given is entered with the message (replacing an earlier one) when it exists and
    // the message is not 0, and removed otherwise; else a thread given is entered with a message
    // that is not 0 and removed with 0; with neither nothing happens.
    void Register(const platform::WindowHandle& window, uint32_t thread_id, uint32_t message);
    // Posts every receiver its message; the ones found gone are removed after the pass.
    void PostAll();

    bool Contains(const platform::WindowHandle& window) const;
    bool Contains(uint32_t thread_id) const;
    bool empty() const { return windows_.empty() && threads_.empty(); }

private:
    std::map<std::string, uint32_t> windows_;  // by the window's endpoint
    std::map<uint32_t, uint32_t> threads_;
};

}  // namespace ruzd::foundation
