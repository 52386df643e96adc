#pragma once

// The requests one side of the local GUI link has open with the other: the node's message boxes
// waiting for a window's answer, a window's file requests waiting for the node's. Each side
// numbers its requests with a counter and never reuses a number while a request with it is still
// open; the answer names the number it answers.

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "net/input_stream_socket.h"
#include "platform/event.h"

namespace ruzd::app {

struct GuiAnswer {
    int32_t value = 0;
    std::string text;
    int32_t flag = 0;
};

class GuiRequests {
public:
    // While a request with the counter's next number is still open, the new one waits for it in
    // slices of this length.
    static constexpr uint32_t kReuseWaitSliceMs = 5000;

    GuiRequests() = default;
    GuiRequests(const GuiRequests&) = delete;
    GuiRequests& operator=(const GuiRequests&) = delete;

    // Opens a request with the next number and returns the number.
    int32_t Open();
    // Stores the answer of an open request and wakes its waiter; false (the answer dropped) when
    // no request with that number is open.
    bool Complete(int32_t id, GuiAnswer answer);
    // Reads an answer message's values (request id, value, text, flag) and completes its
    // request; false when the values do not read.
    bool CompleteFrom(net::CInputStreamSocket& message);
    // Waits up to `limit_ms` for the request's answer, keeping the application thread's
    // messages moving when called on it, and closes the request: an answer that comes later is
    // dropped. None when the time ran out, a quit message ended the wait, or the table was shut.
    std::optional<GuiAnswer> Wait(int32_t id, uint32_t limit_ms);
    // Ends every wait without an answer, now and for requests opened later: the side goes.
    void Shut();

private:
    struct Request {
        platform::Event answered{true};
        platform::Event closed{true};
        std::optional<GuiAnswer> answer;
    };

    std::mutex lock_;
    int32_t counter_ = 0;
    bool shut_ = false;
    std::map<int32_t, std::shared_ptr<Request>> open_;
};

}  // namespace ruzd::app
