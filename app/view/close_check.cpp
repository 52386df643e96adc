#include "app/view/close_check.h"

namespace ruzd::app {

namespace {
constexpr int64_t kForceAfterSeconds = 30;
constexpr int64_t kRestartAfterSeconds = 60;
}  // namespace

CloseSteps CloseCheck::Run(int64_t now, bool stopping, const std::function<bool()>& confirm) {
    CloseSteps steps;
    if (attached_window_) {
        steps.quitAtOnce = true;
        return steps;
    }
    if (request_time_ == 0 && !confirm()) {
        return steps;
    }
    steps.markClosing = true;
    steps.stopRequest = !stopping;
    if (request_time_ == 0) {
        request_time_ = now;
    } else if (now >= request_time_ + kForceAfterSeconds &&
               now <= request_time_ + kRestartAfterSeconds) {
        steps.forceStop = true;
    } else if (now > request_time_ + kRestartAfterSeconds) {
        request_time_ = now;
    }
    return steps;
}

}  // namespace ruzd::app
