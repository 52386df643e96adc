#include "boardsim/core/aculab_events.h"

#include <chrono>

namespace ruzd::boardsim {

AculabEvents::~AculabEvents() {
    Shutdown();
}

void AculabEvents::PutCallEvent(const CallEvent& event, const std::optional<CallDetails>& details) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (details)
        details_[event.handle] = *details;
    call_events_.push_back(event);
    arrived_.notify_one();
}

std::optional<AculabEvents::CallEvent> AculabEvents::WaitCallEvent(int32_t timeout_ms) {
    std::unique_lock<std::mutex> lock(mutex_);
    arrived_.wait_for(lock, std::chrono::milliseconds(timeout_ms < 0 ? 0 : timeout_ms),
                      [this] { return shut_down_ || !call_events_.empty(); });
    if (shut_down_ || call_events_.empty())
        return std::nullopt;
    const CallEvent event = call_events_.front();
    call_events_.pop_front();
    return event;
}

AculabEvents::CallDetails AculabEvents::DetailsOf(int32_t handle) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = details_.find(handle);
    return found == details_.end() ? CallDetails{} : found->second;
}

void AculabEvents::PutSystemNotification(const SystemNotification& notification) {
    std::lock_guard<std::mutex> lock(mutex_);
    notifications_.push_back(notification);
}

std::optional<AculabEvents::SystemNotification> AculabEvents::TakeSystemNotification() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (notifications_.empty())
        return std::nullopt;
    SystemNotification notification = notifications_.front();
    notifications_.pop_front();
    return notification;
}

void AculabEvents::SetNotification(const std::string& serial, int32_t value) {
    std::lock_guard<std::mutex> lock(mutex_);
    card_notifications_[serial] = value;
}

int32_t AculabEvents::TakeNotification(const std::string& serial) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = card_notifications_.find(serial);
    if (found == card_notifications_.end())
        return 0;
    const int32_t value = found->second;
    card_notifications_.erase(found);
    return value;
}

void AculabEvents::SetStatistics(const std::string& serial, const Statistics& statistics) {
    std::lock_guard<std::mutex> lock(mutex_);
    statistics_[serial] = statistics;
}

AculabEvents::Statistics AculabEvents::StatisticsOf(const std::string& serial) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = statistics_.find(serial);
    return found == statistics_.end() ? Statistics{} : found->second;
}

void AculabEvents::SetStatus(const std::string& serial, const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex_);
    statuses_[serial] = text;
}

std::string AculabEvents::StatusOf(const std::string& serial) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = statuses_.find(serial);
    return found == statuses_.end() ? "In service" : found->second;
}

void AculabEvents::Shutdown() {
    std::lock_guard<std::mutex> lock(mutex_);
    shut_down_ = true;
    arrived_.notify_all();
}

}  // namespace ruzd::boardsim
